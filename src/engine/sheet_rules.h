#pragma once

#include <string>

#include "engine/strip_pipeline.h"

// Rings wider than this only waste the sheet.
constexpr int kMostExtrude = 64;

// Why the sheet options cannot be used together with these save options,
// for the command line and the window alike; empty when they can.
std::string SheetOptionsRefusal(const StripOptions& strip, const SaveOptions& save);
