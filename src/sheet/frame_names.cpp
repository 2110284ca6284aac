#include "sheet/frame_names.h"

#include <algorithm>
#include <map>

namespace {

std::string Padded(int number, int last) {
  const std::string digits = std::to_string(number);
  const std::size_t width = std::to_string(last).size();
  return std::string(width - std::min(width, digits.size()), '0') + digits;
}

}  // namespace

FrameNamer::FrameNamer(const SheetPlan& plan, std::string imageStem)
    : plan_(plan), stem_(std::move(imageStem)) {
  for (const Placement& p : plan.placements) {
    lastFrame_ = std::max(lastFrame_, p.frame);
    lastPicture_ = std::max(lastPicture_, p.picture);
  }
}

std::string FrameNamer::AnimationName(int key) const {
  if (plan_.animation) return stem_ + "_" + Padded(key, lastFrame_);
  if (!plan_.pictureStems.empty()) return plan_.pictureStems[std::size_t(key)];
  return lastPicture_ > 0 ? "spin_" + std::to_string(key) : "spin";
}

std::string FrameNamer::operator()(int k) const {
  const Placement& p = plan_.placements[std::size_t(k)];
  if (plan_.animation) return AnimationName(p.frame) + "_" + Padded(p.picture, lastPicture_);
  if (!plan_.pictureStems.empty()) return AnimationName(p.picture) + "_" + Padded(p.frame, lastFrame_);
  return stem_ + "_" + Padded(k, plan_.Frames() - 1);
}

std::vector<Animation> FrameNamer::Animations() const {
  // Which animation a frame is of, and where in it it plays.
  const auto key = [this](int k) {
    const Placement& p = plan_.placements[std::size_t(k)];
    return plan_.animation ? p.frame : p.picture;
  };
  const auto order = [this](int k) {
    const Placement& p = plan_.placements[std::size_t(k)];
    return plan_.animation ? p.picture : p.frame;
  };
  std::vector<Animation> animations;
  // As a grid lays them, each animation's frames are one run, in order,
  // the animations one after another: no list is made.
  bool runs = plan_.Frames() > 0 && key(0) == 0 && order(0) == 0;
  for (int k = 1; k < plan_.Frames() && runs; ++k) {
    runs = (key(k) == key(k - 1) && order(k) == order(k - 1) + 1) ||
           (key(k) == key(k - 1) + 1 && order(k) == 0);
  }
  if (runs) {
    for (int first = 0, k = 1; k <= plan_.Frames(); ++k) {
      if (k == plan_.Frames() || key(k) != key(first)) {
        animations.push_back({AnimationName(key(first)), FrameIndices(first, k - first)});
        first = k;
      }
    }
  } else {
    // Placements of one animation may interleave with others'; each keeps
    // its own order.
    std::map<int, std::vector<int>> listed;
    for (int k = 0; k < plan_.Frames(); ++k) listed[key(k)].push_back(k);
    for (auto& [which, frames] : listed) {
      std::stable_sort(frames.begin(), frames.end(),
                       [&order](int a, int b) { return order(a) < order(b); });
      animations.push_back({AnimationName(which), FrameIndices(std::move(frames))});
    }
  }
  if (plan_.animation) {
    // Frame 0 angle by angle, as the sheet turns.
    std::vector<int> spin;
    for (int k = 0; k < plan_.Frames(); ++k) {
      if (plan_.placements[std::size_t(k)].picture == 0) spin.push_back(k);
    }
    std::stable_sort(spin.begin(), spin.end(), [this](int a, int b) {
      return plan_.placements[std::size_t(a)].frame < plan_.placements[std::size_t(b)].frame;
    });
    animations.push_back({"spin", FrameIndices(std::move(spin))});
  }
  return animations;
}
