#include "fake_window_layer.h"

WindowHandle FakeWindowLayer::Open(int /*templateId*/, DialogProc proc) {
  const WindowHandle window = nextWindow_++;
  procs_[window] = proc;
  Send(window, WM_INITDIALOG);
  return window;
}

void FakeWindowLayer::Destroy(WindowHandle window) {
  Send(window, WM_DESTROY);
  procs_.erase(window);
}

bool FakeWindowLayer::Send(WindowHandle window, unsigned message, WParam wParam, LParam lParam) {
  const auto found = procs_.find(window);
  ++depth_;
  const bool handled = found != procs_.end() && found->second(window, message, wParam, lParam);
  --depth_;
  DeliverPosted();
  return handled;
}

void FakeWindowLayer::DeliverPosted() {
  while (depth_ == 0 && !posted_.empty()) {
    const Posted next = posted_.front();
    posted_.pop_front();
    Send(next.window, next.message, next.wParam, next.lParam);
  }
}

void FakeWindowLayer::StartWork(WindowHandle window, std::function<void()> work,
                                unsigned doneMessage) {
  heldWork_ = [this, window, work = std::move(work), doneMessage] {
    work();
    PostMessage(window, doneMessage, 0, 0);
  };
  if (!holdWork) RunHeldWork();
}

void FakeWindowLayer::RunHeldWork() {
  const std::function<void()> work = std::move(heldWork_);
  heldWork_ = nullptr;
  if (work) work();
  DeliverPosted();
}

bool FakeWindowLayer::Scroll(WindowHandle window, unsigned message, int request, int trackPos,
                             int barId) {
  // The platform hands the tracking position to the bar the user drags.
  for (auto& [key, info] : scrollInfos_) {
    if (key.first == window && (barId == 0 || key.second == barId)) info.trackPos = trackPos;
  }
  return Send(window, message, MakeWParam(request, 0), barId);
}

bool FakeWindowLayer::MenuEnabled(int commandId) const {
  const auto found = menuEnabled_.find(commandId);
  return found == menuEnabled_.end() || found->second;
}

void FakeWindowLayer::ClearRecords() {
  ended.clear();
  quitCodes.clear();
  imageBlocks.clear();
  rectangles.clear();
  boxes.clear();
  fileDialogs.clear();
  icons.clear();
  menuChanges.clear();
  modalTemplates.clear();
  repaints = invalidations = 0;
}

int FakeWindowLayer::RunModalDialog(int templateId, WindowHandle, DialogProc proc) {
  modalTemplates.push_back(templateId);
  const WindowHandle window = Open(templateId, proc);
  const auto endOf = [&] {
    for (const auto& [endedWindow, result] : ended) {
      if (endedWindow == window) return result;
    }
    return -1;
  };
  if (endOf() == -1 && whileModal) whileModal(window, templateId);
  Destroy(window);
  return endOf();
}

void FakeWindowLayer::EndDialog(WindowHandle window, int result) {
  ended.push_back({window, result});
}

void FakeWindowLayer::EnableControl(WindowHandle window, int id, bool enabled) {
  disabled_[{window, id}] = !enabled;
}

bool FakeWindowLayer::IsControlEnabled(WindowHandle window, int id) {
  return !disabled_[{window, id}];
}

void FakeWindowLayer::EnableMenuItem(WindowHandle, int commandId, bool enabled) {
  menuEnabled_[commandId] = enabled;
  menuChanges.push_back({commandId, enabled});
}

void FakeWindowLayer::SetControlText(WindowHandle window, int id, const std::string& text) {
  texts_[{window, id}] = text;
}

std::string FakeWindowLayer::GetControlText(WindowHandle window, int id) {
  return texts_[{window, id}];
}

void FakeWindowLayer::CheckButton(WindowHandle window, int id, bool checked) {
  checked_[{window, id}] = checked;
}

bool FakeWindowLayer::IsButtonChecked(WindowHandle window, int id) {
  return checked_[{window, id}];
}

void FakeWindowLayer::SetScrollInfo(WindowHandle window, int id, const ScrollInfo& info,
                                    unsigned mask) {
  ApplyScrollInfo(scrollInfos_[{window, id}], info, mask);
}

ScrollInfo FakeWindowLayer::GetScrollInfo(WindowHandle window, int id) {
  return scrollInfos_[{window, id}];
}

void FakeWindowLayer::RepaintNow(WindowHandle window) {
  ++repaints;
  Send(window, WM_PAINT);
}

void FakeWindowLayer::DrawImageBlock(WindowHandle window, int id, const Image& image, int srcX,
                                     int srcY, int destX, int destY, int width, int height) {
  imageBlocks.push_back({window, id, &image, srcX, srcY, destX, destY, width, height});
}

void FakeWindowLayer::DrawRectangle(WindowHandle window, int id, int left, int top, int right,
                                    int bottom, Rgb fill) {
  rectangles.push_back({window, id, left, top, right, bottom, fill});
}

int FakeWindowLayer::MessageBox(WindowHandle owner, const std::string& text,
                                const std::string& caption, unsigned style) {
  boxes.push_back({owner, text, caption, style});
  return IDOK;
}

FileDialogResult FakeWindowLayer::RunFileDialog(WindowHandle owner,
                                                const FileDialogRequest& request) {
  fileDialogs.push_back({owner, request});
  if (fileAnswers.empty()) return {};
  FileDialogResult answer = fileAnswers.front();
  fileAnswers.pop_front();
  return answer;
}
