#pragma once

#include <string>
#include <vector>

#include "sheet/sheet_plan.h"
#include "sheet/strip_options.h"
#include "turn/turn_frame.h"

// Sheets of several pictures: a fleet (each picture turned through its own
// N frames) or an animation (the pictures are its frames, each turned by
// every angle). First the frames are listed with their full frame sizes;
// then a layout places them: the grid below, in row blocks, or a packer.

// The frames of a fleet or an animation in sheet order, placed nowhere
// yet: `sheet` is 0, 0 at the full frame's size. A fleet lists picture i's
// N frames, i in order; an animation lists, angle after angle, that angle's
// frame of every picture. `sizes` are the pictures' sizes (all the same for
// an animation); the frame size is kept or fitted per picture, or given.
std::vector<Placement> ListFleetFrames(const std::vector<BlockSize>& sizes,
                                       const StripOptions& options, bool animation);

// How many frames make one row block: N for a fleet, the pictures for an
// animation.
int FramesPerBlock(int pictures, const StripOptions& options, bool animation);

// The grid in row blocks: each run of `perBlock` frames of `frames` (its
// frames all one size) starts a new row and fills `options.columns`
// columns (or, with maxSize, the fewest keeping both sides within it),
// rows as tall as its frames; spacing, margin and power-of-two sides as for
// one picture. False with a reason when the sheet would be too large.
bool PlanRowBlocks(std::vector<Placement> frames, int perBlock, const StripOptions& options,
                   int bytesPerPixel, SheetPlan& plan, std::string* reason = nullptr);

// Both steps, and the names the data files give the frames.
bool PlanFleet(const std::vector<BlockSize>& sizes, const std::vector<std::string>& stems,
               const StripOptions& options, bool animation, SheetPlan& plan,
               std::string* reason = nullptr);
