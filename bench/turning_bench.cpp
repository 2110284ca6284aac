// Prints what our own turning methods cost beside the library's, and what a
// second thread buys them: a 64-frame sheet of a 64 x 64 ship made by each
// way in turn within every round, so that all meet the same load; best and
// median of the rounds. Run it on a quiet machine: the thread ratios need a
// second core to themselves.

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <vector>

#include "bench_support.h"
#include "io/image_io.h"
#include "turn/pixel_turns.h"
#include "engine/strip_pipeline.h"
#include "turn/worker_pool.h"

namespace {

struct Way {
  TurnMethod method;
  int threads;
  std::vector<double> seconds;
  double Best() const { return Shortest(seconds); }
  double Median() const { return ::Median(seconds); }
};

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
  InitImageLibrary();
  std::string reason;
  const auto ship = ReadPicture(GYRELLE_SAMPLES_DIR "/firefly.png", &reason);
  if (!ship) {
    std::fprintf(stderr, "%s\n", reason.c_str());
    return 1;
  }
  const int cores = WorkerPool::Cores();
  std::vector<Way> ways = {{TurnMethod::kLibrary, 1, {}},   {TurnMethod::kRotSprite, 1, {}},
                           {TurnMethod::kRotSprite, 2, {}}, {TurnMethod::kShear, 1, {}},
                           {TurnMethod::kShear, 2, {}}};
  // RotSprite's enlargement alone, on pools kept from round to round: the
  // part made before any frame, in rounds so short that a second thread
  // helps only if it joins in within microseconds.
  std::vector<Way> enlargements = {{TurnMethod::kRotSprite, 1, {}},
                                   {TurnMethod::kRotSprite, 2, {}}};
  WorkerPool pools[] = {WorkerPool(1), WorkerPool(2)};
  for (int round = 0; round < rounds; ++round) {
    for (int i = 0; i < 2; ++i) {
      const auto start = std::chrono::steady_clock::now();
      const PixelTurner turner(*ship, TurnMethod::kRotSprite, pools[i]);
      enlargements[std::size_t(i)].seconds.push_back(
          std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    for (Way& way : ways) {
      StripOptions options;
      options.frames = 64;
      options.fill = TopLeftColor(*ship);
      options.method = way.method;
      options.threads = way.threads;
      const auto start = std::chrono::steady_clock::now();
      const auto sheet = MakeStrip(*ship, options);
      way.seconds.push_back(
          std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
      if (!sheet) return 1;
    }
  }
  std::printf("64 frames of the 64 x 64 firefly.png, %d rounds, %d cores\n", rounds, cores);
  std::printf("  %-10s %7s %9s %9s\n", "method", "threads", "best ms", "median ms");
  for (const Way& way : ways) {
    std::printf("  %-10s %7d %9.3f %9.3f\n", TurnMethodName(way.method).data(), way.threads,
                way.Best() * 1e3, way.Median() * 1e3);
  }
  const Way &library = ways[0], &rot1 = ways[1], &rot2 = ways[2], &shear1 = ways[3],
            &shear2 = ways[4];
  const auto ratio = [](const char* what, double best, double median, const char* bound) {
    std::printf("%-40s best %5.2f  median %5.2f  (must be %s)\n", what, best, median, bound);
  };
  ratio("rotsprite, 2 threads / library:", rot2.Best() / library.Best(),
        rot2.Median() / library.Median(), "<= 4");
  ratio("shear, 2 threads / library:", shear2.Best() / library.Best(),
        shear2.Median() / library.Median(), "<= 2");
  ratio("rotsprite, 1 thread / 2 threads:", rot1.Best() / rot2.Best(),
        rot1.Median() / rot2.Median(), ">= 1.6");
  ratio("shear, 1 thread / 2 threads:", shear1.Best() / shear2.Best(),
        shear1.Median() / shear2.Median(), ">= 1.6");
  ratio("rotsprite's enlargement, 1 / 2 threads:", enlargements[0].Best() / enlargements[1].Best(),
        enlargements[0].Median() / enlargements[1].Median(), "> 1 to help");
  if (cores < 2) std::printf("(one core here: the thread ratios say nothing)\n");
}
