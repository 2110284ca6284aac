#include "turn/pixel_turns.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <stdexcept>
#include <set>
#include <thread>

#include "sheet/sheet_builder.h"
#include "devil/library.h"
#include "turn/library_turn.h"
#include "sheet/sheet_layout.h"
#include "engine/strip_pipeline.h"
#include "turn/worker_pool.h"
#include "test_support.h"

namespace {

constexpr TurnMethod kOwnMethods[] = {TurnMethod::kRotSprite, TurnMethod::kShear};

Image Turned(const PixelTurner& turner, long long angle, const std::vector<std::uint8_t>& fill,
             int width, int height) {
  Image frame;
  const int bpp = int(fill.size());
  frame.Allocate("", width, height, bpp);
  std::vector<std::uint8_t> fillRow;
  for (int x = 0; x < width; ++x) fillRow.insert(fillRow.end(), fill.begin(), fill.end());
  turner.Turn(angle, {frame.Pixels(), width, height, frame.RowBytes(), bpp, fillRow.data()});
  return frame;
}

std::vector<std::uint8_t> Pixel(const Image& image, std::size_t i) {
  const std::uint8_t* p = image.Pixels() + i * image.BytesPerPixel();
  return {p, p + image.BytesPerPixel()};
}

std::set<std::vector<std::uint8_t>> Colours(const Image& image) {
  std::set<std::vector<std::uint8_t>> colours;
  for (std::size_t i = 0; i < std::size_t(image.Width()) * image.Height(); ++i) {
    colours.insert(Pixel(image, i));
  }
  return colours;
}

int CountOtherThan(const Image& image, const std::vector<std::uint8_t>& fill) {
  int count = 0;
  for (std::size_t i = 0; i < std::size_t(image.Width()) * image.Height(); ++i) {
    count += Pixel(image, i) != fill;
  }
  return count;
}

std::unique_ptr<Image> Sample(const std::string& name, int bytesPerPixel) {
  auto image = LoadImageFile(GYRELLE_SAMPLES_DIR "/" + name, bytesPerPixel);
  if (image) FlipRows(*image);
  return image;
}

class PixelTurns : public LibraryTest {};

TEST_F(PixelTurns, AddNoColourNorAlpha) {
  WorkerPool pool(2);
  const std::pair<const char*, int> samples[] = {
      {"escort1.png", 3}, {"aimFighter1.png", 3}, {"cloakShip1.png", 3}, {"goodTrans1.png", 4}};
  for (const auto& [name, bpp] : samples) {
    const auto ship = Sample(name, bpp);
    ASSERT_TRUE(ship) << name;
    std::set<std::vector<std::uint8_t>> allowed = Colours(*ship);
    const std::vector<std::uint8_t> fill = bpp == 4 ? std::vector<std::uint8_t>{1, 2, 3, 0}
                                                    : std::vector<std::uint8_t>{1, 2, 3};
    allowed.insert(fill);
    for (TurnMethod method : kOwnMethods) {
      const PixelTurner turner(*ship, method, pool);
      for (int angle = -359; angle < 360; angle += 11) {
        for (const auto& colour : Colours(Turned(turner, angle, fill, 40, 37))) {
          ASSERT_TRUE(allowed.count(colour)) << name << " " << TurnMethodName(method) << angle;
        }
      }
    }
  }
}

// The library path makes the quarter turns of pictures whose sides differ
// by its own exact turn.
TEST_F(PixelTurns, QuarterTurnsAreTheExactTurns) {
  WorkerPool pool(1);
  SetClearColor(255, 0, 255, 255);
  for (const auto& [width, height] : {std::pair{9, 6}, {6, 9}, {8, 5}}) {
    const Image picture = MakePicture(width, height);
    const auto strip = BuildFrameStrip(picture, 4, Rgb{255, 0, 255});
    ASSERT_TRUE(strip);
    for (TurnMethod method : kOwnMethods) {
      const PixelTurner turner(picture, method, pool);
      for (int k = 0; k < 4; ++k) {
        const Image frame = Turned(turner, 90 * k, {255, 0, 255}, width, height);
        const std::vector<std::uint8_t> expected(strip->Pixels() + k * picture.ByteSize(),
                                                 strip->Pixels() + (k + 1) * picture.ByteSize());
        EXPECT_EQ(PixelBytes(frame), expected) << width << "x" << height << " frame " << k;
      }
    }
  }
}

// Each angle's own TurnedSize holds every pixel, and the made pictures
// (with no pixel of the fill) reach all four sides of it.
TEST_F(PixelTurns, ShearsKeepEveryPixelOnAFittedFrame) {
  WorkerPool pool(1);
  const auto ship = Sample("escort1.png", 3);
  ASSERT_TRUE(ship);
  const Image odd = MakePicture(7, 4), even = MakePicture(8, 6), tall = MakePicture(5, 23);
  for (const Image* picture : {static_cast<const Image*>(ship.get()), &odd, &even, &tall}) {
    const PixelTurner turner(*picture, TurnMethod::kShear, pool);
    const bool made = picture != ship.get();
    const std::vector<std::uint8_t> fill = made ? std::vector<std::uint8_t>{255, 255, 255}
                                                : Pixel(*picture, 0);
    const int visible = CountOtherThan(*picture, fill);
    for (int angle = 0; angle < 360; ++angle) {
      const BlockSize size = TurnedSize(TurnMethod::kShear, picture->Width(), picture->Height(), angle);
      const Image frame = Turned(turner, angle, fill, size.width, size.height);
      ASSERT_EQ(CountOtherThan(frame, fill), visible) << angle;
      if (!made) continue;
      const auto reaches = [&](int x0, int y0, int dx, int dy, int count) {
        for (int i = 0; i < count; ++i) {
          if (frame.ReadPixel(x0 + i * dx, y0 + i * dy) != fill) return true;
        }
        return false;
      };
      EXPECT_TRUE(reaches(0, 0, 1, 0, size.width) && reaches(0, size.height - 1, 1, 0, size.width) &&
                  reaches(0, 0, 0, 1, size.height) && reaches(size.width - 1, 0, 0, 1, size.height))
          << picture->Width() << "x" << picture->Height() << " " << angle;
    }
  }
}

// The whole turned picture sits in the frame's middle, within the size
// TurnedSize gives it.
TEST_F(PixelTurns, TurnedPictureIsCentredWithinItsSize) {
  WorkerPool pool(1);
  const std::vector<std::uint8_t> fill = {255, 255, 255};
  for (const auto& [width, height] : {std::pair{9, 6}, {8, 8}, {7, 12}}) {
    const Image picture = MakePicture(width, height);
    for (TurnMethod method : kOwnMethods) {
      const PixelTurner turner(picture, method, pool);
      for (const auto& [frameWidth, frameHeight] : {std::pair{30, 31}, {31, 30}}) {
        for (int angle = 0; angle < 360; angle += 7) {
          const Image frame = Turned(turner, angle, fill, frameWidth, frameHeight);
          int left = frameWidth, right = -1, top = frameHeight, bottom = -1;
          for (int y = 0; y < frameHeight; ++y) {
            for (int x = 0; x < frameWidth; ++x) {
              if (frame.ReadPixel(x, y) == fill) continue;
              left = std::min(left, x), right = std::max(right, x);
              top = std::min(top, y), bottom = std::max(bottom, y);
            }
          }
          const std::string where = std::string(TurnMethodName(method)) + " " +
                                    std::to_string(width) + "x" + std::to_string(height) + " " +
                                    std::to_string(angle);
          EXPECT_LE(std::abs(left + right + 1 - frameWidth), 2) << where;
          EXPECT_LE(std::abs(top + bottom + 1 - frameHeight), 2) << where;
          const BlockSize size = TurnedSize(method, picture.Width(), picture.Height(), angle);
          EXPECT_LE(right - left + 1, size.width) << where;
          EXPECT_LE(bottom - top + 1, size.height) << where;
        }
      }
    }
  }
}

// A degree either side of a quarter turn leaves nearly every pixel where the
// quarter turn puts it: both methods turn the way the library does.
TEST_F(PixelTurns, TurnTheLibrarysWay) {
  WorkerPool pool(1);
  const Image picture = MakePicture(9, 9);
  const std::vector<std::uint8_t> fill = {255, 255, 255};
  for (TurnMethod method : kOwnMethods) {
    const PixelTurner turner(picture, method, pool);
    for (int quarter : {-90, 90, 180}) {
      const auto exact = PixelBytes(Turned(turner, quarter, fill, 9, 9));
      for (int near : {quarter - 1, quarter + 1}) {
        const auto turned = PixelBytes(Turned(turner, near, fill, 9, 9));
        int same = 0;
        for (std::size_t i = 0; i < turned.size(); i += 3) {
          same += std::equal(&turned[i], &turned[i + 3], &exact[i]);
        }
        EXPECT_GE(same, 9 * 9 * 8 / 10) << TurnMethodName(method) << " " << near;
      }
    }
  }
}

TEST_F(PixelTurns, EnlargementIsTheSameOnAnyPool) {
  const auto ship = Sample("goodTrans1.png", 4);
  ASSERT_TRUE(ship);
  WorkerPool one(1), many(16);
  const PixelTurner a(*ship, TurnMethod::kRotSprite, one), b(*ship, TurnMethod::kRotSprite, many);
  for (int angle : {17, 45, 200}) {
    EXPECT_EQ(PixelBytes(Turned(a, angle, {0, 0, 0, 0}, 40, 40)),
              PixelBytes(Turned(b, angle, {0, 0, 0, 0}, 40, 40)));
  }
}

TEST(PixelTurnNames, RoundTripAndLimit) {
  for (TurnMethod method : {TurnMethod::kLibrary, TurnMethod::kRotSprite, TurnMethod::kShear}) {
    EXPECT_EQ(TurnMethodNamed(TurnMethodName(method)), method);
  }
  EXPECT_FALSE(TurnMethodNamed("Shear"));
  EXPECT_TRUE(CheckEnlargement(4095, 4096));

  // Too large to enlarge: refused while the sheet is planned, before any
  // enlargement or sheet is allocated. Shears need no enlargement.
  Image big;
  big.Allocate("", 4096, 4096, 3);
  StripOptions options;
  SheetPlan plan;
  std::string reason;
  options.method = TurnMethod::kRotSprite;
  EXPECT_FALSE(PlanStrip(big, options, plan, &reason));
  EXPECT_NE(reason.find("4096 x 4096 pixels is too large for rotsprite"), std::string::npos)
      << reason;
  options.method = TurnMethod::kShear;
  EXPECT_TRUE(PlanStrip(big, options, plan));
  // Quarter turns alone need no enlargement.
  options.method = TurnMethod::kRotSprite;
  options.frames = 4;
  EXPECT_TRUE(PlanStrip(big, options, plan));
}

TEST(WorkerPool, RunsEveryJobOnceAndPassesOnAFailure) {
  WorkerPool pool(4);
  std::vector<std::atomic<int>> runs(100);
  pool.Run(100, [&](int job) { ++runs[std::size_t(job)]; });
  EXPECT_TRUE(std::all_of(runs.begin(), runs.end(), [](const auto& n) { return n == 1; }));
  EXPECT_THROW(pool.Run(100, [](int job) { if (job == 57) throw std::runtime_error("57"); }),
               std::runtime_error);
  int ran = 0;
  pool.Run(1, [&](int) { ++ran; });  // still at work after a failure
  EXPECT_EQ(ran, 1);
}

// The threads start after the pool does, perhaps after its first round was
// handed out; they must still help with it.
TEST(WorkerPool, TheFirstRoundRunsOnEveryThread) {
  WorkerPool pool(2);
  std::atomic<int> inside = 0;
  std::atomic<bool> alone = false;
  pool.Run(2, [&](int) {
    ++inside;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (inside < 2 && std::chrono::steady_clock::now() < until) std::this_thread::yield();
    if (inside < 2) alone = true;
  });
  EXPECT_FALSE(alone);
}

}  // namespace
