#include "settings/config_file.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <climits>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>

namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

class ConfigFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "gyrelle-config-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir = pattern;
  }
  void TearDown() override { fs::remove_all(dir); }

  void LoadText(const std::string& content) {
    const fs::path path = dir / "config.txt";
    std::ofstream(path, std::ios::binary) << content;
    ASSERT_TRUE(config.Load(path.string()));
  }
  std::string Get(const std::string& keyPath) {
    std::string value = "stale";
    config.GetString(keyPath, value);
    return value;
  }

  fs::path dir;
  ConfigFile config;
};

TEST_F(ConfigFileTest, WrittenFileReadsBackWithLfOrCrLf) {
  for (const std::string eol : {"\n", "\r\n"}) {
    SCOPED_TRACE(eol.size() == 1 ? "LF" : "CR LF");
    LoadText("[HULLSPIN]" + eol + "\tFRAMES=48;" + eol + "\tDEFAULT_DIR_PATH=C:\\Ships\\;" + eol +
             "\tIS_COMPRESSED=TRUE;" + eol + "\tIS_8BIT_SAVE=FALSE;" + eol + "\tHAS_MASK=TRUE;" +
             eol + "[/HULLSPIN]" + eol);
    EXPECT_EQ(config.GetInt("HULLSPIN|FRAMES"), 48);
    EXPECT_EQ(Get("HULLSPIN|DEFAULT_DIR_PATH"), "C:\\Ships\\");
    EXPECT_TRUE(config.GetBool("HULLSPIN|IS_COMPRESSED"));
    EXPECT_FALSE(config.GetBool("HULLSPIN|IS_8BIT_SAVE"));
    EXPECT_TRUE(config.GetBool("HULLSPIN|HAS_MASK"));
    LoadText("K=a" + eol + "b;");
    EXPECT_EQ(Get("K"), "a\nb");
  }
}

TEST_F(ConfigFileTest, LookupRules) {
  const struct {
    std::string text, path, value;
  } cases[] = {
      {"\tFRAMES =5;", "FRAMES", ""},
      {"FRAMES= 12;", "FRAMES", " 12"},
      {"K=a\nb=[c];", "K", "a\nb=[c]"},
      {"K=a\rb;", "K", "a\rb"},  // only CR LF pairs fold
      {"K=;", "K", ""},
      {"K=1", "K", ""},
      {"[S]\nA=1;\nB=2;[/S]", "S|A", "1"},
      {"[S]\nA=1;\nB=2;[/S]", "S|B", ""},  // its ";" is dropped with the body's last character
      {"HAS_MASK=TRUE;MASK=FALSE;", "MASK", "TRUE"},
      {"K=1;K=2;", "K", "1"},
      {"[S]K=1;\n[/S][S]K=2;\n[/S]", "S|K", "1"},
      {"[OUT][IN]K=1;\n[/IN]\n[/OUT]", "OUT|K", "1"},
      {"[S]\nK=1;\n[/S]\nJ=2;", "K", "1"},
      {"[S]\nK=1;\n[/S]\nJ=2;", "J", "2"},
      {"[S]\nK=1;\n[/S]\nJ=2;", "S|J", ""},
      {"[S]K=1;\n[/S]", "s|K", ""},
      {"[S]K=1;\n[/S]", "S|k", ""},
      {"[/S]\n[S]\nK=1;", "S|K", "1"},
      {"[S]K=1;\n[/T]", "S|K", ""},
      {"[]K=1;\n[/]", "|K", "1"},
      {"K=1\0;"s, "K", ""}};
  for (const auto& c : cases) {
    LoadText(c.text);
    EXPECT_EQ(Get(c.path), c.value) << "path " << c.path << " in " << c.text;
  }
}

TEST_F(ConfigFileTest, GetIntReadsLeadingNumberAndSaturates) {
  LoadText(
      "A=+7;B=-3;C=  12abc;D= \t\n\v\f\r5;E=abc;F=;G=-;H=+-5;I=2147483647;J=2147483648;"
      "L=99999999999999999999;M=-2147483648;N=-2147483649;");
  const std::pair<const char*, int> cases[] = {
      {"A", 7},       {"B", -3},      {"C", 12},      {"D", 5},       {"E", 0},
      {"F", 0},       {"G", 0},       {"H", 0},       {"I", INT_MAX}, {"J", INT_MAX},
      {"L", INT_MAX}, {"M", INT_MIN}, {"N", INT_MIN}, {"O", 0}};
  for (const auto& [key, number] : cases) EXPECT_EQ(config.GetInt(key), number) << key;
}

TEST_F(ConfigFileTest, GetBoolOnlyForExactTrue) {
  LoadText("A=TRUE;B=true;C=True;D= TRUE;E=TRUE ;F=1;G=;");
  EXPECT_TRUE(config.GetBool("A"));
  for (const char* key : {"B", "C", "D", "E", "F", "G", "H"}) EXPECT_FALSE(config.GetBool(key));
}

TEST_F(ConfigFileTest, EmptyMissingOrUnreadableFile) {
  EXPECT_EQ(Get("HULLSPIN|FRAMES"), "");
  LoadText("");
  EXPECT_EQ(Get("HULLSPIN|FRAMES"), "");
  EXPECT_EQ(config.GetInt("HULLSPIN|FRAMES"), 0);
  EXPECT_FALSE(config.GetBool("HULLSPIN|HAS_MASK"));

  // A failed load, a directory included, keeps the text loaded before.
  LoadText("K=1;");
  EXPECT_FALSE(config.Load((dir / "missing.txt").string()));
  EXPECT_FALSE(config.Load(dir.string()));
  EXPECT_EQ(Get("K"), "1");
}

TEST_F(ConfigFileTest, SectionChainGivesSameResultsAsFreshDescent) {
  LoadText("[A][B]K=a;\n[/B]\n[/A]\n[C][B]K=c;\n[/B]\n[/C]\n");
  EXPECT_EQ(Get("A|B|K"), "a");
  EXPECT_EQ(Get("C|B|K"), "c");
  EXPECT_EQ(Get("A|B|K"), "a");

  // A new load must not search through sections found in the old text.
  LoadText("[S]K=1;\n[/S]");
  EXPECT_EQ(Get("S|K"), "1");
  LoadText("[S]\n\nK=22;\n[/S]");
  EXPECT_EQ(Get("S|K"), "22");

  // Deep nesting and a long path.
  std::string text, path;
  for (int i = 0; i < 3000; ++i) text += "[S" + std::to_string(i) + "]K=" + std::to_string(i) + ";";
  for (int i = 2999; i >= 0; --i) text += "\n[/S" + std::to_string(i) + "]";
  for (int i = 0; i < 999; ++i) path += "S" + std::to_string(i) + "|";
  LoadText(text);
  EXPECT_EQ(Get(path + "K"), "998");
  EXPECT_EQ(Get(path + "S999|K"), "999");
  EXPECT_EQ(Get(path + "X|K"), "");
  EXPECT_EQ(Get("S0|S2|K"), "2");
}

// A path as deep as the nesting costs about what one level costs, not one
// reading of the text per level.
TEST_F(ConfigFileTest, DeepPathTakesLinearTime) {
  constexpr int kDepth = 2000;
  const std::string padding(4000, '.');
  std::string text, path;
  for (int i = 0; i < kDepth; ++i) text += "[S" + std::to_string(i) + "]" + padding;
  text += "K=deep;\n";
  for (int i = kDepth - 1; i >= 0; --i) text += "[/S" + std::to_string(i) + "]\n";
  for (int i = 0; i < kDepth; ++i) path += "S" + std::to_string(i) + "|";
  LoadText(text);
  const auto time = [&](const std::string& keyPath, const std::string& expected) {
    ConfigFile fresh;
    fresh.Load((dir / "config.txt").string());
    const auto start = std::chrono::steady_clock::now();
    std::string value;
    fresh.GetString(keyPath, value);
    EXPECT_EQ(value, expected) << keyPath.substr(0, 20);
    return std::chrono::steady_clock::now() - start;
  };
  const auto oneLevel = time("S0|K", "deep");
  const auto allLevels = time(path + "K", "deep");
  EXPECT_LT(allLevels, oneLevel * 100 + std::chrono::milliseconds(50));
}

}  // namespace
