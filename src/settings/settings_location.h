#pragma once

#include <string>

// Where config.txt lives. Beside the program when the program's folder can
// be written (a build tree, a portable copy); otherwise, as for any
// installed program, in $XDG_CONFIG_HOME/gyrelle/, or ~/.config/gyrelle/
// when that is unset. `programDirectory` ends in "/", or is "" for the
// current directory. Reading and writing both go by this one answer.
std::string SettingsFileLocation(const std::string& programDirectory);
