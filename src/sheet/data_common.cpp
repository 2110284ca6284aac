#include <algorithm>
#include <cmath>
#include <filesystem>

#include "sheet/data_writers.h"

std::string RelativeImagePath(const std::string& imagePath, const std::string& dataPath) {
  namespace fs = std::filesystem;
  std::error_code error;
  const fs::path image = fs::absolute(imagePath, error).lexically_normal();
  const fs::path folder = fs::absolute(dataPath, error).lexically_normal().parent_path();
  const fs::path relative = image.lexically_relative(folder);
  return (relative.empty() ? image : relative).generic_string();
}

SheetNames NamesOf(const SheetPlan& plan, const DataTarget& target) {
  return NameFrames(plan, std::filesystem::path(target.imagePath).stem().string());
}

int FrameMilliseconds(int fps) {
  return int(std::lround(1000.0 / std::max(fps, 1)));
}
