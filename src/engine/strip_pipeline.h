#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/color.h"
#include "core/image.h"
#include "sheet/normal_map.h"
#include "sheet/sheet_data.h"
#include "sheet/strip_options.h"
#include "core/progress.h"
#include "core/reasons.h"
#include "io/png_writer.h"

// The one road from a picture to its files, shared by gyrelle-cli, the
// window's Open, Rotate and Save As, and the benches: read the picture
// upright, build the strip, write it and its mask. Every choice comes in as
// a value; nothing rides on state set elsewhere.

// How the strip is written.
struct SaveOptions {
  bool eightBit = false;    // 8-bit palettised rather than the strip's own depth
  bool compressed = false;  // run-length TGA and BMP
  bool mask = false;        // also the mask, at MaskPath of the file
  DataFormat data = DataFormat::kNone;
  std::string dataPath{};  // where the data file goes, for data other than kNone
  PngCompression pngCompression = PngCompression::kDefault;
  int fps = kDefaultFps;   // how fast the data file's animations play
  NormalMapOptions normals{};  // also a sheet of the turned normal map, named in the data
};

struct SheetPlan;

// The part of `path`'s file name after its last ".", in capitals; empty
// when the name has no ".". The format a file is written in follows it.
std::string Extension(const std::string& path);

// Reads a picture with its top row first: at 4 bytes per pixel when some
// pixel is not wholly opaque, else at 3. No image and a reason when it
// cannot be read.
std::unique_ptr<Image> ReadPicture(const std::string& path, std::string* reason = nullptr);

// The rest of ReadPicture, for a picture LoadImageFile read at 4 bytes per
// pixel: no image for none; uses the image library, so one thread at a time.
std::unique_ptr<Image> UprightPicture(std::unique_ptr<Image> decoded, const std::string& path,
                                      std::string* reason = nullptr);

// The picture at 3 or 4 bytes per pixel, as a strip with or without alpha
// has it, its pixels laid over or keyed to `fill`; null when `picture` is
// already so. Throws std::bad_alloc.
std::unique_ptr<Image> Prepared(const Image& picture, bool alpha, const Rgb& fill);

// The colour of the picture's top-left pixel: the fill every Open starts with.
Rgb TopLeftColor(const Image& picture);

// Whether RotSprite must enlarge the pictures for `plan`: only turns
// between the quarter turns need it.
bool NeedsEnlargement(const StripOptions& options, const SheetPlan& plan);

// Where the frames of `picture`'s sheet go and how big it is, before
// anything is allocated; false with a reason when the options contradict
// each other, the sheet would be too large to hold or `fits` refuses its
// sides. RotSprite's enlargement is checked only when some frame needs it.
bool PlanStrip(const Image& picture, const StripOptions& options, SheetPlan& plan,
               std::string* reason = nullptr,
               const std::function<std::string(int width, int height)>& fits = {});

// The strip of `picture`, or no image with a reason; its plan in `plan` when
// asked. Without alpha, pixels that are not wholly opaque are first laid
// over the fill; with it, the strip has 4 bytes per pixel.
// `progress` hears of each frame done, and may stop the work.
std::unique_ptr<Image> MakeStrip(const Image& picture, const StripOptions& options,
                                 std::string* reason = nullptr, SheetPlan* plan = nullptr,
                                 const ProgressHook& progress = {});

// The sheet of `source` (already at the sheet's depth) laid out by `plan`,
// each frame turned by `options`' method; no image with a reason. Smooth
// turning takes `unprepared`, the picture before it met the fill, when given.
std::unique_ptr<Image> TurnIntoSheet(const Image& source, const SheetPlan& plan,
                                     const StripOptions& options, std::string* reason = nullptr,
                                     const ProgressHook& progress = {},
                                     const Image* unprepared = nullptr);

// A reason when `path`'s format cannot hold what `options` ask of it with a
// strip that keeps transparency; empty when it can.
std::string TransparencyRefusal(const std::string& path, const SaveOptions& options);

// One file of a save that did not come about.
struct SaveFailure {
  enum class Kind { kNotWritten, kMaskOutOfMemory };
  Kind kind;
  bool mask;  // the mask, not the strip (nor the data file)
  std::string path;
  std::string reason;
};

// Writes `strip` to `path` and, when asked, its mask (black where the strip
// has `fill`, or where it has alpha 0) and, once the strip is written, the
// data file describing `plan`, the plan the strip was made by. The mask is
// tried even when the strip could not be written. Empty when every file was
// written. `progress` hears of the bytes written, the files counted
// together, and may stop the work: the file being written then stays as it
// was, and the files after it are not written. With `normalSheet`, that
// sheet goes next to the strip, at WithSuffix of `path` and the normal map
// suffix, and the data file names it.
std::vector<SaveFailure> SaveStrip(const Image& strip, const std::string& path,
                                   const SaveOptions& options, const Rgb& fill,
                                   const SheetPlan* plan = nullptr,
                                   const ProgressHook& progress = {},
                                   const Image* normalSheet = nullptr);
