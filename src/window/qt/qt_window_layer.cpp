#include "window/qt/qt_window_layer.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QThread>
#include <algorithm>
#include <cstring>
#include <vector>

#include "core/image.h"
#include "window/qt/template_dialog.h"

namespace {

// "Description (*.a *.b)": with the details hidden the user reads the
// description exactly as written, and Qt takes the patterns from the last
// parentheses.
QString NameFilter(const FileFilter& filter) {
  QString patterns = QString::fromUtf8(filter.patterns);
  patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
  return QString::fromUtf8(filter.description) + QStringLiteral(" (") + patterns + QLatin1Char(')');
}

// Pixel (x, y) of a picture with alpha as it shows: over a light
// checkerboard of 8-pixel squares, fixed to the image so that it scrolls
// with it.
void OverCheckerboard(const std::uint8_t* source, int x, int y, std::uint8_t* target) {
  const unsigned alpha = source[3];
  const unsigned light = (x / 8 + y / 8) % 2 != 0 ? 0xCC : 0xFF;
  for (int c = 0; c < 3; ++c) {
    target[c] = std::uint8_t((source[c] * alpha + light * (255 - alpha) + 127) / 255);
  }
}

// The srcWidth x srcHeight block of `image` at (x, y) on destWidth x
// destHeight pixels, each the source pixel under its centre.
QImage ScaledBlock(const Image& image, int x, int y, int srcWidth, int srcHeight, int destWidth,
                   int destHeight) {
  QImage block(destWidth, destHeight, QImage::Format_RGB888);
  const int bytesPerPixel = image.BytesPerPixel();
  std::vector<int> columns(static_cast<std::size_t>(destWidth));
  for (int column = 0; column < destWidth; ++column) {
    columns[std::size_t(column)] = x + int((2LL * column + 1) * srcWidth / (2LL * destWidth));
  }
  for (int row = 0; row < destHeight; ++row) {
    const int sourceY = y + int((2LL * row + 1) * srcHeight / (2LL * destHeight));
    const std::uint8_t* line = image.Pixels() + image.RowBytes() * std::size_t(sourceY);
    std::uint8_t* target = block.scanLine(row);
    for (int column = 0; column < destWidth; ++column, target += 3) {
      const int sourceX = columns[std::size_t(column)];
      const std::uint8_t* source = line + std::size_t(sourceX) * bytesPerPixel;
      if (bytesPerPixel == 4) {
        OverCheckerboard(source, sourceX, sourceY, target);
      } else {
        std::memcpy(target, source, 3);
      }
    }
  }
  return block;
}

// The block of `image` at (x, y), red-green-blue, copied row by row.
QImage CopyBlock(const Image& image, int x, int y, int width, int height) {
  QImage block(width, height, QImage::Format_RGB888);
  const int bytesPerPixel = image.BytesPerPixel();
  for (int row = 0; row < height; ++row) {
    const std::uint8_t* source =
        image.Pixels() + image.RowBytes() * std::size_t(y + row) + std::size_t(x) * bytesPerPixel;
    std::uint8_t* target = block.scanLine(row);
    if (bytesPerPixel == 3) {
      std::memcpy(target, source, std::size_t(width) * 3);
      continue;
    }
    for (int column = 0; column < width; ++column, source += bytesPerPixel, target += 3) {
      if (bytesPerPixel != 4) {
        std::memcpy(target, source, 3);
        continue;
      }
      OverCheckerboard(source, x + column, y + row, target);
    }
  }
  return block;
}

}  // namespace

QtWindowLayer::QtWindowLayer(const WindowResources& resources) : resources_(resources) {}
QtWindowLayer::~QtWindowLayer() = default;

TemplateDialog* QtWindowLayer::Find(WindowHandle window) const {
  const auto found = windows_.find(window);
  return found == windows_.end() ? nullptr : found->second;
}

QDialog* QtWindowLayer::Widget(WindowHandle window) const {
  return Find(window);
}

int QtWindowLayer::RunModalDialog(int templateId, WindowHandle owner, DialogProc proc) {
  const DialogTemplate* dialogTemplate = resources_.FindDialog(templateId);
  if (!dialogTemplate) return -1;
  const WindowHandle handle = nextHandle_++;
  TemplateDialog dialog(handle, *dialogTemplate, resources_, proc, Find(owner));
  windows_[handle] = &dialog;
  // A procedure that answers true leaves the focus to the layer.
  if (dialog.Dispatch(WM_INITDIALOG, 0, 0)) dialog.FocusFirstTabStop();
  if (!dialog.Ended()) dialog.exec();
  dialog.Dispatch(WM_DESTROY, 0, 0);
  windows_.erase(handle);
  return dialog.Result();
}

void QtWindowLayer::EndDialog(WindowHandle window, int result) {
  if (TemplateDialog* dialog = Find(window)) dialog->End(result);
}

// No loop runs outside the windows' own modal runs, so there is nothing to
// stop: the request is only kept. (QCoreApplication::exit would make every
// later modal run return at once.)
void QtWindowLayer::PostQuit(int exitCode) {
  quitCode_ = exitCode;
}

void QtWindowLayer::EnableControl(WindowHandle window, int id, bool enabled) {
  if (TemplateDialog* dialog = Find(window)) {
    if (QWidget* control = dialog->Control(id)) control->setEnabled(enabled);
  }
}

bool QtWindowLayer::IsControlEnabled(WindowHandle window, int id) {
  TemplateDialog* dialog = Find(window);
  QWidget* control = dialog ? dialog->Control(id) : nullptr;
  return control && control->isEnabled();
}

void QtWindowLayer::EnableMenuItem(WindowHandle window, int commandId, bool enabled) {
  if (TemplateDialog* dialog = Find(window)) {
    if (QAction* action = dialog->MenuCommand(commandId)) action->setEnabled(enabled);
  }
}

void QtWindowLayer::SetControlText(WindowHandle window, int id, const std::string& text) {
  TemplateDialog* dialog = Find(window);
  QWidget* control = dialog ? dialog->Control(id) : nullptr;
  const QString value = QString::fromStdString(text);
  if (auto* edit = qobject_cast<QLineEdit*>(control)) {
    edit->setText(value);
  } else if (auto* label = qobject_cast<QLabel*>(control)) {
    label->setText(value);
  } else if (auto* button = qobject_cast<QAbstractButton*>(control)) {
    button->setText(value);
  } else if (auto* group = qobject_cast<QGroupBox*>(control)) {
    group->setTitle(value);
  }
}

std::string QtWindowLayer::GetControlText(WindowHandle window, int id) {
  TemplateDialog* dialog = Find(window);
  QWidget* control = dialog ? dialog->Control(id) : nullptr;
  if (auto* edit = qobject_cast<QLineEdit*>(control)) return edit->text().toStdString();
  if (auto* label = qobject_cast<QLabel*>(control)) return label->text().toStdString();
  if (auto* button = qobject_cast<QAbstractButton*>(control)) return button->text().toStdString();
  if (auto* group = qobject_cast<QGroupBox*>(control)) return group->title().toStdString();
  return {};
}

void QtWindowLayer::CheckButton(WindowHandle window, int id, bool checked) {
  TemplateDialog* dialog = Find(window);
  if (auto* button = qobject_cast<QAbstractButton*>(dialog ? dialog->Control(id) : nullptr)) {
    button->setChecked(checked);
  }
}

bool QtWindowLayer::IsButtonChecked(WindowHandle window, int id) {
  TemplateDialog* dialog = Find(window);
  auto* button = qobject_cast<QAbstractButton*>(dialog ? dialog->Control(id) : nullptr);
  return button && button->isChecked();
}

void QtWindowLayer::SetScrollInfo(WindowHandle window, int id, const ScrollInfo& info,
                                  unsigned mask) {
  if (TemplateDialog* dialog = Find(window)) dialog->SetScrollInfo(id, info, mask);
}

ScrollInfo QtWindowLayer::GetScrollInfo(WindowHandle window, int id) {
  TemplateDialog* dialog = Find(window);
  return dialog ? dialog->GetScrollInfo(id) : ScrollInfo();
}

void QtWindowLayer::RepaintNow(WindowHandle window) {
  if (TemplateDialog* dialog = Find(window)) dialog->ClientArea()->repaint();
}

void QtWindowLayer::RepaintControl(WindowHandle window, int id) {
  TemplateDialog* dialog = Find(window);
  QWidget* control = dialog ? dialog->Control(id) : nullptr;
  if (control) dialog->ClientArea()->repaint(control->geometry());
}

void QtWindowLayer::Invalidate(WindowHandle window) {
  if (TemplateDialog* dialog = Find(window)) dialog->update();
}

void QtWindowLayer::DrawImageBlock(WindowHandle window, int id, const Image& image, int srcX,
                                   int srcY, int destX, int destY, int width, int height) {
  TemplateDialog* dialog = Find(window);
  QPainter* painter = dialog ? dialog->BeginDrawing(id) : nullptr;
  if (!painter) return;
  // Only the part of the block that lies inside the image.
  const QRect wanted(srcX, srcY, width, height);
  const QRect source = wanted.intersected(QRect(0, 0, image.Width(), image.Height()));
  if (!source.isEmpty() && image.HasPixels()) {
    const QPoint target(destX + source.x() - srcX, destY + source.y() - srcY);
    painter->drawImage(target,
                       CopyBlock(image, source.x(), source.y(), source.width(), source.height()));
  }
  dialog->EndDrawing();
}

void QtWindowLayer::DrawRectangle(WindowHandle window, int id, int left, int top, int right,
                                  int bottom, Rgb fill) {
  TemplateDialog* dialog = Find(window);
  QPainter* painter = dialog ? dialog->BeginDrawing(id) : nullptr;
  if (!painter) return;
  if (right > left && bottom > top) {
    const QRect area(left, top, right - left, bottom - top);
    painter->fillRect(area, QColor(fill.red, fill.green, fill.blue));
    painter->setPen(QPen(Qt::black, 0));
    painter->setBrush(Qt::NoBrush);
    // A 1-pixel outline on the area's own edge pixels.
    painter->drawRect(area.adjusted(0, 0, -1, -1));
  }
  dialog->EndDrawing();
}

void QtWindowLayer::DrawImageScaled(WindowHandle window, int id, const Image& image, int srcX,
                                    int srcY, int srcWidth, int srcHeight, int destX, int destY,
                                    int destWidth, int destHeight) {
  TemplateDialog* dialog = Find(window);
  QPainter* painter = dialog ? dialog->BeginDrawing(id) : nullptr;
  if (!painter) return;
  // Only a block that lies wholly inside the image.
  const QRect source(srcX, srcY, srcWidth, srcHeight);
  if (!source.isEmpty() && destWidth > 0 && destHeight > 0 && image.HasPixels() &&
      QRect(0, 0, image.Width(), image.Height()).contains(source)) {
    painter->drawImage(QPoint(destX, destY),
                       ScaledBlock(image, srcX, srcY, srcWidth, srcHeight, destWidth, destHeight));
  }
  dialog->EndDrawing();
}

void QtWindowLayer::AllowResize(WindowHandle window) {
  if (TemplateDialog* dialog = Find(window)) dialog->AllowResize();
}

void QtWindowLayer::SetClientSize(WindowHandle window, Size size) {
  if (TemplateDialog* dialog = Find(window)) dialog->SetClientSize(QSize(size.width, size.height));
}

Size QtWindowLayer::ClientSize(WindowHandle window) {
  TemplateDialog* dialog = Find(window);
  if (!dialog) return {};
  return {dialog->ClientArea()->width(), dialog->ClientArea()->height()};
}

void QtWindowLayer::FocusControl(WindowHandle window, int id) {
  TemplateDialog* dialog = Find(window);
  QWidget* control = dialog ? dialog->Control(id) : nullptr;
  if (!control) return;
  // A bar with the focus answers the arrow keys; Tab still passes it by.
  if (control->focusPolicy() == Qt::NoFocus) control->setFocusPolicy(Qt::ClickFocus);
  control->setFocus(Qt::OtherFocusReason);
  if (auto* edit = qobject_cast<QLineEdit*>(control)) edit->selectAll();
}

void QtWindowLayer::CheckMenuItem(WindowHandle window, int commandId, bool checked) {
  TemplateDialog* dialog = Find(window);
  if (QAction* action = dialog ? dialog->MenuCommand(commandId) : nullptr) {
    action->setCheckable(true);
    action->setChecked(checked);
  }
}

void QtWindowLayer::SetMenuChoices(WindowHandle window, int menuId,
                                   const std::vector<MenuChoice>& choices) {
  if (TemplateDialog* dialog = Find(window)) dialog->SetMenuChoices(menuId, choices);
}

void QtWindowLayer::SetIcon(WindowHandle window, IconSize size, int iconId) {
  if (TemplateDialog* dialog = Find(window)) dialog->SetIcon(size, iconId);
}

int QtWindowLayer::MessageBox(WindowHandle owner, const std::string& text,
                              const std::string& caption, unsigned style) {
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  switch (style & 0xF0) {
    case MB_ICONERROR:
      icon = QMessageBox::Critical;
      break;
    case MB_ICONWARNING:
      icon = QMessageBox::Warning;
      break;
    case MB_ICONINFORMATION:
      icon = QMessageBox::Information;
      break;
    default:
      break;
  }
  QMessageBox box(icon, QString::fromStdString(caption), QString::fromStdString(text),
                  QMessageBox::Ok, Find(owner));
  box.exec();
  return IDOK;
}

FileDialogResult QtWindowLayer::RunFileDialog(WindowHandle owner,
                                              const FileDialogRequest& request) {
  QFileDialog dialog(Find(owner), QString::fromStdString(request.title),
                     QString::fromStdString(request.initialDirectory));
  // Qt's own dialog on every desktop: the same filters and questions everywhere.
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setOption(QFileDialog::HideNameFilterDetails);
  QStringList filters;
  for (const FileFilter& filter : request.filters) filters << NameFilter(filter);
  dialog.setNameFilters(filters);
  if (request.initialFilterIndex >= 1 && request.initialFilterIndex <= filters.size()) {
    dialog.selectNameFilter(filters[request.initialFilterIndex - 1]);
  }
  if (request.mode == FileDialogMode::kSave) {
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
  } else {
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(request.several ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
  }
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  // With the details hidden Qt names the chosen filter by its description.
  const QString chosen = dialog.selectedNameFilter();
  int filterIndex = 0;
  for (std::size_t i = 0; i < request.filters.size() && !filterIndex; ++i) {
    if (chosen == filters[qsizetype(i)] ||
        chosen == QString::fromUtf8(request.filters[i].description)) {
      filterIndex = int(i) + 1;
    }
  }
  const QStringList files = dialog.selectedFiles();
  FileDialogResult result =
      MakeFileDialogResult(QFile::encodeName(files.first()).toStdString(), filterIndex);
  for (qsizetype i = 1; i < files.size(); ++i) {
    result.more.push_back(QFile::encodeName(files[i]).toStdString());
  }
  return result;
}

void QtWindowLayer::PostMessage(WindowHandle window, unsigned message, WParam wParam,
                                LParam lParam) {
  TemplateDialog* dialog = Find(window);
  if (!dialog) return;
  // Dropped if the window goes first.
  QMetaObject::invokeMethod(
      dialog, [dialog, message, wParam, lParam] { dialog->Dispatch(message, wParam, lParam); },
      Qt::QueuedConnection);
}

void QtWindowLayer::StartWork(WindowHandle window, std::function<void()> work,
                              unsigned doneMessage) {
  TemplateDialog* dialog = Find(window);
  QThread* thread = QThread::create(std::move(work));
  QObject::connect(thread, &QThread::finished, thread, &QObject::deleteLater);
  // The end is told on the window's thread, and not at all if it has gone.
  if (dialog) {
    QObject::connect(thread, &QThread::finished, dialog,
                     [dialog, doneMessage] { dialog->Dispatch(doneMessage, 0, 0); });
  }
  thread->start();
}

void QtWindowLayer::SetTimer(WindowHandle window, int id, int milliseconds) {
  if (TemplateDialog* dialog = Find(window)) dialog->StartTimer(id, milliseconds);
}

void QtWindowLayer::KillTimer(WindowHandle window, int id) {
  if (TemplateDialog* dialog = Find(window)) dialog->StopTimer(id);
}

void QtWindowLayer::AcceptDroppedFiles(WindowHandle window) {
  if (TemplateDialog* dialog = Find(window)) dialog->setAcceptDrops(true);
}

std::string QtWindowLayer::ExecutablePath() {
  return ProcessExecutablePath();
}
