#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Largest pixel block one library image may hold: the library keeps sizes in
// 32-bit unsigned integers.
constexpr std::uint64_t kMaxLibraryImageBytes = 0xFFFFFFFFull;

// Largest picture read, in pixels (8192 x 8192): the decoder takes a few
// seconds over it, well inside its time limit, and its memory stays within
// the decoder's address-space limit however the file stores it.
constexpr std::uint64_t kMaxPicturePixels = std::uint64_t(1) << 26;
// A picture within that size is held at up to 4 bytes a pixel.
static_assert(kMaxPicturePixels * 4 <= kMaxLibraryImageBytes);

// Memory for pixels, freed with std::free; null when there is none. Blocks of
// several megabytes are aligned for huge pages and ask the kernel for them:
// a sheet of hundreds of megabytes then costs a few hundred page faults
// rather than a hundred thousand. Not initialised.
void* AllocatePixelMemory(std::size_t size);

// True for the depths an Image can have: 1, 3 or 4 bytes per pixel.
inline bool ValidDepth(int bytesPerPixel) {
  return bytesPerPixel == 1 || bytesPerPixel == 3 || bytesPerPixel == 4;
}

// 256 red-green-blue entries. Empty until first set.
class Palette {
 public:
  static constexpr std::size_t kEntries = 256;
  static constexpr std::size_t kBytes = kEntries * 3;

  // Copies kBytes bytes from data; an existing block is reused.
  bool Set(const std::uint8_t* data);
  bool CopyFrom(const Palette& other);

  bool HasEntries() const { return !entries_.empty(); }
  const std::uint8_t* Entries() const { return entries_.data(); }

 private:
  std::vector<std::uint8_t> entries_;
};

// The program's one raster type: width x height pixels of bytesPerPixel
// bytes (3: red, green, blue; 4: with alpha; 1: palette index), rows top
// first with no gap between them. Images never share storage.
class Image {
 public:
  Image() = default;
  Image(const Image&) = delete;
  Image& operator=(const Image&) = delete;
  Image(Image&&) = default;
  Image& operator=(Image&&) = default;

  // Allocation failure throws std::bad_alloc; callers that can meet a huge
  // size catch it and report.
  void ReplacePixels(const std::uint8_t* data);
  void Set(const std::string& name, const std::uint8_t* data, int width, int height,
           int bytesPerPixel);
  void Set(const std::string& name, const std::uint8_t* data, int width, int height,
           int bytesPerPixel, const Palette& palette);
  // Like Set, but leaves the new pixels unwritten: for callers that fill
  // every byte themselves right after.
  void Allocate(const std::string& name, int width, int height, int bytesPerPixel);
  void SetPalette(const Palette& palette);
  void DropPalette() { palette_.reset(); }
  void CopyFrom(const Image& other);

  std::string GetName() const { return name_; }
  // A copy of pixel (x, y); the caller keeps 0 <= x < width, 0 <= y < height.
  std::vector<std::uint8_t> ReadPixel(int x, int y) const;

  int Width() const { return width_; }
  int Height() const { return height_; }
  int BytesPerPixel() const { return bytesPerPixel_; }
  std::size_t RowBytes() const { return std::size_t(width_) * bytesPerPixel_; }
  std::size_t ByteSize() const { return RowBytes() * std::size_t(height_); }
  bool HasPixels() const { return pixels_ != nullptr; }
  std::uint8_t* Pixels() { return pixels_.get(); }
  const std::uint8_t* Pixels() const { return pixels_.get(); }
  const Palette* GetPalette() const { return palette_.get(); }

 private:
  int width_ = 0;
  int height_ = 0;
  std::string name_;
  struct FreeBlock {
    void operator()(std::uint8_t* block) const;
  };
  using Block = std::unique_ptr<std::uint8_t[], FreeBlock>;
  static Block NewBlock(std::size_t size, const std::uint8_t* data);

  Block pixels_;
  int bytesPerPixel_ = 3;
  std::unique_ptr<Palette> palette_;
};
