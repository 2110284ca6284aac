#include "sheet/normal_map.h"

#include <algorithm>
#include <cmath>

namespace {

double Component(std::uint8_t byte) { return (byte - 128) / 127.0; }

std::uint8_t Byte(double component) {
  return std::uint8_t(std::clamp(128 + std::lround(component * 127.0), 0L, 255L));
}

void Flat(std::uint8_t* pixel) {
  pixel[0] = kFlatNormal.red, pixel[1] = kFlatNormal.green, pixel[2] = kFlatNormal.blue;
  pixel[3] = 0;
}

}  // namespace

std::unique_ptr<Image> CoveredNormalMap(const Image& normalMap) {
  auto covered = std::make_unique<Image>();
  covered->Allocate(normalMap.GetName(), normalMap.Width(), normalMap.Height(), 4);
  const int in = normalMap.BytesPerPixel();
  const std::uint8_t* from = normalMap.Pixels();
  std::uint8_t* to = covered->Pixels();
  const std::size_t count = std::size_t(normalMap.Width()) * std::size_t(normalMap.Height());
  for (std::size_t i = 0; i < count; ++i, from += in, to += 4) {
    to[0] = from[0], to[1] = from[1], to[2] = from[2], to[3] = 255;
  }
  return covered;
}

void TurnNormalVectors(Image& normals, const Image& colour, int x, int y, int width, int height,
                       int degrees, NormalY yAxis) {
  // The frames turn counter-clockwise as seen, so a vector's picture-plane
  // part does too, in a frame whose y axis points up.
  const double turn = degrees * M_PI / 180.0;
  const double c = std::cos(turn), s = std::sin(turn);
  const double up = yAxis == NormalY::kUp ? 1.0 : -1.0;
  const int colourBytes = colour.BytesPerPixel();
  for (int row = y; row < y + height; ++row) {
    std::uint8_t* pixel = normals.Pixels() + std::size_t(row) * normals.RowBytes() + std::size_t(x) * 4;
    const std::uint8_t* seen =
        colour.Pixels() + std::size_t(row) * colour.RowBytes() + std::size_t(x) * colourBytes;
    for (int column = 0; column < width; ++column, pixel += 4, seen += colourBytes) {
      const std::uint8_t alpha = colourBytes == 4 ? seen[3] : 255;
      if (pixel[3] < 128 || alpha == 0) {
        Flat(pixel);
        continue;
      }
      const double nx = Component(pixel[0]), ny = up * Component(pixel[1]);
      const double nz = Component(pixel[2]);
      const double tx = nx * c - ny * s, ty = nx * s + ny * c;
      const double length = std::sqrt(tx * tx + ty * ty + nz * nz);
      if (length < 1e-6) {
        Flat(pixel);
        pixel[3] = alpha;
        continue;
      }
      pixel[0] = Byte(tx / length);
      pixel[1] = Byte(up * ty / length);
      pixel[2] = Byte(nz / length);
      pixel[3] = alpha;
    }
  }
}

std::unique_ptr<Image> NormalSheetAtDepth(const Image& normals, int bytesPerPixel) {
  auto sheet = std::make_unique<Image>();
  if (bytesPerPixel == 4) {
    sheet->CopyFrom(normals);
    return sheet;
  }
  sheet->Allocate(normals.GetName(), normals.Width(), normals.Height(), 3);
  const std::uint8_t* from = normals.Pixels();
  std::uint8_t* to = sheet->Pixels();
  const std::size_t count = std::size_t(normals.Width()) * std::size_t(normals.Height());
  for (std::size_t i = 0; i < count; ++i, from += 4, to += 3) {
    to[0] = from[0], to[1] = from[1], to[2] = from[2];
  }
  return sheet;
}
