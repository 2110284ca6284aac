#include "sheet/data_formats.h"

#include "sheet/sheet_data.h"

namespace {

constexpr DataFormatRow kFormats[] = {
    {DataFormat::kJsonHash, "hash", "JSON_HASH", "JSON hash", "json",
     [](const SheetPlan& plan, const std::string& imagePath, bool alpha,
        const std::string& dataPath) { return JsonAtlasText(plan, imagePath, alpha, false, dataPath); }},
    {DataFormat::kJsonArray, "array", "JSON_ARRAY", "JSON array", "json",
     [](const SheetPlan& plan, const std::string& imagePath, bool alpha,
        const std::string& dataPath) { return JsonAtlasText(plan, imagePath, alpha, true, dataPath); }},
};

template <typename Match>
const DataFormatRow* Find(Match match) {
  for (const DataFormatRow& row : kFormats) {
    if (match(row)) return &row;
  }
  return nullptr;
}

}  // namespace

std::span<const DataFormatRow> DataFormats() {
  return kFormats;
}

const DataFormatRow* DataFormatNamed(std::string_view name) {
  return Find([name](const DataFormatRow& row) { return name == row.name; });
}

const DataFormatRow* DataFormatKeyed(std::string_view settingsKey) {
  return Find([settingsKey](const DataFormatRow& row) { return settingsKey == row.settingsKey; });
}

const DataFormatRow* DataFormatRowOf(DataFormat format) {
  return Find([format](const DataFormatRow& row) { return format == row.format; });
}

std::string DataFormatNameList(const std::string& join) {
  std::string text;
  for (const DataFormatRow& row : kFormats) text += (text.empty() ? "" : join) + row.name;
  return text;
}
