// Prints what reading a picture through the helper process costs against
// reading it in this process, best of several rounds, side by side.

#include <cstdio>
#include <filesystem>

#include "bench_support.h"
#include "io/image_io.h"

int main() {
  InitImageLibrary();
  const auto dir = std::filesystem::temp_directory_path() / "gyrelle-decode-bench";
  std::filesystem::create_directories(dir);
  constexpr int kRounds = 20;
  std::printf("reading a picture, best of %d rounds\n", kRounds);
  bool passed = true;
  for (int side : {512, 2048}) {
    const std::string path = (dir / ("ship" + std::to_string(side) + ".png")).string();
    std::string reason;
    if (!SaveImageFile(ScaledShip(GYRELLE_SAMPLES_DIR "/escort1.png", side), path, &reason)) {
      std::fprintf(stderr, "%s\n", reason.c_str());
      return 1;
    }
    const double here = BestSeconds(kRounds, [&] { DecodeImageFile(path, 3); });
    const double helper = BestSeconds(kRounds, [&] { LoadImageFile(path, 3); });
    const bool ok = helper <= 2 * here + 0.030;
    if (side == 512) passed = ok;
    std::printf("  %4d x %-4d PNG  in process %7.2f ms  helper %7.2f ms  ratio %.2f%s\n", side,
                side, here * 1e3, helper * 1e3, helper / here,
                side == 512 ? (ok ? "  (within 2 x + 30 ms)" : "  (OVER 2 x + 30 ms)") : "");
  }
  std::filesystem::remove_all(dir);
  return passed ? 0 : 1;
}
