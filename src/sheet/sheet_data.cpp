#include "sheet/sheet_data.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <new>
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

void PutJson(TextOut& out, const Json& value, int depth) {
  const std::string text = value.dump(2);
  const std::string indent(std::size_t(2 * depth), ' ');
  std::size_t from = 0;
  for (std::size_t end; (end = text.find('\n', from)) != std::string::npos; from = end + 1) {
    out << std::string_view(text).substr(from, end + 1 - from) << indent;
  }
  out << std::string_view(text).substr(from);
}

const char* JsonRefuses(const std::string& name) {
  // The library refuses to print what is not UTF-8.
  try {
    (void)Json(name).dump();
    return nullptr;
  } catch (const Json::exception&) {
    return "JSON text holds only UTF-8 names";
  }
}

// Printed as the library prints the whole document with an indent of 2,
// but a frame at a time.
bool WriteJsonAtlas(const SheetPlan& plan, const DataTarget& target, bool array, std::FILE* file) {
  const FrameNamer name = NamerOf(plan, target);
  const int frames = plan.Frames();
  TextOut out(file);
  out << (array ? "{\n  \"frames\": [" : "{\n  \"frames\": {");
  for (int k = 0; k < frames; ++k) {
    const Placement& p = plan.placements[std::size_t(k)];
    const Rect& cell = p.sheet;
    const std::string frameName = name(k);
    Json frame;
    if (array) frame["filename"] = frameName;
    frame["frame"] = {{"x", cell.x}, {"y", cell.y}, {"w", cell.width}, {"h", cell.height}};
    frame["rotated"] = false;
    frame["trimmed"] = p.Trimmed();
    frame["spriteSourceSize"] = {
        {"x", p.inFrame.x}, {"y", p.inFrame.y}, {"w", p.inFrame.width}, {"h", p.inFrame.height}};
    frame["sourceSize"] = Size(p.fullWidth, p.fullHeight);
    frame["anchor"] = {{"x", p.pivotX}, {"y", p.pivotY}};
    frame["duration"] = FrameMilliseconds(target.fps);
    frame["angle"] = p.angle;
    out << (k == 0 ? "\n    " : ",\n    ");
    if (!array) {
      PutJson(out, Json(frameName), 2);
      out << ": ";
    }
    PutJson(out, frame, 2);
  }
  if (frames > 0) out << "\n  ";
  out << (array ? "],\n  \"animations\": {" : "},\n  \"animations\": {");
  Json tags = Json::array();
  const std::vector<Animation> animations = name.Animations();
  for (std::size_t a = 0; a < animations.size(); ++a) {
    const Animation& animation = animations[a];
    out << (a == 0 ? "\n    " : ",\n    ");
    PutJson(out, Json(animation.name), 2);
    out << ": [";
    for (std::size_t i = 0; i < animation.frames.size(); ++i) {
      out << (i == 0 ? "\n      " : ",\n      ");
      PutJson(out, Json(name(animation.frames[i])), 3);
    }
    out << (animation.frames.empty() ? "]" : "\n    ]");
    // Tags as Aseprite writes them, which name frames by number: only
    // createFromAseprite reads them, and only from the aseprite form. A tag
    // names a run of frames, which the frames of spin at every angle are not.
    if (!animation.frames.IsRun()) continue;
    tags.push_back({{"name", animation.name},
                    {"from", animation.frames.front()},
                    {"to", animation.frames.back()},
                    {"direction", "forward"}});
  }
  out << (animations.empty() ? "}" : "\n  }") << ",\n  \"meta\": ";
  Json meta = {
      {"app", "gyrelle"},
      {"version", GYRELLE_VERSION},
      {"image", RelativeImagePath(target.imagePath, target.dataPath)},
      {"format", target.alpha ? "RGBA8888" : "RGB888"},
      {"size", Size(plan.width, plan.height)},
      {"scale", "1"},
      {"frameTags", std::move(tags)},
  };
  if (plan.premultiplied) meta["premultiplied"] = true;
  if (!target.normalMapPath.empty()) {
    meta["normalMap"] = RelativeImagePath(target.normalMapPath, target.dataPath);
  }
  PutJson(out, meta, 1);
  out << "\n}\n";
  return out.Ok();
}

std::string SheetDataText(const SheetPlan& plan, const std::string& imagePath, bool alpha,
                          DataFormat format, const std::string& dataPath, int fps) {
  return SheetDataText(plan, format, {imagePath, dataPath, alpha, fps});
}

std::string SheetDataText(const SheetPlan& plan, DataFormat format, const DataTarget& target) {
  const DataFormatRow* row = DataFormatRowOf(format);
  if (row == nullptr || plan.Frames() == 0) return {};
  char* buffer = nullptr;
  std::size_t size = 0;
  std::FILE* file = open_memstream(&buffer, &size);
  if (file == nullptr) throw std::bad_alloc();
  const bool written = row->writer(plan, target, file);
  std::fclose(file);
  std::string text(buffer, size);
  std::free(buffer);
  if (!written) throw std::bad_alloc();
  return text;
}

std::string SheetDataRefusal(DataFormat format, const std::string& imagePath,
                             const std::string& dataPath,
                             const std::vector<std::string>& pictureStems) {
  const DataFormatRow* row = DataFormatRowOf(format);
  if (row == nullptr) return {};
  for (const std::string& picture : pictureStems) {
    if (const char* refusal = row->refuses(picture)) {
      return Quoted(dataPath) + " cannot name the frames of " + Quoted(picture) + ": " + refusal +
             "; rename the picture";
    }
  }
  const std::string stem = std::filesystem::path(imagePath).stem().string();
  const std::string image = RelativeImagePath(imagePath, dataPath);
  const char* refusal = row->refuses(stem);
  if (refusal == nullptr) refusal = row->refuses(image);
  if (refusal == nullptr) return {};
  return Quoted(dataPath) + " cannot name the sheet " + Quoted(image) + ": " + refusal +
         "; rename the sheet";
}

bool WriteSheetData(const SheetPlan& plan, DataFormat format, const DataTarget& target,
                    std::string* reason) {
  const DataFormatRow* row = DataFormatRowOf(format);
  if (row == nullptr) return WriteFileAtomically(target.dataPath, "", reason);
  if (std::string refusal =
          SheetDataRefusal(format, target.imagePath, target.dataPath, plan.pictureStems);
      !refusal.empty()) {
    SetReason(reason, refusal);
    return false;
  }
  try {
    return WriteReplacing(
        target.dataPath,
        [&](std::FILE* file, std::string& why) {
          try {
            return plan.Frames() == 0 || row->writer(plan, target, file);
          } catch (const Json::exception& error) {
            why = error.what();
            errno = 0;
            return false;
          }
        },
        reason);
  } catch (const std::bad_alloc&) {
    SetReason(reason, Quoted(target.dataPath) + " could not be written: not enough memory");
    return false;
  }
}
