#include "sheet/sheet_data.h"

#include <algorithm>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "core/atomic_file.h"
#include "core/reasons.h"
#include "gyrelle_version.h"
#include "sheet/data_writers.h"

namespace {

using Json = nlohmann::ordered_json;

Json Size(int width, int height) {
  return {{"w", width}, {"h", height}};
}

}  // namespace

std::string JsonAtlasText(const SheetPlan& plan, const DataTarget& target, bool array) {
  const SheetNames names = NamesOf(plan, target);
  Json frames = array ? Json::array() : Json::object();
  for (int k = 0; k < plan.Frames(); ++k) {
    const Placement& p = plan.placements[std::size_t(k)];
    const Rect& cell = p.sheet;
    const std::string& name = names.frames[std::size_t(k)];
    Json frame;
    if (array) frame["filename"] = name;
    frame["frame"] = {{"x", cell.x}, {"y", cell.y}, {"w", cell.width}, {"h", cell.height}};
    frame["rotated"] = false;
    frame["trimmed"] = p.Trimmed();
    frame["spriteSourceSize"] = {
        {"x", p.inFrame.x}, {"y", p.inFrame.y}, {"w", p.inFrame.width}, {"h", p.inFrame.height}};
    frame["sourceSize"] = Size(p.fullWidth, p.fullHeight);
    frame["anchor"] = {{"x", p.pivotX}, {"y", p.pivotY}};
    frame["duration"] = FrameMilliseconds(target.fps);
    frame["angle"] = p.angle;
    if (array) {
      frames.push_back(std::move(frame));
    } else {
      frames[name] = std::move(frame);
    }
  }
  Json data;
  data["frames"] = std::move(frames);
  Json animations = Json::object();
  Json tags = Json::array();
  for (const Animation& animation : names.animations) {
    Json list = Json::array();
    for (int k : animation.frames) list.push_back(names.frames[std::size_t(k)]);
    animations[animation.name] = std::move(list);
    // Tags as Aseprite writes them, which name frames by number: only
    // createFromAseprite reads them, and only from the aseprite form. A tag
    // names a run of frames, which the frames of an angle are not.
    const auto& run = animation.frames;
    if (std::adjacent_find(run.begin(), run.end(), [](int a, int b) { return b != a + 1; }) !=
        run.end()) {
      continue;
    }
    tags.push_back({{"name", animation.name},
                    {"from", animation.frames.front()},
                    {"to", animation.frames.back()},
                    {"direction", "forward"}});
  }
  data["animations"] = std::move(animations);
  data["meta"] = {
      {"app", "gyrelle"},
      {"version", GYRELLE_VERSION},
      {"image", RelativeImagePath(target.imagePath, target.dataPath)},
      {"format", target.alpha ? "RGBA8888" : "RGB888"},
      {"size", Size(plan.width, plan.height)},
      {"scale", "1"},
      {"frameTags", std::move(tags)},
  };
  if (plan.premultiplied) data["meta"]["premultiplied"] = true;
  return data.dump(2) + "\n";
}

std::string SheetDataText(const SheetPlan& plan, const std::string& imagePath, bool alpha,
                          DataFormat format, const std::string& dataPath, int fps) {
  return SheetDataText(plan, format, {imagePath, dataPath, alpha, fps});
}

std::string SheetDataText(const SheetPlan& plan, DataFormat format, const DataTarget& target) {
  const DataFormatRow* row = DataFormatRowOf(format);
  return row != nullptr && plan.Frames() > 0 ? row->writer(plan, target) : std::string();
}

bool WriteSheetData(const SheetPlan& plan, DataFormat format, const DataTarget& target,
                    std::string* reason) {
  std::string text;
  try {
    text = SheetDataText(plan, format, target);
  } catch (const std::exception&) {
    SetReason(reason, Quoted(target.dataPath) + " could not be written: not enough memory");
    return false;
  }
  return WriteFileAtomically(target.dataPath, text, reason);
}
