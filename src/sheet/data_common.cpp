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
  // One picture's frames in order, as the grid lays them: one run.
  const auto inOrder = [&plan] {
    for (int k = 0; k < plan.Frames(); ++k) {
      const Placement& p = plan.placements[std::size_t(k)];
      if (p.picture != 0 || p.frame != k) return false;
    }
    return true;
  };
  if (pictures <= 1 && inOrder()) {
    animations.front().frames = FrameIndices(0, plan.Frames());
    return animations;
  }
  // Placements of one picture may interleave with others'; each keeps its
  // frame order.
  std::vector<std::vector<int>> listed(animations.size());
  for (int k = 0; k < plan.Frames(); ++k) {
    listed[std::size_t(plan.placements[std::size_t(k)].picture)].push_back(k);
  }
  for (std::size_t a = 0; a < animations.size(); ++a) {
    std::stable_sort(listed[a].begin(), listed[a].end(), [&plan](int x, int y) {
      return plan.placements[std::size_t(x)].frame < plan.placements[std::size_t(y)].frame;
    });
    animations[a].frames = FrameIndices(std::move(listed[a]));
  }
  return animations;
}

int FrameMilliseconds(int fps) {
  return int(std::lround(1000.0 / std::max(fps, 1)));
}
