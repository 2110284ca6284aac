#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/color.h"
#include "core/image.h"
#include "turn/turn_frame.h"

// The image library's turn, with the turns it gets wrong made here.

// Turns the image by `degrees` (negated unless keepSign); the image takes the
// turned picture's size. Refuses pictures narrower or shorter than 2 pixels.
bool RotateImage(Image& image, int degrees, bool keepSign, std::string* reason = nullptr);

// The library's turn, with the turns it gets wrong made here. The library
// paints what it uncovers in its clear color, set here from the fill.
bool LibraryTurnFrame(const Image& picture, int degrees, const FrameCanvas& canvas,
                      std::string* reason);

// The same for every frame of one picture: the picture turned by half,
// where half of all turns start, is made once, when first needed. The
// picture outlives the turner.
class LibraryTurner {
 public:
  explicit LibraryTurner(const Image& picture) : picture_(picture) {}
  bool Turn(int degrees, const FrameCanvas& canvas, std::string* reason);

 private:
  const Image& picture_;
  std::vector<std::uint8_t> halfTurned_;
};

