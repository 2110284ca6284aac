#pragma once

#include "window/window_layer.h"

// What every modal dialog of the program answers alike, so each dialog
// writes only its own controls: WM_INITDIALOG sets them up, OK takes what
// the user set, Cancel (also Escape) and the close box end it taking
// nothing. One object per opening; it outlives its modal run.
class Dialog {
 public:
  Dialog(WindowLayer& layer, int templateId) : layer_(layer), templateId_(templateId) {}
  virtual ~Dialog() = default;
  Dialog(const Dialog&) = delete;
  Dialog& operator=(const Dialog&) = delete;

  // Runs the dialog modally over `owner`: true when OK ended it.
  bool Run(WindowHandle owner);

 protected:
  WindowLayer& Layer() const { return layer_; }

  virtual void Init(WindowHandle /*window*/) {}
  // The control that has the focus at opening, its text selected so that
  // typing replaces it; 0 leaves it to the first tab stop.
  virtual int FirstInput(WindowHandle /*window*/) const { return 0; }
  // OK: reads the controls; false keeps the dialog open.
  virtual bool Accept(WindowHandle /*window*/) { return true; }
  // A command of the dialog's own controls.
  virtual void Command(WindowHandle /*window*/, unsigned /*id*/) {}
  virtual void Cancel(WindowHandle window) { layer_.EndDialog(window, IDCANCEL); }
  virtual void Close(WindowHandle window) { layer_.EndDialog(window, 0); }
  // Every other message, answered as a window procedure does.
  virtual bool Message(WindowHandle /*window*/, unsigned /*message*/, WParam /*wParam*/,
                       LParam /*lParam*/) {
    return false;
  }

 private:
  bool Proc(WindowHandle window, unsigned message, WParam wParam, LParam lParam);

  WindowLayer& layer_;
  int templateId_;
  bool accepted_ = false;
};
