#include "sheet/sheet_builder.h"
#include "devil/library.h"
#include "turn/library_turn.h"

#include <gtest/gtest.h>

#include <climits>

#include "sheet/sheet_layout.h"
#include "literal_frame_strip.h"
#include "test_support.h"

namespace {

using FrameStrip = LibraryTest;

std::vector<int> Angles(int frames) {
  std::vector<int> angles;
  float running = 0.0f;
  for (int k = 0; k < frames; ++k) {
    angles.push_back(int(running));
    running = NextRunningAngle(running, frames);
  }
  return angles;
}

TEST(FrameAngles, AreTheTruncatedRunningSum) {
  EXPECT_EQ(Angles(8), (std::vector<int>{0, 45, 90, 135, 180, 225, 270, 315}));
  EXPECT_EQ(Angles(14),
            (std::vector<int>{0, 25, 51, 77, 102, 128, 154, 179, 205, 231, 257, 282, 308, 334}));
  EXPECT_EQ(Angles(32), (std::vector<int>{0,   11,  22,  33,  45,  56,  67,  78,  90,  101, 112,
                                          123, 135, 146, 157, 168, 180, 191, 202, 213, 225, 236,
                                          247, 258, 270, 281, 292, 303, 315, 326, 337, 348}));
}

TEST_F(FrameStrip, ClearColourIsExactForEveryByte) {
  Image image = MakePicture(3, 2);
  for (int v = 0; v < 256; ++v) {
    const std::uint8_t red = std::uint8_t(v), green = std::uint8_t(255 - v),
                       blue = std::uint8_t(v ^ 0x5A);
    SetClearColor(red, green, blue, 255);
    ASSERT_TRUE(FillImage(image));
    for (std::size_t i = 0; i < image.ByteSize(); i += 3) {
      ASSERT_EQ(image.Pixels()[i], red) << v;
      ASSERT_EQ(image.Pixels()[i + 1], green) << v;
      ASSERT_EQ(image.Pixels()[i + 2], blue) << v;
    }
  }
}

TEST_F(FrameStrip, PasteClipsToTheDestination) {
  // A 33 x 21 canvas and a 45 x 41 turned copy centred on it: the block
  // comes from column 6, row 10.
  Image canvas = MakePicture(33, 21, 3, 1);
  const Image turned = MakePicture(45, 41, 3, 2);
  ASSERT_TRUE(PasteImage(canvas, turned, 16 - 22, 10 - 20));
  for (int y = 0; y < 21; ++y) {
    for (int x = 0; x < 33; ++x) {
      ASSERT_EQ(canvas.ReadPixel(x, y), turned.ReadPixel(x + 6, y + 10)) << x << "," << y;
    }
  }

  // Two columns narrower: lands at column 1, the outer columns untouched.
  Image wide = MakePicture(6, 2, 3, 3);
  const Image before = MakePicture(6, 2, 3, 3);
  const Image narrow = MakePicture(4, 2, 3, 4);
  ASSERT_TRUE(PasteImage(wide, narrow, 6 / 2 - 4 / 2, 0));
  for (int y = 0; y < 2; ++y) {
    EXPECT_EQ(wide.ReadPixel(0, y), before.ReadPixel(0, y));
    EXPECT_EQ(wide.ReadPixel(5, y), before.ReadPixel(5, y));
    for (int x = 1; x < 5; ++x) EXPECT_EQ(wide.ReadPixel(x, y), narrow.ReadPixel(x - 1, y));
  }

  // Wholly outside: nothing changes.
  const auto untouched = PixelBytes(wide);
  for (auto [x, y] : {std::pair{6, 0}, {-4, 0}, {0, 2}, {0, -2}, {INT_MIN, INT_MIN}}) {
    EXPECT_TRUE(PasteImage(wide, narrow, x, y));
    EXPECT_EQ(PixelBytes(wide), untouched);
  }
}

TEST_F(FrameStrip, LibraryQuarterTurnsOfSquaresGoTheWayOurOwnDo) {
  const int n = 5;
  const Image square = MakePicture(n, n);
  Image minus90;
  minus90.CopyFrom(square);
  ASSERT_TRUE(RotateImage(minus90, -90, true));
  Image minus270;
  minus270.CopyFrom(square);
  ASSERT_TRUE(RotateImage(minus270, 270, false));
  for (int y = 0; y < n; ++y) {
    for (int x = 0; x < n; ++x) {
      EXPECT_EQ(minus90.ReadPixel(x, y), square.ReadPixel(n - 1 - y, x));
      EXPECT_EQ(minus270.ReadPixel(x, y), square.ReadPixel(y, n - 1 - x));
    }
  }

  // A 6 x 4 picture inside a 6 x 6 one: our own quarter turn of the small
  // one is the middle of the library's turn of the square.
  Image small = MakePicture(6, 4, 3, 5);
  Image padded = MakePicture(6, 6, 3, 6);
  ASSERT_TRUE(PasteImage(padded, small, 0, 1));
  for (int degrees : {90, 270, -450}) {
    SCOPED_TRACE(degrees);
    Image ours;
    ours.CopyFrom(small);
    ASSERT_TRUE(RotateImage(ours, degrees, false));
    ASSERT_EQ(ours.Width(), 4);
    ASSERT_EQ(ours.Height(), 6);
    Image theirs;
    theirs.CopyFrom(padded);
    ASSERT_TRUE(RotateImage(theirs, degrees, false));
    for (int y = 0; y < 6; ++y) {
      for (int x = 0; x < 4; ++x) EXPECT_EQ(ours.ReadPixel(x, y), theirs.ReadPixel(x + 1, y));
    }
  }
}

TEST_F(FrameStrip, EveryWholeAngleOfANonSquarePictureTurns) {
  // Under valgrind this also proves no turn hands the library a shape it
  // writes out of bounds for.
  const Image source = MakePicture(6, 4);
  for (int degrees = -360; degrees <= 360; ++degrees) {
    Image turned;
    turned.CopyFrom(source);
    ASSERT_TRUE(RotateImage(turned, degrees, false)) << degrees;
  }
}

TEST_F(FrameStrip, ThinPicturesAreRefused) {
  for (auto [width, height] : {std::pair{1, 5}, {4, 1}, {1, 1}}) {
    Image thin = MakePicture(width, height);
    std::string reason;
    EXPECT_FALSE(RotateImage(thin, 30, false, &reason));
    EXPECT_NE(reason.find("2 x 2"), std::string::npos) << reason;
    EXPECT_EQ(thin.Width(), width);
    EXPECT_EQ(BuildFrameStrip(thin, 4, {}, &reason), nullptr);
    EXPECT_FALSE(reason.empty());
  }
}

TEST_F(FrameStrip, MatchesTheStepByStepStripByteForByte) {
  const auto ship = ReadUpright(GYRELLE_SAMPLES_DIR "/aimFighter1.png");
  ASSERT_TRUE(ship);
  struct Case {
    Image source;
    int frames;
  };
  Case cases[] = {{MakePicture(33, 21), 8}, {MakePicture(16, 16), 14}, {MakePicture(2, 3), 4},
                  {MakePicture(9, 4), 32},  {MakePicture(7, 7), 1},    {MakePicture(5, 8), 13}};
  cases[0].source.CopyFrom(*ship);
  cases[0].frames = 32;
  SetClearColor(12, 200, 99, 255);  // the step-by-step strip's fill
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.source.Width()) + "x" + std::to_string(c.source.Height()) +
                 " N=" + std::to_string(c.frames));
    std::string reason;
    const auto strip = BuildFrameStrip(c.source, c.frames, {12, 200, 99}, &reason);
    ASSERT_TRUE(strip) << reason;
    EXPECT_EQ(strip->Width(), c.source.Width());
    EXPECT_EQ(strip->Height(), c.source.Height() * c.frames);
    EXPECT_EQ(strip->GetName(), "");
    const auto literal = LiteralFrameStrip(c.source, c.frames);
    EXPECT_EQ(PixelBytes(*strip), PixelBytes(*literal));
  }
}

TEST_F(FrameStrip, OneFrameIsTheSource) {
  const Image source = MakePicture(7, 5);
  const auto strip = BuildFrameStrip(source, 1, {});
  ASSERT_TRUE(strip);
  EXPECT_EQ(PixelBytes(*strip), PixelBytes(source));
}

TEST_F(FrameStrip, QuarterFramesOfANonSquarePictureAreCentredAndClipped) {
  // 4 x 2 turned by -90 is 2 x 4, placed at (1, -1): canvas (1 + i, j) shows
  // source (2 - j, i); columns 0 and 3 keep the fill.
  const Image source = MakePicture(4, 2);
  const auto strip = BuildFrameStrip(source, 4, {1, 2, 3});
  ASSERT_TRUE(strip);
  const std::vector<std::uint8_t> fill{1, 2, 3};
  for (int j = 0; j < 2; ++j) {
    EXPECT_EQ(strip->ReadPixel(0, 2 + j), fill);
    EXPECT_EQ(strip->ReadPixel(3, 2 + j), fill);
    for (int i = 0; i < 2; ++i)
      EXPECT_EQ(strip->ReadPixel(1 + i, 2 + j), source.ReadPixel(2 - j, i));
  }
  // Frame 2 is the half turn: the source upside down and mirrored.
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 4; ++x)
      EXPECT_EQ(strip->ReadPixel(x, 4 + y), source.ReadPixel(3 - x, 1 - y));
  }
}

// Every whole degree, as a user sees it: the turned ship sits in the middle
// of its canvas, which each frame then centres. The library's own canvas for
// turns between 90 and 270 degrees put it up to half a frame off.
TEST_F(FrameStrip, EveryTurnIsCentredOnItsCanvas) {
  SetClearColor(0, 0, 0, 255);
  for (auto [width, height] : {std::pair{2, 2}, {3, 7}, {27, 28}, {256, 128}}) {
    for (int degrees = 0; degrees < 360; ++degrees) {
      Image turned;
      turned.Allocate("", width, height, 3);
      std::fill_n(turned.Pixels(), turned.ByteSize(), std::uint8_t(200));
      ASSERT_TRUE(RotateImage(turned, degrees, false));
      int left = turned.Width(), right = -1, top = turned.Height(), bottom = -1;
      for (int y = 0; y < turned.Height(); ++y) {
        for (int x = 0; x < turned.Width(); ++x) {
          if (turned.ReadPixel(x, y) == std::vector<std::uint8_t>{0, 0, 0}) continue;
          left = std::min(left, x), right = std::max(right, x);
          top = std::min(top, y), bottom = std::max(bottom, y);
        }
      }
      SCOPED_TRACE(std::to_string(width) + "x" + std::to_string(height) + " by " +
                   std::to_string(degrees));
      EXPECT_LE(std::abs(left + right - (turned.Width() - 1)), 2);
      EXPECT_LE(std::abs(top + bottom - (turned.Height() - 1)), 2);
    }
  }
}

TEST_F(FrameStrip, SizesBeyondWhatCanBeHeldAreRefusedBeforeAllocating) {
  std::string reason;
  SheetPlan plan;
  const auto fits = [&](int width, int height, int frames, int bpp) {
    StripOptions options;
    options.frames = frames;
    return PlanSheet(width, height, options, bpp, plan, &reason);
  };
  EXPECT_FALSE(fits(2, 2, 0, 3));
  EXPECT_FALSE(fits(2, 65536, 32768, 3));  // 2^31 rows
  EXPECT_NE(reason.find("rows"), std::string::npos) << reason;
  EXPECT_TRUE(fits(1, 65535, 32768, 1));
  EXPECT_FALSE(fits(256, 256, 21846, 3));  // just over 4 GiB
  EXPECT_NE(reason.find("4 GiB"), std::string::npos) << reason;
  EXPECT_TRUE(fits(256, 256, 21845, 3));

  const Image source = MakePicture(512, 512);
  EXPECT_EQ(BuildFrameStrip(source, INT_MAX, {}, &reason), nullptr);
  EXPECT_EQ(BuildFrameStrip(source, -1, {}, &reason), nullptr);
}

}  // namespace
