// The black-and-white mask of a strip and where it is written.

#include <algorithm>
#include <array>
#include <new>

#include "image/image_io.h"

std::string MaskPath(const std::string& path) {
  return path.substr(0, path.rfind('.')) + "-mask.BMP";
}

std::unique_ptr<Image> MakeMask(const Image& image, std::uint8_t red, std::uint8_t green,
                                std::uint8_t blue) {
  auto mask = std::make_unique<Image>();
  try {
    mask->CopyFrom(image);
    ConvertDepth(*mask, 3);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  const std::array<std::uint8_t, 3> fill{red, green, blue};
  std::uint8_t* pixel = mask->Pixels();
  std::uint8_t* const end = pixel + mask->ByteSize();
  for (; pixel != end; pixel += 3) {
    const std::uint8_t value = std::equal(fill.begin(), fill.end(), pixel) ? 0 : 255;
    std::fill_n(pixel, 3, value);
  }
  return mask;
}
