#pragma once

#include <memory>

#include "core/image.h"

// The frame strip made step by step through the library, every frame pasted
// into the whole strip: the baseline the engine's strip must match byte for
// byte, at a cost that grows with the square of the frame count.
std::unique_ptr<Image> LiteralFrameStrip(const Image& source, int frames);
