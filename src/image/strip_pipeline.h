#pragma once

#include <memory>
#include <string>
#include <vector>

#include "image/color.h"
#include "image/image.h"
#include "image/reasons.h"

// The one road from a picture to its files, shared by gyrelle-cli, the
// window's Open, Rotate and Save As, and the benches: read the picture
// upright, build the strip, write it and its mask. Every choice comes in as
// a value; nothing rides on state set elsewhere.

// What the strip is made of.
struct StripOptions {
  int frames = 32;
  Rgb fill{255, 255, 255};  // the corners the turning uncovers
};

// How the strip is written.
struct SaveOptions {
  bool eightBit = false;    // 8-bit palettised rather than the strip's own depth
  bool compressed = false;  // run-length TGA and BMP
  bool mask = false;        // also the mask, at MaskPath of the file
};

// Reads a picture at 3 bytes per pixel with its top row first; no image and
// a reason when it cannot be read.
std::unique_ptr<Image> ReadPicture(const std::string& path, std::string* reason = nullptr);

// The colour of the picture's top-left pixel: the fill every Open starts with.
Rgb TopLeftColor(const Image& picture);

// The strip of `picture`, or no image with a reason.
std::unique_ptr<Image> MakeStrip(const Image& picture, const StripOptions& options,
                                 std::string* reason = nullptr);

// One file of a save that did not come about.
struct SaveFailure {
  enum class Kind { kNotWritten, kMaskOutOfMemory };
  Kind kind;
  bool mask;  // the mask, not the strip
  std::string path;
  std::string reason;
};

// Writes `strip` to `path` and, when asked, its mask (black where the strip
// has `fill`). The mask is tried even when the strip could not be written.
// Empty when every file was written.
std::vector<SaveFailure> SaveStrip(const Image& strip, const std::string& path,
                                   const SaveOptions& options, const Rgb& fill);
