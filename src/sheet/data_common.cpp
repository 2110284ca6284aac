#include <algorithm>
#include <cmath>
#include <filesystem>

#include "sheet/data_writers.h"

std::string FrameName(const std::string& stem, int k, int frames) {
  const std::string last = std::to_string(frames - 1);
  const std::string number = std::to_string(k);
  return stem + "_" + std::string(last.size() - number.size(), '0') + number;
}

std::string RelativeImagePath(const std::string& imagePath, const std::string& dataPath) {
  namespace fs = std::filesystem;
  std::error_code error;
  const fs::path image = fs::absolute(imagePath, error).lexically_normal();
  const fs::path folder = fs::absolute(dataPath, error).lexically_normal().parent_path();
  const fs::path relative = image.lexically_relative(folder);
  return (relative.empty() ? image : relative).generic_string();
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
