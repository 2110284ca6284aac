#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "image/frame_strip.h"
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

// The smallest block that holds the whole of a width x height picture turned
// by `degrees` with RotSprite or three shears: what a fitted frame must hold.
BlockSize TurnedSize(TurnMethod method, int width, int height, long long degrees);

// Draws the picture turned exactly by `degrees`, a multiple of 90, the way
// the frames turn (by 90 its top-right pixel lands top left), centred on
// `canvas`. The canvas's fill row is read only where the turned picture
// leaves part of the canvas uncovered.
void DrawExactTurn(const Image& picture, long long degrees, const FrameCanvas& canvas);

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
  // Without `enlarge`, RotSprite turns only by quarter turns.
  PixelTurner(const Image& picture, TurnMethod method, WorkerPool& pool, bool enlarge = true);

  // Draws the picture turned by `degrees` the way the frames turn, centred
  // on `canvas` as TurnedSize measures it, and the fill wherever nothing
  // lands. Writes nothing outside the canvas.
  void Turn(long long degrees, const FrameCanvas& canvas) const;

 private:
  void TurnByRotSprite(int turn, const FrameCanvas& canvas) const;
  void TurnByShears(int turn, const FrameCanvas& canvas) const;

  const Image& picture_;
  TurnMethod method_;
  // RotSprite's 8 x 8 enlargement, one packed pixel per entry.
  std::unique_ptr<std::uint32_t[]> enlarged_;
};
