#include "image/smooth_turn.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

namespace {

// Sub-pixel positions are taken to 1/256 of a pixel: far finer than the
// 0.05 pixel a spin may wander, and the weights of every phase are made once.
constexpr int kPhases = 256;

// Four channels at once; the compiler turns these into vector instructions
// and keeps the order of every sum, so each frame comes out the same
// whichever thread makes it.
typedef float Channels __attribute__((vector_size(16)));
typedef std::uint16_t PackedChannels __attribute__((vector_size(8)));

int Radius(SmoothKernel kernel) { return kernel == SmoothKernel::kLanczos3 ? 3 : 2; }

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

std::uint8_t Byte(float value) {
  return std::uint8_t(std::clamp(value, 0.0f, 255.0f) + 0.5f);
}

// The filtered premultiplied pixel whose taps start at `taps`: `Radius`
// rows of columns, each row `stride` padded pixels after the one before.
template <int Radius>
Channels Filter(const std::uint16_t* taps, std::size_t stride, const float* across,
                const float* down) {
  Channels sum = {0, 0, 0, 0};
  for (int j = 0; j < 2 * Radius; ++j, taps += 4 * stride) {
    Channels row = {0, 0, 0, 0};
    for (int k = 0; k < 2 * Radius; ++k) {
      PackedChannels packed;
      std::memcpy(&packed, taps + 4 * k, sizeof packed);
      row += across[k] * __builtin_convertvector(packed, Channels);
    }
    sum += down[j] * row;
  }
  return sum;
}

}  // namespace

BlockSize SmoothTurnedSize(int width, int height, long long degrees, SmoothKernel kernel) {
  const int turn = WholeTurn(-degrees);
  if (turn % 90 == 0) {
    // Whole pixels land on whole pixels when the turned sides keep the
    // parity of the upright ones: the turned picture then fits exactly.
    const BlockSize turned =
        turn % 180 == 0 ? BlockSize{width, height} : BlockSize{height, width};
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
  premultiplied_ = std::make_unique<std::uint16_t[]>(rows * stride_ * 4);
  // Other depths stay transparent: the sheet builder refuses them.
  const int bpp = picture.BytesPerPixel();
  for (int y = 0; y < height_ && (bpp == 3 || bpp == 4); ++y) {
    const std::uint8_t* in = picture.Pixels() + std::size_t(y) * picture.RowBytes();
    std::uint16_t* out = premultiplied_.get() + ((y + pad_) * stride_ + pad_) * 4;
    for (int x = 0; x < width_; ++x, in += bpp, out += 4) {
      const unsigned a = bpp == 4 ? in[3] : 255;
      for (int c = 0; c < 3; ++c) out[c] = std::uint16_t(in[c] * a);
      out[3] = std::uint16_t(a * 255);
    }
  }
  // Each phase's weights sum to exactly one, so that a flat colour stays
  // flat; whole-pixel phases are exact.
  const int taps = 2 * radius_;
  weights_ = std::make_unique<float[]>(std::size_t(kPhases + 1) * taps);
  for (int phase = 0; phase <= kPhases; ++phase) {
    float* w = weights_.get() + std::size_t(phase) * taps;
    const double t = double(phase) / kPhases;
    double total = 0;
    for (int k = 0; k < taps; ++k) total += Weight(kernel, t + radius_ - 1 - k);
    for (int k = 0; k < taps; ++k) {
      const double distance = t + radius_ - 1 - k;
      w[k] = distance == std::round(distance) ? (distance == 0 ? 1.0f : 0.0f)
                                              : float(Weight(kernel, distance) / total);
    }
  }
}

// Each frame pixel's centre is turned back about the picture's centre and
// the picture is filtered there; pixels the filter does not reach take the
// fill row.
void SmoothTurner::Turn(long long degrees, const FrameCanvas& canvas) const {
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
      // The nearest column at or left of the sample, and how far past it.
      const double fx = sx - 0.5, fy = sy - 0.5;
      const int ix = int(std::floor(fx)), iy = int(std::floor(fy));
      const int phaseX = int((fx - ix) * kPhases + 0.5), phaseY = int((fy - iy) * kPhases + 0.5);
      const std::uint16_t* first =
          premultiplied_.get() +
          ((std::size_t(iy + 1 - radius_ + pad_)) * stride_ + std::size_t(ix + 1 - radius_ + pad_)) *
              4;
      const float* across = weights_.get() + std::size_t(phaseX) * taps;
      const float* down = weights_.get() + std::size_t(phaseY) * taps;
      const Channels sum = radius_ == 3 ? Filter<3>(first, stride_, across, down)
                                        : Filter<2>(first, stride_, across, down);
      // Alpha times 255 times 255 in sum[3]; colours times 255 in the rest.
      if (bpp == 4) {
        const float a = sum[3] / 255.0f;
        if (!(a >= 0.5f)) {
          std::memcpy(out, fillPixel, bpp);
          continue;
        }
        for (int i = 0; i < 3; ++i) out[i] = Byte(255.0f * sum[i] / sum[3]);
        out[3] = Byte(a);
      } else {
        const float a = std::clamp(sum[3] / 65025.0f, 0.0f, 1.0f);
        for (int i = 0; i < 3; ++i) {
          const float colour = std::clamp(sum[i] / 255.0f, 0.0f, 255.0f * a);
          out[i] = Byte(colour + fillPixel[i] * (1.0f - a));
        }
      }
    }
  }
}
