// The library's own turn and the colour it leaves in the gaps.

#include "devil/library.h"
#include "devil/library_image.h"

bool SetClearColor(std::uint8_t red, std::uint8_t green, std::uint8_t blue, std::uint8_t alpha) {
  // The single-precision number nearest 1/255: every byte v comes back as v
  // when the library multiplies by 255 and truncates.
  constexpr float kByteToUnit = 0.003921569f;
  const auto unit = [](std::uint8_t v) { return float(double(v) * double(kByteToUnit)); };
  ilClearColour(unit(red), unit(green), unit(blue), unit(alpha));
  return true;
}

namespace {

bool RotateBound(bool made, float degrees, const std::function<void(const LibraryPixels&)>& use) {
  if (!made || !iluRotate(degrees)) return false;
  use({ilGetData(), ilGetInteger(IL_IMAGE_WIDTH), ilGetInteger(IL_IMAGE_HEIGHT)});
  return true;
}

}  // namespace

bool LibraryRotate(const Image& picture, float degrees,
                   const std::function<void(const LibraryPixels&)>& use) {
  LibraryImage library;
  return RotateBound(MakeLibraryImage(picture), degrees, use);
}

bool LibraryRotate(const std::uint8_t* pixels, int width, int height, int bytesPerPixel,
                   float degrees, const std::function<void(const LibraryPixels&)>& use) {
  LibraryImage library;
  const bool made =
      ilTexImage(ILuint(width), ILuint(height), 1, ILubyte(bytesPerPixel),
                 LibraryFormat(bytesPerPixel), IL_UNSIGNED_BYTE, const_cast<std::uint8_t*>(pixels));
  return RotateBound(made, degrees, use);
}
