#include "resources/resource_ids.h"
#include "window/dialog_template.h"

namespace {

const DialogTemplate kMainWindow{
    kMainWindowTemplate,
    "Gyrelle v1.0.1",
    232,
    207,
    WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | DS_CENTER | DS_SETFONT,
    kMainMenu,
    {
        {kPreviewControl, ControlClass::kStatic, "", 7, 7, 208, 161, SS_BLACKFRAME},
        {kVerticalScrollBar, ControlClass::kScrollBar, "", 215, 6, 10, 162, SBS_VERT},
        {kHorizontalScrollBar, ControlClass::kScrollBar, "", 7, 168, 208, 9, SBS_HORZ},
        {kFillColorLabel, ControlClass::kStatic, "Fill color", 33, 185, 32, 9, SS_LEFT},
        {kRotateButton, ControlClass::kButton, "Rotate", 175, 186, 50, 14,
         BS_DEFPUSHBUTTON | WS_TABSTOP},
    }};

const MenuTemplate kMenu{kMainMenu,
                         {
                             {"File",
                              {{"Open", kOpenCommand},
                               {"Save As", kSaveAsCommand},
                               {nullptr, 0},
                               {"Exit", kExitCommand}}},
                             {"Settings",
                              {{"Number of frames", kFrameNumberCommand},
                               {"Save Settings", kSaveOptionsCommand},
                               {"Fill Color", kFillColorCommand}}},
                             {"Help", {{"About", kAboutCommand}}},
                         }};

const DialogTemplate* const kDialogs[] = {&kMainWindow};

}  // namespace

const DialogTemplate* FindDialogTemplate(int id) {
  for (const DialogTemplate* dialog : kDialogs) {
    if (dialog->id == id) return dialog;
  }
  return nullptr;
}

const MenuTemplate* FindMenuTemplate(int id) {
  return id == kMenu.id ? &kMenu : nullptr;
}
