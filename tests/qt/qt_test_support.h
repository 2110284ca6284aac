#pragma once

// What the headless Qt tests share: the real layer with the program's file in
// the test's directory, steps run from inside the modal loops, and a fixture
// that runs the whole program.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>

#include "app/app_state.h"
#include "app/main_window.h"
#include "resources/program_resources.h"
#include "resources/resource_ids.h"
#include "window/qt/qt_window_layer.h"

// The layer with the program's file in the test's directory, so that
// config.txt is read and written there.
class TestLayer : public QtWindowLayer {
 public:
  TestLayer() : QtWindowLayer(ProgramResources()) {}
  std::string executablePath;
  std::string ExecutablePath() override { return executablePath; }
};

// Steps run one after another from whichever event loop is running (the
// main window's or a dialog's), each retried until it returns true.
class Script {
 public:
  Script(TestLayer& layer, MainWindow& app, std::vector<std::function<bool()>> steps)
      : layer_(layer), app_(app), steps_(std::move(steps)) {
    QObject::connect(&timer_, &QTimer::timeout, [this] { Tick(); });
    timer_.start(10);
    clock_.start();
  }
  bool Done() const { return next_ == steps_.size(); }

 private:
  void Tick() {
    if (Done()) {
      timer_.stop();
    } else if (clock_.elapsed() > 60000) {
      QWidget* modal = QApplication::activeModalWidget();
      auto* box = qobject_cast<QMessageBox*>(modal);
      ADD_FAILURE() << "step " << next_ << " never came true; in front: "
                    << (modal ? modal->metaObject()->className() : "nothing") << " "
                    << (modal ? modal->windowTitle().toStdString() : "") << " "
                    << (box ? box->text().toStdString() : "");
      timer_.stop();
      // Every dialog in front of the main window goes, whatever it answers
      // to Cancel.
      QWidget* main = layer_.Widget(app_.State().MainWindow);
      for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* dialog = qobject_cast<QDialog*>(widget);
        if (dialog && dialog != main && dialog->isVisible()) {
          QMetaObject::invokeMethod(dialog, "done", Qt::QueuedConnection, Q_ARG(int, 0));
        }
      }
      layer_.EndDialog(app_.State().MainWindow, 0);
    } else if (steps_[next_]()) {
      ++next_;
      clock_.restart();
    }
  }

  TestLayer& layer_;
  MainWindow& app_;
  std::vector<std::function<bool()>> steps_;
  std::size_t next_ = 0;
  QTimer timer_;
  QElapsedTimer clock_;
};

// Runs `action` from the event loop, for actions that open a modal dialog.
inline void Later(std::function<void()> action) {
  QTimer::singleShot(0, qApp, std::move(action));
}

template <typename T>
T* Modal() {
  T* widget = qobject_cast<T*>(QApplication::activeModalWidget());
  return widget && widget->isVisible() ? widget : nullptr;
}

inline const std::string kSample = std::string(GYRELLE_SAMPLES_DIR) + "/escort1.png";

class QtShellTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device random;
    dir_ = std::filesystem::temp_directory_path() / ("gyrelle-qt-" + std::to_string(random()));
    std::filesystem::create_directories(dir_);
    layer_.executablePath = Path("gyrelle");
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  void Run(std::vector<std::function<bool()>> steps) {
    Script script(layer_, app_, std::move(steps));
    app_.Run();
    EXPECT_TRUE(script.Done());
  }

  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  static std::string ReadBytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
  }

  MainWindow& App() { return app_; }
  AppSettings& Settings() { return app_.Settings(); }
  AppState& State() { return app_.State(); }

  QDialog* Main() {
    QDialog* main = layer_.Widget(app_.State().MainWindow);
    return main && main->isVisible() && QApplication::activeModalWidget() == main ? main : nullptr;
  }
  template <typename T = QWidget>
  T* Control(int id) {
    return layer_.Widget(app_.State().MainWindow)->findChild<T*>(QString::number(id));
  }
  void Trigger(int command) {
    QAction* action = Control<QAction>(command);
    ASSERT_NE(action, nullptr);
    Later([action] { action->trigger(); });
  }
  // The client area as the user sees it.
  QImage Screen() { return Control(kPreviewControl)->parentWidget()->grab().toImage(); }

  std::filesystem::path dir_;
  TestLayer layer_;
  MainWindow app_{layer_};
};

// Types a name into the file dialog's name field, as the user would.
inline void TypeName(QFileDialog* dialog, const QString& name) {
  auto* edit = dialog->findChild<QLineEdit*>("fileNameEdit");
  ASSERT_NE(edit, nullptr);
  edit->setText(name);
}

// A step: once a file dialog is in front, types `path` into it and accepts.
inline bool AcceptFileDialog(const std::string& path) {
  auto* dialog = Modal<QFileDialog>();
  if (!dialog) return false;
  TypeName(dialog, QString::fromStdString(path));
  QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
  return true;
}

inline QColor PixelOf(const Image& image, int x, int y) {
  const std::vector<std::uint8_t> pixel = image.ReadPixel(x, y);
  return QColor(pixel[0], pixel[1], pixel[2]);
}
