#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "image/image.h"

class WorkerPool;

// How each frame is turned: by the image library, or by our own methods for
// pixel art, which only ever move whole pixels of the picture, so that no
// colour appears that the picture lacks and one-pixel outlines hold.
enum class TurnMethod { kLibrary, kRotSprite, kShear };

// The names options and settings use, and their list for messages.
std::string_view TurnMethodName(TurnMethod method);
std::optional<TurnMethod> TurnMethodNamed(std::string_view name);
inline constexpr const char* kTurnMethodList = "library, rotsprite, shear";

// A frame's rectangle inside a larger block of pixels, such as a sheet.
struct FrameBlock {
  std::uint8_t* pixels;  // its top-left pixel
  std::size_t rowBytes;  // from one row of the larger block to the next
  int width;
  int height;
};

// The whole of an image as a frame.
FrameBlock WholeBlock(Image& image);

struct BlockSize {
  int width = 0;
  int height = 0;
  bool operator==(const BlockSize&) const = default;
};

// Where a block `turned` pixels long starts when centred on `canvas` pixels:
// the rule every frame follows, whichever method turned it.
inline int CentredStart(int canvas, int turned) { return canvas / 2 - turned / 2; }

// RotSprite holds the picture enlarged 8 x 8 times, 4 bytes a pixel: checks
// that this stays within what one picture may take.
bool CheckEnlargement(int width, int height, std::string* reason = nullptr);

// Turns one picture by RotSprite or three shears. Whole quarter turns are
// the exact turns with either. Made once per strip (RotSprite's enlargement
// is made here, on the pool); then Turn may run on many threads at once.
class PixelTurner {
 public:
  // `picture` has 1 to 4 bytes per pixel (with 4, the last is alpha and every
  // fully transparent pixel counts as one colour) and outlives the turner.
  // Throws std::bad_alloc when memory runs out; call CheckEnlargement first.
  PixelTurner(const Image& picture, TurnMethod method, WorkerPool& pool);

  // The smallest block that holds the whole picture turned by `angle`.
  BlockSize TurnedSize(long long angle) const;

  // Draws the picture turned by `angle` whole degrees, with the library's
  // sign (by -90 the picture's top-right pixel lands top left), centred on
  // `frame`, and `fill` (bytes of one pixel) wherever nothing lands. Writes
  // nothing outside the frame.
  void Turn(long long angle, const std::uint8_t* fill, FrameBlock frame) const;

 private:
  void TurnExactly(int turn, const std::uint8_t* fill, FrameBlock frame) const;
  void TurnByRotSprite(int turn, const std::uint8_t* fill, FrameBlock frame) const;
  void TurnByShears(int turn, const std::uint8_t* fill, FrameBlock frame) const;

  const Image& picture_;
  TurnMethod method_;
  // RotSprite's 8 x 8 enlargement, one packed pixel per entry.
  std::vector<std::uint32_t> enlarged_;
};
