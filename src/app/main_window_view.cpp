// The main window's view: zoom, the frames spinning in place, a window that
// grows, and the pictures last opened.

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <iterator>

#include "app/file_commands.h"
#include "app/main_window.h"
#include "core/reasons.h"
#include "resources/resource_ids.h"

namespace {

// The client area and the viewport at the template's size.
constexpr int kClientWidth = 348;
constexpr int kClientHeight = 336;
constexpr int kViewportWidth = 310;
constexpr int kViewportHeight = 260;

constexpr int kSpeeds[] = {5, 10, 20, 30};                 // in the order of kSpeedCommands
constexpr int kZooms[] = {1, 2, 4, 8, ViewChoices::kFit};  // in the order of kZoomCommands

// The index of `id` in `commands`, -1 when it is none of them.
template <std::size_t N>
int IndexOf(const int (&commands)[N], unsigned id) {
  const auto found = std::find(std::begin(commands), std::end(commands), int(id));
  return found == std::end(commands) ? -1 : int(found - std::begin(commands));
}

}  // namespace

void MainWindow::InitView(WindowHandle window) {
  Layer().AllowResize(window);
  const ViewChoices& view = settings_.View;
  if (view.width > 0 && view.height > 0) Layer().SetClientSize(window, {view.width, view.height});
  ShowViewChecks();
  EnableSpin(false);
  ShowRecentFiles();
}

void MainWindow::ViewCommand(unsigned id) {
  if (id == kSpinCommand || id == kSpinButton) {
    if (spinning_) {
      StopSpin();
    } else {
      StartSpin();
    }
    ShowViewChecks();
  } else if (const int speed = IndexOf(kSpeedCommands, id); speed >= 0) {
    SetSpeed(kSpeeds[speed]);
  } else if (const int zoom = IndexOf(kZoomCommands, id); zoom >= 0) {
    Zoom(kZooms[zoom]);
  } else if (id >= unsigned(kRecentFileCommand) &&
             id < unsigned(kRecentFileCommand + kRecentFiles)) {
    OpenRecent(int(id) - kRecentFileCommand);
  }
}

void MainWindow::ShowViewChecks() {
  const WindowHandle window = state_.MainWindow;
  for (std::size_t i = 0; i < std::size(kSpeeds); ++i) {
    Layer().CheckMenuItem(window, kSpeedCommands[i], kSpeeds[i] == settings_.View.speed);
  }
  for (std::size_t i = 0; i < std::size(kZooms); ++i) {
    Layer().CheckMenuItem(window, kZoomCommands[i], kZooms[i] == settings_.View.zoom);
  }
  Layer().CheckMenuItem(window, kSpinCommand, spinning_);
}

// The scroll bars' ranges and pages, VisibleWidth and VisibleHeight, for
// the content at the zoom chosen: the bars count the picture's pixels.
void MainWindow::SetPreviewRanges() {
  const int zoom = settings_.View.zoom;
  const int width = content_.width;
  const int height = content_.height;
  ScrollInfo range;
  range.max = height - 1;
  range.page = zoom == ViewChoices::kFit ? height : std::max(1, viewportHeight_ / zoom);
  Layer().SetScrollInfo(state_.MainWindow, kVerticalScrollBar, range, SIF_RANGE | SIF_PAGE);
  range.max = width - 1;
  range.page = zoom == ViewChoices::kFit ? width : std::max(1, viewportWidth_ / zoom);
  Layer().SetScrollInfo(state_.MainWindow, kHorizontalScrollBar, range, SIF_RANGE | SIF_PAGE);
  if (zoom != ViewChoices::kFit) {
    state_.VisibleWidth = std::min(width * zoom, viewportWidth_);
    state_.VisibleHeight = std::min(height * zoom, viewportHeight_);
  } else if (std::int64_t(viewportWidth_) * height <= std::int64_t(viewportHeight_) * width) {
    // As large as the preview holds it whole, its shape kept.
    state_.VisibleWidth = viewportWidth_;
    state_.VisibleHeight = std::max(1, int(std::int64_t(height) * viewportWidth_ / width));
  } else {
    state_.VisibleHeight = viewportHeight_;
    state_.VisibleWidth = std::max(1, int(std::int64_t(width) * viewportHeight_ / height));
  }
}

// The bars keep their positions inside their new ranges; the view follows.
void MainWindow::ReadScrollPositions() {
  state_.ScrollX = Layer().GetScrollInfo(state_.MainWindow, kHorizontalScrollBar).pos;
  state_.ScrollY = Layer().GetScrollInfo(state_.MainWindow, kVerticalScrollBar).pos;
}

void MainWindow::Zoom(int zoom) {
  settings_.View.zoom = zoom;
  ShowViewChecks();
  if (!state_.PreviewReady) return;
  SetPreviewRanges();
  ReadScrollPositions();
  Layer().RepaintNow(state_.MainWindow);
}

void MainWindow::SetSpeed(int speed) {
  settings_.View.speed = speed;
  ShowViewChecks();
  if (spinning_) Layer().SetTimer(state_.MainWindow, kSpinTimer, 1000 / speed);
}

// Spin is there for a sheet the window has made, from its Rotate until the
// next picture is opened.
void MainWindow::EnableSpin(bool enabled) {
  spinnable_ = enabled;
  Layer().EnableControl(state_.MainWindow, kSpinButton, enabled);
  Layer().EnableMenuItem(state_.MainWindow, kSpinCommand, enabled);
}

void MainWindow::StartSpin() {
  if (spinning_ || !spinnable_ || !state_.CurrentImage || state_.CurrentPlan.Frames() < 1) return;
  sheetScrollX_ = state_.ScrollX;
  sheetScrollY_ = state_.ScrollY;
  spinning_ = true;
  spinFrame_ = 0;
  ShowSpinFrame();
  // A timer, never a loop: the window stays free between frames.
  Layer().SetTimer(state_.MainWindow, kSpinTimer, 1000 / settings_.View.speed);
  Layer().SetControlText(state_.MainWindow, kSpinButton, "Stop");
}

void MainWindow::StopSpin() {
  if (!spinning_) return;
  const WindowHandle window = state_.MainWindow;
  Layer().KillTimer(window, kSpinTimer);
  spinning_ = false;
  Layer().SetControlText(window, kSpinButton, "Spin");
  Layer().SetControlText(window, kStatusText, "");
  // The whole sheet again, scrolled where it was.
  if (const Image* image = state_.PreviewImage) {
    content_ = {0, 0, image->Width(), image->Height()};
    SetPreviewRanges();
    ScrollInfo where;
    where.pos = sheetScrollX_;
    Layer().SetScrollInfo(window, kHorizontalScrollBar, where, SIF_POS);
    where.pos = sheetScrollY_;
    Layer().SetScrollInfo(window, kVerticalScrollBar, where, SIF_POS);
    ReadScrollPositions();
  }
  Layer().RepaintNow(window);
}

// Frame spinFrame_ in place of the sheet, its number and angle below.
void MainWindow::ShowSpinFrame() {
  const WindowHandle window = state_.MainWindow;
  const SheetPlan& plan = state_.CurrentPlan;
  const FrameRect frame = plan.Frame(spinFrame_);
  const bool sameSize = frame.width == content_.width && frame.height == content_.height;
  content_ = {frame.x, frame.y, frame.width, frame.height};
  if (spinFrame_ == 0 || !sameSize) {
    ScrollInfo start;
    Layer().SetScrollInfo(window, kHorizontalScrollBar, start, SIF_POS);
    Layer().SetScrollInfo(window, kVerticalScrollBar, start, SIF_POS);
    SetPreviewRanges();
    ReadScrollPositions();
  }
  Layer().SetControlText(window, kStatusText,
                         "Frame " + std::to_string(spinFrame_ + 1) + "/" +
                             std::to_string(plan.Frames()) + ", " +
                             std::to_string(plan.angles[std::size_t(spinFrame_)]) + "\u00b0");
  // Only the preview changes.
  Layer().RepaintControl(window, kPreviewControl);
}

void MainWindow::NextSpinFrame() {
  if (!spinning_) return;
  spinFrame_ = (spinFrame_ + 1) % state_.CurrentPlan.Frames();
  ShowSpinFrame();
}

void MainWindow::Resized(int width, int height) {
  const int wider = std::max(0, width - kClientWidth);
  const int taller = std::max(0, height - kClientHeight);
  viewportWidth_ = kViewportWidth + wider;
  viewportHeight_ = kViewportHeight + taller;
  grownDown_ = taller;
  // Kept only when the user made it larger.
  const bool grown = wider > 0 || taller > 0;
  settings_.View.width = grown ? kClientWidth + wider : 0;
  settings_.View.height = grown ? kClientHeight + taller : 0;
  if (state_.PreviewReady) {
    SetPreviewRanges();
    ReadScrollPositions();
  }
  Layer().Invalidate(state_.MainWindow);
}

void MainWindow::Remember(const std::string& path) {
  std::vector<std::string>& recent = settings_.View.recent;
  std::erase(recent, path);
  recent.insert(recent.begin(), path);
  if (recent.size() > std::size_t(kRecentFiles)) recent.resize(kRecentFiles);
  ShowRecentFiles();
}

void MainWindow::ShowRecentFiles() {
  std::vector<MenuChoice> choices;
  const std::vector<std::string>& recent = settings_.View.recent;
  for (std::size_t i = 0; i < recent.size() && i < std::size_t(kRecentFiles); ++i) {
    choices.push_back({recent[i], kRecentFileCommand + int(i)});
  }
  Layer().SetMenuChoices(state_.MainWindow, kOpenRecentMenu, choices);
}

void MainWindow::OpenRecent(int index) {
  std::vector<std::string>& recent = settings_.View.recent;
  if (index < 0 || std::size_t(index) >= recent.size()) return;
  const std::string path = recent[std::size_t(index)];
  std::error_code error;
  if (!std::filesystem::exists(path, error)) {
    recent.erase(recent.begin() + index);
    ShowRecentFiles();
    ReportFailure(state_, state_.MainWindow, "Cannot open " + Quoted(path) + ".",
                  "It is no longer there, so it leaves the list of recent pictures.");
    return;
  }
  ShowOpenedImage(PathToOpen(settings_, path));
}
