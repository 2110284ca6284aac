#include "app/application.h"

#include "app/app_state.h"
#include "app/main_window.h"
#include "app/settings_file.h"
#include "resources/resource_ids.h"

bool RunApplication(WindowLayer& layer, const std::string& openAtStart) {
  ResetAppState();
  g_appState.Instance = &layer;
  g_appState.OpenAtStart = openAtStart;
  ReadSettingsFile();
  SetFillColor(255, 255, 255);
  layer.RunModalDialog(kMainWindowTemplate, 0, MainWindowProc);
  return true;
}
