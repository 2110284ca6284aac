// Gyrelle's own PNG writer: files the library reads back pixel for pixel,
// at every compression, with bands cut where each row's filter looks back
// into the band before.

#include <gtest/gtest.h>

#include <cstdio>

#include "io/image_io.h"
#include "io/png_writer.h"
#include "test_support.h"

namespace {

using PngWriter = LibraryTest;

TEST_F(PngWriter, BandedFilesReadBackAtEveryCompression) {
  TempDir dir;
  const std::string path = dir / "banded.png";
  std::vector<std::uint8_t> palette(256 * 3);
  for (std::size_t i = 0; i < palette.size(); ++i) palette[i] = std::uint8_t(i * 7);
  // Odd widths; bands of a few rows, and bands long enough for several
  // blocks, of noise and of long runs.
  for (const auto& [width, height, rowsPerBand, runs] :
       {std::tuple{7, 23, 3, false}, {301, 257, 101, false}, {301, 257, 101, true}}) {
    for (int bpp : {1, 3, 4}) {
      Image picture = MakePicture(width, height, bpp, width);
      for (std::size_t i = 0; runs && i < picture.ByteSize(); ++i) {
        picture.Pixels()[i] = std::uint8_t(i / 997 % 5);
      }
      for (PngCompression compression :
           {PngCompression::kFast, PngCompression::kDefault, PngCompression::kSmall}) {
        SCOPED_TRACE(std::string(PngCompressionName(compression)) + " at " + std::to_string(bpp) +
                     " bytes, " + std::to_string(width) + " wide");
        std::FILE* file = std::fopen(path.c_str(), "wb");
        ASSERT_NE(file, nullptr);
        std::string why;
        const PixelRows rows{width, height, bpp, picture.Pixels(), palette.data()};
        EXPECT_TRUE(WritePng(rows, file, {compression, 2, rowsPerBand}, why)) << why;
        std::fclose(file);
        const auto back = LoadImageFile(path, bpp == 1 ? 3 : bpp);
        ASSERT_TRUE(back);
        FlipRows(*back);
        std::vector<std::uint8_t> expected = PixelBytes(picture);
        if (bpp == 1) {
          expected.clear();
          for (std::uint8_t index : PixelBytes(picture)) {
            expected.insert(expected.end(), &palette[index * 3u], &palette[index * 3u] + 3);
          }
        }
        EXPECT_EQ(PixelBytes(*back), expected);
      }
    }
  }
}

TEST_F(PngWriter, CompressionNamesGoBothWays) {
  for (PngCompression compression :
       {PngCompression::kFast, PngCompression::kDefault, PngCompression::kSmall}) {
    EXPECT_EQ(PngCompressionNamed(PngCompressionName(compression)), compression);
  }
  EXPECT_FALSE(PngCompressionNamed("best"));
}

}  // namespace
