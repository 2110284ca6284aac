#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>

#include <nlohmann/json.hpp>

#include "../image/test_support.h"
#include "bench_support.h"
#include "io/image_io.h"
#include "engine/strip_pipeline.h"
#include "sheet/sheet_layout.h"

namespace {

struct CliRun {
  int status;
  std::string out;
  std::string err;
};

std::string Slurp(const std::string& path) {
  const auto bytes = FileBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

// Runs gyrelle-cli, through `wrapper` (a program and its first arguments)
// when one is given, with its standard output to `out` when given.
CliRun RunCli(const TempDir& dir, std::vector<std::string> args, std::string out = "",
              const std::vector<std::string>& wrapper = {},
              const std::string& program = GYRELLE_BIN_DIR "/gyrelle-cli") {
  args.insert(args.begin(), program);
  args.insert(args.begin(), wrapper.begin(), wrapper.end());
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (out.empty()) out = dir / "stdout";
  const std::string err = dir / "stderr";
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  // Signals at their defaults, as from a shell, whatever this process ignores.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t all;
  sigfillset(&all);
  posix_spawnattr_setsigdefault(&attributes, &all);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
  pid_t pid;
  EXPECT_EQ(posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), environ), 0);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  int status = 0;
  waitpid(pid, &status, 0);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, Slurp(dir / "stdout"), Slurp(err)};
}

// One line on stderr, starting with the program's name.
void ExpectOneErrorLine(const CliRun& run, const std::string& mentions) {
  EXPECT_EQ(run.err.rfind("gyrelle-cli: ", 0), 0u) << run.err;
  EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
  EXPECT_NE(run.err.find(mentions), std::string::npos) << run.err;
}

const std::string kShip = GYRELLE_SAMPLES_DIR "/cloakShip1.png";

class Cli : public LibraryTest {
 protected:
  TempDir dir;
};

TEST_F(Cli, UsageErrorsExitTwo) {
  const std::vector<std::vector<std::string>> cases = {{"-n", "0", kShip, "a.png"},
                                                       {"--frames", "-3", kShip, "a.png"},
                                                       {"-n", "12x", kShip, "a.png"},
                                                       {"--frames=99999999999", kShip, "a.png"},
                                                       {"-f", "12345", kShip, "a.png"},
                                                       {"--fill", "GG0000", kShip, "a.png"},
                                                       {kShip, "a.jpg"},
                                                       {kShip, "a"},
                                                       {kShip},
                                                       {"--nonsense", kShip, "a.png"},
                                                       {"--non\nsense", kShip, "a.png"},
                                                       {kShip, kShip, "b.png"},
                                                       {"-n"}};
  for (const auto& args : cases) {
    const CliRun run = RunCli(dir, args);
    EXPECT_EQ(run.status, 2) << args[0];
    ExpectOneErrorLine(run, "");
  }
  EXPECT_FALSE(std::filesystem::exists(dir / "a.png"));
}

// The window's program checks its arguments before Qt starts: without a
// display a bad one is a usage error, not an abort, escaped as here.
TEST_F(Cli, WindowProgramRefusesBadArgumentsWithoutADisplay) {
  const std::string window = GYRELLE_BIN_DIR "/gyrelle";
  if (!std::filesystem::exists(window)) GTEST_SKIP() << "built without the window";
  const std::string bad = "--\x1b[31mx\a";
  const std::string quoted = RunCli(dir, {bad, kShip, "a.png"}).err;
  const auto escaped = quoted.substr(quoted.find('"'), quoted.rfind('"') - quoted.find('"') + 1);
  for (const char* platform : {"-uQT_QPA_PLATFORM", "QT_QPA_PLATFORM=xcb"}) {
    const std::vector<std::string> noDisplay{"/usr/bin/env", "-uDISPLAY", "-uWAYLAND_DISPLAY",
                                             platform};
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--bogus"}, {"a", "b"}, {bad}}) {
      const CliRun run = RunCli(dir, args, "", noDisplay, window);
      EXPECT_EQ(run.status, 2) << args[0] << " " << platform << ": " << run.err;
      EXPECT_EQ(run.err.rfind("gyrelle: ", 0), 0u) << run.err;
      EXPECT_NE(run.err.find("(see gyrelle --help)\n"), std::string::npos) << run.err;
      if (args[0] == bad) {
        EXPECT_NE(run.err.find(escaped), std::string::npos) << run.err;
      }
    }
  }
}

TEST_F(Cli, HelpAndVersion) {
  CliRun run = RunCli(dir, {"--help"});
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.out.find("gyrelle-cli [options] INPUT OUTPUT"), std::string::npos);
  run = RunCli(dir, {"--version"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "gyrelle-cli 1.0.1\n");
  // Text that could not be written is no success.
  for (const char* option : {"--help", "--version"}) {
    run = RunCli(dir, {option}, "/dev/full");
    EXPECT_EQ(run.status, 1) << option;
    ExpectOneErrorLine(run, "No space left on device");
  }
}

TEST_F(Cli, RefusesToWriteOverItsInput) {
  const std::string input = dir / "X-mask.BMP";
  std::filesystem::copy_file(kShip, dir / "ship.png");
  ASSERT_TRUE(SaveImageFile(MakePicture(9, 9), input));
  const auto before = FileBytes(dir / "ship.png"), maskBefore = FileBytes(input);
  for (const auto& args : std::vector<std::vector<std::string>>{
           {dir / "ship.png", dir / "ship.png"},
           {dir / "ship.png", dir.path().string() + "/./ship.png"},
           {"--mask", input, dir / "X.png"}}) {
    const CliRun run = RunCli(dir, args);
    EXPECT_EQ(run.status, 2) << args[1];
    ExpectOneErrorLine(run, "is INPUT itself");
  }
  EXPECT_EQ(FileBytes(dir / "ship.png"), before);
  EXPECT_EQ(FileBytes(input), maskBefore);
  EXPECT_FALSE(std::filesystem::exists(dir / "X.png"));
}

// Names as long as the folder takes, their masks' too, and control
// characters shown escaped on the one line.
TEST_F(Cli, LongAndOddOutputNames) {
  const std::string stem = dir / std::string(246, 's');
  CliRun run = RunCli(dir, {"-n", "2", "--mask", kShip, stem + ".png"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(std::filesystem::exists(stem + ".png"));
  EXPECT_TRUE(std::filesystem::exists(stem + "-mask.BMP"));
  // A mask name too long for the folder: neither file is written.
  run = RunCli(dir, {"--mask", kShip, stem + "long.png"});
  EXPECT_EQ(run.status, 1);
  ExpectOneErrorLine(run, "File name too long; the strip was not written either");
  EXPECT_FALSE(std::filesystem::exists(stem + "long.png"));

  run = RunCli(dir, {kShip, dir / "no\nsuch\x1b[2J/out.png"});
  EXPECT_EQ(run.status, 1);
  ExpectOneErrorLine(run, "no\\nsuch\\x1b[2J/out.png");
}

// Past a file size limit the write fails, is reported and leaves nothing.
TEST_F(Cli, FileSizeLimitIsAReportedFailure) {
  const CliRun run =
      RunCli(dir, {kShip, dir / "out.png"}, "", {"/usr/bin/prlimit", "--fsize=2000"});
  EXPECT_EQ(run.status, 1);
  ExpectOneErrorLine(run, "File too large");
  std::vector<std::string> left;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    left.push_back(entry.path().filename());
  }
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{"stderr", "stdout"}));
}

TEST_F(Cli, UnreadableInputOrUnwritableOutputExitOne) {
  std::ofstream(dir / "notes.png") << "not pixels";
  CliRun run = RunCli(dir, {dir / "notes.png", dir / "out.png"});
  EXPECT_EQ(run.status, 1);
  ExpectOneErrorLine(run, "not a picture DevIL can read");

  run = RunCli(dir, {dir / "missing.png", dir / "out.png"});
  EXPECT_EQ(run.status, 1);
  ExpectOneErrorLine(run, "missing.png");

  run = RunCli(dir, {kShip, dir / "no-such-folder/out.png"});
  EXPECT_EQ(run.status, 1);
  ExpectOneErrorLine(run, "out.png");
  EXPECT_FALSE(std::filesystem::exists(dir / "out.png"));
}

// A strip taller than PNG's million rows is refused before any write (the
// library's writer would crash); BMP takes it.
TEST_F(Cli, StripsPastTheFormatsLimitAreRefused) {
  ASSERT_TRUE(SaveImageFile(MakePicture(10, 10), dir / "small.png"));
  CliRun run = RunCli(dir, {"-n", "100001", dir / "small.png", dir / "tall.png"});
  EXPECT_EQ(run.status, 1);
  ExpectOneErrorLine(run, "PNG files hold at most 1000000 x 1000000 pixels");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 3);
  run = RunCli(dir, {"-n", "100001", dir / "small.png", dir / "tall.bmp"});
  EXPECT_EQ(run.status, 0) << run.err;
}

// Damaged files the library would hang or crash on end the run at once.
TEST_F(Cli, DamagedInputExitsOneWithOneLine) {
  for (const char* name : {"cut.png", "cut.jpg", "cut.tga", "cut.pcx"}) {
    SCOPED_TRACE(name);
    const std::string path = dir / name;
    ASSERT_TRUE(SaveImageFile(MakePicture(40, 30), path));
    std::filesystem::resize_file(path, std::filesystem::file_size(path) / 2);
    const CliRun run = RunCli(dir, {path, dir / "out.png"});
    EXPECT_EQ(run.status, 1);
    ExpectOneErrorLine(run, Quoted(path));
  }
  EXPECT_FALSE(std::filesystem::exists(dir / "out.png"));
}

// The CLI's files must be what the engine makes of the same picture when
// driven in the window's order: read, flip, fill from the top-left pixel,
// build, write, mask.
TEST_F(Cli, WritesTheEnginesStripAndMask) {
  for (const char* sample :
       {"aimFighter1.png", "cloakShip1.png", "escort1.png", "goodTrans1.png"}) {
    for (int frames : {1, 8, 14, 32}) {
      SCOPED_TRACE(std::string(sample) + " N=" + std::to_string(frames));
      const std::string input = std::string(GYRELLE_SAMPLES_DIR "/") + sample;
      const std::string output = dir / "strip.png";
      const bool withMask = frames != 8;
      std::filesystem::remove(dir / "strip-mask.BMP");
      std::vector<std::string> args = {"-n", std::to_string(frames), input, output};
      if (withMask) args.insert(args.begin(), "--mask");
      const CliRun run = RunCli(dir, args);
      ASSERT_EQ(run.status, 0) << run.err;
      EXPECT_EQ(run.err, "");

      const auto picture = ReadUpright(input);
      ASSERT_TRUE(picture);
      const Rgb fill = TopLeftColor(*picture);
      const auto strip = MakeStrip(*picture, {.frames = frames, .fill = fill});
      ASSERT_TRUE(strip);
      ASSERT_TRUE(SaveImageFile(*strip, dir / "expected.png",
                                WriteOptions{.png = PngCompression::kDefault}));
      EXPECT_EQ(FileBytes(output), FileBytes(dir / "expected.png"));

      const auto written = ReadUpright(output);
      ASSERT_TRUE(written);
      EXPECT_EQ(written->Width(), picture->Width());
      EXPECT_EQ(written->Height(), picture->Height() * frames);
      // Frame 0 is the picture itself.
      EXPECT_TRUE(std::equal(picture->Pixels(), picture->Pixels() + picture->ByteSize(),
                             written->Pixels()));

      if (!withMask) {
        EXPECT_FALSE(std::filesystem::exists(dir / "strip-mask.BMP"));
        continue;
      }
      const auto mask = ReadUpright(dir / "strip-mask.BMP");
      ASSERT_TRUE(mask);
      const auto expectedMask = MakeMask(*strip, fill.red, fill.green, fill.blue);
      EXPECT_EQ(PixelBytes(*mask), PixelBytes(*expectedMask));
      EXPECT_EQ(FileBytes(dir / "strip-mask.BMP").at(28), 8);  // bits per pixel
    }
  }
}

TEST_F(Cli, FillColourAndSaveOptions) {
  const std::string output = dir / "ship.Tga";
  const CliRun run =
      RunCli(dir, {"-n", "4", "--fill", "ff00Ff", "--8bit", "--compress", "--mask", kShip, output});
  ASSERT_EQ(run.status, 0) << run.err;
  const auto bytes = FileBytes(output);
  EXPECT_EQ(bytes.at(1), 1);  // a colour map
  EXPECT_EQ(bytes.at(2), 9);  // colour-mapped, run-length
  EXPECT_EQ(FileBytes(dir / "ship-mask.BMP").at(28), 8);

  // The quarter turn of the 26 x 32 ship leaves the first three rows of the
  // 26-wide canvas uncovered: magenta, and black in the mask.
  const auto strip = ReadUpright(output);
  ASSERT_TRUE(strip);
  EXPECT_EQ(strip->ReadPixel(0, 32), (std::vector<std::uint8_t>{255, 0, 255}));
  const auto mask = ReadUpright(dir / "ship-mask.BMP");
  ASSERT_TRUE(mask);
  EXPECT_EQ(mask->ReadPixel(0, 32), (std::vector<std::uint8_t>{0, 0, 0}));
  EXPECT_EQ(mask->ReadPixel(13, 32 + 16), (std::vector<std::uint8_t>{255, 255, 255}));
}

TEST_F(Cli, SheetOptionsThatCannotWorkAreUsageErrors) {
  const std::string out = dir / "a.png";
  const std::vector<std::vector<std::string>> cases = {
      {"--columns", "0", kShip, out},        {"-n", "4", "--columns", "5", kShip, out},
      {"--spacing", "-1", kShip, out},       {"--margin", "-2", kShip, out},
      {"--frame-size", "0x5", kShip, out},   {"--frame-size", "12", kShip, out},
      {"--frame-size", "3x4x", kShip, out},  {"--start", "400x", kShip, out},
      {"--data", dir / "a.txt", kShip, out}, {"--data-format", "xml", kShip, out},
      {"--alpha", kShip, dir / "a.bmp"},     {"--alpha", kShip, dir / "a.pcx"},
      {"--alpha", "--8bit", kShip, out},     {"--max-size", "0", kShip, out},
      {"--data", dir / "a.tres", "--data-format", "aseprite", kShip, out},
      {"--data", dir / "a.json", "--fps", "0", kShip, out},
      {"--fps", "12", kShip, out},
      {"--trim", kShip, out},                {"--pack", "--alpha", kShip, out},
      {"--bleed", kShip, out},               {"--premultiply", kShip, out},
      {"--extrude", "65", kShip, out},       {"--extrude", "-1", kShip, out}};
  for (const auto& args : cases) {
    const CliRun run = RunCli(dir, args);
    EXPECT_EQ(run.status, 2) << args[0] << " " << args[1];
    ExpectOneErrorLine(run, "");
  }
  EXPECT_NE(RunCli(dir, cases[10]).err.find("cannot hold transparency; save as PNG or TGA"),
            std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(out));
  EXPECT_FALSE(std::filesystem::exists(dir / "a.bmp"));

  // Past what TGA can hold: refused before anything is made or written.
  CliRun run = RunCli(dir, {"-n", "2", "--frame-size", "40x40000", kShip, dir / "tall.tga"});
  EXPECT_EQ(run.status, 1);
  ExpectOneErrorLine(run, "65535");
  EXPECT_FALSE(std::filesystem::exists(dir / "tall.tga"));

  // The data file cannot be written: said, exit 1, found before the sheet
  // is written, so neither is.
  run = RunCli(dir, {"--data", dir / "none/a.json", kShip, out});
  EXPECT_EQ(run.status, 1);
  ExpectOneErrorLine(run, "a.json");
  EXPECT_FALSE(std::filesystem::exists(out));
}

TEST_F(Cli, WritesTheEnginesSheetAndItsData) {
  const std::string ship = GYRELLE_SAMPLES_DIR "/firefly.png";
  const CliRun run = RunCli(dir, {"-n", "16", "--alpha", "--frame-size", "fit", "--columns", "8",
                                  "--spacing", "1", "--start", "90", "--reverse", "--data",
                                  dir / "s.json", "--data-format", "array", ship, dir / "s.png"});
  ASSERT_EQ(run.status, 0) << run.err;
  const auto picture = ReadPicture(ship);
  ASSERT_TRUE(picture);
  SheetPlan plan;
  const auto sheet = MakeStrip(*picture,
                               {.frames = 16,
                                .fill = TopLeftColor(*picture),
                                .alpha = true,
                                .frameSize = {FrameSize::Kind::kFit},
                                .columns = 8,
                                .spacing = 1,
                                .startDegrees = 90,
                                .reverse = true},
                               nullptr, &plan);
  ASSERT_TRUE(sheet);
  ASSERT_TRUE(SaveStrip(*sheet, dir / "e.png",
                        {.data = DataFormat::kJsonArray, .dataPath = dir / "e.json"},
                        TopLeftColor(*picture), &plan)
                  .empty());
  EXPECT_EQ(FileBytes(dir / "s.png"), FileBytes(dir / "e.png"));
  std::string data = Slurp(dir / "s.json"), expected = Slurp(dir / "e.json");
  expected.replace(expected.find("\"e.png\""), 7, "\"s.png\"");
  for (std::size_t at; (at = expected.find("\"e_")) != std::string::npos;) expected[at + 1] = 's';
  EXPECT_EQ(data, expected);
}

// Our own turning methods take every sheet option and make the same sheet on
// any number of threads; an unknown method is a usage error naming them all.
TEST_F(Cli, TurningMethodsOnAnyNumberOfThreads) {
  const std::string ship = GYRELLE_SAMPLES_DIR "/firefly.png";
  const auto sheet = [&](const std::string& method, const std::string& threads) {
    const std::string out = dir / (method + threads + ".png");
    const CliRun run =
        RunCli(dir, {"--method", method, "--threads", threads, "-n", "12", "--alpha",
                     "--frame-size", "fit", "--columns", "5", "--spacing", "1", ship, out});
    EXPECT_EQ(run.status, 0) << run.err;
    return FileBytes(out);
  };
  const auto library = sheet("library", "1");
  for (const std::string method : {"rotsprite", "shear", "smooth"}) {
    const auto one = sheet(method, "1");
    EXPECT_NE(one, library) << method;
    EXPECT_EQ(sheet(method, "2"), one) << method;
    EXPECT_EQ(sheet(method, "16"), one) << method;
  }
  const CliRun run = RunCli(dir, {"--method", "nearest", kShip, dir / "a.png"});
  EXPECT_EQ(run.status, 2);
  ExpectOneErrorLine(run, "library, rotsprite, shear, smooth, not \"nearest\"");
  for (const char* threads : {"0", "1025"}) {
    EXPECT_EQ(RunCli(dir, {"--threads", threads, kShip, dir / "a.png"}).status, 2) << threads;
  }
}

// The pixels of one frame of a sheet, where its data file puts it.
std::vector<std::uint8_t> FramePixels(const Image& sheet, const nlohmann::json& frame) {
  const nlohmann::json& r = frame["frame"];
  return PixelsIn(sheet, r["x"], r["y"], r["w"], r["h"]);
}

std::unique_ptr<Image> ReadSheet(const std::string& path) {
  auto sheet = LoadImageFile(path, 4);
  if (sheet) FlipRows(*sheet);
  return sheet;
}

nlohmann::json ReadData(const std::string& path) {
  return nlohmann::json::parse(Slurp(path));
}

// Several pictures of different sizes in one sheet: each picture's frames
// are its own sheet's frames, named after it, one animation each, on any
// number of threads; --inputs adds to the pictures named.
TEST_F(Cli, SeveralPicturesInOneSheet) {
  const std::vector<std::string> ships = {GYRELLE_SAMPLES_DIR "/firefly.png",
                                          GYRELLE_SAMPLES_DIR "/escort1.png",
                                          GYRELLE_SAMPLES_DIR "/aimFighter1.png"};
  std::ofstream(dir / "list.txt") << ships[1] << "\n\n" << ships[2] << "\n";
  const std::vector<std::string> options = {"-n",        "6", "--alpha",  "--frame-size", "fit",
                                            "--columns", "4", "--method", "shear"};
  const auto run = [&](std::vector<std::string> args, const std::string& out) {
    args.insert(args.begin(), options.begin(), options.end());
    args.insert(args.end(), {"--data", dir / (out + ".json"), dir / (out + ".png")});
    const CliRun cli = RunCli(dir, args);
    EXPECT_EQ(cli.status, 0) << cli.err;
  };
  run({"--threads", "1", ships[0], "--inputs", dir / "list.txt"}, "all");
  run({"--threads", "2", ships[0], ships[1], ships[2]}, "two");
  EXPECT_EQ(FileBytes(dir / "all.png"), FileBytes(dir / "two.png"));
  const auto all = ReadSheet(dir / "all.png");
  const nlohmann::json data = ReadData(dir / "all.json");
  ASSERT_TRUE(all);
  ASSERT_EQ(data["frames"].size(), 18u);
  ASSERT_EQ(data["animations"].size(), 3u);
  for (const std::string& ship : ships) {
    const std::string stem = std::filesystem::path(ship).stem();
    run({ship}, stem);
    const auto own = ReadSheet(dir / (stem + ".png"));
    const nlohmann::json ownData = ReadData(dir / (stem + ".json"));
    ASSERT_TRUE(own);
    const nlohmann::json& animation = data["animations"][stem];
    ASSERT_EQ(animation.size(), 6u) << stem;
    for (int k = 0; k < 6; ++k) {
      const std::string name = stem + "_" + std::to_string(k);
      EXPECT_EQ(animation[k], name);
      EXPECT_EQ(FramePixels(*all, data["frames"][name]), FramePixels(*own, ownData["frames"][name]))
          << name;
    }
  }
}

// The pictures as the frames of one animation: frame j at angle k is
// picture j's own frame k; an animation per angle, and spin of frame 0.
TEST_F(Cli, TheFramesOfAnAnimationAtEveryAngle) {
  for (int j = 0; j < 3; ++j) {
    ASSERT_TRUE(SaveImageFile(MakePicture(9, 7, 4, j), dir / ("f" + std::to_string(j) + ".png")));
  }
  const std::vector<std::string> options = {"-n", "4", "--alpha", "--columns", "2"};
  auto args = options;
  args.insert(args.end(), {"--animation", dir / "f0.png", dir / "f1.png", dir / "f2.png", "--data",
                           dir / "ship.json", dir / "ship.png"});
  const CliRun cli = RunCli(dir, args);
  ASSERT_EQ(cli.status, 0) << cli.err;
  const auto sheet = ReadSheet(dir / "ship.png");
  const nlohmann::json data = ReadData(dir / "ship.json");
  ASSERT_TRUE(sheet);
  EXPECT_EQ(data["animations"]["spin"],
            (nlohmann::json{"ship_0_0", "ship_1_0", "ship_2_0", "ship_3_0"}));
  for (int j = 0; j < 3; ++j) {
    const std::string stem = "f" + std::to_string(j);
    args = options;
    args.insert(args.end(), {"--data", dir / "own.json", dir / (stem + ".png"), dir / "own.png"});
    ASSERT_EQ(RunCli(dir, args).status, 0);
    const auto own = ReadSheet(dir / "own.png");
    const nlohmann::json ownData = ReadData(dir / "own.json");
    for (int k = 0; k < 4; ++k) {
      const std::string angle = "ship_" + std::to_string(k);
      const std::string name = angle + "_" + std::to_string(j);
      EXPECT_EQ(data["animations"][angle][j], name);
      EXPECT_EQ(FramePixels(*sheet, data["frames"][name]),
                FramePixels(*own, ownData["frames"]["own_" + std::to_string(k)]))
          << name;
    }
  }
}

// Two pictures of one stem, animation frames of two sizes, and one picture
// that cannot be read: the job fails naming the cause, nothing written.
TEST_F(Cli, SeveralPicturesThatCannotMakeOneSheet) {
  ASSERT_TRUE(SaveImageFile(MakePicture(9, 7, 3), dir / "a.png"));
  ASSERT_TRUE(SaveImageFile(MakePicture(7, 9, 3), dir / "b.png"));
  std::filesystem::create_directory(dir / "other");
  ASSERT_TRUE(SaveImageFile(MakePicture(9, 7, 3), dir / "other/a.tga"));
  const struct {
    std::vector<std::string> args;
    int status;
    std::string mentions;
  } cases[] = {
      {{dir / "a.png", dir / "b.png", dir / "other/a.tga"}, 2, "would both name"},
      {{"--animation", dir / "a.png", dir / "b.png"}, 2, "b.png\" is 7 x 9"},
      {{dir / "a.png", dir / "gone.png", dir / "b.png"}, 1, "gone.png"},
      {{"--mask", dir / "a.png", dir / "b.png"}, 2, "--fill"},
  };
  for (const auto& c : cases) {
    auto args = c.args;
    args.insert(args.end(), {"--data", dir / "s.json", dir / "s.png"});
    const CliRun run = RunCli(dir, args);
    EXPECT_EQ(run.status, c.status) << c.mentions;
    ExpectOneErrorLine(run, c.mentions);
    EXPECT_FALSE(std::filesystem::exists(dir / "s.png"));
    EXPECT_FALSE(std::filesystem::exists(dir / "s.json"));
  }
}

// Runaway sizes are refused from arithmetic: under a memory limit far
// below what storing their angles would take, each is said on one line.
TEST_F(Cli, RunawaySizesAreRefusedBeforeAnythingIsAllocated) {
  const std::string small = dir / "2x2.png";
  const Image picture = MakePicture(2, 2);
  ASSERT_TRUE(SaveImageFile(picture, small, WriteOptions{}));
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"-n", "300000000"}, "1000000"},
      {{"-n", "300000000", "--frame-size", "fit"}, "1000000"},
      {{"-n", "300000000", "--columns", "30000"}, "not enough memory"},
      {{"--frame-size", "2147483647x2147483647"}, "2147483647 x 2147483647"}};
  // The address sanitizer reserves terabytes up front: there the sizes are
  // tried without the limit, all but the one only memory refuses.
#ifdef __SANITIZE_ADDRESS__
  const std::vector<std::string> limit;
#else
  const std::vector<std::string> limit{"/usr/bin/prlimit", "--as=800000000"};
#endif
  for (auto [args, says] : cases) {
    if (limit.empty() && says == "not enough memory") continue;
    args.insert(args.end(), {small, dir / "a.png"});
    const CliRun run = RunCli(dir, args, "", limit);
    EXPECT_EQ(run.status, 1) << args[1];
    ExpectOneErrorLine(run, says);
  }
  EXPECT_FALSE(std::filesystem::exists(dir / "a.png"));
}

// A name JSON text cannot hold is refused before anything is written.
TEST_F(Cli, DataFileNamesMustBeUtf8) {
  const CliRun run = RunCli(dir, {"--data", dir / "u.json", kShip, dir / "bad\xff.png"});
  EXPECT_EQ(run.status, 2);
  ExpectOneErrorLine(run, "UTF-8");
  EXPECT_FALSE(std::filesystem::exists(dir / "bad\xff.png"));
  // So must the pictures' names that name a fleet's frames.
  std::filesystem::copy_file(kShip, dir / "ship\xff.png");
  const CliRun fleet =
      RunCli(dir, {"--data", dir / "u.json", kShip, dir / "ship\xff.png", dir / "f.png"});
  EXPECT_EQ(fleet.status, 2);
  ExpectOneErrorLine(fleet, "UTF-8");
  EXPECT_FALSE(std::filesystem::exists(dir / "f.png"));
}

// A replaced file loses its set-ID bits; one the user may not write is kept
// (as nobody, where root could write anything).
TEST_F(Cli, ReplacedFilesLoseSetIdBitsAndReadOnlyOnesAreKept) {
  std::filesystem::permissions(dir.path(), std::filesystem::perms::all);
  std::vector<std::string> as;
  if (geteuid() == 0) as = {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
  for (const char* name : {"su.png", "ro.png", "ro.json"}) std::ofstream(dir / name) << "old";
  if (geteuid() == 0) {
    for (const char* name : {"su.png", "ro.png", "ro.json"}) {
      ASSERT_EQ(chown((dir / name).c_str(), 65534, 65534), 0);
    }
  }
  chmod((dir / "su.png").c_str(), 06755);
  chmod((dir / "ro.png").c_str(), 0444);
  chmod((dir / "ro.json").c_str(), 0444);
  EXPECT_EQ(RunCli(dir, {"-n", "2", kShip, dir / "su.png"}, dir / "out", as).status, 0);
  EXPECT_EQ(std::filesystem::status(dir / "su.png").permissions(), std::filesystem::perms(0755));
  for (const char* name : {"ro.png", "ro.json"}) {
    const bool data = std::string(name) == "ro.json";
    std::vector<std::string> args{"-n", "2", kShip, dir / (data ? "w.png" : name)};
    if (data) args.insert(args.begin(), {"--data", dir / name});
    const CliRun run = RunCli(dir, args, dir / "out", as);
    EXPECT_EQ(run.status, 1) << name;
    ExpectOneErrorLine(run, name);
    EXPECT_EQ(Slurp(dir / name), "old");
  }
  // The sheet was written before the data file failed: said.
  EXPECT_NE(RunCli(dir, {"-n", "2", "--data", dir / "ro.json", kShip, dir / "w.png"}, dir / "out", as)
                .err.find("written: "),
            std::string::npos);
}

}  // namespace

namespace {

// The normal map is found by its suffix and checked before anything is
// written; with it, the colour sheet is byte for byte what it is without, and
// the data names the normal sheet beside it.
TEST_F(Cli, NormalSheetBesideTheColourSheet) {
  const std::string ship = dir / "ship.png";
  std::filesystem::copy_file(GYRELLE_SAMPLES_DIR "/firefly.png", ship);
  const auto picture = ReadPicture(ship);
  ASSERT_TRUE(picture);
  const std::vector<std::string> options = {"-n", "8", "--alpha", "--frame-size", "fit"};
  const auto run = [&](std::vector<std::string> more) {
    more.insert(more.begin(), options.begin(), options.end());
    return RunCli(dir, more);
  };
  ASSERT_EQ(run({ship, dir / "plain.png"}).status, 0);
  CliRun missing = run({"--normals", "_n", ship, dir / "s.png"});
  EXPECT_EQ(missing.status, 1);
  ExpectOneErrorLine(missing, "ship_n.png");
  ASSERT_TRUE(SaveImageFile(MakePicture(picture->Width() + 1, picture->Height()), dir / "ship_n.png"));
  CliRun wrongSize = run({"--normals", "_n", "--data", dir / "s.json", ship, dir / "s.png"});
  EXPECT_EQ(wrongSize.status, 1);
  ExpectOneErrorLine(wrongSize, "ship_n.png");
  EXPECT_FALSE(std::filesystem::exists(dir / "s.png") || std::filesystem::exists(dir / "s.json"));

  ASSERT_TRUE(SaveImageFile(MakePicture(picture->Width(), picture->Height()), dir / "ship_n.png"));
  for (const char* y : {"up", "down"}) {
    const CliRun made = run({"--normals", "_n", "--normal-y", y, "--data", dir / "s.json", ship,
                             dir / "s.png"});
    ASSERT_EQ(made.status, 0) << made.err;
    EXPECT_EQ(FileBytes(dir / "s.png"), FileBytes(dir / "plain.png"));
    EXPECT_TRUE(std::filesystem::exists(dir / "s_n.png"));
    EXPECT_NE(Slurp(dir / "s.json").find("\"normalMap\": \"s_n.png\""), std::string::npos);
  }
  // Each picture of several has its own map; a picture's normal frames are
  // those it has alone.
  std::filesystem::copy_file(ship, dir / "two.png");
  std::filesystem::copy_file(dir / "ship_n.png", dir / "two_n.png");
  const CliRun fleet =
      run({"--normals", "_n", "--normal-y", "down", ship, dir / "two.png", dir / "f.png"});
  ASSERT_EQ(fleet.status, 0) << fleet.err;
  const auto alone = ReadPicture(dir / "s_n.png"), both = ReadPicture(dir / "f_n.png");
  ASSERT_TRUE(alone && both);
  ASSERT_EQ(both->Height(), 2 * alone->Height());
  const std::size_t half = std::size_t(alone->Height()) * alone->RowBytes();
  EXPECT_EQ(0, std::memcmp(both->Pixels() + half, alone->Pixels(), half));
  EXPECT_EQ(run({"--normal-y", "up", ship, dir / "t.png"}).status, 2);
  EXPECT_EQ(RunCli(dir, {"--normals", "_n", "--8bit", ship, dir / "t.png"}).status, 2);
  EXPECT_EQ(RunCli(dir, {"--normals", "_n", ship, dir / "ship_n.png"}).status, 2);
}

}  // namespace
