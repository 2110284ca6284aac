#pragma once

#include <string>

#include "sheet/data_formats.h"
#include "sheet/sheet_plan.h"

// The JSON atlas game engines read a sheet's frame rectangles from: the
// hash form (frames by name) or, with `array`, the array form (a list of
// frames, each with its name), with a "spin" animation of every frame,
// naming the image by its path relative to `dataPath`.
std::string JsonAtlasText(const SheetPlan& plan, const std::string& imagePath, bool alpha,
                          bool array, const std::string& dataPath);

// The text of the data file in `format` (as its row's writer makes it),
// empty for kNone.
std::string SheetDataText(const SheetPlan& plan, const std::string& imagePath, bool alpha,
                          DataFormat format, const std::string& dataPath);

// Writes it to `dataPath`, whole or not at all; false with a reason.
bool WriteSheetData(const SheetPlan& plan, const std::string& imagePath, bool alpha,
                    DataFormat format, const std::string& dataPath, std::string* reason = nullptr);
