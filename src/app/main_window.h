#pragma once

#include <memory>
#include <string>

#include "app/app_state.h"
#include "app/background_work.h"
#include "core/image.h"
#include "window/window_layer.h"

// The main window: it holds the process's settings and state, answers its
// messages (menu commands, the Rotate button, painting of the preview and
// the fill-color swatch, both scroll bars, the shutdown when it goes), and
// runs the program from start-up to the end.
class MainWindow {
 public:
  explicit MainWindow(WindowLayer& layer);
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  // Start-up, the modal run, and the end of the run: returns once the
  // window has been closed and config.txt rewritten. `openAtStart`, when
  // given, is opened as soon as the window is up.
  void Run(const std::string& openAtStart = {});

  // The window's procedure, bound to this object.
  DialogProc Procedure();
  bool MainWindowProc(WindowHandle window, unsigned message, WParam wParam, LParam lParam);

  AppSettings& Settings() { return settings_; }
  AppState& State() { return state_; }
  BackgroundWork& Work() { return work_; }

  // Makes `image` the picture the preview shows: scroll ranges and pages,
  // VisibleWidth and VisibleHeight, PreviewReady. The image must outlive its
  // time in the preview.
  void BuildPreviewBitmap(const Image& image);

  // Paints the part of the shown picture that falls in the viewport; called
  // while the main window paints.
  void DrawPreview();

  // Loads the picture at `path`, off the window's thread, and shows it.
  void ShowOpenedImage(const std::string& path);

  // Makes `image`, read from `path`, current; fill color from its top-left
  // pixel. No image is reported with `reason` and changes nothing. True when
  // the picture is shown.
  bool ShowPicture(const std::string& path, std::unique_ptr<Image> image,
                   const std::string& reason);

  // Turns the current picture into a frame strip of Frames frames, once per
  // opened picture, off the window's thread. A strip that cannot be made is
  // reported, and one cancelled leaves everything as it was.
  void Rotate(WindowHandle window);

 private:
  WindowLayer& Layer() { return *state_.Instance; }
  void Init(WindowHandle window);
  void Command(WindowHandle window, unsigned id);
  void Paint(WindowHandle window);
  void Scroll(WindowHandle window, int barId, int& offset, unsigned request);
  void Close(WindowHandle window);
  void CloseIfAsked(WindowHandle window);
  void Destroy();

  AppSettings settings_;
  AppState state_;
  BackgroundWork work_{state_};
  // Closing during long work waits for its end, so nothing is lost.
  bool closeAfterWork_ = false;
};
