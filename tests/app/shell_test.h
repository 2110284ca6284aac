#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "app/app_state.h"
#include "app/main_window.h"
#include "fake_window_layer.h"

// Each test runs the shell on a fresh fake layer, with the program's file
// (and so config.txt) in a temporary directory of its own.
class ShellTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Sends WM_INITDIALOG to a new main window.
  void OpenMainWindow();
  // The next file dialog answers `path` with the 1-based type `filterIndex`.
  void Choose(const std::string& path, int filterIndex = 1);
  // File, Open of `path`.
  void OpenPicture(const std::string& path);

  // Writes a width x height PNG into the test's directory: top-left pixel
  // `corner`, every other pixel (x, y, x ^ y).
  std::string WritePicture(const std::string& name, int width, int height,
                           Rgb corner = {10, 20, 30});
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  static std::string ReadBytes(const std::string& path);

  MainWindow& Main() { return *main_; }
  AppSettings& Settings() { return main_->Settings(); }
  AppState& State() { return main_->State(); }

  std::filesystem::path dir_;
  FakeWindowLayer fake_;
  std::unique_ptr<MainWindow> main_;
  WindowHandle window_ = 0;
};
