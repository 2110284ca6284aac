#include "sheet/fleet_builder.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <new>

#include "core/reasons.h"
#include "turn/frame_processes.h"
#include "turn/worker_pool.h"

namespace {

std::vector<std::uint8_t> FillRow(const Rgb& fill, int width, int bpp) {
  std::vector<std::uint8_t> row(std::size_t(width) * bpp);
  for (std::size_t i = 0; i < row.size(); i += std::size_t(bpp)) {
    row[i] = fill.red, row[i + 1] = fill.green, row[i + 2] = fill.blue;
    if (bpp == 4) row[i + 3] = 0;
  }
  return row;
}

}  // namespace

std::unique_ptr<Image> BuildPlacedSheet(const SheetPlan& plan, int bpp,
                                        const std::vector<Rgb>& fills, const PictureTurn& turn,
                                        std::string* reason, WorkerPool* pool,
                                        const ProgressHook& progress, int processes) {
  if ((bpp != 3 && bpp != 4) || fills.empty()) {
    SetReason(reason, "a sheet has 3 or 4 bytes per pixel and a fill for each picture");
    return nullptr;
  }
  try {
    int widest = plan.width;
    for (const Placement& p : plan.placements) {
      if (p.picture < 0 || std::size_t(p.picture) >= fills.size()) {
        SetReason(reason, "frame " + std::to_string(p.frame) + " is of a picture not given");
        return nullptr;
      }
      widest = std::max(widest, p.fullWidth);
    }
    auto sheet = std::make_unique<Image>();
    sheet->Allocate("", plan.width, plan.height, bpp);
    std::vector<std::vector<std::uint8_t>> fillRows;
    for (const Rgb& fill : fills) fillRows.push_back(FillRow(fill, widest, bpp));
    if (!plan.FramesFillSheet()) {
      for (int y = 0; y < plan.height; ++y) {
        std::memcpy(sheet->Pixels() + std::size_t(y) * sheet->RowBytes(), fillRows[0].data(),
                    std::size_t(plan.width) * bpp);
      }
    }
    std::mutex mutex;
    int failedFrame = plan.Frames();
    std::string failure;
    int framesDone = 0;
    std::atomic<bool> stopped = false;
    // Placement k's own cell of the sheet.
    const auto cellOf = [&](int k) {
      const Placement& p = plan.placements[std::size_t(k)];
      return FrameCanvas{sheet->Pixels() + std::size_t(p.sheet.y) * sheet->RowBytes() +
                             std::size_t(p.sheet.x) * bpp,
                         p.sheet.width,
                         p.sheet.height,
                         sheet->RowBytes(),
                         bpp,
                         fillRows[std::size_t(p.picture)].data()};
    };
    const auto make = [&](int k) {
      if (stopped) return;
      const Placement& p = plan.placements[std::size_t(k)];
      const std::uint8_t* fillRow = fillRows[std::size_t(p.picture)].data();
      FrameCanvas canvas = cellOf(k);
      std::uint8_t* const at = canvas.pixels;
      // A trimmed frame is drawn whole aside and its kept part copied in.
      std::vector<std::uint8_t> whole;
      if (p.Trimmed()) {
        whole.resize(std::size_t(p.fullWidth) * p.fullHeight * bpp);
        canvas = {whole.data(), p.fullWidth, p.fullHeight, std::size_t(p.fullWidth) * bpp,
                  bpp,          fillRow};
      }
      std::string why;
      const bool made = turn(p.picture, p.angle, canvas, &why);
      if (made && p.Trimmed()) {
        for (int y = 0; y < p.inFrame.height; ++y) {
          std::memcpy(
              at + std::size_t(y) * sheet->RowBytes(),
              whole.data() + (std::size_t(p.inFrame.y + y) * p.fullWidth + p.inFrame.x) * bpp,
              std::size_t(p.inFrame.width) * bpp);
        }
      }
      const std::lock_guard<std::mutex> lock(mutex);
      if (!made) {
        if (k < failedFrame) failedFrame = k, failure = "frame " + std::to_string(k) + ": " + why;
      } else if (progress && !stopped && !progress(++framesDone, plan.Frames())) {
        stopped = true;
      }
    };
    const bool anyTrimmed = std::any_of(plan.placements.begin(), plan.placements.end(),
                                        [](const Placement& p) { return p.Trimmed(); });
    if (processes > 1 && pool == nullptr && plan.Frames() > 1 && !anyTrimmed) {
      FrameProcessRun run;
      run.processes = processes;
      run.frames = plan.Frames();
      run.canvasOf = cellOf;
      run.turn = [&](int k, const FrameCanvas& canvas, std::string* why) {
        const Placement& p = plan.placements[std::size_t(k)];
        return turn(p.picture, p.angle, canvas, why);
      };
      if (progress) run.tell = [&](int done) { return progress(done, plan.Frames()); };
      run.keepOut = sheet->Pixels();
      run.keepOutBytes = sheet->ByteSize();
      bool cancelled = false;
      int failed = -1;
      if (!TurnInProcesses(run, failed, failure, cancelled)) {
        stopped = cancelled;
        if (failed >= 0) failure = "frame " + std::to_string(failed) + ": " + failure;
      }
    } else if (pool != nullptr) {
      // Runs of neighbouring frames, about eight a thread: threads then
      // write far apart on the sheet, not to cells that share cache lines.
      const int run = std::max(1, plan.Frames() / (pool->Threads() * 8));
      pool->Run((plan.Frames() + run - 1) / run, [&](int r) {
        for (int k = r * run; k < std::min(plan.Frames(), (r + 1) * run); ++k) make(k);
      });
    } else {
      for (int k = 0; k < plan.Frames() && failure.empty() && !stopped; ++k) make(k);
    }
    if (stopped || !failure.empty()) {
      SetReason(reason, stopped ? "the sheet was cancelled" : failure);
      return nullptr;
    }
    return sheet;
  } catch (const std::bad_alloc&) {
    SetReason(reason, "not enough memory for a sheet of " + std::to_string(plan.width) + " x " +
                          std::to_string(plan.height) + " pixels");
    return nullptr;
  }
}
