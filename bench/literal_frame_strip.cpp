#include "literal_frame_strip.h"

#include <IL/il.h>

#include <algorithm>
#include <new>
#include <vector>

#include "sheet/sheet_layout.h"
#include "turn/library_turn.h"

namespace {

bool HandOver(const Image& image) {
  return ilTexImage(ILuint(image.Width()), ILuint(image.Height()), 1,
                    ILubyte(image.BytesPerPixel()), image.BytesPerPixel() == 4 ? IL_RGBA : IL_RGB,
                    IL_UNSIGNED_BYTE, const_cast<std::uint8_t*>(image.Pixels()));
}

}  // namespace

bool FillImage(Image& image) try {
  ILuint id;
  ilGenImages(1, &id);
  ilBindImage(id);
  const bool filled = HandOver(image) && ilClearImage();
  if (filled) image.ReplacePixels(ilGetData());
  ilDeleteImages(1, &id);
  return filled;
} catch (const std::bad_alloc&) {
  return false;
}

bool PasteImage(Image& destination, const Image& source, int x, int y) try {
  // Clipped in 64 bits, so that no position overflows.
  const long long left = std::max(0LL, -(long long)x), top = std::max(0LL, -(long long)y);
  const long long w = std::min<long long>(source.Width(), (long long)destination.Width() - x) - left;
  const long long h =
      std::min<long long>(source.Height(), (long long)destination.Height() - y) - top;
  if (w <= 0 || h <= 0) return true;
  ILuint ids[2];
  ilGenImages(2, ids);
  ilBindImage(ids[1]);
  std::vector<std::uint8_t> block(std::size_t(w) * std::size_t(h) * 3);
  bool pasted = HandOver(source);
  if (pasted) {
    ilCopyPixels(ILuint(left), ILuint(top), 0, ILuint(w), ILuint(h), 1, IL_RGB, IL_UNSIGNED_BYTE,
                 block.data());
    ilBindImage(ids[0]);
    pasted = HandOver(destination);
  }
  if (pasted) {
    ilSetPixels(ILint(x + left), ILint(y + top), 0, ILuint(w), ILuint(h), 1, IL_RGB,
                IL_UNSIGNED_BYTE, block.data());
    destination.ReplacePixels(ilGetData());
  }
  ilDeleteImages(2, ids);
  return pasted;
} catch (const std::bad_alloc&) {
  return false;
}

std::unique_ptr<Image> LiteralFrameStrip(const Image& source, int frames) {
  const int width = source.Width();
  const int height = source.Height();
  auto strip = std::make_unique<Image>();
  strip->Allocate("", width, height * frames, source.BytesPerPixel());
  FillImage(*strip);
  Image turned;
  Image canvas;
  turned.CopyFrom(source);
  canvas.CopyFrom(source);
  float runningAngle = 0.0f;
  for (int k = 0; k < frames; ++k) {
    turned.CopyFrom(source);
    FillImage(canvas);
    RotateImage(turned, int(runningAngle), false);
    PasteImage(canvas, turned, canvas.Width() / 2 - turned.Width() / 2,
               canvas.Height() / 2 - turned.Height() / 2);
    PasteImage(*strip, canvas, 0, height * k);
    runningAngle = NextRunningAngle(runningAngle, frames);
  }
  return strip;
}
