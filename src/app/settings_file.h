#pragma once

#include <string>

struct AppSettings;
struct AppState;

// config.txt: the frame count, the file dialogs' start directory and the
// three save options.

// Where the file is read from and written to: beside the program when its
// folder can be written, else in the user's configuration folder.
std::string SettingsFilePath(const AppState& state);

// Applies the file's values to `settings`; a missing file or key gives the
// default.
void ReadSettingsFile(const AppState& state, AppSettings& settings);

// Rewrites the whole file from `settings`, making its folder first when
// there is none. The old file is replaced only by a complete new one, so a
// failed write keeps the previous settings; false, with a reason, then. A
// link there is followed and stays, a read-only file is kept as it is, and
// a folder that would not read back unchanged is not stored: the file's
// earlier one stays.
bool WriteSettingsFile(const AppState& state, const AppSettings& settings,
                       std::string* reason = nullptr);
