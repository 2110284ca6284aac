#include "sheet/frame_edges.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

bool Visible(const std::uint8_t* pixel, int bpp, const Rgb& fill) {
  if (bpp == 4) return pixel[3] != 0;
  return pixel[0] != fill.red || pixel[1] != fill.green || pixel[2] != fill.blue;
}

}  // namespace

Rect VisibleBox(const Image& image, const Rect& area, const Rgb& fill) {
  const int bpp = image.BytesPerPixel();
  int left = area.width, right = -1, top = area.height, bottom = -1;
  for (int y = 0; y < area.height; ++y) {
    const std::uint8_t* row =
        image.Pixels() + std::size_t(area.y + y) * image.RowBytes() + std::size_t(area.x) * bpp;
    // From each end inward: the middle of a row never changes the box.
    int first = 0;
    while (first < area.width && !Visible(row + std::size_t(first) * bpp, bpp, fill)) ++first;
    if (first == area.width) continue;
    int last = area.width - 1;
    while (last > first && !Visible(row + std::size_t(last) * bpp, bpp, fill)) --last;
    left = std::min(left, first), right = std::max(right, last);
    top = std::min(top, y), bottom = y;
  }
  if (bottom < 0) return {};
  return {left, top, right - left + 1, bottom - top + 1};
}

void TrimPlacements(const Image& image, SheetPlan& plan, const Rgb& fill,
                    const std::vector<Rgb>& pictureFills) {
  for (Placement& p : plan.placements) {
    Rect box = VisibleBox(image, p.sheet,
                          pictureFills.empty() ? fill : pictureFills.at(std::size_t(p.picture)));
    // An engine cannot load a frame of no pixels; one invisible pixel draws nothing.
    if (box.width == 0) box = {0, 0, 1, 1};
    p.sheet = {p.sheet.x + box.x, p.sheet.y + box.y, box.width, box.height};
    p.inFrame = {p.inFrame.x + box.x, p.inFrame.y + box.y, box.width, box.height};
  }
}

void ExtrudeFrames(Image& sheet, const SheetPlan& plan, int ring) {
  if (ring <= 0) return;
  const int bpp = sheet.BytesPerPixel();
  const std::size_t rowBytes = sheet.RowBytes();
  std::uint8_t* const pixels = sheet.Pixels();
  const auto at = [&](int x, int y) { return pixels + std::size_t(y) * rowBytes + std::size_t(x) * bpp; };
  for (const Placement& p : plan.placements) {
    const Rect& r = p.sheet;
    // Left and right first, then whole rows up and down, which fills the corners.
    for (int y = r.y; y < r.y + r.height; ++y) {
      for (int i = 1; i <= ring; ++i) {
        std::memcpy(at(r.x - i, y), at(r.x, y), std::size_t(bpp));
        std::memcpy(at(r.x + r.width - 1 + i, y), at(r.x + r.width - 1, y), std::size_t(bpp));
      }
    }
    const std::size_t span = std::size_t(r.width + 2 * ring) * bpp;
    for (int i = 1; i <= ring; ++i) {
      std::memcpy(at(r.x - ring, r.y - i), at(r.x - ring, r.y), span);
      std::memcpy(at(r.x - ring, r.y + r.height - 1 + i), at(r.x - ring, r.y + r.height - 1), span);
    }
  }
}

void BleedColours(Image& sheet) {
  if (sheet.BytesPerPixel() != 4) return;
  const int width = sheet.Width(), height = sheet.Height();
  std::uint8_t* const pixels = sheet.Pixels();
  const std::size_t count = std::size_t(width) * std::size_t(height);
  // A breadth-first flood from the visible pixels outward: each transparent
  // pixel takes the colour of the first ring that reaches it, the nearest
  // by steps, with ties to the earlier neighbour in reading order.
  std::vector<std::uint8_t> reached(count, 0);
  std::vector<std::size_t> front, next;
  for (std::size_t i = 0; i < count; ++i) {
    if (pixels[4 * i + 3] != 0) reached[i] = 1, front.push_back(i);
  }
  if (front.empty()) return;
  // Sides before corners, so a pixel beside a visible one takes that one's
  // colour rather than a diagonal neighbour's.
  static const int kSteps[2][4][2] = {{{0, -1}, {-1, 0}, {1, 0}, {0, 1}},
                                      {{-1, -1}, {1, -1}, {-1, 1}, {1, 1}}};
  while (!front.empty()) {
    next.clear();
    for (const auto& steps : kSteps) {
      for (std::size_t i : front) {
        const int x = int(i % std::size_t(width)), y = int(i / std::size_t(width));
        for (const auto& step : steps) {
          const int nx = x + step[0], ny = y + step[1];
          if (nx < 0 || ny < 0 || nx >= width || ny >= height) continue;
          const std::size_t n = std::size_t(ny) * std::size_t(width) + std::size_t(nx);
          if (reached[n]) continue;
          reached[n] = 1;
          std::memcpy(pixels + 4 * n, pixels + 4 * i, 3);
          next.push_back(n);
        }
      }
    }
    front.swap(next);
  }
}

void PremultiplyAlpha(Image& sheet) {
  if (sheet.BytesPerPixel() != 4) return;
  std::uint8_t* pixel = sheet.Pixels();
  std::uint8_t* const end = pixel + sheet.ByteSize();
  for (; pixel != end; pixel += 4) {
    const unsigned a = pixel[3];
    for (int c = 0; c < 3; ++c) pixel[c] = std::uint8_t((pixel[c] * a + 127) / 255);
  }
}
