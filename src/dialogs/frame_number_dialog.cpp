// The Frame Number dialog: the count Rotate makes, checked on OK and
// handed back only when it is a count of 1 or more.

#include <charconv>
#include <cstdint>
#include <string>

#include "dialogs/dialogs.h"
#include "resources/resource_ids.h"

namespace {

struct FrameNumberDialog {
  WindowLayer* layer = nullptr;
  int count = 0;  // shown at opening, and the count accepted on OK
  bool chosen = false;
} g_dialog;

WindowLayer& Layer() {
  return *g_dialog.layer;
}

// Shows a refusal; the dialog stays open with the text as typed.
void Refuse(WindowHandle window, const char* text) {
  Layer().MessageBox(window, text, "Note", MB_OK | MB_ICONINFORMATION);
}

void Accept(WindowHandle window) {
  const std::optional<std::uint32_t> value =
      ReadUnsignedNumber(Layer().GetControlText(window, kFrameCountEdit));
  if (!value) {
    Refuse(window, "You must enter a number");
    return;
  }
  // Taken as signed: 2147483648 and more are refused like 0.
  const auto count = static_cast<std::int32_t>(*value);
  if (count <= 0) {
    Refuse(window, "You must enter a number above 0");
    return;
  }
  g_dialog.count = count;
  g_dialog.chosen = true;
  Layer().EndDialog(window, IDOK);
}

bool FrameNumberDialogProc(WindowHandle window, unsigned message, WParam wParam, LParam) {
  switch (message) {
    case WM_INITDIALOG:
      Layer().SetControlText(window, kFrameCountEdit, std::to_string(g_dialog.count));
      return true;  // the focus goes to the first tab stop, OK
    case WM_COMMAND:
      if (LowWord(wParam) == IDOK) {
        Accept(window);
      } else if (LowWord(wParam) == IDCANCEL) {  // also Escape
        Layer().EndDialog(window, IDCANCEL);
      }
      return true;
    case WM_CLOSE:
      Layer().EndDialog(window, 0);
      return true;
    default:
      return false;
  }
}

}  // namespace

std::optional<std::uint32_t> ReadUnsignedNumber(std::string_view text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return std::nullopt;
  text = text.substr(first, text.find_last_not_of(' ') - first + 1);
  std::uint32_t value = 0;
  const char* end = text.data() + text.size();
  // An unsigned from_chars takes digits only: no sign, no spaces.
  const auto [next, error] = std::from_chars(text.data(), end, value);
  if (error != std::errc() || next != end) return std::nullopt;
  return value;
}

std::optional<int> ShowFrameNumberDialog(WindowLayer& layer, WindowHandle owner, int count) {
  g_dialog = FrameNumberDialog{&layer, count};
  layer.RunModalDialog(kFrameNumberTemplate, owner, FrameNumberDialogProc);
  if (!g_dialog.chosen) return std::nullopt;
  return g_dialog.count;
}
