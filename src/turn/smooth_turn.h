#pragma once

#include <cstdint>
#include <memory>

#include "core/image.h"
#include "turn/turn_frame.h"

// Turning for painted and rendered art: every frame pixel is resampled from
// the picture through a reconstruction filter, in premultiplied alpha, with
// the picture's centre at the same sub-pixel place in every frame, so soft
// edges keep their colour and a spin does not wobble.

// The filters on offer; the method uses kSmoothKernel, the others are kept
// for measuring it against them.
enum class SmoothKernel { kCatmullRom, kLanczos2, kLanczos3 };
inline constexpr SmoothKernel kSmoothKernel = SmoothKernel::kLanczos3;

// The smallest block that holds every pixel the filter reaches of a width x
// height picture turned by `degrees`, of the picture's own parity each way,
// so that its centre lands on the block's centre.
BlockSize SmoothTurnedSize(int width, int height, long long degrees,
                           SmoothKernel kernel = kSmoothKernel);

class SmoothTurner {
 public:
  // A pixel's four channels, or one weight four times over: vectors the
  // compiler keeps in vector registers.
  typedef float Channels __attribute__((vector_size(16)));

  // `picture` has 3 or 4 bytes per pixel and need not outlive the turner.
  // Throws std::bad_alloc when memory runs out.
  explicit SmoothTurner(const Image& picture, SmoothKernel kernel = kSmoothKernel);

  // Draws the picture turned by `degrees` the way the frames turn, its
  // centre where the upright picture's centre lands on `canvas`, and the
  // canvas's fill row wherever nothing reaches. A canvas of 4 bytes per
  // pixel keeps the alpha; on one of 3 each pixel is laid over the fill row
  // once turned. Safe on many threads at once.
  void Turn(long long degrees, const FrameCanvas& canvas) const;

 private:
  int width_, height_;
  int radius_;
  // The picture premultiplied, exactly: red, green and blue times alpha and
  // alpha times 255, four floats a pixel, bordered with `pad_` transparent
  // pixels each side.
  int pad_;
  std::size_t stride_;  // padded pixels in a row
  std::unique_ptr<Channels[]> premultiplied_;
  // For each padded pixel, whether the filter's window starting there meets
  // the picture.
  std::unique_ptr<std::uint8_t[]> reaches_;
  // The filter's 2 x radius weights for each of kPhases + 1 sub-pixel phases,
  // each four times over to meet four channels.
  std::unique_ptr<Channels[]> weights_;
};
