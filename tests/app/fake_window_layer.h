#pragma once

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "window/window_layer.h"

class Image;

// A window layer without a screen: it keeps what the handlers set, records
// what they draw and show, plays back chosen answers (files, message box
// buttons), and delivers messages to the procedures as the platform would.
class FakeWindowLayer : public WindowLayer {
 public:
  struct ImageBlock {
    WindowHandle window;
    int id;
    const Image* image;
    int srcX, srcY, destX, destY, width, height;
  };
  struct ScaledBlock {
    int srcX, srcY, srcWidth, srcHeight, destX, destY, destWidth, destHeight;
  };
  struct Rectangle {
    WindowHandle window;
    int id;
    int left, top, right, bottom;
    Rgb fill;
  };
  struct Box {
    WindowHandle owner;
    std::string text, caption;
    unsigned style;
  };
  struct FileDialogCall {
    WindowHandle owner;
    FileDialogRequest request;
  };

  // Runs while a modal dialog is open, after WM_INITDIALOG; the dialog ends
  // when it calls EndDialog (or, if it does not, when it returns).
  std::function<void(WindowHandle window, int templateId)> whileModal;
  std::string executablePath;
  // Answers of the coming file dialogs, first first; none left: cancelled.
  std::deque<FileDialogResult> fileAnswers;
  // Work handed to StartWork runs at once on the test's thread, unless held:
  // then it waits for RunHeldWork. Posted messages arrive when the outermost
  // Send returns.
  bool holdWork = false;

  // What happened.
  std::vector<std::pair<WindowHandle, int>> ended;  // window, result
  std::vector<int> quitCodes;
  std::vector<ImageBlock> imageBlocks;
  std::vector<ScaledBlock> scaledBlocks;
  std::map<int, bool> menuChecks;                      // command -> checked
  std::map<int, std::vector<MenuChoice>> menuChoices;  // submenu -> its entries
  std::pair<WindowHandle, int> focus{0, 0};            // window, control
  std::map<WindowHandle, Size> clientSizes;            // set by the program or the user
  bool resizable = false;
  std::vector<Rectangle> rectangles;
  std::vector<Box> boxes;
  std::vector<FileDialogCall> fileDialogs;
  std::vector<std::pair<IconSize, int>> icons;
  std::vector<std::pair<int, bool>> menuChanges;       // command, enabled
  std::vector<int> modalTemplates;                     // every dialog run modally, in order
  std::map<std::pair<WindowHandle, int>, int> timers;  // running: window, id -> milliseconds
  int repaints = 0;
  int invalidations = 0;

  // Makes a window of the template and sends it WM_INITDIALOG.
  WindowHandle Open(int templateId, DialogProc proc);
  // Sends WM_DESTROY and forgets the window.
  void Destroy(WindowHandle window);
  bool Send(WindowHandle window, unsigned message, WParam wParam = 0, LParam lParam = 0);
  bool Command(WindowHandle window, int id) { return Send(window, WM_COMMAND, MakeWParam(id, 0)); }
  // A scroll request from bar `barId`, named in lParam as the platform does,
  // with the bar's tracking position at `trackPos` (barId 0: every bar's).
  bool Scroll(WindowHandle window, unsigned message, int request, int trackPos = 0, int barId = 0);

  // Drops files onto the window, as the platform tells it.
  bool Drop(WindowHandle window, const std::vector<std::string>& paths) {
    return Send(window, WM_DROPFILES, 0, LParam(&paths));
  }
  // The user makes the window this large.
  bool Resize(WindowHandle window, Size size) {
    clientSizes[window] = size;
    return Send(window, WM_SIZE, 0, LParam(size.width) | (LParam(size.height) << 16));
  }
  // Runs the work held back, then delivers what it posted.
  void RunHeldWork();

  bool MenuEnabled(int commandId) const;
  void ClearRecords();

  int RunModalDialog(int templateId, WindowHandle owner, DialogProc proc) override;
  void EndDialog(WindowHandle window, int result) override;
  void PostQuit(int exitCode) override { quitCodes.push_back(exitCode); }
  void EnableControl(WindowHandle window, int id, bool enabled) override;
  bool IsControlEnabled(WindowHandle window, int id) override;
  void EnableMenuItem(WindowHandle window, int commandId, bool enabled) override;
  void SetControlText(WindowHandle window, int id, const std::string& text) override;
  std::string GetControlText(WindowHandle window, int id) override;
  void CheckButton(WindowHandle window, int id, bool checked) override;
  bool IsButtonChecked(WindowHandle window, int id) override;
  void SetScrollInfo(WindowHandle window, int id, const ScrollInfo& info, unsigned mask) override;
  ScrollInfo GetScrollInfo(WindowHandle window, int id) override;
  void RepaintNow(WindowHandle window) override;
  void Invalidate(WindowHandle) override { ++invalidations; }
  void DrawImageBlock(WindowHandle window, int id, const Image& image, int srcX, int srcY,
                      int destX, int destY, int width, int height) override;
  void DrawRectangle(WindowHandle window, int id, int left, int top, int right, int bottom,
                     Rgb fill) override;
  void DrawImageScaled(WindowHandle, int, const Image&, int srcX, int srcY, int srcWidth,
                       int srcHeight, int destX, int destY, int destWidth,
                       int destHeight) override {
    scaledBlocks.push_back({srcX, srcY, srcWidth, srcHeight, destX, destY, destWidth, destHeight});
  }
  void AllowResize(WindowHandle) override { resizable = true; }
  void SetClientSize(WindowHandle window, Size size) override { Resize(window, size); }
  Size ClientSize(WindowHandle window) override { return clientSizes[window]; }
  void FocusControl(WindowHandle window, int id) override { focus = {window, id}; }
  void CheckMenuItem(WindowHandle, int commandId, bool checked) override {
    menuChecks[commandId] = checked;
  }
  void SetMenuChoices(WindowHandle, int menuId, const std::vector<MenuChoice>& choices) override {
    menuChoices[menuId] = choices;
  }
  void SetIcon(WindowHandle, IconSize size, int iconId) override {
    icons.push_back({size, iconId});
  }
  int MessageBox(WindowHandle owner, const std::string& text, const std::string& caption,
                 unsigned style) override;
  FileDialogResult RunFileDialog(WindowHandle owner, const FileDialogRequest& request) override;
  std::string ExecutablePath() override { return executablePath; }
  void PostMessage(WindowHandle window, unsigned message, WParam wParam, LParam lParam) override {
    posted_.push_back({window, message, wParam, lParam});
  }
  void StartWork(WindowHandle window, std::function<void()> work, unsigned doneMessage) override;
  void SetTimer(WindowHandle window, int id, int milliseconds) override {
    timers[{window, id}] = milliseconds;
  }
  void KillTimer(WindowHandle window, int id) override { timers.erase({window, id}); }

 private:
  using Key = std::pair<WindowHandle, int>;
  std::map<WindowHandle, DialogProc> procs_;
  std::map<Key, bool> disabled_;
  std::map<int, bool> menuEnabled_;
  std::map<Key, std::string> texts_;
  std::map<Key, bool> checked_;
  std::map<Key, ScrollInfo> scrollInfos_;
  WindowHandle nextWindow_ = 1;
  struct Posted {
    WindowHandle window;
    unsigned message;
    WParam wParam;
    LParam lParam;
  };
  std::deque<Posted> posted_;
  void DeliverPosted();
  std::function<void()> heldWork_;
  int depth_ = 0;  // Sends under way
};
