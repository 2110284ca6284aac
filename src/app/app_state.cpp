#include "app/app_state.h"

AppSettings g_appSettings;
AppState g_appState;

void ResetAppState() {
  g_appState.PreviewImage = nullptr;
  g_appState.FillBrush.reset();
  g_appState.CurrentImage.reset();
  g_appState.CurrentPlan = {};
  g_appSettings.Frames = 32;
  g_appState.ScrollX = 0;
  g_appState.ScrollY = 0;
}

std::string ExecutableDirectory() {
  if (!g_appState.Instance) return {};
  const std::string path = g_appState.Instance->ExecutablePath();
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

void SetFrameCount(int n) {
  g_appSettings.Frames = n > 0 ? n : 32;
}

void SetSaveOptions(bool compressed, bool eightBit, bool mask) {
  g_appSettings.IsCompressed = compressed;
  g_appSettings.Is8BitSave = eightBit;
  g_appSettings.HasMask = mask;
}

SaveOptions CurrentSaveOptions() {
  return {.eightBit = g_appSettings.Is8BitSave,
          .compressed = g_appSettings.IsCompressed,
          .mask = g_appSettings.HasMask,
          .data = g_appSettings.Sheet.data};
}

StripOptions CurrentStripOptions() {
  StripOptions options = g_appSettings.Sheet.strip;
  options.frames = g_appSettings.Frames;
  options.fill = g_appSettings.FillColor;
  return options;
}

void SetFillColor(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
  g_appSettings.FillColor = {red, green, blue};
  g_appState.FillBrush = g_appSettings.FillColor;
  if (g_appState.MainWindow && g_appState.Instance) {
    g_appState.Instance->RepaintNow(g_appState.MainWindow);
  }
}
