#include "io/picture_formats.h"

#include <algorithm>
#include <cctype>
#include <vector>

namespace {

// TGA keeps the sides in 16 bits and PCX the bytes of a row, an even
// number, so that the library would write larger sizes wrapped and report
// success. libpng refuses sides past a million, and the library's PNG
// writer then crashes. BMP's limit is its 32-bit file size, checked apart.
constexpr PictureFormatRow kFormats[] = {
    {PictureFormat::kPng, "PNG", "Portable Network Graphic", {"png", nullptr}, true, true, true,
     true, RunLength::kNone, 1000000, 1000000, LibraryFileType::kPng},
    {PictureFormat::kJpeg, "JPEG", "JPEG", {"jpg", "jpeg"}, true, false, false, false,
     RunLength::kNone, 65500, 65500, LibraryFileType::kJpeg},
    {PictureFormat::kTarga, "TGA", "Truevision Targa", {"tga", nullptr}, true, true, true, true,
     RunLength::kAlways, 0xFFFF, 0xFFFF, LibraryFileType::kTarga},
    {PictureFormat::kBmp, "BMP", "Windows or OS/2 Bitmaps", {"bmp", nullptr}, true, true, false,
     true, RunLength::kEightBitOnly, 0, 0, LibraryFileType::kBmp},
    {PictureFormat::kPcx, "PCX", "ZSoft Paintbrush", {"pcx", nullptr}, true, true, false, true,
     RunLength::kNone, 0xFFFE, 0xFFFF, LibraryFileType::kPcx},
};

std::vector<const PictureFormatRow*> Rows(bool written, bool alpha = false) {
  std::vector<const PictureFormatRow*> rows;
  for (const PictureFormatRow& row : kFormats) {
    if ((written ? row.write : row.read) && (row.alpha || !alpha)) rows.push_back(&row);
  }
  return rows;
}

// "a, b or c".
std::string Listed(const std::vector<std::string>& items) {
  std::string text;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (i > 0) text += i + 1 == items.size() ? " or " : ", ";
    text += items[i];
  }
  return text;
}

}  // namespace

std::span<const PictureFormatRow> PictureFormats() {
  return kFormats;
}

const PictureFormatRow* PictureFormatOfPath(const std::string& path) {
  const auto dot = path.rfind('.');
  if (dot == std::string::npos || path.find('/', dot) != std::string::npos) return nullptr;
  std::string extension = path.substr(dot + 1);
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return char(std::tolower(c)); });
  for (const PictureFormatRow& row : kFormats) {
    for (const char* each : row.extensions) {
      if (each != nullptr && extension == each) return &row;
    }
  }
  return nullptr;
}

const PictureFormatRow* PictureFormatRowOf(PictureFormat format) {
  for (const PictureFormatRow& row : kFormats) {
    if (row.format == format) return &row;
  }
  return nullptr;
}

std::string PictureExtensionList(bool written, bool dots, const std::string& join) {
  std::vector<std::string> extensions;
  for (const PictureFormatRow* row : Rows(written)) {
    for (const char* each : row->extensions) {
      if (each != nullptr) extensions.push_back((dots ? "." : "") + std::string(each));
    }
  }
  if (join.empty()) return Listed(extensions);
  std::string text;
  for (const std::string& each : extensions) text += (text.empty() ? "" : join) + each;
  return text;
}

std::string PictureNameList(bool written, bool alpha) {
  std::vector<std::string> names;
  for (const PictureFormatRow* row : Rows(written, alpha)) names.push_back(row->name);
  return Listed(names);
}
