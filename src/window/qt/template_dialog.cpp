#include "window/qt/template_dialog.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFontMetricsF>
#include <QFrame>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QResizeEvent>
#include <QMimeData>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QScrollBar>
#include <QTimer>
#include <algorithm>

namespace {

// The client area: the procedure paints it on WM_PAINT. Controls are its
// children and paint over it.
class ClientWidget : public QWidget {
 public:
  ClientWidget(TemplateDialog* dialog) : QWidget(dialog), dialog_(dialog) {}

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    dialog_->Paint(painter);
  }

 private:
  TemplateDialog* dialog_;
};

QRect PixelRect(int x, int y, int width, int height) {
  return QRect(DialogUnitsToPixelsX(x), DialogUnitsToPixelsY(y), DialogUnitsToPixelsX(width),
               DialogUnitsToPixelsY(height));
}

// The templates are laid out for an 8-point font whose letters are a little
// under 6 pixels wide on average; a wider desktop font is narrowed to that,
// so that texts fit their controls as they were drawn.
QFont DialogFont(QFont font) {
  font.setPixelSize(11);
  const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
  const qreal average = QFontMetricsF(font).horizontalAdvance(letters) / letters.size();
  constexpr qreal kLetterWidth = 5.7;
  if (average > kLetterWidth) font.setStretch(std::max(50, int(100 * kLetterWidth / average)));
  return font;
}

void ShowOnBar(QScrollBar* bar, const ScrollInfo& info) {
  // Qt's maximum is the highest position, the desktop's the end of the range.
  const QSignalBlocker blocker(bar);
  bar->setRange(info.min, MaxScrollPosition(info));
  bar->setPageStep(std::max(info.page, 1));
  bar->setValue(info.pos);
}

}  // namespace

TemplateDialog::TemplateDialog(WindowHandle handle, const DialogTemplate& dialogTemplate,
                               const WindowResources& resources, DialogProc proc, QWidget* owner)
    : QDialog(owner), resources_(resources), handle_(handle), proc_(proc) {
  Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
  if (dialogTemplate.style & WS_MINIMIZEBOX) flags |= Qt::WindowMinimizeButtonHint;
  setWindowFlags(flags);
  setWindowTitle(QString::fromUtf8(dialogTemplate.caption));
  setFont(DialogFont(font()));

  int menuHeight = 0;
  if (const MenuTemplate* menu = resources_.FindMenu(dialogTemplate.menuId)) {
    BuildMenu(*menu);
    menuHeight = findChild<QMenuBar*>()->sizeHint().height();
  }
  menuHeight_ = menuHeight;
  const QSize clientSize(DialogUnitsToPixelsX(dialogTemplate.width),
                         DialogUnitsToPixelsY(dialogTemplate.height));
  client_ = new ClientWidget(this);
  client_->setGeometry(QRect(QPoint(0, menuHeight), clientSize));
  if (auto* bar = findChild<QMenuBar*>()) bar->setGeometry(0, 0, clientSize.width(), menuHeight);
  setFixedSize(clientSize.width(), clientSize.height() + menuHeight);
  templateSize_ = clientSize;

  for (const ControlTemplate& control : dialogTemplate.controls) {
    QWidget* widget = BuildControl(control);
    if (control.controlClass == ControlClass::kStatic &&
        (control.style & SS_TYPEMASK) == SS_BITMAP) {
      widget->move(PixelRect(control.x, control.y, 0, 0).topLeft());
    } else {
      QRect area = PixelRect(control.x, control.y, control.width, control.height);
      // Check marks here are wider than the templates allow for: the text
      // may run on towards the client area's edge.
      if (qobject_cast<QCheckBox*>(widget) || qobject_cast<QRadioButton*>(widget)) {
        area.setWidth(std::clamp(widget->sizeHint().width(), area.width(),
                                 std::max(area.width(), clientSize.width() - area.x())));
      }
      widget->setGeometry(area);
      if (control.resize) resizing_.push_back({widget, area, control.resize});
    }
    if (control.style & WS_TABSTOP) tabStops_.push_back(widget);
    if (control.id >= 0) {
      widget->setObjectName(QString::number(control.id));
      controls_[control.id] = widget;
    }
  }

  if ((dialogTemplate.style & DS_CENTER) && !owner) {
    centred_ = true;
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
      move(screen->availableGeometry().center() - rect().center());
    }
  }
}

void TemplateDialog::AllowResize() {
  resizable_ = true;
  setMinimumSize(size());
  setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
  setSizeGripEnabled(true);
}

void TemplateDialog::SetClientSize(QSize size) {
  QSize wanted = size.expandedTo(templateSize_);
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    // The frame's own size is known only once shown; the title bar's room is
    // left free in any case.
    const QSize frame = isVisible() ? frameGeometry().size() - this->size() : QSize(0, 32);
    const QSize room = screen->availableGeometry().size() - frame - QSize(0, menuHeight_);
    wanted = wanted.boundedTo(room).expandedTo(templateSize_);
    resize(wanted.width(), wanted.height() + menuHeight_);
    if (centred_ && !isVisible()) move(screen->availableGeometry().center() - rect().center());
  } else {
    resize(wanted.width(), wanted.height() + menuHeight_);
  }
}

void TemplateDialog::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  if (!resizable_) return;
  const QSize client(width(), height() - menuHeight_);
  client_->setGeometry(QRect(QPoint(0, menuHeight_), client));
  if (auto* bar = findChild<QMenuBar*>()) bar->setGeometry(0, 0, client.width(), menuHeight_);
  const int dx = client.width() - templateSize_.width();
  const int dy = client.height() - templateSize_.height();
  for (const Resizing& each : resizing_) {
    QRect area = each.area;
    if (each.resize & kMoveRight) area.translate(dx, 0);
    if (each.resize & kMoveDown) area.translate(0, dy);
    if (each.resize & kGrowWide) area.setWidth(area.width() + dx);
    if (each.resize & kGrowTall) area.setHeight(area.height() + dy);
    each.widget->setGeometry(area);
  }
  Dispatch(WM_SIZE, 0, LParam(client.width()) | (LParam(client.height()) << 16));
}

QPixmap TemplateDialog::Picture(int id) const {
  const std::string_view bytes = resources_.Picture(id);
  QPixmap pixmap;
  pixmap.loadFromData(reinterpret_cast<const uchar*>(bytes.data()), uint(bytes.size()));
  return pixmap;
}

void TemplateDialog::BuildMenu(const MenuTemplate& menu) {
  auto* bar = new QMenuBar(this);
  for (const PopupMenuTemplate& popup : menu.popups) {
    QMenu* submenu = bar->addMenu(QString::fromUtf8(popup.text));
    for (const MenuItemTemplate& item : popup.items) {
      if (!item.text) {
        submenu->addSeparator();
        continue;
      }
      if (item.submenu) {
        QMenu* choices = submenu->addMenu(QString::fromUtf8(item.text));
        choices->setObjectName(QString::number(item.commandId));
        choices->menuAction()->setEnabled(false);
        submenus_[item.commandId] = choices;
        continue;
      }
      QAction* action = AddCommand(submenu, QString::fromUtf8(item.text), item.commandId);
      if (item.shortcut) action->setShortcut(QKeySequence(QString::fromUtf8(item.shortcut)));
    }
  }
}

QAction* TemplateDialog::AddCommand(QMenu* menu, const QString& text, int id) {
  QAction* action = menu->addAction(text);
  action->setObjectName(QString::number(id));
  connect(action, &QAction::triggered, this,
          [this, id] { Dispatch(WM_COMMAND, MakeWParam(id, 0), 0); });
  commands_[id] = action;
  return action;
}

void TemplateDialog::SetMenuChoices(int menuId, const std::vector<MenuChoice>& choices) {
  const auto found = submenus_.find(menuId);
  if (found == submenus_.end()) return;
  QMenu* menu = found->second;
  for (QAction* old : menu->actions()) commands_.erase(old->objectName().toInt());
  menu->clear();
  for (const MenuChoice& choice : choices) {
    AddCommand(menu, QString::fromStdString(choice.text), choice.commandId)
        ->setEnabled(choice.enabled);
  }
  menu->menuAction()->setEnabled(!choices.empty());
}

QWidget* TemplateDialog::BuildControl(const ControlTemplate& control) {
  const QString text = QString::fromUtf8(control.text);
  switch (control.controlClass) {
    case ControlClass::kButton:
      return BuildButton(control);
    case ControlClass::kScrollBar:
      return BuildScrollBar(control);
    case ControlClass::kEdit: {
      auto* edit = new QLineEdit(text, client_);
      edit->setFrame(control.style & WS_BORDER);
      if (control.style & ES_NUMBER) {
        edit->setValidator(
            new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
      }
      return edit;
    }
    case ControlClass::kStatic:
      break;
  }
  switch (control.style & SS_TYPEMASK) {
    case SS_BLACKFRAME: {
      // Only the frame: what the procedure paints inside shows through.
      auto* frame = new QFrame(client_);
      frame->setFrameStyle(QFrame::Box | QFrame::Plain);
      frame->setLineWidth(1);
      QPalette palette = frame->palette();
      palette.setColor(QPalette::WindowText, Qt::black);
      frame->setPalette(palette);
      frame->setAttribute(Qt::WA_TransparentForMouseEvents);
      return frame;
    }
    case SS_BITMAP: {
      auto* picture = new QLabel(client_);
      picture->setPixmap(Picture(control.imageId));
      picture->adjustSize();
      return picture;
    }
    default: {
      auto* label = new QLabel(text, client_);
      label->setWordWrap(true);
      label->setAlignment(
          ((control.style & SS_TYPEMASK) == SS_CENTER ? Qt::AlignHCenter : Qt::AlignLeft) |
          Qt::AlignTop);
      return label;
    }
  }
}

QWidget* TemplateDialog::BuildButton(const ControlTemplate& control) {
  const QString text = QString::fromUtf8(control.text);
  const unsigned type = control.style & BS_TYPEMASK;
  if (type == BS_GROUPBOX) return new QGroupBox(text, client_);

  QAbstractButton* button = nullptr;
  if (type == BS_CHECKBOX || type == BS_AUTOCHECKBOX) {
    button = new QCheckBox(text, client_);
  } else if (type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON) {
    auto* radio = new QRadioButton(text, client_);
    radio->setAutoExclusive(false);
    button = radio;
  } else {
    auto* push = new QPushButton(text, client_);
    push->setDefault(type == BS_DEFPUSHBUTTON);
    button = push;
  }
  button->setFocusPolicy((control.style & WS_TABSTOP) ? Qt::StrongFocus : Qt::ClickFocus);
  // Plain check boxes and radio buttons change only when the procedure says.
  const bool selfChecking = type == BS_AUTOCHECKBOX || type == BS_AUTORADIOBUTTON;
  const int id = control.id;
  connect(button, &QAbstractButton::clicked, this, [this, button, id, selfChecking](bool checked) {
    if (button->isCheckable() && !selfChecking) button->setChecked(!checked);
    Dispatch(WM_COMMAND, MakeWParam(id, 0), 0);
  });
  return button;
}

QWidget* TemplateDialog::BuildScrollBar(const ControlTemplate& control) {
  const bool vertical = control.style & SBS_VERT;
  auto* bar = new QScrollBar(vertical ? Qt::Vertical : Qt::Horizontal, client_);
  bar->setFocusPolicy(Qt::NoFocus);
  const int id = control.id;
  const unsigned message = vertical ? WM_VSCROLL : WM_HSCROLL;
  scrollInfos_[id] = ScrollInfo();
  scrollBars_[id] = bar;
  ShowOnBar(bar, scrollInfos_[id]);
  connect(bar, &QAbstractSlider::actionTriggered, this,
          [this, bar, id, message](int action) { ForwardScroll(bar, id, message, action); });
  connect(bar, &QAbstractSlider::sliderReleased, this, [this, id, message] {
    ScrollInfo& info = scrollInfos_[id];
    info.trackPos = info.pos;
    Dispatch(message, MakeWParam(SB_THUMBPOSITION, 0), id);
    Dispatch(message, MakeWParam(SB_ENDSCROLL, 0), id);
  });
  return bar;
}

void TemplateDialog::ForwardScroll(QScrollBar* bar, int id, unsigned message, int action) {
  int request = 0;
  switch (action) {
    case QAbstractSlider::SliderSingleStepSub:
      request = SB_LINEUP;
      break;
    case QAbstractSlider::SliderSingleStepAdd:
      request = SB_LINEDOWN;
      break;
    case QAbstractSlider::SliderPageStepSub:
      request = SB_PAGEUP;
      break;
    case QAbstractSlider::SliderPageStepAdd:
      request = SB_PAGEDOWN;
      break;
    case QAbstractSlider::SliderToMinimum:
      request = SB_TOP;
      break;
    case QAbstractSlider::SliderToMaximum:
      request = SB_BOTTOM;
      break;
    case QAbstractSlider::SliderMove:
      request = SB_THUMBTRACK;
      break;
    default:
      return;
  }
  ScrollInfo& info = scrollInfos_[id];
  info.trackPos = request == SB_THUMBTRACK ? bar->sliderPosition() : info.pos;
  Dispatch(message, MakeWParam(request, 0), id);
  // The bar shows what the procedure decided, not what Qt would have done.
  bar->setSliderPosition(scrollInfos_[id].pos);
}

bool TemplateDialog::Dispatch(unsigned message, WParam wParam, LParam lParam) {
  return proc_(handle_, message, wParam, lParam);
}

void TemplateDialog::End(int result) {
  ended_ = true;
  result_ = result;
  done(result);
}

QWidget* TemplateDialog::Control(int id) const {
  if (id == 0) return client_;
  const auto found = controls_.find(id);
  return found == controls_.end() ? nullptr : found->second;
}

QAction* TemplateDialog::MenuCommand(int id) const {
  const auto found = commands_.find(id);
  return found == commands_.end() ? nullptr : found->second;
}

void TemplateDialog::SetScrollInfo(int id, const ScrollInfo& info, unsigned mask) {
  const auto bar = scrollBars_.find(id);
  if (bar == scrollBars_.end()) return;
  ScrollInfo& stored = scrollInfos_[id];
  ApplyScrollInfo(stored, info, mask);
  ShowOnBar(bar->second, stored);
}

ScrollInfo TemplateDialog::GetScrollInfo(int id) const {
  const auto found = scrollInfos_.find(id);
  return found == scrollInfos_.end() ? ScrollInfo() : found->second;
}

QPainter* TemplateDialog::BeginDrawing(int id) {
  QWidget* target = Control(id);
  if (!painter_ || !target) return nullptr;
  painter_->save();
  if (target != client_) {
    painter_->translate(target->pos());
    painter_->setClipRect(QRect(QPoint(0, 0), target->size()));
  }
  return painter_;
}

void TemplateDialog::EndDrawing() {
  if (painter_) painter_->restore();
}

void TemplateDialog::Paint(QPainter& painter) {
  painter_ = &painter;
  Dispatch(WM_PAINT, 0, 0);
  painter_ = nullptr;
}

void TemplateDialog::SetIcon(IconSize, int iconId) {
  const QPixmap pixmap = Picture(iconId);
  if (pixmap.isNull()) return;
  icon_.addPixmap(pixmap);
  setWindowIcon(icon_);
}

void TemplateDialog::StartTimer(int id, int milliseconds) {
  QTimer*& timer = timers_[id];
  if (!timer) {
    timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, [this, id] { Dispatch(WM_TIMER, WParam(id), 0); });
  }
  timer->start(milliseconds);
}

void TemplateDialog::StopTimer(int id) {
  const auto found = timers_.find(id);
  if (found != timers_.end()) found->second->stop();
}

namespace {

// The local files among what is being dragged, as the file system names them.
std::vector<std::string> LocalFiles(const QMimeData* data) {
  std::vector<std::string> paths;
  for (const QUrl& url : data->urls()) {
    if (url.isLocalFile()) paths.push_back(QFile::encodeName(url.toLocalFile()).toStdString());
  }
  return paths;
}

}  // namespace

void TemplateDialog::dragEnterEvent(QDragEnterEvent* event) {
  if (!LocalFiles(event->mimeData()).empty()) event->acceptProposedAction();
}

void TemplateDialog::dropEvent(QDropEvent* event) {
  const std::vector<std::string> paths = LocalFiles(event->mimeData());
  if (paths.empty()) return;
  event->acceptProposedAction();
  Dispatch(WM_DROPFILES, 0, LParam(&paths));
}

void TemplateDialog::FocusFirstTabStop() {
  for (QWidget* widget : tabStops_) {
    if (widget->isEnabled()) {
      widget->setFocus();
      return;
    }
  }
}

void TemplateDialog::closeEvent(QCloseEvent* event) {
  // The close box asks the procedure; only its EndDialog closes the window.
  event->ignore();
  if (!ended_) Dispatch(WM_CLOSE, 0, 0);
}

void TemplateDialog::reject() {
  Dispatch(WM_COMMAND, MakeWParam(IDCANCEL, 0), 0);
}

void TemplateDialog::accept() {
  Dispatch(WM_COMMAND, MakeWParam(IDOK, 0), 0);
}
