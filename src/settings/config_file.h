#pragma once

#include <string>
#include <vector>

// A settings file held in memory as read, answering lookups by key paths of
// "|"-separated parts ("HULLSPIN|FRAMES"): section names outermost first, then
// the key. Sections are "[NAME]" ... "[/NAME]"; an entry is KEY=VALUE;
class ConfigFile {
 public:
  // False when the file cannot be opened; the text then stays as it was.
  bool Load(const std::string& path);

  // The value of keyPath, or "" when there is none.
  void GetString(const std::string& keyPath, std::string& value);
  int GetInt(const std::string& keyPath);
  bool GetBool(const std::string& keyPath);

 private:
  // (filled in by the implementation)
};
