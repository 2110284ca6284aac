#include "sheet/fleet_layout.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <new>

#include "core/image.h"
#include "core/reasons.h"
#include "sheet/sheet_layout.h"

namespace {

BlockSize FullFrame(const BlockSize& picture, const std::vector<int>& angles,
                    const StripOptions& options) {
  switch (options.frameSize.kind) {
    case FrameSize::Kind::kKeep:
      return picture;
    case FrameSize::Kind::kGiven:
      return {options.frameSize.width, options.frameSize.height};
    case FrameSize::Kind::kFit:
      break;
  }
  BlockSize fit;
  FitFrameSize(picture.width, picture.height, angles, options.method, fit.width, fit.height);
  return fit;
}

SheetSides BlockSides(const std::vector<Placement>& frames, int perBlock, int columns,
                      const StripOptions& options) {
  const std::int64_t rowsPerBlock = (perBlock + columns - 1) / columns;
  std::int64_t widest = 0, rows = 0, tall = 0;
  for (std::size_t first = 0; first < frames.size(); first += std::size_t(perBlock)) {
    const Placement& p = frames[first];
    widest = std::max(widest, columns * std::int64_t(p.fullWidth));
    rows += rowsPerBlock;
    tall += rowsPerBlock * p.fullHeight;
  }
  return GridSides(widest, columns, tall, rows, options);
}

std::string Size(std::int64_t width, std::int64_t height) {
  return std::to_string(width) + " x " + std::to_string(height);
}

}  // namespace

int FramesPerBlock(int pictures, const StripOptions& options, bool animation) {
  return animation ? pictures : options.frames;
}

std::vector<Placement> ListFleetFrames(const std::vector<BlockSize>& sizes,
                                       const StripOptions& options, bool animation) {
  const std::vector<int> angles = FrameAngles(options);
  std::vector<BlockSize> full;
  for (const BlockSize& size : sizes) full.push_back(FullFrame(size, angles, options));
  std::vector<Placement> frames;
  const auto add = [&](int picture, int k) {
    const BlockSize& f = full[std::size_t(picture)];
    Placement p;
    p.picture = picture, p.frame = k, p.angle = angles[std::size_t(k)];
    p.sheet = p.inFrame = {0, 0, f.width, f.height};
    p.fullWidth = f.width, p.fullHeight = f.height;
    frames.push_back(p);
  };
  const int pictures = int(sizes.size());
  for (int outer = 0; outer < (animation ? options.frames : pictures); ++outer) {
    for (int inner = 0; inner < (animation ? pictures : options.frames); ++inner) {
      animation ? add(inner, outer) : add(outer, inner);
    }
  }
  return frames;
}

bool PlanRowBlocks(std::vector<Placement> frames, int perBlock, const StripOptions& options,
                   int bytesPerPixel, SheetPlan& plan, std::string* reason) {
  if (frames.empty() || perBlock < 1 || options.spacing < 0 || options.margin < 0) {
    SetReason(reason, "there are no frames to lay out");
    return false;
  }
  int columns = std::min(options.columns, perBlock);
  if (options.maxSize > 0) {
    columns = 0;
    for (int c = 1; c <= perBlock && columns == 0; ++c) {
      const SheetSides sides = BlockSides(frames, perBlock, c, options);
      if (sides.width <= options.maxSize && sides.height <= options.maxSize) columns = c;
      if (sides.width > options.maxSize) break;  // wider with every column
    }
    if (columns == 0) {
      SetReason(reason, "no layout of " + std::to_string(frames.size()) + " frames fits within " +
                            std::to_string(options.maxSize) + " pixels a side");
      return false;
    }
  }
  const SheetSides sides = BlockSides(frames, perBlock, std::max(columns, 1), options);
  if (sides.width > INT_MAX || sides.height > INT_MAX ||
      std::uint64_t(sides.width) * std::uint64_t(sides.height) * std::uint64_t(bytesPerPixel) >
          kMaxLibraryImageBytes) {
    SetReason(reason, "the sheet would be " + Size(sides.width, sides.height) +
                          " pixels; DevIL holds less than 4 GiB in one picture");
    return false;
  }
  plan = SheetPlan{};
  int top = options.margin;
  for (std::size_t first = 0; first < frames.size(); first += std::size_t(perBlock)) {
    const int width = frames[first].fullWidth, height = frames[first].fullHeight;
    const std::size_t end = std::min(frames.size(), first + std::size_t(perBlock));
    for (std::size_t i = first; i < end; ++i) {
      const int k = int(i - first);
      frames[i].sheet = {options.margin + (k % columns) * (width + options.spacing),
                         top + (k / columns) * (height + options.spacing), width, height};
    }
    top += ((perBlock + columns - 1) / columns) * (height + options.spacing);
  }
  plan.width = int(sides.width);
  plan.height = int(sides.height);
  plan.columns = columns;
  plan.placements = std::move(frames);
  for (const Placement& p : plan.placements) plan.angles.push_back(p.angle);
  return true;
}

bool PlanFleet(const std::vector<BlockSize>& sizes, const std::vector<std::string>& stems,
               const StripOptions& options, bool animation, SheetPlan& plan, std::string* reason) {
  if (options.frames < 1 || sizes.empty()) {
    SetReason(reason, "the number of frames and of pictures must be at least 1");
    return false;
  }
  // Each frame holds at least the shorter side of its picture: far too many
  // frames are refused before they are listed.
  double least = 0;
  for (const BlockSize& size : sizes) {
    const double side =
        options.frameSize.kind == FrameSize::Kind::kGiven
            ? double(options.frameSize.width) * options.frameSize.height
            : double(std::min(size.width, size.height)) * std::min(size.width, size.height);
    least += side * options.frames * (options.alpha ? 4 : 3);
  }
  if (least > double(kMaxLibraryImageBytes)) {
    SetReason(reason, std::to_string(options.frames) + " frames of " +
                          std::to_string(sizes.size()) +
                          " pictures would take more than 4 GiB; DevIL holds less than 4 GiB in "
                          "one picture");
    return false;
  }
  try {
    if (!PlanRowBlocks(ListFleetFrames(sizes, options, animation),
                       FramesPerBlock(int(sizes.size()), options, animation), options,
                       options.alpha ? 4 : 3, plan, reason)) {
      return false;
    }
    plan.pictureStems = stems;
    plan.animation = animation;
    return true;
  } catch (const std::bad_alloc&) {
    plan = SheetPlan{};
    SetReason(reason, "not enough memory to plan the frames");
    return false;
  }
}
