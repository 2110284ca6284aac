#pragma once

// Ids of the program's windows, menus, icons, controls and commands.

// Dialog templates and the menu.
constexpr int kMainWindowTemplate = 101;
constexpr int kMainMenu = 102;
constexpr int kSaveOptionsTemplate = 103;
constexpr int kFillColorTemplate = 104;
constexpr int kFrameNumberTemplate = 105;
constexpr int kAboutTemplate = 106;

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

// Menu commands.
constexpr int kAboutCommand = 40005;
constexpr int kExitCommand = 40006;
constexpr int kFrameNumberCommand = 40007;
constexpr int kFillColorCommand = 40011;
constexpr int kOpenCommand = 40012;
constexpr int kSaveAsCommand = 40013;
constexpr int kSaveOptionsCommand = 40014;
