#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// A settings file held in memory as read, answering lookups by key paths of
// "|"-separated parts ("HULLSPIN|FRAMES"): section names outermost first, then
// the key. Sections are "[NAME]" ... "[/NAME]"; an entry is KEY=VALUE;
class ConfigFile {
 public:
  // False when the file cannot be opened or read; the text then stays as it was.
  bool Load(const std::string& path);
  // Takes `text` as if it had been read from a file.
  void SetText(std::string text);

  // The value of keyPath, or "" when there is none.
  void GetString(const std::string& keyPath, std::string& value);
  int GetInt(const std::string& keyPath);
  bool GetBool(const std::string& keyPath);

 private:
  // A stretch of `text`. Offsets rather than views or copies, so the chain
  // stays valid when the object is copied or moved and costs nothing to keep.
  struct TextSpan {
    std::size_t offset = 0;
    std::size_t length = 0;
  };

  // Splits keyPath, descends through its sections and gives the key and the
  // text to look it up in (empty when a section is missing). Takes time
  // linear in the text and the path, however deep both go.
  void ResolvePath(std::string_view keyPath, std::string_view& key, std::string_view& sectionText);
  void ClearChain();

  // The section chain: the leading sections of the last path looked up,
  // outermost first, so keys read in a row from one section find it at once.
  std::vector<std::string> sectionNames;
  std::vector<TextSpan> sectionBodies;
  std::string text;
};
