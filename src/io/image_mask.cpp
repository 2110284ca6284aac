// The black-and-white mask of a strip and where it is written.

#include <algorithm>
#include <array>
#include <new>

#include "io/image_io.h"

std::string MaskPath(const std::string& path) {
  return path.substr(0, path.rfind('.')) + "-mask.BMP";
}

std::unique_ptr<Image> MakeMask(const Image& image, std::uint8_t red, std::uint8_t green,
                                std::uint8_t blue) {
  auto mask = std::make_unique<Image>();
  // With alpha, the gaps are where nothing shows, whatever their colour.
  if (image.BytesPerPixel() == 4) {
    try {
      mask->Allocate("", image.Width(), image.Height(), 3);
    } catch (const std::bad_alloc&) {
      return nullptr;
    }
    const std::uint8_t* alpha = image.Pixels() + 3;
    std::uint8_t* out = mask->Pixels();
    for (std::uint8_t* const end = out + mask->ByteSize(); out != end; out += 3, alpha += 4) {
      std::fill_n(out, 3, *alpha == 0 ? 0 : 255);
    }
    return mask;
  }
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
