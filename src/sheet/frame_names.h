#pragma once

#include <string>
#include <utility>
#include <vector>

#include "sheet/sheet_plan.h"

// The names data files give a sheet's frames and animations.
struct SheetNames {
  std::vector<std::string> frames;  // one per placement, in the plan's order
  // Each animation's name and its frames, as indices into `frames`.
  std::vector<std::pair<std::string, std::vector<int>>> animations;
};

// One picture's sheet: frames `<imageStem>_<k>` and "spin" of them all. A
// fleet: `<picture stem>_<k>` and one animation per picture, named after
// it. An animation: `<imageStem>_<k>_<j>` (angle k, animation frame j), one
// animation `<imageStem>_<k>` per angle, and "spin" of frame 0 at every
// angle. Numbers are zero-padded to the width of the last one.
SheetNames NameFrames(const SheetPlan& plan, const std::string& imageStem);
