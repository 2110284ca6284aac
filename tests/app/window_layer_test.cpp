#include "window/window_layer.h"

#include <gtest/gtest.h>

#include "window/dialog_template.h"

namespace {

ScrollInfo Bar(int min, int max, int page, int pos) {
  ScrollInfo info;
  ApplyScrollInfo(info, ScrollInfo{min, max, page, 0, 0}, SIF_RANGE | SIF_PAGE);
  ApplyScrollInfo(info, ScrollInfo{0, 0, 0, pos, 0}, SIF_POS);
  return info;
}

TEST(ScrollInfoTest, PositionStopsAPageBeforeTheEnd) {
  EXPECT_EQ(Bar(0, 399, 310, 1000).pos, 90);
  EXPECT_EQ(Bar(0, 399, 310, -3).pos, 0);
  EXPECT_EQ(Bar(0, 259, 260, 5).pos, 0);
  EXPECT_EQ(Bar(0, 99, 260, 5).pos, 0) << "a page larger than the range";
  EXPECT_EQ(Bar(0, 99, 260, 5).page, 100);
  EXPECT_EQ(Bar(0, 255, 1, 255).pos, 255);
  EXPECT_EQ(Bar(0, 255, 0, 300).pos, 255);
}

TEST(ScrollInfoTest, ANewRangeKeepsThePositionWhereItStillFits) {
  ScrollInfo info = Bar(0, 999, 100, 800);
  ApplyScrollInfo(info, ScrollInfo{0, 499, 0, 0, 0}, SIF_RANGE);
  EXPECT_EQ(info.pos, 400);
  ApplyScrollInfo(info, ScrollInfo{0, 9999, 0, 0, 0}, SIF_RANGE);
  EXPECT_EQ(info.pos, 400);
}

TEST(WindowLayerTest, MessageWordsAndDialogUnits) {
  const WParam value = MakeWParam(40012, 1);
  EXPECT_EQ(LowWord(value), 40012u);
  EXPECT_EQ(HighWord(value), 1u);
  // The main window's client area, preview control and viewport.
  EXPECT_EQ(DialogUnitsToPixelsX(232), 348);
  EXPECT_EQ(DialogUnitsToPixelsY(207), 336);
  EXPECT_EQ(DialogUnitsToPixelsX(208), 312);
  EXPECT_EQ(DialogUnitsToPixelsY(161), 262);
}

}  // namespace
