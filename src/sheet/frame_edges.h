#pragma once

#include <vector>

#include "core/color.h"
#include "core/image.h"
#include "sheet/sheet_plan.h"

// What is done to a built sheet's pixels so that frames cut tight and drawn
// with filtering show no seams: the visible part of each frame, rings of
// repeated edge pixels, colour under transparent pixels, premultiplied alpha.

// The smallest rectangle of `area` (within `image`) holding every visible
// pixel: alpha above 0 at 4 bytes per pixel, a colour other than `fill` at
// 3. Empty (0 x 0) when none is visible.
Rect VisibleBox(const Image& image, const Rect& area, const Rgb& fill);

// Cuts each placement of `plan` (whole frames of `image`) to its visible
// box, visible against its picture's fill: `pictureFills[picture]` when
// given, else `fill`. `inFrame` the box within the full frame, `sheet` the same
// pixels where they already lie. A frame with nothing visible keeps its
// top-left pixel, 1 x 1.
void TrimPlacements(const Image& image, SheetPlan& plan, const Rgb& fill,
                    const std::vector<Rgb>& pictureFills = {});

// Repeats each placement's edge pixels `ring` pixels outward; the space
// around every frame must hold them.
void ExtrudeFrames(Image& sheet, const SheetPlan& plan, int ring);

// Gives every pixel of alpha 0 the colour of the nearest pixel whose alpha
// is above 0 (4 bytes per pixel), alpha left 0. Nothing when none is.
void BleedColours(Image& sheet);

// Multiplies each pixel's colour by its alpha, rounded (4 bytes per pixel).
void PremultiplyAlpha(Image& sheet);
