// Sheets beyond the classic strip: transparency, frame sizes, grids, angles
// and the data file.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <cmath>
#include <cstring>

#include "devil/library.h"
#include "turn/library_turn.h"
#include "sheet/data_writers.h"
#include "sheet/sheet_data.h"
#include "sheet/sheet_layout.h"
#include "engine/strip_pipeline.h"
#include "test_support.h"

namespace {

using Sheet = LibraryTest;

// A width x height RGBA picture: the left third wholly transparent, one
// column half transparent, the rest opaque.
Image Translucent(int width, int height) {
  Image picture = MakePicture(width, height, 4);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      std::uint8_t* pixel = picture.Pixels() + (std::size_t(y) * width + x) * 4;
      pixel[3] = x < width / 3 ? 0 : x == width / 3 ? 128 : 255;
    }
  }
  return picture;
}

std::uint8_t Alpha(const Image& image, int x, int y) {
  return image.Pixels()[(std::size_t(y) * image.Width() + x) * 4 + 3];
}

TEST_F(Sheet, WithoutAlphaTransparentPixelsBecomeTheFill) {
  const Image picture = Translucent(9, 6);
  const Rgb fill{255, 0, 255};
  const auto strip = MakeStrip(picture, {.frames = 1, .fill = fill});
  ASSERT_TRUE(strip);
  ASSERT_EQ(strip->BytesPerPixel(), 3);
  for (int x : {0, 3, 8}) {
    const auto in = picture.ReadPixel(x, 2), out = strip->ReadPixel(x, 2);
    for (int c = 0; c < 3; ++c) {
      const int f = c == 1 ? 0 : 255;
      EXPECT_EQ(out[std::size_t(c)], (in[std::size_t(c)] * in[3] + f * (255 - in[3]) + 127) / 255);
    }
  }
  EXPECT_EQ(strip->ReadPixel(0, 0), (std::vector<std::uint8_t>{255, 0, 255}));
}

TEST_F(Sheet, AlphaIsZeroExactlyWhereNothingShows) {
  const Image picture = Translucent(9, 6);
  const Rgb fill{1, 2, 3};
  SheetPlan plan;
  const auto sheet = MakeStrip(picture,
                               {.frames = 4,
                                .fill = fill,
                                .alpha = true,
                                .frameSize = {FrameSize::Kind::kGiven, 11, 8},
                                .columns = 2,
                                .spacing = 1,
                                .margin = 2},
                               nullptr, &plan);
  ASSERT_TRUE(sheet);
  ASSERT_EQ(sheet->BytesPerPixel(), 4);
  // Frame 0 is the picture centred at (1, 1) of its 11 x 8 cell.
  const FrameRect cell = plan.Frame(0);
  const auto mask = MakeMask(*sheet, 0, 0, 0);
  for (int y = 0; y < sheet->Height(); ++y) {
    for (int x = 0; x < sheet->Width(); ++x) {
      const int px = x - cell.x - 1, py = y - cell.y - 1;
      const bool inside = px >= 0 && px < 9 && py >= 0 && py < 6;
      if (inside) {
        const auto in = picture.ReadPixel(px, py);
        const std::vector<std::uint8_t> gap{1, 2, 3, 0};
        ASSERT_EQ(sheet->ReadPixel(x, y), in[3] == 0 ? gap : in);
      } else if (x < plan.Frame(1).x - 1 && y < plan.Frame(2).y - 1) {
        ASSERT_EQ(sheet->ReadPixel(x, y), (std::vector<std::uint8_t>{1, 2, 3, 0})) << x << "," << y;
      }
      // The mask is black exactly where alpha is 0, whatever the colour.
      ASSERT_EQ(mask->ReadPixel(x, y)[0], Alpha(*sheet, x, y) == 0 ? 0 : 255);
    }
  }
}

TEST_F(Sheet, FitHoldsEveryTurnedPictureWhole) {
  const Rgb fill{0, 0, 0};
  for (auto [width, height] : {std::pair{30, 12}, {7, 19}, {16, 16}}) {
    Image opaque = MakePicture(width, height, 4);
    for (std::size_t i = 3; i < opaque.ByteSize(); i += 4) opaque.Pixels()[i] = 255;
    SheetPlan plan;
    const int frames = 24;
    const auto sheet = MakeStrip(opaque,
                                 {.frames = frames,
                                  .fill = fill,
                                  .alpha = true,
                                  .frameSize = {FrameSize::Kind::kFit},
                                  .columns = 5},
                                 nullptr, &plan);
    ASSERT_TRUE(sheet);
    for (int k = 0; k < frames; ++k) {
      Image turned;
      turned.CopyFrom(opaque);
      SetClearColor(0, 0, 0, 0);
      ASSERT_TRUE(RotateImage(turned, plan.angles[std::size_t(k)], false));
      EXPECT_LE(turned.Width(), plan.frameWidth);
      EXPECT_LE(turned.Height(), plan.frameHeight);
      int shown = 0, kept = 0;
      for (int y = 0; y < turned.Height(); ++y)
        for (int x = 0; x < turned.Width(); ++x) shown += Alpha(turned, x, y) != 0;
      const FrameRect cell = plan.Frame(k);
      for (int y = cell.y; y < cell.y + cell.height; ++y)
        for (int x = cell.x; x < cell.x + cell.width; ++x) kept += Alpha(*sheet, x, y) != 0;
      EXPECT_EQ(kept, shown) << width << "x" << height << " frame " << k;
    }
  }
}

TEST(SheetLayout, FramesLieInsideTheSheetAndApart) {
  struct Case {
    int frames, columns, spacing, margin, maxSize;
    bool pot;
  };
  for (const Case& c :
       {Case{64, 8, 0, 0, 0, false}, Case{13, 5, 3, 7, 0, true}, Case{10, 1, 2, 0, 0, false},
        Case{32, 1, 1, 1, 200, false}, Case{7, 7, 0, 0, 0, true}}) {
    SheetPlan plan;
    StripOptions options{.frames = c.frames,
                         .columns = c.columns,
                         .spacing = c.spacing,
                         .margin = c.margin,
                         .maxSize = c.maxSize,
                         .powerOfTwo = c.pot};
    ASSERT_TRUE(PlanSheet(21, 17, options, 3, plan));
    if (c.maxSize > 0) {
      EXPECT_LE(std::max(plan.width, plan.height), c.maxSize);
      options.maxSize = 0, options.columns = plan.columns - 1;
      SheetPlan fewer;
      EXPECT_TRUE(options.columns == 0 || (PlanSheet(21, 17, options, 3, fewer) &&
                                           std::max(fewer.width, fewer.height) > c.maxSize));
    }
    if (c.pot) {
      EXPECT_EQ(plan.width & (plan.width - 1), 0);
      EXPECT_EQ(plan.height & (plan.height - 1), 0);
    }
    for (int k = 0; k < c.frames; ++k) {
      const FrameRect a = plan.Frame(k);
      EXPECT_GE(a.x, c.margin);
      EXPECT_GE(a.y, c.margin);
      EXPECT_LE(a.x + a.width, plan.width - (c.pot ? 0 : c.margin));
      EXPECT_LE(a.y + a.height, plan.height - (c.pot ? 0 : c.margin));
      for (int j = 0; j < k; ++j) {
        const FrameRect b = plan.Frame(j);
        EXPECT_TRUE(a.x >= b.x + b.width + c.spacing || b.x >= a.x + a.width + c.spacing ||
                    a.y >= b.y + b.height + c.spacing || b.y >= a.y + a.height + c.spacing)
            << k << " meets " << j;
      }
    }
  }
  // Refused: no columns, more columns than frames, negative gaps, no room.
  SheetPlan plan;
  std::string reason;
  for (const StripOptions& bad :
       {StripOptions{.frames = 4, .columns = 0}, StripOptions{.frames = 4, .columns = 5},
        StripOptions{.frames = 4, .spacing = -1}, StripOptions{.frames = 4, .margin = -1},
        StripOptions{.frames = 4, .frameSize = {FrameSize::Kind::kGiven, 0, 5}},
        StripOptions{.frames = 4, .maxSize = 20}}) {
    EXPECT_FALSE(PlanSheet(21, 17, bad, 3, plan, &reason));
    EXPECT_FALSE(reason.empty());
  }
}

TEST(SheetLayout, AnglesStartTurnBackOrRound) {
  EXPECT_EQ(FrameAngles({.frames = 4, .startDegrees = 30}), (std::vector<int>{30, 120, 210, 300}));
  EXPECT_EQ(FrameAngles({.frames = 4, .startDegrees = 30, .reverse = true}),
            (std::vector<int>{30, 300, 210, 120}));
  // 14 frames: the running sum gives 179 for frame 7, rounding 180.
  EXPECT_EQ(FrameAngles({.frames = 14})[7], 179);
  EXPECT_EQ(FrameAngles({.frames = 14, .exactAngles = true})[7], 180);
  EXPECT_EQ(FrameAngles({.frames = 14, .exactAngles = true})[1], 26);
}

TEST_F(Sheet, DataFileRectanglesAreTheFrames) {
  TempDir dir;
  const Image picture = Translucent(12, 9);
  const StripOptions column{
      .frames = 10, .fill = {9, 9, 9}, .alpha = true, .frameSize = {FrameSize::Kind::kFit}};
  StripOptions grid = column;
  grid.columns = 4, grid.spacing = 2, grid.margin = 1;
  const auto strip = MakeStrip(picture, column);
  SheetPlan plan;
  const auto sheet = MakeStrip(picture, grid, nullptr, &plan);
  ASSERT_TRUE(strip && sheet);
  for (DataFormat format : {DataFormat::kJsonHash, DataFormat::kJsonArray}) {
    const SaveOptions save{.data = format, .dataPath = dir / "data/ship.json"};
    std::filesystem::create_directory(dir / "data");
    ASSERT_TRUE(SaveStrip(*sheet, dir / "ship.png", save, grid.fill, &plan).empty());
    const auto data = nlohmann::json::parse(std::ifstream(dir / "data/ship.json"));
    EXPECT_EQ(data["meta"]["image"], "../ship.png");
    EXPECT_EQ(data["meta"]["size"]["w"], sheet->Width());
    EXPECT_EQ(data["meta"]["format"], "RGBA8888");
    EXPECT_EQ(data["animations"]["spin"].size(), 10u);
    EXPECT_EQ(data["meta"]["frameTags"][0]["to"], 9);
    for (int k = 0; k < 10; ++k) {
      const std::string name = "ship_" + std::to_string(k);
      const auto& entry =
          format == DataFormat::kJsonHash ? data["frames"][name] : data["frames"][std::size_t(k)];
      EXPECT_EQ(data["animations"]["spin"][std::size_t(k)], name);
      if (format == DataFormat::kJsonArray) {
        EXPECT_EQ(entry["filename"], name);
      }
      const auto& r = entry["frame"];
      EXPECT_EQ(entry["angle"], plan.angles[std::size_t(k)]);
      const int x = r["x"], y = r["y"], w = r["w"], h = r["h"];
      ASSERT_EQ(w, strip->Width());
      // Untrimmed grid frames: the whole frame, from its own corner.
      EXPECT_EQ(entry["spriteSourceSize"], nlohmann::json({{"x", 0}, {"y", 0}, {"w", w}, {"h", h}}));
      EXPECT_EQ(entry["sourceSize"], nlohmann::json({{"w", w}, {"h", h}}));
      EXPECT_EQ(entry["rotated"], false);
      EXPECT_EQ(entry["trimmed"], false);
      for (int row = 0; row < h; ++row) {
        ASSERT_TRUE(
            std::equal(sheet->Pixels() + (std::size_t(y + row) * sheet->Width() + x) * 4,
                       sheet->Pixels() + (std::size_t(y + row) * sheet->Width() + x + w) * 4,
                       strip->Pixels() + std::size_t(k * h + row) * strip->RowBytes()));
      }
    }
  }
}

// Each catches a one-line fault that only the frozen digests saw.
TEST_F(Sheet, AnglesRoundingAndTheLeftoverTurn) {
  EXPECT_EQ(FrameAngles({.frames = 22})[11], 180);  // 179 when summed in float alone
  SheetPlan plan;
  ASSERT_TRUE(PlanSheet(32, 32, {.frames = 1, .powerOfTwo = true}, 3, plan));
  EXPECT_EQ(plan.width, 32);
  EXPECT_EQ(plan.height, 32);
  // Past the half turn the rest turns the same way: a white block turns
  // on by the same step from every frame to the next.
  Image picture = MakePicture(32, 32);
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 32; ++x) {
      std::memset(picture.Pixels() + (y * 32 + x) * 3, x >= 4 && x < 8 && y >= 14 && y < 18 ? 255 : 0, 3);
    }
  }
  const auto strip = MakeStrip(picture, {.frames = 8, .fill = {0, 0, 0}});
  ASSERT_TRUE(strip);
  double last = 0;
  for (int k = 0; k < 8; ++k) {
    double sx = 0, sy = 0, weight = 0;
    for (int y = 0; y < 32; ++y) {
      for (int x = 0; x < 32; ++x) {
        const double v = strip->ReadPixel(x, k * 32 + y)[0];
        sx += v * (x - 15.5), sy += v * (y - 15.5), weight += v;
      }
    }
    const double angle = std::atan2(sy, sx) * 180 / M_PI;
    if (k > 0) {
      EXPECT_NEAR(std::remainder(angle - last, 360), -45, 10) << "frame " << k;
    }
    last = angle;
  }
}

// The image's path from the data file's real folder: through a link and "..".
TEST_F(Sheet, DataFileNamesTheImageFromItsRealFolder) {
  TempDir dir;
  std::filesystem::create_directories(dir / "real/sub");
  std::filesystem::create_directory_symlink(dir / "real/sub", dir / "lnk");
  EXPECT_EQ(RelativeImagePath(dir / "s.png", dir / "lnk/../d.json"), "../s.png");
  EXPECT_NE(SheetDataRefusal(DataFormat::kJsonHash, dir / "bad\xff.png", dir / "d.json"), "");
  EXPECT_EQ(SheetDataRefusal(DataFormat::kJsonHash, dir / "gut\xc3\xa9.png", dir / "d.json"), "");
  EXPECT_NE(SheetDataRefusal(DataFormat::kLibGdx, dir / "two\nlines.png", dir / "d.atlas"), "");
}

TEST_F(Sheet, TransparencyGoesOnlyWhereItIsKept) {
  TempDir dir;
  const auto sheet = MakeStrip(Translucent(9, 6), {.frames = 2, .alpha = true});
  ASSERT_TRUE(sheet);
  ASSERT_TRUE(SaveStrip(*sheet, dir / "s.tga", {}, {}).empty());
  EXPECT_EQ(FileBytes(dir / "s.tga").at(16), 32);
  EXPECT_EQ(FileBytes(dir / "s.tga").at(17) & 0x0F, 8);  // the library left 0 alpha bits
  for (const char* name : {"s.bmp", "s.pcx"}) {
    const auto failures = SaveStrip(*sheet, dir / name, {.mask = true}, {});
    ASSERT_FALSE(failures.empty());
    EXPECT_NE(failures[0].reason.find("cannot hold transparency; save as PNG or TGA"),
              std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(dir / name));
  }
  // The library writes an 8-bit PNG of it with no transparency at all.
  EXPECT_FALSE(SaveStrip(*sheet, dir / "8.png", {.eightBit = true}, {}).empty());
  EXPECT_FALSE(std::filesystem::exists(dir / "8.png"));
}

}  // namespace
