#include "sheet/sheet_data.h"

#include <filesystem>
#include <new>

#include "core/atomic_file.h"
#include "core/reasons.h"

namespace {

struct DataFormatRow {
  DataFormat format;
  SheetDataWriter write;
  bool (*canName)(const std::string& text);  // whether the format holds this name exactly
};

constexpr DataFormatRow kDataFormats[] = {
    {DataFormat::kJsonHash, WriteJsonHashData, JsonCanHold},
    {DataFormat::kJsonArray, WriteJsonArrayData, JsonCanHold},
};

const DataFormatRow* RowOf(DataFormat format) {
  for (const DataFormatRow& row : kDataFormats) {
    if (row.format == format) return &row;
  }
  return nullptr;
}

// A path's folder with its links and ".." resolved as the system resolves
// them, then its last part.
std::filesystem::path RealPath(const std::string& path) {
  namespace fs = std::filesystem;
  std::error_code error;
  const fs::path absolute = fs::absolute(path, error);
  const fs::path folder = fs::weakly_canonical(absolute.parent_path(), error);
  return error ? absolute.lexically_normal() : folder / absolute.filename();
}

}  // namespace

SheetDataNames DataNames(const std::string& imagePath, bool alpha, const std::string& dataPath) {
  const std::filesystem::path image = RealPath(imagePath);
  const std::filesystem::path relative = image.lexically_relative(RealPath(dataPath).parent_path());
  return {std::filesystem::path(imagePath).stem().string(),
          (relative.empty() ? image : relative).generic_string(), alpha};
}

std::string SheetDataRefusal(DataFormat format, const std::string& imagePath,
                             const std::string& dataPath) {
  const DataFormatRow* row = RowOf(format);
  if (row == nullptr) return {};
  const SheetDataNames names = DataNames(imagePath, false, dataPath);
  if (row->canName(names.stem) && row->canName(names.image)) return {};
  return Quoted(dataPath) + " cannot name the sheet " + Quoted(names.image) +
         ": JSON text holds only UTF-8 names; rename the sheet";
}

bool WriteSheetData(const SheetPlan& plan, const std::string& imagePath, bool alpha,
                    DataFormat format, const std::string& dataPath, std::string* reason) {
  const DataFormatRow* row = RowOf(format);
  if (row == nullptr) {
    SetReason(reason, Quoted(dataPath) + " was not written: no such data format");
    return false;
  }
  if (const std::string refusal = SheetDataRefusal(format, imagePath, dataPath);
      !refusal.empty()) {
    SetReason(reason, refusal);
    return false;
  }
  const SheetDataNames names = DataNames(imagePath, alpha, dataPath);
  try {
    return WriteReplacing(
        dataPath, [&](std::FILE* file, std::string& why) { return row->write(plan, names, file, why); },
        reason);
  } catch (const std::bad_alloc&) {
    SetReason(reason, Quoted(dataPath) + " could not be written: not enough memory");
    return false;
  }
}
