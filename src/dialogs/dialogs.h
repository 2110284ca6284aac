#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "window/window_layer.h"

// The settings dialogs and the About box, each modal over `owner` on the
// layer `instance`. Each commits its values itself through the application
// state's setters; all return true whatever happened.

bool ShowFrameNumberDialog(WindowLayer* instance, WindowHandle owner, int count);
bool ShowSaveOptionsDialog(WindowLayer* instance, WindowHandle owner, bool compressed,
                           bool eightBit, bool mask);
bool ShowFillColorDialog(WindowLayer* instance, WindowHandle owner, const Rgb& color);
bool ShowAboutDialog(WindowLayer* instance, WindowHandle owner);

// A dialog field's text read as an unsigned 32-bit decimal number, the way
// desktop dialogs read their number fields: spaces before the digits are
// passed over, and so are spaces after them, which hide nothing; no digits,
// any other character (a sign, a letter, a space between digits) or a value
// above 4294967295 is no number.
std::optional<std::uint32_t> ReadUnsignedNumber(std::string_view text);
