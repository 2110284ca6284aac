#pragma once

#include <string>

#include "window/window_layer.h"

// Start-up, the main window's modal run on `layer`, and the end of the run:
// returns once the main window has been closed and config.txt rewritten.
// `openAtStart`, when given, is opened as soon as the window is up.
bool RunApplication(WindowLayer& layer, const std::string& openAtStart = {});
