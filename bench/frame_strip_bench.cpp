// Prints how the frame strip's cost grows with N, and what the engine adds
// around the library's turning. Every figure is a ratio of times measured
// side by side in this run, best of several rounds.

#include <IL/il.h>
#include <IL/ilu.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

#include "sheet/sheet_builder.h"
#include "sheet/sheet_layout.h"
#include "turn/library_turn.h"
#include "io/image_io.h"
#include "engine/strip_pipeline.h"

namespace {

double Seconds(const std::function<void()>& work) {
  const auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

Image Picture(int side) {
  std::vector<std::uint8_t> pixels(std::size_t(side) * side * 3);
  for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = std::uint8_t(i * 7 / 3);
  Image image;
  image.Set("", pixels.data(), side, side, 3);
  return image;
}

// The library's own work for N frames: hand the picture over and turn it.
void BareTurns(const Image& picture, int frames) {
  ILuint id;
  ilGenImages(1, &id);
  ilBindImage(id);
  float angle = 0.0f;
  for (int k = 0; k < frames; ++k) {
    ilTexImage(ILuint(picture.Width()), ILuint(picture.Height()), 1, 3, IL_RGB, IL_UNSIGNED_BYTE,
               const_cast<std::uint8_t*>(picture.Pixels()));
    iluRotate(-float(int(angle)));
    angle = NextRunningAngle(angle, frames);
  }
  ilDeleteImages(1, &id);
}

}  // namespace

int main() {
  InitImageLibrary();
  const Image picture = Picture(256);
  constexpr int kRounds = 5;
  double strip32 = 1e9, strip256 = 1e9, bare256 = 1e9;
  for (int round = 0; round < kRounds; ++round) {
    strip32 = std::min(strip32, Seconds([&] {
                         MakeStrip(picture, {.frames = 32, .fill = {0, 0, 0}});
                       }));
    strip256 = std::min(strip256, Seconds([&] {
                          MakeStrip(picture, {.frames = 256, .fill = {0, 0, 0}});
                        }));
    bare256 = std::min(bare256, Seconds([&] { BareTurns(picture, 256); }));
  }
  std::printf("256 x 256 picture, best of %d rounds\n", kRounds);
  std::printf("  BuildFrameStrip N=32:   %8.1f ms  (%.3f ms a frame)\n", strip32 * 1e3,
              strip32 * 1e3 / 32);
  std::printf("  BuildFrameStrip N=256:  %8.1f ms  (%.3f ms a frame)\n", strip256 * 1e3,
              strip256 * 1e3 / 256);
  std::printf("  256 bare library turns: %8.1f ms\n", bare256 * 1e3);
  std::printf("per-frame time, N=256 / N=32:          %.2f  (must be <= 1.20)\n",
              (strip256 / 256) / (strip32 / 32));
  std::printf("BuildFrameStrip / bare turns at N=256: %.2f  (must be <= 1.50)\n",
              strip256 / bare256);
}
