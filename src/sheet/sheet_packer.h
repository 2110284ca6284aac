#pragma once

#include <string>

#include "sheet/sheet_plan.h"
#include "sheet/strip_options.h"

// Places the frames of `frames` (their sheet rectangles' sizes, trimmed or
// not) into the smallest sheet a rectangle packer finds: within
// `options.maxSize` a side when above 0, `spacing` between frames and
// `margin` around them, room for `extrude` rings, power-of-two sides with
// `powerOfTwo`. `packed` gets the same placements at their new places, in
// the same order; the same frames always give the same sheet. False with a
// reason when no sheet within the largest side holds them.
bool PackSheet(const SheetPlan& frames, const StripOptions& options, int bytesPerPixel,
               SheetPlan& packed, std::string* reason = nullptr);
