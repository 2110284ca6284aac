#pragma once

#include <string>

// config.txt: the frame count, the file dialogs' start directory and the
// three save options.

// Where the file is read from and written to: beside the program when its
// folder can be written, else in the user's configuration folder.
std::string SettingsFilePath();

// Applies the file's values to g_appSettings; a missing file or key gives
// the default.
void ReadSettingsFile();

// Rewrites the whole file from g_appSettings, making its folder first when
// there is none. The old file is replaced only by a complete new one, so a
// failed write keeps the previous settings; false, with a reason, then. A
// link there is followed and stays, a read-only file is kept as it is, and
// a folder that would not read back unchanged is not stored: the file's
// earlier one stays.
bool WriteSettingsFile(std::string* reason = nullptr);
