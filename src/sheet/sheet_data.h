#pragma once

#include <string>

#include "sheet/data_formats.h"
#include "sheet/sheet_plan.h"

// The text of the data file in `format` (as its row's writer makes it) for
// the sheet at `imagePath` laid out by `plan`, to be written at `dataPath`;
// empty for kNone.
std::string SheetDataText(const SheetPlan& plan, const std::string& imagePath, bool alpha,
                          DataFormat format, const std::string& dataPath, int fps = kDefaultFps);
std::string SheetDataText(const SheetPlan& plan, DataFormat format, const DataTarget& target);

// Writes it to the target's data path, whole or not at all; false with a
// reason.
bool WriteSheetData(const SheetPlan& plan, DataFormat format, const DataTarget& target,
                    std::string* reason = nullptr);
