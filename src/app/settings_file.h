#pragma once

#include <string>

// config.txt beside the program: the frame count, the file dialogs' start
// directory and the three save options.

// ExecutableDirectory() followed by "config.txt".
std::string SettingsFilePath();

// Applies the file's values to g_appSettings; a missing file or key gives
// the default.
void ReadSettingsFile();

// Rewrites the whole file from g_appSettings. The old file is replaced only
// by a complete new one, so a failed write keeps the previous settings; a
// folder that would not read back unchanged is not stored, the file's
// earlier one is kept.
void WriteSettingsFile();
