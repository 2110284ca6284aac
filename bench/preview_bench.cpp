// Measures the preview side by side in one run and prints the ratios:
//  - painting the view of a 720-frame strip against that of a 1-frame
//    picture (the paint must not grow with the strip: at most 1.5x);
//  - BuildPreviewBitmap on a 256 x (256 x 360) strip against the
//    BuildFrameStrip that makes it (under a tenth).
// Runs headless unless QT_QPA_PLATFORM says otherwise.

#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>

#include "app/app_state.h"
#include "app/main_window.h"
#include "sheet/sheet_builder.h"
#include "turn/library_turn.h"
#include "engine/strip_pipeline.h"
#include "resources/program_resources.h"
#include "resources/resource_ids.h"
#include "window/qt/qt_window_layer.h"

namespace {

// Keeps config.txt out of the build directory.
class BenchLayer : public QtWindowLayer {
 public:
  BenchLayer() : QtWindowLayer(ProgramResources()) {}
  std::string ExecutablePath() override {
    return (std::filesystem::temp_directory_path() / "gyrelle-bench" / "gyrelle").string();
  }
};

using Clock = std::chrono::steady_clock;

double Seconds(const std::function<void()>& work, int times = 1) {
  const Clock::time_point start = Clock::now();
  for (int i = 0; i < times; ++i) work();
  return std::chrono::duration<double>(Clock::now() - start).count() / times;
}

std::unique_ptr<Image> Picture(int width, int height) {
  auto image = std::make_unique<Image>();
  image->Allocate("bench", width, height, 3);
  std::uint8_t* pixel = image->Pixels();
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x, pixel += 3) {
      pixel[0] = std::uint8_t(x * 7);
      pixel[1] = std::uint8_t(y * 3);
      pixel[2] = std::uint8_t(x ^ y);
    }
  }
  return image;
}

// The time of one paint of the main window showing `image` scrolled to `scrollY`.
double PaintTime(MainWindow& app, WindowLayer& layer, const Image& image, int scrollY) {
  app.BuildPreviewBitmap(image);
  ScrollInfo position;
  position.pos = scrollY;
  const WindowHandle window = app.State().MainWindow;
  layer.SetScrollInfo(window, kVerticalScrollBar, position, SIF_POS);
  app.State().ScrollY = layer.GetScrollInfo(window, kVerticalScrollBar).pos;
  return Seconds([&] { layer.RepaintNow(window); }, 200);
}

int failures = 0;

void Report(const char* what, double ratio, double limit, double a, double b, const char* unit,
            double scale) {
  const bool ok = ratio <= limit;
  failures += ok ? 0 : 1;
  std::printf("%-58s %10.3g  (%.3f %s vs %.3f %s; limit %.2f) %s\n", what, ratio, a * scale, unit,
              b * scale, unit, limit, ok ? "ok" : "TOO SLOW");
}

void Measure(MainWindow& app, WindowLayer& layer) {
  // Both fill the 310 x 260 viewport, so both paints copy the same block.
  const std::unique_ptr<Image> picture = Picture(320, 272);
  const std::unique_ptr<Image> strip = Picture(320, 272 * 720);
  double pictureTime = 1e9;
  double stripTime = 1e9;
  // Best of several rounds, taking turns at going first.
  for (int round = 0; round < 6; ++round) {
    if (round % 2)
      stripTime = std::min(stripTime, PaintTime(app, layer, *strip, strip->Height() / 2));
    pictureTime = std::min(pictureTime, PaintTime(app, layer, *picture, 0));
    if (round % 2 == 0) {
      stripTime = std::min(stripTime, PaintTime(app, layer, *strip, strip->Height() / 2));
    }
  }
  Report("paint: 720-frame strip / 1-frame picture", stripTime / pictureTime, 1.5, stripTime,
         pictureTime, "us", 1e6);

  SetFillColor(app.State(), app.Settings(), 0, 0, 0);
  const std::unique_ptr<Image> ship = Picture(256, 256);
  std::unique_ptr<Image> frames;
  const double stripBuild = Seconds([&] {
    frames = MakeStrip(*ship, {.frames = 360, .fill = {0, 0, 0}});
  });
  if (!frames) {
    std::printf("BuildFrameStrip failed\n");
    ++failures;
    return;
  }
  const double previewBuild = Seconds([&] { app.BuildPreviewBitmap(*frames); }, 1000);
  Report("BuildPreviewBitmap / BuildFrameStrip, 256 x (256 x 360)", previewBuild / stripBuild, 0.1,
         previewBuild, stripBuild, "us", 1e6);
  app.State().PreviewImage = nullptr;
}

bool BenchProc(MainWindow& app, WindowHandle window, unsigned message, WParam wParam,
               LParam lParam) {
  const bool handled = app.MainWindowProc(window, message, wParam, lParam);
  if (message == WM_INITDIALOG) {
    // Paints reach the screen only once the window is exposed.
    auto* poll = new QTimer(qApp);
    QObject::connect(poll, &QTimer::timeout, [&app, poll, window] {
      auto& layer = static_cast<QtWindowLayer&>(*app.State().Instance);
      QWindow* shown = layer.Widget(window)->windowHandle();
      if (!shown || !shown->isExposed()) return;
      poll->deleteLater();
      Measure(app, layer);
      layer.EndDialog(window, 0);
    });
    poll->start(10);
  }
  return handled;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  BenchLayer layer;
  std::filesystem::create_directories(std::filesystem::path(layer.ExecutablePath()).parent_path());
  MainWindow app(layer);
  SetFillColor(app.State(), app.Settings(), 255, 255, 255);
  layer.RunModalDialog(kMainWindowTemplate, 0,
                       [&app](WindowHandle window, unsigned message, WParam wParam, LParam lParam) {
                         return BenchProc(app, window, message, wParam, lParam);
                       });
  return failures ? 1 : 0;
}
