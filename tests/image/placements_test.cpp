#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "sheet/sheet_data.h"
#include "sheet/sheet_layout.h"

namespace {

TEST(Placements, TheGridPlacesFrameKAtItsColumnAndRow) {
  const StripOptions options{
      .frames = 11, .columns = 4, .spacing = 3, .margin = 2, .startDegrees = 10, .reverse = true};
  SheetPlan plan;
  ASSERT_TRUE(PlanSheet(9, 5, options, 3, plan));
  ASSERT_EQ(plan.Frames(), 11);
  const std::vector<int> angles = FrameAngles(options);
  for (int k = 0; k < 11; ++k) {
    const Placement& p = plan.placements[std::size_t(k)];
    EXPECT_EQ(p.sheet, (Rect{2 + (k % 4) * 12, 2 + (k / 4) * 8, 9, 5})) << k;
    EXPECT_EQ(p.inFrame, (Rect{0, 0, 9, 5}));
    EXPECT_FALSE(p.Trimmed());
    EXPECT_EQ(p.picture, 0);
    EXPECT_EQ(p.frame, k);
    EXPECT_EQ(p.angle, angles[std::size_t(k)]);
  }
  EXPECT_EQ(plan.width, 2 * 2 + 4 * 9 + 3 * 3);
  EXPECT_EQ(plan.height, 2 * 2 + 3 * 5 + 2 * 3);
}

TEST(Placements, TheDataFileTellsTrimmingAndPivotFromThePlacement) {
  SheetPlan plan;
  plan.width = plan.height = 8;
  plan.placements.push_back({.angle = 90,
                             .sheet = {1, 2, 3, 4},
                             .inFrame = {5, 6, 3, 4},
                             .fullWidth = 20,
                             .fullHeight = 10,
                             .pivotX = 0.25,
                             .pivotY = 1});
  const auto frame = nlohmann::json::parse(
      SheetDataText(plan, "s.png", false, DataFormat::kJsonArray, "s.json"))["frames"][0];
  EXPECT_EQ(frame["trimmed"], true);
  EXPECT_EQ(frame["frame"], (nlohmann::json{{"x", 1}, {"y", 2}, {"w", 3}, {"h", 4}}));
  EXPECT_EQ(frame["spriteSourceSize"], (nlohmann::json{{"x", 5}, {"y", 6}, {"w", 3}, {"h", 4}}));
  EXPECT_EQ(frame["sourceSize"], (nlohmann::json{{"w", 20}, {"h", 10}}));
  EXPECT_EQ(frame["anchor"]["x"], 0.25);
  EXPECT_EQ(frame["angle"], 90);
}

}  // namespace
