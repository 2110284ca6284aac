#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "turn/turn_frame.h"
#include "core/image.h"

class WorkerPool;

// The smallest block that holds the whole of a width x height picture turned
// by `degrees` with one of our own methods: what a fitted frame must hold.
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
