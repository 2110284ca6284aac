#pragma once

// Ids of the program's windows, menus, icons, controls and commands.

// Dialog templates and the menu.
constexpr int kMainWindowTemplate = 101;
constexpr int kMainMenu = 102;
constexpr int kSaveOptionsTemplate = 103;
constexpr int kFillColorTemplate = 104;
constexpr int kFrameNumberTemplate = 105;
constexpr int kAboutTemplate = 106;
constexpr int kSheetOptionsTemplate = 108;
constexpr int kProgressTemplate = 109;

// Pictures.
constexpr int kAboutBitmap = 107;
constexpr int kBigIcon = 111;
constexpr int kSmallIcon = 112;

// Main window controls.
constexpr int kVerticalScrollBar = 1003;
constexpr int kPreviewControl = 1009;
constexpr int kHorizontalScrollBar = 1010;
constexpr int kFillColorLabel = 1011;
constexpr int kRotateButton = 1023;
constexpr int kSpinButton = 1051;
constexpr int kStatusText = 1052;

// Menu commands.
constexpr int kAboutCommand = 40005;
constexpr int kExitCommand = 40006;
constexpr int kFrameNumberCommand = 40007;
constexpr int kFillColorCommand = 40011;
constexpr int kOpenCommand = 40012;
constexpr int kSaveAsCommand = 40013;
constexpr int kSaveOptionsCommand = 40014;
constexpr int kSheetOptionsCommand = 40015;
constexpr int kSpinCommand = 40016;
// Spin speeds, 5, 10, 20 and 30 frames a second, in this order.
constexpr int kSpeedCommands[] = {40020, 40021, 40022, 40023};
// Zoom 1x, 2x, 4x, 8x and Fit, in this order.
constexpr int kZoomCommands[] = {40030, 40031, 40032, 40033, 40034};
// File, Open Recent, and its entries, newest first.
constexpr int kOpenRecentMenu = 40039;
constexpr int kRecentFileCommand = 40040;
constexpr int kRecentFiles = 8;

// Save Options controls.
constexpr int kEightBitRadio = 1022;
constexpr int kTwentyFourBitRadio = 1023;
constexpr int kCompressedRadio = 1024;
constexpr int kUncompressedRadio = 1025;
constexpr int kMaskCheckBox = 1027;

// Fill Color Selector controls.
constexpr int kRedValueLabel = 1014;
constexpr int kGreenBar = 1016;
constexpr int kGreenValueLabel = 1017;
constexpr int kBlueValueLabel = 1019;
constexpr int kBlueBar = 1020;
constexpr int kRedBar = 1021;

// Progress controls (and IDCANCEL).
constexpr int kProgressText = 1050;

// Frame Number controls.
constexpr int kFrameCountEdit = 1021;

// Sheet Options controls.
constexpr int kTransparentCheckBox = 1030;
constexpr int kKeepSizeRadio = 1031;
constexpr int kFitSizeRadio = 1032;
constexpr int kColumnsEdit = 1033;
constexpr int kSpacingEdit = 1034;
constexpr int kStartAngleEdit = 1035;
constexpr int kReverseCheckBox = 1036;
constexpr int kExactAnglesCheckBox = 1037;
constexpr int kNoDataRadio = 1038;
constexpr int kJsonHashRadio = 1039;
constexpr int kJsonArrayRadio = 1040;
constexpr int kLibraryTurnRadio = 1041;
constexpr int kRotSpriteTurnRadio = 1042;
constexpr int kShearTurnRadio = 1043;
constexpr int kSmoothTurnRadio = 1044;
constexpr int kAsepriteDataRadio = 1070;
constexpr int kGodot4DataRadio = 1071;
constexpr int kGodot3DataRadio = 1072;
constexpr int kLibGdxDataRadio = 1073;
constexpr int kFpsEdit = 1074;
// Sheet Options: frames cut, packed and edged.
constexpr int kTrimCheckBox = 1045;
constexpr int kPackCheckBox = 1046;
constexpr int kBleedCheckBox = 1047;
constexpr int kExtrudeEdit = 1048;
// Sheet Options: the normal sheet.
constexpr int kNormalSuffixEdit = 1075;
constexpr int kNormalYUpRadio = 1076;
constexpr int kNormalYDownRadio = 1077;
