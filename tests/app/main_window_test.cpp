#include "app/main_window.h"

#include <fstream>

#include "turn/library_turn.h"
#include "resources/resource_ids.h"
#include "shell_test.h"

namespace {

class MainWindowTest : public ShellTest {
 protected:
  void SetUp() override {
    ShellTest::SetUp();
    OpenMainWindow();
  }
  const FakeWindowLayer::ImageBlock& LastBlock() {
    fake_.imageBlocks.clear();
    fake_.RepaintNow(window_);
    EXPECT_EQ(fake_.imageBlocks.size(), 1u);
    return fake_.imageBlocks.back();
  }
  ScrollInfo Bar(int id) { return fake_.GetScrollInfo(window_, id); }
  bool RotateEnabled() { return fake_.IsControlEnabled(window_, kRotateButton); }
};

TEST_F(MainWindowTest, StartsWithRotateDisabledSaveAsGreyedAndItsIcons) {
  EXPECT_EQ(State().MainWindow, window_);
  EXPECT_FALSE(RotateEnabled());
  EXPECT_FALSE(fake_.MenuEnabled(kSaveAsCommand));
  EXPECT_TRUE(fake_.MenuEnabled(kOpenCommand));
  const std::vector<std::pair<IconSize, int>> icons{{IconSize::kSmall, kSmallIcon},
                                                    {IconSize::kBig, kBigIcon}};
  EXPECT_EQ(fake_.icons, icons);
}

TEST_F(MainWindowTest, AnswersEachMessageAsADialogProcedure) {
  EXPECT_TRUE(fake_.Send(window_, WM_PAINT));
  EXPECT_TRUE(fake_.Send(window_, WM_COMMAND, MakeWParam(12345, 1)));
  EXPECT_FALSE(fake_.Send(window_, WM_VSCROLL, SB_LINEDOWN));
  EXPECT_FALSE(fake_.Send(window_, WM_HSCROLL, SB_LINEDOWN));
  EXPECT_FALSE(fake_.Send(window_, 0x0200));
  EXPECT_TRUE(fake_.ended.empty());
}

TEST_F(MainWindowTest, CloseBoxAndExitEndTheRunButEscapeDoesNot) {
  fake_.Command(window_, IDCANCEL);
  EXPECT_TRUE(fake_.ended.empty());
  EXPECT_TRUE(fake_.Send(window_, WM_CLOSE));
  fake_.Command(window_, kExitCommand);
  const std::vector<std::pair<WindowHandle, int>> ended{{window_, 0}, {window_, 0}};
  EXPECT_EQ(fake_.ended, ended);
  // The notification code in the high word does not matter.
  fake_.Send(window_, WM_COMMAND, MakeWParam(kExitCommand, 1));
  EXPECT_EQ(fake_.ended.size(), 3u);
}

TEST_F(MainWindowTest, DestroyWritesSettingsReleasesEverythingAndQuits) {
  OpenPicture(WritePicture("ship.png", 20, 20));
  SetFrameCount(Settings(), 5);
  EXPECT_TRUE(fake_.Send(window_, WM_DESTROY));
  EXPECT_NE(ReadBytes(Path("config.txt")).find("\tFRAMES=5;\n"), std::string::npos);
  EXPECT_EQ(State().CurrentImage, nullptr);
  EXPECT_FALSE(State().FillBrush.has_value());
  EXPECT_EQ(Settings().Frames, 32);
  EXPECT_EQ(fake_.quitCodes, std::vector<int>{0});
}

TEST_F(MainWindowTest, PaintsOnlyTheSwatchUntilAPictureIsOpen) {
  SetFillColor(State(), Settings(), 1, 2, 3);
  fake_.rectangles.clear();
  fake_.Send(window_, WM_PAINT);
  EXPECT_TRUE(fake_.imageBlocks.empty());
  ASSERT_EQ(fake_.rectangles.size(), 1u);
  const FakeWindowLayer::Rectangle& swatch = fake_.rectangles[0];
  EXPECT_EQ(swatch.id, 0);
  EXPECT_EQ(std::tie(swatch.left, swatch.top, swatch.right, swatch.bottom),
            std::make_tuple(11, 293, 41, 322));
  EXPECT_EQ(swatch.fill, (Rgb{1, 2, 3}));
}

TEST_F(MainWindowTest, SetFillColorRepaintsTheSwatchAtOnce) {
  fake_.ClearRecords();
  SetFillColor(State(), Settings(), 200, 100, 50);
  EXPECT_EQ(fake_.repaints, 1);
  ASSERT_EQ(fake_.rectangles.size(), 1u);
  EXPECT_EQ(fake_.rectangles[0].fill, (Rgb{200, 100, 50}));
  // Before the main window exists nothing is painted.
  State().MainWindow = 0;
  SetFillColor(State(), Settings(), 1, 1, 1);
  EXPECT_EQ(fake_.repaints, 1);
  EXPECT_EQ(Settings().FillColor, (Rgb{1, 1, 1}));
}

TEST_F(MainWindowTest, SmallPicturesSitInTheMiddleOfThePreview) {
  OpenPicture(WritePicture("a.png", 100, 50));
  const FakeWindowLayer::ImageBlock even = LastBlock();
  EXPECT_EQ(even.id, kPreviewControl);
  EXPECT_EQ(std::tie(even.destX, even.destY, even.width, even.height),
            std::make_tuple(106, 106, 100, 50));
  EXPECT_EQ(std::tie(even.srcX, even.srcY), std::make_tuple(0, 0));

  OpenPicture(WritePicture("b.png", 101, 51));
  const FakeWindowLayer::ImageBlock odd = LastBlock();
  EXPECT_EQ(std::tie(odd.destX, odd.destY, odd.width, odd.height),
            std::make_tuple(105, 105, 101, 51));
  EXPECT_EQ(odd.image, State().CurrentImage.get());
}

TEST_F(MainWindowTest, OpenTakesTheFillColorFromTheTopLeftPixel) {
  OpenPicture(WritePicture("ship.png", 30, 20, {12, 34, 56}));
  EXPECT_EQ(Settings().FillColor, (Rgb{12, 34, 56}));
  ASSERT_FALSE(fake_.rectangles.empty());
  EXPECT_EQ(fake_.rectangles.back().fill, (Rgb{12, 34, 56}));
  EXPECT_TRUE(RotateEnabled());
  EXPECT_GE(fake_.invalidations, 1);
  EXPECT_EQ(Settings().DefaultDirPath, dir_.string() + "/");
}

TEST_F(MainWindowTest, WidePicturesScrollAcrossUpToTheirLastViewport) {
  OpenPicture(WritePicture("wide.png", 400, 300));
  EXPECT_EQ(std::tie(LastBlock().destX, LastBlock().destY), std::make_tuple(1, 1));
  EXPECT_EQ(std::tie(LastBlock().width, LastBlock().height), std::make_tuple(310, 260));

  fake_.Scroll(window_, WM_HSCROLL, SB_RIGHT);
  EXPECT_EQ(State().ScrollX, 90);
  EXPECT_EQ(LastBlock().srcX, 90);
  fake_.repaints = 0;
  fake_.Scroll(window_, WM_HSCROLL, SB_LINERIGHT);
  EXPECT_EQ(State().ScrollX, 90);
  EXPECT_EQ(fake_.repaints, 0) << "a request that moves nothing draws nothing";
  fake_.Scroll(window_, WM_HSCROLL, SB_PAGELEFT);
  EXPECT_EQ(State().ScrollX, 0);
  fake_.Scroll(window_, WM_HSCROLL, SB_THUMBTRACK, 45);
  EXPECT_EQ(State().ScrollX, 45);
  fake_.Scroll(window_, WM_HSCROLL, SB_LINELEFT);
  EXPECT_EQ(State().ScrollX, 44);
  fake_.Scroll(window_, WM_HSCROLL, SB_LEFT);
  EXPECT_EQ(State().ScrollX, 0);
  EXPECT_EQ(State().ScrollY, 0) << "each bar moves only its own offset";
  fake_.Scroll(window_, WM_VSCROLL, SB_BOTTOM);
  EXPECT_EQ(State().ScrollY, 40);
  EXPECT_EQ(Bar(kVerticalScrollBar).pos, 40);
}

TEST_F(MainWindowTest, APicture260HighCannotScrollVertically) {
  OpenPicture(WritePicture("flat.png", 50, 260));
  fake_.repaints = 0;
  for (int request : {SB_LINEDOWN, SB_PAGEDOWN, SB_BOTTOM}) {
    fake_.Scroll(window_, WM_VSCROLL, request);
    EXPECT_EQ(State().ScrollY, 0);
  }
  fake_.Scroll(window_, WM_VSCROLL, SB_THUMBTRACK, 5);
  EXPECT_EQ(State().ScrollY, 0);
  EXPECT_EQ(fake_.repaints, 0);
  EXPECT_EQ(LastBlock().destY, 1);
}

TEST_F(MainWindowTest, TallStripsScrollToTheirLastFrame) {
  // 40 x 36000: taller than a window-system bitmap may be.
  OpenPicture(WritePicture("ship.png", 40, 40));
  SetFrameCount(Settings(), 900);
  fake_.Command(window_, kRotateButton);
  ASSERT_EQ(State().CurrentImage->Height(), 36000);
  const ScrollInfo bar = Bar(kVerticalScrollBar);
  EXPECT_EQ(std::tie(bar.min, bar.max, bar.page), std::make_tuple(0, 35999, 260));

  fake_.Scroll(window_, WM_VSCROLL, SB_PAGEDOWN);
  EXPECT_EQ(State().ScrollY, 260);
  fake_.Scroll(window_, WM_VSCROLL, SB_LINEDOWN);
  EXPECT_EQ(State().ScrollY, 261);
  fake_.Scroll(window_, WM_VSCROLL, SB_THUMBPOSITION, 900);
  fake_.Scroll(window_, WM_VSCROLL, SB_ENDSCROLL, 900);
  EXPECT_EQ(State().ScrollY, 261);
  fake_.Scroll(window_, WM_VSCROLL, SB_THUMBTRACK, 99999);
  EXPECT_EQ(State().ScrollY, 35740);
  const FakeWindowLayer::ImageBlock block = LastBlock();
  EXPECT_EQ(std::tie(block.srcY, block.height, block.destY), std::make_tuple(35740, 260, 1));
  fake_.Scroll(window_, WM_VSCROLL, SB_TOP);
  EXPECT_EQ(State().ScrollY, 0);
  fake_.Scroll(window_, WM_VSCROLL, SB_LINEUP);
  EXPECT_EQ(State().ScrollY, 0);
}

TEST_F(MainWindowTest, ANewPictureStartsAtItsTopLeftCorner) {
  OpenPicture(WritePicture("big.png", 500, 500));
  fake_.Scroll(window_, WM_VSCROLL, SB_BOTTOM);
  fake_.Scroll(window_, WM_HSCROLL, SB_RIGHT);
  OpenPicture(WritePicture("other.png", 600, 600));
  EXPECT_EQ(std::tie(State().ScrollX, State().ScrollY), std::make_tuple(0, 0));
  EXPECT_EQ(Bar(kVerticalScrollBar).pos, 0);
  EXPECT_EQ(Bar(kHorizontalScrollBar).pos, 0);
}

TEST_F(MainWindowTest, RotateMakesTheStripOncePerOpenedPicture) {
  fake_.Command(window_, kRotateButton);
  EXPECT_EQ(State().CurrentImage, nullptr) << "nothing to turn yet";

  OpenPicture(WritePicture("ship.png", 24, 16));
  SetFrameCount(Settings(), 6);
  fake_.ClearRecords();
  fake_.Command(window_, kRotateButton);
  ASSERT_NE(State().CurrentImage, nullptr);
  EXPECT_EQ(State().CurrentImage->Width(), 24);
  EXPECT_EQ(State().CurrentImage->Height(), 96);
  EXPECT_FALSE(RotateEnabled());
  EXPECT_EQ(fake_.repaints, 1);
  EXPECT_EQ(fake_.imageBlocks.back().image, State().CurrentImage.get());

  // The command can still arrive; the disabled button decides.
  const Image* strip = State().CurrentImage.get();
  fake_.Command(window_, kRotateButton);
  EXPECT_EQ(State().CurrentImage.get(), strip);

  OpenPicture(WritePicture("next.png", 10, 10));
  EXPECT_TRUE(RotateEnabled());
}

TEST_F(MainWindowTest, SaveAsIsEnabledByTheFirstRotateAndNeverGreyedAgain) {
  OpenPicture(WritePicture("ship.png", 12, 12));
  EXPECT_FALSE(fake_.MenuEnabled(kSaveAsCommand));
  fake_.Command(window_, kRotateButton);
  EXPECT_TRUE(fake_.MenuEnabled(kSaveAsCommand));
  fake_.menuChanges.clear();
  OpenPicture(WritePicture("next.png", 12, 12));
  fake_.Command(window_, kRotateButton);
  EXPECT_TRUE(fake_.MenuEnabled(kSaveAsCommand));
  for (const auto& [command, enabled] : fake_.menuChanges) {
    EXPECT_TRUE(enabled || command != kSaveAsCommand);
  }
}

TEST_F(MainWindowTest, AnUnreadableFileIsReportedAndChangesNothing) {
  OpenPicture(WritePicture("ship.png", 12, 12, {9, 9, 9}));
  fake_.Command(window_, kRotateButton);
  const Image* strip = State().CurrentImage.get();
  std::ofstream(Path("broken.png")) << "not a picture";

  for (const std::string& path : {Path("broken.png"), Path("missing.png")}) {
    fake_.ClearRecords();
    OpenPicture(path);
    ASSERT_EQ(fake_.boxes.size(), 1u) << path;
    EXPECT_EQ(fake_.boxes[0].caption, "Gyrelle");
    EXPECT_NE(fake_.boxes[0].text.find(path), std::string::npos);
    EXPECT_EQ(fake_.boxes[0].owner, window_);
    EXPECT_EQ(State().CurrentImage.get(), strip);
    EXPECT_EQ(State().PreviewImage, strip);
    EXPECT_EQ(Settings().FillColor, (Rgb{9, 9, 9}));
    EXPECT_FALSE(RotateEnabled());
    EXPECT_TRUE(fake_.MenuEnabled(kSaveAsCommand));
    EXPECT_EQ(fake_.repaints, 0);
  }
}

TEST_F(MainWindowTest, AStripTooLargeIsReportedAndRotateStaysPossible) {
  OpenPicture(WritePicture("ship.png", 64, 64));
  const Image* picture = State().CurrentImage.get();
  SetFrameCount(Settings(), 2000000000);
  fake_.ClearRecords();
  fake_.Command(window_, kRotateButton);
  ASSERT_EQ(fake_.boxes.size(), 1u);
  EXPECT_EQ(fake_.boxes[0].caption, "Gyrelle");
  EXPECT_EQ(State().CurrentImage.get(), picture);
  EXPECT_TRUE(RotateEnabled());
  EXPECT_FALSE(fake_.MenuEnabled(kSaveAsCommand));

  SetFrameCount(Settings(), 4);
  fake_.Command(window_, kRotateButton);
  EXPECT_EQ(State().CurrentImage->Height(), 256);
}

}  // namespace
