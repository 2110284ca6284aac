#include "settings/settings_location.h"

#include <unistd.h>

#include <cstdlib>

namespace {

// An absolute path from the environment, "" when unset, empty or relative:
// a relative one would move with the current directory.
std::string AbsoluteFromEnvironment(const char* name) {
  const char* value = std::getenv(name);
  return value && value[0] == '/' ? std::string(value) : std::string();
}

}  // namespace

std::string SettingsFileLocation(const std::string& programDirectory) {
  const std::string beside = programDirectory + "config.txt";
  const std::string folder = programDirectory.empty() ? "." : programDirectory;
  if (access(folder.c_str(), W_OK) == 0) return beside;
  std::string base = AbsoluteFromEnvironment("XDG_CONFIG_HOME");
  if (base.empty()) {
    const std::string home = AbsoluteFromEnvironment("HOME");
    if (home.empty()) return beside;  // nowhere better: the write will say it failed
    base = home + "/.config";
  }
  return base + "/gyrelle/config.txt";
}
