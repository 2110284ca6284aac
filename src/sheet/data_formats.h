#pragma once

#include <span>
#include <string>
#include <string_view>

// The data files that tell game engines where a sheet's frames are, in one
// table: the command line's choices and help, the settings file, the Sheet
// Options dialog and the writer come from it. A new format is one row and
// one writer.

struct SheetPlan;

enum class DataFormat { kNone, kJsonHash, kJsonArray };

// The text of a data file for the sheet at `imagePath` laid out by `plan`,
// to be written at `dataPath` (image paths in it are relative to that).
using DataWriter = std::string (*)(const SheetPlan& plan, const std::string& imagePath,
                                   bool alpha, const std::string& dataPath);

struct DataFormatRow {
  DataFormat format;
  const char* name;         // on the command line: "hash"
  const char* settingsKey;  // in the settings file: "JSON_HASH"
  const char* label;        // its choice in Sheet Options: "JSON hash"
  const char* extension;    // of the data file, lower case, no dot
  DataWriter writer;
};

// Every row; the first is the command line's default.
std::span<const DataFormatRow> DataFormats();

// By command-line name, by settings key, by value; nullptr for none
// (kNone has no row).
const DataFormatRow* DataFormatNamed(std::string_view name);
const DataFormatRow* DataFormatKeyed(std::string_view settingsKey);
const DataFormatRow* DataFormatRowOf(DataFormat format);

// The names joined by `join`: "hash|array", or "hash or array" for " or ".
std::string DataFormatNameList(const std::string& join);
