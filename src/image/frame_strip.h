#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "image/color.h"
#include "image/image.h"
#include "image/progress.h"

// The frame strip: the picture turned through a full circle in N steps, the
// frames stacked top to bottom, the uncovered corners in the clear color.

// The library's clear color, which turning and FillImage leave in the gaps.
bool SetClearColor(std::uint8_t red, std::uint8_t green, std::uint8_t blue, std::uint8_t alpha);

bool FillImage(Image& image);

// Turns the image by `degrees` (negated unless keepSign); the image takes the
// turned picture's size. Refuses pictures narrower or shorter than 2 pixels.
bool RotateImage(Image& image, int degrees, bool keepSign, std::string* reason = nullptr);

// Copies the part of `source` that falls inside `destination`, the source's
// top-left corner at column x, row y. A source wholly outside changes nothing.
bool PasteImage(Image& destination, const Image& source, int x, int y);

// The running angle of the next frame: a single-precision sum of 360 / N
// steps. Frame k turns by its whole part, which is sometimes one degree less
// than that of k * 360 / N.
float NextRunningAngle(float angle, int frames);

// Checks that a strip of N frames of a width x height picture can be held;
// the reason says why not.
bool CheckStripSize(int width, int height, int frames, int bytesPerPixel,
                    std::string* reason = nullptr);

// The strip of `frames` frames of `source`, the uncovered corners in `fill`,
// or no image with a reason when it is too large or cannot be made. The
// source is only read. `progress` hears of each frame done.
std::unique_ptr<Image> BuildFrameStrip(const Image& source, int frames, const Rgb& fill,
                                       std::string* reason = nullptr,
                                       const ProgressHook& progress = {});
