#include "sheet/sheet_builder.h"

#include "core/reasons.h"
#include "sheet/fleet_builder.h"
#include "sheet/sheet_layout.h"
#include "sheet/sheet_plan.h"

// Each finished frame goes straight into its block of the sheet rather than
// through the library, so the work grows with N, not N squared.
std::unique_ptr<Image> BuildSheet(const Image& picture, const SheetPlan& plan, const Rgb& fill,
                                  const TurnFrame& turn, std::string* reason, WorkerPool* pool,
                                  const ProgressHook& progress, int processes) {
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
  return BuildPlacedSheet(
      plan, bpp, {fill},
      [&](int, int degrees, const FrameCanvas& canvas, std::string* why) {
        return turn(picture, degrees, canvas, why);
      },
      reason, pool, progress, processes);
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
