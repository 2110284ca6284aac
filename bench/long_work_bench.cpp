// The window during long work: a 720-frame strip of a 512 x 512 picture,
// made by Rotate and written by Save As as PNG, on the real Qt layer
// (headless). A timer asks the main window to repaint every 20 ms and the
// worst wait for the paint is kept; Rotate's time is set beside the same
// strip made on one thread with no window at all.
//
//   long_work_bench [frames] [side]

#include <unistd.h>

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QEvent>
#include <QPushButton>
#include <QTimer>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "app/app_state.h"
#include "app/background_work.h"
#include "app/main_window.h"
#include "bench_support.h"
#include "io/image_io.h"
#include "engine/strip_pipeline.h"
#include "resources/program_resources.h"
#include "resources/resource_ids.h"
#include "window/qt/qt_window_layer.h"
#include "window_bench_support.h"

namespace {

const std::filesystem::path kDir =
    std::filesystem::temp_directory_path() / ("gyrelle-long-work-" + std::to_string(getpid()));

// config.txt and the saved strip stay out of the build directory; Save As
// is answered without a dialog.
class BenchLayer : public QtWindowLayer {
 public:
  BenchLayer() : QtWindowLayer(ProgramResources()) {}
  std::string ExecutablePath() override { return (kDir / "gyrelle").string(); }
  FileDialogResult RunFileDialog(WindowHandle, const FileDialogRequest& request) override {
    const std::string name = request.mode == FileDialogMode::kOpen ? "picture.png" : "strip.png";
    return MakeFileDialogResult((kDir / name).string(), 1);
  }
};

// Asks for a repaint every 20 ms and keeps the longest wait until it came.
class RepaintProbe : public QObject {
 public:
  explicit RepaintProbe(QWidget* target) : target_(target) {
    target_->installEventFilter(this);
    connect(&timer_, &QTimer::timeout, this, [this] {
      if (!asked_.isValid()) asked_.start();
      target_->update();
    });
  }
  void Start() {
    worst_ = 0;
    asked_.invalidate();
    timer_.start(20);
  }
  double Stop() {
    timer_.stop();
    return worst_;
  }

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint && asked_.isValid()) {
      worst_ = std::max(worst_, double(asked_.nsecsElapsed()) / 1e6);
      asked_.invalidate();
    }
    return false;
  }

 private:
  QWidget* target_;
  QTimer timer_;
  QElapsedTimer asked_;
  double worst_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  const int frames = argc > 1 ? std::atoi(argv[1]) : 720;
  const int side = argc > 2 ? std::atoi(argv[2]) : 512;
  std::filesystem::create_directories(kDir);
  InitImageLibrary();
  if (!SaveImageFile(ScaledShip(GYRELLE_SAMPLES_DIR "/escort1.png", side),
                     (kDir / "picture.png").string())) {
    return 1;
  }
  // The very picture the window's Open reads.
  const std::unique_ptr<Image> read = ReadPicture((kDir / "picture.png").string());
  if (!read) return 1;
  const Image& picture = *read;
  StripOptions options;
  options.frames = frames;
  options.fill = TopLeftColor(picture);

  // Wall time and the whole process's CPU time: on a shared machine the
  // second shows the cost, whatever else runs beside.
  struct Times {
    double wall = 1e9, cpu = 1e9;
    void Keep(double w, double c) { wall = std::min(wall, w), cpu = std::min(cpu, c); }
  };
  const auto oneThread = [&](Times& times) {
    QElapsedTimer clock;
    clock.start();
    const double cpu = ProcessCpuSeconds();
    const std::unique_ptr<Image> strip = MakeStrip(picture, options);
    times.Keep(double(clock.nsecsElapsed()) / 1e9, ProcessCpuSeconds() - cpu);
  };

  // Rounds of: the strip on one thread with the window idle, then Open and
  // Rotate in the window; the best of each is kept. Then one Save As.
  constexpr int kRounds = 3;
  BenchLayer layer;
  MainWindow app(layer);
  std::unique_ptr<RepaintProbe> probe;
  QElapsedTimer clock;
  Times single, bare, window;
  double cpuAtClick = 0, rotateWorst = 0, saveSeconds = 0, saveWorst = 0;
  const auto main = [&] { return layer.Widget(app.State().MainWindow); };
  const Image* shown = nullptr;  // current before Rotate
  std::vector<std::function<bool()>> steps{[&] {
    if (!main() || !main()->isVisible()) return false;
    probe = std::make_unique<RepaintProbe>(main());
    SetFrameCount(app.Settings(), frames);
    return true;
  }};
  for (int round = 0; round < kRounds; ++round) {
    steps.push_back([&] {
      oneThread(single);
      // The same off the main thread: the allocator serves a second thread
      // from an arena of its own, which shows in the times.
      std::thread([&] { oneThread(bare); }).join();
      app.ShowOpenedImage((kDir / "picture.png").string());
      return true;
    });
    steps.push_back([&] {
      auto* rotate = main()->findChild<QPushButton*>(QString::number(kRotateButton));
      if (app.Work().Running() || !rotate->isEnabled()) return false;
      shown = app.State().CurrentImage.get();
      probe->Start();
      clock.start();
      cpuAtClick = ProcessCpuSeconds();
      rotate->click();
      return true;
    });
    steps.push_back([&] {
      if (app.Work().Running() || app.State().CurrentImage.get() == shown) return false;
      window.Keep(double(clock.nsecsElapsed()) / 1e9, ProcessCpuSeconds() - cpuAtClick);
      rotateWorst = std::max(rotateWorst, probe->Stop());
      return true;
    });
  }
  steps.push_back([&] {
    probe->Start();
    clock.start();
    app.MainWindowProc(app.State().MainWindow, WM_COMMAND, kSaveAsCommand, 0);
    return true;
  });
  steps.push_back([&] {
    if (app.Work().Running()) return false;
    saveSeconds = double(clock.nsecsElapsed()) / 1e9;
    saveWorst = probe->Stop();
    layer.EndDialog(app.State().MainWindow, 0);
    return true;
  });
  RunSteps(std::move(steps));
  app.Run();

  std::printf("%d frames of %d x %d, library turn, best of %d\n", frames, side, side, kRounds);
  std::printf(
      "Rotate in the window %.2f s wall, %.2f s CPU; the strip alone on the window's thread "
      "(no window) %.2f s wall, %.2f s CPU; alone on a bare thread %.2f s wall, %.2f s CPU\n",
      window.wall, window.cpu, single.wall, single.cpu, bare.wall, bare.cpu);
  std::printf(
      "ratio window / alone on the window's thread: wall %.3f, CPU %.3f (at most 1.05); "
      "/ alone on a bare thread: wall %.3f, CPU %.3f\n",
      window.wall / single.wall, window.cpu / single.cpu, window.wall / bare.wall,
      window.cpu / bare.cpu);
  std::printf(
      "worst repaint wait during Rotate %.1f ms, during Save As (PNG, %.2f s) %.1f ms "
      "(at most 100)\n",
      rotateWorst, saveSeconds, saveWorst);
  std::filesystem::remove_all(kDir);
  return 0;
}
