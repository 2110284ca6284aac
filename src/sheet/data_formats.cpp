#include "sheet/data_formats.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include "sheet/data_writers.h"

namespace {

// Where an extension has several formats, its first row is its default.
constexpr DataFormatRow kFormats[] = {
    {DataFormat::kJsonHash, "hash", "JSON_HASH", "JSON hash", "json",
     [](const SheetPlan& plan, const DataTarget& target, std::FILE* file) {
       return WriteJsonAtlas(plan, target, false, file);
     },
     JsonRefuses},
    {DataFormat::kJsonArray, "array", "JSON_ARRAY", "JSON array", "json",
     [](const SheetPlan& plan, const DataTarget& target, std::FILE* file) {
       return WriteJsonAtlas(plan, target, true, file);
     },
     JsonRefuses},
    {DataFormat::kAseprite, "aseprite", "ASEPRITE_JSON", "Aseprite JSON", "json",
     WriteAsepriteJson, JsonRefuses},
    {DataFormat::kGodot4, "godot4", "GODOT4", "Godot 4", "tres",
     [](const SheetPlan& plan, const DataTarget& target, std::FILE* file) {
       return WriteGodotSpriteFrames(plan, target, 4, file);
     },
     GodotRefuses},
    {DataFormat::kGodot3, "godot3", "GODOT3", "Godot 3", "tres",
     [](const SheetPlan& plan, const DataTarget& target, std::FILE* file) {
       return WriteGodotSpriteFrames(plan, target, 3, file);
     },
     GodotRefuses},
    {DataFormat::kLibGdx, "libgdx", "LIBGDX_ATLAS", "libGDX/Spine", "atlas", WriteLibGdxAtlas,
     LibGdxRefuses},
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

const DataFormatRow* DataFormatOfPath(const std::string& path, std::string_view name,
                                      std::string* expected) {
  const auto dot = path.find_last_of("./");
  std::string extension = dot != std::string::npos && path[dot] == '.' ? path.substr(dot + 1) : "";
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return char(std::tolower(c)); });
  const DataFormatRow* named = name.empty() ? nullptr : DataFormatNamed(name);
  const DataFormatRow* row = Find([&](const DataFormatRow& each) {
    return extension == each.extension && (named == nullptr || named == &each);
  });
  if (row == nullptr && expected != nullptr) {
    std::vector<std::string> dotted;
    for (const DataFormatRow& each : kFormats) {
      const std::string name = std::string(".") + each.extension;
      if ((named == nullptr || named == &each) &&
          std::find(dotted.begin(), dotted.end(), name) == dotted.end()) {
        dotted.push_back(name);
      }
    }
    expected->clear();
    for (std::size_t i = 0; i < dotted.size(); ++i) {
      *expected += (i == 0 ? "" : i + 1 == dotted.size() ? " or " : ", ") + dotted[i];
    }
  }
  return row;
}

std::string DataFormatNameList(const std::string& join) {
  std::string text;
  for (const DataFormatRow& row : kFormats) text += (text.empty() ? "" : join) + row.name;
  return text;
}
