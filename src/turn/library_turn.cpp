#include "turn/library_turn.h"

#include <cstring>
#include <functional>
#include <new>
#include <vector>

#include "core/reasons.h"
#include "devil/library.h"
#include "turn/pixel_turns.h"

namespace {

// A turned picture as rows of pixels, wherever it is held.
struct TurnedView {
  const std::uint8_t* pixels;
  int width;
  int height;
};

// The part of a turned picture that lands on a width x height canvas when it
// is centred there: columns [x, x + w) and rows [y, y + h) of the canvas take
// the block that starts at column sx, row sy of the turned picture.
struct Block {
  int x, y, sx, sy, w, h;
};

Block CentreOnCanvas(int canvasWidth, int canvasHeight, int turnedWidth, int turnedHeight) {
  return {CentredStart(canvasWidth, turnedWidth),
          CentredStart(canvasHeight, turnedHeight),
          0,
          0,
          turnedWidth,
          turnedHeight};
}

// Clips a block placed at (x, y) to a canvas, as a paste does. Worked in 64
// bits so that no position overflows; a block wholly outside comes back with
// no width or height.
Block Clip(Block block, int canvasWidth, int canvasHeight) {
  long long x = block.x, y = block.y, w = block.w, h = block.h, sx = 0, sy = 0;
  if (x < 0) {
    w += x;
    sx = -x;
    x = 0;
  }
  if (y < 0) {
    h += y;
    sy = -y;
    y = 0;
  }
  if (x + w > canvasWidth) w = canvasWidth - x;
  if (y + h > canvasHeight) h = canvasHeight - y;
  if (w <= 0 || h <= 0) return {0, 0, 0, 0, 0, 0};
  return {int(x), int(y), int(sx), int(sy), int(w), int(h)};
}

// Turns the library gets wrong are made here. It corrupts memory on a
// quarter or three-quarter turn of a picture whose sides differ, and it
// answers every half turn with a mirror image (rows upside down, columns left
// as they were). Pixels move as the library moves them where it is right:
// by -90 degrees out(x, y) = in(W - 1 - y, x), by -270 out(x, y) =
// in(y, H - 1 - x), and by 180 out(x, y) = in(W - 1 - x, H - 1 - y).
bool TurnedHere(int width, int height, long long angle) {
  const int turn = WholeTurn(angle);
  return turn == 180 || (width != height && (turn == 90 || turn == 270));
}

// Turns `source` exactly by `angle`, the library's way, into `out`, a block
// the turned picture's own size.
void TurnHere(const Image& source, long long angle, std::uint8_t* out) {
  const bool half = WholeTurn(angle) == 180;
  const int bpp = source.BytesPerPixel();
  const int width = half ? source.Width() : source.Height();
  const int height = half ? source.Height() : source.Width();
  DrawExactTurn(source, -angle,
                FrameCanvas{out, width, height, std::size_t(width) * bpp, bpp, nullptr});
}


// Between 90 and 270 degrees (other than 180) the library's turn comes back
// on a canvas too tall or too wide, the picture in its top rows or left
// columns, so a centred frame loses part of the ship. From -90 to 90 its
// canvas is right: such turns are an exact half turn here, then the library's
// turn by the rest.
bool HalfTurnFirst(long long angle) {
  const int turn = WholeTurn(angle);
  return turn > 90 && turn < 270 && turn != 180;
}

// Turns `source` by `angle` degrees, by the library or, for the turns it
// gets wrong, into `own`, and hands the turned pixels to `use`. A turn that
// starts with a half turn starts from `halfTurned`, the source turned by
// half, made there when empty. False when the library fails.
bool TurnPicture(const Image& source, long long angle, std::vector<std::uint8_t>& own,
                 std::vector<std::uint8_t>& halfTurned,
                 const std::function<void(const TurnedView&)>& use) {
  const int width = source.Width(), height = source.Height(), bpp = source.BytesPerPixel();
  const auto pass = [&](const LibraryPixels& turned) {
    use({turned.pixels, turned.width, turned.height});
  };
  if (TurnedHere(width, height, angle)) {
    own.resize(source.ByteSize());
    TurnHere(source, angle, own.data());
    const bool half = WholeTurn(angle) == 180;
    use({own.data(), half ? width : height, half ? height : width});
    return true;
  }
  if (HalfTurnFirst(angle)) {
    if (halfTurned.empty()) {
      halfTurned.resize(source.ByteSize());
      TurnHere(source, 180, halfTurned.data());
    }
    return LibraryRotate(halfTurned.data(), width, height, bpp, float(WholeTurn(angle) - 180),
                         pass);
  }
  return LibraryRotate(source, float(angle), pass);
}

}  // namespace

bool TooSmallToTurn(const Image& image, std::string* reason) {
  if (image.Width() >= 2 && image.Height() >= 2) return false;
  SetReason(reason, "a picture must be at least 2 x 2 pixels to be turned; this one is " +
                        std::to_string(image.Width()) + " x " + std::to_string(image.Height()));
  return true;
}

bool RotateImage(Image& image, int degrees, bool keepSign, std::string* reason) {
  if (TooSmallToTurn(image, reason)) return false;
  const long long angle = keepSign ? (long long)degrees : -(long long)degrees;
  std::vector<std::uint8_t> own, halfTurned;
  bool held = true;
  const auto keep = [&](const TurnedView& turned) {
    try {
      if (image.BytesPerPixel() == 1 && image.GetPalette() != nullptr) {
        image.Set(image.GetName(), turned.pixels, turned.width, turned.height, 1,
                  *image.GetPalette());
      } else {
        image.Set(image.GetName(), turned.pixels, turned.width, turned.height,
                  image.BytesPerPixel());
      }
    } catch (const std::bad_alloc&) {
      held = false;
    }
  };
  if (!TurnPicture(image, angle, own, halfTurned, keep)) {
    SetReason(reason, "the picture could not be turned: " + LibraryError("DevIL refused"));
    return false;
  }
  if (!held) SetReason(reason, "not enough memory to turn the picture");
  return held;
}

bool LibraryTurnFrame(const Image& picture, int degrees, const FrameCanvas& canvas,
                      std::string* reason) {
  return LibraryTurner(picture).Turn(degrees, canvas, reason);
}

bool LibraryTurner::Turn(int degrees, const FrameCanvas& canvas, std::string* reason) {
  const int bpp = canvas.bytesPerPixel;
  const std::uint8_t* fill = canvas.fillRow;
  SetClearColor(fill[0], fill[1], fill[2], bpp == 4 ? fill[3] : 255);
  thread_local std::vector<std::uint8_t> own;
  const auto draw = [&](const TurnedView& turned) {
    const Block p =
        Clip(CentreOnCanvas(canvas.width, canvas.height, turned.width, turned.height),
             canvas.width, canvas.height);
    const std::size_t rowBytes = std::size_t(canvas.width) * bpp;
    const std::size_t turnedRowBytes = std::size_t(turned.width) * bpp;
    for (int row = 0; row < canvas.height; ++row) {
      std::uint8_t* out = canvas.pixels + std::size_t(row) * canvas.stride;
      if (p.w <= 0 || p.h <= 0 || row < p.y || row >= p.y + p.h) {
        std::memcpy(out, fill, rowBytes);
        continue;
      }
      const std::size_t left = std::size_t(p.x) * bpp;
      const std::size_t middle = std::size_t(p.w) * bpp;
      std::memcpy(out, fill, left);
      std::memcpy(
          out + left,
          turned.pixels + std::size_t(p.sy + row - p.y) * turnedRowBytes + std::size_t(p.sx) * bpp,
          middle);
      std::memcpy(out + left + middle, fill + left + middle, rowBytes - left - middle);
    }
  };
  if (!TurnPicture(picture_, -(long long)degrees, own, halfTurned_, draw)) {
    SetReason(reason, "the picture could not be turned by " + std::to_string(degrees) +
                          " degrees: " + LibraryError("DevIL refused"));
    return false;
  }
  return true;
}
