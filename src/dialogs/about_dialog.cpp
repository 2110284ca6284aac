// The About box: a picture, the name and version, and a few lines of
// credits. It commits nothing.

#include "dialogs/dialogs.h"
#include "resources/resource_ids.h"

namespace {

WindowLayer* g_layer = nullptr;  // the layer of the box that is open

bool AboutDialogProc(WindowHandle window, unsigned message, WParam wParam, LParam) {
  switch (message) {
    case WM_INITDIALOG:
      return true;
    case WM_COMMAND:
      // OK and Enter close the box; Escape's cancel does not.
      if (LowWord(wParam) == IDOK) g_layer->EndDialog(window, IDOK);
      return true;
    case WM_CLOSE:
      g_layer->EndDialog(window, 0);
      return true;
    default:
      return false;
  }
}

}  // namespace

void ShowAboutDialog(WindowLayer& layer, WindowHandle owner) {
  g_layer = &layer;
  layer.RunModalDialog(kAboutTemplate, owner, AboutDialogProc);
}
