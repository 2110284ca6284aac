#pragma once

#include <chrono>
#include <functional>
#include <string>

#include "core/image.h"

// A sample ship blown up to side x side pixels, each source pixel a block,
// rows top first: a bench picture with a ship's colours and edges.
Image ScaledShip(const std::string& samplePath, int side);

// The shortest of `rounds` timings of `work`, in seconds.
double BestSeconds(int rounds, const std::function<void()>& work);
