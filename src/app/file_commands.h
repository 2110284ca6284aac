#pragma once

#include <string>
#include <vector>

#include "window/window_layer.h"

// The platform's open and save dialogs for one command run.
class FileDialog {
 public:
  static constexpr int kOpenMode = 1;
  static constexpr int kSaveMode = 2;

  // mode 1: an open dialog; any other value: a save dialog. The dialog
  // starts with the first type of `filter` selected.
  void Setup(const std::string& title, const std::string& initialDirectory,
             const std::vector<FileFilter>& filter, int mode);
  // An open dialog that lets several files be chosen.
  void AllowSeveral() { request_.several = true; }
  void Reset();
  // Runs the dialog on `layer` over `owner`; Path() is "" when nothing was
  // chosen.
  void Run(WindowLayer& layer, WindowHandle owner);

  std::string Path() const { return path_; }
  // Every file chosen, Path() first; empty when none was.
  std::vector<std::string> Paths() const;
  // The directory of Path(), with its trailing "/".
  std::string Directory() const { return path_.substr(0, fileNameOffset_); }
  // Path()'s extension upper-cased, "" when it has none.
  std::string Extension() const;
  // 0-based type chosen, -1 when nothing was chosen.
  int FilterIndex() const { return filterIndex_ - 1; }

 private:
  FileDialogRequest request_;
  std::string path_;
  int fileNameOffset_ = 0;
  int extensionOffset_ = 0;
  int filterIndex_ = 0;
  std::vector<std::string> more_;
};

struct AppSettings;
struct AppState;
class BackgroundWork;

// File, Open: the pictures chosen to open, none or one or several; the file
// dialogs start in the folder of the first from now on.
std::vector<std::string> OpenCommand(const AppState& state, AppSettings& settings);
// A picture named on the command line, or dropped onto the window, as Open
// takes it: its full path, its folder where the file dialogs start.
std::string PathToOpen(AppSettings& settings, const std::string& path);
// File, Save As: write the current picture, and its mask when asked.
void SaveAsCommand(const AppState& state, AppSettings& settings, BackgroundWork& work);
