#include "engine/normal_sheet.h"

#include <filesystem>
#include <new>

#include "core/reasons.h"
#include "io/image_io.h"

std::string WithSuffix(const std::string& path, const std::string& suffix) {
  const auto dot = path.rfind('.');
  const auto slash = path.rfind('/');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash) || dot == slash + 1) {
    return path + suffix;
  }
  return path.substr(0, dot) + suffix + path.substr(dot);
}

std::unique_ptr<Image> ReadNormalMap(const std::string& input, const Image& picture,
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
  if (map->Width() != picture.Width() || map->Height() != picture.Height()) {
    SetReason(reason, "the normal map " + Quoted(path) + " is " + std::to_string(map->Width()) +
                          " x " + std::to_string(map->Height()) + " pixels, not " +
                          std::to_string(picture.Width()) + " x " +
                          std::to_string(picture.Height()) + " as " + Quoted(input) + " is");
    return nullptr;
  }
  return map;
}

std::unique_ptr<Image> MakeNormalSheet(const Image& normalMap, const Image& colourSheet,
                                       const SheetPlan& plan, const StripOptions& options,
                                       NormalY yAxis, std::string* reason,
                                       const ProgressHook& progress) {
  try {
    // Turned at 4 bytes with alpha 255, so what the turn uncovers shows by
    // its alpha whatever the colour sheet's depth.
    const std::unique_ptr<Image> covered = CoveredNormalMap(normalMap);
    StripOptions turning = options;
    turning.alpha = true;
    turning.fill = kFlatNormal;
    std::unique_ptr<Image> sheet = TurnIntoSheet(*covered, plan, turning, reason, progress);
    if (!sheet) return nullptr;
    for (const Placement& p : plan.placements) {
      TurnNormalVectors(*sheet, colourSheet, p.sheet.x, p.sheet.y, p.sheet.width, p.sheet.height,
                        p.angle, yAxis);
    }
    return NormalSheetAtDepth(*sheet, colourSheet.BytesPerPixel());
  } catch (const std::bad_alloc&) {
    SetReason(reason, "not enough memory for the normal sheet");
    return nullptr;
  }
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
