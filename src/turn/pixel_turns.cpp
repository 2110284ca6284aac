#include "turn/pixel_turns.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

#include "core/reasons.h"
#include "turn/smooth_turn.h"
#include "turn/worker_pool.h"

namespace {

constexpr int kScale = 8;  // three doublings

double Radians(int degrees) { return degrees * std::numbers::pi / 180.0; }

// Pixels travel packed in 32 bits, first byte lowest, so that comparing two
// is one comparison whatever their depth.
std::uint32_t Pack(const std::uint8_t* pixel, int bytesPerPixel) {
  std::uint32_t value = 0;
  for (int b = 0; b < bytesPerPixel; ++b) value |= std::uint32_t(pixel[b]) << (8 * b);
  return value;
}

void Unpack(std::uint32_t value, int bytesPerPixel, std::uint8_t* pixel) {
  for (int b = 0; b < bytesPerPixel; ++b) pixel[b] = std::uint8_t(value >> (8 * b));
}

void Fill(const FrameCanvas& canvas) {
  const std::size_t rowBytes = std::size_t(canvas.width) * canvas.bytesPerPixel;
  for (int y = 0; y < canvas.height; ++y) {
    std::memcpy(canvas.pixels + std::size_t(y) * canvas.stride, canvas.fillRow, rowBytes);
  }
}

// One Scale2x doubling of rows [top, bottom) of a width x height picture.
// Beyond the edges a pixel's missing neighbours are the pixel itself.
void Scale2x(const std::uint32_t* in, int width, int height, int top, int bottom,
             std::uint32_t* out) {
  const std::size_t outWidth = std::size_t(width) * 2;
  for (int y = top; y < bottom; ++y) {
    const std::uint32_t* row = in + std::size_t(y) * width;
    const std::uint32_t* up = in + std::size_t(std::max(y - 1, 0)) * width;
    const std::uint32_t* down = in + std::size_t(std::min(y + 1, height - 1)) * width;
    std::uint32_t* out0 = out + std::size_t(y) * 2 * outWidth;
    std::uint32_t* out1 = out0 + outWidth;
    for (int x = 0; x < width; ++x) {
      const std::uint32_t e = row[x], b = up[x], h = down[x];
      const std::uint32_t d = row[std::max(x - 1, 0)], f = row[std::min(x + 1, width - 1)];
      std::uint32_t* o0 = out0 + 2 * x;
      std::uint32_t* o1 = out1 + 2 * x;
      if (b != h && d != f) {
        o0[0] = d == b ? d : e;
        o0[1] = b == f ? f : e;
        o1[0] = d == h ? d : e;
        o1[1] = h == f ? f : e;
      } else {
        o0[0] = o0[1] = o1[0] = o1[1] = e;
      }
    }
  }
}

// Paeth's three shears for a turn of at most a quarter either way, each
// moving whole rows or columns by rounded amounts. Positions are counted in
// half pixels from the picture's centre, so that the shears are odd
// functions: the sheared picture stays centred and a half turn before them
// is a half turn after them.
class Shears {
 public:
  Shears(int width, int height, int turn) : width_(width), height_(height) {
    int t = turn > 180 ? turn - 360 : turn;
    half_ = t > 90 || t < -90;
    if (half_) t -= t > 0 ? 180 : -180;
    const double alpha = -std::tan(Radians(t) / 2), beta = std::sin(Radians(t));
    // Each shift depends on one coordinate alone: worked out once for every
    // row and column the shears can reach, rather than for every pixel.
    const int across = width - 1 + std::abs(Shift(alpha, height - 1));
    const int down = height - 1 + std::abs(Shift(beta, across));
    acrossReach_ = across, downReach_ = down;
    columnShifts_.resize(std::size_t(across) + 1);
    for (int u = -across; u <= across; u += 2) columnShifts_[(u + across) / 2] = Shift(beta, u);
    rowShifts_.resize(std::size_t(down) + 1);
    for (int v = -down; v <= down; v += 2) rowShifts_[(v + down) / 2] = Shift(alpha, v);
  }

  // Calls place(x, y, column, row): pixel (x, y) of the picture lands at
  // (column, row) half pixels from the centre.
  template <typename Place>
  void ForEachPixel(Place place) const {
    for (int y = 0; y < height_; ++y) {
      const int v = 2 * y - (height_ - 1), shift = RowShift(v);
      for (int x = 0; x < width_; ++x) Land(x, y, v, shift, place);
    }
  }

  // The same for the pixels on the picture's edges alone. Every factor is
  // below 1, so neighbouring rows' (and columns') shifts differ by at most
  // a pixel: along a row the landing column never goes back, nor down a
  // column the landing row, and the outermost landings are all here.
  template <typename Place>
  void ForEachEdgePixel(Place place) const {
    const auto land = [&](int x, int y) {
      const int v = 2 * y - (height_ - 1);
      Land(x, y, v, RowShift(v), place);
    };
    for (int x = 0; x < width_; ++x) land(x, 0), land(x, height_ - 1);
    for (int y = 1; y < height_ - 1; ++y) land(0, y), land(width_ - 1, y);
  }

 private:
  // Pixel (x, y), on row v half pixels from the centre, which the first
  // shear moves by `shift`.
  template <typename Place>
  void Land(int x, int y, int v, int shift, Place& place) const {
    const int u1 = 2 * x - (width_ - 1) + shift;
    const int v2 = v + columnShifts_[(u1 + acrossReach_) / 2];
    const int u3 = u1 + RowShift(v2);
    if (half_) {
      place(x, y, -u3, -v2);
    } else {
      place(x, y, u3, v2);
    }
  }

  static int Shift(double factor, int halves) { return 2 * int(std::lround(factor * halves / 2)); }
  int RowShift(int v) const { return rowShifts_[(v + downReach_) / 2]; }

  int width_, height_;
  bool half_;
  int acrossReach_, downReach_;
  std::vector<int> columnShifts_, rowShifts_;
};

// Whether the picture turned by `turn` lies nearer across than upright: its
// centring then follows the parity of its height across the frame.
bool Sideways(int turn) { return turn % 180 > 45 && turn % 180 < 135; }

}  // namespace

std::string_view TurnMethodName(TurnMethod method) {
  switch (method) {
    case TurnMethod::kRotSprite:
      return "rotsprite";
    case TurnMethod::kShear:
      return "shear";
    case TurnMethod::kSmooth:
      return "smooth";
    case TurnMethod::kLibrary:
      break;
  }
  return "library";
}

std::optional<TurnMethod> TurnMethodNamed(std::string_view name) {
  for (TurnMethod method :
       {TurnMethod::kLibrary, TurnMethod::kRotSprite, TurnMethod::kShear, TurnMethod::kSmooth}) {
    if (name == TurnMethodName(method)) return method;
  }
  return std::nullopt;
}

bool CheckEnlargement(int width, int height, std::string* reason) {
  const std::uint64_t bytes = std::uint64_t(width) * std::uint64_t(height) * kScale * kScale * 4;
  if (bytes <= kMaxLibraryImageBytes) return true;
  SetReason(reason, "a picture of " + std::to_string(width) + " x " + std::to_string(height) +
                        " pixels is too large for rotsprite turning: enlarged 8 times it would "
                        "take " + std::to_string(bytes) + " bytes, and one picture may take at most " +
                        std::to_string(kMaxLibraryImageBytes));
  return false;
}

PixelTurner::PixelTurner(const Image& picture, TurnMethod method, WorkerPool& pool, bool enlarge)
    : picture_(picture), method_(method) {
  if (method_ != TurnMethod::kRotSprite || !enlarge) return;
  int width = picture.Width(), height = picture.Height();
  const int bpp = picture.BytesPerPixel();
  // Not value-initialised: every entry is written, and zeroing them first
  // would be one more pass over a megabyte, on one thread.
  const std::size_t count = std::size_t(width) * height;
  auto level = std::make_unique_for_overwrite<std::uint32_t[]>(count);
  for (std::size_t i = 0; i < count; ++i) level[i] = Pack(picture.Pixels() + i * bpp, bpp);
  std::uint32_t* const end = level.get() + count;
  if (bpp == 4) {
    // Every fully transparent pixel becomes the first of them, so that the
    // doublings see one colour where the eye sees none.
    const auto clear = [](std::uint32_t pixel) { return (pixel >> 24) == 0; };
    const auto first = std::find_if(level.get(), end, clear);
    if (first != end) std::replace_if(level.get(), end, clear, *first);
  }
  for (int pass = 0; pass < 3; ++pass) {
    auto doubled = std::make_unique_for_overwrite<std::uint32_t[]>(std::size_t(width) * height * 4);
    // Bands of rows, a few per thread, so that a slow thread holds no one up.
    const int bands = std::min(height, pool.Threads() * 4);
    pool.Run(bands, [&](int band) {
      Scale2x(level.get(), width, height, int(std::int64_t(height) * band / bands),
              int(std::int64_t(height) * (band + 1) / bands), doubled.get());
    });
    level = std::move(doubled);
    width *= 2;
    height *= 2;
  }
  enlarged_ = std::move(level);
}

BlockSize TurnedSize(TurnMethod method, int width, int height, long long degrees) {
  if (method == TurnMethod::kSmooth) return SmoothTurnedSize(width, height, degrees);
  const int turn = WholeTurn(-degrees);
  if (turn % 90 == 0) return turn % 180 == 0 ? BlockSize{width, height} : BlockSize{height, width};
  if (method == TurnMethod::kShear) {
    int across = 0, down = 0;
    Shears(width, height, turn).ForEachEdgePixel([&](int, int, int u, int v) {
      across = std::max(across, u);
      down = std::max(down, v);
    });
    return {across + 1, down + 1};  // the sheared picture is symmetric about its centre
  }
  // RotSprite covers the pixels whose centres fall inside the turned
  // rectangle; a block of the centring's parity around it holds them all.
  const double c = std::abs(std::cos(Radians(turn))), s = std::abs(std::sin(Radians(turn)));
  const bool sideways = Sideways(turn);
  const auto cover = [](double extent, int parity) {
    int size = int(std::ceil(extent - 1e-9));
    return size + ((size - parity) & 1);
  };
  return {cover(width * c + height * s, sideways ? height : width),
          cover(width * s + height * c, sideways ? width : height)};
}

void PixelTurner::Turn(long long degrees, const FrameCanvas& canvas) const {
  // Below, turns are counted as the library counts them, the other way.
  const int turn = WholeTurn(-degrees);
  if (turn % 90 == 0) {
    DrawExactTurn(picture_, degrees, canvas);
  } else if (method_ == TurnMethod::kRotSprite) {
    TurnByRotSprite(turn, canvas);
  } else {
    TurnByShears(turn, canvas);
  }
}

// Counted as the library counts turns: by 90 out(x, y) = in(y, H - 1 - x),
// by 270 out(x, y) = in(W - 1 - y, x), by 180 out(x, y) = in(W - 1 - x,
// H - 1 - y).
void DrawExactTurn(const Image& picture, long long degrees, const FrameCanvas& canvas) {
  const int turn = WholeTurn(-degrees);
  const int width = picture.Width(), height = picture.Height(), bpp = picture.BytesPerPixel();
  const BlockSize turned = turn % 180 == 0 ? BlockSize{width, height} : BlockSize{height, width};
  const int left = CentredStart(canvas.width, turned.width);
  const int top = CentredStart(canvas.height, turned.height);
  for (int y = 0; y < canvas.height; ++y) {
    std::uint8_t* out = canvas.pixels + std::size_t(y) * canvas.stride;
    const std::uint8_t* fill = canvas.fillRow;
    const int ty = y - top;
    for (int x = 0; x < canvas.width; ++x, out += bpp, fill += bpp) {
      const int tx = x - left;
      if (tx < 0 || ty < 0 || tx >= turned.width || ty >= turned.height) {
        std::memcpy(out, fill, bpp);
        continue;
      }
      int inX = tx, inY = ty;
      if (turn == 180) {
        inX = width - 1 - tx, inY = height - 1 - ty;
      } else if (turn == 90) {
        inX = ty, inY = height - 1 - tx;
      } else if (turn == 270) {
        inX = width - 1 - ty, inY = tx;
      }
      std::memcpy(out, picture.Pixels() + (std::size_t(inY) * width + inX) * bpp, bpp);
    }
  }
}

// Each frame pixel's centre is turned back about the picture's centre and
// takes the enlarged picture's pixel under it: nothing is blended.
void PixelTurner::TurnByRotSprite(int turn, const FrameCanvas& canvas) const {
  const int width = picture_.Width(), height = picture_.Height(), bpp = picture_.BytesPerPixel();
  const bool sideways = Sideways(turn);
  const int across = sideways ? height : width, down = sideways ? width : height;
  const double centreX = CentredStart(canvas.width, across) + across / 2.0;
  const double centreY = CentredStart(canvas.height, down) + down / 2.0;
  const double c = std::cos(Radians(turn)), s = std::sin(Radians(turn));
  const std::size_t bigWidth = std::size_t(width) * kScale;
  const double limitX = width, limitY = height;
  for (int y = 0; y < canvas.height; ++y) {
    std::uint8_t* out = canvas.pixels + std::size_t(y) * canvas.stride;
    const double v = y + 0.5 - centreY;
    const double rowX = s * v + width / 2.0, rowY = c * v + height / 2.0;
    const std::uint8_t* fill = canvas.fillRow;
    for (int x = 0; x < canvas.width; ++x, out += bpp, fill += bpp) {
      const double u = x + 0.5 - centreX;
      const double sx = c * u + rowX, sy = rowY - s * u;
      if (sx < 0 || sy < 0 || sx >= limitX || sy >= limitY) {
        std::memcpy(out, fill, bpp);
        continue;
      }
      const std::size_t bx = std::min(std::size_t(sx * kScale), bigWidth - 1);
      const std::size_t by = std::min(std::size_t(sy * kScale), std::size_t(height) * kScale - 1);
      Unpack(enlarged_[by * bigWidth + bx], bpp, out);
    }
  }
}

// The sheared picture is centred as the upright picture would be, which
// keeps it centred on the frame: the shears leave the centre in place.
void PixelTurner::TurnByShears(int turn, const FrameCanvas& canvas) const {
  const int width = picture_.Width(), height = picture_.Height(), bpp = picture_.BytesPerPixel();
  Fill(canvas);
  const int left = CentredStart(canvas.width, width), top = CentredStart(canvas.height, height);
  Shears(width, height, turn).ForEachPixel([&](int x, int y, int u, int v) {
    const int column = left + (u + width - 1) / 2, row = top + (v + height - 1) / 2;
    if (column < 0 || row < 0 || column >= canvas.width || row >= canvas.height) return;
    std::memcpy(canvas.pixels + std::size_t(row) * canvas.stride + std::size_t(column) * bpp,
                picture_.Pixels() + (std::size_t(y) * width + x) * bpp, bpp);
  });
}
