// The About box: a picture, the name and version, and a few lines of
// credits. It commits nothing.

#include "dialogs/dialog.h"
#include "dialogs/dialogs.h"
#include "resources/resource_ids.h"

namespace {

class AboutDialog : public Dialog {
 public:
  using Dialog::Dialog;

 protected:
  // OK and Enter close the box; Escape's cancel does not.
  void Cancel(WindowHandle) override {}
};

}  // namespace

void ShowAboutDialog(WindowLayer& layer, WindowHandle owner) {
  AboutDialog(layer, kAboutTemplate).Run(owner);
}
