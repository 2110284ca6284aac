#pragma once

#include <memory>
#include <string>

#include "core/color.h"
#include "core/image.h"
#include "core/progress.h"
#include "turn/library_turn.h"

// Builds a sheet: every frame turned and drawn where the plan puts it.

struct SheetPlan;
class WorkerPool;

// The sheet of `picture` (3 or 4 bytes per pixel) laid out as `plan` says:
// each placement's frame turned by its angle into its rectangle, the gaps,
// and with 4 bytes every pixel nothing reaches, in `fill` with alpha 0. The
// placements must be whole frames of this one picture (picture 0, not
// trimmed). No image with a reason when it cannot be
// made. With a pool the frames are made on its threads, and `turn` must be
// safe on any of them: the library's is not.
std::unique_ptr<Image> BuildSheet(const Image& picture, const SheetPlan& plan, const Rgb& fill,
                                  const TurnFrame& turn = LibraryTurnFrame,
                                  std::string* reason = nullptr, WorkerPool* pool = nullptr,
                                  const ProgressHook& progress = {});

// The classic strip: `frames` frames of `source` stacked top to bottom, the
// uncovered corners in `fill`, or no image with a reason when it is too
// large or cannot be made. The source is only read.
std::unique_ptr<Image> BuildFrameStrip(const Image& source, int frames, const Rgb& fill,
                                       std::string* reason = nullptr);
