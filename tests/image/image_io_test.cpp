#include "image/image_io.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>

#include "test_support.h"

namespace {

using ImageIo = LibraryTest;

const char* const kLosslessFormats[] = {"png", "tga", "bmp", "pcx"};

TEST_F(ImageIo, TrueColourRoundTripKeepsEveryPixel) {
  TempDir dir;
  for (const char* format : kLosslessFormats) {
    for (bool compressed : {false, true}) {
      for (auto [width, height] : {std::pair{1, 1}, {4, 3}, {7, 9}, {33, 8}, {15, 2}}) {
        SCOPED_TRACE(std::string(format) + " " + std::to_string(width) + "x" +
                     std::to_string(height) + (compressed ? " compressed" : ""));
        const Image picture = MakePicture(width, height);
        const std::string path = dir / (std::string("ship.") + format);
        std::string reason;
        ASSERT_TRUE(SaveImageFile(picture, path, WriteOptions{0, compressed}, &reason)) << reason;
        const auto back = ReadUpright(path, &reason);
        ASSERT_TRUE(back) << reason;
        EXPECT_EQ(back->Width(), width);
        EXPECT_EQ(back->Height(), height);
        EXPECT_EQ(PixelBytes(*back), PixelBytes(picture));
        EXPECT_EQ(back->GetName(), path);
      }
    }
  }
}

TEST_F(ImageIo, FormatIsTakenFromTheExtensionInAnyCase) {
  TempDir dir;
  const Image picture = MakePicture(5, 5);
  ASSERT_TRUE(SaveImageFile(picture, dir / "ship.Png"));
  const auto bytes = FileBytes(dir / "ship.Png");
  ASSERT_GE(bytes.size(), 8u);
  EXPECT_EQ(std::string(bytes.begin() + 1, bytes.begin() + 4), "PNG");
}

// Where each format says how many bits a pixel has, and the value for 8.
struct DepthField {
  const char* format;
  std::size_t offset;
  std::uint8_t eightBit;
};

TEST_F(ImageIo, EightBitSaveWritesAPaletteAndLeavesTheImageAlone) {
  TempDir dir;
  const DepthField fields[] = {{"png", 25, 3},  // colour type 3: palette
                               {"tga", 1, 1},   // colour map present
                               {"bmp", 28, 8},  // bits per pixel
                               {"pcx", 3, 8}};  // bits per pixel per plane
  const Image picture = MakePicture(9, 7);
  const auto before = PixelBytes(picture);
  for (const DepthField& field : fields) {
    SCOPED_TRACE(field.format);
    const std::string path = dir / (std::string("ship.") + field.format);
    std::string reason;
    ASSERT_TRUE(SaveImageFile(picture, path, 1, &reason)) << reason;
    const auto bytes = FileBytes(path);
    ASSERT_GT(bytes.size(), field.offset);
    EXPECT_EQ(bytes[field.offset], field.eightBit);
    EXPECT_EQ(picture.BytesPerPixel(), 3);
    EXPECT_EQ(PixelBytes(picture), before);

    const auto indexed = LoadImageFile(path, 1, &reason);
    ASSERT_TRUE(indexed) << reason;
    EXPECT_EQ(indexed->BytesPerPixel(), 1);
    ASSERT_NE(indexed->GetPalette(), nullptr);
    EXPECT_TRUE(indexed->GetPalette()->HasEntries());
  }
}

// The library leaves stray memory in unused palette entries and in the TGA
// header's origin; none of it may reach a file.
TEST_F(ImageIo, FilesAreReproducibleByteForByte) {
  TempDir dir;
  const Image picture = MakePicture(40, 30);
  const auto mask =
      MakeMask(picture, picture.Pixels()[0], picture.Pixels()[1], picture.Pixels()[2]);
  ASSERT_TRUE(mask);
  for (const char* format : {"bmp", "tga", "png", "pcx"}) {
    for (int depth : {1, 3}) {
      SCOPED_TRACE(std::string(format) + " depth " + std::to_string(depth));
      const std::string first = dir / (std::string("a.") + format);
      const std::string second = dir / (std::string("b.") + format);
      ASSERT_TRUE(SaveImageFile(picture, first, depth));
      ASSERT_TRUE(SaveImageFile(picture, second, depth));
      EXPECT_EQ(FileBytes(first), FileBytes(second));
    }
  }
  const auto targa = FileBytes(dir / "a.tga");
  EXPECT_EQ(std::vector<std::uint8_t>(targa.begin() + 8, targa.begin() + 12),
            std::vector<std::uint8_t>(4, 0));
  ASSERT_TRUE(SaveImageFile(*mask, dir / "a-mask.BMP", 1));
  ASSERT_TRUE(SaveImageFile(*mask, dir / "b-mask.BMP", 1));
  EXPECT_EQ(FileBytes(dir / "a-mask.BMP"), FileBytes(dir / "b-mask.BMP"));
}

// A picture with long runs of one colour, as strips have.
Image RunsPicture(int width, int height) {
  Image image = MakePicture(width, height);
  for (std::size_t i = 0; i < image.ByteSize(); ++i) {
    image.Pixels()[i] = std::uint8_t((i / 3) % 7 < 4 ? 200 : i / 21 % 3 * 60);
  }
  return image;
}

TEST_F(ImageIo, CompressedSavesKeepEveryPixel) {
  TempDir dir;
  const Image picture = RunsPicture(26, 12);
  for (const char* format : kLosslessFormats) {
    for (int depth : {3, 1}) {
      SCOPED_TRACE(std::string(format) + " depth " + std::to_string(depth));
      const std::string path = dir / (std::string("runs.") + format);
      ASSERT_TRUE(SaveImageFile(picture, path, WriteOptions{depth, true}));
      const auto back = ReadUpright(path);
      ASSERT_TRUE(back);
      EXPECT_EQ(PixelBytes(*back), PixelBytes(picture));
    }
  }
  // The library's run-length TGA encoder scrambles such pictures: TGA is
  // written plain whatever the switch says.
  EXPECT_EQ(FileBytes(dir / "runs.tga").at(2), 1);  // plain, colour-mapped
}

TEST_F(ImageIo, UnreadableFilesGiveNoImageAndSayWhy) {
  TempDir dir;
  std::string reason;
  EXPECT_EQ(LoadImageFile("", 3, &reason), nullptr);

  EXPECT_EQ(LoadImageFile(dir / "missing.png", 3, &reason), nullptr);
  EXPECT_NE(reason.find("missing.png"), std::string::npos) << reason;
  EXPECT_NE(reason.find("No such file"), std::string::npos) << reason;

  std::ofstream(dir / "notes.png") << "these are not pixels";
  EXPECT_EQ(LoadImageFile(dir / "notes.png", 3, &reason), nullptr);
  EXPECT_NE(reason.find("not a picture DevIL can read"), std::string::npos) << reason;

  EXPECT_EQ(LoadImageFile(dir.path().string(), 3, &reason), nullptr);
  EXPECT_NE(reason.find("folder"), std::string::npos) << reason;
}

TEST_F(ImageIo, SixteenBitFormatsRefuseTallerPicturesAndWriteNothing) {
  TempDir dir;
  const Image tall = MakePicture(2, 70400);
  for (const char* name : {"strip.tga", "strip.pcx"}) {
    std::string reason;
    EXPECT_FALSE(SaveImageFile(tall, dir / name, &reason)) << name;
    EXPECT_NE(reason.find("65535"), std::string::npos) << reason;
    EXPECT_FALSE(std::filesystem::exists(dir / name));
  }
  std::string reason;
  EXPECT_TRUE(SaveImageFile(tall, dir / "strip.bmp", &reason)) << reason;

  // The largest size those formats hold still comes back whole.
  const Image tallest = MakePicture(1, 65535);
  for (const char* name : {"tallest.tga", "tallest.pcx"}) {
    ASSERT_TRUE(SaveImageFile(tallest, dir / name, &reason)) << reason;
    const auto back = ReadUpright(dir / name, &reason);
    ASSERT_TRUE(back) << reason;
    EXPECT_EQ(back->Height(), 65535) << name;
    EXPECT_EQ(PixelBytes(*back), PixelBytes(tallest)) << name;
  }
}

TEST_F(ImageIo, UnknownExtensionIsRefused) {
  TempDir dir;
  std::string reason;
  EXPECT_FALSE(SaveImageFile(MakePicture(2, 2), dir / "ship.old", &reason));
  EXPECT_FALSE(reason.empty());
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

// Writes past `limit` bytes fail in this process, as on a full disk.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t limit) {
    getrlimit(RLIMIT_FSIZE, &saved_);
    previous_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit lowered = saved_;
    lowered.rlim_cur = limit;
    setrlimit(RLIMIT_FSIZE, &lowered);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &saved_);
    std::signal(SIGXFSZ, previous_);
  }

 private:
  rlimit saved_{};
  void (*previous_)(int) = nullptr;
};

TEST_F(ImageIo, FailedWriteLeavesTheOldFileAndNoLitter) {
  TempDir dir;
  const std::string path = dir / "ship.bmp";
  ASSERT_TRUE(SaveImageFile(MakePicture(4, 4), path));
  const auto old = FileBytes(path);
  std::string reason;
  {
    FileSizeLimit limit(4096);
    EXPECT_FALSE(SaveImageFile(MakePicture(200, 200, 3, 1), path, &reason));
  }
  EXPECT_NE(reason.find("ship.bmp"), std::string::npos) << reason;
  EXPECT_EQ(FileBytes(path), old);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);

  EXPECT_FALSE(SaveImageFile(MakePicture(4, 4), dir / "no/such/folder/ship.png", &reason));
  EXPECT_NE(reason.find("No such file"), std::string::npos) << reason;

  if (geteuid() != 0) {  // root writes anywhere
    std::filesystem::permissions(
        dir.path(), std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    EXPECT_FALSE(SaveImageFile(MakePicture(8, 8), path, &reason));
    std::filesystem::permissions(dir.path(), std::filesystem::perms::owner_all);
    EXPECT_EQ(FileBytes(path), old);
  }
}

TEST(Quoted, EscapesWhatWouldBreakTheLineOrDriveTheTerminal) {
  EXPECT_EQ(Quoted("a\nb\x1b[2J\\c\t\xc2\x9b\x7f é"), R"("a\nb\x1b[2J\\c\t\u009b\x7f é")");
}

TEST_F(ImageIo, SavingReplacesAnExistingFileWithTheUsualMode) {
  TempDir dir;
  const std::string path = dir / "ship.png";
  ASSERT_TRUE(SaveImageFile(MakePicture(3, 3), path));
  std::filesystem::permissions(path, std::filesystem::perms(0640));
  const Image second = MakePicture(5, 2, 3, 4);
  ASSERT_TRUE(SaveImageFile(second, path));
  EXPECT_EQ(PixelBytes(*ReadUpright(path)), PixelBytes(second));
  EXPECT_EQ(std::filesystem::status(path).permissions(), std::filesystem::perms(0640));
}

TEST_F(ImageIo, ConvertDepthChangesThePaletteWithTheDepth) {
  Image image = MakePicture(6, 5);
  const auto before = PixelBytes(image);
  EXPECT_FALSE(ConvertDepth(image, 3));
  EXPECT_EQ(PixelBytes(image), before);

  ASSERT_TRUE(ConvertDepth(image, 1));
  EXPECT_EQ(image.BytesPerPixel(), 1);
  EXPECT_EQ(image.ByteSize(), 30u);
  ASSERT_NE(image.GetPalette(), nullptr);

  ASSERT_TRUE(ConvertDepth(image, 3));
  EXPECT_EQ(image.BytesPerPixel(), 3);
  EXPECT_EQ(image.GetPalette(), nullptr);
}

TEST_F(ImageIo, MaskIsBlackExactlyWhereTheColourIs) {
  Image picture = MakePicture(5, 3);
  std::uint8_t* pixels = picture.Pixels();
  for (std::size_t i = 0; i < picture.ByteSize(); i += 3) {
    pixels[i] = 10, pixels[i + 1] = 20, pixels[i + 2] = 30;
  }
  pixels[3 * 4 + 2] = 31;  // pixel (4, 0): blue one unit off
  pixels[3 * 7 + 0] = 9;   // pixel (2, 1): red one unit off

  const auto mask = MakeMask(picture, 10, 20, 30);
  ASSERT_TRUE(mask);
  EXPECT_EQ(mask->Width(), 5);
  EXPECT_EQ(mask->Height(), 3);
  EXPECT_EQ(mask->BytesPerPixel(), 3);
  for (int i = 0; i < 15; ++i) {
    const std::uint8_t expected = (i == 4 || i == 7) ? 255 : 0;
    for (int c = 0; c < 3; ++c) EXPECT_EQ(mask->Pixels()[i * 3 + c], expected) << i;
  }
}

TEST_F(ImageIo, FlipRowsTurnsThePictureUpsideDown) {
  Image picture = MakePicture(3, 4);
  const auto before = PixelBytes(picture);
  ASSERT_TRUE(FlipRows(picture));
  for (int row = 0; row < 4; ++row) {
    EXPECT_TRUE(std::equal(before.begin() + row * 9, before.begin() + row * 9 + 9,
                           picture.Pixels() + (3 - row) * 9));
  }
}

}  // namespace
