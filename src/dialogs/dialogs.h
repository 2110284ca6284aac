#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "engine/strip_pipeline.h"
#include "window/window_layer.h"

// The settings dialogs and the About box, each modal over `owner` on
// `layer`. A settings dialog starts from the values it is given and gives
// back the user's choice on OK, nothing otherwise; the caller commits it.

std::optional<int> ShowFrameNumberDialog(WindowLayer& layer, WindowHandle owner, int count);
// Sets depth, compression and mask; the other fields come back as given.
std::optional<SaveOptions> ShowSaveOptionsDialog(WindowLayer& layer, WindowHandle owner,
                                                 const SaveOptions& options);
std::optional<Rgb> ShowFillColorDialog(WindowLayer& layer, WindowHandle owner, const Rgb& color);
void ShowAboutDialog(WindowLayer& layer, WindowHandle owner);

// What the Sheet Options dialog sets: of the strip options, transparency,
// the frame size (kept or fitted), columns, spacing, the start angle, the
// direction and exact angles; and the data file's form. The other strip
// options come back as given.
struct SheetChoices {
  StripOptions strip;
  DataFormat data = DataFormat::kNone;
  int fps = kDefaultFps;  // the data file's animation speed
  NormalMapOptions normals{};  // the normal sheet Save As also writes; off while empty
  bool operator==(const SheetChoices&) const = default;
};
std::optional<SheetChoices> ShowSheetOptionsDialog(WindowLayer& layer, WindowHandle owner,
                                                   const SheetChoices& choices);

// A dialog field's text read as an unsigned 32-bit decimal number, the way
// desktop dialogs read their number fields: spaces before the digits are
// passed over, and so are spaces after them, which hide nothing; no digits,
// any other character (a sign, a letter, a space between digits) or a value
// above 4294967295 is no number.
std::optional<std::uint32_t> ReadUnsignedNumber(std::string_view text);
