#pragma once

#include <cstddef>
#include <cstdint>

#include "core/color.h"

// Quantising to 256 colours may move a colour the user chose, such as the
// fill, to a neighbour, or give its entry to pixels of other colours; the
// mask, which compares exactly, then disagrees with the file.
//
// Mends a quantised picture so that `color` has one palette entry of its
// own holding it exactly: the pixels of `source` (bytesPerPixel 3 or 4,
// red first) that have the colour point there, and no other pixel points to
// an entry of that colour. `indices` are the quantised pixels, in the same
// order; `palette` holds 256 red-green-blue entries, those no pixel uses
// free. Other pixels keep their entries, but for those moved off an entry
// of that colour and, when every entry is taken, those of the one entry
// folded into its nearest neighbour to make room. False when nothing had to
// change.
bool KeepColorExact(const std::uint8_t* source, int bytesPerPixel, std::uint8_t* indices,
                    std::size_t pixelCount, std::uint8_t* palette, const Rgb& color);
