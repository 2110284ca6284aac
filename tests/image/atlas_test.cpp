#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "engine/strip_pipeline.h"
#include "sheet/frame_edges.h"
#include "sheet/sheet_layout.h"
#include "sheet/sheet_packer.h"
#include "test_support.h"

namespace {

const std::uint8_t* At(const Image& image, int x, int y) {
  return image.Pixels() + std::size_t(y) * image.RowBytes() + std::size_t(x) * image.BytesPerPixel();
}

// A turned ship's sheet, trimmed: every visible pixel of the whole-frame
// sheet lies in its frame's cut, each side of the cut touches one, and the
// cut's pixels are the whole frame's at the place the data gives.
TEST(Atlas, TrimmedFramesHoldExactlyTheVisiblePixels) {
  auto ship = ReadPicture(GYRELLE_SAMPLES_DIR "/goodTrans1.png");
  ASSERT_TRUE(ship);
  for (bool alpha : {true, false}) {
    StripOptions options{.frames = 12, .fill = {255, 0, 255}, .alpha = alpha};
    options.frameSize.kind = FrameSize::Kind::kFit;
    SheetPlan whole, cut;
    const auto full = MakeStrip(*ship, options, nullptr, &whole);
    options.trim = true;
    const auto trimmed = MakeStrip(*ship, options, nullptr, &cut);
    ASSERT_TRUE(full && trimmed);
    for (int k = 0; k < whole.Frames(); ++k) {
      const Rect cell = whole.Frame(k), in = cut.placements[std::size_t(k)].inFrame;
      EXPECT_EQ(cut.Frame(k), (Rect{cell.x + in.x, cell.y + in.y, in.width, in.height}));
      EXPECT_EQ(VisibleBox(*full, cell, options.fill), in) << k;
      EXPECT_TRUE(cut.placements[std::size_t(k)].Trimmed());
    }
    EXPECT_EQ(std::vector<std::uint8_t>(full->Pixels(), full->Pixels() + full->ByteSize()),
              std::vector<std::uint8_t>(trimmed->Pixels(), trimmed->Pixels() + trimmed->ByteSize()));
  }
  // The box itself, against pixels placed by hand; nothing visible: none.
  Image image;
  image.Allocate("", 9, 7, 4);
  std::fill(image.Pixels(), image.Pixels() + image.ByteSize(), 0);
  EXPECT_EQ(VisibleBox(image, {0, 0, 9, 7}, {}), Rect{});
  image.Pixels()[(2 * 9 + 3) * 4 + 3] = 1;
  image.Pixels()[(5 * 9 + 7) * 4 + 3] = 255;
  EXPECT_EQ(VisibleBox(image, {0, 0, 9, 7}, {}), (Rect{3, 2, 5, 4}));
  EXPECT_EQ(VisibleBox(image, {4, 0, 5, 7}, {}), (Rect{3, 5, 1, 1}));
  SheetPlan plan;
  plan.placements.push_back({.sheet = {0, 0, 3, 2}, .inFrame = {0, 0, 3, 2}, .fullWidth = 3, .fullHeight = 2});
  TrimPlacements(image, plan, {});
  EXPECT_EQ(plan.placements[0].inFrame, (Rect{0, 0, 1, 1}));
}

TEST(Atlas, PackedFramesLieInsideTheSheetAndApart) {
  std::mt19937 random(7);
  SheetPlan frames;
  for (int k = 0; k < 40; ++k) {
    const int w = 1 + int(random() % 60), h = 1 + int(random() % 60);
    frames.placements.push_back({.frame = k, .sheet = {0, 0, w, h}, .inFrame = {0, 0, w, h}});
  }
  for (const StripOptions& options :
       {StripOptions{}, StripOptions{.spacing = 3, .margin = 5, .extrude = 2},
        StripOptions{.spacing = 1, .powerOfTwo = true, .extrude = 1},
        StripOptions{.spacing = 2, .maxSize = 300}}) {
    SheetPlan packed, again;
    ASSERT_TRUE(PackSheet(frames, options, 4, packed));
    ASSERT_TRUE(PackSheet(frames, options, 4, again));
    EXPECT_EQ(packed.placements, again.placements);
    if (options.powerOfTwo) {
      EXPECT_EQ(packed.width & (packed.width - 1), 0);
      EXPECT_EQ(packed.height & (packed.height - 1), 0);
    }
    if (options.maxSize > 0) {
      EXPECT_LE(std::max(packed.width, packed.height), options.maxSize);
    }
    const int edge = options.margin + options.extrude, gap = options.spacing + 2 * options.extrude;
    for (std::size_t i = 0; i < packed.placements.size(); ++i) {
      const Rect& a = packed.placements[i].sheet;
      EXPECT_EQ(a.width, frames.placements[i].sheet.width);
      EXPECT_GE(std::min(a.x, a.y), edge);
      EXPECT_LE(a.x + a.width + edge, packed.width);
      EXPECT_LE(a.y + a.height + edge, packed.height);
      for (std::size_t j = 0; j < i; ++j) {
        const Rect& b = packed.placements[j].sheet;
        EXPECT_TRUE(a.x >= b.x + b.width + gap || b.x >= a.x + a.width + gap ||
                    a.y >= b.y + b.height + gap || b.y >= a.y + a.height + gap)
            << i << " and " << j;
      }
    }
  }
  SheetPlan packed;
  EXPECT_FALSE(PackSheet(frames, StripOptions{.maxSize = 100}, 4, packed));
}

TEST(Atlas, RingsRepeatTheEdgeAndBleedTakesAVisibleNeighboursColour) {
  std::mt19937 random(3);
  Image sheet;
  sheet.Allocate("", 30, 20, 4);
  for (std::size_t i = 0; i < sheet.ByteSize(); ++i) sheet.Pixels()[i] = std::uint8_t(random());
  SheetPlan plan;
  plan.placements.push_back({.sheet = {3, 3, 7, 5}, .inFrame = {0, 0, 7, 5}});
  plan.placements.push_back({.sheet = {16, 4, 9, 11}, .inFrame = {0, 0, 9, 11}});
  ExtrudeFrames(sheet, plan, 3);
  for (const Placement& p : plan.placements) {
    const Rect& r = p.sheet;
    for (int y = r.y - 3; y < r.y + r.height + 3; ++y) {
      for (int x = r.x - 3; x < r.x + r.width + 3; ++x) {
        const int ex = std::clamp(x, r.x, r.x + r.width - 1), ey = std::clamp(y, r.y, r.y + r.height - 1);
        EXPECT_EQ(0, std::memcmp(At(sheet, x, y), At(sheet, ex, ey), 4)) << x << "," << y;
      }
    }
  }
  // Mostly transparent, a few visible pixels.
  for (std::size_t i = 3; i < sheet.ByteSize(); i += 4) sheet.Pixels()[i] = random() % 9 == 0 ? 200 : 0;
  std::vector<std::uint8_t> alphaBefore;
  for (std::size_t i = 3; i < sheet.ByteSize(); i += 4) alphaBefore.push_back(sheet.Pixels()[i]);
  BleedColours(sheet);
  for (int y = 0; y < 20; ++y) {
    for (int x = 0; x < 30; ++x) {
      const std::uint8_t* pixel = At(sheet, x, y);
      EXPECT_EQ(pixel[3], alphaBefore[std::size_t(y * 30 + x)]);
      if (pixel[3] != 0) continue;
      bool besideVisible = false, matches = false;
      for (auto [dx, dy] : {std::pair{1, 0}, {-1, 0}, {0, 1}, {0, -1}}) {
        if (x + dx < 0 || y + dy < 0 || x + dx >= 30 || y + dy >= 20) continue;
        const std::uint8_t* next = At(sheet, x + dx, y + dy);
        if (next[3] == 0) continue;
        besideVisible = true;
        matches = matches || std::memcmp(next, pixel, 3) == 0;
      }
      EXPECT_TRUE(!besideVisible || matches) << x << "," << y;
    }
  }
  PremultiplyAlpha(sheet);
  for (std::size_t i = 0; i < sheet.ByteSize(); i += 4) {
    for (int c = 0; c < 3; ++c) EXPECT_LE(sheet.Pixels()[i + c], sheet.Pixels()[i + 3]);
  }
}

}  // namespace
