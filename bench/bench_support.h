#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/image.h"

// A picture read at `bytesPerPixel`, rows top first; the bench ends with the
// reason when it cannot be read.
std::unique_ptr<Image> ReadOrExit(const std::string& path, int bytesPerPixel);

// The pixels of `image` in the rectangle at x, y of width x height, row
// after row: one frame of a sheet, to set against another.
std::vector<std::uint8_t> PixelsIn(const Image& image, int x, int y, int width, int height);

// A sample ship blown up to side x side pixels, each source pixel a block,
// rows top first: a bench picture with a ship's colours and edges.
Image ScaledShip(const std::string& samplePath, int side);

// A sample ship read upright with its transparency; the process ends with a
// message when it cannot be read or is wholly opaque.
std::unique_ptr<Image> ReadRgbaShipOrExit(const std::string& path);

// `ship` (read upright) blown up to side x side pixels, transparency kept.
Image ScaledRgbaShip(const Image& ship, int side);

// The process's CPU time for `work`: other programs on a busy machine do not count.
double ProcessorSeconds(const std::function<void()>& work);

// The shortest of `rounds` timings of `work`, in seconds.
double BestSeconds(int rounds, const std::function<void()>& work);

// The shortest and the middle of a set of timings.
double Shortest(const std::vector<double>& seconds);
double Median(std::vector<double> seconds);
