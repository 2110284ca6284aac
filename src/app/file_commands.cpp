#include "app/file_commands.h"

#include <algorithm>
#include <deque>
#include <filesystem>
#include <iterator>
#include <memory>
#include <system_error>

#include "app/app_state.h"
#include "app/background_work.h"
#include "app/main_window.h"
#include "engine/job.h"
#include "engine/normal_sheet.h"
#include "io/picture_formats.h"
#include "sheet/data_formats.h"

namespace {

// The file dialogs' filters, made once from the table of picture formats:
// Open lists every format read, after all of them together, by name; Save
// As those written, in the table's order.
struct Filters {
  std::deque<std::string> text;  // what the filters point into; never moves
  std::vector<FileFilter> open, save;
  std::vector<std::string> savedExtensions;  // of each save filter, in capitals
};

const Filters& FileFilters() {
  static const Filters filters = [] {
    Filters made;
    std::vector<std::pair<std::string, std::string>> open, save;
    std::string all;
    for (const PictureFormatRow& row : PictureFormats()) {
      std::string patterns, shown;
      for (const char* extension : row.extensions) {
        if (extension == nullptr) continue;
        patterns += (patterns.empty() ? "*." : ";*.") + std::string(extension);
        shown += (shown.empty() ? "*." : ", *.") + std::string(extension);
      }
      const std::string description = std::string(row.description) + " (" + shown + ")";
      if (row.read) all += (all.empty() ? "" : ";") + patterns, open.emplace_back(description, patterns);
      if (row.write) {
        save.emplace_back(description, patterns);
        made.savedExtensions.push_back(Extension(std::string(".") + row.extensions[0]));
      }
    }
    std::sort(open.begin(), open.end());
    open.insert(open.begin(), {"All Files", all});
    const auto keep = [&made](const std::vector<std::pair<std::string, std::string>>& from,
                              std::vector<FileFilter>& to) {
      for (const auto& [description, patterns] : from) {
        made.text.push_back(description);
        const char* d = made.text.back().c_str();
        made.text.push_back(patterns);
        to.push_back({d, made.text.back().c_str()});
      }
    };
    keep(open, made.open);
    keep(save, made.save);
    return made;
  }();
  return filters;
}

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
  more_.clear();
}

void FileDialog::Run(WindowLayer& layer, WindowHandle owner) {
  Reset();
  const FileDialogResult result = layer.RunFileDialog(owner, request_);
  if (result.path.empty()) return;
  path_ = result.path;
  fileNameOffset_ = result.fileNameOffset;
  extensionOffset_ = result.extensionOffset;
  filterIndex_ = result.filterIndex;
  more_ = result.more;
}

std::vector<std::string> FileDialog::Paths() const {
  if (path_.empty()) return {};
  std::vector<std::string> paths{path_};
  paths.insert(paths.end(), more_.begin(), more_.end());
  return paths;
}

std::string FileDialog::Extension() const {
  if (extensionOffset_ == 0 || extensionOffset_ >= static_cast<int>(path_.size())) return {};
  std::string extension = path_.substr(extensionOffset_);
  for (char& c : extension) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return extension;
}

std::vector<std::string> OpenCommand(const AppState& state, AppSettings& settings) {
  FileDialog dialog;
  dialog.Setup("Open", settings.DefaultDirPath, FileFilters().open, FileDialog::kOpenMode);
  dialog.AllowSeveral();
  dialog.Run(*state.Instance, state.MainWindow);
  if (!dialog.Path().empty()) settings.DefaultDirPath = dialog.Directory();
  return dialog.Paths();
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
  dialog.Setup("Save As", settings.DefaultDirPath, FileFilters().save, FileDialog::kSaveMode);
  dialog.Run(*state.Instance, state.MainWindow);
  std::string path = dialog.Path();
  // The window may have gone, and the picture with it, while the dialog was up.
  if (path.empty() || image != state.CurrentImage.get()) return;
  settings.DefaultDirPath = dialog.Directory();

  // The chosen type's extension is added unless the name already ends in
  // it; nothing typed is ever taken away.
  const int type = dialog.FilterIndex();
  const std::vector<std::string>& extensions = FileFilters().savedExtensions;
  if (type >= 0 && type < static_cast<int>(extensions.size()) &&
      dialog.Extension() != extensions[std::size_t(type)]) {
    path += "." + extensions[std::size_t(type)];
  }

  SaveOptions options = CurrentSaveOptions(settings);
  // The data file goes beside the picture, named after it.
  const DataFormatRow* data = DataFormatRowOf(options.data);
  options.dataPath = std::filesystem::path(path)
                         .replace_extension(std::string(".") + (data ? data->extension : "json"))
                         .string();
  // Several pictures' sheet keeps their rules: a mask needs the one fill. With
  // a normal sheet, the opened picture's normal map must not be written over
  // either.
  const bool normals = options.normals.On();
  std::vector<std::string> inputs = state.OpenedPaths;
  if (inputs.empty() && normals) inputs = {state.OpenedPath};
  const Job job{inputs, path, StripOptions{.alpha = image->BytesPerPixel() == 4}, options,
                !state.FillChosen};
  if (const JobProblem problem = ValidateJob(job, &state.CurrentPlan)) {
    ReportFailure(state, state.MainWindow, "Cannot save " + Quoted(path) + ".", problem.text);
    return;
  }
  if (normals && inputs.size() > 1) {
    ReportFailure(state, state.MainWindow, "Cannot save " + Quoted(path) + ".",
                  "the window makes normal sheets of one picture; gyrelle-cli makes them of "
                  "several");
    return;
  }
  // The picture stays current, and so alive, while it is written: nothing
  // else starts meanwhile.
  auto failures = std::make_shared<std::vector<SaveFailure>>();
  work.Start(
      "Writing " + Quoted(path) + "...",
      [image, path, options, fill = settings.FillColor, plan = state.CurrentPlan,
       strip = state.CurrentStrip, input = state.OpenedPath, width = state.OpenedWidth,
       height = state.OpenedHeight, failures](WorkProgress& progress) {
        // The normal sheet is made first: without it nothing is written.
        std::unique_ptr<Image> normalSheet;
        if (options.normals.On()) {
          std::string reason;
          normalSheet = NormalSheetOf(input, width, height, *image, plan, strip, options.normals,
                                      &reason, progress.Hook());
          if (!normalSheet) {
            const std::string normalPath = WithSuffix(path, options.normals.suffix);
            failures->push_back({SaveFailure::Kind::kNotWritten, false, normalPath,
                                 reason + "; nothing was saved"});
            return;
          }
        }
        *failures = SaveStrip(*image, path, options, fill, &plan, progress.Hook(), normalSheet.get());
      },
      [&state, failures](bool cancelled) {
        if (!cancelled) ReportSaveFailures(state, *failures);
      });
}
