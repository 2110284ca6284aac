#pragma once

#include <string>
#include <vector>

#include "sheet/data_formats.h"
#include "sheet/sheet_plan.h"

// The data writers the format table names, one file each, and what they
// share so that every format names frames and animations alike.

// Phaser's and PixiJS's JSON atlas: the hash form (frames by name) or, with
// `array`, the array form (a list of frames, each with its name).
std::string JsonAtlasText(const SheetPlan& plan, const DataTarget& target, bool array);
// The JSON Phaser's createFromAseprite plays: frames named by their number.
std::string AsepriteJsonText(const SheetPlan& plan, const DataTarget& target);
// A Godot SpriteFrames text resource for Godot `version` 4 or 3.
std::string GodotSpriteFramesText(const SheetPlan& plan, const DataTarget& target, int version);
// The libGDX and Spine texture atlas text.
std::string LibGdxAtlasText(const SheetPlan& plan, const DataTarget& target);

// `<image stem>_<k>`, k zero-padded to the width of the last frame's number.
std::string FrameName(const std::string& stem, int k, int frames);

// Where the image is as seen from the data file's folder, with "/" between
// folders.
std::string RelativeImagePath(const std::string& imagePath, const std::string& dataPath);

// One animation per picture, its frames (indices into the plan's
// placements) in order: "spin" when the sheet holds one picture, "spin_<p>"
// for picture p of several.
struct Animation {
  std::string name;
  std::vector<int> frames;
};
std::vector<Animation> Animations(const SheetPlan& plan);

// How long each frame shows at `fps` frames a second, in whole milliseconds.
int FrameMilliseconds(int fps);
