#include "app/main_window.h"

#include <algorithm>
#include <memory>

#include "app/app_state.h"
#include "app/background_work.h"
#include "app/file_commands.h"
#include "app/settings_file.h"
#include "dialogs/dialogs.h"
#include "io/image_io.h"
#include "engine/strip_pipeline.h"
#include "resources/resource_ids.h"

namespace {

constexpr int kViewportWidth = 310;
constexpr int kViewportHeight = 260;
constexpr int kPreviewCentreX = 156;
constexpr int kPreviewCentreY = 131;
// The fill-color swatch in the client area; right and bottom excluded.
constexpr int kSwatchLeft = 11;
constexpr int kSwatchTop = 293;
constexpr int kSwatchRight = 41;
constexpr int kSwatchBottom = 322;

// Opens the file the program was started with, once the window is up.
constexpr unsigned kOpenAtStartMessage = WM_APP + 2;

WindowLayer& Layer() {
  return *g_appState.Instance;
}

void InitMainWindow(WindowHandle window) {
  g_appState.MainWindow = window;
  InitImageLibrary();
  Layer().EnableControl(window, kRotateButton, false);
  Layer().EnableMenuItem(window, kSaveAsCommand, false);
  Layer().SetIcon(window, IconSize::kSmall, kSmallIcon);
  Layer().SetIcon(window, IconSize::kBig, kBigIcon);
  Layer().AcceptDroppedFiles(window);
  if (!g_appState.OpenAtStart.empty()) Layer().PostMessage(window, kOpenAtStartMessage, 0, 0);
}

// Closing during long work waits for its end, so nothing is lost.
bool g_closeAfterWork = false;

void Close(WindowHandle window) {
  if (WorkRunning()) {
    g_closeAfterWork = true;
  } else {
    g_closeAfterWork = false;
    Layer().EndDialog(window, 0);
  }
}

void CloseIfAsked(WindowHandle window) {
  if (g_closeAfterWork && !WorkRunning()) Close(window);
}

void Command(WindowHandle window, unsigned id) {
  // Nothing else starts while long work runs; its dialog comes soon.
  if (WorkRunning() && id != kExitCommand) return;
  switch (id) {
    case kRotateButton:
      Rotate(window);
      break;
    case kOpenCommand:
      OpenCommand();
      break;
    case kSaveAsCommand:
      SaveAsCommand();
      break;
    case kExitCommand:
      Close(window);
      break;
    case kFrameNumberCommand:
      if (const auto count = ShowFrameNumberDialog(Layer(), window, g_appSettings.Frames)) {
        SetFrameCount(*count);
      }
      break;
    case kSaveOptionsCommand:
      if (const auto options = ShowSaveOptionsDialog(Layer(), window, CurrentSaveOptions())) {
        SetSaveOptions(options->compressed, options->eightBit, options->mask);
      }
      break;
    case kFillColorCommand:
      if (const auto color = ShowFillColorDialog(Layer(), window, g_appSettings.FillColor)) {
        SetFillColor(color->red, color->green, color->blue);
      }
      break;
    case kSheetOptionsCommand:
      if (const auto choices = ShowSheetOptionsDialog(Layer(), window, g_appSettings.Sheet)) {
        g_appSettings.Sheet = *choices;
      }
      break;
    case kAboutCommand:
      ShowAboutDialog(Layer(), window);
      break;
    default:  // Escape's cancel among others: the main window stays
      break;
  }
}

void Paint(WindowHandle window) {
  if (g_appState.PreviewReady) DrawPreview();
  // Before the first SetFillColor, and after shutdown, the swatch is white.
  const Rgb fill = g_appState.FillBrush.value_or(Rgb{255, 255, 255});
  Layer().DrawRectangle(window, 0, kSwatchLeft, kSwatchTop, kSwatchRight, kSwatchBottom, fill);
}

// Moves the bar `barId` as `request` asks and scrolls the preview with it.
void Scroll(WindowHandle window, int barId, int& offset, unsigned request) {
  const ScrollInfo info = Layer().GetScrollInfo(window, barId);
  const int now = MoveScrollBar(Layer(), window, barId, RequestedScrollPosition(info, request));
  if (now == info.pos) return;
  offset = now;
  Layer().RepaintNow(window);
}

void Destroy() {
  std::string reason;
  if (!WriteSettingsFile(&reason)) {
    // The window is going: the box stands on its own.
    ReportFailure(0, "Cannot keep the settings in " + Quoted(SettingsFilePath()) + ".", reason);
  }
  ResetAppState();
  Layer().PostQuit(0);
}

}  // namespace

bool MainWindowProc(WindowHandle window, unsigned message, WParam wParam, LParam lParam) {
  switch (message) {
    case WM_INITDIALOG:
      InitMainWindow(window);
      return true;
    case WM_COMMAND:
      Command(window, LowWord(wParam));
      return true;
    case WM_PAINT:
      Paint(window);
      return true;
    case WM_VSCROLL:
      Scroll(window, kVerticalScrollBar, g_appState.ScrollY, LowWord(wParam));
      return false;
    case WM_HSCROLL:
      Scroll(window, kHorizontalScrollBar, g_appState.ScrollX, LowWord(wParam));
      return false;
    case WM_CLOSE:
      Close(window);
      return true;
    case WM_DESTROY:
      Destroy();
      return true;
    case WM_TIMER:
      if (wParam == kProgressDelayTimer) OnProgressDelay();
      CloseIfAsked(window);
      return true;
    case kWorkDoneMessage:
      OnWorkDone();
      CloseIfAsked(window);
      return true;
    case kOpenAtStartMessage:
      OpenFile(g_appState.OpenAtStart);
      return true;
    case WM_DROPFILES: {
      const auto* paths = reinterpret_cast<const std::vector<std::string>*>(lParam);
      if (!WorkRunning() && paths && !paths->empty()) OpenFile(paths->front());
      return true;
    }
    default:
      return false;
  }
}

void BuildPreviewBitmap(const Image& image) {
  const WindowHandle window = g_appState.MainWindow;
  ScrollInfo range;
  range.max = image.Height() - 1;
  range.page = kViewportHeight;
  Layer().SetScrollInfo(window, kVerticalScrollBar, range, SIF_RANGE | SIF_PAGE);
  range.max = image.Width() - 1;
  range.page = kViewportWidth;
  Layer().SetScrollInfo(window, kHorizontalScrollBar, range, SIF_RANGE | SIF_PAGE);
  g_appState.VisibleWidth = std::min(image.Width(), kViewportWidth);
  g_appState.VisibleHeight = std::min(image.Height(), kViewportHeight);
  // No copy: strips can be far taller than any window-system bitmap, and
  // the paint reads the visible block from the image itself.
  g_appState.PreviewImage = &image;
  g_appState.PreviewReady = true;
}

void DrawPreview() {
  const Image* image = g_appState.PreviewImage;
  if (!image) return;
  // Centred on the preview's middle, halves rounded down.
  const int x = kPreviewCentreX - (g_appState.VisibleWidth + 1) / 2;
  const int y = kPreviewCentreY - (g_appState.VisibleHeight + 1) / 2;
  // Only the picture is drawn; the rest of the viewport keeps the window's
  // background.
  const int width = std::clamp(image->Width() - g_appState.ScrollX, 0, kViewportWidth);
  const int height = std::clamp(image->Height() - g_appState.ScrollY, 0, kViewportHeight);
  if (width == 0 || height == 0) return;
  Layer().DrawImageBlock(g_appState.MainWindow, kPreviewControl, *image, g_appState.ScrollX,
                         g_appState.ScrollY, x, y, width, height);
}

void ShowOpenedImage(const std::string& path) {
  struct Read {
    std::unique_ptr<Image> image;
    std::string reason;
  };
  auto read = std::make_shared<Read>();
  StartWork(
      "Reading " + Quoted(path) + "...",
      [path, read](WorkProgress&) { read->image = ReadPicture(path, &read->reason); },
      [path, read](bool cancelled) {
        if (!cancelled) ShowPicture(path, std::move(read->image), read->reason);
      });
}

bool ShowPicture(const std::string& path, std::unique_ptr<Image> image, const std::string& reason) {
  if (!image || image->Width() < 1 || image->Height() < 1 || image->BytesPerPixel() < 3) {
    ReportFailure(g_appState.MainWindow, "Cannot open " + Quoted(path) + ".", reason);
    return false;
  }
  const WindowHandle window = g_appState.MainWindow;
  Layer().EnableControl(window, kRotateButton, true);
  g_appState.ScrollX = 0;
  g_appState.ScrollY = 0;
  BuildPreviewBitmap(*image);
  // A new picture starts at its top-left corner.
  ScrollInfo start;
  Layer().SetScrollInfo(window, kVerticalScrollBar, start, SIF_POS);
  Layer().SetScrollInfo(window, kHorizontalScrollBar, start, SIF_POS);
  const Rgb topLeft = TopLeftColor(*image);
  SetFillColor(topLeft.red, topLeft.green, topLeft.blue);
  g_appState.CurrentImage = std::move(image);
  Layer().Invalidate(window);
  return true;
}

void Rotate(WindowHandle window) {
  // The button's state decides, whatever sent the command.
  if (!Layer().IsControlEnabled(window, kRotateButton) || !g_appState.CurrentImage) return;
  Layer().EnableControl(window, kRotateButton, false);
  const StripOptions options = CurrentStripOptions();
  // The picture stays current, and so alive, until the strip replaces it:
  // nothing else starts meanwhile.
  const Image* picture = g_appState.CurrentImage.get();
  struct Made {
    std::unique_ptr<Image> strip;
    SheetPlan plan;
    std::string reason;
  };
  auto made = std::make_shared<Made>();
  StartWork(
      "Turning the picture...",
      [picture, options, made](WorkProgress& progress) {
        made->strip = MakeStrip(*picture, options, &made->reason, &made->plan, progress.Hook());
      },
      [window, options, made](bool cancelled) {
        // Cancelled, everything stays as it was, even a strip made meanwhile.
        if (cancelled || !made->strip) Layer().EnableControl(window, kRotateButton, true);
        if (cancelled) return;
        if (!made->strip) {
          ReportFailure(window,
                        "Cannot make " + std::to_string(options.frames) + " frames of the picture.",
                        made->reason);
          return;
        }
        BuildPreviewBitmap(*made->strip);
        g_appState.CurrentImage = std::move(made->strip);
        g_appState.CurrentPlan = std::move(made->plan);
        Layer().RepaintNow(window);
        Layer().EnableMenuItem(window, kSaveAsCommand, true);
      });
}

void ReportFailure(WindowHandle owner, const std::string& what, const std::string& reason) {
  Layer().MessageBox(owner, what + "\n" + (reason.empty() ? "The reason is not known." : reason),
                     "Gyrelle", MB_OK | MB_ICONERROR);
}
