// The texture atlas text libGDX and the Spine runtimes read: one page, the
// sheet, then one region per frame named after its animation with its
// frame number as index, so findRegions("spin") gives the frames in order.

#include <string>

#include "sheet/data_writers.h"

std::string LibGdxAtlasText(const SheetPlan& plan, const DataTarget& target) {
  auto pair = [](int a, int b) { return std::to_string(a) + "," + std::to_string(b); };
  // No blank line inside the page: readers take one as the next page.
  std::string text = RelativeImagePath(target.imagePath, target.dataPath) + "\n";
  text += "size: " + pair(plan.width, plan.height) + "\n";
  text += "format: RGBA8888\nfilter: Linear,Linear\nrepeat: none\n";
  text += std::string("pma: ") + (target.premultiplied ? "true" : "false") + "\n";
  for (const Animation& animation : NamesOf(plan, target).animations) {
    for (std::size_t i = 0; i < animation.frames.size(); ++i) {
      const Placement& p = plan.placements[std::size_t(animation.frames[i])];
      text += animation.name + "\n";
      text += "  bounds: " + pair(p.sheet.x, p.sheet.y) + "," +
              pair(p.sheet.width, p.sheet.height) + "\n";
      // The offset within the full frame, its y measured from the bottom.
      text += "  offsets: " +
              pair(p.inFrame.x, p.fullHeight - p.inFrame.y - p.inFrame.height) + "," +
              pair(p.fullWidth, p.fullHeight) + "\n";
      text += "  index: " + std::to_string(i) + "\n";
    }
  }
  return text;
}
