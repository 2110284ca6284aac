// The main window's view on the fake layer: the frames spinning in place,
// zoom, a window that grows, the pictures last opened, and where typing
// goes when a dialog opens.

#include <fstream>

#include "app/settings_file.h"
#include "resources/resource_ids.h"
#include "shell_test.h"

namespace {

class ViewTest : public ShellTest {
 protected:
  void SetUp() override {
    ShellTest::SetUp();
    OpenMainWindow();
  }
  // A sheet of `frames` frames of a 12 x 12 picture, one above the other.
  void MakeSheet(int frames) {
    OpenPicture(WritePicture("ship.png", 12, 12));
    SetFrameCount(Settings(), frames);
    fake_.Command(window_, kRotateButton);
  }
  // What the preview paints now: the block of the picture, at 1x.
  FakeWindowLayer::ImageBlock Painted() {
    fake_.imageBlocks.clear();
    fake_.RepaintNow(window_);
    return fake_.imageBlocks.at(0);
  }
  std::string Status() { return fake_.GetControlText(window_, kStatusText); }
  int SpinTimer() {
    return fake_.timers.count({window_, kSpinTimer}) ? fake_.timers[{window_, kSpinTimer}] : 0;
  }
  void Tick() { fake_.Send(window_, WM_TIMER, kSpinTimer); }
};

TEST_F(ViewTest, SpinPlaysTheFramesInPlaceOnATimerAndStopShowsTheSheetAgain) {
  fake_.Command(window_, kSpinCommand);
  EXPECT_FALSE(Main().Spinning()) << "nothing to spin before Rotate";
  MakeSheet(4);
  EXPECT_TRUE(fake_.IsControlEnabled(window_, kSpinButton));
  fake_.Command(window_, kSpinButton);
  ASSERT_TRUE(Main().Spinning());
  EXPECT_EQ(SpinTimer(), 100) << "10 frames a second";
  EXPECT_TRUE(fake_.menuChecks[kSpinCommand]);
  EXPECT_EQ(Status(), "Frame 1/4, 0\u00b0");
  const auto first = Painted();
  EXPECT_EQ(std::tie(first.srcY, first.width, first.height, first.destX),
            std::make_tuple(0, 12, 12, 150));
  Tick();
  EXPECT_EQ(Painted().srcY, 12);
  EXPECT_EQ(Status(), "Frame 2/4, 90\u00b0");
  for (int i = 0; i < 3; ++i) Tick();
  EXPECT_EQ(Main().SpinFrame(), 0) << "it loops";
  fake_.Command(window_, kSpeedCommands[3]);
  EXPECT_EQ(SpinTimer(), 1000 / 30);

  fake_.Command(window_, kSpinCommand);
  EXPECT_FALSE(Main().Spinning());
  EXPECT_EQ(SpinTimer(), 0);
  EXPECT_EQ(Status(), "");
  EXPECT_EQ(Painted().height, 48) << "the whole sheet";

  fake_.Command(window_, kSpinCommand);
  OpenPicture(WritePicture("next.png", 10, 10));
  EXPECT_FALSE(Main().Spinning()) << "a new picture stops it";
  EXPECT_FALSE(fake_.IsControlEnabled(window_, kSpinButton));
}

TEST_F(ViewTest, ZoomDrawsWholePixelsLargerAndFitFillsThePreview) {
  OpenPicture(WritePicture("ship.png", 32, 32));
  fake_.Command(window_, kZoomCommands[2]);
  EXPECT_TRUE(fake_.menuChecks[kZoomCommands[2]]);
  fake_.RepaintNow(window_);
  const auto four = fake_.scaledBlocks.back();
  EXPECT_EQ(std::tie(four.srcWidth, four.destX, four.destY, four.destWidth, four.destHeight),
            std::make_tuple(32, 92, 67, 128, 128));
  // Taller than the preview at 8x: the bars page by what it shows.
  fake_.Command(window_, kZoomCommands[3]);
  EXPECT_EQ(fake_.GetScrollInfo(window_, kVerticalScrollBar).page, 260 / 8);
  fake_.Command(window_, kZoomCommands[4]);
  fake_.RepaintNow(window_);
  const auto fit = fake_.scaledBlocks.back();
  EXPECT_EQ(std::tie(fit.destX, fit.destY, fit.destWidth, fit.destHeight),
            std::make_tuple(26, 1, 260, 260));
  fake_.Command(window_, kZoomCommands[0]);
  EXPECT_EQ(Painted().width, 32) << "1x draws as before";
}

TEST_F(ViewTest, AGrownWindowGrowsThePreviewAndItsSizeAndZoomOutliveTheRun) {
  EXPECT_TRUE(fake_.resizable);
  fake_.Resize(window_, {500, 400});
  EXPECT_EQ(Main().Viewport(), (Size{462, 324}));
  fake_.rectangles.clear();
  fake_.RepaintNow(window_);
  EXPECT_EQ(fake_.rectangles.at(0).top, 293 + 64) << "the swatch keeps to the bottom edge";
  fake_.Command(window_, kZoomCommands[1]);
  fake_.Send(window_, WM_DESTROY);
  const std::string config = ReadBytes(Path("config.txt"));
  EXPECT_NE(
      config.find("[WINDOW]\n\tZOOM=2;\n\tSPEED=10;\n\tWIDTH=500;\n\tHEIGHT=400;\n[/WINDOW]\n"),
      std::string::npos)
      << config;

  main_ = std::make_unique<MainWindow>(fake_);
  fake_.whileModal = [&](WindowHandle window, int) {
    EXPECT_EQ(fake_.clientSizes[window], (Size{500, 400})) << "the next start has that size";
    EXPECT_EQ(Settings().View.zoom, 2);
    fake_.Resize(window, {348, 336});
    fake_.Command(window, kZoomCommands[0]);
    fake_.Send(window, WM_CLOSE);
  };
  main_->Run();
  EXPECT_EQ(ReadBytes(Path("config.txt")).find("[WINDOW]"), std::string::npos)
      << "back at the defaults, the section goes";
}

TEST_F(ViewTest, OpenRecentOffersTheLastPicturesAndDropsOnesThatAreGone) {
  const std::string first = WritePicture("first.png", 8, 8);
  const std::string second = WritePicture("second.png", 8, 8);
  OpenPicture(first);
  OpenPicture(second);
  OpenPicture(first);
  const std::vector<MenuChoice> both{{first, kRecentFileCommand}, {second, kRecentFileCommand + 1}};
  EXPECT_EQ(fake_.menuChoices[kOpenRecentMenu], both);
  fake_.Command(window_, kRecentFileCommand + 1);
  EXPECT_EQ(fake_.menuChoices[kOpenRecentMenu].front().text, second) << "opened, so newest";
  std::filesystem::remove(first);
  fake_.Command(window_, kRecentFileCommand + 1);
  ASSERT_EQ(fake_.boxes.size(), 1u);
  EXPECT_NE(fake_.boxes[0].text.find("no longer there"), std::string::npos);
  EXPECT_EQ(Settings().View.recent, std::vector<std::string>{second});
}

TEST_F(ViewTest, EveryDialogOpensOnItsFirstInput) {
  const std::pair<int, int> dialogs[] = {{kFrameNumberCommand, kFrameCountEdit},
                                         {kSaveOptionsCommand, kTwentyFourBitRadio},
                                         {kFillColorCommand, kRedBar},
                                         {kSheetOptionsCommand, kTransparentCheckBox}};
  for (const auto& [command, input] : dialogs) {
    fake_.whileModal = [&](WindowHandle dialog, int) {
      EXPECT_EQ(fake_.focus, std::make_pair(dialog, input)) << command;
      fake_.Command(dialog, IDCANCEL);
    };
    fake_.Command(window_, command);
  }
}

}  // namespace
