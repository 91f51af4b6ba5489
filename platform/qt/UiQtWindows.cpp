// The windows of the Qt backend: forms as top-level widgets (a client area below an optional menu bar,
// scroll bars for forms that scroll), panels, labels, buttons, check boxes, images, edit fields and combo
// boxes as Qt's widgets, and the hooks that make the native objects and mirror every change of the
// classes in them.
//
// A form's bounds are its outer bounds, frame included, as the window manager frames it. Until the
// window manager has framed a form (before it shows; on X11 a moment after), the form is given the frame
// the last framed form of its border style had (none before the first): a sizeable form framed for the
// first time keeps the outer bounds the program gave it (a placement restored from the settings stays
// the same size run after run), a dialog keeps its client size (its controls were laid out for it).

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionButton>
#include <QWheelEvent>
#include <algorithm>
#include <functional>
#include <memory>
#include <utility>

#include "platform/qt/UiQt.h"

namespace ui {
namespace qt {

namespace {

// How far a line of the mouse wheel scrolls a form (at 96 pixels per inch), as in the Win32 backend.
constexpr int kScrollLine = 16;
// A list of up to this many items drops down whole; a longer one scrolls.
constexpr int kDroppedItems = 16;

// Sets a flag for as long as it lives, then gives it back the value it had (so that scopes may nest).
class FlagHeld {
 public:
  explicit FlagHeld(bool& flag) : flag_(flag), before_(std::exchange(flag, true)) {}
  ~FlagHeld() { flag_ = before_; }
  FlagHeld(const FlagHeld&) = delete;
  FlagHeld& operator=(const FlagHeld&) = delete;

 private:
  bool& flag_;
  bool before_;
};

QWidget* WidgetOf(const Control* control) {
  const NativeData* native = control != nullptr ? control->Native() : nullptr;
  return native != nullptr ? static_cast<QWidget*>(native->WindowHandle()) : nullptr;
}

// The widget a new control is made in: its parent's container.
QWidget* ParentContainer(const Control& control) {
  QWidget* container = control.Parent() != nullptr ? ContainerWidget(*control.Parent()) : nullptr;
  if (container == nullptr)
    throw std::runtime_error("A control cannot be created without its parent's window");
  return container;
}

// The native object of the widget, when it is one of this type.
template <typename N>
N* NativeOf(const QObject* widget) {
  return dynamic_cast<N*>(FindWidgetNative(widget));
}

int ScrollBarExtent() { return QApplication::style()->pixelMetric(QStyle::PM_ScrollBarExtent); }

// The frames the window manager gave the last framed forms of each border style.
struct KnownFrames {
  QMargins frames[2];
  bool known[2] = {false, false};
};
KnownFrames& Frames() {
  static KnownFrames frames;
  return frames;
}

void FrameKnown(BorderStyle style, const QMargins& frame) {
  const int index = style == BorderStyle::Dialog ? 1 : 0;
  Frames().frames[index] = frame;
  Frames().known[index] = true;
}

// The frame a form of the border style is likely to get: the last one of that style, else the other
// style's (a caption bar and borders all the same), else none.
QMargins LikelyFrame(BorderStyle style) {
  const int index = style == BorderStyle::Dialog ? 1 : 0;
  const KnownFrames& frames = Frames();
  if (frames.known[index]) return frames.frames[index];
  if (frames.known[1 - index]) return frames.frames[1 - index];
  return {};
}

int FrameWidth(const QMargins& frame) { return frame.left() + frame.right(); }
int FrameHeight(const QMargins& frame) { return frame.top() + frame.bottom(); }

// A colour of an enabled widget (a disabled one keeps the style's grey).
void SetEnabledColor(QPalette& palette, QPalette::ColorRole role, const QColor& color) {
  palette.setColor(QPalette::Active, role, color);
  palette.setColor(QPalette::Inactive, role, color);
}

// The text colour of a control: its font's.
void SetTextColor(QWidget& widget, const Control& control, std::initializer_list<QPalette::ColorRole> roles) {
  QPalette palette = widget.palette();
  for (const QPalette::ColorRole role : roles)
    SetEnabledColor(palette, role, ToQColor(control.GetFont().color));
  widget.setPalette(palette);
}

// The default button of the form that Enter presses: visible and enabled, with its parents.
Button* DefaultButton(const Control& parent) {
  for (Control* child : parent.Children()) {
    if (!child->Visible() || !child->Enabled()) continue;
    if (auto* button = dynamic_cast<Button*>(child); button != nullptr && button->IsDefault()) return button;
    if (Button* inner = DefaultButton(*child)) return inner;
  }
  return nullptr;
}

// ---- Forms ------------------------------------------------------------------------------------------

class FormNative : public WidgetNative {
 public:
  FormNative(Form& form, QWidget* window)
      : WidgetNative(form, window), form_(form), client_(new QWidget(window)) {
    RegisterWidget(client_);
    frame_ = LikelyFrame(form.GetBorderStyle());
    window->setWindowTitle(ToQString(form.Caption()));
    ApplyColor();
    client_->show();
    ApplyBounds(false);
    reported_ = client_->size();
  }

  ~FormNative() override {
    // The menu bar belongs to its main menu, which deletes it; the window must not take it along.
    if (menuBar_ && widget_ && menuBar_->parentWidget() == widget_) {
      menuBar_->hide();
      menuBar_->setParent(nullptr);
    }
    // (The form is half gone by now: only its address is looked at.)
    WakeModalLoops(form_);
  }

  QWidget* Container() const override { return client_.data(); }

  void Update(native::Change what) override {
    if (!widget_) return;
    using native::Change;
    switch (what) {
      case Change::Bounds:
        ApplyBounds(true);
        break;
      case Change::Visible:
        widget_->setVisible(form_.Visible());
        break;
      case Change::Caption:
        widget_->setWindowTitle(ToQString(form_.Caption()));
        break;
      case Change::Color:
        ApplyColor();
        break;
      case Change::State:
        ApplyState();
        break;
      case Change::Enabled:
        widget_->setEnabled(form_.Enabled());
        break;
      case Change::DoubleBuffer:  // Qt paints every widget off screen first anyway
        widget_->update();
        break;
      case Change::Font:  // the form shows no text of its own; its controls get their own change
      case Change::Hint:
      default:
        break;
    }
  }

  bool HandleEvent(QWidget& target, QEvent& event) override {
    if (!widget_) return false;
    const bool window = &target == widget_.data();
    switch (event.type()) {
      case QEvent::Move:
      case QEvent::Resize:
        if (window) Sync();
        return false;
      case QEvent::WindowStateChange:
        if (window && !applyingState_ && widget_->isVisible()) {
          const WindowState state = StateOf(*widget_);
          Guard(app_, [&] { form_.NativeWindowStateChanged(state); });
          Sync();
        }
        return false;
      case QEvent::WindowActivate:
        // The window manager's activation of a window that went meanwhile (shown and hidden again
        // quickly, such as a progress box) arrives late: handed on as the hiding hands it on.
        if (window && !widget_->isVisible()) ActivateNextForm();
        return false;
      case QEvent::Close:
        if (!window) return false;
        // The form decides: its Close hides it (or not).
        event.ignore();
        Guard(app_, [this] { form_.NativeCloseRequested(); });
        return true;
      case QEvent::LayoutRequest:
        // The menu bar asks for another height (items came, or they wrap onto more rows).
        if (window) {
          Layout();
          ReportClient();
        }
        return false;
      case QEvent::KeyPress: {
        // A key no control took: Enter presses the default button, as in a dialog.
        const int key = static_cast<QKeyEvent&>(event).key();
        if (key != Qt::Key_Return && key != Qt::Key_Enter) return false;
        Button* button = DefaultButton(form_);
        if (button == nullptr) return false;
        Guard(app_, [button] { button->Click(); });
        event.accept();
        return true;
      }
      case QEvent::Wheel:
        if (!form_.AutoScroll() || (form_.HorzScrollRange() == 0 && form_.VertScrollRange() == 0)) break;
        Wheel(static_cast<QWheelEvent&>(event).angleDelta());
        event.accept();
        return true;
      default:
        break;
    }
    return WidgetNative::HandleEvent(target, event);
  }

  void Show() {
    if (!widget_) return;
    if (widget_->isVisible()) {
      // Already showing: to the front, without taking the activation.
      widget_->raise();
      return;
    }
    Place();
    ShowInState();
    if (!widget_->isMinimized()) {
      widget_->raise();
      widget_->activateWindow();
    }
    Sync();
  }

  void Hide() {
    if (widget_) {
      const bool active = widget_->isActiveWindow();
      widget_->hide();
      if (active) ActivateNextForm();
    }
    WakeModalLoops(form_);
  }

  // As on Windows, the active window that goes hands the activation on to another window of the
  // program: the main form when it shows, else another showing form. Qt would otherwise go on
  // sending the keyboard to the hidden window until the window manager moves the focus, which it
  // does not when the focus lies with the next window already.
  void ActivateNextForm() {
    if (QWidget* next = NextFormWindow(*widget_)) next->activateWindow();
  }

  void SetMenuBar(QMenuBar* bar) {
    if (menuBar_ != bar) {
      if (menuBar_ && menuBar_->parentWidget() == widget_) {
        menuBar_->hide();
        menuBar_->setParent(nullptr);
      }
      menuBar_ = bar;
      if (bar != nullptr && widget_) {
        bar->setParent(widget_);
        bar->show();
      }
    }
    // The window keeps its size; the client area makes room for the bar.
    Layout();
    ApplyMinimumSize();
    ReportClient();
  }

  void NonClient(int& extraWidth, int& extraHeight) const {
    extraWidth = FrameWidth(frame_);
    extraHeight = FrameHeight(frame_) + MenuHeight();
    if (form_.VertScrollRange() > 0) extraWidth += ScrollBarExtent();
    if (form_.HorzScrollRange() > 0) extraHeight += ScrollBarExtent();
  }

  // Shows the scroll bars the form asks for, at its positions, and moves the children with them.
  void ApplyScroll() {
    if (!widget_) return;
    const auto bar = [this](QPointer<QScrollBar>& scrollBar, Qt::Orientation orientation, int range,
                            int pageSize, int position) {
      if (range <= 0 && !scrollBar) return;
      if (!scrollBar) {
        scrollBar = new QScrollBar(orientation, widget_);
        scrollBar->setFocusPolicy(Qt::NoFocus);
        QScrollBar* made = scrollBar;
        QObject::connect(made, &QScrollBar::valueChanged, made, [made](int value) {
          auto* native = NativeOf<FormNative>(made->parentWidget());
          if (native != nullptr && !native->scrolling_) native->ScrolledTo(made->orientation(), value);
        });
      }
      const FlagHeld scrolling(scrolling_);
      const int page = std::max(pageSize, 1);
      scrollBar->setRange(0, std::max(range - page, 0));
      scrollBar->setPageStep(page);
      scrollBar->setSingleStep(kScrollLine);
      scrollBar->setValue(position);
      scrollBar->setVisible(range > 0);
    };
    // The client area without the bars that show now.
    const bool horz = form_.HorzScrollRange() > 0, vert = form_.VertScrollRange() > 0;
    const QSize inner = widget_->size();
    const int width = inner.width() - (vert ? ScrollBarExtent() : 0);
    const int height = inner.height() - MenuHeight() - (horz ? ScrollBarExtent() : 0);
    bar(horz_, Qt::Horizontal, form_.HorzScrollRange(), width, form_.HorzScrollPos());
    bar(vert_, Qt::Vertical, form_.VertScrollRange(), height, form_.VertScrollPos());
    Layout();
    for (Control* child : form_.Children()) {
      if (auto* native = dynamic_cast<WidgetNative*>(child->Native())) native->Update(native::Change::Bounds);
    }
    ReportClient();
  }

  // The control whose widget has the focus (the form active), or gets it at the next activation.
  Control* FocusedControl() const {
    if (!widget_) return nullptr;
    const QWidget* focus = widget_->isActiveWindow() ? QApplication::focusWidget() : widget_->focusWidget();
    // The focus may be in a part of a control (the field of a combo box): the control is its ancestor.
    for (const QWidget* walk = focus; walk != nullptr && walk != widget_; walk = walk->parentWidget()) {
      WidgetNative* native = FindWidgetNative(walk);
      if (native == this) return nullptr;
      if (native != nullptr) return &native->GetControl();
    }
    return nullptr;
  }

 private:
  static WindowState StateOf(const QWidget& window) {
    if (window.isMinimized()) return WindowState::Minimized;
    if (window.isMaximized() || window.isFullScreen()) return WindowState::Maximized;
    return WindowState::Normal;
  }

  int MenuHeight() const {
    if (!menuBar_ || !widget_ || menuBar_->parentWidget() != widget_ || menuBar_->isHidden()) return 0;
    const int forWidth = menuBar_->heightForWidth(widget_->width());
    return forWidth > 0 ? forWidth : menuBar_->sizeHint().height();
  }

  // The frame Qt knows around the showing window, empty where it knows none.
  QMargins MeasuredFrame() const {
    if (!widget_->isVisible()) return {};
    const QRect frame = widget_->frameGeometry(), inner = widget_->geometry();
    return QMargins(inner.left() - frame.left(), inner.top() - frame.top(), frame.right() - inner.right(),
                    frame.bottom() - inner.bottom());
  }

  // The window's size from the form's bounds (while it is neither minimised nor maximised: the window
  // manager sizes it then); the client area follows, and the form learns its new size.
  void ApplyBounds(bool report) {
    if (widget_->isVisible() && StateOf(*widget_) != WindowState::Normal) return;
    const Rect b = form_.Bounds();
    const QSize inner(std::max(b.width - FrameWidth(frame_), 0), std::max(b.height - FrameHeight(frame_), 0));
    {
      const FlagHeld placing(placing_);
      if (form_.GetBorderStyle() == BorderStyle::Dialog) {
        widget_->setFixedSize(inner);
      } else {
        widget_->resize(inner);
      }
      // (Before the window first shows, Qt places its frame there; then it keeps the frame there.)
      widget_->move(b.left, b.top);
      Layout();
    }
    ApplyMinimumSize();
    if (report) ReportClient();
  }

  void ApplyMinimumSize() {
    if (!widget_ || form_.GetBorderStyle() == BorderStyle::Dialog) return;
    const FlagHeld placing(placing_);
    widget_->setMinimumSize(std::max(form_.MinWidth() - FrameWidth(frame_), 0),
                            std::max(form_.MinHeight() - FrameHeight(frame_) - MenuHeight(), 0));
  }

  void ApplyColor() {
    for (QWidget* widget : {widget_.data(), client_.data()}) {
      if (widget == nullptr) continue;
      QPalette palette = widget->palette();
      palette.setColor(QPalette::Window, ToQColor(form_.Color()));
      widget->setPalette(palette);
      widget->setAutoFillBackground(true);
    }
  }

  void ApplyState() {
    if (widget_->isVisible()) ShowInState();  // a hidden form takes its state when it shows
  }

  // Shows the window in the form's state (normal, minimised or maximised).
  void ShowInState() {
    const FlagHeld applying(applyingState_);
    switch (form_.GetWindowState()) {
      case WindowState::Normal:
        widget_->showNormal();
        break;
      case WindowState::Minimized:
        widget_->showMinimized();
        break;
      case WindowState::Maximized:
        widget_->showMaximized();
        break;
    }
  }

  // Places the menu bar, the scroll bars and the client area in the window.
  void Layout() {
    if (!widget_ || !client_) return;
    const QSize inner = widget_->size();
    const int top = MenuHeight();
    if (top > 0) menuBar_->setGeometry(0, 0, inner.width(), top);
    const bool horz = form_.HorzScrollRange() > 0, vert = form_.VertScrollRange() > 0;
    const int bar = ScrollBarExtent();
    const int width = std::max(inner.width() - (vert ? bar : 0), 0);
    const int height = std::max(inner.height() - top - (horz ? bar : 0), 0);
    if (vert_) {
      vert_->setVisible(vert);
      if (vert) vert_->setGeometry(width, top, bar, height);
    }
    if (horz_) {
      horz_->setVisible(horz);
      if (horz) horz_->setGeometry(0, top + height, width, bar);
    }
    client_->setGeometry(0, top, width, height);
  }

  // The form learns a new size of its client area.
  void ReportClient() {
    if (!client_ || client_->size() == reported_) return;
    reported_ = client_->size();
    Guard(app_, [this] { form_.NativeClientResized(); });
  }

  // The window moved, changed size or got its frame (the user, the window manager): the form learns
  // its bounds and client size.
  void Sync() {
    if (!widget_ || placing_) return;
    const QMargins measured = MeasuredFrame();
    bool keepOuter = false;
    if (!measured.isNull() && (!framed_ || measured != frame_)) {
      // The first frame of a sizeable form: the outer bounds the program gave stay.
      keepOuter = !framed_ && measured != frame_ && form_.GetBorderStyle() == BorderStyle::Sizeable &&
                  StateOf(*widget_) == WindowState::Normal;
      framed_ = true;
      FrameKnown(form_.GetBorderStyle(), measured);
    }
    if (framed_ && widget_->isVisible()) frame_ = measured;
    if (keepOuter) {
      const Rect b = form_.Bounds();
      const FlagHeld placing(placing_);
      widget_->resize(std::max(b.width - FrameWidth(frame_), 0), std::max(b.height - FrameHeight(frame_), 0));
    }
    if (!widget_->isMinimized()) {
      const QPoint at = widget_->frameGeometry().topLeft();
      const QSize inner = widget_->size();
      form_.NativeBoundsChanged(
          {at.x(), at.y(), inner.width() + FrameWidth(frame_), inner.height() + FrameHeight(frame_)});
    }
    Layout();
    ApplyMinimumSize();
    ReportClient();
  }

  // Centres the form on the screen or over the main form, on the screen's work area.
  void Place() {
    const FormPosition position = form_.Position();
    if (position == FormPosition::Designed) return;
    const int width = form_.Width(), height = form_.Height();
    const Form* main = form_.App().MainForm();
    QWidget* mainWindow = main != nullptr && main != &form_ ? WidgetOf(main) : nullptr;
    const bool overMain = position == FormPosition::MainFormCenter && mainWindow != nullptr;
    QScreen* screen = overMain ? mainWindow->screen() : widget_->screen();
    if (screen == nullptr) screen = QGuiApplication::primaryScreen();
    const QRect work = screen != nullptr ? screen->availableGeometry() : QRect(0, 0, width, height);
    int left = 0, top = 0;
    if (overMain) {
      left = main->Left() + (main->Width() - width) / 2;
      top = main->Top() + (main->Height() - height) / 2;
    } else {
      left = work.left() + (work.width() - width) / 2;
      top = work.top() + (work.height() - height) / 2;
    }
    // Kept on the screen, with the caption bar reachable.
    left = std::max(work.left(), std::min(left, work.left() + work.width() - width));
    top = std::max(work.top(), std::min(top, work.top() + work.height() - height));
    {
      const FlagHeld placing(placing_);
      widget_->move(left, top);
    }
    form_.NativeBoundsChanged({left, top, width, height});
  }

  void ScrolledTo(Qt::Orientation orientation, int value) {
    Guard(app_, [&] {
      if (orientation == Qt::Horizontal) {
        form_.ScrollTo(value, form_.VertScrollPos());
      } else {
        form_.ScrollTo(form_.HorzScrollPos(), value);
      }
    });
  }

  void Wheel(QPoint angleDelta) {
    // A fine wheel reports parts of a notch: they add up until they make one.
    const bool vertical = form_.VertScrollRange() > 0;
    wheelRest_ += angleDelta.y() != 0 ? angleDelta.y() : angleDelta.x();
    const int notches = wheelRest_ / 120;
    wheelRest_ -= notches * 120;
    if (notches == 0) return;
    const int step = QApplication::wheelScrollLines() * kScrollLine;
    // Turned away from the user, the wheel shows what lies above (or, with no vertical bar, to the left).
    const int amount = -notches * step;
    Guard(app_, [&] {
      if (vertical) {
        form_.ScrollTo(form_.HorzScrollPos(), form_.VertScrollPos() + amount);
      } else {
        form_.ScrollTo(form_.HorzScrollPos() + amount, form_.VertScrollPos());
      }
    });
  }

  Form& form_;
  QPointer<QWidget> client_;
  QPointer<QMenuBar> menuBar_;
  QPointer<QScrollBar> horz_, vert_;
  QMargins frame_;        // the frame the form's bounds count with
  bool framed_ = false;   // the window manager's frame is known
  bool placing_ = false;  // the backend itself moves or sizes the window
  bool applyingState_ = false;
  bool scrolling_ = false;  // the backend itself sets the scroll bars
  QSize reported_;          // the client size the form knows
  int wheelRest_ = 0;
};

void CreateForm(Form& form) {
  // The main form has the program's task-bar entry; every other form belongs to it (stays in front of
  // it, and has no entry of its own).
  const Form* main = form.App().MainForm();
  QWidget* owner = main != nullptr && main != &form ? WidgetOf(main) : nullptr;
  Qt::WindowFlags flags = form.GetBorderStyle() == BorderStyle::Dialog ? Qt::Dialog : Qt::Window;
  flags |= Qt::CustomizeWindowHint | Qt::WindowTitleHint;
  if (form.CaptionButtons()) flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
  if (form.MinimizeButton()) flags |= Qt::WindowMinimizeButtonHint;
  if (form.MaximizeButton()) flags |= Qt::WindowMaximizeButtonHint;
  auto* window = new QWidget(owner, flags);
  form.SetNative(std::make_unique<FormNative>(form, window));
}

FormNative* FormNativeOf(const Form& form) { return dynamic_cast<FormNative*>(form.Native()); }

// ---- Panels -----------------------------------------------------------------------------------------

class PanelNative;

class PanelWidget : public QWidget {
 public:
  using QWidget::QWidget;

 protected:
  void paintEvent(QPaintEvent* event) override;
};

class PanelNative : public WidgetNative {
 public:
  explicit PanelNative(Panel& panel)
      : WidgetNative(panel, new PanelWidget(ParentContainer(panel))), panel_(panel) {}

  void Update(native::Change what) override {
    WidgetNative::Update(what);
    if (widget_ && (what == native::Change::Caption || what == native::Change::Color)) widget_->update();
  }

  void Paint(QWidget& widget) {
    QPainter painter(&widget);
    const QRect all = widget.rect();
    painter.fillRect(all, ToQColor(panel_.Color()));
    if (panel_.BevelOuter() && all.width() > 0 && all.height() > 0) {
      // A raised bevel one pixel wide: button highlight at the top left, button shadow at the bottom right.
      constexpr TColor kHighlight = 0x80000014, kShadow = 0x80000010;
      painter.setPen(ToQColor(kHighlight));
      painter.drawLine(all.topLeft(), all.topRight());
      painter.drawLine(all.topLeft(), all.bottomLeft());
      painter.setPen(ToQColor(kShadow));
      painter.drawLine(all.bottomLeft(), all.bottomRight());
      painter.drawLine(all.topRight(), all.bottomRight());
    }
    if (!panel_.Caption().empty()) {
      painter.setFont(widget.font());
      painter.setPen(widget.isEnabled() ? ToQColor(panel_.GetFont().color)
                                        : widget.palette().color(QPalette::Disabled, QPalette::WindowText));
      painter.drawText(all, Qt::AlignCenter | Qt::TextSingleLine, ToQString(panel_.Caption()));
    }
  }

 private:
  Panel& panel_;
};

void PanelWidget::paintEvent(QPaintEvent*) {
  if (auto* native = NativeOf<PanelNative>(this)) native->Paint(*this);
}

// ---- Labels, buttons, check boxes -------------------------------------------------------------------

class LabelNative : public WidgetNative {
 public:
  explicit LabelNative(Label& label)
      : WidgetNative(label, new QLabel(ParentContainer(label))), label_(label) {
    auto* widget = static_cast<QLabel*>(widget_.data());
    widget->setTextFormat(Qt::PlainText);
    Qt::Alignment alignment = Qt::AlignTop;
    switch (label.Alignment()) {
      case TextAlign::Left:
        alignment |= Qt::AlignLeft;
        break;
      case TextAlign::Center:
        alignment |= Qt::AlignHCenter;
        break;
      case TextAlign::Right:
        alignment |= Qt::AlignRight;
        break;
    }
    widget->setAlignment(alignment);
    // As the system's static text: centred and right-aligned texts wrap at words too.
    widget->setWordWrap(label.WordWrap() || label.Alignment() != TextAlign::Left);
    widget->setText(ToQString(label.Caption()));
    ApplyColors();
  }

  void Update(native::Change what) override {
    WidgetNative::Update(what);
    if (!widget_) return;
    if (what == native::Change::Caption)
      static_cast<QLabel*>(widget_.data())->setText(ToQString(label_.Caption()));
    if (what == native::Change::Font || what == native::Change::Color) ApplyColors();
  }

 private:
  void ApplyColors() {
    QPalette palette = widget_->palette();
    SetEnabledColor(palette, QPalette::WindowText, ToQColor(label_.GetFont().color));
    // Without a colour of its own the label shows its parent's background.
    if (label_.HasOwnColor()) palette.setColor(QPalette::Window, ToQColor(label_.Color()));
    widget_->setPalette(palette);
    widget_->setAutoFillBackground(label_.HasOwnColor());
  }

  Label& label_;
};

class ButtonNative : public WidgetNative {
 public:
  explicit ButtonNative(Button& button)
      : WidgetNative(button, new QPushButton(ToQString(button.Caption()), ParentContainer(button))) {
    auto* widget = static_cast<QPushButton*>(widget_.data());
    // Enter presses the button that has the focus; the default one is drawn so.
    widget->setAutoDefault(true);
    widget->setDefault(button.IsDefault());
    QObject::connect(widget, &QPushButton::clicked, widget, [widget] {
      if (auto* native = NativeOf<ButtonNative>(widget)) {
        auto& clicked = static_cast<Button&>(native->GetControl());
        Guard(native->App(), [&clicked] { clicked.Click(); });
      }
    });
    FitCaption();
  }

  void Update(native::Change what) override {
    WidgetNative::Update(what);
    if (!widget_) return;
    if (what == native::Change::Caption) {
      static_cast<QPushButton*>(widget_.data())->setText(ToQString(control_.Caption()));
    }
    if (what == native::Change::Caption || what == native::Change::Font || what == native::Change::Bounds) {
      FitCaption();
    }
  }

 private:
  // The layouts were made for the fonts of Windows; the desktop's are often wider. A caption that would
  // not fit the button's room is drawn just as much narrower as it takes to show whole, not cut.
  void FitCaption() {
    auto* widget = static_cast<QPushButton*>(widget_.data());
    QFont font = ToQFont(control_.GetFont());
    QString shown = widget->text();
    shown.replace(QLatin1String("&&"), QString(QChar(1)))
        .remove(QLatin1Char('&'))
        .replace(QChar(1), QLatin1Char('&'));
    QStyleOptionButton option;
    option.initFrom(widget);
    option.rect = QRect(QPoint(0, 0), widget->size());
    const int room =
        widget->style()->subElementRect(QStyle::SE_PushButtonContents, &option, widget).width() - 4;
    const int needed = QFontMetrics(font).horizontalAdvance(shown);
    if (needed > room && room > 0) font.setStretch(std::max(50, room * 100 / needed));
    widget->setFont(font);
  }
};

class CheckBoxNative : public WidgetNative {
 public:
  explicit CheckBoxNative(CheckBox& checkBox)
      : WidgetNative(checkBox, new QCheckBox(ToQString(checkBox.Caption()), ParentContainer(checkBox))),
        checkBox_(checkBox) {
    auto* widget = static_cast<QCheckBox*>(widget_.data());
    widget->setChecked(checkBox.Checked());
    SetTextColor(*widget, checkBox, {QPalette::WindowText, QPalette::ButtonText});
    // Every toggle of the widget: the user's click or key, and a screen reader's Toggle action (which
    // toggles without a click). The class's own setChecked finds the switch's state already equal.
    QObject::connect(widget, &QCheckBox::toggled, widget, [widget](bool checked) {
      auto* native = NativeOf<CheckBoxNative>(widget);
      if (native == nullptr || checked == native->checkBox_.Checked()) return;
      Guard(native->App(), [native, checked] { native->checkBox_.SetChecked(checked); });
    });
  }

  void Update(native::Change what) override {
    WidgetNative::Update(what);
    if (!widget_) return;
    auto* widget = static_cast<QCheckBox*>(widget_.data());
    if (what == native::Change::Checked) widget->setChecked(checkBox_.Checked());
    if (what == native::Change::Caption) widget->setText(ToQString(checkBox_.Caption()));
    if (what == native::Change::Font)
      SetTextColor(*widget, checkBox_, {QPalette::WindowText, QPalette::ButtonText});
  }

 private:
  CheckBox& checkBox_;
};

// ---- Images -----------------------------------------------------------------------------------------

class ImageNative;

class ImageWidget : public QWidget {
 public:
  using QWidget::QWidget;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
};

class ImageNative : public WidgetNative {
 public:
  explicit ImageNative(Image& image)
      : WidgetNative(image, new ImageWidget(ParentContainer(image))), image_(image) {
    ApplyHint();
  }

  void Update(native::Change what) override {
    if (what == native::Change::Picture && widget_) {
      stale_ = true;
      widget_->update();
      return;
    }
    WidgetNative::Update(what);
  }

  void Paint(QWidget& widget) {
    // The picture is converted when it is first painted (a window that never shows converts nothing).
    if (std::exchange(stale_, false)) {
      picture_ = QImage();
      Guard(app_, [this] { picture_ = ToQImage(image_.Picture()); });
    }
    if (picture_.isNull()) return;
    // Centred, a picture larger than the control loses as much on each side; else it stands at the
    // top-left corner and loses its right and bottom parts.
    QPoint at(0, 0);
    if (image_.Center())
      at = QPoint((widget.width() - picture_.width()) / 2, (widget.height() - picture_.height()) / 2);
    QPainter painter(&widget);
    painter.drawImage(at, picture_);
  }

  void Released(const QMouseEvent& event, const QWidget& widget) {
    if (event.button() != Qt::LeftButton) return;
    // The release that ends a double click is no click of its own.
    if (std::exchange(doubleClicked_, false)) return;
    if (!widget.rect().contains(event.position().toPoint())) return;
    Guard(app_, [this] { image_.NativeClick(); });
  }

  void DoubleClicked(const QMouseEvent& event) {
    if (event.button() != Qt::LeftButton) return;
    doubleClicked_ = true;
    Guard(app_, [this] { image_.NativeDblClick(); });
  }

 protected:
  void ApplyHint() override {
    // The hint is a tool tip only for an image that shows its hint.
    if (widget_) widget_->setToolTip(image_.ShowHint() ? ToQString(image_.Hint()) : QString());
  }

 private:
  Image& image_;
  QImage picture_;
  bool stale_ = true;
  bool doubleClicked_ = false;
};

void ImageWidget::paintEvent(QPaintEvent*) {
  if (auto* native = NativeOf<ImageNative>(this)) native->Paint(*this);
}

void ImageWidget::mouseReleaseEvent(QMouseEvent* event) {
  if (auto* native = NativeOf<ImageNative>(this)) native->Released(*event, *this);
}

void ImageWidget::mouseDoubleClickEvent(QMouseEvent* event) {
  if (auto* native = NativeOf<ImageNative>(this)) native->DoubleClicked(*event);
}

// ---- Edit fields ------------------------------------------------------------------------------------

class EditWidget : public QLineEdit {
 public:
  using QLineEdit::QLineEdit;

 protected:
  void mouseDoubleClickEvent(QMouseEvent* event) override;
};

class EditNative : public WidgetNative {
 public:
  explicit EditNative(Edit& edit) : WidgetNative(edit, new EditWidget(ParentContainer(edit))), edit_(edit) {
    auto* widget = static_cast<QLineEdit*>(widget_.data());
    widget->setFrame(edit.Border());
    widget->setReadOnly(edit.ReadOnly());
    // (After setReadOnly, which sets the cursor of its own.)
    if (edit.HandCursor()) widget->setCursor(Qt::PointingHandCursor);
    widget->setFocusPolicy(edit.TabOrder() >= 0 ? Qt::StrongFocus : Qt::ClickFocus);
    ShowText();
    ApplyColors();
    // Every change of the text: the user's typing, and a screen reader's (which sets the text without
    // typing it); not the class's own setText (ShowText).
    QObject::connect(widget, &QLineEdit::textChanged, widget, [widget](const QString& text) {
      auto* native = NativeOf<EditNative>(widget);
      if (native != nullptr && !native->showingText_) {
        Guard(native->App(), [native, &text] { native->edit_.NativeTextChanged(FromQString(text)); });
      }
    });
  }

  void Update(native::Change what) override {
    WidgetNative::Update(what);
    if (!widget_) return;
    if (what == native::Change::Caption) ShowText();
    if (what == native::Change::Font || what == native::Change::Color) ApplyColors();
  }

  void DoubleClicked() {
    Guard(app_, [this] { edit_.NativeDblClick(); });
  }

 private:
  // The class's text, from its start; a text the field shows already stays as it is (with the caret).
  void ShowText() {
    auto* widget = static_cast<QLineEdit*>(widget_.data());
    if (FromQString(widget->text()) == edit_.Text() && !widget->text().isEmpty()) return;
    showingText_ = true;
    widget->setText(ToQString(edit_.Text()));
    showingText_ = false;
    widget->setCursorPosition(0);
  }

  void ApplyColors() {
    QPalette palette = widget_->palette();
    SetEnabledColor(palette, QPalette::Base, ToQColor(edit_.Color()));
    SetEnabledColor(palette, QPalette::Text, ToQColor(edit_.GetFont().color));
    widget_->setPalette(palette);
  }

  Edit& edit_;
  bool showingText_ = false;
};

void EditWidget::mouseDoubleClickEvent(QMouseEvent* event) {
  // The field selects the word first, as it always does; then the handler runs.
  QLineEdit::mouseDoubleClickEvent(event);
  if (event->button() != Qt::LeftButton) return;
  if (auto* native = NativeOf<EditNative>(this)) native->DoubleClicked();
}

// ---- Combo boxes ------------------------------------------------------------------------------------

class ComboBoxNative : public WidgetNative {
 public:
  explicit ComboBoxNative(ComboBox& combo)
      : WidgetNative(combo, new QComboBox(ParentContainer(combo))), combo_(combo) {
    auto* widget = static_cast<QComboBox*>(widget_.data());
    const bool editable = combo.Style() == ComboStyle::DropDown;
    widget->setEditable(editable);
    // What the user types stays a text: it becomes no item, and the field completes nothing.
    widget->setInsertPolicy(QComboBox::NoInsert);
    if (editable) widget->setCompleter(nullptr);
    widget->setMaxVisibleItems(kDroppedItems);
    widget->setFocusPolicy(combo.TabOrder() >= 0 ? Qt::StrongFocus : Qt::ClickFocus);
    for (const std::string& item : combo.Items()) widget->addItem(ToQString(item));
    MirrorText();
    Place();
    // (activated and textEdited: the user's choices and typing only.)
    QObject::connect(widget, &QComboBox::activated, widget, [widget](int index) {
      if (auto* native = NativeOf<ComboBoxNative>(widget)) {
        Guard(native->App(), [native, index] { native->combo_.NativeItemSelected(index); });
      }
    });
    if (QLineEdit* field = widget->lineEdit()) {
      QObject::connect(field, &QLineEdit::textEdited, widget, [widget](const QString& text) {
        if (auto* native = NativeOf<ComboBoxNative>(widget)) {
          Guard(native->App(), [native, &text] { native->combo_.NativeTextChanged(FromQString(text)); });
        }
      });
    }
  }

  void Update(native::Change what) override {
    if (!widget_) return;
    switch (what) {
      case native::Change::Caption:
        MirrorText();
        break;
      case native::Change::Bounds:
        Place();
        break;
      case native::Change::Font:
        // Another font, another height of the box.
        WidgetNative::Update(what);
        Place();
        break;
      default:
        WidgetNative::Update(what);
    }
  }

 private:
  // Shows the class's text and selected item: the item selected, or in an editable field with none
  // selected, the text itself.
  void MirrorText() {
    auto* widget = static_cast<QComboBox*>(widget_.data());
    widget->setCurrentIndex(combo_.ItemIndex());
    if (combo_.Style() == ComboStyle::DropDown && combo_.ItemIndex() < 0) {
      widget->setEditText(ToQString(combo_.Text()));
    }
  }

  // Places the box; the height of the box is the style's, and the class learns it.
  void Place() {
    const QRect placement = Placement();
    const int height = widget_->sizeHint().height();
    widget_->setGeometry(placement.x(), placement.y(), placement.width(), height);
    const Rect b = combo_.Bounds();
    combo_.NativeBoundsChanged({b.left, b.top, b.width, height});
  }

  ComboBox& combo_;
};

// Makes the native object of a child control.
template <typename N, typename C>
void MakeNative(C& control) {
  control.SetNative(std::make_unique<N>(control));
  UpdateTabOrder(control.OwnerForm());
}

}  // namespace

// ---- Shared with the other files of the backend -----------------------------------------------------

void SetFormMenuBar(Form& form, QMenuBar* bar) {
  if (FormNative* native = FormNativeOf(form)) native->SetMenuBar(bar);
}

void UpdateTabOrder(Form& form) {
  std::vector<QWidget*> chain;
  const std::function<void(const Control&)> walk = [&](const Control& parent) {
    // As the Win32 backend puts them in z-order: in creation order, each control with a tab order before
    // the first sibling made before it with a later one.
    std::vector<Control*> ordered;
    for (Control* child : parent.Children()) {
      const int order = child->TabOrder();
      auto at = ordered.end();
      if (order >= 0) {
        at = std::find_if(ordered.begin(), ordered.end(),
                          [order](const Control* c) { return c->TabOrder() > order; });
      }
      ordered.insert(at, child);
    }
    for (const Control* child : ordered) {
      QWidget* widget = WidgetOf(child);
      if (widget != nullptr && (widget->focusPolicy() & Qt::TabFocus) != 0) chain.push_back(widget);
      walk(*child);
    }
  };
  walk(form);
  for (std::size_t i = 1; i < chain.size(); ++i) QWidget::setTabOrder(chain[i - 1], chain[i]);
}

QWidget* NextFormWindow(const QWidget& going) {
  const WidgetNative* native = FindWidgetNative(const_cast<QWidget*>(&going));
  const Form* main = native != nullptr ? native->App().MainForm() : nullptr;
  if (main != nullptr && main->Native() != nullptr) {
    auto* window = static_cast<QWidget*>(main->Native()->WindowHandle());
    if (window != nullptr && window != &going && window->isVisible()) return window;
  }
  for (QWidget* candidate : QApplication::topLevelWidgets()) {
    if (candidate != &going && candidate->isVisible() && FindWidgetNative(candidate) != nullptr)
      return candidate;
  }
  return nullptr;
}

}  // namespace qt

// ---- Hooks ------------------------------------------------------------------------------------------

namespace native {

using namespace qt;

void Created(Component& component) {
  EnsureApplication();
  if (auto* form = dynamic_cast<Form*>(&component)) {
    CreateForm(*form);
  } else if (auto* panel = dynamic_cast<Panel*>(&component)) {
    MakeNative<PanelNative>(*panel);
  } else if (auto* label = dynamic_cast<Label*>(&component)) {
    MakeNative<LabelNative>(*label);
  } else if (auto* button = dynamic_cast<Button*>(&component)) {
    MakeNative<ButtonNative>(*button);
  } else if (auto* checkBox = dynamic_cast<CheckBox*>(&component)) {
    MakeNative<CheckBoxNative>(*checkBox);
  } else if (auto* image = dynamic_cast<Image*>(&component)) {
    MakeNative<ImageNative>(*image);
  } else if (auto* view = dynamic_cast<ListView*>(&component)) {
    CreateListViewNative(*view);
    UpdateTabOrder(view->OwnerForm());
  } else if (auto* list = dynamic_cast<ImageList*>(&component)) {
    CreateImageListNative(*list);
  } else if (auto* item = dynamic_cast<MenuItem*>(&component)) {
    CreateMenuNative(*item);
  } else if (auto* timer = dynamic_cast<Timer*>(&component)) {
    CreateTimerNative(*timer);
  } else if (auto* colorDialog = dynamic_cast<ColorDialog*>(&component)) {
    CreateColorDialogNative(*colorDialog);
  }
  // Edit fields and combo boxes come with their own hooks; actions, font and file dialogs hold
  // everything they need in their classes.
}

void Changed(Component& component, Change what) {
  if (auto* timer = dynamic_cast<Timer*>(&component)) {
    if (what == Change::State) UpdateTimer(*timer);
    return;
  }
  if (auto* native = dynamic_cast<WidgetNative*>(component.Native())) native->Update(what);
}

void EditCreated(Edit& edit) {
  EnsureApplication();
  MakeNative<EditNative>(edit);
}

void ComboBoxCreated(ComboBox& combo) {
  EnsureApplication();
  MakeNative<ComboBoxNative>(combo);
}

void ShowForm(Form& form) {
  if (FormNative* native = FormNativeOf(form)) native->Show();
}

void HideForm(Form& form) {
  if (FormNative* native = FormNativeOf(form)) {
    native->Hide();
  } else {
    WakeModalLoops(form);
  }
}

void NonClientSize(const Form& form, int& extraWidth, int& extraHeight) {
  if (const FormNative* native = FormNativeOf(form)) {
    native->NonClient(extraWidth, extraHeight);
    return;
  }
  // Before the window exists: the frame forms of its border style get, and no menu bar.
  const QMargins frame = LikelyFrame(form.GetBorderStyle());
  extraWidth = FrameWidth(frame);
  extraHeight = FrameHeight(frame);
}

void ScrollBarSize(const Form&, int& verticalWidth, int& horizontalHeight) {
  EnsureApplication();
  verticalWidth = horizontalHeight = ScrollBarExtent();
}

void ScrollChanged(Form& form) {
  if (FormNative* native = FormNativeOf(form)) native->ApplyScroll();
}

void FocusControl(Control& control) {
  QWidget* widget = WidgetOf(&control);
  // (The form itself needs nothing: its activation puts the focus where it was.) A widget of an
  // inactive window gets the focus when the window becomes active.
  if (widget == nullptr || widget->isWindow()) return;
  widget->setFocus(Qt::OtherFocusReason);
}

Control* FocusedControl(const Form& form) {
  const FormNative* native = FormNativeOf(form);
  return native != nullptr ? native->FocusedControl() : nullptr;
}

os::WindowHandle FormHandle(const Form& form) {
  QWidget* window = WidgetOf(&form);
  // The X window exists from the first show on (asked for earlier, it would place the window as Qt
  // places a window whose frame it does not know yet).
  if (window == nullptr || !window->testAttribute(Qt::WA_WState_Created)) return 0;
  return static_cast<os::WindowHandle>(window->winId());
}

}  // namespace native
}  // namespace ui
