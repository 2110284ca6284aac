#pragma once

#include <string>
#include <vector>

#include "sheet/sheet_plan.h"

// The names every data file gives a sheet's frames and animations, made in
// one place so that all formats agree.

// The frames of one animation: a run of the plan's indices when they lie in
// order there, as on a grid, so that no list grows with the frames; else
// listed.
class FrameIndices {
 public:
  FrameIndices() = default;
  FrameIndices(int first, int count) : first_(first), count_(count) {}
  explicit FrameIndices(std::vector<int> listed)
      : listed_(std::move(listed)), count_(int(listed_.size())) {}
  int operator[](std::size_t i) const { return listed_.empty() ? first_ + int(i) : listed_[i]; }
  std::size_t size() const { return std::size_t(count_); }
  bool empty() const { return count_ == 0; }
  int front() const { return (*this)[0]; }
  int back() const { return (*this)[size() - 1]; }
  // One run of indices, each the last plus one.
  bool IsRun() const {
    for (std::size_t i = 1; i < listed_.size(); ++i) {
      if (listed_[i] != listed_[i - 1] + 1) return false;
    }
    return true;
  }

  struct Iterator {
    const FrameIndices* of;
    std::size_t i;
    int operator*() const { return (*of)[i]; }
    Iterator& operator++() { return ++i, *this; }
    bool operator!=(const Iterator& other) const { return i != other.i; }
  };
  Iterator begin() const { return {this, 0}; }
  Iterator end() const { return {this, size()}; }

 private:
  std::vector<int> listed_;
  int first_ = 0;
  int count_ = 0;
};

// An animation's name and its frames, as indices into the plan's
// placements, in the order they play.
struct Animation {
  std::string name;
  FrameIndices frames;
};

// Without picture stems: frame k `<imageStem>_<k>` and one animation per
// picture, "spin" for one, "spin_<p>" for picture p of several. A fleet:
// `<picture stem>_<k>` and one animation per picture, named after it. An
// animation: `<imageStem>_<k>_<j>` (angle k, animation frame j), one
// animation `<imageStem>_<k>` per angle, and "spin" of frame 0 at every
// angle. Numbers are zero-padded to the width of the last one. Names are
// made as they are asked for; the plan must outlive the namer.
class FrameNamer {
 public:
  FrameNamer(const SheetPlan& plan, std::string imageStem);
  // The name of the plan's frame k.
  std::string operator()(int k) const;
  // One animation per picture, or per angle then spin, in that order.
  std::vector<Animation> Animations() const;

 private:
  std::string AnimationName(int key) const;

  const SheetPlan& plan_;
  std::string stem_;
  int lastFrame_ = 0;
  int lastPicture_ = 0;
};
