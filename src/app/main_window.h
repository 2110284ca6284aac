#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "app/background_work.h"
#include "core/image.h"
#include "window/window_layer.h"

// The main window's timer that turns the frames while they spin (the
// progress delay has the other).
constexpr int kSpinTimer = 2;

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

  // Loads the pictures at `paths` (two or more), off the window's thread,
  // for Rotate to make one sheet of, and shows the first.
  void ShowOpenedPictures(const std::vector<std::string>& paths);

  // Makes `image`, read from `path`, current; fill color from its top-left
  // pixel. No image is reported with `reason` and changes nothing. True when
  // the picture is shown.
  bool ShowPicture(const std::string& path, std::unique_ptr<Image> image,
                   const std::string& reason);

  // The preview as the user set it up: the frames spinning or not, the zoom,
  // the part of the window the picture has.
  bool Spinning() const { return spinning_; }
  int SpinFrame() const { return spinFrame_; }
  Size Viewport() const { return {viewportWidth_, viewportHeight_}; }

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

  // The view, in main_window_view.cpp.
  struct Area {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
  };
  void InitView(WindowHandle window);
  void ViewCommand(unsigned id);
  void SetPreviewRanges();
  void ReadScrollPositions();
  void Zoom(int zoom);
  void SetSpeed(int speed);
  void ShowViewChecks();
  void EnableSpin(bool enabled);
  void StartSpin();
  void StopSpin();
  void ShowSpinFrame();
  void NextSpinFrame();
  void Resized(int width, int height);
  void Remember(const std::string& path);
  void ShowRecentFiles();
  void OpenRecent(int index);

  AppSettings settings_;
  AppState state_;
  BackgroundWork work_{state_};
  // Closing during long work waits for its end, so nothing is lost.
  bool closeAfterWork_ = false;

  Area content_;  // of the shown picture in the preview: all of it, or the frame spinning
  int viewportWidth_ = 310;
  int viewportHeight_ = 260;
  int grownDown_ = 0;  // how much taller than its template the window is
  bool spinnable_ = false;
  bool spinning_ = false;
  int spinFrame_ = 0;
  int sheetScrollX_ = 0;  // where the sheet was scrolled to before it spun
  int sheetScrollY_ = 0;
};
