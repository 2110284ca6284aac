#include "app/file_commands.h"

#include <fstream>

#include "io/image_io.h"
#include "resources/resource_ids.h"
#include "shell_test.h"

namespace {

class FileCommandsTest : public ShellTest {
 protected:
  void SetUp() override {
    ShellTest::SetUp();
    OpenMainWindow();
    OpenPicture(WritePicture("ship.png", 16, 12, {0, 0, 0}));
    SetFrameCount(Settings(), 3);
    fake_.Command(window_, kRotateButton);
    fake_.ClearRecords();
  }
  // Save As with `typed` in the test's directory and the 1-based type.
  void SaveAs(const std::string& typed, int type = 1) {
    Choose(Path(typed), type);
    fake_.Command(window_, kSaveAsCommand);
  }
  // What the engine writes for the current picture with these options, the
  // fill colour kept exact.
  std::string Expected(int bytesPerPixel, bool compressed) {
    const std::string path = Path("expected.BMP");
    EXPECT_TRUE(SaveImageFile(*State().CurrentImage, path,
                              WriteOptions{bytesPerPixel, compressed, Settings().FillColor}));
    return ReadBytes(path);
  }
  bool Exists(const std::string& name) { return std::filesystem::exists(Path(name)); }
};

TEST_F(FileCommandsTest, OpenOffersThePictureTypesFromTheLastDirectory) {
  Settings().DefaultDirPath = "/somewhere/";
  fake_.Command(window_, kOpenCommand);
  ASSERT_EQ(fake_.fileDialogs.size(), 1u);
  const FileDialogRequest& request = fake_.fileDialogs[0].request;
  EXPECT_EQ(request.mode, FileDialogMode::kOpen);
  EXPECT_EQ(request.title, "Open");
  EXPECT_EQ(request.initialDirectory, "/somewhere/");
  EXPECT_EQ(request.initialFilterIndex, 1);
  const std::vector<std::pair<std::string, std::string>> expected{
      {"All Files", "*.png;*.jpg;*.jpeg;*.tga;*.bmp;*.pcx"},
      {"JPEG (*.jpg, *.jpeg)", "*.jpg;*.jpeg"},
      {"Portable Network Graphic (*.png)", "*.png"},
      {"Truevision Targa (*.tga)", "*.tga"},
      {"Windows or OS/2 Bitmaps (*.bmp)", "*.bmp"},
      {"ZSoft Paintbrush (*.pcx)", "*.pcx"}};
  std::vector<std::pair<std::string, std::string>> offered;
  for (const FileFilter& filter : request.filters) {
    offered.push_back({filter.description, filter.patterns});
  }
  EXPECT_EQ(offered, expected);
}

TEST_F(FileCommandsTest, CancelChangesNothing) {
  Settings().DefaultDirPath = "/kept/";
  const Image* strip = State().CurrentImage.get();
  fake_.Command(window_, kOpenCommand);
  fake_.Command(window_, kSaveAsCommand);
  EXPECT_EQ(fake_.fileDialogs.size(), 2u);
  EXPECT_EQ(Settings().DefaultDirPath, "/kept/");
  EXPECT_EQ(State().CurrentImage.get(), strip);
  EXPECT_TRUE(fake_.boxes.empty());
}

TEST_F(FileCommandsTest, SaveAsStartsWithPngInTheDirectoryOfTheLastChoice) {
  SaveAs("first.tga", 2);
  Settings().DefaultDirPath = "/elsewhere/";
  fake_.Command(window_, kSaveAsCommand);
  ASSERT_EQ(fake_.fileDialogs.size(), 2u);
  EXPECT_EQ(fake_.fileDialogs[0].request.initialDirectory, dir_.string() + "/");
  const FileDialogRequest& request = fake_.fileDialogs[1].request;
  EXPECT_EQ(request.mode, FileDialogMode::kSave);
  EXPECT_EQ(request.title, "Save As");
  EXPECT_EQ(request.initialDirectory, "/elsewhere/");
  EXPECT_EQ(request.initialFilterIndex, 1);
  ASSERT_EQ(request.filters.size(), 4u);
  EXPECT_STREQ(request.filters[0].description, "Portable Network Graphic (*.png)");
  EXPECT_STREQ(request.filters[1].patterns, "*.tga");
  EXPECT_STREQ(request.filters[2].description, "Windows or OS/2 Bitmaps (*.bmp)");
  EXPECT_STREQ(request.filters[3].description, "ZSoft Paintbrush (*.pcx)");
}

TEST_F(FileCommandsTest, TheTypesExtensionIsAddedUnlessTheNameEndsInIt) {
  Settings().HasMask = true;
  const std::vector<std::tuple<std::string, int, std::string, std::string>> cases{
      {"a", 1, "a.PNG", "a-mask.BMP"},
      {"b.png", 1, "b.png", "b-mask.BMP"},
      {"c.Png", 1, "c.Png", "c-mask.BMP"},
      {"d.bmp", 1, "d.bmp.PNG", "d.bmp-mask.BMP"},
      {"e.old", 1, "e.old.PNG", "e.old-mask.BMP"},
      {"f.tga", 2, "f.tga", "f-mask.BMP"},
      {"g.tga", 1, "g.tga.PNG", "g.tga-mask.BMP"},
      {"h", 3, "h.BMP", "h-mask.BMP"},
      {"i.pcx", 4, "i.pcx", "i-mask.BMP"},
  };
  for (const auto& [typed, type, saved, mask] : cases) {
    SaveAs(typed, type);
    EXPECT_TRUE(Exists(saved)) << typed;
    EXPECT_TRUE(Exists(mask)) << typed;
  }
  EXPECT_TRUE(fake_.boxes.empty());
  // The format follows the final name.
  EXPECT_EQ(ReadBytes(Path("g.tga.PNG")).substr(1, 3), "PNG");
  EXPECT_EQ(ReadBytes(Path("h.BMP")).substr(0, 2), "BM");
}

TEST_F(FileCommandsTest, WritesWithTheSaveOptions) {
  SaveAs("plain", 3);
  EXPECT_EQ(ReadBytes(Path("plain.BMP")), Expected(3, false));
  EXPECT_FALSE(Exists("plain-mask.BMP"));

  SetSaveOptions(Settings(), true, true, false);
  SaveAs("packed", 3);
  EXPECT_EQ(ReadBytes(Path("packed.BMP")), Expected(1, true));
}

TEST_F(FileCommandsTest, SheetOptionsShapeTheStripAndItsDataFile) {
  Settings().Sheet.strip.alpha = true;
  Settings().Sheet.strip.columns = 2;
  Settings().Sheet.data = DataFormat::kJsonArray;
  fake_.Command(window_, kOpenCommand);  // no file chosen: the picture stays
  OpenPicture(Path("ship.png"));
  fake_.Command(window_, kRotateButton);
  ASSERT_EQ(State().CurrentImage->BytesPerPixel(), 4);
  EXPECT_EQ(State().CurrentImage->Width(), 32);
  // BMP cannot hold it: said, and nothing written.
  fake_.ClearRecords();
  SaveAs("sheet", 3);
  ASSERT_EQ(fake_.boxes.size(), 1u);
  EXPECT_NE(fake_.boxes[0].text.find("cannot hold transparency"), std::string::npos);
  EXPECT_FALSE(Exists("sheet.BMP") || Exists("sheet.json"));
  // The data file goes beside the picture, named after it.
  SaveAs("sheet");
  EXPECT_TRUE(Exists("sheet.PNG"));
  EXPECT_NE(ReadBytes(Path("sheet.json")).find("\"filename\": \"sheet_2\""), std::string::npos);
}

TEST_F(FileCommandsTest, TheMaskIsBlackWhereTheFillColorIs) {
  SetFillColor(State(), Settings(), 0, 0, 0);
  SetSaveOptions(Settings(), true, false, true);
  SaveAs("strip", 2);
  const std::unique_ptr<Image> mask = MakeMask(*State().CurrentImage, 0, 0, 0);
  ASSERT_TRUE(SaveImageFile(*mask, Path("expected-mask.BMP"), WriteOptions{1, true}));
  EXPECT_EQ(ReadBytes(Path("strip-mask.BMP")), ReadBytes(Path("expected-mask.BMP")));
}

TEST_F(FileCommandsTest, AFailedSaveIsReportedAndTheMaskStillTried) {
  Settings().HasMask = true;
  // Names taken by directories cannot be written.
  std::filesystem::create_directory(Path("taken.PNG"));
  SaveAs("taken");
  ASSERT_EQ(fake_.boxes.size(), 1u);
  EXPECT_NE(fake_.boxes[0].text.find(Path("taken.PNG")), std::string::npos);
  EXPECT_EQ(fake_.boxes[0].caption, "Gyrelle");
  EXPECT_TRUE(Exists("taken-mask.BMP"));

  fake_.boxes.clear();
  std::filesystem::create_directory(Path("both-mask.BMP"));
  std::filesystem::create_directory(Path("both.PNG"));
  SaveAs("both");
  ASSERT_EQ(fake_.boxes.size(), 2u);
  EXPECT_NE(fake_.boxes[1].text.find(Path("both-mask.BMP")), std::string::npos);
}

TEST_F(FileCommandsTest, AFailedSaveLeavesAnEarlierFileIntact) {
  std::ofstream(Path("old.PNG")) << "earlier work";
  // A directory that does not exist: nothing can be written there.
  Choose(Path("no/such/dir/x.PNG"));
  fake_.Command(window_, kSaveAsCommand);
  EXPECT_EQ(fake_.boxes.size(), 1u);
  EXPECT_EQ(ReadBytes(Path("old.PNG")), "earlier work");
}

TEST_F(FileCommandsTest, AStripTooTallForTheFormatIsReportedAndTheOldFileKept) {
  OpenPicture(WritePicture("small.png", 16, 12));
  SetFrameCount(Settings(), 5500);  // 66000 rows: more than a TGA file can say
  fake_.Command(window_, kRotateButton);
  ASSERT_EQ(State().CurrentImage->Height(), 66000);
  std::ofstream(Path("tall.tga")) << "earlier work";
  fake_.boxes.clear();
  SaveAs("tall.tga", 2);
  ASSERT_EQ(fake_.boxes.size(), 1u);
  EXPECT_NE(fake_.boxes[0].text.find(Path("tall.tga")), std::string::npos);
  EXPECT_NE(fake_.boxes[0].text.find('\n'), std::string::npos) << "the reason follows";
  EXPECT_EQ(ReadBytes(Path("tall.tga")), "earlier work");
}

TEST(FileDialogTest, SplitsTheChosenPath) {
  FileDialogResult result = MakeFileDialogResult("/art/ships/ship.tga", 2);
  EXPECT_EQ(result.fileNameOffset, 11);
  EXPECT_EQ(result.extensionOffset, 16);
  EXPECT_EQ(MakeFileDialogResult("/art/v1.2/ship", 1).extensionOffset, 0);
  EXPECT_EQ(MakeFileDialogResult("/art/ship.", 1).extensionOffset, 10);
  EXPECT_EQ(MakeFileDialogResult("", 1).filterIndex, 0);
}

}  // namespace

namespace {

class FileDialogRunTest : public ShellTest {
 protected:
  FileDialog Run(const std::string& path, int type) {
    Choose(path, type);
    FileDialog dialog;
    dialog.Setup("Save As", "", {}, FileDialog::kSaveMode);
    dialog.Run(fake_, 0);
    return dialog;
  }
};

TEST_F(FileDialogRunTest, GivesDirectoryUpperCasedExtensionAndType) {
  const FileDialog dialog = Run("/art/ships/ship.tGa", 2);
  EXPECT_EQ(dialog.Path(), "/art/ships/ship.tGa");
  EXPECT_EQ(dialog.Directory(), "/art/ships/");
  EXPECT_EQ(dialog.Extension(), "TGA");
  EXPECT_EQ(dialog.FilterIndex(), 1);
  EXPECT_EQ(Run("/art/ship.", 1).Extension(), "");
  EXPECT_EQ(Run("/art/ship", 1).Extension(), "");
  EXPECT_EQ(Run("/art/ship.é", 1).Extension(), "é") << "only ASCII letters change";

  FileDialog cancelled;
  cancelled.Setup("Open", "", {}, FileDialog::kOpenMode);
  cancelled.Run(fake_, 0);
  EXPECT_EQ(cancelled.Path(), "");
  EXPECT_EQ(cancelled.Directory(), "");
  EXPECT_EQ(cancelled.FilterIndex(), -1);
}

}  // namespace
