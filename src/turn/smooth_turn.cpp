#include "turn/smooth_turn.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

namespace {

// Sub-pixel positions are taken to 1/256 of a pixel: far finer than the
// 0.05 pixel a spin may wander, and the weights of every phase are made once.
constexpr int kPhases = 256;

// Four channels at once; the compiler keeps the order of every sum, so each
// frame comes out the same whichever thread makes it.
using Channels = SmoothTurner::Channels;

int Radius(SmoothKernel kernel) {
  return kernel == SmoothKernel::kLanczos3 ? 3 : 2;
}

double Sinc(double x) {
  if (x == 0) return 1;
  const double px = std::numbers::pi * x;
  return std::sin(px) / px;
}

double Weight(SmoothKernel kernel, double x) {
  x = std::abs(x);
  switch (kernel) {
    case SmoothKernel::kCatmullRom:
      if (x < 1) return (1.5 * x - 2.5) * x * x + 1;
      if (x < 2) return ((-0.5 * x + 2.5) * x - 4) * x + 2;
      return 0;
    case SmoothKernel::kLanczos2:
      return x < 2 ? Sinc(x) * Sinc(x / 2) : 0;
    case SmoothKernel::kLanczos3:
      break;
  }
  return x < 3 ? Sinc(x) * Sinc(x / 3) : 0;
}

// Counted as the library counts turns; quarter turns exactly, so that they
// move whole pixels and blend nothing.
void CosSin(int turn, double& c, double& s) {
  static constexpr double kQuarter[4][2] = {{1, 0}, {0, 1}, {-1, 0}, {0, -1}};
  if (turn % 90 == 0) {
    c = kQuarter[turn / 90][0], s = kQuarter[turn / 90][1];
    return;
  }
  const double radians = turn * std::numbers::pi / 180.0;
  c = std::cos(radians), s = std::sin(radians);
}

// Rounds the first `count` channels to bytes, each brought into 0 to 255.
void StoreBytes(Channels value, std::uint8_t* out, int count) {
  typedef int Whole __attribute__((vector_size(16)));
  const Channels zero = {}, top = zero + 255.0f;
  value = value < zero ? zero : value;
  value = value > top ? top : value;
  const Whole bytes = __builtin_convertvector(value + 0.5f, Whole);
  for (int i = 0; i < count; ++i) out[i] = std::uint8_t(bytes[i]);
}

// Two pixels side by side, or one weight for each's four channels.
typedef float Pair __attribute__((vector_size(32)));

// The filtered premultiplied pixel whose taps start at `taps`: 2 x `Radius`
// rows of as many columns, each row `stride` padded pixels after the one
// before. Columns go in pairs, so that processors with eight-lane vectors
// take two taps a step; the sums are the same on any processor.
template <int Radius>
__attribute__((always_inline)) inline Channels Filter(const Channels* taps, std::size_t stride,
                                                      const Channels* across,
                                                      const Channels* down) {
  Pair weights[Radius];
  for (int m = 0; m < Radius; ++m) {
    weights[m] = __builtin_shufflevector(across[2 * m], across[2 * m + 1], 0, 1, 2, 3, 4, 5, 6, 7);
  }
  Pair sum = {};
#pragma GCC unroll 6
  for (int j = 0; j < 2 * Radius; ++j, taps += stride) {
    Pair row = {};
#pragma GCC unroll 3
    for (int m = 0; m < Radius; ++m) {
      Pair two;
      std::memcpy(&two, taps + 2 * m, sizeof two);
      row += weights[m] * two;
    }
    sum += __builtin_shufflevector(down[j], down[j], 0, 1, 2, 3, 0, 1, 2, 3) * row;
  }
  return __builtin_shufflevector(sum, sum, 0, 1, 2, 3) +
         __builtin_shufflevector(sum, sum, 4, 5, 6, 7);
}

}  // namespace

BlockSize SmoothTurnedSize(int width, int height, long long degrees, SmoothKernel kernel) {
  const int turn = WholeTurn(-degrees);
  if (turn % 90 == 0) {
    // Whole pixels land on whole pixels when the turned sides keep the
    // parity of the upright ones: the turned picture then fits exactly.
    const BlockSize turned = turn % 180 == 0 ? BlockSize{width, height} : BlockSize{height, width};
    if ((turned.width - width) % 2 == 0) return turned;
  }
  double c, s;
  CosSin(turn, c, s);
  c = std::abs(c), s = std::abs(s);
  // A pixel's filter reaches radius - 1/2 pixels past the picture's edge.
  const double reach = Radius(kernel) - 0.5;
  const double halfWidth = width / 2.0 + reach, halfHeight = height / 2.0 + reach;
  // Pixel centres strictly within `half` of the centre on either side, in
  // a block of the given parity centred there.
  const auto cover = [](double half, int parity) {
    int size = int(std::ceil(2 * half - 1 - 1e-9));
    return size + ((size - parity) & 1);
  };
  return {cover(halfWidth * c + halfHeight * s, width),
          cover(halfWidth * s + halfHeight * c, height)};
}

SmoothTurner::SmoothTurner(const Image& picture, SmoothKernel kernel)
    : width_(picture.Width()),
      height_(picture.Height()),
      radius_(Radius(kernel)),
      pad_(2 * radius_),
      stride_(std::size_t(width_) + 2 * pad_) {
  const std::size_t rows = std::size_t(height_) + 2 * pad_;
  premultiplied_ = std::make_unique<Channels[]>(rows * stride_);
  // Other depths stay transparent: the sheet builder refuses them.
  const int bpp = picture.BytesPerPixel();
  for (int y = 0; y < height_ && (bpp == 3 || bpp == 4); ++y) {
    const std::uint8_t* in = picture.Pixels() + std::size_t(y) * picture.RowBytes();
    Channels* out = premultiplied_.get() + (y + pad_) * stride_ + pad_;
    for (int x = 0; x < width_; ++x, in += bpp, ++out) {
      const int a = bpp == 4 ? in[3] : 255;
      *out = Channels{float(in[0] * a), float(in[1] * a), float(in[2] * a), float(a * 255)};
    }
  }
  // Whether the filter's window with its first tap at each padded pixel
  // meets any pixel that is not wholly transparent: where it meets none the
  // sum is zero, and the frame takes the fill without filtering.
  const std::size_t count = rows * stride_;
  const int taps = 2 * radius_;
  std::vector<std::uint8_t> across(count, 0);
  for (std::size_t i = 0; i + taps <= count; ++i) {
    for (int k = 0; k < taps && !across[i]; ++k) across[i] = premultiplied_[i + k][3] > 0;
  }
  reaches_ = std::make_unique<std::uint8_t[]>(count);
  for (std::size_t i = 0; i + (taps - 1) * stride_ < count; ++i) {
    for (int j = 0; j < taps && !reaches_[i]; ++j) reaches_[i] = across[i + j * stride_];
  }
  // Each phase's weights sum to exactly one, so that a flat colour stays
  // flat; whole-pixel phases are exact.
  weights_ = std::make_unique<Channels[]>(std::size_t(kPhases + 1) * taps);
  for (int phase = 0; phase <= kPhases; ++phase) {
    Channels* w = weights_.get() + std::size_t(phase) * taps;
    const double t = double(phase) / kPhases;
    double total = 0;
    for (int k = 0; k < taps; ++k) total += Weight(kernel, t + radius_ - 1 - k);
    for (int k = 0; k < taps; ++k) {
      const double distance = t + radius_ - 1 - k;
      const float weight = distance == std::round(distance)
                               ? (distance == 0 ? 1.0f : 0.0f)
                               : float(Weight(kernel, distance) / total);
      w[k] = Channels{weight, weight, weight, weight};
    }
  }
}

// Each frame pixel's centre is turned back about the picture's centre and
// the picture is filtered there; pixels the filter does not reach take the
// fill row.
// Made twice, for processors with eight-lane vectors and for the rest.
__attribute__((target_clones("avx2", "default"))) void SmoothTurner::Turn(
    long long degrees, const FrameCanvas& canvas) const {
  double c, s;
  CosSin(WholeTurn(-degrees), c, s);
  const double pivotX = CentredStart(canvas.width, width_) + width_ / 2.0;
  const double pivotY = CentredStart(canvas.height, height_) + height_ / 2.0;
  const double lowX = 0.5 - radius_, highX = width_ - 0.5 + radius_;
  const double lowY = 0.5 - radius_, highY = height_ - 0.5 + radius_;
  const int bpp = canvas.bytesPerPixel, taps = 2 * radius_;
  for (int y = 0; y < canvas.height; ++y) {
    std::uint8_t* out = canvas.pixels + std::size_t(y) * canvas.stride;
    const std::uint8_t* fillPixel = canvas.fillRow;
    const double v = y + 0.5 - pivotY;
    const double rowX = s * v + width_ / 2.0, rowY = c * v + height_ / 2.0;
    for (int x = 0; x < canvas.width; ++x, out += bpp, fillPixel += bpp) {
      const double u = x + 0.5 - pivotX;
      const double sx = c * u + rowX, sy = rowY - s * u;
      if (!(sx > lowX && sx < highX && sy > lowY && sy < highY)) {
        std::memcpy(out, fillPixel, bpp);
        continue;
      }
      // The nearest column at or left of the sample, and how far past it;
      // within the filter's reach both are above -radius.
      const double fx = sx - 0.5, fy = sy - 0.5;
      const int ix = int(fx + radius_) - radius_, iy = int(fy + radius_) - radius_;
      const int phaseX = int((fx - ix) * kPhases + 0.5), phaseY = int((fy - iy) * kPhases + 0.5);
      const std::size_t start =
          std::size_t(iy + 1 - radius_ + pad_) * stride_ + std::size_t(ix + 1 - radius_ + pad_);
      if (!reaches_[start]) {
        std::memcpy(out, fillPixel, bpp);
        continue;
      }
      const Channels* first = premultiplied_.get() + start;
      const Channels* across = weights_.get() + std::size_t(phaseX) * taps;
      const Channels* down = weights_.get() + std::size_t(phaseY) * taps;
      const Channels sum = radius_ == 3 ? Filter<3>(first, stride_, across, down)
                                        : Filter<2>(first, stride_, across, down);
      // Alpha times 255 times 255 in sum[3]; colours times alpha in the
      // rest. Multiplied by reciprocals: a division costs several products.
      if (bpp == 4) {
        const float a = sum[3] * (1.0f / 255.0f);
        if (!(a >= 0.5f)) {
          std::memcpy(out, fillPixel, bpp);
          continue;
        }
        Channels colour = sum * (255.0f / sum[3]);
        colour[3] = a;
        StoreBytes(colour, out, 4);
      } else {
        // No colour brighter than its alpha allows, lest ringing lighten it.
        const float a = std::clamp(sum[3] * (1.0f / 65025.0f), 0.0f, 1.0f);
        const Channels zero = {}, most = zero + 255.0f * a;
        Channels colour = sum * (1.0f / 255.0f);
        colour = colour < zero ? zero : colour;
        colour = colour > most ? most : colour;
        const Channels fill = {float(fillPixel[0]), float(fillPixel[1]), float(fillPixel[2]), 0};
        StoreBytes(colour + fill * (1.0f - a), out, 3);
      }
    }
  }
}
