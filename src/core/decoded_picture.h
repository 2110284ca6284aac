#pragma once

#include <cstdint>

#include "core/image.h"

// A decoded picture while the library holds it: rows bottom first, and for
// depth 1 its palette.
struct DecodedPicture {
  const std::uint8_t* pixels;
  int width;
  int height;
  int bytesPerPixel;
  const Palette* palette;
};
