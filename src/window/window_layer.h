#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/color.h"

class Image;

// The window layer: every operation the program's windows need of the
// platform, and the message vocabulary their procedures speak. The handlers
// in app/ and dialogs/ are written against this alone, so a fake layer can
// drive every rule of them, and window/qt/ carries it out on screen.

// A window made by the layer (a modal dialog); 0 is no window.
using WindowHandle = int;
using WParam = std::uintptr_t;
using LParam = std::intptr_t;

// A window procedure: answers one message, true when it handled it. It may
// carry the object it belongs to.
using DialogProc =
    std::function<bool(WindowHandle window, unsigned message, WParam wParam, LParam lParam)>;

// Messages, with the values the handlers' tables are written in.
constexpr unsigned WM_DESTROY = 0x0002;
// lParam: the client area's new width in the low 16 bits, its height in the
// high 16 bits.
constexpr unsigned WM_SIZE = 0x0005;
constexpr unsigned WM_PAINT = 0x000F;
constexpr unsigned WM_CLOSE = 0x0010;
constexpr unsigned WM_INITDIALOG = 0x0110;
// wParam: the command id in the low 16 bits, the notification in the high.
constexpr unsigned WM_COMMAND = 0x0111;
// wParam: the request code in the low 16 bits; lParam: the scroll bar's id.
constexpr unsigned WM_HSCROLL = 0x0114;
constexpr unsigned WM_VSCROLL = 0x0115;
// wParam: the id of the timer that went off.
constexpr unsigned WM_TIMER = 0x0113;
// lParam: a const std::vector<std::string>* of the dropped files' paths,
// valid for the call.
constexpr unsigned WM_DROPFILES = 0x0233;
// The program's own messages start here.
constexpr unsigned WM_APP = 0x8000;

// Scroll requests (the low word of WM_HSCROLL and WM_VSCROLL).
constexpr int SB_LINEUP = 0;
constexpr int SB_LINELEFT = 0;
constexpr int SB_LINEDOWN = 1;
constexpr int SB_LINERIGHT = 1;
constexpr int SB_PAGEUP = 2;
constexpr int SB_PAGELEFT = 2;
constexpr int SB_PAGEDOWN = 3;
constexpr int SB_PAGERIGHT = 3;
constexpr int SB_THUMBPOSITION = 4;
constexpr int SB_THUMBTRACK = 5;
constexpr int SB_TOP = 6;
constexpr int SB_LEFT = 6;
constexpr int SB_BOTTOM = 7;
constexpr int SB_RIGHT = 7;
constexpr int SB_ENDSCROLL = 8;

// Dialog results and the command ids the dialog manager sends itself.
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;

constexpr unsigned LowWord(WParam value) {
  return unsigned(value & 0xFFFF);
}
constexpr unsigned HighWord(WParam value) {
  return unsigned((value >> 16) & 0xFFFF);
}
constexpr WParam MakeWParam(unsigned low, unsigned high) {
  return WParam(low & 0xFFFF) | (WParam(high & 0xFFFF) << 16);
}

// A scroll bar's state with the usual desktop semantics: the position runs
// from min to max - page + 1 (to min when the page covers the range).
struct ScrollInfo {
  int min = 0;
  int max = 0;
  int page = 0;
  int pos = 0;
  int trackPos = 0;
};

// Which fields of a ScrollInfo a SetScrollInfo call sets.
constexpr unsigned SIF_RANGE = 0x1;
constexpr unsigned SIF_PAGE = 0x2;
constexpr unsigned SIF_POS = 0x4;

// Applies the fields of `update` named by `mask` to `info`, then keeps page
// and position inside the range the way a desktop scroll bar does.
void ApplyScrollInfo(ScrollInfo& info, const ScrollInfo& update, unsigned mask);
// The highest position the bar can take.
int MaxScrollPosition(const ScrollInfo& info);
// The position scroll request `request` asks of a bar in state `info`: a
// line is 1, a page the bar's page, thumb tracking goes to the tracking
// position, top and bottom to the ends of the range; any other request
// keeps the position. Not yet clamped to what the bar can take.
long long RequestedScrollPosition(const ScrollInfo& info, unsigned request);

// Message box styles (combinable) and its answer.
constexpr unsigned MB_OK = 0x0;
constexpr unsigned MB_ICONERROR = 0x10;
constexpr unsigned MB_ICONWARNING = 0x30;
constexpr unsigned MB_ICONINFORMATION = 0x40;

// One entry of a file dialog's type list: what the user reads, and the
// patterns ("*.jpg;*.jpeg") that entry shows.
struct FileFilter {
  const char* description;
  const char* patterns;
};

enum class FileDialogMode { kOpen, kSave };

struct FileDialogRequest {
  FileDialogMode mode = FileDialogMode::kOpen;
  std::string title;
  std::string initialDirectory;  // "" for the current directory
  std::vector<FileFilter> filters;
  int initialFilterIndex = 1;  // 1-based
  bool several = false;        // an open dialog that lets several files be chosen
};

// What a file dialog gives back. An empty path means nothing was chosen.
struct FileDialogResult {
  std::string path;
  int fileNameOffset = 0;   // index of the file name in path
  int extensionOffset = 0;  // index after the file name's last ".", or 0 / path length without one
  int filterIndex = 0;      // 1-based type selected at OK, 0 when nothing was chosen
  std::vector<std::string> more;  // the files chosen after `path`, when several were
};

// The result for `path` chosen with type `filterIndex`, offsets worked out
// the way the platform reports them.
FileDialogResult MakeFileDialogResult(const std::string& path, int filterIndex);

enum class IconSize { kSmall, kBig };

struct Size {
  int width = 0;
  int height = 0;
  bool operator==(const Size&) const = default;
};

// One entry of a menu the program fills as it runs.
struct MenuChoice {
  std::string text;
  int commandId = 0;
  bool enabled = true;
  bool operator==(const MenuChoice&) const = default;
};

// The operations. Every method has an empty default, so a test fake
// overrides only what it observes. Control ids are those of the window's
// template; id 0 names the window's own client area.
class WindowLayer {
 public:
  virtual ~WindowLayer() = default;

  // Runs dialog template `templateId` modally, owned by `owner` (0: none):
  // sends WM_INITDIALOG, runs until EndDialog, sends WM_DESTROY, and gives
  // back the result passed to EndDialog (-1 when the dialog cannot be made).
  virtual int RunModalDialog(int /*templateId*/, WindowHandle /*owner*/, DialogProc /*proc*/) {
    return -1;
  }
  virtual void EndDialog(WindowHandle /*window*/, int /*result*/) {}
  virtual void PostQuit(int /*exitCode*/) {}

  virtual void EnableControl(WindowHandle /*window*/, int /*id*/, bool /*enabled*/) {}
  virtual bool IsControlEnabled(WindowHandle /*window*/, int /*id*/) { return false; }
  // Enabled, or greyed when not.
  virtual void EnableMenuItem(WindowHandle /*window*/, int /*commandId*/, bool /*enabled*/) {}

  virtual void SetControlText(WindowHandle /*window*/, int /*id*/, const std::string& /*text*/) {}
  virtual std::string GetControlText(WindowHandle /*window*/, int /*id*/) { return {}; }
  virtual void CheckButton(WindowHandle /*window*/, int /*id*/, bool /*checked*/) {}
  virtual bool IsButtonChecked(WindowHandle /*window*/, int /*id*/) { return false; }

  // Sets the fields of the bar named by `mask`, clamped as ApplyScrollInfo
  // does, and redraws the bar.
  virtual void SetScrollInfo(WindowHandle /*window*/, int /*id*/, const ScrollInfo& /*info*/,
                             unsigned /*mask*/) {}
  virtual ScrollInfo GetScrollInfo(WindowHandle /*window*/, int /*id*/) { return {}; }

  // Paints the window now: its procedure gets WM_PAINT before this returns.
  virtual void RepaintNow(WindowHandle /*window*/) {}
  // Paints the part of the window under control `id` now, for drawing that
  // changes nothing else; the procedure gets WM_PAINT before this returns.
  virtual void RepaintControl(WindowHandle window, int /*id*/) { RepaintNow(window); }
  // Marks the whole window for painting when the platform next paints.
  virtual void Invalidate(WindowHandle /*window*/) {}

  // Drawing, in pixels of the control's (or, for id 0, the client area's)
  // own coordinates. Takes effect while the window answers WM_PAINT.
  //
  // Copies the width x height block of `image` at (srcX, srcY) to
  // (destX, destY); parts outside the image or the control are left out.
  virtual void DrawImageBlock(WindowHandle /*window*/, int /*id*/, const Image& /*image*/,
                              int /*srcX*/, int /*srcY*/, int /*destX*/, int /*destY*/,
                              int /*width*/, int /*height*/) {}
  // Fills left..right-1 x top..bottom-1 with `fill` and outlines it with a
  // 1-pixel black pen.
  virtual void DrawRectangle(WindowHandle /*window*/, int /*id*/, int /*left*/, int /*top*/,
                             int /*right*/, int /*bottom*/, Rgb /*fill*/) {}

  virtual void SetIcon(WindowHandle /*window*/, IconSize /*size*/, int /*iconId*/) {}

  // Copies the srcWidth x srcHeight block of `image` at (srcX, srcY) onto
  // destWidth x destHeight pixels at (destX, destY), each pixel the nearest
  // one of the block, so pixel art stays sharp.
  virtual void DrawImageScaled(WindowHandle /*window*/, int /*id*/, const Image& /*image*/,
                               int /*srcX*/, int /*srcY*/, int /*srcWidth*/, int /*srcHeight*/,
                               int /*destX*/, int /*destY*/, int /*destWidth*/,
                               int /*destHeight*/) {}

  // Lets the user make `window` larger than its template, never smaller; its
  // controls keep their places relative to the edges the template ties them
  // to, and the window gets WM_SIZE at every change.
  virtual void AllowResize(WindowHandle /*window*/) {}
  // Sets the size of the client area, kept within the screen and no smaller
  // than the template.
  virtual void SetClientSize(WindowHandle /*window*/, Size /*size*/) {}
  virtual Size ClientSize(WindowHandle /*window*/) { return {}; }

  // Gives control `id` the keyboard focus, with all its text selected.
  virtual void FocusControl(WindowHandle /*window*/, int /*id*/) {}
  // Shows a check mark beside a menu item, or none.
  virtual void CheckMenuItem(WindowHandle /*window*/, int /*commandId*/, bool /*checked*/) {}
  // Fills the submenu `menuId` with `choices`; greyed when there are none.
  virtual void SetMenuChoices(WindowHandle /*window*/, int /*menuId*/,
                              const std::vector<MenuChoice>& /*choices*/) {}

  // Shows a modal message box; gives back the id of the button pressed.
  virtual int MessageBox(WindowHandle /*owner*/, const std::string& /*text*/,
                         const std::string& /*caption*/, unsigned /*style*/) {
    return IDOK;
  }
  // Runs a modal open or save dialog. A save dialog asks before replacing an
  // existing file; an open dialog accepts only existing files.
  virtual FileDialogResult RunFileDialog(WindowHandle /*owner*/,
                                         const FileDialogRequest& /*request*/) {
    return {};
  }

  // Delivers the message to `window`'s procedure later, from the platform's
  // loop on the window's thread.
  virtual void PostMessage(WindowHandle /*window*/, unsigned /*message*/, WParam /*wParam*/,
                           LParam /*lParam*/) {}
  // Runs `work` off the window's thread, then delivers `doneMessage` to
  // `window` on it. The window's thread stays free to paint meanwhile.
  virtual void StartWork(WindowHandle window, std::function<void()> work, unsigned doneMessage) {
    work();
    PostMessage(window, doneMessage, 0, 0);
  }
  // Sends WM_TIMER with `id` to `window` every `milliseconds` until KillTimer.
  virtual void SetTimer(WindowHandle /*window*/, int /*id*/, int /*milliseconds*/) {}
  virtual void KillTimer(WindowHandle /*window*/, int /*id*/) {}
  // Files dropped onto `window` from now on come to it as WM_DROPFILES.
  virtual void AcceptDroppedFiles(WindowHandle /*window*/) {}

  // Full path of the running program's own file.
  virtual std::string ExecutablePath() { return {}; }
};

// Sets bar `id` of `window` to `pos` and gives back where the bar, which
// keeps its position inside its range, has put it.
int MoveScrollBar(WindowLayer& layer, WindowHandle window, int id, long long pos);

// The real path of the running executable, "" when it cannot be found.
std::string ProcessExecutablePath();
