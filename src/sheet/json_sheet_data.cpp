#include <nlohmann/json.hpp>

#include "gyrelle_version.h"
#include "sheet/sheet_data.h"

// The data file is laid out as the JSON library prints a whole document
// with an indent of 2, but printed a frame at a time: each piece is the
// library's own text, indented to where it sits.

namespace {

using Json = nlohmann::ordered_json;

// `<image stem>_<k>`, k zero-padded to the width of the last frame's number.
std::string FrameName(const std::string& stem, int k, int frames) {
  const std::string last = std::to_string(frames - 1);
  const std::string number = std::to_string(k);
  return stem + "_" + std::string(last.size() - number.size(), '0') + number;
}

Json Size(int width, int height) {
  return {{"w", width}, {"h", height}};
}

// `value` printed at `depth` levels in: its lines after the first indented.
bool Put(std::FILE* file, const Json& value, int depth) {
  const std::string text = value.dump(2);
  const std::string indent(std::size_t(2 * depth), ' ');
  std::size_t from = 0;
  for (std::size_t end; (end = text.find('\n', from)) != std::string::npos; from = end + 1) {
    if (std::fwrite(text.data() + from, 1, end + 1 - from, file) != end + 1 - from ||
        std::fputs(indent.c_str(), file) < 0) {
      return false;
    }
  }
  return std::fwrite(text.data() + from, 1, text.size() - from, file) == text.size() - from;
}

bool Put(std::FILE* file, const char* text) {
  return std::fputs(text, file) >= 0;
}

Json FrameEntry(const SheetPlan& plan, int k, const std::string& name, bool withName) {
  const FrameRect cell = plan.Frame(k);
  Json frame;
  if (withName) frame["filename"] = name;
  frame["frame"] = {{"x", cell.x}, {"y", cell.y}, {"w", cell.width}, {"h", cell.height}};
  frame["rotated"] = false;
  frame["trimmed"] = false;
  frame["spriteSourceSize"] = {{"x", 0}, {"y", 0}, {"w", cell.width}, {"h", cell.height}};
  frame["sourceSize"] = Size(cell.width, cell.height);
  frame["anchor"] = {{"x", 0.5}, {"y", 0.5}};
  frame["duration"] = 100;
  frame["angle"] = plan.angles[std::size_t(k)];
  return frame;
}

bool WriteJson(const SheetPlan& plan, const SheetDataNames& names, bool array, std::FILE* file) {
  const int frames = plan.Frames();
  if (!Put(file, array ? "{\n  \"frames\": [" : "{\n  \"frames\": {")) return false;
  for (int k = 0; k < frames; ++k) {
    const std::string name = FrameName(names.stem, k, frames);
    if (!Put(file, k == 0 ? "\n    " : ",\n    ")) return false;
    if (!array && !(Put(file, Json(name), 2) && Put(file, ": "))) return false;
    if (!Put(file, FrameEntry(plan, k, name, array), 2)) return false;
  }
  if (!Put(file, array ? "\n  ],\n  \"animations\": {\n    \"spin\": ["
                       : "\n  },\n  \"animations\": {\n    \"spin\": [")) {
    return false;
  }
  for (int k = 0; k < frames; ++k) {
    if (!Put(file, k == 0 ? "\n      " : ",\n      ") ||
        !Put(file, Json(FrameName(names.stem, k, frames)), 3)) {
      return false;
    }
  }
  const Json meta = {
      {"app", "gyrelle"},
      {"version", GYRELLE_VERSION},
      {"image", names.image},
      {"format", names.alpha ? "RGBA8888" : "RGB888"},
      {"size", Size(plan.width, plan.height)},
      {"scale", "1"},
      {"frameTags",
       Json::array({{{"name", "spin"}, {"from", 0}, {"to", frames - 1}, {"direction", "forward"}}})},
  };
  return Put(file, "\n    ]\n  },\n  \"meta\": ") && Put(file, meta, 1) && Put(file, "\n}\n");
}

// The library refuses to print what is not UTF-8; callers ask first.
bool Written(const SheetPlan& plan, const SheetDataNames& names, bool array, std::FILE* file,
             std::string& why) {
  try {
    return WriteJson(plan, names, array, file);
  } catch (const Json::exception&) {
    why = "a name in it is not UTF-8";
    errno = 0;
    return false;
  }
}

}  // namespace

bool WriteJsonHashData(const SheetPlan& plan, const SheetDataNames& names, std::FILE* file,
                       std::string& why) {
  return Written(plan, names, false, file, why);
}

bool WriteJsonArrayData(const SheetPlan& plan, const SheetDataNames& names, std::FILE* file,
                        std::string& why) {
  return Written(plan, names, true, file, why);
}

bool JsonCanHold(const std::string& text) {
  try {
    (void)Json(text).dump();
    return true;
  } catch (const Json::exception&) {
    return false;
  }
}
