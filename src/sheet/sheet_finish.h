#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/image.h"
#include "sheet/sheet_plan.h"
#include "sheet/strip_options.h"

// Trimmed, packed, extruded, bled and premultiplied sheets are made from a
// grid of whole frames: these say which grid to build and turn it, and its
// plan, into the sheet asked for.

// The grid the frames are first built in: the options' own, with room for
// extrusion rings; for packing, a plain square-ish grid without spacing.
StripOptions GridOptions(const StripOptions& options);

// Whether the sheet built by GridOptions needs FinishSheet.
bool NeedsFinishing(const StripOptions& options);

// The sheet the options ask for, made from `grid` (built as `plan` says by
// GridOptions); `plan` becomes the finished sheet's. Without alpha, frames
// are trimmed to what differs from their picture's fill, `fills[picture]`
// when given, else the options' fill. No image with a reason when it cannot
// be made.
std::unique_ptr<Image> FinishSheet(std::unique_ptr<Image> grid, SheetPlan& plan,
                                   const StripOptions& options, std::string* reason = nullptr,
                                   const std::vector<Rgb>& fills = {});
