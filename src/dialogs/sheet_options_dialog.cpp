// The Sheet Options dialog: transparency, frame size, the grid, the angles,
// the data file and the turning method, checked on OK and handed back
// together.

#include <string>

#include "dialogs/dialogs.h"
#include "resources/resource_ids.h"

namespace {

struct SheetOptionsDialog {
  WindowLayer* layer = nullptr;
  SheetChoices choices;  // the working copy; check boxes and fields are read on OK
  bool chosen = false;
} g_dialog;

WindowLayer& Layer() {
  return *g_dialog.layer;
}

// Plain radio buttons: the dialog checks the chosen one of its group and
// unchecks the others itself.
void Check(WindowHandle window, std::initializer_list<int> group, int chosen) {
  for (int id : group) Layer().CheckButton(window, id, id == chosen);
}

constexpr std::initializer_list<int> kSizeGroup = {kKeepSizeRadio, kFitSizeRadio};
constexpr std::initializer_list<int> kDataGroup = {kNoDataRadio, kJsonHashRadio, kJsonArrayRadio};
// In the order of TurnMethod.
constexpr std::initializer_list<int> kTurnGroup = {kLibraryTurnRadio, kRotSpriteTurnRadio,
                                                   kShearTurnRadio, kSmoothTurnRadio};

int DataRadio(DataFormat format) {
  switch (format) {
    case DataFormat::kJsonHash:
      return kJsonHashRadio;
    case DataFormat::kJsonArray:
      return kJsonArrayRadio;
    default:
      return kNoDataRadio;
  }
}

void Init(WindowHandle window) {
  const StripOptions& strip = g_dialog.choices.strip;
  Layer().CheckButton(window, kTransparentCheckBox, strip.alpha);
  Check(window, kSizeGroup,
        strip.frameSize.kind == FrameSize::Kind::kFit ? kFitSizeRadio : kKeepSizeRadio);
  Layer().SetControlText(window, kColumnsEdit, std::to_string(strip.columns));
  Layer().SetControlText(window, kSpacingEdit, std::to_string(strip.spacing));
  Layer().SetControlText(window, kStartAngleEdit, std::to_string(strip.startDegrees));
  Layer().CheckButton(window, kReverseCheckBox, strip.reverse);
  Layer().CheckButton(window, kExactAnglesCheckBox, strip.exactAngles);
  Check(window, kDataGroup, DataRadio(g_dialog.choices.data));
  Check(window, kTurnGroup, kTurnGroup.begin()[int(strip.method)]);
}

// The field's number when it is one from `least` to `most`; otherwise says
// so and the dialog stays open.
std::optional<int> ReadField(WindowHandle window, int id, int least, int most,
                             const std::string& refusal) {
  const auto value = ReadUnsignedNumber(Layer().GetControlText(window, id));
  if (value && *value >= std::uint32_t(least) && *value <= std::uint32_t(most)) return int(*value);
  Layer().MessageBox(window, refusal, "Note", MB_OK | MB_ICONINFORMATION);
  return std::nullopt;
}

void Accept(WindowHandle window) {
  StripOptions& strip = g_dialog.choices.strip;
  const auto columns =
      ReadField(window, kColumnsEdit, 1, 65535, "You must enter a number of columns above 0");
  if (!columns) return;
  const auto spacing = ReadField(window, kSpacingEdit, 0, 65535, "You must enter a spacing");
  if (!spacing) return;
  const auto start =
      ReadField(window, kStartAngleEdit, 0, 359, "You must enter a start angle from 0 to 359");
  if (!start) return;
  strip.columns = *columns, strip.spacing = *spacing, strip.startDegrees = *start;
  strip.alpha = Layer().IsButtonChecked(window, kTransparentCheckBox);
  strip.reverse = Layer().IsButtonChecked(window, kReverseCheckBox);
  strip.exactAngles = Layer().IsButtonChecked(window, kExactAnglesCheckBox);
  g_dialog.chosen = true;
  Layer().EndDialog(window, IDOK);
}

void Command(WindowHandle window, unsigned id) {
  switch (id) {
    case kKeepSizeRadio:
    case kFitSizeRadio:
      Check(window, kSizeGroup, int(id));
      g_dialog.choices.strip.frameSize =
          FrameSize{id == kFitSizeRadio ? FrameSize::Kind::kFit : FrameSize::Kind::kKeep};
      break;
    case kNoDataRadio:
    case kJsonHashRadio:
    case kJsonArrayRadio:
      Check(window, kDataGroup, int(id));
      g_dialog.choices.data = id == kJsonHashRadio    ? DataFormat::kJsonHash
                              : id == kJsonArrayRadio ? DataFormat::kJsonArray
                                                      : DataFormat::kNone;
      break;
    case kLibraryTurnRadio:
    case kRotSpriteTurnRadio:
    case kShearTurnRadio:
    case kSmoothTurnRadio:
      Check(window, kTurnGroup, int(id));
      g_dialog.choices.strip.method = TurnMethod(int(id) - kLibraryTurnRadio);
      break;
    case IDOK:
      Accept(window);
      break;
    case IDCANCEL:  // also Escape
      Layer().EndDialog(window, IDCANCEL);
      break;
    default:  // the check boxes keep their own state until OK
      break;
  }
}

bool SheetOptionsDialogProc(WindowHandle window, unsigned message, WParam wParam, LParam) {
  switch (message) {
    case WM_INITDIALOG:
      Init(window);
      return true;
    case WM_COMMAND:
      Command(window, LowWord(wParam));
      return true;
    case WM_CLOSE:
      Layer().EndDialog(window, 0);
      return true;
    default:
      return false;
  }
}

}  // namespace

std::optional<SheetChoices> ShowSheetOptionsDialog(WindowLayer& layer, WindowHandle owner,
                                                   const SheetChoices& choices) {
  g_dialog = SheetOptionsDialog{&layer, choices};
  layer.RunModalDialog(kSheetOptionsTemplate, owner, SheetOptionsDialogProc);
  if (!g_dialog.chosen) return std::nullopt;
  return g_dialog.choices;
}
