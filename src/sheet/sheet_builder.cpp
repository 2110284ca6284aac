#include "sheet/sheet_builder.h"

#include <atomic>
#include <cstring>
#include <mutex>
#include <new>
#include <vector>

#include "core/reasons.h"
#include "sheet/sheet_layout.h"
#include "sheet/sheet_plan.h"
#include "turn/worker_pool.h"

// Each finished frame goes straight into its block of the sheet rather than
// through the library, so the work grows with N, not N squared.
std::unique_ptr<Image> BuildSheet(const Image& picture, const SheetPlan& plan, const Rgb& fill,
                                  const TurnFrame& turn, std::string* reason, WorkerPool* pool,
                                  const ProgressHook& progress) {
  const int bpp = picture.BytesPerPixel();
  if (bpp != 3 && bpp != 4) {
    SetReason(reason, "a palettised picture cannot be turned; read it at 3 bytes per pixel");
    return nullptr;
  }
  if (TooSmallToTurn(picture, reason)) return nullptr;
  for (const Placement& p : plan.placements) {
    if (p.picture != 0 || p.Trimmed()) {
      SetReason(reason, "frame " + std::to_string(p.frame) + " of picture " +
                            std::to_string(p.picture) +
                            " is not a whole frame of the one picture given");
      return nullptr;
    }
  }
  try {
    auto sheet = std::make_unique<Image>();
    sheet->Allocate("", plan.width, plan.height, bpp);
    // A row of the fill as wide as the sheet; alpha 0 where there is alpha.
    std::vector<std::uint8_t> fillRow(std::size_t(plan.width) * bpp);
    for (std::size_t i = 0; i < fillRow.size(); i += bpp) {
      fillRow[i] = fill.red, fillRow[i + 1] = fill.green, fillRow[i + 2] = fill.blue;
      if (bpp == 4) fillRow[i + 3] = 0;
    }
    // Spacing, margins and cells past the last frame; frames fill their own.
    if (!plan.FramesFillSheet()) {
      for (int y = 0; y < plan.height; ++y) {
        std::memcpy(sheet->Pixels() + std::size_t(y) * sheet->RowBytes(), fillRow.data(),
                    fillRow.size());
      }
    }
    // Each frame writes only its own cells, so frames may be made in any
    // order; of several failures the first frame's is told, whatever the order.
    std::mutex failureMutex;
    int failedFrame = plan.Frames();
    std::string failure;
    // Told of under the same lock, one frame at a time, whichever thread.
    int framesDone = 0;
    std::atomic<bool> stopped = false;
    const auto make = [&](int k) {
      if (stopped) return;
      const Placement& placement = plan.placements[std::size_t(k)];
      const Rect& cell = placement.sheet;
      const FrameCanvas canvas{
          sheet->Pixels() + std::size_t(cell.y) * sheet->RowBytes() + std::size_t(cell.x) * bpp,
          cell.width,
          cell.height,
          sheet->RowBytes(),
          bpp,
          fillRow.data()};
      std::string why;
      if (turn(picture, placement.angle, canvas, &why)) {
        if (!progress) return;
        const std::lock_guard<std::mutex> lock(failureMutex);
        if (!stopped && !progress(++framesDone, plan.Frames())) stopped = true;
        return;
      }
      const std::lock_guard<std::mutex> lock(failureMutex);
      if (k < failedFrame) failedFrame = k, failure = "frame " + std::to_string(k) + ": " + why;
    };
    if (pool != nullptr) {
      pool->Run(plan.Frames(), make);
    } else {
      for (int k = 0; k < plan.Frames() && failure.empty() && !stopped; ++k) make(k);
    }
    if (stopped) {
      SetReason(reason, "the sheet was cancelled");
      return nullptr;
    }
    if (!failure.empty()) {
      SetReason(reason, failure);
      return nullptr;
    }
    return sheet;
  } catch (const std::bad_alloc&) {
    SetReason(reason, "not enough memory for a sheet of " + std::to_string(plan.width) + " x " +
                          std::to_string(plan.height) + " pixels");
    return nullptr;
  }
}

std::unique_ptr<Image> BuildFrameStrip(const Image& source, int frames, const Rgb& fill,
                                       std::string* reason) {
  StripOptions options;
  options.frames = frames;
  SheetPlan plan;
  if (!PlanSheet(source.Width(), source.Height(), options, source.BytesPerPixel(), plan, reason)) {
    return nullptr;
  }
  return BuildSheet(source, plan, fill, LibraryTurnFrame, reason);
}
