#pragma once

#include "core/color.h"
#include "turn/turn_frame.h"

// The size of each frame: the picture's own, the smallest that holds every
// turned picture of the strip whole, or given.
struct FrameSize {
  enum class Kind { kKeep, kFit, kGiven };
  Kind kind = Kind::kKeep;
  int width = 0;  // for kGiven
  int height = 0;
  bool operator==(const FrameSize&) const = default;
};

// What the strip is made of. The defaults make the classic strip: one
// column, frames the picture's size, turned by the running angle.
struct StripOptions {
  int frames = 32;
  Rgb fill{255, 255, 255};  // the corners the turning uncovers
  bool alpha = false;       // keep transparency: 4 bytes per pixel, gaps alpha 0
  FrameSize frameSize{};
  int columns = 1;          // frame k at column k mod C, row k div C
  int spacing = 0;          // pixels between frames
  int margin = 0;           // pixels around the sheet
  int maxSize = 0;          // when above 0, the fewest columns keeping both sides within it
  bool powerOfTwo = false;  // pad the sheet to power-of-two sides
  int startDegrees = 0;
  bool reverse = false;      // turn the other way
  bool exactAngles = false;  // round(start +- k * 360 / N) rather than the running sum
  TurnMethod method = TurnMethod::kLibrary;
  int threads = 0;  // how many build frames by our own methods; 0: one per core
  // Sheets that waste no space and never bleed; each needs a data file or
  // alpha, which the job's checks see to.
  bool trim = false;        // each frame cut to its visible pixels
  bool pack = false;        // frames placed by a packer into the smallest sheet
  int extrude = 0;          // edge pixels repeated this many pixels outward
  bool bleed = false;       // transparent pixels take the nearest visible colour
  bool premultiply = false; // colours multiplied by alpha
  bool operator==(const StripOptions&) const = default;
};
