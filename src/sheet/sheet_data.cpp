#include "sheet/sheet_data.h"

#include <filesystem>
#include <nlohmann/json.hpp>

#include "core/atomic_file.h"
#include "core/reasons.h"
#include "sheet/frame_names.h"
#include "gyrelle_version.h"

namespace {

using Json = nlohmann::ordered_json;

Json Size(int width, int height) {
  return {{"w", width}, {"h", height}};
}

// Where the image is as seen from the data file's folder.
std::string RelativeImagePath(const std::string& imagePath, const std::string& dataPath) {
  namespace fs = std::filesystem;
  std::error_code error;
  const fs::path image = fs::absolute(imagePath, error).lexically_normal();
  const fs::path folder = fs::absolute(dataPath, error).lexically_normal().parent_path();
  const fs::path relative = image.lexically_relative(folder);
  return (relative.empty() ? image : relative).generic_string();
}

}  // namespace

std::string JsonAtlasText(const SheetPlan& plan, const std::string& imagePath, bool alpha,
                          bool array, const std::string& dataPath) {
  const std::string stem = std::filesystem::path(imagePath).stem().string();
  const SheetNames names = NameFrames(plan, stem);
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
    frame["duration"] = 100;
    frame["angle"] = p.angle;
    if (array) {
      frames.push_back(std::move(frame));
    } else {
      frames[name] = std::move(frame);
    }
  }
  Json animations = Json::object();
  Json tags = Json::array();
  for (const auto& [animation, members] : names.animations) {
    Json& list = animations[animation] = Json::array();
    for (int k : members) list.push_back(names.frames[std::size_t(k)]);
    // Tags can only name runs of frames next to each other.
    if (!members.empty() && members.back() - members.front() + 1 == int(members.size())) {
      tags.push_back({{"name", animation},
                      {"from", members.front()},
                      {"to", members.back()},
                      {"direction", "forward"}});
    }
  }
  Json data;
  data["frames"] = std::move(frames);
  data["animations"] = std::move(animations);
  data["meta"] = {
      {"app", "gyrelle"},
      {"version", GYRELLE_VERSION},
      {"image", RelativeImagePath(imagePath, dataPath)},
      {"format", alpha ? "RGBA8888" : "RGB888"},
      {"size", Size(plan.width, plan.height)},
      {"scale", "1"},
      {"frameTags", std::move(tags)},
  };
  return data.dump(2) + "\n";
}

std::string SheetDataText(const SheetPlan& plan, const std::string& imagePath, bool alpha,
                          DataFormat format, const std::string& dataPath) {
  const DataFormatRow* row = DataFormatRowOf(format);
  return row != nullptr ? row->writer(plan, imagePath, alpha, dataPath) : std::string();
}

bool WriteSheetData(const SheetPlan& plan, const std::string& imagePath, bool alpha,
                    DataFormat format, const std::string& dataPath, std::string* reason) {
  std::string text;
  try {
    text = SheetDataText(plan, imagePath, alpha, format, dataPath);
  } catch (const std::exception&) {
    SetReason(reason, Quoted(dataPath) + " could not be written: not enough memory");
    return false;
  }
  return WriteFileAtomically(dataPath, text, reason);
}
