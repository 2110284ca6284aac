// Prints what run-length writing costs against plain writing of the same
// strip, for each file that has a run-length form, best of several rounds
// measured side by side (plain and compressed alternate in every round).
// The cost is the process's processor time, user and system, which other
// programs on a busy machine disturb less than the time on the clock.

#include <time.h>

#include <cstdio>
#include <filesystem>
#include <functional>

#include "bench_support.h"
#include "io/image_io.h"
#include "engine/strip_pipeline.h"

int main() {
  InitImageLibrary();
  const auto dir = std::filesystem::temp_directory_path() / "gyrelle-write-bench";
  std::filesystem::create_directories(dir);
  const Image picture = ScaledShip(GYRELLE_SAMPLES_DIR "/escort1.png", 256);
  const Rgb fill = TopLeftColor(picture);
  const auto strip = MakeStrip(picture, {.frames = 60, .fill = fill});
  if (!strip) return 1;
  constexpr int kRounds = 15;
  std::printf("256 x 256 ship, N = 60 (256 x 15360), processor time, best of %d rounds\n",
              kRounds);
  struct Case {
    const char* label;
    const char* extension;
    int bytesPerPixel;
  };
  bool passed = true;
  for (const Case& c : {Case{"TGA 24-bit", "tga", 3}, Case{"TGA 8-bit", "tga", 1},
                        Case{"BMP 8-bit", "bmp", 1}}) {
    const std::string path = (dir / (std::string("strip.") + c.extension)).string();
    double plain = 1e30, packed = 1e30;
    std::uintmax_t plainBytes = 0, packedBytes = 0;
    for (int round = 0; round < kRounds; ++round) {
      for (bool compressed : {false, true}) {
        const double seconds = ProcessorSeconds([&] {
          SaveImageFile(*strip, path, WriteOptions{c.bytesPerPixel, compressed, fill});
        });
        (compressed ? packed : plain) = std::min(compressed ? packed : plain, seconds);
        (compressed ? packedBytes : plainBytes) = std::filesystem::file_size(path);
      }
    }
    const bool ok = packed <= 1.5 * plain;
    passed = passed && ok;
    std::printf("  %-10s  plain %7.2f ms %9ju bytes  compressed %7.2f ms %9ju bytes  "
                "time ratio %.2f (%s 1.5)\n",
                c.label, plain * 1e3, plainBytes, packed * 1e3, packedBytes, packed / plain,
                ok ? "<=" : "OVER");
  }
  std::filesystem::remove_all(dir);
  return passed ? 0 : 1;
}
