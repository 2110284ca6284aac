#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "dialogs/dialogs.h"
#include "core/image.h"
#include "sheet/sheet_layout.h"
#include "engine/strip_pipeline.h"
#include "window/window_layer.h"

// How the window shows the sheet, and what it remembers for the user; all
// at their defaults, the window is the classic one.
struct ViewChoices {
  static constexpr int kFit = 0;
  int zoom = 1;                     // 1, 2, 4 or 8; kFit: as large as the preview holds whole
  int speed = 10;                   // frames a second while spinning: 5, 10, 20 or 30
  int width = 0;                    // the client area's size when the user made it larger;
  int height = 0;                   // 0: the template's
  std::vector<std::string> recent;  // the pictures last opened, newest first
  bool operator==(const ViewChoices&) const = default;
};

// What the user sets: five of these outlive the run in config.txt, the fill
// color does not.
struct AppSettings {
  int Frames = 32;             // never below 1, see SetFrameCount
  std::string DefaultDirPath;  // where the file dialogs start, with its trailing "/"
  bool IsCompressed = false;
  bool Is8BitSave = false;
  bool HasMask = false;
  Rgb FillColor{255, 255, 255};
  SheetChoices Sheet;  // all at their defaults make the classic strip
  ViewChoices View;
};

// The shell's state for the whole run; the main window holds it, and the
// settings, one of each per process.
struct AppState {
  WindowLayer* Instance = nullptr;  // the layer the program's windows run on
  WindowHandle MainWindow = 0;
  std::unique_ptr<Image> CurrentImage;
  SheetPlan CurrentPlan;  // where the current strip's frames are, for its data file
  StripOptions CurrentStrip;  // what the current strip was made with, for its normal sheet
  std::string OpenedPath;     // the picture last opened, beside which its normal map lies
  int OpenedWidth = 0;        // and its size, which its normal map's must be
  int OpenedHeight = 0;
  // The image the preview shows: the current image, or the one about to
  // become current. The preview paints straight from it.
  const Image* PreviewImage = nullptr;
  std::optional<Rgb> FillBrush;  // the swatch's color
  int ScrollX = 0;
  int ScrollY = 0;
  int VisibleWidth = 0;
  int VisibleHeight = 0;
  bool PreviewReady = false;
  std::string OpenAtStart;  // the file named on the command line, if any
  // When several pictures are open: their files in order, and every picture
  // but the first, which is CurrentImage until Rotate makes their one sheet.
  std::vector<std::string> OpenedPaths;
  std::vector<std::unique_ptr<Image>> MorePictures;
  // The fill was chosen in its dialog since the last Open: several pictures
  // then share it, rather than each having its own top-left pixel's.
  bool FillChosen = false;
};

// Releases the preview, the swatch color and the current image, and sets
// the frame count back to 32 and the scroll offsets to 0.
void ResetAppState(AppState& state, AppSettings& settings);

// The running program's directory with its trailing "/", "" when unknown.
std::string ExecutableDirectory(const AppState& state);

// A count of 0 or less becomes 32.
void SetFrameCount(AppSettings& settings, int n);
void SetSaveOptions(AppSettings& settings, bool compressed, bool eightBit, bool mask);
// The save options of `settings`, as Save As writes with them.
SaveOptions CurrentSaveOptions(const AppSettings& settings);
// The strip options of `settings`, as Rotate makes the strip with them.
StripOptions CurrentStripOptions(const AppSettings& settings);
// Also repaints the main window at once, so its swatch shows the color.
void SetFillColor(AppState& state, AppSettings& settings, std::uint8_t red, std::uint8_t green,
                  std::uint8_t blue);

// Shows an error in a message box over `owner`: `what` failed, and `reason` why.
void ReportFailure(const AppState& state, WindowHandle owner, const std::string& what,
                   const std::string& reason);
