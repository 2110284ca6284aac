#pragma once

#include "core/color.h"
#include "core/image.h"
#include "sheet/sheet_layout.h"

// Pictures and measures for judging smooth turning, shared by its bench and
// its tests.

// A width x height picture, 4 bytes per pixel, of one colour: a ship-like
// shape (a hull off centre, one wing) whose edges fade out over two pixels,
// so that its alpha takes many values between 0 and 255.
Image SoftShape(int width, int height, const Rgb& colour);

// The alpha-weighted centre of a block of a 4-byte picture, from the
// block's top-left corner, pixel centres at halves; `mass` the alpha summed.
struct Centre {
  double x = 0, y = 0, mass = 0;
};
Centre AlphaCentre(const Image& picture, const FrameRect& block);

// Where an exact turn by `degrees`, the way frames turn, puts the centre
// `upright` of a width x height picture on a frame of frameWidth x
// frameHeight whose pivot is the upright picture's centre as frames centre it.
Centre TurnedCentre(const Centre& upright, int width, int height, int degrees, int frameWidth,
                    int frameHeight);

// The largest distance of any partly transparent pixel's colour from
// `colour`, in levels: 0 where soft edges keep the shape's colour.
int FringeLevels(const Image& picture, const Rgb& colour);
