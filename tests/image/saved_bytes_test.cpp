// Every file the engine writes stays byte for byte what it was when these
// digests were taken: the hand-over to the library's writers may change how
// it works, never what lands in the file. (Run-length TGA files and 8-bit
// BMP files come from Gyrelle's own writers.)

#include <gtest/gtest.h>

#include <cinttypes>

#include "engine/strip_pipeline.h"
#include "test_support.h"

namespace {

using SavedBytes = LibraryTest;

std::uint64_t Fnv1a(const std::vector<std::uint8_t>& bytes) {
  std::uint64_t hash = 0xcbf29ce484222325ull;
  for (std::uint8_t byte : bytes) hash = (hash ^ byte) * 0x100000001b3ull;
  return hash;
}

TEST_F(SavedBytes, FilesAreUnchanged) {
  TempDir dir;
  auto ship = ReadUpright(GYRELLE_SAMPLES_DIR "/escort1.png");
  ASSERT_TRUE(ship);
  const auto strip = MakeStrip(*ship, {.frames = 8, .fill = TopLeftColor(*ship)});
  ASSERT_TRUE(strip);
  const Image odd = MakePicture(33, 7);
  const std::pair<const char*, const Image*> pictures[] = {{"strip", strip.get()}, {"odd", &odd}};
  // strip, then odd; png, tga, bmp, pcx; 24 then 8 bits; plain then compressed.
  const std::uint64_t expected[] = {
      0xfe03b876304f6548ull, 0xfe03b876304f6548ull, 0xbedd009672b42a3cull, 0xbedd009672b42a3cull,
      0x6908955f27e6b1afull, 0x454845e814089277ull, 0x6a484daa24dea47full, 0xdb293e1feb44d8b4ull,
      0x974757ff9d206780ull, 0x974757ff9d206780ull, 0x177339d68956e299ull, 0xabd5c5782d813288ull,
      0xfff9970153751d40ull, 0xfff9970153751d40ull, 0x17835a72e6172c24ull, 0x17835a72e6172c24ull,
      0x99aa3029fdecc5fcull, 0x99aa3029fdecc5fcull, 0x3190a9f0bb431045ull, 0x3190a9f0bb431045ull,
      0xfc076a60421ba9dbull, 0x8cfbfa8653503e98ull, 0xc34401d1f0da49a2ull, 0x782cb0b4765e93e0ull,
      0xc783ed1a65b17bcdull, 0xc783ed1a65b17bcdull, 0xade204dd4257375cull, 0x90c22ad91b80ab32ull,
      0x7773a8d7c1ab8ffcull, 0x7773a8d7c1ab8ffcull, 0x9446c32d2bf2fa3cull, 0x9446c32d2bf2fa3cull,
  };
  std::string digests;
  std::size_t next = 0;
  bool same = true;
  for (const auto& [name, picture] : pictures) {
    for (const char* format : {"png", "tga", "bmp", "pcx"}) {
      for (int depth : {3, 1}) {
        for (bool compressed : {false, true}) {
          const std::string path = dir / (std::string(name) + "." + format);
          const auto before = PixelBytes(*picture);
          ASSERT_TRUE(SaveImageFile(*picture, path, WriteOptions{depth, compressed}));
          EXPECT_EQ(PixelBytes(*picture), before);
          const std::uint64_t digest = Fnv1a(FileBytes(path));
          char text[40];
          std::snprintf(text, sizeof text, "      0x%016" PRIx64 "ull,\n", digest);
          digests += text;
          same = same && next < std::size(expected) && expected[next] == digest;
          ++next;
        }
      }
    }
  }
  EXPECT_TRUE(same) << "digests now:\n" << digests;
}

}  // namespace
