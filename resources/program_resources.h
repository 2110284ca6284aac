#pragma once

#include "window/dialog_template.h"

// The program's own windows, menu and pictures, for the window layer it runs on.
const WindowResources& ProgramResources();
