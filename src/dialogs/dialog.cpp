#include "dialogs/dialog.h"

bool Dialog::Run(WindowHandle owner) {
  accepted_ = false;
  layer_.RunModalDialog(templateId_, owner,
                        [this](WindowHandle window, unsigned message, WParam wParam,
                               LParam lParam) { return Proc(window, message, wParam, lParam); });
  return accepted_;
}

bool Dialog::Proc(WindowHandle window, unsigned message, WParam wParam, LParam lParam) {
  switch (message) {
    case WM_INITDIALOG:
      Init(window);
      if (const int first = FirstInput(window)) {
        layer_.FocusControl(window, first);
        return false;  // the focus is given
      }
      return true;
    case WM_COMMAND:
      if (LowWord(wParam) == IDOK) {
        if (Accept(window)) {
          accepted_ = true;
          layer_.EndDialog(window, IDOK);
        }
      } else if (LowWord(wParam) == IDCANCEL) {  // also Escape
        Cancel(window);
      } else {
        Command(window, LowWord(wParam));
      }
      return true;
    case WM_CLOSE:
      Close(window);
      return true;
    default:
      return Message(window, message, wParam, lParam);
  }
}
