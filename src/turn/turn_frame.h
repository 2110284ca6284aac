#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "core/image.h"

// What every turning method shares: where a frame is drawn, and how.

// How each frame is turned: by the image library, by our own methods for
// pixel art, which only ever move whole pixels of the picture, so that no
// colour appears that the picture lacks and one-pixel outlines hold, or
// smoothly for painted art (see smooth_turn.h).
enum class TurnMethod { kLibrary, kRotSprite, kShear, kSmooth };

// The names options and settings use, and their list for messages.
std::string_view TurnMethodName(TurnMethod method);
std::optional<TurnMethod> TurnMethodNamed(std::string_view name);
inline constexpr const char* kTurnMethodList = "library, rotsprite, shear, smooth";

struct BlockSize {
  int width = 0;
  int height = 0;
  bool operator==(const BlockSize&) const = default;
};

// An angle in whole degrees brought into 0 to 359.
inline int WholeTurn(long long degrees) { return int(((degrees % 360) + 360) % 360); }

// Where a block `turned` pixels long starts when centred on `canvas` pixels:
// the rule every frame follows, whichever method turned it.
inline int CentredStart(int canvas, int turned) { return canvas / 2 - turned / 2; }

// One frame's place in the sheet: `height` rows of `width` pixels, each row
// `stride` bytes after the one before.
struct FrameCanvas {
  std::uint8_t* pixels = nullptr;
  int width = 0;
  int height = 0;
  std::size_t stride = 0;
  int bytesPerPixel = 3;
  const std::uint8_t* fillRow = nullptr;  // `width` pixels of the fill
};

// A way of turning a picture into a frame: draws `picture` turned by
// `degrees` (0 to 359) centred on `canvas`, at the canvas's halves rounded
// down less the turned picture's, cropped to it, and every pixel it does not
// reach in the fill. False with a reason.
using TurnFrame = std::function<bool(const Image& picture, int degrees, const FrameCanvas& canvas,
                                     std::string* reason)>;

// Pictures narrower or shorter than 2 pixels are not turned; true, with a
// reason, for such a picture.
bool TooSmallToTurn(const Image& image, std::string* reason);
