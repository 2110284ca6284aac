// Godot's SpriteFrames text resource: one AtlasTexture per frame cutting
// its region out of the sheet, the margin putting a trimmed frame back in
// its full frame, and one animation per picture. Godot 4 (format=3) and
// Godot 3 (format=2) differ only in syntax.

#include <string>

#include "sheet/data_writers.h"

namespace {

std::string Quoted(const std::string& text) {
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') quoted += '\\';
    quoted += c;
  }
  return quoted + "\"";
}

std::string Rect2(int x, int y, int w, int h, bool godot4) {
  const std::string inner = std::to_string(x) + ", " + std::to_string(y) + ", " +
                            std::to_string(w) + ", " + std::to_string(h);
  return godot4 ? "Rect2(" + inner + ")" : "Rect2( " + inner + " )";
}

}  // namespace

bool WriteGodotSpriteFrames(const SheetPlan& plan, const DataTarget& target, int version,
                            std::FILE* file) {
  const bool godot4 = version >= 4;
  // Godot 3 lights an animation with the frames of the one named as it is
  // with "_normal" after; Godot 4 dropped that, so its file names no normal
  // sheet.
  const bool normals = !godot4 && !target.normalMapPath.empty();
  const int textures = normals ? 2 : 1;
  auto subId = [godot4](int k) {
    return godot4 ? "\"AtlasTexture_" + std::to_string(k) + "\"" : std::to_string(k + 1);
  };
  auto call = [godot4](const char* name, const std::string& id) {
    return std::string(name) + (godot4 ? "(" + id + ")" : "( " + id + " )");
  };
  const std::string image = Quoted(RelativeImagePath(target.imagePath, target.dataPath));
  TextOut out(file);
  // A path without "://" is relative to the resource, in Godot 3 and 4.
  out << "[gd_resource type=\"SpriteFrames\" load_steps=" << textures * (plan.Frames() + 1) + 1
      << " format=" << (godot4 ? "3" : "2") << "]\n\n";
  out << (godot4 ? "[ext_resource type=\"Texture2D\" path=" + image + " id=\"1_sheet\"]\n\n"
                 : "[ext_resource path=" + image + " type=\"Texture\" id=1]\n\n");
  if (normals) {
    out << "[ext_resource path=" << Quoted(RelativeImagePath(target.normalMapPath, target.dataPath))
        << " type=\"Texture\" id=2]\n\n";
  }
  for (int t = 0; t < textures; ++t) {
    const std::string sheet = call("ExtResource", godot4 ? "\"1_sheet\"" : std::to_string(t + 1));
    for (int k = 0; k < plan.Frames(); ++k) {
      const Placement& p = plan.placements[std::size_t(k)];
      out << "[sub_resource type=\"AtlasTexture\" id=" << subId(t * plan.Frames() + k) << "]\n";
      out << "atlas = " << sheet << "\n";
      out << "region = " << Rect2(p.sheet.x, p.sheet.y, p.sheet.width, p.sheet.height, godot4)
          << "\n";
      // Where the kept part sits in the full frame, and how much was cut
      // away in all: the texture's size is then the full frame's.
      out << "margin = "
          << Rect2(p.inFrame.x, p.inFrame.y, p.fullWidth - p.inFrame.width,
                   p.fullHeight - p.inFrame.height, godot4)
          << "\n";
      out << "filter_clip = true\n\n";
    }
  }
  const std::string speed = std::to_string(target.fps) + ".0";
  out << "[resource]\nanimations = " << (godot4 ? "[" : "[ ");
  bool first = true;
  for (int t = 0; t < textures; ++t) {
    for (const Animation& animation : NamerOf(plan, target).Animations()) {
      out << (first ? "{\n" : ", {\n") << (godot4 ? "\"frames\": [" : "\"frames\": [ ");
      first = false;
      for (std::size_t i = 0; i < animation.frames.size(); ++i) {
        const std::string texture =
            call("SubResource", subId(t * plan.Frames() + animation.frames[i]));
        out << (i == 0 ? "" : ", ");
        if (godot4) {
          out << "{\n\"duration\": 1.0,\n\"texture\": " << texture << "\n}";
        } else {
          out << texture;
        }
      }
      out << (godot4 ? "],\n" : " ],\n") << "\"loop\": true,\n\"name\": " << (godot4 ? "&" : "")
          << Quoted(animation.name + (t == 1 ? "_normal" : "")) << ",\n\"speed\": " << speed
          << "\n}";
    }
  }
  out << (godot4 ? "]\n" : " ]\n");
  return out.Ok();
}

const char* GodotRefuses(const std::string& name) {
  return JsonRefuses(name) != nullptr ? "a Godot resource holds only UTF-8 names" : nullptr;
}
