#include "dialogs/dialogs.h"

// Placeholders until the dialogs are built: they open nothing.

bool ShowFrameNumberDialog(WindowLayer*, WindowHandle, int) {
  return true;
}

bool ShowSaveOptionsDialog(WindowLayer*, WindowHandle, bool, bool, bool) {
  return true;
}

bool ShowFillColorDialog(WindowLayer*, WindowHandle, const Rgb&) {
  return true;
}

bool ShowAboutDialog(WindowLayer*, WindowHandle) {
  return true;
}
