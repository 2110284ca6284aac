// What sheets cost beside the classic strip, measured side by side in one
// run, best of several interleaved rounds: a 64-frame sheet of 8 columns
// against the 1-column strip of the same frames (at most 1.2 x), and
// keeping transparency against laying it over the fill (at most 1.5 x).

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "bench_support.h"
#include "io/image_io.h"
#include "engine/strip_pipeline.h"

namespace {

bool Report(const char* what, double ratio, double limit) {
  std::printf("%-58s %5.2f  (must be <= %.2f)\n", what, ratio, limit);
  return ratio <= limit;
}

}  // namespace

int main() {
  InitImageLibrary();
  const auto ship = ReadRgbaShipOrExit(GYRELLE_SAMPLES_DIR "/firefly.png");
  bool within = true;
  for (int side : {64, 256}) {
    const Image picture = ScaledRgbaShip(*ship, side);
    const StripOptions strip{.frames = 64, .fill = {0, 0, 0}};
    StripOptions grid = strip;
    grid.columns = 8;
    StripOptions alpha = strip;
    alpha.alpha = true;
    double stripTime = 1e30, gridTime = 1e30, alphaTime = 1e30;
    // Interleaved, so that a slow spell of the machine costs every kind alike.
    for (int round = 0; round < 7; ++round) {
      stripTime = std::min(stripTime, BestSeconds(1, [&] { MakeStrip(picture, strip); }));
      gridTime = std::min(gridTime, BestSeconds(1, [&] { MakeStrip(picture, grid); }));
      alphaTime = std::min(alphaTime, BestSeconds(1, [&] { MakeStrip(picture, alpha); }));
    }
    std::printf("%d x %d RGBA ship, 64 frames: strip %.1f ms, 8 columns %.1f ms, --alpha %.1f ms\n",
                side, side, stripTime * 1e3, gridTime * 1e3, alphaTime * 1e3);
    within = Report("  8-column sheet / 1-column strip", gridTime / stripTime, 1.2) && within;
    within = Report("  --alpha / default", alphaTime / stripTime, 1.5) && within;
  }
  return within ? 0 : 1;
}
