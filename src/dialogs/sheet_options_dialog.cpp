// The Sheet Options dialog: transparency, frame size, the grid, the angles,
// the data file and the turning method, checked on OK and handed back
// together.

#include <algorithm>
#include <iterator>
#include <string>

#include "dialogs/dialog.h"
#include "dialogs/dialogs.h"
#include "resources/resource_ids.h"

namespace {

// A group of radio buttons, each standing for one value.
template <typename T>
struct Choice {
  int radio;
  T value;
};

constexpr Choice<FrameSize::Kind> kSizeGroup[] = {
    {kKeepSizeRadio, FrameSize::Kind::kKeep},
    {kFitSizeRadio, FrameSize::Kind::kFit},
};
constexpr Choice<DataFormat> kDataGroup[] = {
    {kNoDataRadio, DataFormat::kNone},
    {kJsonHashRadio, DataFormat::kJsonHash},
    {kJsonArrayRadio, DataFormat::kJsonArray},
    {kAsepriteDataRadio, DataFormat::kAseprite},
    {kGodot4DataRadio, DataFormat::kGodot4},
    {kGodot3DataRadio, DataFormat::kGodot3},
    {kLibGdxDataRadio, DataFormat::kLibGdx},
};
constexpr Choice<NormalY> kNormalYGroup[] = {
    {kNormalYUpRadio, NormalY::kUp},
    {kNormalYDownRadio, NormalY::kDown},
};
constexpr Choice<TurnMethod> kTurnGroup[] = {
    {kLibraryTurnRadio, TurnMethod::kLibrary},
    {kRotSpriteTurnRadio, TurnMethod::kRotSprite},
    {kShearTurnRadio, TurnMethod::kShear},
    {kSmoothTurnRadio, TurnMethod::kSmooth},
};

// The entry of `group` for radio button `id`, nullptr when it has none.
template <typename T, std::size_t N>
const Choice<T>* ByRadio(const Choice<T> (&group)[N], unsigned id) {
  const auto found = std::find_if(std::begin(group), std::end(group),
                                  [id](const Choice<T>& each) { return each.radio == int(id); });
  return found == std::end(group) ? nullptr : found;
}

// The radio button of `value`; a value the group lacks shows as its first.
template <typename T, std::size_t N>
int RadioOf(const Choice<T> (&group)[N], T value) {
  for (const Choice<T>& each : group) {
    if (each.value == value) return each.radio;
  }
  return group[0].radio;
}

class SheetOptionsDialog : public Dialog {
 public:
  SheetOptionsDialog(WindowLayer& layer, const SheetChoices& choices)
      : Dialog(layer, kSheetOptionsTemplate), choices_(choices) {}
  const SheetChoices& Choices() const { return choices_; }

 protected:
  void Init(WindowHandle window) override {
    const StripOptions& strip = choices_.strip;
    Layer().CheckButton(window, kTransparentCheckBox, strip.alpha);
    Check(window, kSizeGroup, RadioOf(kSizeGroup, strip.frameSize.kind));
    Layer().SetControlText(window, kColumnsEdit, std::to_string(strip.columns));
    Layer().SetControlText(window, kSpacingEdit, std::to_string(strip.spacing));
    Layer().SetControlText(window, kStartAngleEdit, std::to_string(strip.startDegrees));
    Layer().CheckButton(window, kReverseCheckBox, strip.reverse);
    Layer().CheckButton(window, kExactAnglesCheckBox, strip.exactAngles);
    Check(window, kDataGroup, RadioOf(kDataGroup, choices_.data));
    Layer().SetControlText(window, kFpsEdit, std::to_string(choices_.fps));
    Check(window, kTurnGroup, RadioOf(kTurnGroup, strip.method));
    Layer().CheckButton(window, kTrimCheckBox, strip.trim);
    Layer().CheckButton(window, kPackCheckBox, strip.pack);
    Layer().CheckButton(window, kBleedCheckBox, strip.bleed);
    Layer().SetControlText(window, kExtrudeEdit, std::to_string(strip.extrude));
    Layer().SetControlText(window, kNormalSuffixEdit, choices_.normals.suffix);
    Check(window, kNormalYGroup, RadioOf(kNormalYGroup, choices_.normals.y));
  }

  int FirstInput(WindowHandle) const override { return kTransparentCheckBox; }

  void Command(WindowHandle window, unsigned id) override {
    // The check boxes keep their own state until OK.
    if (const auto* size = ByRadio(kSizeGroup, id)) {
      Check(window, kSizeGroup, size->radio);
      choices_.strip.frameSize = FrameSize{size->value};
    } else if (const auto* data = ByRadio(kDataGroup, id)) {
      Check(window, kDataGroup, data->radio);
      choices_.data = data->value;
    } else if (const auto* y = ByRadio(kNormalYGroup, id)) {
      Check(window, kNormalYGroup, y->radio);
      choices_.normals.y = y->value;
    } else if (const auto* turn = ByRadio(kTurnGroup, id)) {
      Check(window, kTurnGroup, turn->radio);
      choices_.strip.method = turn->value;
    }
  }

  bool Accept(WindowHandle window) override {
    StripOptions& strip = choices_.strip;
    const auto columns =
        ReadField(window, kColumnsEdit, 1, 65535, "You must enter a number of columns above 0");
    if (!columns) return false;
    const auto spacing = ReadField(window, kSpacingEdit, 0, 65535, "You must enter a spacing");
    if (!spacing) return false;
    const auto start =
        ReadField(window, kStartAngleEdit, 0, 359, "You must enter a start angle from 0 to 359");
    if (!start) return false;
    const auto fps = ReadField(window, kFpsEdit, 1, kMostFps,
                               "You must enter frames a second from 1 to " + std::to_string(kMostFps));
    if (!fps) return false;
    choices_.fps = *fps;
    strip.columns = *columns, strip.spacing = *spacing, strip.startDegrees = *start;
    strip.alpha = Layer().IsButtonChecked(window, kTransparentCheckBox);
    strip.reverse = Layer().IsButtonChecked(window, kReverseCheckBox);
    strip.exactAngles = Layer().IsButtonChecked(window, kExactAnglesCheckBox);
    const auto extrude = ReadField(window, kExtrudeEdit, 0, 8, "You must enter an extrusion from 0 to 8");
    if (!extrude) return false;
    strip.extrude = *extrude;
    strip.trim = Layer().IsButtonChecked(window, kTrimCheckBox);
    strip.pack = Layer().IsButtonChecked(window, kPackCheckBox);
    strip.bleed = Layer().IsButtonChecked(window, kBleedCheckBox);
    // Nothing could read a sheet of cut or moved frames without its data file.
    if ((strip.trim || strip.pack) && choices_.data == DataFormat::kNone) {
      Layer().MessageBox(window, "Trim and Pack need a data file: choose JSON hash or JSON array",
                         "Note", MB_OK | MB_ICONINFORMATION);
      return false;
    }
    // The suffix goes into file names and the settings file, which has no escapes.
    const std::string suffix = Layer().GetControlText(window, kNormalSuffixEdit);
    if (suffix.find_first_of("/;=[ \t") != std::string::npos) {
      Layer().MessageBox(window, "The normal map suffix cannot hold / ; = [ or spaces", "Note",
                         MB_OK | MB_ICONINFORMATION);
      return false;
    }
    choices_.normals.suffix = suffix;
    if (strip.bleed && !strip.alpha) {
      Layer().MessageBox(window, "Bleed needs a transparent background", "Note",
                         MB_OK | MB_ICONINFORMATION);
      return false;
    }
    return true;
  }

 private:
  // Plain radio buttons: the dialog checks the chosen one of its group and
  // unchecks the others itself.
  template <typename T, std::size_t N>
  void Check(WindowHandle window, const Choice<T> (&group)[N], int chosen) {
    for (const Choice<T>& each : group)
      Layer().CheckButton(window, each.radio, each.radio == chosen);
  }

  // The field's number when it is one from `least` to `most`; otherwise says
  // so and the dialog stays open.
  std::optional<int> ReadField(WindowHandle window, int id, int least, int most,
                               const std::string& refusal) {
    const auto value = ReadUnsignedNumber(Layer().GetControlText(window, id));
    if (value && *value >= std::uint32_t(least) && *value <= std::uint32_t(most)) {
      return int(*value);
    }
    Layer().MessageBox(window, refusal, "Note", MB_OK | MB_ICONINFORMATION);
    return std::nullopt;
  }

  SheetChoices choices_;  // the working copy; check boxes and fields are read on OK
};

}  // namespace

std::optional<SheetChoices> ShowSheetOptionsDialog(WindowLayer& layer, WindowHandle owner,
                                                   const SheetChoices& choices) {
  SheetOptionsDialog dialog(layer, choices);
  if (!dialog.Run(owner)) return std::nullopt;
  return dialog.Choices();
}
