#include "app/file_commands.h"

#include <filesystem>
#include <iterator>
#include <memory>
#include <system_error>

#include "app/app_state.h"
#include "app/background_work.h"
#include "app/main_window.h"
#include "engine/strip_pipeline.h"

namespace {

const std::vector<FileFilter> kOpenFilter{
    {"All Files", "*.png;*.jpg;*.jpeg;*.tga;*.bmp;*.pcx"}, {"JPEG (*.jpg, *.jpeg)", "*.jpg;*.jpeg"},
    {"Portable Network Graphic (*.png)", "*.png"},         {"Truevision Targa (*.tga)", "*.tga"},
    {"Windows or OS/2 Bitmaps (*.bmp)", "*.bmp"},          {"ZSoft Paintbrush (*.pcx)", "*.pcx"},
};

// The save types, in the order of kSaveExtensions.
const std::vector<FileFilter> kSaveFilter{
    {"Portable Network Graphic (*.png)", "*.png"},
    {"Truevision Targa (*.tga)", "*.tga"},
    {"Windows or OS/2 Bitmaps (*.bmp)", "*.bmp"},
    {"ZSoft Paintbrush (*.pcx)", "*.pcx"},
};
const char* const kSaveExtensions[] = {"PNG", "TGA", "BMP", "PCX"};

void ReportSaveFailures(const AppState& state, const std::vector<SaveFailure>& failures) {
  for (const SaveFailure& failure : failures) {
    if (failure.kind == SaveFailure::Kind::kMaskOutOfMemory) {
      ReportFailure(state, state.MainWindow, "Cannot make the mask " + Quoted(failure.path) + ".",
                    "There is not enough memory for it.");
    } else {
      ReportFailure(state, state.MainWindow,
                    "Cannot save " + std::string(failure.mask ? "the mask " : "") +
                        Quoted(failure.path) + ".",
                    failure.reason);
    }
  }
}

}  // namespace

void FileDialog::Setup(const std::string& title, const std::string& initialDirectory,
                       const std::vector<FileFilter>& filter, int mode) {
  Reset();
  request_ = FileDialogRequest();
  request_.mode = mode == kOpenMode ? FileDialogMode::kOpen : FileDialogMode::kSave;
  request_.title = title;
  request_.initialDirectory = initialDirectory;
  request_.filters = filter;
  request_.initialFilterIndex = 1;
}

void FileDialog::Reset() {
  path_.clear();
  fileNameOffset_ = extensionOffset_ = filterIndex_ = 0;
}

void FileDialog::Run(WindowLayer& layer, WindowHandle owner) {
  Reset();
  const FileDialogResult result = layer.RunFileDialog(owner, request_);
  if (result.path.empty()) return;
  path_ = result.path;
  fileNameOffset_ = result.fileNameOffset;
  extensionOffset_ = result.extensionOffset;
  filterIndex_ = result.filterIndex;
}

std::string FileDialog::Extension() const {
  if (extensionOffset_ == 0 || extensionOffset_ >= static_cast<int>(path_.size())) return {};
  std::string extension = path_.substr(extensionOffset_);
  for (char& c : extension) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return extension;
}

std::string OpenCommand(const AppState& state, AppSettings& settings) {
  FileDialog dialog;
  dialog.Setup("Open", settings.DefaultDirPath, kOpenFilter, FileDialog::kOpenMode);
  dialog.Run(*state.Instance, state.MainWindow);
  const std::string path = dialog.Path();
  if (!path.empty()) settings.DefaultDirPath = dialog.Directory();
  return path;
}

std::string PathToOpen(AppSettings& settings, const std::string& path) {
  std::error_code error;
  const std::filesystem::path full = std::filesystem::absolute(path, error);
  const std::string chosen = error ? path : full.string();
  settings.DefaultDirPath = chosen.substr(0, chosen.find_last_of('/') + 1);
  return chosen;
}

void SaveAsCommand(const AppState& state, AppSettings& settings, BackgroundWork& work) {
  const Image* image = state.CurrentImage.get();
  if (!image) return;
  FileDialog dialog;
  dialog.Setup("Save As", settings.DefaultDirPath, kSaveFilter, FileDialog::kSaveMode);
  dialog.Run(*state.Instance, state.MainWindow);
  std::string path = dialog.Path();
  if (path.empty()) return;
  settings.DefaultDirPath = dialog.Directory();

  // The chosen type's extension is added unless the name already ends in
  // it; nothing typed is ever taken away.
  const int type = dialog.FilterIndex();
  if (type >= 0 && type < static_cast<int>(std::size(kSaveExtensions)) &&
      dialog.Extension() != kSaveExtensions[type]) {
    path += std::string(".") + kSaveExtensions[type];
  }

  SaveOptions options = CurrentSaveOptions(settings);
  // The data file goes beside the picture, named after it.
  options.dataPath = std::filesystem::path(path).replace_extension(".json").string();
  // The picture stays current, and so alive, while it is written: nothing
  // else starts meanwhile.
  auto failures = std::make_shared<std::vector<SaveFailure>>();
  work.Start(
      "Writing " + Quoted(path) + "...",
      [image, path, options, fill = settings.FillColor, plan = state.CurrentPlan,
       failures](WorkProgress& progress) {
        *failures = SaveStrip(*image, path, options, fill, &plan, progress.Hook());
      },
      [&state, failures](bool cancelled) {
        if (!cancelled) ReportSaveFailures(state, *failures);
      });
}
