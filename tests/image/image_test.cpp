#include "core/image.h"

#include <gtest/gtest.h>

#include <array>

#include "test_support.h"

namespace {

std::array<std::uint8_t, Palette::kBytes> PaletteOf(std::uint8_t start) {
  std::array<std::uint8_t, Palette::kBytes> entries{};
  for (std::size_t i = 0; i < entries.size(); ++i) entries[i] = std::uint8_t(start + i);
  return entries;
}

TEST(Image, CopiesNeverShareStorage) {
  const auto entries = PaletteOf(0);
  Palette palette;
  palette.Set(entries.data());
  Image indexed;
  const std::uint8_t indices[] = {0, 1, 2, 3};
  indexed.Set("ship.pcx", indices, 2, 2, 1, palette);

  Image copy;
  copy.CopyFrom(indexed);
  ASSERT_NE(copy.GetPalette(), nullptr);
  EXPECT_NE(copy.GetPalette(), indexed.GetPalette());
  EXPECT_NE(copy.Pixels(), indexed.Pixels());
  EXPECT_EQ(copy.GetName(), "ship.pcx");

  const auto other = PaletteOf(7);
  indexed.SetPalette([&] {
    Palette p;
    p.Set(other.data());
    return p;
  }());
  indexed.Pixels()[0] = 9;
  EXPECT_TRUE(std::equal(entries.begin(), entries.end(), copy.GetPalette()->Entries()));
  EXPECT_EQ(copy.Pixels()[0], 0);
}

TEST(Image, CopyOfTrueColourKeepsTheOldPaletteAndTakesTheDepth) {
  const auto entries = PaletteOf(3);
  Palette palette;
  palette.Set(entries.data());
  Image image;
  const std::uint8_t index = 0;
  image.Set("", &index, 1, 1, 1, palette);

  image.CopyFrom(MakePicture(4, 2));
  EXPECT_EQ(image.BytesPerPixel(), 3);
  EXPECT_EQ(image.ByteSize(), 24u);
  ASSERT_NE(image.GetPalette(), nullptr);
  EXPECT_TRUE(std::equal(entries.begin(), entries.end(), image.GetPalette()->Entries()));
}

TEST(Image, SetReplacesTheBlockAndEmptyImagesStillCopy) {
  Image image = MakePicture(3, 3);
  const Image bigger = MakePicture(5, 4);
  image.Set("", bigger.Pixels(), 5, 4, 3);
  EXPECT_EQ(PixelBytes(image), PixelBytes(bigger));

  Image empty;
  empty.Set("none", nullptr, 0, 7, 3);
  EXPECT_EQ(empty.ByteSize(), 0u);
  Image copy;
  copy.CopyFrom(empty);
  EXPECT_EQ(copy.Width(), 0);
  EXPECT_EQ(copy.Height(), 7);
  EXPECT_EQ(copy.GetName(), "none");
}

TEST(Image, ReadPixelCopiesOnePixel) {
  const Image image = MakePicture(7, 3);
  EXPECT_EQ(image.ReadPixel(0, 0), std::vector<std::uint8_t>(image.Pixels(), image.Pixels() + 3));
  const std::uint8_t* last = image.Pixels() + (2 * 7 + 6) * 3;
  EXPECT_EQ(image.ReadPixel(6, 2), std::vector<std::uint8_t>(last, last + 3));
}

TEST(Palette, SetTwiceKeepsTheSecondData) {
  Palette palette;
  EXPECT_FALSE(palette.HasEntries());
  const auto first = PaletteOf(1);
  const auto second = PaletteOf(2);
  palette.Set(first.data());
  const std::uint8_t* block = palette.Entries();
  palette.Set(second.data());
  EXPECT_EQ(palette.Entries(), block);
  EXPECT_TRUE(std::equal(second.begin(), second.end(), palette.Entries()));
}

}  // namespace
