#include <algorithm>
#include <cmath>
#include <filesystem>

#include "sheet/data_writers.h"

std::string FrameName(const std::string& stem, int k, int frames) {
  const std::string last = std::to_string(frames - 1);
  const std::string number = std::to_string(k);
  return stem + "_" + std::string(last.size() - number.size(), '0') + number;
}

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

std::vector<Animation> Animations(const SheetPlan& plan) {
  int pictures = 0;
  for (const Placement& p : plan.placements) pictures = std::max(pictures, p.picture + 1);
  std::vector<Animation> animations(std::size_t(std::max(pictures, 1)));
  for (int p = 0; p < int(animations.size()); ++p) {
    animations[std::size_t(p)].name = pictures > 1 ? "spin_" + std::to_string(p) : "spin";
  }
  // Placements of one picture may interleave with others'; each keeps its
  // frame order.
  for (int k = 0; k < plan.Frames(); ++k) {
    animations[std::size_t(plan.placements[std::size_t(k)].picture)].frames.push_back(k);
  }
  for (Animation& animation : animations) {
    std::stable_sort(animation.frames.begin(), animation.frames.end(), [&plan](int a, int b) {
      return plan.placements[std::size_t(a)].frame < plan.placements[std::size_t(b)].frame;
    });
  }
  return animations;
}

int FrameMilliseconds(int fps) {
  return int(std::lround(1000.0 / std::max(fps, 1)));
}
