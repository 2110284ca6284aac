#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/color.h"
#include "core/image.h"
#include "core/progress.h"
#include "sheet/sheet_plan.h"
#include "turn/turn_frame.h"

class WorkerPool;

// Draws picture `picture` turned by `degrees` centred on `canvas`, as a
// TurnFrame does; false with a reason.
using PictureTurn =
    std::function<bool(int picture, int degrees, const FrameCanvas& canvas, std::string* reason)>;

// The sheet `plan` lays out, `bytesPerPixel` a pixel: each placement's
// frame of its picture, uncovered corners in that picture's fill
// (`fills[picture]`), trimmed placements cut from their full frame; the
// gaps in fills[0], with alpha 0 when there is alpha. Frames are made in
// any order, on the pool's threads when there is one (`turn` must then be
// safe on any of them), else in `processes` worker processes when more than
// one and no frame is trimmed (see frame_processes.h); the sheet is the
// same whatever the order. No image
// with a reason, the first frame's when several fail.
std::unique_ptr<Image> BuildPlacedSheet(const SheetPlan& plan, int bytesPerPixel,
                                        const std::vector<Rgb>& fills, const PictureTurn& turn,
                                        std::string* reason = nullptr, WorkerPool* pool = nullptr,
                                        const ProgressHook& progress = {}, int processes = 1);
