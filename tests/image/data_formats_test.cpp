#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>

#include "sheet/frame_names.h"
#include "sheet/sheet_data.h"

// Every data format written and read back by its own rules: each frame of
// each animation must come back where the plan put it, trimmed frames too.

namespace {

using Json = nlohmann::json;

struct ReadFrame {
  std::string animation;
  Rect sheet;
  Rect inFrame;
  int fullWidth = 0;
  int fullHeight = 0;
  bool operator==(const ReadFrame&) const = default;
};

// Two pictures of three frames each, their placements interleaved, most
// of them trimmed; the full frames of the two differ in size.
SheetPlan TwoPictures() {
  SheetPlan plan;
  plan.width = 100;
  plan.height = 40;
  for (int k = 0; k < 6; ++k) {
    const int picture = k % 2, frame = 2 - k / 2;  // frames placed last first
    const int w = 5 + k, h = 9 - k;
    plan.placements.push_back({.picture = picture,
                               .frame = frame,
                               .sheet = {k * 15, k, w, h},
                               .inFrame = {k, 2 * k % 5, w, h},
                               .fullWidth = picture ? 16 : 12,
                               .fullHeight = picture ? 10 : 14});
  }
  plan.placements[4].inFrame = {0, 0, 12, 14};  // one frame untrimmed
  plan.placements[4].sheet = {60, 4, 12, 14};
  return plan;
}

std::vector<ReadFrame> Expected(const SheetPlan& plan) {
  std::vector<ReadFrame> frames;
  for (int picture = 0; picture < 2; ++picture) {
    for (int frame = 0; frame < 3; ++frame) {
      for (const Placement& p : plan.placements) {
        if (p.picture == picture && p.frame == frame) {
          frames.push_back({"spin_" + std::to_string(picture), p.sheet, p.inFrame, p.fullWidth,
                            p.fullHeight});
        }
      }
    }
  }
  return frames;
}

std::string Text(DataFormat format, int fps = kDefaultFps) {
  return SheetDataText(TwoPictures(), format, {"/p/art/s.png", "/p/data/s.x", true, fps});
}

Rect JsonRect(const Json& r) {
  return {r["x"].get<int>(), r["y"].get<int>(), r["w"].get<int>(), r["h"].get<int>()};
}

ReadFrame FromJson(const std::string& animation, const Json& frame, int milliseconds) {
  EXPECT_EQ(frame["duration"], milliseconds);
  const int w = frame["sourceSize"]["w"], h = frame["sourceSize"]["h"];
  EXPECT_EQ(frame["trimmed"], (JsonRect(frame["spriteSourceSize"]) != Rect{0, 0, w, h}));
  return {animation, JsonRect(frame["frame"]), JsonRect(frame["spriteSourceSize"]), w, h};
}

TEST(DataFormats, JsonHashAndArrayComeBackAsPlanned) {
  for (DataFormat format : {DataFormat::kJsonHash, DataFormat::kJsonArray}) {
    const Json data = Json::parse(Text(format, 25));
    std::vector<ReadFrame> read;
    for (const auto& [name, frameNames] : data["animations"].items()) {
      for (const std::string frameName : frameNames) {
        Json frame = data["frames"].is_object() ? data["frames"][frameName] : Json();
        for (const Json& each : data["frames"].is_array() ? data["frames"] : Json::array()) {
          if (each["filename"] == frameName) frame = each;
        }
        read.push_back(FromJson(name, frame, 40));
      }
    }
    EXPECT_EQ(read, Expected(TwoPictures()));
    EXPECT_EQ(data["meta"]["image"], "../art/s.png");
  }
}

std::vector<ReadFrame> ReadAseprite(const Json& data, int milliseconds) {
  std::vector<ReadFrame> read;
  for (const Json& tag : data["meta"]["frameTags"]) {
    EXPECT_EQ(tag["direction"], "forward");
    for (int i = tag["from"]; i <= tag["to"]; ++i) {
      read.push_back(FromJson(tag["name"], data["frames"][std::to_string(i)], milliseconds));
    }
  }
  return read;
}

TEST(DataFormats, AsepriteTagsNameEveryFrameByNumber) {
  const Json data = Json::parse(Text(DataFormat::kAseprite, 3));
  const std::vector<ReadFrame> read = ReadAseprite(data, 333);
  EXPECT_EQ(data["frames"].size(), 6u);
  EXPECT_EQ(read, Expected(TwoPictures()));
}

// Godot's text resource, by its grammar: sections, `key = value` lines,
// Rect2(x, y, w, h), and the animations' dictionaries.
std::vector<ReadFrame> ReadGodot(const std::string& text, bool godot4) {
  const std::string q = godot4 ? "\"" : "";
  const std::regex header(godot4 ? R"(^\[gd_resource type="SpriteFrames" load_steps=8 format=3\]\n)"
                                 : R"(^\[gd_resource type="SpriteFrames" load_steps=8 format=2\]\n)");
  EXPECT_TRUE(std::regex_search(text, header)) << text;
  EXPECT_NE(text.find(godot4 ? R"([ext_resource type="Texture2D" path="../art/s.png" id="1_sheet"])"
                             : R"([ext_resource path="../art/s.png" type="Texture" id=1])"),
            std::string::npos);
  const std::string rect = R"(Rect2\( ?(\d+), (\d+), (\d+), (\d+) ?\))";
  const std::regex sub(R"(\[sub_resource type="AtlasTexture" id=)" + q + "([^\"\\]]+)" + q +
                       R"(\]\natlas = ExtResource\( ?)" + q + (godot4 ? "1_sheet" : "1") + q +
                       R"( ?\)\nregion = )" + rect + R"(\nmargin = )" + rect +
                       R"(\nfilter_clip = true\n)");
  std::map<std::string, ReadFrame> textures;
  for (std::sregex_iterator m(text.begin(), text.end(), sub), end; m != end; ++m) {
    auto n = [&m](int i) { return std::stoi((*m)[i]); };
    textures[(*m)[1]] = {"", {n(2), n(3), n(4), n(5)}, {n(6), n(7), n(4), n(5)},
                         n(4) + n(8), n(5) + n(9)};
  }
  const std::regex animation(
      R"re(\{\n"frames": \[ ?([\s\S]*?) ?\],\n"loop": true,\n"name": &?"([^"]+)",\n"speed": 12\.0\n\})re");
  const std::regex use("SubResource\\( ?" + q + "([^\"\\s)]+)" + q + " ?\\)");
  std::vector<ReadFrame> read;
  for (std::sregex_iterator a(text.begin(), text.end(), animation), end; a != end; ++a) {
    const std::string frames = (*a)[1];
    for (std::sregex_iterator u(frames.begin(), frames.end(), use); u != end; ++u) {
      read.push_back(textures.at((*u)[1]));
      read.back().animation = (*a)[2];
    }
  }
  return read;
}

TEST(DataFormats, GodotSpriteFramesPutEveryFrameBackInItsFullFrame) {
  EXPECT_EQ(ReadGodot(Text(DataFormat::kGodot4, 12), true), Expected(TwoPictures()));
  EXPECT_EQ(ReadGodot(Text(DataFormat::kGodot3, 12), false), Expected(TwoPictures()));
}

// The libGDX atlas: a page, then regions, each a name line and indented
// `key: values` lines, offsets measured from the bottom.
std::vector<ReadFrame> ReadLibGdx(const std::string& text) {
  std::istringstream lines(text);
  std::string line;
  std::getline(lines, line);
  EXPECT_EQ(line, "../art/s.png");
  std::vector<std::string> page(5);
  for (std::string& each : page) std::getline(lines, each);
  EXPECT_EQ(page, (std::vector<std::string>{"size: 100,40", "format: RGBA8888",
                                            "filter: Linear,Linear", "repeat: none",
                                            "pma: false"}));
  std::vector<ReadFrame> read;
  std::map<std::string, int> nextIndex;
  int v[4];
  while (std::getline(lines, line)) {
    ReadFrame frame;
    frame.animation = line;
    if (!std::getline(lines, line) ||
        std::sscanf(line.c_str(), "  bounds: %d,%d,%d,%d", &v[0], &v[1], &v[2], &v[3]) != 4) {
      ADD_FAILURE() << line;
      break;
    }
    frame.sheet = {v[0], v[1], v[2], v[3]};
    if (!std::getline(lines, line) ||
        std::sscanf(line.c_str(), "  offsets: %d,%d,%d,%d", &v[0], &v[1], &v[2], &v[3]) != 4) {
      ADD_FAILURE() << line;
      break;
    }
    frame.fullWidth = v[2], frame.fullHeight = v[3];
    frame.inFrame = {v[0], v[3] - v[1] - frame.sheet.height, frame.sheet.width,
                     frame.sheet.height};
    std::getline(lines, line);
    EXPECT_EQ(line, "  index: " + std::to_string(nextIndex[frame.animation]++));
    read.push_back(frame);
  }
  return read;
}

TEST(DataFormats, LibGdxRegionsComeBackAsPlanned) {
  EXPECT_EQ(ReadLibGdx(Text(DataFormat::kLibGdx)), Expected(TwoPictures()));
}

// A fleet's and an animation's names, the same in every format: each
// picture's frames after it, or each angle's frames and spin of frame 0.
TEST(DataFormats, EveryFormatNamesAFleetAndAnAnimationAlike) {
  SheetPlan fleet = TwoPictures();
  fleet.pictureStems = {"hull", "wing"};
  std::vector<ReadFrame> byPicture = Expected(fleet);
  for (ReadFrame& frame : byPicture)
    frame.animation = frame.animation == "spin_0" ? "hull" : "wing";
  SheetPlan animation = fleet;
  animation.animation = true;  // `frame` is the angle, `picture` the animation frame
  std::vector<ReadFrame> byAngle, spin;
  for (int angle = 0; angle < 3; ++angle) {
    for (int picture = 0; picture < 2; ++picture) {
      for (const Placement& p : animation.placements) {
        if (p.frame != angle || p.picture != picture) continue;
        const ReadFrame frame{"", p.sheet, p.inFrame, p.fullWidth, p.fullHeight};
        byAngle.push_back(frame);
        byAngle.back().animation = "s_" + std::to_string(angle);
        if (picture == 0) spin.push_back(frame), spin.back().animation = "spin";
      }
    }
  }
  byAngle.insert(byAngle.end(), spin.begin(), spin.end());
  for (const auto& [plan, expected] :
       {std::pair{fleet, byPicture}, std::pair{animation, byAngle}}) {
    const DataTarget target{"/p/art/s.png", "/p/data/s.x", true, 12};
    EXPECT_EQ(ReadGodot(SheetDataText(plan, DataFormat::kGodot3, target), false), expected);
    EXPECT_EQ(ReadGodot(SheetDataText(plan, DataFormat::kGodot4, target), true), expected);
    EXPECT_EQ(ReadLibGdx(SheetDataText(plan, DataFormat::kLibGdx, target)), expected);
    EXPECT_EQ(ReadAseprite(Json::parse(SheetDataText(plan, DataFormat::kAseprite, target)), 83),
              expected);
    const Json hash = Json::parse(SheetDataText(plan, DataFormat::kJsonHash, target));
    std::vector<ReadFrame> read;
    for (const auto& [name, frameNames] : hash["animations"].items()) {
      for (const std::string frameName : frameNames) {
        read.push_back(FromJson(name, hash["frames"][frameName], 83));
      }
    }
    EXPECT_EQ(read, expected);
  }
  EXPECT_EQ(FrameNamer(animation, "s")(0), "s_2_0") << "angle, then animation frame";
}

}  // namespace

namespace {

// The normal sheet, named where a format has a place for it: the JSON
// forms' meta; Godot 3's "<animation>_normal" animations, cut the same way
// from a second texture. Godot 4 and libGDX have none: their text stays.
TEST(DataFormats, TheNormalSheetIsNamedWhereAFormatHoldsIt) {
  const DataTarget plain{"/p/art/s.png", "/p/data/s.x", true, 12};
  DataTarget lit = plain;
  lit.normalMapPath = "/p/art/s_n.png";
  for (DataFormat format : {DataFormat::kJsonHash, DataFormat::kJsonArray, DataFormat::kAseprite}) {
    EXPECT_EQ(Json::parse(SheetDataText(TwoPictures(), format, lit))["meta"]["normalMap"],
              "../art/s_n.png");
  }
  for (DataFormat format : {DataFormat::kGodot4, DataFormat::kLibGdx}) {
    EXPECT_EQ(SheetDataText(TwoPictures(), format, lit), SheetDataText(TwoPictures(), format, plain));
  }
  const std::string godot3 = SheetDataText(TwoPictures(), DataFormat::kGodot3, lit);
  EXPECT_NE(godot3.find("load_steps=15 format=2]"), std::string::npos);
  EXPECT_NE(godot3.find(R"([ext_resource path="../art/s_n.png" type="Texture" id=2])"),
            std::string::npos);
  // The normal frames, read as the colour frames are once their texture is
  // renamed: the same cuts, under the "_normal" names.
  std::string asColour = std::regex_replace(godot3, std::regex(R"(ExtResource\( 2 \))"),
                                            "ExtResource( 1 )");
  asColour = std::regex_replace(asColour, std::regex("load_steps=15"), "load_steps=8");
  std::vector<ReadFrame> expected = Expected(TwoPictures()), normals = expected;
  for (ReadFrame& frame : normals) frame.animation += "_normal";
  expected.insert(expected.end(), normals.begin(), normals.end());
  EXPECT_EQ(ReadGodot(asColour, false), expected);
}

}  // namespace
