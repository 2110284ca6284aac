// Prints what the data file costs a frame as the frames grow, in the hash
// and array forms: time a frame at 100,000 and 1,000,000 frames against
// 10,000 (about 1 when linear), and how far the process's peak memory
// grows while the file is written (the same at every count when bounded). Each
// count is written in a child process of its own, so one count's peak
// memory does not hide the next's.

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_support.h"
#include "sheet/sheet_data.h"
#include "sheet/sheet_layout.h"

namespace {

struct Measure {
  double seconds = 0;     // processor time to write the file
  long growthKb = 0;      // peak resident memory gained while writing it
  long planKb = 0;        // peak resident memory before writing: the plan
  long long bytes = 0;    // the file's size
};

long PeakKb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

// Plans `frames` frames of a 1 x 1 picture and writes their data file, in
// a child; its measure comes back through a pipe.
Measure Run(DataFormat format, int frames, const std::filesystem::path& dir) {
  int ends[2];
  if (pipe(ends) != 0) return {};
  const pid_t child = fork();
  if (child == 0) {
    close(ends[0]);
    Measure m;
    SheetPlan plan;
    if (PlanSheet(1, 1, {.frames = frames, .columns = 1000}, 3, plan)) {
      const std::string data = (dir / "d.json").string();
      m.planKb = PeakKb();
      bool written = false;
      m.seconds = ProcessorSeconds([&] {
        written = WriteSheetData(plan, format, {(dir / "s.png").string(), data, false});
      });
      m.growthKb = PeakKb() - m.planKb;
      if (written) m.bytes = (long long)std::filesystem::file_size(data);
    }
    if (write(ends[1], &m, sizeof m) != sizeof m) _exit(1);
    _exit(0);
  }
  close(ends[1]);
  Measure m;
  if (read(ends[0], &m, sizeof m) != sizeof m) m = {};
  close(ends[0]);
  waitpid(child, nullptr, 0);
  return m;
}

}  // namespace

int main(int argc, char** argv) {
  // A fourth count on request, for a machine with time to spare.
  const bool most = argc > 1 && std::string(argv[1]) == "--ten-million";
  const auto dir = std::filesystem::temp_directory_path() / "gyrelle-data-file-bench";
  std::filesystem::create_directories(dir);
  std::vector<int> counts{10000, 100000, 1000000};
  if (most) counts.push_back(10000000);
  std::printf("data file of N frames of a 1 x 1 picture, processor time, each N in a child\n");
  bool passed = true;
  for (DataFormat format : {DataFormat::kJsonHash, DataFormat::kJsonArray}) {
    const char* name = format == DataFormat::kJsonHash ? "hash" : "array";
    double first = 0;
    for (int frames : counts) {
      // The smaller counts are quick: the best of three steadies them.
      Measure m = Run(format, frames, dir);
      for (int round = frames < 1000000 ? 2 : 0; round > 0; --round) {
        const Measure again = Run(format, frames, dir);
        m.seconds = std::min(m.seconds, again.seconds);
        m.growthKb = std::max(m.growthKb, again.growthKb);
      }
      if (m.bytes == 0) {
        std::printf("%-5s N = %8d: not written\n", name, frames);
        passed = false;
        continue;
      }
      const double perFrame = m.seconds / frames;
      if (first == 0) first = perFrame;
      std::printf(
          "%-5s N = %8d: %8.3f s, %6.2f us a frame (x %.2f of N = %d), file %6.1f MB, "
          "plan %7ld KB, peak grew %6ld KB while writing\n",
          name, frames, m.seconds, perFrame * 1e6, perFrame / first, counts.front(),
          m.bytes / 1e6, m.planKb, m.growthKb);
    }
  }
  std::filesystem::remove_all(dir);
  return passed ? 0 : 1;
}
