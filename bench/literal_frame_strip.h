#pragma once

#include <memory>

#include "core/image.h"

// The frame strip made step by step through the library, every frame pasted
// into the whole strip: the baseline the engine's strip must match byte for
// byte, at a cost that grows with the square of the frame count.
std::unique_ptr<Image> LiteralFrameStrip(const Image& source, int frames);

// The library's steps it takes, as plain calls for it and the tests.

// Every pixel in the library's clear colour (devil/library.h sets it).
bool FillImage(Image& image);

// Copies the part of `source` (3 bytes a pixel) that falls inside
// `destination`, the source's top-left corner at column x, row y. A source
// wholly outside changes nothing.
bool PasteImage(Image& destination, const Image& source, int x, int y);
