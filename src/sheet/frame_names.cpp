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

SheetNames NameFrames(const SheetPlan& plan, const std::string& imageStem) {
  SheetNames names;
  int lastFrame = 0, lastPicture = 0;
  for (const Placement& p : plan.placements) {
    lastFrame = std::max(lastFrame, p.frame);
    lastPicture = std::max(lastPicture, p.picture);
  }
  // Animations in the order their first frame comes.
  std::map<std::string, std::size_t> byName;
  const auto addTo = [&](const std::string& animation, int index) {
    const auto [at, added] = byName.try_emplace(animation, names.animations.size());
    if (added) names.animations.push_back({animation, {}});
    names.animations[at->second].second.push_back(index);
  };
  std::vector<int> spin;
  for (const Placement& p : plan.placements) {
    const int index = int(names.frames.size());
    if (plan.pictureStems.empty()) {
      names.frames.push_back(imageStem + "_" + Padded(p.frame, lastFrame));
      addTo("spin", index);
    } else if (!plan.animation) {
      const std::string& stem = plan.pictureStems[std::size_t(p.picture)];
      names.frames.push_back(stem + "_" + Padded(p.frame, lastFrame));
      addTo(stem, index);
    } else {
      const std::string angle = imageStem + "_" + Padded(p.frame, lastFrame);
      names.frames.push_back(angle + "_" + Padded(p.picture, lastPicture));
      addTo(angle, index);
      if (p.picture == 0) spin.push_back(index);
    }
  }
  if (plan.animation) {
    // Angle by angle, as the frames turn.
    std::sort(spin.begin(), spin.end(), [&](int a, int b) {
      return plan.placements[std::size_t(a)].frame < plan.placements[std::size_t(b)].frame;
    });
    names.animations.push_back({"spin", std::move(spin)});
  }
  return names;
}
