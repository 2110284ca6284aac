#pragma once

#include <cstdint>

// How a decode fuzz input's first byte picks the file's format and the
// depth it is read at; the seed maker writes that byte the same way.
struct DecodeFuzzChoice {
  const char* extension;
  int bytesPerPixel;
};

constexpr const char* kFuzzExtensions[] = {"png", "jpg", "tga", "bmp", "pcx"};
constexpr int kFuzzDepths[] = {3, 1, 4};

inline DecodeFuzzChoice ChooseFormatAndDepth(std::uint8_t first) {
  return {kFuzzExtensions[first % 5], kFuzzDepths[(first / 5) % 3]};
}

inline std::uint8_t FirstByteFor(int format, int depthIndex) {
  return std::uint8_t(depthIndex * 5 + format);
}
