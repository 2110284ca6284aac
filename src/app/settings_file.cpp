#include "app/settings_file.h"

#include <cstring>
#include <filesystem>
#include <system_error>

#include "app/app_state.h"
#include "image/reasons.h"
#include "settings/config_file.h"
#include "settings/settings_location.h"

std::string SettingsFilePath() {
  return SettingsFileLocation(ExecutableDirectory());
}

void ReadSettingsFile() {
  ConfigFile config;
  config.Load(SettingsFilePath());
  SetFrameCount(config.GetInt("HULLSPIN|FRAMES"));
  config.GetString("HULLSPIN|DEFAULT_DIR_PATH", g_appSettings.DefaultDirPath);
  const bool mask = config.GetBool("HULLSPIN|HAS_MASK");
  const bool eightBit = config.GetBool("HULLSPIN|IS_8BIT_SAVE");
  const bool compressed = config.GetBool("HULLSPIN|IS_COMPRESSED");
  SetSaveOptions(compressed, eightBit, mask);
}

namespace {

std::string SettingsText(const AppSettings& settings) {
  auto flag = [](bool set) { return set ? "TRUE;\n" : "FALSE;\n"; };
  return std::string("[HULLSPIN]\n") + "\tFRAMES=" + std::to_string(settings.Frames) + ";\n" +
         "\tDEFAULT_DIR_PATH=" + settings.DefaultDirPath + ";\n" +
         "\tIS_COMPRESSED=" + flag(settings.IsCompressed) +
         "\tIS_8BIT_SAVE=" + flag(settings.Is8BitSave) + "\tHAS_MASK=" + flag(settings.HasMask) +
         "[/HULLSPIN]\n";
}

// Whether the text of `settings` reads back as every one of them.
bool ReadsBack(const AppSettings& settings) {
  ConfigFile config;
  config.SetText(SettingsText(settings));
  std::string directory;
  config.GetString("HULLSPIN|DEFAULT_DIR_PATH", directory);
  return config.GetInt("HULLSPIN|FRAMES") == settings.Frames &&
         directory == settings.DefaultDirPath &&
         config.GetBool("HULLSPIN|HAS_MASK") == settings.HasMask &&
         config.GetBool("HULLSPIN|IS_8BIT_SAVE") == settings.Is8BitSave &&
         config.GetBool("HULLSPIN|IS_COMPRESSED") == settings.IsCompressed;
}

}  // namespace

bool WriteSettingsFile(std::string* reason) {
  const std::string path = SettingsFilePath();
  const std::filesystem::path folder = std::filesystem::path(path).parent_path();
  std::error_code error;
  if (!folder.empty()) std::filesystem::create_directories(folder, error);
  if (error) {
    SetReason(reason, error.message());
    return false;
  }
  AppSettings stored = g_appSettings;
  // The format has no escapes: a folder whose name would read back cut
  // short, or as another setting (";", "HAS_MASK=TRUE;", "[/HULLSPIN]"), is
  // not stored, and the one the file holds stays.
  if (!ReadsBack(stored)) {
    ConfigFile old;
    old.Load(path);
    old.GetString("HULLSPIN|DEFAULT_DIR_PATH", stored.DefaultDirPath);
    if (!ReadsBack(stored)) stored.DefaultDirPath.clear();
  }
  if (const int failure = WriteConfigFile(path, SettingsText(stored)); failure != 0) {
    SetReason(reason, std::strerror(failure));
    return false;
  }
  return true;
}
