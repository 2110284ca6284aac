#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "sheet/sheet_plan.h"
#include "sheet/strip_options.h"

// The grid layout: where each frame of a sheet lands, how big the sheet is
// and how far each frame is turned, a pure function of the picture's size
// and the options, known before a byte of the sheet is allocated.

// The angle of every frame: the start, then further steps of 360 / N the
// usual way round or, with reverse, the other way; each step the whole part
// of the running single-precision sum or, with exactAngles, k * 360 / N
// rounded. All brought into 0 to 359.
std::vector<int> FrameAngles(const StripOptions& options);

// The size that holds a width x height picture turned by each of `angles`
// whole: the largest box around the turned rectangle, or around what our
// own `method` makes of it.
void FitFrameSize(int width, int height, const std::vector<int>& angles, TurnMethod method,
                  int& fitWidth, int& fitHeight);

// Why the grid cannot be laid out as `options` say, whatever the picture:
// no frames, negative gaps, more columns than frames, an empty frame size.
// Empty when it can.
std::string GridProblem(const StripOptions& options);

// A reason the caller refuses a sheet of these sides (the format it is
// saved in cannot hold it), or empty.
using SheetSizeCheck = std::function<std::string(int width, int height)>;

// The grid plan of the sheet of a width x height picture: frame k of
// picture 0 at column k mod C, row k div C, every frame whole and the same
// size, spacing between and margin around, C given or the fewest that keep
// within the largest side, the sheet padded to powers of two when asked.
// False with a reason when the options contradict each other or the sheet
// would be too large to hold (`bytesPerPixel` a pixel) or `fits` refuses it.
// Impossible sheets are refused from arithmetic before any frame's angle is
// stored.
bool PlanSheet(int width, int height, const StripOptions& options, int bytesPerPixel,
               SheetPlan& plan, std::string* reason = nullptr, const SheetSizeCheck& fits = {});

// The running angle of the next frame: a single-precision sum of 360 / N
// steps. Frame k turns by its whole part, which is sometimes one degree less
// than that of k * 360 / N.
float NextRunningAngle(float angle, int frames);

// The least power of two at least `side`.
std::int64_t PowerOfTwoAtLeast(std::int64_t side);

// A grid sheet's sides: its widest row `cellsWide` pixels of cells in
// `columns` columns, its `rows` rows `cellsTall` pixels of cells in all;
// spacing between cells, margin around, powers of two when asked.
struct SheetSides {
  std::int64_t width = 0, height = 0;
};
SheetSides GridSides(std::int64_t cellsWide, int columns, std::int64_t cellsTall, std::int64_t rows,
                     const StripOptions& options);
