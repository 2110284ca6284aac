#include "core/image.h"

#include <algorithm>

bool Palette::Set(const std::uint8_t* data) {
  entries_.assign(data, data + kBytes);
  return true;
}

bool Palette::CopyFrom(const Palette& other) {
  return Set(other.Entries());
}

#include <sys/mman.h>

#include <cstdlib>
#include <new>

void* AllocatePixelMemory(std::size_t size) {
  constexpr std::size_t kHugePage = std::size_t(2) << 20;
  if (size < 2 * kHugePage) return std::malloc(std::max<std::size_t>(size, 1));
  void* memory = std::aligned_alloc(kHugePage, (size + kHugePage - 1) / kHugePage * kHugePage);
  if (memory != nullptr) madvise(memory, size, MADV_HUGEPAGE);
  return memory;
}

// Not value-initialised: every byte is written right after.
Image::Block Image::NewBlock(std::size_t size, const std::uint8_t* data) {
  void* memory = AllocatePixelMemory(size);
  if (memory == nullptr) throw std::bad_alloc();
  Block block(static_cast<std::uint8_t*>(memory));
  if (data != nullptr) std::copy_n(data, size, block.get());
  return block;
}

void Image::FreeBlock::operator()(std::uint8_t* block) const {
  std::free(block);
}

// The new block is made before anything changes, so a failed allocation
// (std::bad_alloc) leaves the Image as it was.
void Image::ReplacePixels(const std::uint8_t* data) {
  pixels_ = NewBlock(ByteSize(), data);
}

void Image::Set(const std::string& name, const std::uint8_t* data, int width, int height,
                int bytesPerPixel) {
  auto block = NewBlock(std::size_t(width) * height * bytesPerPixel, data);
  width_ = width;
  height_ = height;
  name_ = name;
  bytesPerPixel_ = bytesPerPixel;
  pixels_ = std::move(block);
}

void Image::Set(const std::string& name, const std::uint8_t* data, int width, int height,
                int bytesPerPixel, const Palette& palette) {
  Set(name, data, width, height, bytesPerPixel);
  SetPalette(palette);
}

void Image::Allocate(const std::string& name, int width, int height, int bytesPerPixel) {
  Set(name, nullptr, width, height, bytesPerPixel);
}

void Image::SetPalette(const Palette& palette) {
  if (&palette == palette_.get()) return;
  if (!palette_) palette_ = std::make_unique<Palette>();
  palette_->CopyFrom(palette);
}

void Image::CopyFrom(const Image& other) {
  if (&other == this) return;
  if (other.bytesPerPixel_ == 1 && other.palette_) {
    Set(other.name_, other.Pixels(), other.width_, other.height_, 1, *other.palette_);
  } else {
    Set(other.name_, other.Pixels(), other.width_, other.height_, other.bytesPerPixel_);
  }
}

std::vector<std::uint8_t> Image::ReadPixel(int x, int y) const {
  const std::uint8_t* p = pixels_.get() + (std::size_t(y) * width_ + x) * bytesPerPixel_;
  return std::vector<std::uint8_t>(p, p + bytesPerPixel_);
}
