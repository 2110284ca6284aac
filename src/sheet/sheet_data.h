#pragma once

#include <string>
#include <vector>

#include "sheet/data_formats.h"
#include "sheet/sheet_plan.h"

// The text of the data file in `format` (as its row's writer makes it) for
// the sheet at `imagePath` laid out by `plan`, to be written at `dataPath`;
// empty for kNone.
std::string SheetDataText(const SheetPlan& plan, const std::string& imagePath, bool alpha,
                          DataFormat format, const std::string& dataPath, int fps = kDefaultFps);
std::string SheetDataText(const SheetPlan& plan, DataFormat format, const DataTarget& target);

// A reason, decided before anything is written, why a data file of
// `format` at `dataPath` cannot name the sheet at `imagePath` or the frames
// of the pictures with `pictureStems` exactly (a name that is not UTF-8 in
// JSON text); empty when it can.
std::string SheetDataRefusal(DataFormat format, const std::string& imagePath,
                             const std::string& dataPath,
                             const std::vector<std::string>& pictureStems = {});

// Writes it to the target's data path a piece at a time, whole or not at
// all; false with a reason.
bool WriteSheetData(const SheetPlan& plan, DataFormat format, const DataTarget& target,
                    std::string* reason = nullptr);
