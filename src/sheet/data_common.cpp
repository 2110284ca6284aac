#include <algorithm>
#include <cmath>
#include <filesystem>

#include "sheet/data_writers.h"

namespace {

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

std::string RelativeImagePath(const std::string& imagePath, const std::string& dataPath) {
  const std::filesystem::path image = RealPath(imagePath);
  const std::filesystem::path relative = image.lexically_relative(RealPath(dataPath).parent_path());
  return (relative.empty() ? image : relative).generic_string();
}

TextOut& TextOut::operator<<(std::string_view text) {
  if (ok_ && std::fwrite(text.data(), 1, text.size(), file_) != text.size()) ok_ = false;
  return *this;
}

FrameNamer NamerOf(const SheetPlan& plan, const DataTarget& target) {
  return FrameNamer(plan, std::filesystem::path(target.imagePath).stem().string());
}

int FrameMilliseconds(int fps) {
  return int(std::lround(1000.0 / std::max(fps, 1)));
}
