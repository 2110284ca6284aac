#include "turn_measures.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numbers>

#include "turn/turn_frame.h"

Image SoftShape(int width, int height, const Rgb& colour) {
  Image shape;
  shape.Allocate("", width, height, 4);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const double px = (x + 0.5) / width, py = (y + 0.5) / height;
      // Distances in pixels, negative inside: an ellipse for the hull, left
      // of centre, and a bar for a wing reaching right in the upper half.
      const double ex = (px - 0.4) / 0.3, ey = (py - 0.5) / 0.4;
      const double hull = (std::hypot(ex, ey) - 1) * std::min(0.3 * width, 0.4 * height);
      const double wing = std::max(
          {(0.4 - px) * width, (px - 0.9) * width, (0.2 - py) * height, (py - 0.35) * height});
      const double inside = std::clamp(0.5 - std::min(hull, wing) / 2, 0.0, 1.0);
      std::uint8_t* p = shape.Pixels() + (std::size_t(y) * width + x) * 4;
      p[0] = colour.red, p[1] = colour.green, p[2] = colour.blue;
      p[3] = std::uint8_t(std::lround(inside * 255));
    }
  }
  return shape;
}

Centre AlphaCentre(const Image& picture, const FrameRect& block) {
  Centre centre;
  for (int y = 0; y < block.height; ++y) {
    const std::uint8_t* p =
        picture.Pixels() + (std::size_t(block.y + y) * picture.Width() + block.x) * 4;
    for (int x = 0; x < block.width; ++x, p += 4) {
      centre.x += (x + 0.5) * p[3];
      centre.y += (y + 0.5) * p[3];
      centre.mass += p[3];
    }
  }
  if (centre.mass > 0) centre.x /= centre.mass, centre.y /= centre.mass;
  return centre;
}

Centre TurnedCentre(const Centre& upright, int width, int height, int degrees, int frameWidth,
                    int frameHeight) {
  // Frames turn the way the library counts turns, the other way round.
  const double turn = WholeTurn(-degrees) * std::numbers::pi / 180.0;
  const double c = std::cos(turn), s = std::sin(turn);
  const double p = upright.x - width / 2.0, q = upright.y - height / 2.0;
  return {CentredStart(frameWidth, width) + width / 2.0 + c * p - s * q,
          CentredStart(frameHeight, height) + height / 2.0 + s * p + c * q, upright.mass};
}

int FringeLevels(const Image& picture, const Rgb& colour) {
  int worst = 0;
  const std::uint8_t* p = picture.Pixels();
  const std::uint8_t* const end = p + picture.ByteSize();
  for (; p != end; p += 4) {
    if (p[3] == 0 || p[3] == 255) continue;
    worst = std::max({worst, std::abs(p[0] - colour.red), std::abs(p[1] - colour.green),
                      std::abs(p[2] - colour.blue)});
  }
  return worst;
}
