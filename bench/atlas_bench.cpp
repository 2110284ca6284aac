// What trimming and packing cost beside the untrimmed fit grid, measured
// side by side in one run, best of interleaved rounds: 64 frames of a
// 256 x 256 RGBA ship, cut and packed, at most 1.3 x, in CPU time.

#include <algorithm>
#include <cstdio>

#include "bench_support.h"
#include "engine/strip_pipeline.h"
#include "io/image_io.h"
#include "sheet/sheet_plan.h"

int main() {
  InitImageLibrary();
  const auto ship = ReadRgbaShipOrExit(GYRELLE_SAMPLES_DIR "/firefly.png");
  const Image picture = ScaledRgbaShip(*ship, 256);
  StripOptions grid{.frames = 64, .fill = {0, 0, 0}, .alpha = true};
  grid.frameSize.kind = FrameSize::Kind::kFit;
  grid.columns = 8;
  StripOptions packed = grid;
  packed.trim = packed.pack = true;
  SheetPlan gridPlan, packedPlan;
  double gridTime = 1e30, packedTime = 1e30;
  for (int round = 0; round < 7; ++round) {
    gridTime = std::min(gridTime, ProcessorSeconds([&] { MakeStrip(picture, grid, nullptr, &gridPlan); }));
    packedTime =
        std::min(packedTime, ProcessorSeconds([&] { MakeStrip(picture, packed, nullptr, &packedPlan); }));
  }
  const double ratio = packedTime / gridTime;
  const double area = double(packedPlan.width) * packedPlan.height /
                      (double(gridPlan.width) * gridPlan.height);
  std::printf("256 x 256 RGBA ship, 64 frames: fit grid %.1f ms (%d x %d), trimmed and packed "
              "%.1f ms (%d x %d)\n",
              gridTime * 1e3, gridPlan.width, gridPlan.height, packedTime * 1e3, packedPlan.width,
              packedPlan.height);
  std::printf("%-58s %5.2f  (must be <= 1.30)\n", "time, trimmed and packed / fit grid", ratio);
  std::printf("%-58s %5.2f\n", "area, trimmed and packed / fit grid", area);
  return ratio <= 1.3 ? 0 : 1;
}
