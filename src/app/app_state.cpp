#include "app/app_state.h"

void ResetAppState(AppState& state, AppSettings& settings) {
  state.PreviewImage = nullptr;
  state.FillBrush.reset();
  state.CurrentImage.reset();
  state.CurrentPlan = {};
  state.OpenedPaths.clear();
  state.MorePictures.clear();
  state.FillChosen = false;
  state.CurrentStrip = {};
  settings.Frames = 32;
  state.ScrollX = 0;
  state.ScrollY = 0;
}

std::string ExecutableDirectory(const AppState& state) {
  if (!state.Instance) return {};
  const std::string path = state.Instance->ExecutablePath();
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

void SetFrameCount(AppSettings& settings, int n) {
  settings.Frames = n > 0 ? n : 32;
}

void SetSaveOptions(AppSettings& settings, bool compressed, bool eightBit, bool mask) {
  settings.IsCompressed = compressed;
  settings.Is8BitSave = eightBit;
  settings.HasMask = mask;
}

SaveOptions CurrentSaveOptions(const AppSettings& settings) {
  return {.eightBit = settings.Is8BitSave,
          .compressed = settings.IsCompressed,
          .mask = settings.HasMask,
          .data = settings.Sheet.data,
          .fps = settings.Sheet.fps,
          .normals = settings.Sheet.normals};
}

StripOptions CurrentStripOptions(const AppSettings& settings) {
  StripOptions options = settings.Sheet.strip;
  options.frames = settings.Frames;
  options.fill = settings.FillColor;
  return options;
}

void SetFillColor(AppState& state, AppSettings& settings, std::uint8_t red, std::uint8_t green,
                  std::uint8_t blue) {
  settings.FillColor = {red, green, blue};
  state.FillBrush = settings.FillColor;
  if (state.MainWindow && state.Instance) state.Instance->RepaintNow(state.MainWindow);
}

void ReportFailure(const AppState& state, WindowHandle owner, const std::string& what,
                   const std::string& reason) {
  state.Instance->MessageBox(owner,
                             what + "\n" + (reason.empty() ? "The reason is not known." : reason),
                             "Gyrelle", MB_OK | MB_ICONERROR);
}
