#include <QApplication>
#include <csignal>

#include "app/application.h"
#include "resources/program_resources.h"
#include "window/qt/qt_window_layer.h"

// The desktop program. It reads no arguments of its own; Qt may take its
// usual ones (such as -platform).
int main(int argc, char** argv) {
  // Past a file size limit a save then fails with EFBIG and is reported,
  // where the signal would end the program and lose the settings.
  std::signal(SIGXFSZ, SIG_IGN);
  QApplication application(argc, argv);
  QtWindowLayer layer(ProgramResources());
  RunApplication(layer);
  return 0;
}
