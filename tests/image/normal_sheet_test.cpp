#include <gtest/gtest.h>

#include <cmath>

#include "../../bench/normal_shapes.h"
#include "engine/normal_sheet.h"
#include "engine/strip_pipeline.h"
#include "test_support.h"

namespace {

using namespace normal_shapes;

// Eight frames (the quarter turns and the diagonals between) of a round and
// a lopsided shape, both y conventions, every method: the vectors turn with
// the pixels, counter-clockwise as seen, so a turn the wrong way or a y
// read upside down strays by up to 180 degrees.
TEST(NormalSheet, VectorsTurnWithTheirFramesForEveryMethodAndYConvention) {
  const int size = 65;  // a ship's size: smaller, the bumps fall between the pixels
  const Image colour = MakePicture(size, size);
  for (TurnMethod method : {TurnMethod::kLibrary, TurnMethod::kRotSprite, TurnMethod::kShear,
                            TurnMethod::kSmooth}) {
    StripOptions options;
    options.frames = 8;
    options.alpha = true;
    options.method = method;
    SheetPlan plan;
    const auto sheet = MakeStrip(colour, options, nullptr, &plan);
    ASSERT_TRUE(sheet);
    const bool blends = method == TurnMethod::kLibrary || method == TurnMethod::kSmooth;
    const double budget = blends ? 6.0 : 2.0;
    for (Shape shape : {Shape::kFlat, Shape::kDome, Shape::kTwoBumps}) {
      for (NormalY yAxis : {NormalY::kUp, NormalY::kDown}) {
        SCOPED_TRACE(std::string(TurnMethodName(method)) + " shape " +
                     std::to_string(int(shape)) + (yAxis == NormalY::kUp ? " up" : " down"));
        const Image map = NormalMap(shape, size, yAxis);
        const auto normals = MakeNormalSheet({&map}, *sheet, plan, options, yAxis);
        ASSERT_TRUE(normals);
        const Strays strays = Measure(map, shape, *normals, plan, yAxis, Reach(method));
        EXPECT_GT(strays.covered, 7L * size * size);
        // Smooth turning samples between pixels: measured against the
        // source blended there, not against its nearest pixel.
        EXPECT_LE(method == TurnMethod::kSmooth ? strays.fromBlend : strays.fromSource, budget);
        if (shape == Shape::kFlat) {
          EXPECT_EQ(strays.notFlat, 0);
        }
        // The diagonals uncover corners: flat, alpha 0.
        EXPECT_GT(strays.uncovered, 0);
        EXPECT_EQ(strays.flatUncovered, strays.uncovered);
      }
    }
  }
}

// Without alpha the normal sheet is 3 bytes too; a colour pixel with
// alpha 0 makes its normal flat with alpha 0.
TEST(NormalSheet, FollowsTheColourSheetsDepthAndTransparency) {
  const Image map = NormalMap(Shape::kDome, 9, NormalY::kUp);
  Image colour = MakePicture(9, 9, 4);
  for (std::size_t i = 3; i < colour.ByteSize(); i += 4) colour.Pixels()[i] = 255;
  colour.Pixels()[(2 * 9 + 2) * 4 + 3] = 0;
  for (bool alpha : {false, true}) {
    StripOptions options;
    options.frames = 1;
    options.alpha = alpha;
    SheetPlan plan;
    const auto sheet = MakeStrip(colour, options, nullptr, &plan);
    ASSERT_TRUE(sheet);
    const auto normals = MakeNormalSheet({&map}, *sheet, plan, options, NormalY::kUp);
    ASSERT_TRUE(normals);
    ASSERT_EQ(normals->BytesPerPixel(), alpha ? 4 : 3);
    const std::vector<std::uint8_t> got = normals->ReadPixel(2, 2), source = map.ReadPixel(2, 2);
    if (alpha) {
      EXPECT_EQ(got, (std::vector<std::uint8_t>{128, 128, 255, 0}));
    } else {
      for (int c = 0; c < 3; ++c) EXPECT_NEAR(got[c], source[c], 1) << c;
    }
  }
}

// Cut, packed and extruded, the normal sheet keeps the colour sheet's
// placements: each frame holds the pixels of the same frame of the whole
// grid, cut the same way, and every pixel's alpha, rings too, is the colour's.
TEST(NormalSheet, TrimmedPackedAndExtrudedFramesKeepTheColourSheetsPlacements) {
  const int size = 33;
  Image colour = MakePicture(size, size, 4);
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      colour.Pixels()[(std::size_t(y) * size + x) * 4 + 3] =
          std::hypot(x - 16, y - 16) < 11 ? 255 : 0;  // a border the trim cuts away
    }
  }
  const Image map = NormalMap(Shape::kDome, size, NormalY::kUp);
  StripOptions whole;
  whole.frames = 8;
  whole.alpha = true;
  StripOptions cut = whole;
  cut.trim = cut.pack = true;
  cut.extrude = 2;
  SheetPlan wholePlan, cutPlan;
  const auto wholeSheet = MakeStrip(colour, whole, nullptr, &wholePlan);
  const auto cutSheet = MakeStrip(colour, cut, nullptr, &cutPlan);
  ASSERT_TRUE(wholeSheet && cutSheet);
  const auto wholeNormals = MakeNormalSheet({&map}, *wholeSheet, wholePlan, whole, NormalY::kUp);
  const auto cutNormals = MakeNormalSheet({&map}, *cutSheet, cutPlan, cut, NormalY::kUp);
  ASSERT_TRUE(wholeNormals && cutNormals);
  ASSERT_EQ(cutNormals->Width(), cutSheet->Width());
  ASSERT_EQ(cutNormals->Height(), cutSheet->Height());
  for (const Placement& p : cutPlan.placements) {
    ASSERT_TRUE(p.Trimmed());
    const Rect& from = wholePlan.placements[std::size_t(p.frame)].sheet;
    for (int j = 0; j < p.sheet.height; ++j) {
      for (int i = 0; i < p.sheet.width; ++i) {
        ASSERT_EQ(cutNormals->ReadPixel(p.sheet.x + i, p.sheet.y + j),
                  wholeNormals->ReadPixel(from.x + p.inFrame.x + i, from.y + p.inFrame.y + j))
            << "frame " << p.frame << " at " << i << ", " << j;
      }
    }
  }
  for (int y = 0; y < cutSheet->Height(); ++y) {
    for (int x = 0; x < cutSheet->Width(); ++x) {
      ASSERT_EQ(cutNormals->ReadPixel(x, y)[3], cutSheet->ReadPixel(x, y)[3]) << x << ", " << y;
    }
  }
}

}  // namespace
