#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/image.h"
#include "io/image_io.h"

// Tests that talk to the image library start it once per suite.
class LibraryTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { InitImageLibrary(); }
};

// A folder of its own for each test, removed afterwards.
class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "gyrelle-test-XXXXXX").string();
    path_ = mkdtemp(pattern.data());
  }
  ~TempDir() { std::filesystem::remove_all(path_); }
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// A width x height picture whose pixels all differ from their neighbours.
inline Image MakePicture(int width, int height, int bytesPerPixel = 3, int seed = 0) {
  std::vector<std::uint8_t> pixels(std::size_t(width) * height * bytesPerPixel);
  for (std::size_t i = 0; i < pixels.size(); ++i) {
    pixels[i] = std::uint8_t((i * 37 + i / 3 * 11 + std::size_t(seed) * 101) % 251);
  }
  Image image;
  image.Set("", pixels.data(), width, height, bytesPerPixel);
  return image;
}

inline std::vector<std::uint8_t> PixelBytes(const Image& image) {
  return std::vector<std::uint8_t>(image.Pixels(), image.Pixels() + image.ByteSize());
}

inline std::vector<std::uint8_t> FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// Reads a picture the way Open does: 3 bytes per pixel, then upright.
inline std::unique_ptr<Image> ReadUpright(const std::string& path, std::string* reason = nullptr) {
  auto image = LoadImageFile(path, 3, reason);
  if (image) FlipRows(*image);
  return image;
}
