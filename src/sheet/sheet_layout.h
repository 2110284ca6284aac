#pragma once

#include <functional>
#include <string>
#include <vector>

#include "sheet/strip_options.h"

// Where each frame of a sheet lands, how big the sheet is and how far each
// frame is turned: a pure function of the picture's size and the options,
// shared by the sheet builder, the data file and their callers, and known
// before a byte of the sheet is allocated.

struct FrameRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
};

struct SheetPlan {
  std::vector<int> angles;  // degrees frame k is turned, 0 to 359
  int frameWidth = 0;
  int frameHeight = 0;
  int columns = 1;
  int rows = 0;
  int spacing = 0;
  int margin = 0;
  int width = 0;  // the whole sheet
  int height = 0;

  int Frames() const { return int(angles.size()); }
  FrameRect Frame(int k) const;
  // True when the frames cover every pixel of the sheet.
  bool FramesFillSheet() const;
};

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

// A reason the caller refuses a sheet of these sides (the format it is
// saved in cannot hold it), or empty.
using SheetSizeCheck = std::function<std::string(int width, int height)>;

// The plan of the sheet of a width x height picture, or false with a reason
// when the options contradict each other, the sheet would be too large to
// hold (`bytesPerPixel` a pixel) or `fits` refuses it. Impossible sheets are
// refused from arithmetic before any frame's angle is stored.
bool PlanSheet(int width, int height, const StripOptions& options, int bytesPerPixel,
               SheetPlan& plan, std::string* reason = nullptr, const SheetSizeCheck& fits = {});

// The running angle of the next frame: a single-precision sum of 360 / N
// steps. Frame k turns by its whole part, which is sometimes one degree less
// than that of k * 360 / N.
float NextRunningAngle(float angle, int frames);
