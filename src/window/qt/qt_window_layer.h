#pragma once

#include <map>
#include <memory>
#include <optional>

#include "window/dialog_template.h"
#include "window/window_layer.h"

class QDialog;
class TemplateDialog;

// The window layer on Qt 6 Widgets: dialogs built from the templates, Qt's
// events turned into the procedures' messages, the operations carried out
// on the widgets. Needs a QApplication.
class QtWindowLayer : public WindowLayer {
 public:
  // Windows are built from `resources`, which must outlive the layer.
  explicit QtWindowLayer(const WindowResources& resources);
  ~QtWindowLayer() override;

  int RunModalDialog(int templateId, WindowHandle owner, DialogProc proc) override;
  void EndDialog(WindowHandle window, int result) override;
  void PostQuit(int exitCode) override;

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
  void RepaintControl(WindowHandle window, int id) override;
  void Invalidate(WindowHandle window) override;
  void DrawImageBlock(WindowHandle window, int id, const Image& image, int srcX, int srcY,
                      int destX, int destY, int width, int height) override;
  void DrawRectangle(WindowHandle window, int id, int left, int top, int right, int bottom,
                     Rgb fill) override;
  void SetIcon(WindowHandle window, IconSize size, int iconId) override;
  void DrawImageScaled(WindowHandle window, int id, const Image& image, int srcX, int srcY,
                       int srcWidth, int srcHeight, int destX, int destY, int destWidth,
                       int destHeight) override;
  void AllowResize(WindowHandle window) override;
  void SetClientSize(WindowHandle window, Size size) override;
  Size ClientSize(WindowHandle window) override;
  void FocusControl(WindowHandle window, int id) override;
  void CheckMenuItem(WindowHandle window, int commandId, bool checked) override;
  void SetMenuChoices(WindowHandle window, int menuId,
                      const std::vector<MenuChoice>& choices) override;

  int MessageBox(WindowHandle owner, const std::string& text, const std::string& caption,
                 unsigned style) override;
  FileDialogResult RunFileDialog(WindowHandle owner, const FileDialogRequest& request) override;

  void PostMessage(WindowHandle window, unsigned message, WParam wParam, LParam lParam) override;
  void StartWork(WindowHandle window, std::function<void()> work, unsigned doneMessage) override;
  void SetTimer(WindowHandle window, int id, int milliseconds) override;
  void KillTimer(WindowHandle window, int id) override;
  void AcceptDroppedFiles(WindowHandle window) override;

  std::string ExecutablePath() override;

  // The open dialog of a window, nullptr when there is none; its controls
  // and menu commands are named by their ids.
  QDialog* Widget(WindowHandle window) const;
  // The exit code of the last quit request, if any.
  std::optional<int> QuitCode() const { return quitCode_; }

 private:
  TemplateDialog* Find(WindowHandle window) const;

  const WindowResources& resources_;
  std::map<WindowHandle, TemplateDialog*> windows_;
  WindowHandle nextHandle_ = 1;
  std::optional<int> quitCode_;
};
