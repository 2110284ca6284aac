#include "window/window_layer.h"

#include <algorithm>
#include <climits>
#include <filesystem>
#include <system_error>

#include "window/dialog_template.h"

int MaxScrollPosition(const ScrollInfo& info) {
  return std::max(info.min, info.max - std::max(info.page - 1, 0));
}

void ApplyScrollInfo(ScrollInfo& info, const ScrollInfo& update, unsigned mask) {
  if (mask & SIF_RANGE) {
    info.min = update.min;
    info.max = std::max(update.min, update.max);
  }
  if (mask & SIF_PAGE) info.page = update.page;
  if (mask & SIF_POS) info.pos = update.pos;
  // A page never exceeds the range; the position never leaves what is left.
  const long long range = static_cast<long long>(info.max) - info.min + 1;
  info.page = static_cast<int>(std::clamp<long long>(info.page, 0, range));
  info.pos = std::clamp(info.pos, info.min, MaxScrollPosition(info));
}

long long RequestedScrollPosition(const ScrollInfo& info, unsigned request) {
  const long long pos = info.pos;
  switch (request) {
    case SB_LINEUP:
      return pos - 1;
    case SB_LINEDOWN:
      return pos + 1;
    case SB_PAGEUP:
      return pos - info.page;
    case SB_PAGEDOWN:
      return pos + info.page;
    case SB_THUMBTRACK:
      return info.trackPos;
    case SB_TOP:
      return info.min;
    case SB_BOTTOM:
      return info.max;
    default:  // thumb position, end of scrolling
      return pos;
  }
}

int MoveScrollBar(WindowLayer& layer, WindowHandle window, int id, long long pos) {
  ScrollInfo update;
  update.pos = static_cast<int>(std::clamp<long long>(pos, INT_MIN, INT_MAX));
  layer.SetScrollInfo(window, id, update, SIF_POS);
  return layer.GetScrollInfo(window, id).pos;
}

FileDialogResult MakeFileDialogResult(const std::string& path, int filterIndex) {
  FileDialogResult result;
  if (path.empty()) return result;
  result.path = path;
  result.filterIndex = filterIndex;
  const std::size_t slash = path.find_last_of('/');
  const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  result.fileNameOffset = static_cast<int>(nameStart);
  const std::size_t dot = path.find_last_of('.');
  if (dot != std::string::npos && dot >= nameStart) result.extensionOffset = int(dot + 1);
  return result;
}

std::string ProcessExecutablePath() {
  std::error_code error;
  const std::filesystem::path path = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::string() : path.string();
}

const DialogTemplate* WindowResources::FindDialog(int id) const {
  for (const DialogTemplate* dialog : dialogs) {
    if (dialog->id == id) return dialog;
  }
  return nullptr;
}

const MenuTemplate* WindowResources::FindMenu(int id) const {
  for (const MenuTemplate* menu : menus) {
    if (menu->id == id) return menu;
  }
  return nullptr;
}

std::string_view WindowResources::Picture(int id) const {
  const auto found = pictures.find(id);
  return found == pictures.end() ? std::string_view() : found->second;
}
