#pragma once

#include <string>
#include <vector>

#include "sheet/data_formats.h"
#include "sheet/frame_names.h"
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

// Where the image is as seen from the data file's folder, with "/" between
// folders.
std::string RelativeImagePath(const std::string& imagePath, const std::string& dataPath);

// Every frame's and animation's name, the sheet's file naming those of a
// sheet of one picture.
SheetNames NamesOf(const SheetPlan& plan, const DataTarget& target);

// How long each frame shows at `fps` frames a second, in whole milliseconds.
int FrameMilliseconds(int fps);
