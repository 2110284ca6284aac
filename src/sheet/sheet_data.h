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

// `text`, the data file in `format`, naming the normal sheet at
// `normalMapPath` where the format has a place for it (JSON's meta
// "normalMap"); unchanged where it has none.
std::string WithNormalMap(const std::string& text, DataFormat format,
                          const std::string& normalMapPath, const std::string& dataPath);

// Writes it to `dataPath`, whole or not at all, naming the normal sheet
// when `normalMapPath` is not empty; false with a reason.
bool WriteSheetData(const SheetPlan& plan, const std::string& imagePath, bool alpha,
                    DataFormat format, const std::string& dataPath, std::string* reason = nullptr,
                    const std::string& normalMapPath = {});
