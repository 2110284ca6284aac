// The Save Options dialog: bit depth, compression and the mask, handed
// back together on OK.

#include "dialogs/dialogs.h"
#include "resources/resource_ids.h"

namespace {

struct SaveOptionsDialog {
  WindowLayer* layer = nullptr;
  SaveOptions options;  // the working copy; the mask is read from its check box on OK
  bool chosen = false;
} g_dialog;

WindowLayer& Layer() {
  return *g_dialog.layer;
}

// The radio buttons are plain ones: the dialog checks one of a pair and
// unchecks the other itself.
void Choose(WindowHandle window, int yesButton, int noButton, bool& flag, bool value) {
  Layer().CheckButton(window, yesButton, value);
  Layer().CheckButton(window, noButton, !value);
  flag = value;
}

void Init(WindowHandle window) {
  Choose(window, kEightBitRadio, kTwentyFourBitRadio, g_dialog.options.eightBit,
         g_dialog.options.eightBit);
  Choose(window, kCompressedRadio, kUncompressedRadio, g_dialog.options.compressed,
         g_dialog.options.compressed);
  Layer().CheckButton(window, kMaskCheckBox, g_dialog.options.mask);
}

void Command(WindowHandle window, unsigned id) {
  switch (id) {
    case kEightBitRadio:
    case kTwentyFourBitRadio:
      Choose(window, kEightBitRadio, kTwentyFourBitRadio, g_dialog.options.eightBit,
             id == kEightBitRadio);
      break;
    case kCompressedRadio:
    case kUncompressedRadio:
      Choose(window, kCompressedRadio, kUncompressedRadio, g_dialog.options.compressed,
             id == kCompressedRadio);
      break;
    case IDOK:
      g_dialog.options.mask = Layer().IsButtonChecked(window, kMaskCheckBox);
      g_dialog.chosen = true;
      Layer().EndDialog(window, IDOK);
      break;
    case IDCANCEL:  // also Escape
      Layer().EndDialog(window, IDCANCEL);
      break;
    default:  // the check box keeps its own state until OK
      break;
  }
}

bool SaveOptionsDialogProc(WindowHandle window, unsigned message, WParam wParam, LParam) {
  switch (message) {
    case WM_INITDIALOG:
      Init(window);
      return true;
    case WM_COMMAND:
      Command(window, LowWord(wParam));
      return true;
    case WM_CLOSE:
      Layer().EndDialog(window, 0);
      return true;
    default:
      return false;
  }
}

}  // namespace

std::optional<SaveOptions> ShowSaveOptionsDialog(WindowLayer& layer, WindowHandle owner,
                                                 const SaveOptions& options) {
  g_dialog = SaveOptionsDialog{&layer, options};
  layer.RunModalDialog(kSaveOptionsTemplate, owner, SaveOptionsDialogProc);
  if (!g_dialog.chosen) return std::nullopt;
  return g_dialog.options;
}
