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

// The library's clear color, which turning and FillImage leave in the gaps.
bool SetClearColor(std::uint8_t red, std::uint8_t green, std::uint8_t blue, std::uint8_t alpha);

bool FillImage(Image& image);

// Turns the image by `degrees` (negated unless keepSign); the image takes the
// turned picture's size. Refuses pictures narrower or shorter than 2 pixels.
bool RotateImage(Image& image, int degrees, bool keepSign, std::string* reason = nullptr);

// Copies the part of `source` that falls inside `destination`, the source's
// top-left corner at column x, row y. A source wholly outside changes nothing.
bool PasteImage(Image& destination, const Image& source, int x, int y);

// The library's turn, with the turns it gets wrong made here. The library
// paints what it uncovers in its clear color, set here from the fill.
bool LibraryTurnFrame(const Image& picture, int degrees, const FrameCanvas& canvas,
                      std::string* reason);

