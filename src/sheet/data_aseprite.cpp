// The JSON Phaser's anims.createFromAseprite plays: it looks each tag's
// frames up by their number as a string, so frames are named "0" to
// "N-1", numbered animation after animation so every tag is one run.

#include <nlohmann/json.hpp>

#include "gyrelle_version.h"
#include "sheet/data_writers.h"

std::string AsepriteJsonText(const SheetPlan& plan, const DataTarget& target) {
  using Json = nlohmann::ordered_json;
  Json frames = Json::object();
  Json tags = Json::array();
  int number = 0;
  for (const Animation& animation : NamesOf(plan, target).animations) {
    tags.push_back({{"name", animation.name},
                    {"from", number},
                    {"to", number + int(animation.frames.size()) - 1},
                    {"direction", "forward"}});
    for (int k : animation.frames) {
      const Placement& p = plan.placements[std::size_t(k)];
      frames[std::to_string(number++)] = {
          {"frame", {{"x", p.sheet.x}, {"y", p.sheet.y}, {"w", p.sheet.width}, {"h", p.sheet.height}}},
          {"rotated", false},
          {"trimmed", p.Trimmed()},
          {"spriteSourceSize",
           {{"x", p.inFrame.x}, {"y", p.inFrame.y}, {"w", p.inFrame.width}, {"h", p.inFrame.height}}},
          {"sourceSize", {{"w", p.fullWidth}, {"h", p.fullHeight}}},
          {"anchor", {{"x", p.pivotX}, {"y", p.pivotY}}},
          {"duration", FrameMilliseconds(target.fps)},
      };
    }
  }
  const Json data = {
      {"frames", std::move(frames)},
      {"meta",
       {{"app", "gyrelle"},
        {"version", GYRELLE_VERSION},
        {"image", RelativeImagePath(target.imagePath, target.dataPath)},
        {"format", target.alpha ? "RGBA8888" : "RGB888"},
        {"size", {{"w", plan.width}, {"h", plan.height}}},
        {"scale", "1"},
        {"frameTags", std::move(tags)}}},
  };
  return data.dump(2) + "\n";
}
