#include "app/settings_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "app/application.h"
#include "resources/resource_ids.h"
#include "shell_test.h"

namespace {

class SettingsTest : public ShellTest {
 protected:
  void WriteConfig(const std::string& body) {
    std::ofstream(Path("config.txt"), std::ios::binary) << "[HULLSPIN]\n"
                                                        << body << "[/HULLSPIN]\n";
  }
  // Runs the program: start-up, then the close box at once. `during` looks
  // at the settings while the main window is up.
  void RunAndClose(const std::function<void()>& during = [] {}) {
    fake_.whileModal = [&](WindowHandle window, int) {
      during();
      fake_.Send(window, WM_CLOSE);
    };
    main_->Run();
  }
};

constexpr char kDefaultFile[] =
    "[HULLSPIN]\n\tFRAMES=32;\n\tDEFAULT_DIR_PATH=;\n\tIS_COMPRESSED=FALSE;\n"
    "\tIS_8BIT_SAVE=FALSE;\n\tHAS_MASK=FALSE;\n[/HULLSPIN]\n";

TEST_F(SettingsTest, FirstRunStartsWithDefaultsAndCreatesTheFile) {
  RunAndClose([&] {
    EXPECT_EQ(Settings().Frames, 32);
    EXPECT_EQ(Settings().DefaultDirPath, "");
    EXPECT_FALSE(Settings().IsCompressed);
    EXPECT_FALSE(Settings().Is8BitSave);
    EXPECT_FALSE(Settings().HasMask);
    EXPECT_EQ(Settings().FillColor, (Rgb{255, 255, 255}));
  });
  EXPECT_EQ(ReadBytes(Path("config.txt")), kDefaultFile);
  EXPECT_EQ(fake_.quitCodes, std::vector<int>{0});
  // Nothing but the program's own file and the settings is left behind.
  int files = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir_)) ++files;
  EXPECT_EQ(files, 1);
}

// The sheet's section is written only when a choice differs from its
// default, and what is written is read back.
TEST_F(SettingsTest, SheetChoicesOutliveTheRunInASectionOfTheirOwn) {
  RunAndClose([&] { EXPECT_EQ(Settings().Sheet, SheetChoices{}); });
  EXPECT_EQ(ReadBytes(Path("config.txt")), kDefaultFile);
  RunAndClose([&] {
    Settings().Sheet.strip.frameSize.kind = FrameSize::Kind::kFit;
    Settings().Sheet.strip.columns = 8;
    Settings().Sheet.strip.startDegrees = 90;
    Settings().Sheet.strip.exactAngles = true;
    Settings().Sheet.data = DataFormat::kJsonHash;
    Settings().Sheet.strip.method = TurnMethod::kRotSprite;
  });
  const std::string written = ReadBytes(Path("config.txt"));
  EXPECT_EQ(written.substr(0, sizeof kDefaultFile - 1), kDefaultFile);
  EXPECT_NE(written.find("[SHEET]\n\tTRANSPARENT=FALSE;\n\tFRAME_SIZE=FIT;\n\tCOLUMNS=8;\n"),
            std::string::npos);
  SheetChoices read;
  RunAndClose([&] { read = Settings().Sheet; });
  EXPECT_EQ(read.strip.frameSize.kind, FrameSize::Kind::kFit);
  EXPECT_EQ(read.strip.columns, 8);
  EXPECT_EQ(read.strip.startDegrees, 90);
  EXPECT_TRUE(read.strip.exactAngles);
  EXPECT_EQ(read.data, DataFormat::kJsonHash);
  EXPECT_EQ(read.strip.method, TurnMethod::kRotSprite);
  EXPECT_NE(written.find("\tTURNING=ROTSPRITE;\n[/SHEET]"), std::string::npos);
  EXPECT_EQ(ReadBytes(Path("config.txt")), written);
}

TEST_F(SettingsTest, EveryTurningMethodComesBackFromTheFile) {
  for (const auto& [method, text] :
       {std::pair(TurnMethod::kShear, "SHEAR"), std::pair(TurnMethod::kSmooth, "SMOOTH")}) {
    RunAndClose([&, method = method] { Settings().Sheet.strip.method = method; });
    EXPECT_NE(ReadBytes(Path("config.txt")).find(std::string("\tTURNING=") + text + ";\n"),
              std::string::npos);
    TurnMethod read = TurnMethod::kLibrary;
    RunAndClose([&] { read = Settings().Sheet.strip.method; });
    EXPECT_EQ(read, method) << text;
  }
}

TEST_F(SettingsTest, CutPackedAndEdgedFramesAreKeptOnlyWhenChosen) {
  RunAndClose([&] { Settings().Sheet.strip.alpha = true; });
  EXPECT_EQ(ReadBytes(Path("config.txt")).find("TRIM"), std::string::npos);
  RunAndClose([&] {
    StripOptions& strip = Settings().Sheet.strip;
    strip.trim = strip.pack = strip.bleed = true;
    strip.extrude = 3;
  });
  EXPECT_NE(ReadBytes(Path("config.txt"))
                .find("\tTRIM=TRUE;\n\tPACK=TRUE;\n\tBLEED=TRUE;\n\tEXTRUDE=3;\n[/SHEET]"),
            std::string::npos);
  StripOptions read;
  RunAndClose([&] { read = Settings().Sheet.strip; });
  EXPECT_TRUE(read.trim && read.pack && read.bleed && read.alpha);
  EXPECT_EQ(read.extrude, 3);
}

// Read back as written; a file without them, or with a y that is neither,
// has no normal sheet and the y up.
TEST_F(SettingsTest, TheNormalMapChoicesReadBackAndAreOffWithoutThem) {
  RunAndClose([&] { Settings().Sheet.normals = {"_nrm", NormalY::kDown}; });
  NormalMapOptions read;
  RunAndClose([&] { read = Settings().Sheet.normals; });
  EXPECT_EQ(read, (NormalMapOptions{"_nrm", NormalY::kDown}));
  std::ofstream(Path("config.txt"))
      << "[HULLSPIN]\n\tFRAMES=32;\n[/HULLSPIN]\n[SHEET]\n\tNORMAL_Y=SIDEWAYS;\n[/SHEET]\n";
  RunAndClose([&] { read = Settings().Sheet.normals; });
  EXPECT_EQ(read, NormalMapOptions{});
}

TEST_F(SettingsTest, WritesTheUsersValuesAtExitWhateverHappened) {
  WriteConfig(
      "\tFRAMES=720;\n\tDEFAULT_DIR_PATH=/home/art/ships/;\n\tHAS_MASK=TRUE;\n"
      "\tIS_COMPRESSED=TRUE;\n\tIS_8BIT_SAVE=FALSE;\n\tOTHER=kept?;\n");
  RunAndClose([&] { EXPECT_EQ(Settings().Frames, 720); });
  EXPECT_EQ(ReadBytes(Path("config.txt")),
            "[HULLSPIN]\n\tFRAMES=720;\n\tDEFAULT_DIR_PATH=/home/art/ships/;\n"
            "\tIS_COMPRESSED=TRUE;\n\tIS_8BIT_SAVE=FALSE;\n\tHAS_MASK=TRUE;\n[/HULLSPIN]\n");
  // The shutdown resets the count only after the file holds the user's.
  EXPECT_EQ(Settings().Frames, 32);
}

TEST_F(SettingsTest, ChangesMadeDuringTheRunReachTheFile) {
  RunAndClose([&] {
    SetFrameCount(Settings(), 9);
    SetSaveOptions(Settings(), false, true, false);
    Settings().DefaultDirPath = "/tmp/x/";
  });
  EXPECT_EQ(ReadBytes(Path("config.txt")),
            "[HULLSPIN]\n\tFRAMES=9;\n\tDEFAULT_DIR_PATH=/tmp/x/;\n\tIS_COMPRESSED=FALSE;\n"
            "\tIS_8BIT_SAVE=TRUE;\n\tHAS_MASK=FALSE;\n[/HULLSPIN]\n");
}

TEST_F(SettingsTest, OddFrameCountsBecome32) {
  for (const char* value : {"0", "-5", "abc", ""}) {
    Settings().Frames = 7;
    WriteConfig(std::string("\tFRAMES=") + value + ";\n");
    ReadSettingsFile(State(), Settings());
    EXPECT_EQ(Settings().Frames, 32) << value;
  }
  WriteConfig("\tFRAMES= 12;\n");
  ReadSettingsFile(State(), Settings());
  EXPECT_EQ(Settings().Frames, 12);
}

TEST_F(SettingsTest, OnlyUpperCaseTrueSetsAFlag) {
  WriteConfig("\tIS_COMPRESSED=true;\n\tIS_8BIT_SAVE=1;\n\tHAS_MASK=TRUE;\n");
  ReadSettingsFile(State(), Settings());
  EXPECT_FALSE(Settings().IsCompressed);
  EXPECT_FALSE(Settings().Is8BitSave);
  EXPECT_TRUE(Settings().HasMask);
}

TEST_F(SettingsTest, FlagsArriveInTheirOwnFields) {
  WriteConfig("\tIS_COMPRESSED=TRUE;\n\tIS_8BIT_SAVE=FALSE;\n\tHAS_MASK=FALSE;\n");
  ReadSettingsFile(State(), Settings());
  EXPECT_TRUE(Settings().IsCompressed);
  EXPECT_FALSE(Settings().Is8BitSave);
  EXPECT_FALSE(Settings().HasMask);
}

TEST_F(SettingsTest, ADirectoryHoldingASemicolonIsCutThere) {
  Settings().DefaultDirPath = "/before/";
  WriteConfig("\tDEFAULT_DIR_PATH=/art/a;b/;\n");
  ReadSettingsFile(State(), Settings());
  EXPECT_EQ(Settings().DefaultDirPath, "/art/a");
  WriteConfig("\tFRAMES=3;\n");
  ReadSettingsFile(State(), Settings());
  EXPECT_EQ(Settings().DefaultDirPath, "");
}

// The file has no escapes: a folder that would not read back unchanged is
// not stored, the one stored before stays, and no other setting moves.
TEST_F(SettingsTest, OnlyAFolderThatReadsBackIsStored) {
  const std::pair<std::string, std::string> cases[] = {
      {"/art/a;b/", "/art/ships/"},         {"/art/HAS_MASK=TRUE;x/", "/art/ships/"},
      {"/art/[/HULLSPIN]/", "/art/ships/"}, {"/art/IS_8BIT_SAVE=TRUE;\n/", "/art/ships/"},
      {"/art/cr\r\n/", "/art/ships/"},      {"/art/new\nline/", "/art/new\nline/"}};
  for (const auto& [folder, stored] : cases) {
    WriteConfig("\tFRAMES=7;\n\tDEFAULT_DIR_PATH=/art/ships/;\n");
    ReadSettingsFile(State(), Settings());
    Settings().DefaultDirPath = folder;
    Settings().Sheet.strip.columns = 3;  // a section of its own after HULLSPIN
    WriteSettingsFile(State(), Settings());
    ReadSettingsFile(State(), Settings());
    EXPECT_EQ(Settings().DefaultDirPath, stored) << folder;
    EXPECT_EQ(Settings().Frames, 7) << folder;
    EXPECT_EQ(Settings().Sheet.strip.columns, 3) << folder;
    EXPECT_FALSE(Settings().HasMask || Settings().Is8BitSave || Settings().IsCompressed) << folder;
  }
}

// A link is followed and stays, the mode is kept, and links planted where
// the temporary file once went are not followed.
TEST_F(SettingsTest, TheFileIsReplacedInPlaceAndSafely) {
  std::filesystem::create_directory(Path("real"));
  std::ofstream(Path("real/config.txt")) << "old";
  std::filesystem::permissions(Path("real/config.txt"), std::filesystem::perms(0600));
  std::filesystem::create_symlink("real/config.txt", Path("config.txt"));
  std::ofstream(Path("victim")) << "secret";
  const std::string planted = "config.txt.tmp" + std::to_string(getpid());
  std::filesystem::create_symlink(Path("victim"), Path(planted));
  std::filesystem::create_symlink(Path("victim"), Path("real/" + planted));
  EXPECT_TRUE(WriteSettingsFile(State(), Settings()));
  EXPECT_TRUE(std::filesystem::is_symlink(Path("config.txt")));
  EXPECT_EQ(ReadBytes(Path("real/config.txt")), kDefaultFile);
  EXPECT_EQ(std::filesystem::status(Path("real/config.txt")).permissions(),
            std::filesystem::perms(0600));
  EXPECT_EQ(ReadBytes(Path("victim")), "secret");
  if (geteuid() != 0) {  // root writes anywhere
    std::filesystem::permissions(Path("real/config.txt"), std::filesystem::perms(0444));
    SetFrameCount(Settings(), 5);
    EXPECT_FALSE(WriteSettingsFile(State(), Settings()));
    EXPECT_EQ(ReadBytes(Path("real/config.txt")), kDefaultFile);
  }
}

// A FIFO is not read (nor waited on), a file the user may not read is not
// written over at close, and a number out of its range reads as the default.
TEST_F(SettingsTest, FilesThatCannotBeReadAreLeftAndOddValuesIgnored) {
  ASSERT_EQ(mkfifo(Path("config.txt").c_str(), 0600), 0);
  RunAndClose([&] { EXPECT_EQ(Settings().Frames, 32); });
  ASSERT_EQ(fake_.boxes.size(), 1u);
  EXPECT_TRUE(std::filesystem::is_fifo(Path("config.txt")));
  std::filesystem::remove(Path("config.txt"));
  fake_.boxes.clear();

  WriteConfig("\tFRAMES=14;\n[/HULLSPIN]\n[SHEET]\n\tCOLUMNS=99999999999;\n\tSPACING=-4;\n");
  RunAndClose([&] {
    EXPECT_EQ(Settings().Sheet.strip.columns, 1);
    EXPECT_EQ(Settings().Sheet.strip.spacing, 0);
  });
  std::filesystem::permissions(dir_, std::filesystem::perms::all);
  chmod(Path("config.txt").c_str(), 0200);
  if (geteuid() == 0) {
    ASSERT_EQ(chown(Path("config.txt").c_str(), 65534, 65534), 0);
  }
  const std::string before = ReadBytes(Path("config.txt"));
  const auto closeAsNobody = [&] {
    if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) std::_Exit(2);
    RunAndClose();
    std::_Exit(fake_.boxes.size() == 1 ? 0 : 1);
  };
  EXPECT_EXIT(closeAsNobody(),
      ::testing::ExitedWithCode(0), "");
  chmod(Path("config.txt").c_str(), 0600);
  EXPECT_EQ(ReadBytes(Path("config.txt")), before);
}

TEST_F(SettingsTest, AFailedWriteKeepsTheOldSettings) {
  // A directory where the file should be: it cannot be replaced.
  std::filesystem::create_directory(Path("config.txt"));
  std::ofstream(Path("config.txt/keep")) << "x";
  WriteSettingsFile(State(), Settings());
  EXPECT_TRUE(std::filesystem::is_directory(Path("config.txt")));
  EXPECT_EQ(ReadBytes(Path("config.txt/keep")), "x");
  int files = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir_)) ++files;
  EXPECT_EQ(files, 1) << "the temporary file is removed";
}

TEST_F(SettingsTest, TheFileLivesBesideTheProgramWhereItsFolderCanBeWritten) {
  EXPECT_EQ(ExecutableDirectory(State()), dir_.string() + "/");
  EXPECT_EQ(SettingsFilePath(State()), Path("config.txt"));
  fake_.executablePath = "gyrelle";  // the current directory, here the build's
  EXPECT_EQ(SettingsFilePath(State()), "config.txt");
}

// A folder that root would write all the same: the checks run in a child
// process as nobody, and pass when it exits with 0.
class InstalledSettingsTest : public SettingsTest {
 protected:
  void SetUp() override {
    SettingsTest::SetUp();
    for (const char* name : {"bin", "xdg", "home", "locked"}) {
      std::filesystem::create_directory(Path(name));
      std::filesystem::permissions(Path(name), std::filesystem::perms::all);
    }
    std::filesystem::permissions(dir_, std::filesystem::perms::all);
    fake_.executablePath = Path("bin/gyrelle");
    ReadOnly("bin");
    ReadOnly("locked");
  }
  void ReadOnly(const std::string& name) {
    std::filesystem::permissions(Path(name),
                                 std::filesystem::perms::owner_write |
                                     std::filesystem::perms::group_write |
                                     std::filesystem::perms::others_write,
                                 std::filesystem::perm_options::remove);
  }
  static void AsNobody(const std::function<bool()>& check) {
    EXPECT_EXIT(
        {
          if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) std::_Exit(2);
          std::_Exit(check() ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
  }
  static bool Same(const std::string& seen, const std::string& wanted) {
    if (seen != wanted)
      std::fprintf(stderr, "\"%s\", wanted \"%s\"\n", seen.c_str(), wanted.c_str());
    return seen == wanted;
  }
};

TEST_F(InstalledSettingsTest, AReadOnlyProgramFolderKeepsThemInTheUsersConfigFolder) {
  AsNobody([&] {
    setenv("HOME", Path("home").c_str(), 1);
    unsetenv("XDG_CONFIG_HOME");
    bool ok = Same(SettingsFilePath(State()), Path("home/.config/gyrelle/config.txt"));
    setenv("XDG_CONFIG_HOME", Path("xdg").c_str(), 1);
    ok = Same(SettingsFilePath(State()), Path("xdg/gyrelle/config.txt")) && ok;
    // The folder is made at the first close, and the next run reads from it.
    RunAndClose([&] { SetFrameCount(Settings(), 720); });
    RunAndClose([&] { ok = Same(std::to_string(Settings().Frames), "720") && ok; });
    ok = Same(ReadBytes(Path("xdg/gyrelle/config.txt")).substr(0, 23),
              "[HULLSPIN]\n\tFRAMES=720;") &&
         !std::filesystem::exists(Path("bin/config.txt")) && fake_.boxes.empty() && ok;
    return ok;
  });
}

TEST_F(InstalledSettingsTest, NowhereToWriteThemIsSaidOnceAtClose) {
  AsNobody([&] {
    setenv("XDG_CONFIG_HOME", Path("locked").c_str(), 1);
    RunAndClose();
    return fake_.boxes.size() == 1 &&
           fake_.boxes[0].text.starts_with("Cannot keep the settings in \"" +
                                           Path("locked/gyrelle/config.txt"));
  });
}

TEST(ProcessExecutablePathTest, IsTheRunningTest) {
  const std::string path = ProcessExecutablePath();
  EXPECT_EQ(path.front(), '/');
  EXPECT_NE(path.find("gyrelle_app_tests"), std::string::npos) << path;
}

}  // namespace
