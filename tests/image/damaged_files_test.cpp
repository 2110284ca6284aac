// Damaged pictures: the files the fuzzer found that hung or crashed the
// library, and hand-made damage of each kind the checks refuse.

#include <gtest/gtest.h>
#include <zlib.h>

#include <chrono>

#include "fuzz_input.h"
#include "io/decoder_process.h"
#include "io/picture_checks.h"
#include "test_support.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

class DamagedFiles : public LibraryTest {
 protected:
  TempDir dir;
};

// Every input that once hung, crashed or exhausted the decoder is now turned
// away before the library sees it, as damaged or as too large; those that
// only made the library lose memory are read. Through the helper, each ends
// at once.
TEST_F(DamagedFiles, FuzzFindingsEndAtOnce) {
  int count = 0;
  for (const auto& entry :
       std::filesystem::directory_iterator(GYRELLE_FUZZ_DIR "/regressions/decode")) {
    const std::string name = entry.path().filename().string();
    SCOPED_TRACE(name);
    const auto bytes = FileBytes(entry.path().string());
    ASSERT_FALSE(bytes.empty());
    const DecodeFuzzChoice choice = ChooseFormatAndDepth(bytes[0]);
    const std::string path = dir / (std::string("damaged.") + choice.extension);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data() + 1), std::streamsize(bytes.size() - 1));
    std::string reason;
    if (name.rfind("leak-", 0) != 0) {
      EXPECT_EQ(DecodeImageFile(path, choice.bytesPerPixel, &reason), nullptr);
      EXPECT_TRUE(reason.rfind(Quoted(path) + " is damaged: ", 0) == 0 ||
                  reason.find("; Gyrelle reads pictures up to ") != std::string::npos)
          << reason;
    }
    const auto start = Clock::now();
    if (!LoadImageFile(path, choice.bytesPerPixel, &reason)) {
      EXPECT_EQ(reason.rfind(Quoted(path), 0), 0u) << reason;
    }
    EXPECT_LT(Clock::now() - start, 2s);
    ++count;
  }
  EXPECT_GT(count, 0);
}

std::vector<std::uint8_t> Written(const Image& picture, const TempDir& dir, const char* name) {
  std::string reason;
  EXPECT_TRUE(SaveImageFile(picture, dir / name, &reason)) << reason;
  return FileBytes(dir / name);
}

std::string Problem(PictureFormat format, const std::vector<std::uint8_t>& bytes) {
  std::string problem;
  return CheckPictureBytes(format, bytes.data(), bytes.size(), problem) ? "" : problem;
}

void PutLittle16(std::vector<std::uint8_t>& bytes, std::size_t at, int value) {
  bytes[at] = std::uint8_t(value), bytes[at + 1] = std::uint8_t(value >> 8);
}

// Files the engine writes pass; cut short or with a size they cannot hold,
// they are refused with the reason.
TEST_F(DamagedFiles, ChecksPassSoundFilesAndNameTheDamage) {
  const Image picture = MakePicture(40, 30);
  const auto png = Written(picture, dir, "a.png");
  EXPECT_EQ(Problem(PictureFormat::kPng, png), "");
  EXPECT_EQ(Problem(PictureFormat::kPng, {png.begin(), png.end() - 5}),
            "is damaged: it ends in the middle of a chunk");
  auto huge = png;
  huge[16] = 0x7F;  // width far beyond what the compressed data can hold
  EXPECT_EQ(Problem(PictureFormat::kPng, huge),
            "is 2130706472 × 30 pixels; Gyrelle reads pictures up to 67108864 pixels (8192 × 8192)");

  const auto jpeg = Written(picture, dir, "a.jpg");
  EXPECT_EQ(Problem(PictureFormat::kJpeg, jpeg), "");
  EXPECT_EQ(Problem(PictureFormat::kJpeg, {jpeg.begin(), jpeg.end() - 2}),
            "is damaged: it ends before its end marker");
  EXPECT_EQ(Problem(PictureFormat::kJpeg, {jpeg.begin(), jpeg.begin() + 30}),
            "is damaged: it ends in the middle of a segment");

  auto targa = Written(picture, dir, "a.tga");
  EXPECT_EQ(Problem(PictureFormat::kTarga, targa), "");
  EXPECT_EQ(Problem(PictureFormat::kTarga, {targa.begin(), targa.begin() + 10}),
            "is damaged: it ends inside its header");
  PutLittle16(targa, 14, 60);  // twice the rows the file holds
  EXPECT_NE(Problem(PictureFormat::kTarga, targa).find("is damaged: it declares 40 x 60 pixels, more than its"),
            std::string::npos);

  auto bmp = Written(picture, dir, "a.bmp");
  EXPECT_EQ(Problem(PictureFormat::kBmp, bmp), "");
  bmp[25] = 0x40;  // a height of a billion rows
  EXPECT_NE(Problem(PictureFormat::kBmp, bmp).find("is 40 × 1073741854 pixels;"), std::string::npos);

  auto pcx = Written(picture, dir, "a.pcx");
  EXPECT_EQ(Problem(PictureFormat::kPcx, pcx), "");
  EXPECT_EQ(Problem(PictureFormat::kPcx, {pcx.begin(), pcx.begin() + 1000}),
            "is damaged: it ends before its last row");
  PutLittle16(pcx, 4, 50);  // left edge beyond the right one
  EXPECT_EQ(Problem(PictureFormat::kPcx, pcx), "is damaged: its corners are the wrong way round");
  PutLittle16(pcx, 4, 0);
  PutLittle16(pcx, 10, 60000);
  EXPECT_NE(Problem(PictureFormat::kPcx, pcx).find("40 x 60001 pixels"), std::string::npos);
}

// A cut-off PNG hangs the library inside libpng. The decoder refuses it at
// once; a decoder without the checks (the fake hands it straight to the
// library) is stopped at its time limit, and the caller told.
TEST_F(DamagedFiles, DecoderThatHangsIsStoppedAtTheLimit) {
  // The signature and header chunk, then a text chunk cut off short of the
  // 1000 bytes it declares.
  auto png = Written(MakePicture(40, 30), dir, "whole.png");
  png.resize(33);
  const std::string chunk = std::string("\0\0\x03\xE8tEXt", 8) + "Comment: cut short";
  png.insert(png.end(), chunk.begin(), chunk.end());
  const std::string path = dir / "cut.png";
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(png.data()), std::streamsize(png.size()));
  std::string reason;
  EXPECT_EQ(LoadImageFile(path, 3, &reason), nullptr);
  EXPECT_EQ(reason, Quoted(path) + " is damaged: it ends in the middle of a chunk");

  SetDecoderForTesting(GYRELLE_BIN_DIR "/fake-gyrelle-decode", 1s);
  const auto start = Clock::now();
  EXPECT_EQ(LoadImageFile(path, 3, &reason), nullptr);
  const auto took = Clock::now() - start;
  SetDecoderForTesting("", kDecodeTimeLimit);
  EXPECT_GE(took, 1s);
  EXPECT_LT(took, 2s);
  EXPECT_EQ(reason,
            Quoted(path) + " took too long to read (more than 1 second); the file may be damaged");
}

// A valid grey PNG of zeros at 1 bit a pixel: a few kilobytes however
// large it says it is.
void WriteZeroPng(const std::string& path, std::uint32_t width, std::uint32_t height) {
  std::vector<std::uint8_t> row(1 + (width + 7) / 8), packed(1 << 16);
  std::string idat;
  z_stream zip{};
  deflateInit(&zip, Z_BEST_SPEED);
  for (std::uint32_t y = 0; y <= height; ++y) {
    zip.next_in = row.data();
    zip.avail_in = y < height ? uInt(row.size()) : 0;
    do {
      zip.next_out = packed.data();
      zip.avail_out = uInt(packed.size());
      deflate(&zip, y < height ? Z_NO_FLUSH : Z_FINISH);
      idat.append(reinterpret_cast<char*>(packed.data()), packed.size() - zip.avail_out);
    } while (zip.avail_out == 0);
  }
  deflateEnd(&zip);
  const auto big = [](std::uint32_t v) {
    return std::string{char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
  };
  const auto chunk = [&](const std::string& type, const std::string& body) {
    const std::string both = type + body;
    return big(std::uint32_t(body.size())) + both +
           big(std::uint32_t(crc32(0, reinterpret_cast<const Bytef*>(both.data()), uInt(both.size()))));
  };
  std::ofstream(path, std::ios::binary)
      << "\x89PNG\r\n\x1A\n" << chunk("IHDR", big(width) + big(height) + std::string("\1\0\0\0\0", 5))
      << chunk("IDAT", idat) << chunk("IEND", "");
}

// Pictures past the budget are refused from their header, at once, and
// formats the Open dialog does not offer are not read at all: a 612-byte SGI
// file and a PPM header once drove the decoder to gigabytes and a crash.
TEST_F(DamagedFiles, HugePicturesAndOtherFormatsAreRefusedBeforeDecoding) {
  WriteZeroPng(dir / "huge.png", 20000, 20000);
  WriteZeroPng(dir / "large.png", 4000, 4000);
  std::string sgi("\x01\xDA\x00\x01\x00\x03\xFF\xFF\xFF\xFF\x00\x04", 12);
  sgi.resize(612);
  std::ofstream(dir / "tiny.sgi", std::ios::binary) << sgi;
  std::ofstream(dir / "header.ppm", std::ios::binary) << "P6\n40000 40000\n255\n";

  std::string reason;
  EXPECT_EQ(LoadImageFile(dir / "huge.png", 3, &reason), nullptr);
  EXPECT_EQ(reason, Quoted(dir / "huge.png") +
                        " is 20000 × 20000 pixels; Gyrelle reads pictures up to 67108864 pixels "
                        "(8192 × 8192)");
  for (const char* name : {"tiny.sgi", "header.ppm"}) {
    EXPECT_EQ(LoadImageFile(dir / name, 3, &reason), nullptr);
    EXPECT_EQ(reason, Quoted(dir / name) +
                          " is not a PNG, JPEG, TGA, BMP or PCX file, the kinds of picture "
                          "Gyrelle reads");
  }
  // Within the budget, and packed far tighter than 8 bits a pixel, is read.
  const auto large = LoadImageFile(dir / "large.png", 3, &reason);
  ASSERT_TRUE(large) << reason;
  EXPECT_EQ(large->Width(), 4000);
  // The budget's edge: a header of 8192 x 8192 passes, a row more does not.
  for (int height : {8192, 8193}) {
    WriteZeroPng(dir / "edge.png", 8192, height);
    const auto bytes = FileBytes(dir / "edge.png");
    EXPECT_EQ(CheckPictureBytes(PictureFormat::kPng, bytes.data(), bytes.size(), reason),
              height == 8192);
  }
}

}  // namespace
