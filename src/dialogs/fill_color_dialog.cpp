// The Fill Color Selector: one bar per channel, its value beside it, and a
// swatch that follows the bars. It edits a copy of the color it is given
// and hands it back only on OK.

#include <algorithm>
#include <iterator>
#include <string>

#include "dialogs/dialog.h"
#include "dialogs/dialogs.h"
#include "resources/resource_ids.h"

namespace {

// The swatch, in pixels of the client area: right of the value labels,
// across the rows of the three bars. Right and bottom are excluded.
constexpr int kSwatchLeft = 197;
constexpr int kSwatchTop = 56;
constexpr int kSwatchRight = 286;
constexpr int kSwatchBottom = 138;

struct Channel {
  int bar;
  int label;
  std::uint8_t Rgb::*value;
};

constexpr Channel kChannels[] = {
    {kRedBar, kRedValueLabel, &Rgb::red},
    {kGreenBar, kGreenValueLabel, &Rgb::green},
    {kBlueBar, kBlueValueLabel, &Rgb::blue},
};

class FillColorDialog : public Dialog {
 public:
  FillColorDialog(WindowLayer& layer, const Rgb& color)
      : Dialog(layer, kFillColorTemplate), color_(color) {}
  const Rgb& Color() const { return color_; }

 protected:
  void Init(WindowHandle window) override {
    for (const Channel& channel : kChannels) {
      ScrollInfo info;
      info.max = 255;
      info.page = 1;  // so the highest position a bar reaches is 255
      info.pos = color_.*channel.value;
      Layer().SetScrollInfo(window, channel.bar, info, SIF_RANGE | SIF_PAGE | SIF_POS);
      Layer().SetControlText(window, channel.label, std::to_string(color_.*channel.value));
    }
  }

  // The arrow keys move the red bar first; Tab goes on to the buttons.
  int FirstInput(WindowHandle) const override { return kRedBar; }

  bool Message(WindowHandle window, unsigned message, WParam wParam, LParam lParam) override {
    if (message == WM_HSCROLL) {
      Scroll(window, static_cast<int>(lParam), LowWord(wParam));
      return false;
    }
    if (message == WM_PAINT) {
      Layer().DrawRectangle(window, 0, kSwatchLeft, kSwatchTop, kSwatchRight, kSwatchBottom,
                            color_);
      return true;
    }
    return false;
  }

 private:
  // Moves bar `barId` as `request` asks; a move that the bar's ends stop
  // changes nothing else. A jump to either edge is not answered: only lines,
  // pages and the thumb move a channel.
  void Scroll(WindowHandle window, int barId, unsigned request) {
    if (request == SB_LEFT || request == SB_RIGHT) return;
    const Channel* channel =
        std::find_if(std::begin(kChannels), std::end(kChannels),
                     [barId](const Channel& each) { return each.bar == barId; });
    if (channel == std::end(kChannels)) return;
    const ScrollInfo info = Layer().GetScrollInfo(window, barId);
    const int now = MoveScrollBar(Layer(), window, barId, RequestedScrollPosition(info, request));
    if (now == info.pos) return;
    color_.*channel->value = static_cast<std::uint8_t>(now);
    Layer().SetControlText(window, channel->label, std::to_string(now));
    Layer().RepaintNow(window);
  }

  Rgb color_;  // the working copy
};

}  // namespace

std::optional<Rgb> ShowFillColorDialog(WindowLayer& layer, WindowHandle owner, const Rgb& color) {
  FillColorDialog dialog(layer, color);
  if (!dialog.Run(owner)) return std::nullopt;
  return dialog.Color();
}
