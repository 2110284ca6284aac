#pragma once

#include <string>

#include "sheet/sheet_plan.h"

// The data file game engines read a sheet's frame rectangles from: the
// "JSON hash" atlas form (frames by name) or the "JSON array" form (a list
// of frames, each with its name), with a "spin" animation of every frame.
enum class DataFormat { kNone, kJsonHash, kJsonArray };

// The data file's text for the sheet at `imagePath` laid out by `plan`,
// naming the image by its path relative to `dataPath`.
std::string SheetDataText(const SheetPlan& plan, const std::string& imagePath, bool alpha,
                          DataFormat format, const std::string& dataPath);

// Writes it to `dataPath`, whole or not at all; false with a reason.
bool WriteSheetData(const SheetPlan& plan, const std::string& imagePath, bool alpha,
                    DataFormat format, const std::string& dataPath, std::string* reason = nullptr);
