#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
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

// One frame's place in the sheet: `height` rows of `width` pixels, each row
// `stride` bytes after the one before.
struct FrameCanvas {
  std::uint8_t* pixels = nullptr;
  int width = 0;
  int height = 0;
  std::size_t stride = 0;
  int bytesPerPixel = 3;
  const std::uint8_t* fillRow = nullptr;  // `width` pixels of the fill
};

// A way of turning a picture into a frame: draws `picture` turned by
// `degrees` (0 to 359) centred on `canvas`, at the canvas's halves rounded
// down less the turned picture's, cropped to it, and every pixel it does not
// reach in the fill. False with a reason.
using TurnFrame = std::function<bool(const Image& picture, int degrees, const FrameCanvas& canvas,
                                     std::string* reason)>;

// The library's turn, with the turns it gets wrong made here. The library
// paints what it uncovers in its clear color, set here from the fill.
bool LibraryTurnFrame(const Image& picture, int degrees, const FrameCanvas& canvas,
                      std::string* reason);

struct SheetPlan;
class WorkerPool;

// The sheet of `picture` (3 or 4 bytes per pixel) laid out as `plan` says:
// frame k turned by the plan's angle k, the gaps, and with 4 bytes every
// pixel nothing reaches, in `fill` with alpha 0. The plan must be one
// PlanSheet made for this picture. No image with a reason when it cannot be
// made. With a pool the frames are made on its threads, and `turn` must be
// safe on any of them: the library's is not.
std::unique_ptr<Image> BuildSheet(const Image& picture, const SheetPlan& plan, const Rgb& fill,
                                  const TurnFrame& turn = LibraryTurnFrame,
                                  std::string* reason = nullptr, WorkerPool* pool = nullptr,
                                  const ProgressHook& progress = {});

// The classic strip: `frames` frames of `source` stacked top to bottom, the
// uncovered corners in `fill`, or no image with a reason when it is too
// large or cannot be made. The source is only read.
std::unique_ptr<Image> BuildFrameStrip(const Image& source, int frames, const Rgb& fill,
                                       std::string* reason = nullptr);
