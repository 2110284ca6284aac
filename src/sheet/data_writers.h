#pragma once

#include <nlohmann/json_fwd.hpp>

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "sheet/data_formats.h"
#include "sheet/frame_names.h"
#include "sheet/sheet_plan.h"

// The data writers the format table names, one file each, and what they
// share so that every format names frames and animations alike.

// Phaser's and PixiJS's JSON atlas: the hash form (frames by name) or, with
// `array`, the array form (a list of frames, each with its name).
bool WriteJsonAtlas(const SheetPlan& plan, const DataTarget& target, bool array, std::FILE* file);
// The JSON Phaser's createFromAseprite plays: frames named by their number.
bool WriteAsepriteJson(const SheetPlan& plan, const DataTarget& target, std::FILE* file);
// A Godot SpriteFrames text resource for Godot `version` 4 or 3.
bool WriteGodotSpriteFrames(const SheetPlan& plan, const DataTarget& target, int version,
                            std::FILE* file);
// The libGDX and Spine texture atlas text.
bool WriteLibGdxAtlas(const SheetPlan& plan, const DataTarget& target, std::FILE* file);

// The names each format's text cannot hold exactly.
const char* JsonRefuses(const std::string& name);
const char* GodotRefuses(const std::string& name);
const char* LibGdxRefuses(const std::string& name);

// A data file's text written piece by piece: after a write fails the rest
// is skipped, and Ok() says whether all was written (errno saying why not).
class TextOut {
 public:
  explicit TextOut(std::FILE* file) : file_(file) {}
  TextOut& operator<<(std::string_view text);
  TextOut& operator<<(int number) { return *this << std::string_view(std::to_string(number)); }
  bool Ok() const { return ok_; }

 private:
  std::FILE* file_;
  bool ok_ = true;
};

// `value` as the JSON library prints it with an indent of 2 inside a whole
// document, `depth` levels in: the lines after its first indented to suit.
void PutJson(TextOut& out, const nlohmann::ordered_json& value, int depth);

// Where the image is as seen from the data file's folder, with "/" between
// folders: worked out from the real folders, links and ".." followed as the
// system follows them.
std::string RelativeImagePath(const std::string& imagePath, const std::string& dataPath);

// The namer of `plan`'s frames and animations, a sheet of one picture's
// named after the sheet's file.
FrameNamer NamerOf(const SheetPlan& plan, const DataTarget& target);

// How long each frame shows at `fps` frames a second, in whole milliseconds.
int FrameMilliseconds(int fps);
