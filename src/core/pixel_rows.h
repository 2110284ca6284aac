#pragma once

#include <cstdint>

// Pixel rows as our own writers take them: top row first, no gap between
// rows; 4 bytes a pixel red, green, blue, alpha; 3 bytes red, green, blue; or
// 1 byte, an index into `palette`, 256 red-green-blue entries.
struct PixelRows {
  int width = 0;
  int height = 0;
  int bytesPerPixel = 3;
  const std::uint8_t* pixels = nullptr;
  const std::uint8_t* palette = nullptr;
};
