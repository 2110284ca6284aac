#include "io/image_io.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>

#include "engine/strip_pipeline.h"

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
      for (bool compressed : {true, false}) {
        SCOPED_TRACE(std::string(format) + " depth " + std::to_string(depth));
        const std::string first = dir / (std::string("a.") + format);
        const std::string second = dir / (std::string("b.") + format);
        ASSERT_TRUE(SaveImageFile(picture, first, WriteOptions{depth, compressed}));
        ASSERT_TRUE(SaveImageFile(picture, second, WriteOptions{depth, compressed}));
        EXPECT_EQ(FileBytes(first), FileBytes(second));
      }
    }
  }
  const auto targa = FileBytes(dir / "a.tga");
  EXPECT_EQ(std::vector<std::uint8_t>(targa.begin() + 8, targa.begin() + 12),
            std::vector<std::uint8_t>(4, 0));
  ASSERT_TRUE(SaveImageFile(*mask, dir / "a-mask.BMP", 1));
  ASSERT_TRUE(SaveImageFile(*mask, dir / "b-mask.BMP", 1));
  EXPECT_EQ(FileBytes(dir / "a-mask.BMP"), FileBytes(dir / "b-mask.BMP"));
}

// Rows that meet every packet boundary: one colour throughout; runs of 1,
// 128, 129 and 2 between single pixels; no two neighbours alike; pairs and
// threes. A palette of 13 colours, so an 8-bit save keeps every pixel.
Image RunsPicture(int width, int height) {
  Image image = MakePicture(width, height);
  std::uint8_t* pixel = image.Pixels();
  for (int y = 0; y < height; ++y) {
    int colour = 0, left = 1;
    const int runs[] = {1, 128, 129, 2};
    for (int x = 0, run = 0; x < width; ++x, pixel += 3) {
      if (--left == 0) {
        colour = (colour + 1) % 12;
        left = y % 4 == 1 ? runs[run++ % 4] : y % 4 == 2 ? 1 : 2 + x % 2;
      }
      const int value = y % 4 == 0 ? 12 : colour;
      pixel[0] = std::uint8_t(value * 20), pixel[1] = std::uint8_t(255 - value * 20);
      pixel[2] = std::uint8_t(value * 7);
    }
  }
  return image;
}

// ImageMagick's reading of `path`, turned upright as the file's origin says,
// as RGB bytes top row first; empty when ImageMagick is not installed.
std::vector<std::uint8_t> ReadByImageMagick(const std::string& path, const std::string& out) {
  if (std::string(GYRELLE_CONVERT).empty()) return {};
  EXPECT_EQ(std::system((std::string(GYRELLE_CONVERT) + " '" + path + "' -auto-orient -depth 8 rgb:'" + out + "'").c_str()), 0);
  return FileBytes(out);
}

// What ImageMagick writes for CMYK: the library would decode it wrong.
TEST_F(ImageIo, YcckJpegsAreRefusedWithTheReason) {
  if (std::string(GYRELLE_CONVERT).empty()) GTEST_SKIP() << "ImageMagick is not installed";
  TempDir dir;
  ASSERT_EQ(std::system((std::string(GYRELLE_CONVERT) + " -size 16x16 xc:orange -colorspace CMYK '" +
                         dir / "c.jpg" + "'").c_str()), 0);
  std::string reason;
  EXPECT_EQ(LoadImageFile(dir / "c.jpg", 3, &reason), nullptr);
  EXPECT_NE(reason.find("YCCK"), std::string::npos) << reason;
}

TEST_F(ImageIo, CompressedSavesKeepEveryPixelInTheirRunLengthForm) {
  TempDir dir;
  for (auto [width, height] : {std::pair{261, 8}, {1, 3}, {3, 5}, {130, 4}}) {
    const Image picture = RunsPicture(width, height);
    for (const char* format : kLosslessFormats) {
      for (int depth : {3, 1}) {
        SCOPED_TRACE(std::string(format) + " " + std::to_string(width) + " wide, depth " +
                     std::to_string(depth));
        const std::string path = dir / (std::string("runs.") + format);
        std::string reason;
        ASSERT_TRUE(SaveImageFile(picture, path, WriteOptions{depth, true}, &reason)) << reason;
        const auto back = ReadUpright(path, &reason);
        ASSERT_TRUE(back) << reason;
        EXPECT_EQ(PixelBytes(*back), PixelBytes(picture));
        const auto bytes = FileBytes(path);
        if (std::string(format) == "tga") {
          EXPECT_EQ(bytes.at(2), depth == 1 ? 9 : 10);
        } else if (std::string(format) == "bmp") {
          EXPECT_EQ(bytes.at(30), depth == 1 ? 1 : 0);  // 24 bits: no run-length form
          if (depth == 1) {  // ends with the end-of-bitmap code
            EXPECT_EQ(std::vector<std::uint8_t>(bytes.end() - 2, bytes.end()),
                      (std::vector<std::uint8_t>{0, 1}));
          }
        }
        const auto seen = std::string(format) == "tga" || std::string(format) == "bmp"
                              ? ReadByImageMagick(path, dir / "seen.rgb")
                              : std::vector<std::uint8_t>{};
        if (!seen.empty()) {
          EXPECT_EQ(seen, PixelBytes(picture));
        }
      }
    }
  }
}

// Run-length files of the sample strips are smaller than plain ones.
TEST_F(ImageIo, CompressedSampleStripsAreSmaller) {
  TempDir dir;
  for (const char* sample : {"escort1.png", "aimFighter1.png", "cloakShip1.png"}) {
    const auto ship = ReadUpright(std::string(GYRELLE_SAMPLES_DIR "/") + sample);
    ASSERT_TRUE(ship);
    const auto strip = MakeStrip(*ship, {.frames = 8, .fill = TopLeftColor(*ship)});
    ASSERT_TRUE(strip);
    for (auto [format, depth] : {std::pair{"tga", 3}, {"tga", 1}, {"bmp", 1}}) {
      SCOPED_TRACE(std::string(sample) + " " + format + " depth " + std::to_string(depth));
      const std::string plain = dir / (std::string("plain.") + format);
      const std::string packed = dir / (std::string("packed.") + format);
      ASSERT_TRUE(SaveImageFile(*strip, plain, WriteOptions{depth, false}));
      ASSERT_TRUE(SaveImageFile(*strip, packed, WriteOptions{depth, true}));
      EXPECT_LT(FileBytes(packed).size(), FileBytes(plain).size());
      EXPECT_EQ(PixelBytes(*ReadUpright(packed)), PixelBytes(*ReadUpright(plain)));
    }
  }
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

// BMP files with the longer headers of versions 4 and 5 read as the same
// picture with the 40-byte header; a layout the library would misread is
// refused with the reason.
TEST_F(ImageIo, VersionFiveBmpReadsLikeVersionThree) {
  TempDir dir;
  const Image picture = MakePicture(7, 5);
  for (int depth : {3, 1}) {
    SCOPED_TRACE(depth);
    ASSERT_TRUE(SaveImageFile(picture, dir / "v3.bmp", depth));
    auto bytes = FileBytes(dir / "v3.bmp");
    ASSERT_EQ(bytes[14], 40);
    // The 84 bytes version 5 adds, all zero, between header and palette.
    bytes.insert(bytes.begin() + 54, 84, 0);
    bytes[14] = 124;
    bytes[2] += 84, bytes[10] += 84;  // file size and pixel offset, both below 172
    std::ofstream(dir / "v5.bmp", std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    std::string reason;
    const auto v5 = ReadUpright(dir / "v5.bmp", &reason);
    ASSERT_TRUE(v5) << reason;
    EXPECT_EQ(PixelBytes(*v5), PixelBytes(*ReadUpright(dir / "v3.bmp")));

    bytes[30] = 3;                     // bit fields,
    bytes[54] = bytes[58] = bytes[62] = 1;  // with masks no writer uses
    std::ofstream(dir / "odd.bmp", std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    EXPECT_EQ(LoadImageFile(dir / "odd.bmp", 3, &reason), nullptr);
    EXPECT_NE(reason.find("is a BMP file DevIL cannot read: its colour masks 1, 1 and 1"),
              std::string::npos)
        << reason;
  }
}

// Each format's limits, checked before anything is handed to the library:
// past them its writers wrap the size, or crash.
TEST_F(ImageIo, SizeLimitsPerFormat) {
  struct Case {
    const char* name;
    int width, height, bytesPerPixel;
    const char* refusal;  // nullptr: written
  };
  const Case cases[] = {
      {"a.png", 1000000, 2, 3, nullptr},
      {"a.png", 2, 1000001, 3, "PNG files hold at most 1000000 x 1000000 pixels"},
      {"a.png", 1000001, 2, 1, "PNG files hold at most 1000000 x 1000000 pixels"},
      {"a.tga", 65535, 65535, 1, nullptr},
      {"a.TGA", 2, 65536, 3, "TGA files hold at most 65535 x 65535 pixels"},
      {"a.pcx", 65534, 2, 3, nullptr},
      {"a.pcx", 2, 65535, 3, nullptr},
      {"a.pcx", 65535, 2, 3, "PCX files hold at most 65534 x 65535 pixels"},
      {"a.pcx", 2, 65536, 1, "PCX files hold at most 65534 x 65535 pixels"},
      {"a.bmp", 2, 1000001, 1, nullptr},
      {"a.bmp", 40000, 100000, 1, nullptr},
      {"a.bmp", 2, 1500000000, 1, "BMP files hold at most 4 GiB"},
      {"a.bmp", 40000, 40000, 3, "too large for DevIL to write"},
  };
  for (const Case& c : cases) {
    const std::string problem = SaveSizeProblem(c.name, c.width, c.height, c.bytesPerPixel);
    SCOPED_TRACE(std::string(c.name) + " " + std::to_string(c.width) + " x " +
                 std::to_string(c.height) + ": " + problem);
    if (c.refusal == nullptr) {
      EXPECT_EQ(problem, "");
    } else {
      EXPECT_NE(problem.find(c.refusal), std::string::npos);
      EXPECT_EQ(problem.find(c.name), 1u);  // after the opening quote
    }
  }
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
    EXPECT_FALSE(
        SaveImageFile(MakePicture(200, 200, 3, 1), dir / "ship.tga", WriteOptions{0, true}));
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

// Quantising a picture of 4096 colours to 256 moved a magenta fill to a
// neighbour, or gave its entry to neighbours: the file then disagreed with
// the mask. The fill keeps an entry of its own, holding it exactly.
TEST_F(ImageIo, EightBitSavesKeepTheFillExactAsTheMaskHasIt) {
  TempDir dir;
  Image picture = MakePicture(64, 64);
  for (int i = 0; i < 64 * 64; ++i) {
    picture.Pixels()[i * 3] = std::uint8_t(i % 16 * 17);
    picture.Pixels()[i * 3 + 1] = std::uint8_t(i / 16 % 16 * 17);
    picture.Pixels()[i * 3 + 2] = std::uint8_t(i / 256 * 17);
  }
  for (const Rgb fill : {Rgb{255, 0, 255}, Rgb{0, 0, 0}, Rgb{1, 2, 3}}) {
    const auto strip = MakeStrip(picture, {.frames = 3, .fill = fill});
    ASSERT_TRUE(strip);
    for (const char* name : {"strip.png", "strip.tga", "strip.bmp"}) {
      SCOPED_TRACE(std::string(name) + " fill " + std::to_string(fill.red));
      const std::string path = dir / name;
      ASSERT_TRUE(SaveStrip(*strip, path, {.eightBit = true, .compressed = true, .mask = true},
                            fill)
                      .empty());
      const auto saved = ReadUpright(path);
      const auto mask = ReadUpright(MaskPath(path));
      ASSERT_TRUE(saved && mask);
      const auto expected = MakeMask(*saved, fill.red, fill.green, fill.blue);
      EXPECT_EQ(PixelBytes(*mask), PixelBytes(*expected));
      EXPECT_EQ(PixelBytes(*MakeMask(*strip, fill.red, fill.green, fill.blue)),
                PixelBytes(*expected));
    }
  }
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
