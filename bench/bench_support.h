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

// A sample ship blown up to side x side pixels, each source pixel a block,
// rows top first: a bench picture with a ship's colours and edges.
Image ScaledShip(const std::string& samplePath, int side);

// The shortest of `rounds` timings of `work`, in seconds.
double BestSeconds(int rounds, const std::function<void()>& work);

// The shortest and the middle of a set of timings.
double Shortest(const std::vector<double>& seconds);
double Median(std::vector<double> seconds);
