#pragma once

#include <QDialog>
#include <QIcon>
#include <map>
#include <vector>

#include "window/dialog_template.h"
#include "window/window_layer.h"

class QAction;
class QMenu;
class QPainter;
class QScrollBar;
class QTimer;

// One modal window built from a dialog template. It forwards what happens
// on screen to the window's procedure as messages and keeps the state the
// procedures read back (scroll bars with their range and page).
class TemplateDialog : public QDialog {
 public:
  TemplateDialog(WindowHandle handle, const DialogTemplate& dialogTemplate,
                 const WindowResources& resources, DialogProc proc, QWidget* owner);

  bool Dispatch(unsigned message, WParam wParam, LParam lParam);
  void End(int result);
  bool Ended() const { return ended_; }
  int Result() const { return result_; }

  QWidget* Control(int id) const;
  QAction* MenuCommand(int id) const;
  QWidget* ClientArea() const { return client_; }

  void SetScrollInfo(int id, const ScrollInfo& info, unsigned mask);
  ScrollInfo GetScrollInfo(int id) const;

  // The painter of the paint in progress, nullptr outside WM_PAINT. Drawing
  // for control `id` (0: the client area) is translated and clipped to it.
  QPainter* BeginDrawing(int id);
  void EndDrawing();
  void Paint(QPainter& painter);

  void SetIcon(IconSize size, int iconId);
  // WM_TIMER with `id` every `milliseconds`, until StopTimer.
  void StartTimer(int id, int milliseconds);
  void StopTimer(int id);
  // Gives the keyboard focus to the first enabled control that Tab visits.
  void FocusFirstTabStop();

  // From now on the user may make the window larger than its template.
  void AllowResize();
  // The client area's size, kept within the screen and no smaller than the
  // template's.
  void SetClientSize(QSize size);
  // Fills the submenu `menuId` with `choices`, each a command.
  void SetMenuChoices(int menuId, const std::vector<MenuChoice>& choices);

 protected:
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void reject() override;
  void accept() override;

 private:
  void BuildMenu(const MenuTemplate& menu);
  QPixmap Picture(int id) const;
  QWidget* BuildControl(const ControlTemplate& control);
  QWidget* BuildButton(const ControlTemplate& control);
  QWidget* BuildScrollBar(const ControlTemplate& control);
  void ForwardScroll(QScrollBar* bar, int id, unsigned message, int action);
  QAction* AddCommand(QMenu* menu, const QString& text, int id);

  // A control that moves or grows with the window, and where the template
  // puts it.
  struct Resizing {
    QWidget* widget;
    QRect area;
    unsigned resize;
  };

  const WindowResources& resources_;
  WindowHandle handle_;
  DialogProc proc_;
  QWidget* client_ = nullptr;
  std::map<int, QWidget*> controls_;
  std::vector<QWidget*> tabStops_;  // in template order
  std::map<int, QAction*> commands_;
  std::map<int, ScrollInfo> scrollInfos_;
  std::map<int, QScrollBar*> scrollBars_;
  std::map<int, QTimer*> timers_;
  std::vector<Resizing> resizing_;
  std::map<int, QMenu*> submenus_;
  QSize templateSize_;  // of the client area
  int menuHeight_ = 0;
  bool resizable_ = false;
  bool centred_ = false;
  QPainter* painter_ = nullptr;
  QIcon icon_;
  bool ended_ = false;
  int result_ = 0;
};
