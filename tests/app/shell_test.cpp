#include "shell_test.h"

#include <fstream>
#include <iterator>
#include <random>

#include "app/main_window.h"
#include "core/image.h"
#include "io/image_io.h"
#include "resources/resource_ids.h"

void ShellTest::SetUp() {
  std::random_device random;
  dir_ = std::filesystem::temp_directory_path() / ("gyrelle-shell-" + std::to_string(random()));
  std::filesystem::create_directories(dir_);
  main_ = std::make_unique<MainWindow>(fake_);
  fake_.executablePath = Path("gyrelle");
}

void ShellTest::TearDown() {
  main_.reset();
  std::filesystem::remove_all(dir_);
}

void ShellTest::OpenMainWindow() {
  window_ = fake_.Open(kMainWindowTemplate, main_->Procedure());
}

void ShellTest::Choose(const std::string& path, int filterIndex) {
  fake_.fileAnswers.push_back(MakeFileDialogResult(path, filterIndex));
}

void ShellTest::OpenPicture(const std::string& path) {
  Choose(path);
  fake_.Command(window_, kOpenCommand);
}

std::string ShellTest::WritePicture(const std::string& name, int width, int height, Rgb corner) {
  Image picture;
  picture.Allocate(name, width, height, 3);
  std::uint8_t* pixel = picture.Pixels();
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x, pixel += 3) {
      pixel[0] = std::uint8_t(x);
      pixel[1] = std::uint8_t(y);
      pixel[2] = std::uint8_t(x ^ y);
    }
  }
  picture.Pixels()[0] = corner.red;
  picture.Pixels()[1] = corner.green;
  picture.Pixels()[2] = corner.blue;
  const std::string path = Path(name);
  std::string reason;
  EXPECT_TRUE(SaveImageFile(picture, path, &reason)) << reason;
  return path;
}

std::string ShellTest::ReadBytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}
