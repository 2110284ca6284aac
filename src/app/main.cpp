#include <QApplication>

#include "app/application.h"
#include "resources/program_resources.h"
#include "window/qt/qt_window_layer.h"

// The desktop program. It reads no arguments of its own; Qt may take its
// usual ones (such as -platform).
int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QtWindowLayer layer(ProgramResources());
  RunApplication(layer);
  return 0;
}
