// Long work through the fake layer: a picture opened from the command line
// or dropped onto the window, and Cancel in the progress dialog.

#include <fstream>

#include "app/application.h"
#include "app/background_work.h"
#include "core/image.h"
#include "io/image_io.h"
#include "resources/resource_ids.h"
#include "shell_test.h"

namespace {

class LongWorkTest : public ShellTest {
 protected:
  // The next work waits until its progress dialog is up; Cancel is pressed
  // there, and only then does the work run.
  void CancelOnceTheDialogShows() {
    fake_.holdWork = true;
    fake_.whileModal = [this](WindowHandle dialog, int templateId) {
      if (templateId != kProgressTemplate) return;
      fake_.Command(dialog, IDCANCEL);
      fake_.RunHeldWork();
    };
  }
  void DelayPasses() {
    ASSERT_TRUE(fake_.timers.count({window_, kProgressDelayTimer}));
    fake_.Send(window_, WM_TIMER, kProgressDelayTimer);
    EXPECT_EQ(fake_.modalTemplates, std::vector<int>{kProgressTemplate});
    EXPECT_FALSE(Main().Work().Running());
  }
  std::vector<std::string> Files() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir_)) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
};

TEST_F(LongWorkTest, CancelledRotateLeavesThePictureAndRotateAsTheyWere) {
  OpenMainWindow();
  OpenPicture(WritePicture("ship.png", 16, 12));
  const Image* picture = State().CurrentImage.get();
  fake_.ClearRecords();
  CancelOnceTheDialogShows();
  fake_.Command(window_, kRotateButton);
  EXPECT_FALSE(fake_.IsControlEnabled(window_, kRotateButton));
  DelayPasses();
  EXPECT_EQ(State().CurrentImage.get(), picture);
  EXPECT_EQ(State().PreviewImage, picture);
  EXPECT_TRUE(fake_.IsControlEnabled(window_, kRotateButton));
  EXPECT_FALSE(fake_.MenuEnabled(kSaveAsCommand));
  EXPECT_TRUE(fake_.boxes.empty());
  EXPECT_TRUE(fake_.timers.empty());

  fake_.holdWork = false;
  fake_.Command(window_, kRotateButton);
  EXPECT_EQ(State().CurrentImage->Height(), 12 * 32);
}

TEST_F(LongWorkTest, CancelledSaveAsKeepsTheOldFileAndLeavesNoTemporaryFile) {
  OpenMainWindow();
  OpenPicture(WritePicture("ship.png", 120, 100));
  fake_.Command(window_, kRotateButton);
  Settings().HasMask = true;
  std::ofstream(Path("strip.BMP")) << "earlier work";
  CancelOnceTheDialogShows();
  Choose(Path("strip.BMP"), 3);
  fake_.Command(window_, kSaveAsCommand);
  DelayPasses();
  EXPECT_EQ(ReadBytes(Path("strip.BMP")), "earlier work");
  EXPECT_EQ(Files(), (std::vector<std::string>{"ship.png", "strip.BMP"}));
  EXPECT_TRUE(fake_.boxes.empty());
}

TEST_F(LongWorkTest, AFileNamedAtStartOpensOnceTheWindowIsUpOrIsReported) {
  InitImageLibrary();  // for the picture written before the window is up
  const std::string ship = WritePicture("ship.png", 16, 12, {1, 2, 3});
  fake_.whileModal = [&](WindowHandle window, int) {
    ASSERT_TRUE(State().CurrentImage);
    EXPECT_EQ(State().CurrentImage->Width(), 16);
    EXPECT_EQ(Settings().FillColor, (Rgb{1, 2, 3}));
    EXPECT_TRUE(fake_.IsControlEnabled(window, kRotateButton));
    EXPECT_EQ(Settings().DefaultDirPath, dir_.string() + "/");
    fake_.Send(window, WM_CLOSE);
  };
  main_->Run(ship);

  fake_.whileModal = [&](WindowHandle window, int) {
    ASSERT_EQ(fake_.boxes.size(), 1u);
    EXPECT_EQ(fake_.boxes[0].text.rfind("Cannot open \"" + Path("missing.png") + "\".", 0), 0u);
    EXPECT_FALSE(State().CurrentImage);
    EXPECT_TRUE(fake_.ended.empty()) << "the window stays";
    fake_.Send(window, WM_CLOSE);
  };
  fake_.ClearRecords();
  main_->Run(Path("missing.png"));
}

TEST_F(LongWorkTest, ADroppedPictureOpensAsOpenWould) {
  OpenMainWindow();
  fake_.Drop(window_, {WritePicture("ship.png", 16, 12, {1, 2, 3})});
  ASSERT_TRUE(State().CurrentImage);
  EXPECT_EQ(State().CurrentImage->Width(), 16);
  EXPECT_EQ(Settings().FillColor, (Rgb{1, 2, 3}));
  EXPECT_TRUE(fake_.IsControlEnabled(window_, kRotateButton));
  EXPECT_EQ(Settings().DefaultDirPath, dir_.string() + "/");

  std::ofstream(Path("notes.png")) << "not a picture";
  fake_.Drop(window_, {Path("notes.png")});
  ASSERT_EQ(fake_.boxes.size(), 1u);
  EXPECT_EQ(fake_.boxes[0].text.rfind("Cannot open \"" + Path("notes.png") + "\".", 0), 0u);
  EXPECT_EQ(State().CurrentImage->Width(), 16);
}

TEST_F(LongWorkTest, SeveralDroppedPicturesRotateIntoOneSheetEachWithItsOwnFill) {
  OpenMainWindow();
  const std::string bad = Path("notes.png");
  std::ofstream(bad) << "not a picture";
  fake_.Drop(window_, {WritePicture("a.png", 16, 12, {1, 2, 3}), bad});
  ASSERT_EQ(fake_.boxes.size(), 1u);
  EXPECT_NE(fake_.boxes[0].text.find(bad), std::string::npos) << "the unreadable one is named";
  EXPECT_FALSE(State().CurrentImage);

  fake_.Drop(window_, {Path("a.png"), WritePicture("b.png", 10, 20, {7, 8, 9})});
  ASSERT_TRUE(State().CurrentImage);
  EXPECT_EQ(Settings().FillColor, (Rgb{1, 2, 3}));
  fake_.Command(window_, kRotateButton);
  EXPECT_EQ(State().CurrentPlan.pictureStems, (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(State().CurrentImage->Height(), 32 * 12 + 32 * 20);
  // b's quarter turn leaves its frame's corner uncovered, in b's own fill.
  EXPECT_EQ(State().CurrentImage->ReadPixel(0, 32 * 12 + 8 * 20),
            (std::vector<std::uint8_t>{7, 8, 9}));
  EXPECT_TRUE(State().MorePictures.empty());
}

}  // namespace
