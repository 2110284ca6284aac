#pragma once

#include <cstddef>
#include <string>
#include <vector>

// The plan of a sheet: how big it is and, one entry per frame, which
// picture and frame go where. Whoever lays frames out (the grid today, a
// packer later) makes one; the sheet builder and every data writer only
// read it, so a new layout needs no change to either.

struct Rect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  bool operator==(const Rect&) const = default;
};
using FrameRect = Rect;

// One frame of the sheet.
//
// The full frame is what the turned picture is drawn into: fullWidth x
// fullHeight, the picture centred. `inFrame` is the part of it the sheet
// keeps, at `sheet`, the same size: all of it when untrimmed; a trimmer
// shrinks both to the pixels that show. Several pictures may have full
// frames of different sizes.
struct Placement {
  int picture = 0;  // which input picture, 0 the first
  int frame = 0;    // which of that picture's frames, 0 the first
  int angle = 0;    // degrees the frame is turned, 0 to 359
  Rect sheet;       // where its pixels lie in the sheet
  Rect inFrame;     // which part of the full frame those pixels are
  int fullWidth = 0;
  int fullHeight = 0;
  // The point the frame turns about, as a fraction of the full frame's
  // width and height from its top-left corner: 0.5, 0.5 its centre.
  double pivotX = 0.5;
  double pivotY = 0.5;

  bool Trimmed() const { return inFrame != Rect{0, 0, fullWidth, fullHeight}; }
  bool operator==(const Placement&) const = default;
};

// Placements never overlap and lie wholly inside the sheet.
struct SheetPlan {
  int width = 0;  // the whole sheet
  int height = 0;
  std::vector<Placement> placements;

  // What the grid chose, for messages and checks; nothing that draws or
  // writes reads these, and other layouts may leave them 0 or empty.
  std::vector<int> angles;  // placements[k].angle
  int frameWidth = 0;       // every full frame's size
  int frameHeight = 0;
  int columns = 0;
  int rows = 0;

  // What the data files name frames after: empty for one picture's sheet
  // (frames after the sheet's own name); else each picture's name, as a
  // fleet of pictures or, with `animation`, as the frames of one animation.
  std::vector<std::string> pictureStems;
  bool animation = false;
  bool premultiplied = false;  // the sheet's colours are multiplied by alpha

  int Frames() const { return int(placements.size()); }
  const Rect& Frame(int k) const { return placements[std::size_t(k)].sheet; }
  // True when the frames cover every pixel of the sheet.
  bool FramesFillSheet() const {
    long long covered = 0;
    for (const Placement& p : placements) covered += (long long)p.sheet.width * p.sheet.height;
    return covered == (long long)width * height;
  }
};
