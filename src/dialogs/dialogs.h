#pragma once

#include "window/window_layer.h"

// The settings dialogs and the About box, each modal over `owner` on the
// layer `instance`. Each commits its values itself through the application
// state's setters; all return true whatever happened.

bool ShowFrameNumberDialog(WindowLayer* instance, WindowHandle owner, int count);
bool ShowSaveOptionsDialog(WindowLayer* instance, WindowHandle owner, bool compressed,
                           bool eightBit, bool mask);
bool ShowFillColorDialog(WindowLayer* instance, WindowHandle owner, const Rgb& color);
bool ShowAboutDialog(WindowLayer* instance, WindowHandle owner);
