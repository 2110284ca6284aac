// The texture atlas text libGDX and the Spine runtimes read: one page, the
// sheet, then one region per frame named after its animation with its
// frame number as index, so findRegions("spin") gives the frames in order.

#include <string>

#include "sheet/data_writers.h"

bool WriteLibGdxAtlas(const SheetPlan& plan, const DataTarget& target, std::FILE* file) {
  auto pair = [](int a, int b) { return std::to_string(a) + "," + std::to_string(b); };
  TextOut out(file);
  // No blank line inside the page: readers take one as the next page.
  out << RelativeImagePath(target.imagePath, target.dataPath) << "\n";
  out << "size: " << pair(plan.width, plan.height) << "\n";
  out << "format: RGBA8888\nfilter: Linear,Linear\nrepeat: none\n";
  out << "pma: " << (target.premultiplied ? "true" : "false") << "\n";
  for (const Animation& animation : NamerOf(plan, target).Animations()) {
    for (std::size_t i = 0; i < animation.frames.size(); ++i) {
      const Placement& p = plan.placements[std::size_t(animation.frames[i])];
      out << animation.name << "\n";
      out << "  bounds: " << pair(p.sheet.x, p.sheet.y) << "," << pair(p.sheet.width, p.sheet.height)
          << "\n";
      // The offset within the full frame, its y measured from the bottom.
      out << "  offsets: " << pair(p.inFrame.x, p.fullHeight - p.inFrame.y - p.inFrame.height)
          << "," << pair(p.fullWidth, p.fullHeight) << "\n";
      out << "  index: " << std::to_string(i) << "\n";
    }
  }
  return out.Ok();
}

const char* LibGdxRefuses(const std::string& name) {
  // The page's name is a line of UTF-8 text.
  if (JsonRefuses(name) != nullptr || name.find_first_of("\r\n") != std::string::npos) {
    return "a texture atlas holds only UTF-8 names on one line";
  }
  return nullptr;
}
