#include "core/exact_color.h"

#include <array>
#include <climits>
#include <cstdlib>

namespace {

constexpr int kEntries = 256;

bool Has(const std::uint8_t* rgb, const Rgb& color) {
  return rgb[0] == color.red && rgb[1] == color.green && rgb[2] == color.blue;
}

int Distance(const std::uint8_t* a, const std::uint8_t* b) {
  int sum = 0;
  for (int c = 0; c < 3; ++c) sum += (a[c] - b[c]) * (a[c] - b[c]);
  return sum;
}

// Who points to one palette entry: pixels of the kept colour, and others
// with the sum of their colours.
struct Use {
  std::uint64_t kept = 0;
  std::uint64_t others = 0;
  std::array<std::uint64_t, 3> sum{};
};

// The rounded mean colour of an entry's other pixels, moved one unit off
// `color` where it would round to it.
void MeanOff(const Use& use, const Rgb& color, std::uint8_t* out) {
  const int avoid[3] = {color.red, color.green, color.blue};
  int farthest = 0;
  double farthestBy = 0;
  for (int c = 0; c < 3; ++c) {
    out[c] = std::uint8_t((use.sum[c] + use.others / 2) / use.others);
    const double by = double(use.sum[c]) / double(use.others) - avoid[c];
    if (std::abs(by) > std::abs(farthestBy)) {
      farthest = c;
      farthestBy = by;
    }
  }
  if (Has(out, color)) out[farthest] = std::uint8_t(avoid[farthest] + (farthestBy > 0 ? 1 : -1));
}

}  // namespace

bool KeepColorExact(const std::uint8_t* source, int bytesPerPixel, std::uint8_t* indices,
                    std::size_t pixelCount, std::uint8_t* palette, const Rgb& color) {
  std::array<bool, kEntries> holds{};
  for (int e = 0; e < kEntries; ++e) holds[e] = Has(palette + e * 3, color);
  // Who points where, and the colours of the other pixels of entries
  // holding the colour, for the entries they move to.
  std::array<Use, kEntries> uses{};
  for (std::size_t i = 0; i < pixelCount; ++i) {
    const std::uint8_t* pixel = source + i * std::size_t(bytesPerPixel);
    Use& use = uses[indices[i]];
    if (Has(pixel, color)) {
      ++use.kept;
    } else {
      ++use.others;
      if (holds[indices[i]]) {
        for (int c = 0; c < 3; ++c) use.sum[c] += pixel[c];
      }
    }
  }
  int keptEntries = 0;
  bool sound = true;
  for (int e = 0; e < kEntries; ++e) {
    if (uses[e].kept > 0) {
      ++keptEntries;
      sound = sound && holds[e];
    }
    if (holds[e] && uses[e].others > 0) sound = false;
  }
  if (sound && keptEntries <= 1) return false;

  // The colour's entry: of those holding it, the one most of its pixels are in.
  int kept = -1;
  for (int e = 0; e < kEntries; ++e) {
    if (holds[e] && (kept < 0 || uses[e].kept > uses[kept].kept)) kept = e;
  }
  // Other entries holding the colour move just off it for their other pixels.
  for (int e = 0; e < kEntries; ++e) {
    if (e != kept && holds[e] && uses[e].others > 0) MeanOff(uses[e], color, palette + e * 3);
  }
  // One more entry is needed when none holds the colour, or when other
  // pixels share its entry: a free one, else the nearer of the two nearest
  // entries is folded into the other.
  int moved = -1, folded = -1, into = -1;
  if (kept < 0 || uses[kept].others > 0) {
    int slot = -1;
    for (int e = 0; e < kEntries && slot < 0; ++e) {
      if (e != kept && uses[e].kept == 0 && uses[e].others == 0) slot = e;
    }
    if (slot < 0) {
      int nearest = INT_MAX;
      for (int a = 0; a < kEntries; ++a) {
        for (int b = a + 1; b < kEntries && a != kept; ++b) {
          const int distance = b == kept ? INT_MAX : Distance(palette + a * 3, palette + b * 3);
          if (distance < nearest) {
            nearest = distance;
            into = a;
            folded = b;
          }
        }
      }
      slot = folded;
    }
    if (kept < 0) {
      kept = slot;
      palette[kept * 3] = color.red;
      palette[kept * 3 + 1] = color.green;
      palette[kept * 3 + 2] = color.blue;
    } else {
      moved = slot;
      MeanOff(uses[kept], color, palette + moved * 3);
    }
  }
  for (std::size_t i = 0; i < pixelCount; ++i) {
    std::uint8_t& index = indices[i];
    if (Has(source + i * std::size_t(bytesPerPixel), color)) {
      index = std::uint8_t(kept);
    } else if (moved >= 0 && index == kept) {
      index = std::uint8_t(moved);
    } else if (index == folded) {
      index = std::uint8_t(into);
    }
  }
  return true;
}
