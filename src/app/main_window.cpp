#include "app/main_window.h"

#include <algorithm>
#include <memory>

#include "app/app_state.h"
#include "app/background_work.h"
#include "app/file_commands.h"
#include "app/settings_file.h"
#include "dialogs/dialogs.h"
#include "engine/fleet_pipeline.h"
#include "engine/job.h"
#include "io/image_io.h"
#include "resources/resource_ids.h"

namespace {

// The fill-color swatch in the client area; right and bottom excluded.
constexpr int kSwatchLeft = 11;
constexpr int kSwatchTop = 293;
constexpr int kSwatchRight = 41;
constexpr int kSwatchBottom = 322;

// Opens the file the program was started with, once the window is up.
constexpr unsigned kOpenAtStartMessage = WM_APP + 2;

}  // namespace

MainWindow::MainWindow(WindowLayer& layer) {
  state_.Instance = &layer;
}

void MainWindow::Run(const std::string& openAtStart) {
  ResetAppState(state_, settings_);
  state_.OpenAtStart = openAtStart;
  ReadSettingsFile(state_, settings_);
  SetFillColor(state_, settings_, 255, 255, 255);
  Layer().RunModalDialog(kMainWindowTemplate, 0, Procedure());
}

DialogProc MainWindow::Procedure() {
  return [this](WindowHandle window, unsigned message, WParam wParam, LParam lParam) {
    return MainWindowProc(window, message, wParam, lParam);
  };
}

void MainWindow::Init(WindowHandle window) {
  state_.MainWindow = window;
  InitImageLibrary();
  Layer().EnableControl(window, kRotateButton, false);
  Layer().EnableMenuItem(window, kSaveAsCommand, false);
  Layer().SetIcon(window, IconSize::kSmall, kSmallIcon);
  Layer().SetIcon(window, IconSize::kBig, kBigIcon);
  Layer().AcceptDroppedFiles(window);
  InitView(window);
  if (!state_.OpenAtStart.empty()) Layer().PostMessage(window, kOpenAtStartMessage, 0, 0);
}

void MainWindow::Close(WindowHandle window) {
  if (work_.Running()) {
    closeAfterWork_ = true;
  } else {
    closeAfterWork_ = false;
    Layer().EndDialog(window, 0);
  }
}

void MainWindow::CloseIfAsked(WindowHandle window) {
  if (closeAfterWork_ && !work_.Running()) Close(window);
}

void MainWindow::Command(WindowHandle window, unsigned id) {
  // Nothing else starts while long work runs; its dialog comes soon.
  if (work_.Running() && id != kExitCommand) return;
  switch (id) {
    case kRotateButton:
      Rotate(window);
      break;
    case kOpenCommand:
      if (const std::vector<std::string> paths = OpenCommand(state_, settings_);
          paths.size() == 1) {
        ShowOpenedImage(paths.front());
      } else if (paths.size() > 1) {
        ShowOpenedPictures(paths);
      }
      break;
    case kSaveAsCommand:
      SaveAsCommand(state_, settings_, work_);
      break;
    case kExitCommand:
      Close(window);
      break;
    case kFrameNumberCommand:
      if (const auto count = ShowFrameNumberDialog(Layer(), window, settings_.Frames)) {
        SetFrameCount(settings_, *count);
      }
      break;
    case kSaveOptionsCommand:
      if (const auto options =
              ShowSaveOptionsDialog(Layer(), window, CurrentSaveOptions(settings_))) {
        SetSaveOptions(settings_, options->compressed, options->eightBit, options->mask);
      }
      break;
    case kFillColorCommand:
      if (const auto color = ShowFillColorDialog(Layer(), window, settings_.FillColor)) {
        SetFillColor(state_, settings_, color->red, color->green, color->blue);
        state_.FillChosen = true;
      }
      break;
    case kSheetOptionsCommand:
      if (const auto choices = ShowSheetOptionsDialog(Layer(), window, settings_.Sheet)) {
        settings_.Sheet = *choices;
      }
      break;
    case kAboutCommand:
      ShowAboutDialog(Layer(), window);
      break;
    default:  // Escape's cancel among others: the main window stays
      ViewCommand(id);
      break;
  }
}

void MainWindow::Paint(WindowHandle window) {
  if (state_.PreviewReady) DrawPreview();
  // Before the first SetFillColor, and after shutdown, the swatch is white.
  const Rgb fill = state_.FillBrush.value_or(Rgb{255, 255, 255});
  Layer().DrawRectangle(window, 0, kSwatchLeft, kSwatchTop + grownDown_, kSwatchRight,
                        kSwatchBottom + grownDown_, fill);
}

// Moves the bar `barId` as `request` asks and scrolls the preview with it.
void MainWindow::Scroll(WindowHandle window, int barId, int& offset, unsigned request) {
  const ScrollInfo info = Layer().GetScrollInfo(window, barId);
  const int now = MoveScrollBar(Layer(), window, barId, RequestedScrollPosition(info, request));
  if (now == info.pos) return;
  offset = now;
  Layer().RepaintNow(window);
}

void MainWindow::Destroy() {
  std::string reason;
  if (!WriteSettingsFile(state_, settings_, &reason)) {
    // The window is going: the box stands on its own.
    ReportFailure(state_, 0,
                  "Cannot keep the settings in " + Quoted(SettingsFilePath(state_)) + ".", reason);
  }
  ResetAppState(state_, settings_);
  Layer().PostQuit(0);
}

bool MainWindow::MainWindowProc(WindowHandle window, unsigned message, WParam wParam,
                                LParam lParam) {
  switch (message) {
    case WM_INITDIALOG:
      Init(window);
      return true;
    case WM_COMMAND:
      Command(window, LowWord(wParam));
      return true;
    case WM_PAINT:
      Paint(window);
      return true;
    case WM_VSCROLL:
      Scroll(window, kVerticalScrollBar, state_.ScrollY, LowWord(wParam));
      return false;
    case WM_HSCROLL:
      Scroll(window, kHorizontalScrollBar, state_.ScrollX, LowWord(wParam));
      return false;
    case WM_CLOSE:
      Close(window);
      return true;
    case WM_SIZE:
      Resized(int(lParam & 0xFFFF), int((lParam >> 16) & 0xFFFF));
      return true;
    case WM_DESTROY:
      Destroy();
      return true;
    case WM_TIMER:
      if (wParam == kProgressDelayTimer) work_.OnProgressDelay();
      if (wParam == kSpinTimer) NextSpinFrame();
      CloseIfAsked(window);
      return true;
    case kWorkDoneMessage:
      work_.OnWorkDone();
      CloseIfAsked(window);
      return true;
    case kOpenAtStartMessage:
      ShowOpenedImage(PathToOpen(settings_, state_.OpenAtStart));
      return true;
    case WM_DROPFILES: {
      const auto* paths = reinterpret_cast<const std::vector<std::string>*>(lParam);
      if (work_.Running() || !paths || paths->empty()) return true;
      if (paths->size() == 1) {
        ShowOpenedImage(PathToOpen(settings_, paths->front()));
      } else {
        std::vector<std::string> full;
        for (const std::string& path : *paths) full.push_back(PathToOpen(settings_, path));
        PathToOpen(settings_, full.front());  // the dialogs start in the first one's folder
        ShowOpenedPictures(full);
      }
      return true;
    }
    default:
      return false;
  }
}

void MainWindow::BuildPreviewBitmap(const Image& image) {
  content_ = {0, 0, image.Width(), image.Height()};
  SetPreviewRanges();
  // No copy: strips can be far taller than any window-system bitmap, and
  // the paint reads the visible block from the image itself.
  state_.PreviewImage = &image;
  state_.PreviewReady = true;
}

void MainWindow::DrawPreview() {
  const Image* image = state_.PreviewImage;
  if (!image) return;
  // Centred on the preview's middle, halves rounded down.
  const int x = viewportWidth_ / 2 + 1 - (state_.VisibleWidth + 1) / 2;
  const int y = viewportHeight_ / 2 + 1 - (state_.VisibleHeight + 1) / 2;
  const int zoom = settings_.View.zoom;
  if (zoom == ViewChoices::kFit) {
    Layer().DrawImageScaled(state_.MainWindow, kPreviewControl, *image, content_.x, content_.y,
                            content_.width, content_.height, x, y, state_.VisibleWidth,
                            state_.VisibleHeight);
    return;
  }
  // Only the picture is drawn; the rest of the viewport keeps the window's
  // background.
  const int width = std::clamp(content_.width - state_.ScrollX, 0, viewportWidth_ / zoom);
  const int height = std::clamp(content_.height - state_.ScrollY, 0, viewportHeight_ / zoom);
  if (width == 0 || height == 0) return;
  const int left = content_.x + state_.ScrollX;
  const int top = content_.y + state_.ScrollY;
  if (zoom == 1) {
    Layer().DrawImageBlock(state_.MainWindow, kPreviewControl, *image, left, top, x, y, width,
                           height);
  } else {
    Layer().DrawImageScaled(state_.MainWindow, kPreviewControl, *image, left, top, width, height,
                            x, y, width * zoom, height * zoom);
  }
}

void MainWindow::ShowOpenedImage(const std::string& path) {
  struct Read {
    std::unique_ptr<Image> image;
    std::string reason;
  };
  auto read = std::make_shared<Read>();
  work_.Start(
      "Reading " + Quoted(path) + "...",
      [path, read](WorkProgress&) { read->image = ReadPicture(path, &read->reason); },
      [this, path, read](bool cancelled) {
        if (!cancelled) ShowPicture(path, std::move(read->image), read->reason);
      });
}

void MainWindow::ShowOpenedPictures(const std::vector<std::string>& paths) {
  struct Read {
    std::vector<std::unique_ptr<Image>> pictures;
    std::string reason;
  };
  auto read = std::make_shared<Read>();
  work_.Start(
      "Reading " + std::to_string(paths.size()) + " pictures...",
      [paths, read](WorkProgress&) { ReadPictures(paths, read->pictures, &read->reason); },
      [this, paths, read](bool cancelled) {
        if (cancelled) return;
        if (read->pictures.empty()) {
          ReportFailure(state_, state_.MainWindow, "Cannot open the pictures.", read->reason);
          return;
        }
        std::unique_ptr<Image> first = std::move(read->pictures.front());
        if (!ShowPicture(paths.front(), std::move(first), {})) return;
        state_.OpenedPaths = paths;
        state_.MorePictures.assign(std::make_move_iterator(read->pictures.begin() + 1),
                                   std::make_move_iterator(read->pictures.end()));
      });
}

bool MainWindow::ShowPicture(const std::string& path, std::unique_ptr<Image> image,
                             const std::string& reason) {
  if (!image || image->Width() < 1 || image->Height() < 1 || image->BytesPerPixel() < 3) {
    ReportFailure(state_, state_.MainWindow, "Cannot open " + Quoted(path) + ".", reason);
    return false;
  }
  const WindowHandle window = state_.MainWindow;
  StopSpin();
  EnableSpin(false);
  Remember(path);
  Layer().EnableControl(window, kRotateButton, true);
  state_.ScrollX = 0;
  state_.ScrollY = 0;
  BuildPreviewBitmap(*image);
  // A new picture starts at its top-left corner.
  ScrollInfo start;
  Layer().SetScrollInfo(window, kVerticalScrollBar, start, SIF_POS);
  Layer().SetScrollInfo(window, kHorizontalScrollBar, start, SIF_POS);
  const Rgb topLeft = TopLeftColor(*image);
  SetFillColor(state_, settings_, topLeft.red, topLeft.green, topLeft.blue);
  state_.OpenedPath = path;
  state_.OpenedWidth = image->Width(), state_.OpenedHeight = image->Height();
  state_.CurrentImage = std::move(image);
  state_.OpenedPaths.clear();
  state_.MorePictures.clear();
  state_.FillChosen = false;
  Layer().Invalidate(window);
  return true;
}

void MainWindow::Rotate(WindowHandle window) {
  // The button's state decides, whatever sent the command.
  if (!Layer().IsControlEnabled(window, kRotateButton) || !state_.CurrentImage) return;
  Layer().EnableControl(window, kRotateButton, false);
  const StripOptions options = CurrentStripOptions(settings_);
  // Several pictures go through the job the command line runs, each with
  // its own fill unless one was chosen.
  const Job job{state_.OpenedPaths, {}, options, {}, !state_.FillChosen};
  const std::string what = "Cannot make " + std::to_string(options.frames) + " frames of the " +
                           (job.inputs.empty() ? "picture." : "pictures.");
  if (const JobProblem problem = ValidateJob(job)) {
    ReportFailure(state_, window, what, problem.text);
    Layer().EnableControl(window, kRotateButton, true);
    return;
  }
  // The picture stays current, and so alive, until the strip replaces it:
  // nothing else starts meanwhile.
  std::vector<const Image*> pictures{state_.CurrentImage.get()};
  for (const auto& picture : state_.MorePictures) pictures.push_back(picture.get());
  struct Made {
    std::unique_ptr<Image> strip;
    SheetPlan plan;
    std::string reason;
  };
  auto made = std::make_shared<Made>();
  work_.Start(
      job.inputs.empty() ? "Turning the picture..." : "Turning the pictures...",
      [pictures, job, made](WorkProgress& progress) {
        if (job.inputs.empty()) {
          made->strip =
              MakeStrip(*pictures.front(), job.strip, &made->reason, &made->plan, progress.Hook());
          return;
        }
        JobSheet sheet;
        const JobResult failed = MakeManySheet(job, pictures, sheet, progress.Hook());
        if (!failed.failures.empty()) made->reason = failed.failures.front();
        made->strip = std::move(sheet.sheet);
        made->plan = std::move(sheet.plan);
      },
      [this, window, what, made, options](bool cancelled) {
        // Cancelled, everything stays as it was, even a strip made meanwhile.
        if (cancelled || !made->strip) Layer().EnableControl(window, kRotateButton, true);
        if (cancelled) return;
        if (!made->strip) {
          ReportFailure(state_, window, what, made->reason);
          return;
        }
        BuildPreviewBitmap(*made->strip);
        state_.CurrentImage = std::move(made->strip);
        state_.CurrentPlan = std::move(made->plan);
        state_.MorePictures.clear();  // their sheet is what Save As writes
        state_.CurrentStrip = options;
        Layer().RepaintNow(window);
        Layer().EnableMenuItem(window, kSaveAsCommand, true);
        EnableSpin(true);
      });
}
