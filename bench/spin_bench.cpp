// What Spin costs: the real window (Qt, headless unless QT_QPA_PLATFORM
// says otherwise) spins a 16-frame sheet of 256 x 256 frames at 30 frames a
// second; the process's CPU time while it spins is set beside the same
// window idle for as long, and the difference is the share of a core Spin
// takes (at most 5%).
//
//   spin_bench [seconds]

#include <unistd.h>

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QEvent>
#include <QPushButton>
#include <cstdio>
#include <filesystem>
#include <string>

#include "app/main_window.h"
#include "bench_support.h"
#include "io/image_io.h"
#include "resources/program_resources.h"
#include "resources/resource_ids.h"
#include "window/qt/qt_window_layer.h"
#include "window_bench_support.h"

namespace {

const std::filesystem::path kDir =
    std::filesystem::temp_directory_path() / ("gyrelle-spin-" + std::to_string(getpid()));

// config.txt stays out of the build directory.
class BenchLayer : public QtWindowLayer {
 public:
  BenchLayer() : QtWindowLayer(ProgramResources()) {}
  std::string ExecutablePath() override { return (kDir / "gyrelle").string(); }
};

// Counts the paints of a widget.
class PaintCounter : public QObject {
 public:
  explicit PaintCounter(QWidget* target) { target->installEventFilter(this); }
  int paints = 0;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++paints;
    return false;
  }
};

struct Phase {
  double cpu = 0;
  double wall = 0;
  int paints = 0;
  double Share() const { return cpu / wall; }
};

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  std::filesystem::create_directories(kDir);
  InitImageLibrary();
  const std::string picture = (kDir / "picture.png").string();
  if (!SaveImageFile(ScaledShip(GYRELLE_SAMPLES_DIR "/escort1.png", 256), picture)) return 1;

  BenchLayer layer;
  MainWindow app(layer);
  std::unique_ptr<PaintCounter> counter;
  Phase idle, spinning;
  const auto main = [&] { return layer.Widget(app.State().MainWindow); };
  const auto command = [&](int id) {
    app.MainWindowProc(app.State().MainWindow, WM_COMMAND, WParam(id), 0);
  };
  // Measures `phase` for `seconds`, then runs `next`.
  const auto measure = [&](Phase& phase, std::function<void()> next) {
    const int paints = counter->paints;
    const double cpu = ProcessCpuSeconds();
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    QTimer::singleShot(seconds * 1000, [&phase, paints, cpu, clock, next, &counter] {
      phase.wall = double(clock->nsecsElapsed()) / 1e9;
      phase.cpu = ProcessCpuSeconds() - cpu;
      phase.paints = counter->paints - paints;
      next();
    });
  };
  RunSteps({[&] {
              if (!main() || !main()->isVisible()) return false;
              SetFrameCount(app.Settings(), 16);
              app.ShowOpenedImage(picture);
              return true;
            },
            [&] {
              auto* rotate = main()->findChild<QPushButton*>(QString::number(kRotateButton));
              if (app.Work().Running() || !rotate->isEnabled()) return false;
              rotate->click();
              return true;
            },
            [&] {
              if (app.Work().Running() || app.State().CurrentPlan.Frames() != 16) return false;
              // The client area, where the preview is painted.
              counter = std::make_unique<PaintCounter>(
                  main()->findChild<QWidget*>(QString::number(kPreviewControl))->parentWidget());
              command(kSpeedCommands[3]);
              // The steps' own timer is gone once this returns: both phases
              // run with nothing else ticking.
              QTimer::singleShot(200, [&] {
                measure(idle, [&] {
                  command(kSpinCommand);
                  measure(spinning, [&] {
                    command(kSpinCommand);
                    layer.EndDialog(app.State().MainWindow, 0);
                  });
                });
              });
              return true;
            }});
  app.Run();
  std::filesystem::remove_all(kDir);

  const double cost = spinning.Share() - idle.Share();
  std::printf("spin at 30 frames a second, 16 frames of 256 x 256, %d s each:\n", seconds);
  std::printf("  spinning: %.2f s CPU in %.2f s, %d paints (%.1f a second): %.2f%% of a core\n",
              spinning.cpu, spinning.wall, spinning.paints, spinning.paints / spinning.wall,
              100 * spinning.Share());
  std::printf("  idle:     %.2f s CPU in %.2f s, %d paints: %.2f%% of a core\n", idle.cpu,
              idle.wall, idle.paints, 100 * idle.Share());
  std::printf("Spin's cost, spinning - idle: %.2f%% of a core (at most 5) %s\n", 100 * cost,
              cost <= 0.05 ? "ok" : "TOO COSTLY");
  return cost <= 0.05 ? 0 : 1;
}
