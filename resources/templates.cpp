#include "gyrelle_version.h"
#include "resources/pictures.h"
#include "resources/program_resources.h"
#include "resources/resource_ids.h"
#include "window/dialog_template.h"
#include "window/window_layer.h"

namespace {

const DialogTemplate kMainWindow{
    kMainWindowTemplate,
    "Gyrelle v" GYRELLE_VERSION,
    232,
    207,
    WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | DS_CENTER | DS_SETFONT,
    kMainMenu,
    {
        {kPreviewControl, ControlClass::kStatic, "", 7, 7, 208, 161, SS_BLACKFRAME, 0,
         kGrowWide | kGrowTall},
        {kVerticalScrollBar, ControlClass::kScrollBar, "", 215, 6, 10, 162, SBS_VERT, 0,
         kMoveRight | kGrowTall},
        {kHorizontalScrollBar, ControlClass::kScrollBar, "", 7, 168, 208, 9, SBS_HORZ, 0,
         kMoveDown | kGrowWide},
        {kFillColorLabel, ControlClass::kStatic, "Fill color", 33, 185, 32, 9, SS_LEFT, 0,
         kMoveDown},
        {kStatusText, ControlClass::kStatic, "", 66, 188, 69, 9, SS_LEFT, 0,
         kMoveDown | kGrowWide},
        {kSpinButton, ControlClass::kButton, "Spin", 137, 186, 34, 14, WS_TABSTOP, 0,
         kMoveRight | kMoveDown},
        {kRotateButton, ControlClass::kButton, "Rotate", 175, 186, 50, 14,
         BS_DEFPUSHBUTTON | WS_TABSTOP, 0, kMoveRight | kMoveDown},
    }};

const MenuTemplate kMenu{kMainMenu,
                         {
                             {"File",
                              {{"Open", kOpenCommand},
                               {"Open Recent", kOpenRecentMenu, nullptr, true},
                               {"Save As", kSaveAsCommand},
                               {nullptr, 0},
                               {"Exit", kExitCommand}}},
                             {"Settings",
                              {{"Number of frames", kFrameNumberCommand},
                               {"Save Settings", kSaveOptionsCommand},
                               {"Fill Color", kFillColorCommand},
                               {"Sheet Options\u2026", kSheetOptionsCommand}}},
                             {"View",
                              {{"Spin", kSpinCommand, "Ctrl+P"},
                               {nullptr, 0},
                               {"5 frames a second", kSpeedCommands[0]},
                               {"10 frames a second", kSpeedCommands[1]},
                               {"20 frames a second", kSpeedCommands[2]},
                               {"30 frames a second", kSpeedCommands[3]},
                               {nullptr, 0},
                               {"Zoom 1\u00d7", kZoomCommands[0], "Ctrl+1"},
                               {"Zoom 2\u00d7", kZoomCommands[1], "Ctrl+2"},
                               {"Zoom 4\u00d7", kZoomCommands[2], "Ctrl+4"},
                               {"Zoom 8\u00d7", kZoomCommands[3], "Ctrl+8"},
                               {"Fit", kZoomCommands[4], "Ctrl+0"}}},
                             {"Help", {{"About", kAboutCommand}}},
                         }};

// The settings dialogs and the About box share one frame.
constexpr unsigned kDialogStyle =
    WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER | DS_SETFONT;

const DialogTemplate kSaveOptions{
    kSaveOptionsTemplate,
    "Save Options",
    174,
    202,
    kDialogStyle,
    0,
    {
        {-1, ControlClass::kButton, "Bit Depth", 7, 7, 160, 49, BS_GROUPBOX},
        {kEightBitRadio, ControlClass::kButton, "8 bits", 19, 21, 111, 11, BS_RADIOBUTTON},
        {kTwentyFourBitRadio, ControlClass::kButton, "24 bits", 19, 35, 111, 11, BS_RADIOBUTTON},
        {IDOK, ControlClass::kButton, "OK", 62, 181, 50, 14, BS_DEFPUSHBUTTON | WS_TABSTOP},
        {IDCANCEL, ControlClass::kButton, "Cancel", 117, 181, 50, 14, WS_TABSTOP},
        {-1, ControlClass::kButton, "Compression", 7, 65, 160, 49, BS_GROUPBOX},
        {kCompressedRadio, ControlClass::kButton, "Compressed", 19, 80, 111, 11, BS_RADIOBUTTON},
        {kUncompressedRadio, ControlClass::kButton, "Uncompressed", 19, 94, 111, 11,
         BS_RADIOBUTTON},
        {-1, ControlClass::kButton, "Mask", 7, 123, 160, 49, BS_GROUPBOX},
        {kMaskCheckBox, ControlClass::kButton, "Output a .bmp mask using the fill color.", 14, 134,
         137, 11, BS_AUTOCHECKBOX | BS_MULTILINE | WS_TABSTOP},
        {-1, ControlClass::kStatic,
         "The mask will have the same name as your file with a "
         "\"-mask\""
         " before the end of the filename.",
         14, 147, 153, 19, SS_LEFT | WS_GROUP},
    }};

const DialogTemplate kFillColor{
    kFillColorTemplate,
    "Fill Color Selector",
    202,
    122,
    kDialogStyle,
    0,
    {
        {IDOK, ControlClass::kButton, "OK", 91, 101, 50, 14, BS_DEFPUSHBUTTON | WS_TABSTOP},
        {-1, ControlClass::kStatic, "R", 7, 36, 8, 11, SS_LEFT | WS_GROUP},
        {kRedValueLabel, ControlClass::kStatic, "255", 112, 36, 18, 11, SS_LEFT | WS_GROUP},
        {-1, ControlClass::kStatic,
         "This color will be used to fill the gaps left by the rotation of the ship.", 7, 7, 188,
         20, SS_LEFT | WS_GROUP},
        {kGreenBar, ControlClass::kScrollBar, "", 18, 52, 90, 13, SBS_HORZ},
        {-1, ControlClass::kStatic, "G", 7, 55, 8, 11, SS_LEFT | WS_GROUP},
        {kGreenValueLabel, ControlClass::kStatic, "255", 112, 55, 18, 11, SS_LEFT | WS_GROUP},
        {-1, ControlClass::kStatic, "B", 8, 72, 8, 11, SS_LEFT | WS_GROUP},
        {kBlueValueLabel, ControlClass::kStatic, "255", 112, 72, 18, 11, SS_LEFT | WS_GROUP},
        {IDCANCEL, ControlClass::kButton, "Cancel", 145, 101, 50, 14, WS_TABSTOP},
        {kBlueBar, ControlClass::kScrollBar, "", 18, 70, 90, 13, SBS_HORZ},
        {kRedBar, ControlClass::kScrollBar, "", 18, 34, 90, 13, SBS_HORZ},
    }};

const DialogTemplate kFrameNumber{
    kFrameNumberTemplate,
    "Frame Number",
    186,
    74,
    kDialogStyle,
    0,
    {
        {IDOK, ControlClass::kButton, "OK", 75, 53, 50, 14, BS_DEFPUSHBUTTON | WS_TABSTOP},
        {IDCANCEL, ControlClass::kButton, "Cancel", 129, 53, 50, 14, WS_TABSTOP},
        {-1, ControlClass::kStatic, "This set the number of frames in the rotation animation.", 7,
         7, 172, 17, SS_LEFT | WS_GROUP},
        {kFrameCountEdit, ControlClass::kEdit, "", 41, 28, 138, 12,
         WS_BORDER | WS_TABSTOP | ES_NUMBER | ES_AUTOHSCROLL},
        {-1, ControlClass::kStatic, "Frames :", 9, 31, 32, 13, SS_LEFT | WS_GROUP},
    }};

// Shown while long work runs; it goes when the work ends.
const DialogTemplate kProgress{
    kProgressTemplate,
    "Gyrelle",
    186,
    50,
    kDialogStyle,
    0,
    {
        {kProgressText, ControlClass::kStatic, "", 7, 9, 172, 11, SS_LEFT | WS_GROUP},
        {IDCANCEL, ControlClass::kButton, "Cancel", 129, 29, 50, 14, BS_DEFPUSHBUTTON | WS_TABSTOP},
    }};

const DialogTemplate kAbout{
    kAboutTemplate,
    "About Gyrelle",
    195,
    145,
    kDialogStyle,
    0,
    {
        {IDOK, ControlClass::kButton, "OK", 72, 124, 50, 14, BS_DEFPUSHBUTTON | WS_TABSTOP},
        {-1, ControlClass::kStatic, "", 73, 7, 47, 42, SS_BITMAP, kAboutBitmap},
        {-1, ControlClass::kStatic, "Gyrelle v" GYRELLE_VERSION, 43, 51, 105, 12,
         SS_CENTER | WS_GROUP},
        {-1, ControlClass::kStatic, "Written by the Gyrelle contributors", 33, 77, 130, 12,
         SS_CENTER | WS_GROUP},
        {-1, ControlClass::kStatic, "Gyrelle project, 2024", 44, 64, 106, 12, SS_CENTER | WS_GROUP},
        {-1, ControlClass::kStatic, "News, help and new versions:", 41, 99, 115, 12,
         SS_LEFT | WS_GROUP},
        {-1, ControlClass::kStatic, "https://gyrelle.example/", 16, 110, 163, 9,
         SS_CENTER | WS_GROUP},
    }};

const DialogTemplate kSheetOptions{
    kSheetOptionsTemplate,
    "Sheet Options",
    200,
    341,
    kDialogStyle,
    0,
    {
        {kTransparentCheckBox, ControlClass::kButton, "Transparent background", 7, 7, 186, 11,
         BS_AUTOCHECKBOX | WS_TABSTOP},
        {-1, ControlClass::kButton, "Frame size", 7, 22, 186, 40, BS_GROUPBOX},
        {kKeepSizeRadio, ControlClass::kButton, "Same as picture", 14, 34, 170, 11,
         BS_RADIOBUTTON | WS_TABSTOP},
        {kFitSizeRadio, ControlClass::kButton, "Fit the turned ship", 14, 47, 170, 11,
         BS_RADIOBUTTON},
        {-1, ControlClass::kStatic, "Columns :", 9, 71, 60, 9, SS_LEFT | WS_GROUP},
        {kColumnsEdit, ControlClass::kEdit, "", 72, 69, 40, 12,
         WS_BORDER | WS_TABSTOP | ES_NUMBER | ES_AUTOHSCROLL},
        {-1, ControlClass::kStatic, "Spacing :", 9, 87, 60, 9, SS_LEFT | WS_GROUP},
        {kSpacingEdit, ControlClass::kEdit, "", 72, 85, 40, 12,
         WS_BORDER | WS_TABSTOP | ES_NUMBER | ES_AUTOHSCROLL},
        {-1, ControlClass::kStatic, "Start angle :", 9, 103, 60, 9, SS_LEFT | WS_GROUP},
        {kStartAngleEdit, ControlClass::kEdit, "", 72, 101, 40, 12,
         WS_BORDER | WS_TABSTOP | ES_NUMBER | ES_AUTOHSCROLL},
        {kReverseCheckBox, ControlClass::kButton, "Turn the other way", 7, 119, 186, 11,
         BS_AUTOCHECKBOX | WS_TABSTOP},
        {kExactAnglesCheckBox, ControlClass::kButton, "Exact angles", 100, 119, 93, 11,
         BS_AUTOCHECKBOX | WS_TABSTOP},
        {-1, ControlClass::kButton, "Data file", 7, 134, 186, 64, BS_GROUPBOX},
        {kNoDataRadio, ControlClass::kButton, "None", 14, 146, 80, 11,
         BS_RADIOBUTTON | WS_TABSTOP},
        {kJsonHashRadio, ControlClass::kButton, "JSON hash", 14, 158, 80, 11, BS_RADIOBUTTON},
        {kJsonArrayRadio, ControlClass::kButton, "JSON array", 14, 170, 80, 11, BS_RADIOBUTTON},
        {kAsepriteDataRadio, ControlClass::kButton, "Aseprite JSON", 14, 182, 80, 11,
         BS_RADIOBUTTON},
        {kGodot4DataRadio, ControlClass::kButton, "Godot 4", 100, 146, 88, 11, BS_RADIOBUTTON},
        {kGodot3DataRadio, ControlClass::kButton, "Godot 3", 100, 158, 88, 11, BS_RADIOBUTTON},
        {kLibGdxDataRadio, ControlClass::kButton, "libGDX/Spine", 100, 170, 88, 11,
         BS_RADIOBUTTON},
        {-1, ControlClass::kStatic, "Frames/s :", 100, 184, 44, 9, SS_LEFT | WS_GROUP},
        {kFpsEdit, ControlClass::kEdit, "", 146, 182, 40, 12,
         WS_BORDER | WS_TABSTOP | ES_NUMBER | ES_AUTOHSCROLL},
        {-1, ControlClass::kButton, "Turning", 7, 203, 186, 64, BS_GROUPBOX},
        {kLibraryTurnRadio, ControlClass::kButton, "Library", 14, 215, 170, 11,
         BS_RADIOBUTTON | WS_TABSTOP},
        {kRotSpriteTurnRadio, ControlClass::kButton, "RotSprite (pixel art)", 14, 227, 170, 11,
         BS_RADIOBUTTON},
        {kShearTurnRadio, ControlClass::kButton, "Three shears (pixel art)", 14, 239, 170, 11,
         BS_RADIOBUTTON},
        {kSmoothTurnRadio, ControlClass::kButton, "Smooth (painted art)", 14, 251, 170, 11,
         BS_RADIOBUTTON},
        {kTrimCheckBox, ControlClass::kButton, "Trim", 7, 274, 50, 11, BS_AUTOCHECKBOX | WS_TABSTOP},
        {kPackCheckBox, ControlClass::kButton, "Pack", 62, 274, 50, 11, BS_AUTOCHECKBOX | WS_TABSTOP},
        {kBleedCheckBox, ControlClass::kButton, "Bleed", 117, 274, 70, 11,
         BS_AUTOCHECKBOX | WS_TABSTOP},
        {-1, ControlClass::kStatic, "Extrude (0-8) :", 9, 290, 60, 9, SS_LEFT | WS_GROUP},
        {kExtrudeEdit, ControlClass::kEdit, "", 72, 288, 40, 12,
         WS_BORDER | WS_TABSTOP | ES_NUMBER | ES_AUTOHSCROLL},
        {-1, ControlClass::kStatic, "Normal map suffix :", 9, 306, 62, 9, SS_LEFT | WS_GROUP},
        {kNormalSuffixEdit, ControlClass::kEdit, "", 72, 304, 40, 12,
         WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL},
        {kNormalYUpRadio, ControlClass::kButton, "Y up", 117, 305, 35, 11,
         BS_RADIOBUTTON | WS_TABSTOP},
        {kNormalYDownRadio, ControlClass::kButton, "Y down", 153, 305, 40, 11, BS_RADIOBUTTON},
        {IDOK, ControlClass::kButton, "OK", 88, 320, 50, 14, BS_DEFPUSHBUTTON | WS_TABSTOP},
        {IDCANCEL, ControlClass::kButton, "Cancel", 143, 320, 50, 14, WS_TABSTOP},
    }};

}  // namespace

const WindowResources& ProgramResources() {
  static const WindowResources resources{
      {&kMainWindow, &kSaveOptions, &kFillColor, &kFrameNumber, &kAbout, &kSheetOptions,
       &kProgress},
      {&kMenu},
      {{kBigIcon, kIcon48Png}, {kSmallIcon, kIcon16Png}, {kAboutBitmap, kAboutBmp}},
  };
  return resources;
}
