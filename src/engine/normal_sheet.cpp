#include "engine/normal_sheet.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <new>

#include "core/reasons.h"
#include "io/image_io.h"
#include "sheet/frame_edges.h"

std::string WithSuffix(const std::string& path, const std::string& suffix) {
  const auto dot = path.rfind('.');
  const auto slash = path.rfind('/');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash) || dot == slash + 1) {
    return path + suffix;
  }
  return path.substr(0, dot) + suffix + path.substr(dot);
}

std::unique_ptr<Image> ReadNormalMap(const std::string& input, int width, int height,
                                     const std::string& suffix, std::string* reason) {
  const std::string path = WithSuffix(input, suffix);
  std::error_code error;
  if (!std::filesystem::exists(path, error)) {
    SetReason(reason, "the normal map " + Quoted(path) + " of " + Quoted(input) + " is missing");
    return nullptr;
  }
  std::string why;
  auto map = ReadPicture(path, &why);
  if (!map) {
    SetReason(reason, "the normal map " + Quoted(path) + " cannot be read: " + why);
    return nullptr;
  }
  if (map->Width() != width || map->Height() != height) {
    SetReason(reason, "the normal map " + Quoted(path) + " is " + std::to_string(map->Width()) +
                          " x " + std::to_string(map->Height()) + " pixels, not " +
                          std::to_string(width) + " x " + std::to_string(height) + " as " +
                          Quoted(input) + " is");
    return nullptr;
  }
  return map;
}

std::unique_ptr<Image> MakeNormalSheet(const std::vector<const Image*>& normalMaps,
                                       const Image& colourSheet, const SheetPlan& plan,
                                       const StripOptions& options, NormalY yAxis,
                                       std::string* reason, const ProgressHook& progress) {
  try {
    // Turned at 4 bytes with alpha 255, so what the turn uncovers shows by
    // its alpha whatever the colour sheet's depth.
    StripOptions turning = options;
    turning.alpha = true;
    turning.fill = kFlatNormal;
    auto sheet = std::make_unique<Image>();
    sheet->Allocate("", plan.width, plan.height, 4);
    for (std::size_t i = 0; i < std::size_t(sheet->Width()) * sheet->Height(); ++i) {
      std::uint8_t* pixel = sheet->Pixels() + 4 * i;
      pixel[0] = kFlatNormal.red, pixel[1] = kFlatNormal.green, pixel[2] = kFlatNormal.blue;
      pixel[3] = 0;
    }
    for (const Placement& p : plan.placements) {
      if (p.picture < 0 || std::size_t(p.picture) >= normalMaps.size()) {
        SetReason(reason, "picture " + std::to_string(p.picture) + " has no normal map");
        return nullptr;
      }
    }
    for (std::size_t picture = 0; picture < normalMaps.size(); ++picture) {
      // This picture's whole frames, turned side by side as the colour
      // sheet's were; each placement then keeps the same part of its frame.
      SheetPlan whole;
      std::vector<const Placement*> kept;
      for (const Placement& p : plan.placements) {
        if (std::size_t(p.picture) == picture) kept.push_back(&p);
      }
      if (kept.empty()) continue;
      const int columns = std::max(1, int(std::ceil(std::sqrt(double(kept.size())))));
      int cellWidth = 0, cellHeight = 0;
      for (const Placement* p : kept) {
        cellWidth = std::max(cellWidth, p->fullWidth);
        cellHeight = std::max(cellHeight, p->fullHeight);
      }
      for (std::size_t k = 0; k < kept.size(); ++k) {
        const Placement& p = *kept[k];
        const Rect cell{int(k % columns) * cellWidth, int(k / columns) * cellHeight, p.fullWidth,
                        p.fullHeight};
        whole.placements.push_back({0, p.frame, p.angle, cell, {0, 0, p.fullWidth, p.fullHeight},
                                    p.fullWidth, p.fullHeight});
      }
      whole.width = columns * cellWidth;
      whole.height = int((kept.size() + columns - 1) / columns) * cellHeight;
      const std::unique_ptr<Image> covered = CoveredNormalMap(*normalMaps[picture]);
      const std::unique_ptr<Image> turned =
          TurnIntoSheet(*covered, whole, turning, reason, progress);
      if (!turned) return nullptr;
      for (std::size_t k = 0; k < kept.size(); ++k) {
        const Placement& p = *kept[k];
        const Rect& cell = whole.placements[k].sheet;
        for (int row = 0; row < p.inFrame.height; ++row) {
          std::memcpy(sheet->Pixels() + std::size_t(p.sheet.y + row) * sheet->RowBytes() +
                          std::size_t(p.sheet.x) * 4,
                      turned->Pixels() +
                          std::size_t(cell.y + p.inFrame.y + row) * turned->RowBytes() +
                          std::size_t(cell.x + p.inFrame.x) * 4,
                      std::size_t(p.inFrame.width) * 4);
        }
      }
    }
    for (const Placement& p : plan.placements) {
      TurnNormalVectors(*sheet, colourSheet, p.sheet.x, p.sheet.y, p.sheet.width, p.sheet.height,
                        p.angle, yAxis);
    }
    ExtrudeFrames(*sheet, plan, options.extrude);
    return NormalSheetAtDepth(*sheet, colourSheet.BytesPerPixel());
  } catch (const std::bad_alloc&) {
    SetReason(reason, "not enough memory for the normal sheet");
    return nullptr;
  }
}

std::unique_ptr<Image> NormalSheetOf(const std::string& input, int width, int height,
                                     const Image& colourSheet, const SheetPlan& plan,
                                     const StripOptions& options, const NormalMapOptions& normals,
                                     std::string* reason, const ProgressHook& progress) {
  const std::unique_ptr<Image> map = ReadNormalMap(input, width, height, normals.suffix, reason);
  if (!map) return nullptr;
  std::string why;
  auto sheet = MakeNormalSheet({map.get()}, colourSheet, plan, options, normals.y, &why, progress);
  if (!sheet) SetReason(reason, Quoted(WithSuffix(input, normals.suffix)) + ": " + why);
  return sheet;
}

std::string NormalMapProblem(const std::string& output, const SaveOptions& save) {
  const std::string& suffix = save.normals.suffix;
  if (!save.normals.On()) return {};
  if (suffix.find('/') != std::string::npos) {
    return "the normal map suffix " + Quoted(suffix) + " must not hold a \"/\"";
  }
  // A palette of 256 colours cannot hold the vectors a normal map needs.
  if (save.eightBit) return "a normal sheet cannot be saved 8-bit; save at full depth";
  const std::string normalPath = WithSuffix(output, suffix);
  if (save.mask && normalPath == MaskPath(output)) {
    return Quoted(normalPath) + " would be both the normal sheet and the mask";
  }
  if (save.data != DataFormat::kNone && normalPath == save.dataPath) {
    return Quoted(normalPath) + " would be both the normal sheet and the data file";
  }
  return {};
}
