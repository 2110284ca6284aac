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
  const bool fleet = !plan.pictureStems.empty() && !plan.animation;
  // Animations one per picture, or one per angle, in that order whatever
  // order the layout placed their frames in.
  std::map<int, Animation> byKey;
  std::vector<int> spin;
  for (int k = 0; k < plan.Frames(); ++k) {
    const Placement& p = plan.placements[std::size_t(k)];
    std::string name;
    if (plan.animation) {
      name = imageStem + "_" + Padded(p.frame, lastFrame);
      names.frames.push_back(name + "_" + Padded(p.picture, lastPicture));
      if (p.picture == 0) spin.push_back(k);
    } else if (fleet) {
      name = plan.pictureStems[std::size_t(p.picture)];
      names.frames.push_back(name + "_" + Padded(p.frame, lastFrame));
    } else {
      name = lastPicture > 0 ? "spin_" + std::to_string(p.picture) : "spin";
      names.frames.push_back(imageStem + "_" + Padded(k, plan.Frames() - 1));
    }
    Animation& animation = byKey[plan.animation ? p.frame : p.picture];
    animation.name = std::move(name);
    animation.frames.push_back(k);
  }
  const auto order = [&plan](int k) {
    const Placement& p = plan.placements[std::size_t(k)];
    return plan.animation ? p.picture : p.frame;
  };
  for (auto& [key, animation] : byKey) {
    std::stable_sort(animation.frames.begin(), animation.frames.end(),
                     [&order](int a, int b) { return order(a) < order(b); });
    names.animations.push_back(std::move(animation));
  }
  if (plan.animation) {
    // Frame 0 angle by angle, as the sheet turns.
    std::stable_sort(spin.begin(), spin.end(), [&plan](int a, int b) {
      return plan.placements[std::size_t(a)].frame < plan.placements[std::size_t(b)].frame;
    });
    names.animations.push_back({"spin", std::move(spin)});
  }
  return names;
}
