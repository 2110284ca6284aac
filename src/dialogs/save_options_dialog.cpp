// The Save Options dialog: bit depth, compression and the mask, handed
// back together on OK.

#include "dialogs/dialog.h"
#include "dialogs/dialogs.h"
#include "resources/resource_ids.h"

namespace {

class SaveOptionsDialog : public Dialog {
 public:
  SaveOptionsDialog(WindowLayer& layer, const SaveOptions& options)
      : Dialog(layer, kSaveOptionsTemplate), options_(options) {}
  const SaveOptions& Options() const { return options_; }

 protected:
  void Init(WindowHandle window) override {
    Choose(window, kEightBitRadio, kTwentyFourBitRadio, options_.eightBit, options_.eightBit);
    Choose(window, kCompressedRadio, kUncompressedRadio, options_.compressed, options_.compressed);
    Layer().CheckButton(window, kMaskCheckBox, options_.mask);
  }

  int FirstInput(WindowHandle) const override {
    return options_.eightBit ? kEightBitRadio : kTwentyFourBitRadio;
  }

  void Command(WindowHandle window, unsigned id) override {
    switch (id) {
      case kEightBitRadio:
      case kTwentyFourBitRadio:
        Choose(window, kEightBitRadio, kTwentyFourBitRadio, options_.eightBit,
               id == kEightBitRadio);
        break;
      case kCompressedRadio:
      case kUncompressedRadio:
        Choose(window, kCompressedRadio, kUncompressedRadio, options_.compressed,
               id == kCompressedRadio);
        break;
      default:  // the check box keeps its own state until OK
        break;
    }
  }

  bool Accept(WindowHandle window) override {
    options_.mask = Layer().IsButtonChecked(window, kMaskCheckBox);
    return true;
  }

 private:
  // The radio buttons are plain ones: the dialog checks one of a pair and
  // unchecks the other itself.
  void Choose(WindowHandle window, int yesButton, int noButton, bool& flag, bool value) {
    Layer().CheckButton(window, yesButton, value);
    Layer().CheckButton(window, noButton, !value);
    flag = value;
  }

  SaveOptions options_;  // the working copy; the mask is read from its check box on OK
};

}  // namespace

std::optional<SaveOptions> ShowSaveOptionsDialog(WindowLayer& layer, WindowHandle owner,
                                                 const SaveOptions& options) {
  SaveOptionsDialog dialog(layer, options);
  if (!dialog.Run(owner)) return std::nullopt;
  return dialog.Options();
}
