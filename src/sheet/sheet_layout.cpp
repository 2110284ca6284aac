#include "sheet/sheet_layout.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <new>

#include "core/image.h"
#include "core/reasons.h"
#include "turn/pixel_turns.h"

namespace {

template <typename Each>
void ForEachFrameAngle(const StripOptions& options, Each each) {
  const int sign = options.reverse ? -1 : 1;
  float running = 0.0f;
  for (int k = 0; k < options.frames; ++k) {
    const long long step =
        options.exactAngles ? std::llround(double(k) * 360.0 / options.frames) : (long long)running;
    each(WholeTurn(options.startDegrees + sign * step));
    running = NextRunningAngle(running, options.frames);
  }
}

}  // namespace

std::vector<int> FrameAngles(const StripOptions& options) {
  std::vector<int> angles;
  angles.reserve(std::size_t(std::max(options.frames, 0)));
  ForEachFrameAngle(options, [&](int angle) { angles.push_back(angle); });
  return angles;
}

void FitFrameSize(int width, int height, const std::vector<int>& angles, TurnMethod method,
                  int& fitWidth, int& fitHeight) {
  fitWidth = fitHeight = 0;
  for (int angle : angles) {
    if (method != TurnMethod::kLibrary) {
      const BlockSize size = TurnedSize(method, width, height, angle);
      fitWidth = std::max(fitWidth, size.width);
      fitHeight = std::max(fitHeight, size.height);
      continue;
    }
    const double turn = angle * M_PI / 180.0;
    const double c = std::fabs(std::cos(turn)), s = std::fabs(std::sin(turn));
    // Rounding error must not add a column to a quarter turn.
    const auto side = [](double extent) { return int(std::ceil(extent - 1e-6)); };
    fitWidth = std::max(fitWidth, side(width * c + height * s));
    fitHeight = std::max(fitHeight, side(width * s + height * c));
  }
}

std::int64_t PowerOfTwoAtLeast(std::int64_t side) {
  std::int64_t power = 1;
  while (power < side) power *= 2;
  return power;
}

SheetSides GridSides(std::int64_t cellsWide, int columns, std::int64_t cellsTall, std::int64_t rows,
                     const StripOptions& options) {
  SheetSides sides{
      2 * std::int64_t(options.margin) + cellsWide + (columns - 1) * std::int64_t(options.spacing),
      2 * std::int64_t(options.margin) + cellsTall + (rows - 1) * std::int64_t(options.spacing)};
  if (options.powerOfTwo) {
    sides = {PowerOfTwoAtLeast(sides.width), PowerOfTwoAtLeast(sides.height)};
  }
  return sides;
}

namespace {

// The sides of a grid of `frames` equal cells in `columns` columns.
SheetSides SheetSidesOf(int frames, int frameWidth, int frameHeight, const StripOptions& options,
                        int columns) {
  const std::int64_t rows = (frames + std::int64_t(columns) - 1) / columns;
  return GridSides(columns * std::int64_t(frameWidth), columns, rows * std::int64_t(frameHeight),
                   rows, options);
}

std::string Size(std::int64_t width, std::int64_t height) {
  return std::to_string(width) + " x " + std::to_string(height);
}

}  // namespace

std::string GridProblem(const StripOptions& options) {
  if (options.frames < 1) return "the number of frames must be at least 1";
  if (options.spacing < 0 || options.margin < 0) return "spacing and margin cannot be negative";
  if (options.maxSize <= 0 && options.columns > options.frames) {
    return std::to_string(options.columns) + " columns are more than the " +
           std::to_string(options.frames) + " frames";
  }
  if (options.maxSize <= 0 && options.columns < 1) return "the number of columns must be at least 1";
  if (options.frameSize.kind == FrameSize::Kind::kGiven &&
      (options.frameSize.width < 1 || options.frameSize.height < 1)) {
    return "a frame must be at least 1 x 1 pixels";
  }
  return {};
}

namespace {

// Columns, rows and the sheet's sides for the plan's frame size; false with
// a reason when the sheet cannot be held, or `fits` refuses its sides.
bool LayOut(const StripOptions& options, int bytesPerPixel, SheetPlan& plan, std::string* reason,
            const SheetSizeCheck& fits) {
  if (plan.frameWidth < 1 || plan.frameHeight < 1) {
    SetReason(reason, "a frame must be at least 1 x 1 pixels");
    return false;
  }
  int columns = options.columns;
  if (options.maxSize > 0) {
    columns = 0;
    for (int c = 1; c <= options.frames && columns == 0; ++c) {
      const SheetSides sides =
          SheetSidesOf(options.frames, plan.frameWidth, plan.frameHeight, options, c);
      if (sides.width <= options.maxSize && sides.height <= options.maxSize) columns = c;
      if (sides.width > options.maxSize) break;  // wider with every column
    }
    if (columns == 0) {
      SetReason(reason, "no layout of " + std::to_string(options.frames) + " frames of " +
                            Size(plan.frameWidth, plan.frameHeight) + " pixels fits within " +
                            std::to_string(options.maxSize) + " pixels a side");
      return false;
    }
  }
  const SheetSides sides =
      SheetSidesOf(options.frames, plan.frameWidth, plan.frameHeight, options, columns);
  if (sides.width > INT_MAX || sides.height > INT_MAX) {
    SetReason(reason, "the sheet would be " + Size(sides.width, sides.height) +
                          " pixels; at most " + std::to_string(INT_MAX) +
                          " rows or columns can be held");
    return false;
  }
  // Both sides are at most 2^31, so the product cannot overflow 64 bits.
  const std::uint64_t bytes =
      std::uint64_t(sides.width) * std::uint64_t(sides.height) * std::uint64_t(bytesPerPixel);
  if (bytes > kMaxLibraryImageBytes) {
    SetReason(reason, "the sheet would be " + Size(sides.width, sides.height) + " pixels, " +
                          std::to_string(bytes) +
                          " bytes; DevIL holds less than 4 GiB in one picture");
    return false;
  }
  if (fits) {
    if (const std::string refusal = fits(int(sides.width), int(sides.height)); !refusal.empty()) {
      SetReason(reason, refusal);
      return false;
    }
  }
  plan.columns = columns;
  plan.rows = int((options.frames + std::int64_t(columns) - 1) / columns);
  plan.width = int(sides.width);
  plan.height = int(sides.height);
  return true;
}

bool PlanGrid(int width, int height, const StripOptions& options, int bytesPerPixel,
              SheetPlan& plan, std::string* reason, const SheetSizeCheck& fits) {
  if (const std::string problem = GridProblem(options); !problem.empty()) {
    SetReason(reason, problem);
    return false;
  }
  // A frame holds at least the picture's shorter side each way, whatever
  // it is turned by: far too many frames are refused from arithmetic alone.
  const int least = std::min(width, height);
  const bool given = options.frameSize.kind == FrameSize::Kind::kGiven;
  const std::int64_t leastWidth = given ? options.frameSize.width : least;
  const std::int64_t leastHeight = given ? options.frameSize.height : least;
  if (double(options.frames) * double(leastWidth) * double(leastHeight) * bytesPerPixel >
      double(kMaxLibraryImageBytes)) {
    SetReason(reason, std::to_string(options.frames) + " frames of " + (given ? "" : "at least ") +
                          Size(leastWidth, leastHeight) +
                          " pixels would take more than 4 GiB; DevIL holds less than 4 GiB in "
                          "one picture");
    return false;
  }
  plan = SheetPlan{};
  switch (options.frameSize.kind) {
    case FrameSize::Kind::kKeep:
      plan.frameWidth = width, plan.frameHeight = height;
      break;
    case FrameSize::Kind::kFit: {
      // The first frame's fit first: a sheet too large with it is refused
      // before the angles of every frame are counted.
      FitFrameSize(width, height, {WholeTurn(options.startDegrees)}, options.method,
                   plan.frameWidth, plan.frameHeight);
      if (!LayOut(options, bytesPerPixel, plan, reason, fits)) return false;
      bool seen[360] = {};
      ForEachFrameAngle(options, [&](int angle) { seen[angle] = true; });
      std::vector<int> distinct;
      for (int angle = 0; angle < 360; ++angle) {
        if (seen[angle]) distinct.push_back(angle);
      }
      FitFrameSize(width, height, distinct, options.method, plan.frameWidth, plan.frameHeight);
      break;
    }
    case FrameSize::Kind::kGiven:
      plan.frameWidth = options.frameSize.width, plan.frameHeight = options.frameSize.height;
      break;
  }
  if (!LayOut(options, bytesPerPixel, plan, reason, fits)) return false;
  // Only a sheet that can be held stores its angles.
  plan.angles = FrameAngles(options);
  const int columns = plan.columns;
  plan.placements.reserve(plan.angles.size());
  for (int k = 0; k < options.frames; ++k) {
    Placement p;
    p.frame = k;
    p.angle = plan.angles[std::size_t(k)];
    p.sheet = {options.margin + (k % columns) * (plan.frameWidth + options.spacing),
               options.margin + (k / columns) * (plan.frameHeight + options.spacing),
               plan.frameWidth, plan.frameHeight};
    p.inFrame = {0, 0, plan.frameWidth, plan.frameHeight};
    p.fullWidth = plan.frameWidth;
    p.fullHeight = plan.frameHeight;
    plan.placements.push_back(p);
  }
  return true;
}

}  // namespace

bool PlanSheet(int width, int height, const StripOptions& options, int bytesPerPixel,
               SheetPlan& plan, std::string* reason, const SheetSizeCheck& fits) {
  try {
    return PlanGrid(width, height, options, bytesPerPixel, plan, reason, fits);
  } catch (const std::bad_alloc&) {
    plan = SheetPlan{};
    SetReason(reason, "not enough memory to plan " + std::to_string(options.frames) + " frames");
    return false;
  }
}

float NextRunningAngle(float angle, int frames) {
  return float(double(360.0f) / frames + double(angle));
}
