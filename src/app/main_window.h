#pragma once

#include <memory>
#include <string>

#include "core/image.h"
#include "window/window_layer.h"

// The main window's procedure: menu commands, the Rotate button, painting
// of the preview and the fill-color swatch, both scroll bars, and the
// shutdown when the window goes.
bool MainWindowProc(WindowHandle window, unsigned message, WParam wParam, LParam lParam);

// Makes `image` the picture the preview shows: scroll ranges and pages,
// VisibleWidth and VisibleHeight, PreviewReady. The image must outlive its
// time in the preview.
void BuildPreviewBitmap(const Image& image);

// Paints the part of the shown picture that falls in the viewport; called
// while the main window paints.
void DrawPreview();

// Loads the picture at `path`, off the window's thread, and shows it.
void ShowOpenedImage(const std::string& path);

// Makes `image`, read from `path`, current; fill color from its top-left
// pixel. No image is reported with `reason` and changes nothing. True when
// the picture is shown.
bool ShowPicture(const std::string& path, std::unique_ptr<Image> image, const std::string& reason);

// Turns the current picture into a frame strip of Frames frames, once per
// opened picture, off the window's thread. A strip that cannot be made is
// reported, and one cancelled leaves everything as it was.
void Rotate(WindowHandle window);

// Shows an error in a message box over `owner`: `what` failed, and `reason` why.
void ReportFailure(WindowHandle owner, const std::string& what, const std::string& reason);
