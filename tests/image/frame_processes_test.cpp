// The library's turn in worker processes: the same sheet for any number of
// them, and a frame that fails, a worker that dies or a stop leaves no sheet
// and says why.

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <csignal>
#include <thread>
#include <tuple>

#include "devil/library_blocks.h"
#include "engine/strip_pipeline.h"
#include "sheet/sheet_builder.h"
#include "sheet/sheet_layout.h"
#include "sheet/sheet_plan.h"
#include "test_support.h"

namespace {

using FrameProcesses = LibraryTest;

TEST_F(FrameProcesses, SheetIsTheSameForAnyNumber) {
  // The larger picture's blocks inside the library are wiped in the workers.
  for (const auto& [width, height, alpha, frames] :
       {std::tuple{33, 17, false, 40}, {33, 17, true, 40}, {120, 100, false, 7}}) {
    const Image picture = MakePicture(width, height, alpha ? 4 : 3, 5);
    StripOptions options;
    options.frames = frames;
    options.fill = {10, 20, 30};
    options.alpha = alpha;
    options.columns = 3;  // gaps and an empty cell: the sheet is filled before the workers start
    options.spacing = 2;
    options.threads = 1;
    const auto one = MakeStrip(picture, options);
    ASSERT_TRUE(one);
    for (const int processes : {2, 16}) {
      options.threads = processes;
      const auto many = MakeStrip(picture, options);
      ASSERT_TRUE(many);
      EXPECT_EQ(PixelBytes(*many), PixelBytes(*one))
          << processes << " processes, " << width << " wide, alpha " << alpha;
    }
  }
}

TEST_F(FrameProcesses, FailuresAndStopsLeaveNoSheet) {
  const Image picture = MakePicture(20, 20);
  StripOptions options;
  options.frames = 36;
  SheetPlan plan;
  ASSERT_TRUE(PlanSheet(20, 20, options, 3, plan));
  const auto failAt = [](int failing) {
    return [=](const Image& p, int degrees, const FrameCanvas& canvas, std::string* why) {
      if (degrees == failing || degrees == failing + 180) {
        *why = "refused";
        return false;
      }
      return LibraryTurnFrame(p, degrees, canvas, why);
    };
  };
  // This process turns frames too: only the workers die, on their first
  // frame, while this one turns slowly enough that they get frames.
  const pid_t self = getpid();
  const auto dieInWorkers = [self](const Image& p, int degrees, const FrameCanvas& canvas,
                                   std::string* why) {
    if (getpid() != self) std::raise(SIGKILL);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return LibraryTurnFrame(p, degrees, canvas, why);
  };
  std::string reason;
  // Frames 9 and 27 fail; the first is told, whichever worker met it.
  EXPECT_FALSE(BuildSheet(picture, plan, {}, failAt(90), &reason, nullptr, {}, 2));
  EXPECT_EQ(reason, "frame 9: refused");
  EXPECT_FALSE(BuildSheet(picture, plan, {}, dieInWorkers, &reason, nullptr, {}, 3));
  EXPECT_NE(reason.find("ended by signal 9"), std::string::npos) << reason;
  const auto stopAfter5 = [](long long done, long long) { return done < 5; };
  EXPECT_FALSE(BuildSheet(picture, plan, {}, LibraryTurnFrame, &reason, nullptr, stopAfter5, 2));
  EXPECT_EQ(reason, "the sheet was cancelled");
}

}  // namespace

// Blocks handed out at once never overlap, whatever their sizes, and a
// block given back is handed out again.
TEST(LibraryBlocks, NeverOverlapAndAreReused) {
  std::vector<std::pair<std::uint8_t*, std::size_t>> held;
  for (std::size_t i = 0; i < 24; ++i) {
    const std::size_t size = (i % 3 == 0 ? 100 : 64 << 10) + i * 40000;
    held.emplace_back(static_cast<std::uint8_t*>(TakeLibraryBlock(size)), size);
    ASSERT_NE(held.back().first, nullptr);
    std::memset(held.back().first, int(i), size);
  }
  for (std::size_t i = 0; i < held.size(); ++i) {
    const auto [block, size] = held[i];
    EXPECT_EQ(std::count(block, block + size, std::uint8_t(i)), std::ptrdiff_t(size)) << i;
  }
  void* given = held[4].first;
  GiveLibraryBlock(given);
  EXPECT_EQ(TakeLibraryBlock(held[4].second), given);
  for (const auto& [block, size] : held) GiveLibraryBlock(block);
}
