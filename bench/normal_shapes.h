#pragma once

// Normal maps of real shapes and how far a turned one strays from them;
// shared by the normal map tests and normal_bench.

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "core/image.h"
#include "sheet/normal_map.h"
#include "sheet/sheet_plan.h"
#include "turn/turn_frame.h"

namespace normal_shapes {

struct Vec {
  double x, y, z;  // x right, y up, z towards the viewer
};

inline Vec Unit(Vec v) {
  const double length = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
  return {v.x / length, v.y / length, v.z / length};
}

inline Vec Turned(Vec v, double degrees) {
  const double a = degrees * M_PI / 180.0, c = std::cos(a), s = std::sin(a);
  return {v.x * c - v.y * s, v.x * s + v.y * c, v.z};
}

inline double DegreesBetween(Vec a, Vec b) {
  a = Unit(a), b = Unit(b);
  return std::acos(std::clamp(a.x * b.x + a.y * b.y + a.z * b.z, -1.0, 1.0)) * 180.0 / M_PI;
}

enum class Shape { kFlat, kDome, kTwoBumps };

// One rounded bump of height `height` over an ellipse; its slope (dh/dx,
// dh/dy with y down) at (x, y), zero at and past its rim, so that nothing
// jumps between neighbouring pixels.
inline void AddBump(double x, double y, double cx, double cy, double rx, double ry, double height,
                    double& dx, double& dy) {
  const double u = (x - cx) / rx, v = (y - cy) / ry, r = std::sqrt(u * u + v * v);
  if (r >= 1.0 || r < 1e-12) return;
  // h = height * cos^2(pi r / 2)
  const double dhdr = -height * M_PI / 2.0 * std::sin(M_PI * r);
  dx += dhdr * u / r / rx;
  dy += dhdr * v / r / ry;
}

// The surface normal of `shape` on a `size` x `size` picture at pixel (x, y),
// rows counted down.
inline Vec Normal(Shape shape, int size, double x, double y) {
  const double c = (size - 1) / 2.0, r = 0.45 * (size - 1);
  double dx = 0, dy = 0;
  if (shape == Shape::kDome) AddBump(x, y, c, c, r, r, r, dx, dy);
  if (shape == Shape::kTwoBumps) {
    AddBump(x, y, c + 0.1 * size, c - 0.08 * size, 0.32 * size, 0.16 * size, 0.2 * size, dx, dy);
    AddBump(x, y, c - 0.2 * size, c + 0.2 * size, 0.12 * size, 0.12 * size, 0.1 * size, dx, dy);
  }
  return Unit({-dx, dy, 1.0});  // the y slope counted down, the vector's y up
}

inline std::uint8_t Byte(double component) {
  return std::uint8_t(std::clamp(128 + std::lround(component * 127.0), 0L, 255L));
}

inline Vec Decode(const std::uint8_t* pixel, NormalY yAxis) {
  const auto component = [](std::uint8_t byte) { return (byte - 128) / 127.0; };
  const double up = yAxis == NormalY::kUp ? 1.0 : -1.0;
  return {component(pixel[0]), up * component(pixel[1]), component(pixel[2])};
}

// The normal map of `shape`, 3 bytes a pixel, green as `yAxis` says.
inline Image NormalMap(Shape shape, int size, NormalY yAxis) {
  Image map;
  map.Allocate("normals", size, size, 3);
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      const Vec n = Normal(shape, size, x, y);
      std::uint8_t* pixel = map.Pixels() + (std::size_t(y) * size + x) * 3;
      pixel[0] = Byte(n.x), pixel[1] = Byte(yAxis == NormalY::kUp ? n.y : -n.y), pixel[2] = Byte(n.z);
    }
  }
  return map;
}

struct Strays {
  long covered = 0;        // pixels with alpha above 0
  double fromSource = 0;   // worst: to the turned vector of a source pixel it may have come from
  double fromShape = 0;    // worst: to the shape's own normal there (round shapes only)
  // worst: to the source blended bilinearly at the point it came from,
  // turned. Neighbouring vectors of a steep map differ by tens of degrees,
  // so any method that blends strays from every one of them by up to half
  // that; this measures it against the blend instead.
  double fromBlend = 0;
  long flatUncovered = 0;  // uncovered pixels holding the flat normal with alpha 0
  long uncovered = 0;
  long notFlat = 0;  // covered pixels other than 128, 128, 255
  int worstAngle = 0, worstX = 0, worstY = 0, worstAlpha = 0;  // where fromSource is
  long overOne = 0;  // covered pixels straying more than 1 degree
};

// How far the vectors of `sheet` (4 bytes a pixel, frames the picture's size,
// untrimmed) stray. Each covered pixel is taken back through its frame's
// turn to a point of `map`; of the source pixels within `reach` of that
// point (the methods round and centre a little differently: ours move
// pixels up to 1.5 from it, the library up to 2), the nearest in
// direction, turned by the frame's angle, is what it is measured against.
inline double Reach(TurnMethod method) {
  return method == TurnMethod::kLibrary || method == TurnMethod::kSmooth ? 2.0 : 1.5;
}

// The vectors of `map` at (x, y), between its pixels, blended bilinearly;
// past its edge the nearest edge pixel's.
inline Vec Blend(const Image& map, double x, double y, NormalY yAxis) {
  const int size = map.Width();
  x = std::clamp(x, 0.0, size - 1.0), y = std::clamp(y, 0.0, size - 1.0);
  const int x0 = std::min(int(x), size - 2), y0 = std::min(int(y), size - 2);
  const double fx = x - x0, fy = y - y0;
  Vec sum{0, 0, 0};
  for (int j = 0; j < 2; ++j) {
    for (int i = 0; i < 2; ++i) {
      const double w = (i ? fx : 1 - fx) * (j ? fy : 1 - fy);
      const Vec v = Decode(map.Pixels() + std::size_t(y0 + j) * map.RowBytes() +
                               std::size_t(x0 + i) * map.BytesPerPixel(),
                           yAxis);
      sum = {sum.x + w * v.x, sum.y + w * v.y, sum.z + w * v.z};
    }
  }
  return sum;
}

inline Strays Measure(const Image& map, Shape shape, const Image& sheet, const SheetPlan& plan,
                      NormalY yAxis, double reach) {
  Strays strays;
  const int size = map.Width();
  const double c = (size - 1) / 2.0;
  for (const Placement& p : plan.placements) {
    const double a = p.angle * M_PI / 180.0, cs = std::cos(a), sn = std::sin(a);
    for (int j = 0; j < p.sheet.height; ++j) {
      for (int i = 0; i < p.sheet.width; ++i) {
        const std::uint8_t* pixel =
            sheet.Pixels() + std::size_t(p.sheet.y + j) * sheet.RowBytes() +
            std::size_t(p.sheet.x + i) * 4;
        if (pixel[3] == 0) {
          ++strays.uncovered;
          strays.flatUncovered += pixel[0] == 128 && pixel[1] == 128 && pixel[2] == 255;
          continue;
        }
        ++strays.covered;
        strays.notFlat += !(pixel[0] == 128 && pixel[1] == 128 && pixel[2] == 255);
        const Vec got = Decode(pixel, yAxis);
        // Back through the turn, in a frame whose y points up.
        const double dx = i - c, dy = c - j;
        const double sx = c + dx * cs + dy * sn, sy = c - (-dx * sn + dy * cs);
        double best = 180.0;
        for (int qy = int(std::floor(sy - reach)); qy <= int(std::ceil(sy + reach)); ++qy) {
          for (int qx = int(std::floor(sx - reach)); qx <= int(std::ceil(sx + reach)); ++qx) {
            if (qx < 0 || qy < 0 || qx >= size || qy >= size) continue;
            if (std::hypot(qx - sx, qy - sy) > reach) continue;
            const std::uint8_t* from =
                map.Pixels() + std::size_t(qy) * map.RowBytes() + std::size_t(qx) * map.BytesPerPixel();
            best = std::min(best, DegreesBetween(Turned(Decode(from, yAxis), p.angle), got));
          }
        }
        strays.fromBlend = std::max(strays.fromBlend, DegreesBetween(Turned(Blend(map, sx, sy, yAxis), p.angle), got));
        strays.overOne += best > 1.0;
        if (best > strays.fromSource) {
          strays.fromSource = best;
          strays.worstAngle = p.angle, strays.worstX = i, strays.worstY = j;
          strays.worstAlpha = pixel[3];
        }
        if (shape != Shape::kTwoBumps) {
          strays.fromShape = std::max(strays.fromShape, DegreesBetween(Normal(shape, size, i, j), got));
        }
      }
    }
  }
  return strays;
}

}  // namespace normal_shapes
