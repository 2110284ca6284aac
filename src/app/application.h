#pragma once

#include "window/window_layer.h"

// Start-up, the main window's modal run on `layer`, and the end of the run:
// returns once the main window has been closed and config.txt rewritten.
bool RunApplication(WindowLayer& layer);
