#include "app/application.h"

#include "app/main_window.h"

bool RunApplication(WindowLayer& layer, const std::string& openAtStart) {
  MainWindow(layer).Run(openAtStart);
  return true;
}
