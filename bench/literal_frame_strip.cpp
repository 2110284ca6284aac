#include "literal_frame_strip.h"

#include "sheet/sheet_layout.h"
#include "turn/library_turn.h"

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
