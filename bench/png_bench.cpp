// Prints, side by side in one run, the library's PNG writer (the path the
// engine took before its own) against Gyrelle's own at each compression, on
// a sheet of 360 frames of a 512 x 512 ship: wall time on every core, file
// size, and their ratios. Exits 1 when `default` is not 4 x as fast within
// 1.05 x the size, or `fast` not 8 x as fast.
//
//     png_bench [FRAMES [SIDE]]

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>

#include "bench_support.h"
#include "io/image_io.h"
#include "engine/strip_pipeline.h"

int main(int argc, char** argv) {
  const int frames = argc > 1 ? std::atoi(argv[1]) : 360;
  const int side = argc > 2 ? std::atoi(argv[2]) : 512;
  InitImageLibrary();
  const auto dir = std::filesystem::temp_directory_path() / "gyrelle-png-bench";
  std::filesystem::create_directories(dir);
  const Image picture = ScaledShip(GYRELLE_SAMPLES_DIR "/escort1.png", side);
  const auto strip = MakeStrip(picture, {.frames = frames, .fill = TopLeftColor(picture)});
  if (!strip) return 1;
  std::printf("%d frames of a %d x %d ship (%d x %d, %.0f MB of pixels), best of 2, wall time\n",
              frames, side, side, strip->Width(), strip->Height(), strip->ByteSize() / 1e6);
  const std::string path = (dir / "sheet.png").string();
  struct Case {
    const char* label;
    std::optional<PngCompression> png;
    double speedFloor;
  };
  double libraryTime = 0;
  std::uintmax_t libraryBytes = 0;
  bool passed = true;
  for (const Case& c : {Case{"library", std::nullopt, 0}, Case{"fast", PngCompression::kFast, 8},
                        Case{"default", PngCompression::kDefault, 4},
                        Case{"small", PngCompression::kSmall, 0}}) {
    bool written = true;
    const double seconds = BestSeconds(2, [&] {
      WriteOptions options;
      options.png = c.png;
      written = written && SaveImageFile(*strip, path, options);
    });
    const std::uintmax_t bytes = std::filesystem::file_size(path);
    if (!c.png) libraryTime = seconds, libraryBytes = bytes;
    const double speed = libraryTime / seconds, size = double(bytes) / double(libraryBytes);
    const bool ok = written && speed >= c.speedFloor &&
                    (c.png != PngCompression::kDefault || size <= 1.05);
    passed = passed && ok;
    std::printf("  %-8s %8.0f ms %10ju bytes   %5.2f x as fast (floor %.0f)   %.3f x the size%s\n",
                c.label, seconds * 1e3, bytes, speed, c.speedFloor, size, ok ? "" : "   OUT");
  }
  std::filesystem::remove_all(dir);
  return passed ? 0 : 1;
}
