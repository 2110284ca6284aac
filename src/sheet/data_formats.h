#pragma once

#include <cstdio>
#include <span>
#include <string>
#include <string_view>

// The data files that tell game engines where a sheet's frames are, in one
// table: the command line's choices and help, the settings file, the Sheet
// Options dialog and the writer come from it. A new format is one row and
// one writer.

struct SheetPlan;

enum class DataFormat { kNone, kJsonHash, kJsonArray, kAseprite, kGodot4, kGodot3, kLibGdx };

// Frames a second of every animation when none is asked for: 100 ms a frame.
constexpr int kDefaultFps = 10;
constexpr int kMostFps = 1000;

// What a data file says besides the plan: the sheet at `imagePath` (named
// in the file by its path relative to `dataPath`'s folder), whether it keeps
// transparency, and how fast its animations play.
struct DataTarget {
  std::string imagePath;
  std::string dataPath;
  bool alpha = false;
  int fps = kDefaultFps;
  bool premultiplied = false;  // colours already multiplied by their alpha
  std::string normalMapPath{};  // the normal sheet beside the image, named where a format can
};

// Writes the data file for the sheet laid out by `plan` to `file` a piece
// at a time, so neither its time nor its memory outgrows the frames; false
// when a write failed, errno saying why.
using DataWriter = bool (*)(const SheetPlan& plan, const DataTarget& target, std::FILE* file);

// Why the format's text cannot hold `name` exactly, or nullptr when it can.
using NameRefusal = const char* (*)(const std::string& name);

struct DataFormatRow {
  DataFormat format;
  const char* name;         // on the command line: "hash"
  const char* settingsKey;  // in the settings file: "JSON_HASH"
  const char* label;        // its choice in Sheet Options: "JSON hash"
  const char* extension;    // of the data file, lower case, no dot
  DataWriter writer;
  NameRefusal refuses;  // checked before anything is written
};

// Every row; the first is the command line's default.
std::span<const DataFormatRow> DataFormats();

// By command-line name, by settings key, by value; nullptr for none
// (kNone has no row).
const DataFormatRow* DataFormatNamed(std::string_view name);
const DataFormatRow* DataFormatKeyed(std::string_view settingsKey);
const DataFormatRow* DataFormatRowOf(DataFormat format);

// The format of a data file at `path`: its extension's first row or, given
// `name`, that row, which must have the file's extension. nullptr when
// there is none; `expected` then says what would do.
const DataFormatRow* DataFormatOfPath(const std::string& path, std::string_view name,
                                      std::string* expected = nullptr);

// The names joined by `join`: "hash|array", or "hash or array" for " or ".
std::string DataFormatNameList(const std::string& join);
