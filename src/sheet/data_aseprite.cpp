// The JSON Phaser's anims.createFromAseprite plays: it looks each tag's
// frames up by their number as a string, so frames are named "0" to
// "N-1", numbered animation after animation so every tag is one run.

#include <nlohmann/json.hpp>
#include <vector>

#include "gyrelle_version.h"
#include "sheet/data_writers.h"

bool WriteAsepriteJson(const SheetPlan& plan, const DataTarget& target, std::FILE* file) {
  using Json = nlohmann::ordered_json;
  const std::vector<Animation> animations = NamerOf(plan, target).Animations();
  TextOut out(file);
  out << "{\n  \"frames\": {";
  Json tags = Json::array();
  int number = 0;
  for (const Animation& animation : animations) {
    tags.push_back({{"name", animation.name},
                    {"from", number},
                    {"to", number + int(animation.frames.size()) - 1},
                    {"direction", "forward"}});
    for (int k : animation.frames) {
      const Placement& p = plan.placements[std::size_t(k)];
      const Json frame = {
          {"frame", {{"x", p.sheet.x}, {"y", p.sheet.y}, {"w", p.sheet.width}, {"h", p.sheet.height}}},
          {"rotated", false},
          {"trimmed", p.Trimmed()},
          {"spriteSourceSize",
           {{"x", p.inFrame.x}, {"y", p.inFrame.y}, {"w", p.inFrame.width}, {"h", p.inFrame.height}}},
          {"sourceSize", {{"w", p.fullWidth}, {"h", p.fullHeight}}},
          {"anchor", {{"x", p.pivotX}, {"y", p.pivotY}}},
          {"duration", FrameMilliseconds(target.fps)},
      };
      out << (number == 0 ? "\n    \"" : ",\n    \"") << number << "\": ";
      ++number;
      PutJson(out, frame, 2);
    }
  }
  out << (number == 0 ? "}" : "\n  }") << ",\n  \"meta\": ";
  Json meta = {{"app", "gyrelle"},
                     {"version", GYRELLE_VERSION},
                     {"image", RelativeImagePath(target.imagePath, target.dataPath)},
                     {"format", target.alpha ? "RGBA8888" : "RGB888"},
                     {"size", {{"w", plan.width}, {"h", plan.height}}},
                     {"scale", "1"},
                     {"frameTags", std::move(tags)}};
  if (!target.normalMapPath.empty()) {
    meta["normalMap"] = RelativeImagePath(target.normalMapPath, target.dataPath);
  }
  PutJson(out, meta, 1);
  out << "\n}\n";
  return out.Ok();
}
