#include "turn/smooth_turn.h"

#include <gtest/gtest.h>

#include <cmath>

#include "engine/strip_pipeline.h"
#include "sheet/sheet_layout.h"
#include "test_support.h"
#include "turn/pixel_turns.h"
#include "turn_measures.h"

namespace {

constexpr Rgb kShapeColour{200, 60, 30};

std::unique_ptr<Image> SmoothSheet(const Image& picture, bool alpha, FrameSize size, int frames,
                                   int threads, SheetPlan& plan) {
  StripOptions options;
  options.frames = frames;
  options.alpha = alpha;
  options.frameSize = size;
  options.method = TurnMethod::kSmooth;
  options.threads = threads;
  options.fill = {0, 0, 255};
  std::string reason;
  auto sheet = MakeStrip(picture, options, &reason, &plan);
  EXPECT_TRUE(sheet) << reason;
  return sheet;
}

const std::uint8_t* At(const Image& sheet, const FrameRect& frame, int x, int y) {
  return sheet.Pixels() +
         (std::size_t(frame.y + y) * sheet.Width() + frame.x + x) * sheet.BytesPerPixel();
}

// A spin keeps the shape's centre of mass where the exact turn puts it, and
// fitted frames hold all the filter reaches: the same frames made 2 pixels
// larger each side gain only transparent pixels. Widths and heights of
// either parity.
TEST(SmoothTurn, FramesSitWhereTheExactTurnPutsThemAndFitWhole) {
  for (const auto& [width, height] : {std::pair(64, 47), std::pair(33, 40)}) {
    const Image shape = SoftShape(width, height, kShapeColour);
    const Centre upright = AlphaCentre(shape, {0, 0, width, height});
    SheetPlan fit, wide;
    const auto sheet = SmoothSheet(shape, true, {FrameSize::Kind::kFit}, 72, 0, fit);
    const auto wider =
        SmoothSheet(shape, true, {FrameSize::Kind::kGiven, fit.frameWidth + 4, fit.frameHeight + 4},
                    72, 0, wide);
    for (int k = 0; k < fit.Frames(); ++k) {
      const FrameRect frame = fit.Frame(k), big = wide.Frame(k);
      const Centre got = AlphaCentre(*sheet, frame);
      const Centre want = TurnedCentre(upright, width, height, fit.angles[std::size_t(k)],
                                       frame.width, frame.height);
      EXPECT_LT(std::hypot(got.x - want.x, got.y - want.y), 0.05) << width << " frame " << k;
      EXPECT_NEAR(got.mass, upright.mass, upright.mass * 0.01) << width << " frame " << k;
      int strays = 0;
      for (int y = 0; y < big.height; ++y) {
        for (int x = 0; x < big.width; ++x) {
          const bool inside = x >= 2 && y >= 2 && x < frame.width + 2 && y < frame.height + 2;
          const std::uint8_t* p = At(*wider, big, x, y);
          strays += inside ? !std::equal(p, p + 4, At(*sheet, frame, x - 2, y - 2)) : p[3] != 0;
        }
      }
      EXPECT_EQ(strays, 0) << width << " frame " << k;
    }
  }
}

// Soft edges keep the shape's colour; without alpha each frame is laid over
// the fill, which stays exactly the fill wherever nothing of the shape lands,
// and where more than a trace of it does, is not.
TEST(SmoothTurn, SoftEdgesKeepTheirColourAndTheFillStaysExact) {
  const Image shape = SoftShape(40, 29, kShapeColour);
  SheetPlan plan;
  const auto clear = SmoothSheet(shape, true, {FrameSize::Kind::kFit}, 24, 0, plan);
  EXPECT_LE(FringeLevels(*clear, kShapeColour), 2);
  const auto laid = SmoothSheet(shape, false, {FrameSize::Kind::kFit}, 24, 0, plan);
  ASSERT_EQ(laid->Width(), clear->Width());
  const std::size_t count = std::size_t(laid->Width()) * laid->Height();
  int mismatches = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t* p = laid->Pixels() + i * 3;
    const bool fill = p[0] == 0 && p[1] == 0 && p[2] == 255;
    const int alpha = clear->Pixels()[i * 4 + 3];
    mismatches += alpha == 0 ? !fill : alpha > 1 && fill;
  }
  EXPECT_EQ(mismatches, 0);
}

// The sheet is the same on any number of threads, with alpha or without.
TEST(SmoothTurn, AnyNumberOfThreadsMakesTheSameSheet) {
  const Image picture = MakePicture(37, 23, 4, 5);
  for (bool alpha : {true, false}) {
    SheetPlan plan;
    const auto one = SmoothSheet(picture, alpha, {FrameSize::Kind::kFit}, 30, 1, plan);
    for (int threads : {2, 5}) {
      EXPECT_EQ(
          PixelBytes(*SmoothSheet(picture, alpha, {FrameSize::Kind::kFit}, 30, threads, plan)),
          PixelBytes(*one))
          << alpha << " " << threads;
    }
  }
}

// Quarter turns move whole pixels when the sides keep their parity, and
// blend nothing then.
TEST(SmoothTurn, AlignedQuarterTurnsAreExact) {
  Image picture = MakePicture(9, 7, 4, 3);
  for (std::size_t i = 3; i < picture.ByteSize(); i += 4) picture.Pixels()[i] |= 1;
  const SmoothTurner turner(picture);
  for (int degrees : {0, 90, 180, 270}) {
    const BlockSize size = SmoothTurnedSize(9, 7, degrees);
    EXPECT_EQ(size, (degrees % 180 ? BlockSize{7, 9} : BlockSize{9, 7})) << degrees;
    Image smooth, exact;
    smooth.Allocate("", size.width, size.height, 4);
    exact.Allocate("", size.width, size.height, 4);
    const std::vector<std::uint8_t> fillRow(smooth.RowBytes(), 0);
    turner.Turn(degrees,
                {smooth.Pixels(), size.width, size.height, smooth.RowBytes(), 4, fillRow.data()});
    DrawExactTurn(picture, degrees,
                  {exact.Pixels(), size.width, size.height, exact.RowBytes(), 4, fillRow.data()});
    EXPECT_EQ(PixelBytes(smooth), PixelBytes(exact)) << degrees;
  }
}

}  // namespace
