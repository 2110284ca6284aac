// The Frame Number dialog: the count Rotate makes, checked on OK and
// handed back only when it is a count of 1 or more.

#include <charconv>
#include <cstdint>
#include <string>

#include "dialogs/dialog.h"
#include "dialogs/dialogs.h"
#include "resources/resource_ids.h"

namespace {

class FrameNumberDialog : public Dialog {
 public:
  FrameNumberDialog(WindowLayer& layer, int count)
      : Dialog(layer, kFrameNumberTemplate), count_(count) {}
  int Count() const { return count_; }

 protected:
  void Init(WindowHandle window) override {
    Layer().SetControlText(window, kFrameCountEdit, std::to_string(count_));
  }
  int FirstInput(WindowHandle) const override { return kFrameCountEdit; }

  bool Accept(WindowHandle window) override {
    const std::optional<std::uint32_t> value =
        ReadUnsignedNumber(Layer().GetControlText(window, kFrameCountEdit));
    if (!value) return Refuse(window, "You must enter a number");
    // Taken as signed: 2147483648 and more are refused like 0.
    const auto count = static_cast<std::int32_t>(*value);
    if (count <= 0) return Refuse(window, "You must enter a number above 0");
    count_ = count;
    return true;
  }

 private:
  // Shows a refusal; the dialog stays open with the text as typed.
  bool Refuse(WindowHandle window, const char* text) {
    Layer().MessageBox(window, text, "Note", MB_OK | MB_ICONINFORMATION);
    return false;
  }

  int count_;  // shown at opening, and the count accepted on OK
};

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
  FrameNumberDialog dialog(layer, count);
  if (!dialog.Run(owner)) return std::nullopt;
  return dialog.Count();
}
