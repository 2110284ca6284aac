#include "sheet/sheet_packer.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <vector>

#include "core/image.h"
#include "core/reasons.h"
#include "sheet/sheet_layout.h"

// The packer sorts with qsort, which may order equal frames either way; a
// stable sort keeps the same frames giving the same sheet on any C library.
static void StableSortRects(void* rects, std::size_t count, std::size_t size,
                            int (*compare)(const void*, const void*));
#define STB_RECT_PACK_IMPLEMENTATION
#define STBRP_STATIC
#define STBRP_SORT StableSortRects
#include <stb/stb_rect_pack.h>

static void StableSortRects(void* rects, std::size_t count, std::size_t,
                            int (*compare)(const void*, const void*)) {
  stbrp_rect* const first = static_cast<stbrp_rect*>(rects);
  std::stable_sort(first, first + count, [compare](const stbrp_rect& a, const stbrp_rect& b) {
    return compare(&a, &b) < 0;
  });
}

namespace {

// Every frame padded by what follows it: the spacing and both rings.
struct Packing {
  std::vector<stbrp_rect> rects;
  std::int64_t width = 0, height = 0;  // the sheet's sides, padded when asked
};

}  // namespace

bool PackSheet(const SheetPlan& frames, const StripOptions& options, int bytesPerPixel,
               SheetPlan& packed, std::string* reason) {
  const int pad = options.spacing + 2 * options.extrude;
  const std::int64_t border = 2 * std::int64_t(options.margin) - options.spacing;
  // The packer's area is the sheet less its margins, plus one spacing the
  // last frame of a row or column pads itself with.
  const std::int64_t most = options.maxSize > 0 ? options.maxSize : INT_MAX / 2;
  std::vector<stbrp_rect> rects;
  std::int64_t widest = 0, totalWidth = 0, totalHeight = 0;
  for (std::size_t i = 0; i < frames.placements.size(); ++i) {
    const Rect& r = frames.placements[i].sheet;
    stbrp_rect rect{};
    rect.id = int(i);
    rect.w = r.width + pad, rect.h = r.height + pad;
    widest = std::max<std::int64_t>(widest, rect.w);
    totalWidth += rect.w, totalHeight += rect.h;
    rects.push_back(rect);
  }
  const std::int64_t room = most - border;
  if (rects.empty() || widest > room || totalHeight > INT_MAX / 2) {
    SetReason(reason, "no sheet within " + std::to_string(most) + " pixels a side holds the frames");
    return false;
  }
  // Every width from the widest frame to all in one row, in at most about
  // 128 steps, is tried; the smallest sheet wins, then the squarer, then
  // the narrower, so the choice never depends on anything but the frames.
  const std::int64_t last = std::min(room, totalWidth);
  const std::int64_t step = std::max<std::int64_t>(1, (last - widest) / 128);
  const int tallest = int(std::min(room, totalHeight));
  std::vector<stbrp_node> nodes(static_cast<std::size_t>(last));
  Packing best;
  std::vector<stbrp_rect> trial;
  std::int64_t lastTried = -1;
  for (std::int64_t width = widest; width <= last; width += step) {
    if (options.powerOfTwo) {
      // Only widths that reach a further power of two can change the sheet.
      const std::int64_t sheetWidth = PowerOfTwoAtLeast(width + border);
      if (sheetWidth == lastTried) continue;
      lastTried = sheetWidth;
      width = std::min(last, sheetWidth - border);
    }
    trial = rects;
    stbrp_context context;
    stbrp_init_target(&context, int(width), tallest, nodes.data(), int(width));
    if (!stbrp_pack_rects(&context, trial.data(), int(trial.size()))) continue;
    std::int64_t usedWidth = 0, usedHeight = 0;
    for (const stbrp_rect& r : trial) {
      usedWidth = std::max<std::int64_t>(usedWidth, r.x + r.w);
      usedHeight = std::max<std::int64_t>(usedHeight, r.y + r.h);
    }
    std::int64_t sheetWidth = usedWidth + border, sheetHeight = usedHeight + border;
    if (options.powerOfTwo) {
      sheetWidth = PowerOfTwoAtLeast(sheetWidth), sheetHeight = PowerOfTwoAtLeast(sheetHeight);
    }
    if (sheetWidth > most || sheetHeight > most) continue;
    const std::int64_t area = sheetWidth * sheetHeight, bestArea = best.width * best.height;
    const std::int64_t side = std::max(sheetWidth, sheetHeight);
    const std::int64_t bestSide = std::max(best.width, best.height);
    if (best.rects.empty() || area < bestArea || (area == bestArea && side < bestSide)) {
      best = {trial, sheetWidth, sheetHeight};
    }
  }
  if (best.rects.empty()) {
    SetReason(reason, "no sheet within " + std::to_string(most) + " pixels a side holds the " +
                          std::to_string(rects.size()) + " frames");
    return false;
  }
  if (std::uint64_t(best.width) * std::uint64_t(best.height) * std::uint64_t(bytesPerPixel) >
      kMaxLibraryImageBytes) {
    SetReason(reason, "the packed sheet would be " + std::to_string(best.width) + " x " +
                          std::to_string(best.height) +
                          " pixels; DevIL holds less than 4 GiB in one picture");
    return false;
  }
  packed = frames;
  packed.width = int(best.width), packed.height = int(best.height);
  packed.columns = packed.rows = 0;
  const int offset = options.margin + options.extrude;
  for (const stbrp_rect& r : best.rects) {
    Rect& sheet = packed.placements[std::size_t(r.id)].sheet;
    sheet.x = offset + r.x, sheet.y = offset + r.y;
  }
  return true;
}
