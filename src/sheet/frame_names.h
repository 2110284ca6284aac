#pragma once

#include <string>
#include <vector>

#include "sheet/sheet_plan.h"

// The names every data file gives a sheet's frames and animations, made in
// one place so that all formats agree.

// An animation's name and its frames, as indices into the plan's
// placements, in the order they play.
struct Animation {
  std::string name;
  std::vector<int> frames;
};

struct SheetNames {
  std::vector<std::string> frames;  // one per placement, in the plan's order
  std::vector<Animation> animations;
};

// Without picture stems: frame k `<imageStem>_<k>` and one animation per
// picture, "spin" for one, "spin_<p>" for picture p of several. A fleet:
// `<picture stem>_<k>` and one animation per picture, named after it. An
// animation: `<imageStem>_<k>_<j>` (angle k, animation frame j), one
// animation `<imageStem>_<k>` per angle, and "spin" of frame 0 at every
// angle. Numbers are zero-padded to the width of the last one.
SheetNames NameFrames(const SheetPlan& plan, const std::string& imageStem);
