#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

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

