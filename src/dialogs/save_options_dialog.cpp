// The Save Options dialog: bit depth, compression and the mask, committed
// together on OK.

#include "app/app_state.h"
#include "dialogs/dialogs.h"
#include "resources/resource_ids.h"

namespace {

struct SaveOptionsDialog {
  WindowLayer* layer = nullptr;
  bool compressed = false;
  bool eightBit = false;
  bool mask = false;  // read from the check box on OK
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
  Choose(window, kEightBitRadio, kTwentyFourBitRadio, g_dialog.eightBit, g_dialog.eightBit);
  Choose(window, kCompressedRadio, kUncompressedRadio, g_dialog.compressed, g_dialog.compressed);
  Layer().CheckButton(window, kMaskCheckBox, g_dialog.mask);
}

void Command(WindowHandle window, unsigned id) {
  switch (id) {
    case kEightBitRadio:
    case kTwentyFourBitRadio:
      Choose(window, kEightBitRadio, kTwentyFourBitRadio, g_dialog.eightBit, id == kEightBitRadio);
      break;
    case kCompressedRadio:
    case kUncompressedRadio:
      Choose(window, kCompressedRadio, kUncompressedRadio, g_dialog.compressed,
             id == kCompressedRadio);
      break;
    case IDOK:
      g_dialog.mask = Layer().IsButtonChecked(window, kMaskCheckBox);
      SetSaveOptions(g_dialog.compressed, g_dialog.eightBit, g_dialog.mask);
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

bool ShowSaveOptionsDialog(WindowLayer* instance, WindowHandle owner, bool compressed,
                           bool eightBit, bool mask) {
  g_dialog = SaveOptionsDialog{instance, compressed, eightBit, mask};
  instance->RunModalDialog(kSaveOptionsTemplate, owner, SaveOptionsDialogProc);
  return true;
}
