#include "sheet/sheet_finish.h"

#include <cmath>
#include <cstring>
#include <new>
#include <vector>

#include "core/reasons.h"
#include "sheet/frame_edges.h"
#include "sheet/sheet_packer.h"

namespace {

// `plan`'s frames copied from `grid`, where `from` has them, into a new
// sheet of the fill with alpha 0.
std::unique_ptr<Image> CopyFrames(const Image& grid, const SheetPlan& from, const SheetPlan& plan,
                                  const Rgb& fill) {
  const int bpp = grid.BytesPerPixel();
  auto sheet = std::make_unique<Image>();
  sheet->Allocate("", plan.width, plan.height, bpp);
  std::vector<std::uint8_t> fillRow(sheet->RowBytes());
  for (std::size_t i = 0; i < fillRow.size(); i += std::size_t(bpp)) {
    fillRow[i] = fill.red, fillRow[i + 1] = fill.green, fillRow[i + 2] = fill.blue;
    if (bpp == 4) fillRow[i + 3] = 0;
  }
  for (int y = 0; y < plan.height; ++y) {
    std::memcpy(sheet->Pixels() + std::size_t(y) * sheet->RowBytes(), fillRow.data(),
                fillRow.size());
  }
  for (std::size_t k = 0; k < plan.placements.size(); ++k) {
    const Rect& source = from.placements[k].sheet;
    const Rect& target = plan.placements[k].sheet;
    for (int y = 0; y < target.height; ++y) {
      std::memcpy(sheet->Pixels() + std::size_t(target.y + y) * sheet->RowBytes() +
                      std::size_t(target.x) * bpp,
                  grid.Pixels() + std::size_t(source.y + y) * grid.RowBytes() +
                      std::size_t(source.x) * bpp,
                  std::size_t(target.width) * bpp);
    }
  }
  return sheet;
}

}  // namespace

StripOptions GridOptions(const StripOptions& options) {
  StripOptions grid = options;
  if (options.pack) {
    // Only the frames matter; a square-ish grid keeps both sides modest.
    grid.spacing = grid.margin = grid.maxSize = 0;
    grid.powerOfTwo = false;
    grid.columns = std::max(1, int(std::ceil(std::sqrt(double(std::max(1, options.frames))))));
  } else if (options.extrude > 0) {
    grid.spacing += 2 * options.extrude;
    grid.margin += options.extrude;
  }
  return grid;
}

bool NeedsFinishing(const StripOptions& options) {
  return options.trim || options.pack || options.extrude > 0 || options.bleed ||
         options.premultiply;
}

std::unique_ptr<Image> FinishSheet(std::unique_ptr<Image> grid, SheetPlan& plan,
                                   const StripOptions& options, std::string* reason,
                                   const std::vector<Rgb>& fills) {
  if (!grid) return nullptr;
  try {
    if (options.trim) TrimPlacements(*grid, plan, options.fill, fills);
    if (options.pack) {
      SheetPlan packed;
      if (!PackSheet(plan, options, grid->BytesPerPixel(), packed, reason)) return nullptr;
      grid = CopyFrames(*grid, plan, packed, options.fill);
      plan = std::move(packed);
    }
    ExtrudeFrames(*grid, plan, options.extrude);
    if (options.bleed) BleedColours(*grid);
    if (options.premultiply) {
      PremultiplyAlpha(*grid);
      plan.premultiplied = true;
    }
    return grid;
  } catch (const std::bad_alloc&) {
    SetReason(reason, "not enough memory to finish the sheet");
    return nullptr;
  }
}
