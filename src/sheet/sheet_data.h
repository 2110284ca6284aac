#pragma once

#include <cstdio>
#include <string>

#include "sheet/sheet_layout.h"

// The data files game engines read a sheet's frame rectangles from, one
// writer each, listed in one table in sheet_data.cpp.

// Which data file: the "JSON hash" atlas form or the "JSON array" form.
enum class DataFormat { kNone, kJsonHash, kJsonArray };

// What a data file says of the sheet besides its plan.
struct SheetDataNames {
  std::string stem;   // the sheet's file name without its extension: frame k is "<stem>_<k>"
  std::string image;  // the sheet's path as seen from the data file's folder
  bool alpha = false;
};

// Writes the whole data file for `plan` to `file`, a frame at a time, so
// time and memory do not grow with the square of the frames. False when a
// write failed, errno telling why, or with `why` set.
using SheetDataWriter = bool (*)(const SheetPlan& plan, const SheetDataNames& names,
                                 std::FILE* file, std::string& why);

// The "JSON hash" atlas form (frames by name) and the "JSON array" form (a
// list of frames, each with its name), with a "spin" animation of every frame.
bool WriteJsonHashData(const SheetPlan& plan, const SheetDataNames& names, std::FILE* file,
                       std::string& why);
bool WriteJsonArrayData(const SheetPlan& plan, const SheetDataNames& names, std::FILE* file,
                        std::string& why);
// Whether a JSON string holds `text` exactly: whether it is UTF-8.
bool JsonCanHold(const std::string& text);

// What the data file at `dataPath` says of the sheet at `imagePath`: the
// image's path worked out from the real folders, links and ".." followed.
SheetDataNames DataNames(const std::string& imagePath, bool alpha, const std::string& dataPath);

// A reason, decided before anything is written, why a data file of `format`
// cannot name the sheet at `imagePath` exactly (a name that is not UTF-8 in
// JSON text); empty when it can.
std::string SheetDataRefusal(DataFormat format, const std::string& imagePath,
                             const std::string& dataPath);

// Writes the data file of `format` to `dataPath`, whole or not at all;
// false with a reason.
bool WriteSheetData(const SheetPlan& plan, const std::string& imagePath, bool alpha,
                    DataFormat format, const std::string& dataPath, std::string* reason = nullptr);
