#include "app/settings_file.h"

#include <unistd.h>

#include <cstdio>
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

bool WriteSettingsFile(std::string* reason) {
  auto flag = [](bool set) { return set ? "TRUE;\n" : "FALSE;\n"; };
  const std::string text = std::string("[HULLSPIN]\n") +
                           "\tFRAMES=" + std::to_string(g_appSettings.Frames) + ";\n" +
                           "\tDEFAULT_DIR_PATH=" + g_appSettings.DefaultDirPath + ";\n" +
                           "\tIS_COMPRESSED=" + flag(g_appSettings.IsCompressed) +
                           "\tIS_8BIT_SAVE=" + flag(g_appSettings.Is8BitSave) +
                           "\tHAS_MASK=" + flag(g_appSettings.HasMask) + "[/HULLSPIN]\n";

  // Written whole beside the file, then renamed over it.
  const std::string path = SettingsFilePath();
  const std::filesystem::path folder = std::filesystem::path(path).parent_path();
  std::error_code error;
  if (!folder.empty()) std::filesystem::create_directories(folder, error);
  if (error) {
    SetReason(reason, error.message());
    return false;
  }
  const std::string temporary = path + ".tmp" + std::to_string(getpid());
  std::FILE* file = std::fopen(temporary.c_str(), "wb");
  if (!file) {
    SetReason(reason, SystemError());
    return false;
  }
  bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size() &&
                 std::fflush(file) == 0 && fsync(fileno(file)) == 0;
  written = std::fclose(file) == 0 && written;
  if (!written || std::rename(temporary.c_str(), path.c_str()) != 0) {
    SetReason(reason, SystemError());
    std::remove(temporary.c_str());
    return false;
  }
  return true;
}
