// The shared internals of the Qt backend: the application object, the conversions between the classes'
// values and Qt's, the error report of the guard, and the native object every control's widget has.

#include "platform/qt/UiQt.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QFontMetrics>
#include <QIcon>
#include <QKeyEvent>
#include <QList>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <unordered_map>

#include "platform/text/Text.h"

namespace ui::qt {

namespace {

// The widgets that stand for a native object.
std::unordered_map<const QObject*, WidgetNative*>& Registry() {
  static std::unordered_map<const QObject*, WidgetNative*> registry;
  return registry;
}

// The one event filter of the backend, the application's: events of registered widgets go to their
// objects; key presses in a form's window run the form's key-bound actions first (as the Win32 backend's
// message loop does before a control sees the key). (Qt runs the application's filters again for each
// parent a key or context-menu event goes on to.)
class EventFilter : public QObject {
 public:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (!watched->isWidgetType()) return false;
    auto* widget = static_cast<QWidget*>(watched);
    if (IsKeyEvent(*event) && !widget->window()->isVisible()) return Redirect(*widget, *event);
    if (event->type() == QEvent::KeyPress && RunAction(widget->window(), static_cast<QKeyEvent&>(*event))) {
      return true;
    }
    const auto it = Registry().find(watched);
    if (it == Registry().end()) return false;
    // (The handlers the events run have their guards; this one keeps an error of the backend's own out
    // of Qt's event loop too.)
    WidgetNative& native = *it->second;
    try {
      return native.HandleEvent(*widget, *event);
    } catch (const std::exception& error) {
      ReportError(native.App(), error);
    } catch (...) {
      ReportError(native.App(), std::runtime_error("Unexpected error"));
    }
    return true;
  }

 private:
  static bool IsKeyEvent(const QEvent& event) {
    return event.type() == QEvent::KeyPress || event.type() == QEvent::KeyRelease ||
           event.type() == QEvent::ShortcutOverride;
  }
  // Keys for a window that is hidden: Qt keeps the keyboard with a window that was active when it went
  // until the window manager moves the focus, which it does not do when a window shown and hidden again
  // quickly (a progress box) took the activation only after it went. The keys go to the window that
  // takes the activation now, as the user sees it.
  // A key held down while its window went (the Enter that closed a dialog, repeated while the
  // machine is slow) is dropped: it was meant for the window that went, not for the next one.
  static bool Redirect(QWidget& widget, QEvent& event) {
    if (static_cast<const QKeyEvent&>(event).isAutoRepeat()) return true;
    // The window the keys are meant for: a modal window that shows (a dialog the program opened),
    // else the next form.
    QWidget* next = QApplication::activeModalWidget();
    if (next == nullptr || !next->isVisible()) next = NextFormWindow(*widget.window());
    if (next == nullptr) return true;
    next->activateWindow();
    QWidget* target = next->focusWidget() != nullptr ? next->focusWidget() : next;
    const std::unique_ptr<QEvent> copy(event.clone());
    QCoreApplication::sendEvent(target, copy.get());
    return true;
  }
  static bool RunAction(QWidget* window, const QKeyEvent& key) {
    WidgetNative* native = FindWidgetNative(window);
    auto* form = native != nullptr ? dynamic_cast<Form*>(&native->GetControl()) : nullptr;
    if (form == nullptr || !window->isEnabled()) return false;
    const Qt::KeyboardModifiers modifiers = key.modifiers();
    const ShortCut shortCut{VirtualKeyOf(key), modifiers.testFlag(Qt::ControlModifier),
                            modifiers.testFlag(Qt::ShiftModifier), modifiers.testFlag(Qt::AltModifier)};
    const auto& actions = form->Actions();
    if (!shortCut || std::none_of(actions.begin(), actions.end(),
                                  [&](const Action* action) { return action->GetShortCut() == shortCut; })) {
      return false;
    }
    Guard(form->App(), [&] { form->ExecuteShortCut(shortCut); });
    return true;
  }
};

EventFilter& Filter() {
  static EventFilter* filter = new EventFilter;  // lives as long as the application
  return *filter;
}

}  // namespace

// ---- The application --------------------------------------------------------------------------------

void EnsureApplication() {
  static bool ready = false;
  if (ready) return;
  if (QCoreApplication::instance() == nullptr) {
    // QApplication keeps argc and argv for its whole life: they live as long as the process. The
    // program's name is the one it was started by (Qt takes the application's name from it). Made once
    // and never deleted: windows of static objects may still go at the program's end.
    static int argc = 1;
    static std::string name = program_invocation_name != nullptr ? program_invocation_name : "program";
    static char* argv[] = {name.data(), nullptr};
    new QApplication(argc, argv);
  } else if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) {
    throw std::runtime_error(
        "The windows need a QApplication, and the program made another application object");
  }
  // The message loop ends when the program terminates, not when its last window closes.
  QApplication::setQuitOnLastWindowClosed(false);
  // The program's icon from the icon theme (an installed letrana.png, say), should Qt know none.
  if (QApplication::windowIcon().isNull()) {
    const QIcon icon = QIcon::fromTheme(QCoreApplication::applicationName());
    if (!icon.isNull()) QApplication::setWindowIcon(icon);
  }
  QCoreApplication::instance()->installEventFilter(&Filter());
  ready = true;
}

// ---- Conversions ------------------------------------------------------------------------------------

QString ToQString(const std::string& ansi) { return QString::fromStdString(AnsiToUtf8(ansi)); }

std::string FromQString(const QString& text) { return Utf8ToAnsi(text.toStdString()); }

QColor ToQColor(TColor color) {
  const TColor rgb = ColorToRGB(color);
  return QColor(static_cast<int>(GetRValue(rgb)), static_cast<int>(GetGValue(rgb)),
                static_cast<int>(GetBValue(rgb)));
}

QFont ToQFont(const Font& font) {
  EnsureApplication();
  QFont result(ToQString(font.name.substr(0, 31)));
  result.setBold(font.bold);
  result.setItalic(font.italic);
  result.setUnderline(font.underline);
  result.setStrikeOut(font.strikeOut);
  if (font.pitch == FontPitch::Fixed) {
    result.setStyleHint(QFont::Monospace);
    result.setFixedPitch(true);
  }
  // As the renderers read a font's height: negative is the em, positive the cell (ascent plus descent),
  // 0 the system's default cell of 16 pixels.
  int height = 0;
  try {
    height = RendererFontHeight(font, 96);
  } catch (const std::invalid_argument&) {
    height = 0;
  }
  if (height < 0) {
    result.setPixelSize(-height);
    return result;
  }
  const int cell = height == 0 ? 16 : height;
  result.setPixelSize(cell);
  const int measured = QFontMetrics(result).height();
  if (measured > 0 && measured != cell) {
    result.setPixelSize(std::max(1, static_cast<int>(MulDiv64(cell, cell, measured))));
  }
  return result;
}

QImage ToQImage(const TBitmap& picture) {
  if (picture.Empty()) return {};
  QImage image(picture.Width(), picture.Height(), QImage::Format_RGB32);
  if (image.isNull()) throw std::runtime_error("A picture cannot be shown: out of memory");
  for (int y = 0; y < picture.Height(); ++y) {
    const TBitmap::Pixel32* source = picture.ScanLine(y);
    auto* target = reinterpret_cast<std::uint32_t*>(image.scanLine(y));
    for (int x = 0; x < picture.Width(); ++x) target[x] = source[x] | 0xFF000000u;
  }
  return image;
}

TBitmap FromQImage(const QImage& image) {
  TBitmap picture;
  if (image.isNull()) return picture;
  const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
  picture.SetSizeForOverwrite(rgb.width(), rgb.height());
  for (int y = 0; y < rgb.height(); ++y) {
    const auto* source = reinterpret_cast<const std::uint32_t*>(rgb.constScanLine(y));
    TBitmap::Pixel32* target = picture.ScanLine(y);
    for (int x = 0; x < rgb.width(); ++x) target[x] = source[x] & 0xFFFFFFu;
  }
  picture.ClearTopBytes();
  return picture;
}

int VirtualKeyOf(const QKeyEvent& event) {
  const int key = event.key();
  const bool keypad = event.modifiers().testFlag(Qt::KeypadModifier);
  if (keypad && key >= Qt::Key_0 && key <= Qt::Key_9) return 0x60 + (key - Qt::Key_0);  // VK_NUMPAD0...
  if ((key >= Qt::Key_A && key <= Qt::Key_Z) || (key >= Qt::Key_0 && key <= Qt::Key_9)) return key;
  if (key >= Qt::Key_F1 && key <= Qt::Key_F24) return 0x70 + (key - Qt::Key_F1);
  switch (key) {
    case Qt::Key_Backspace:
      return 0x08;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
      return 0x09;
    case Qt::Key_Clear:
      return 0x0C;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return key::Return;
    case Qt::Key_Shift:
      return 0x10;
    case Qt::Key_Control:
      return 0x11;
    case Qt::Key_Alt:
      return 0x12;
    case Qt::Key_Pause:
      return 0x13;
    case Qt::Key_CapsLock:
      return 0x14;
    case Qt::Key_Escape:
      return key::Escape;
    case Qt::Key_Space:
      return 0x20;
    case Qt::Key_PageUp:
      return key::PageUp;
    case Qt::Key_PageDown:
      return key::PageDown;
    case Qt::Key_End:
      return 0x23;
    case Qt::Key_Home:
      return 0x24;
    case Qt::Key_Left:
      return 0x25;
    case Qt::Key_Up:
      return 0x26;
    case Qt::Key_Right:
      return 0x27;
    case Qt::Key_Down:
      return 0x28;
    case Qt::Key_Print:
      return 0x2C;
    case Qt::Key_Insert:
      return 0x2D;
    case Qt::Key_Delete:
      return key::Delete;
    case Qt::Key_Help:
      return 0x2F;
    case Qt::Key_Menu:
      return 0x5D;
    case Qt::Key_NumLock:
      return 0x90;
    case Qt::Key_ScrollLock:
      return 0x91;
    default:
      break;
  }
  if (keypad) {
    switch (key) {
      case Qt::Key_Asterisk:
        return 0x6A;
      case Qt::Key_Plus:
        return 0x6B;
      case Qt::Key_Minus:
        return 0x6D;
      case Qt::Key_Period:
      case Qt::Key_Comma:
        return 0x6E;
      case Qt::Key_Slash:
        return 0x6F;
      default:
        break;
    }
  }
  // The punctuation keys of the US layout (VK_OEM_...), with the characters Shift gives on them: Qt names
  // the character a key typed, Windows the key.
  switch (key) {
    case Qt::Key_Exclam:
      return '1';
    case Qt::Key_At:
      return '2';
    case Qt::Key_NumberSign:
      return '3';
    case Qt::Key_Dollar:
      return '4';
    case Qt::Key_Percent:
      return '5';
    case Qt::Key_AsciiCircum:
      return '6';
    case Qt::Key_Ampersand:
      return '7';
    case Qt::Key_Asterisk:
      return '8';
    case Qt::Key_ParenLeft:
      return '9';
    case Qt::Key_ParenRight:
      return '0';
    case Qt::Key_Semicolon:
    case Qt::Key_Colon:
      return 0xBA;
    case Qt::Key_Equal:
    case Qt::Key_Plus:
      return 0xBB;
    case Qt::Key_Comma:
    case Qt::Key_Less:
      return 0xBC;
    case Qt::Key_Minus:
    case Qt::Key_Underscore:
      return 0xBD;
    case Qt::Key_Period:
    case Qt::Key_Greater:
      return 0xBE;
    case Qt::Key_Slash:
    case Qt::Key_Question:
      return 0xBF;
    case Qt::Key_QuoteLeft:
    case Qt::Key_AsciiTilde:
      return 0xC0;
    case Qt::Key_BracketLeft:
    case Qt::Key_BraceLeft:
      return 0xDB;
    case Qt::Key_Backslash:
    case Qt::Key_Bar:
      return 0xDC;
    case Qt::Key_BracketRight:
    case Qt::Key_BraceRight:
      return 0xDD;
    case Qt::Key_Apostrophe:
    case Qt::Key_QuoteDbl:
      return 0xDE;
    default:
      return 0;
  }
}

// ---- Handlers run from Qt's signals and events ------------------------------------------------------

int& detail::HandlersRunning() {
  static int running = 0;
  return running;
}

void ReportError(Application& app, const std::exception& error) noexcept {
  try {
    app.HandleException(error);
  } catch (...) {
    // The error box itself failed (no memory for its text): nothing more can be shown.
  }
}

// ---- Native widgets ---------------------------------------------------------------------------------

WidgetNative* FindWidgetNative(const QObject* widget) {
  if (widget == nullptr) return nullptr;
  const auto it = Registry().find(widget);
  return it == Registry().end() ? nullptr : it->second;
}

void DisposeWidget(QWidget* widget) {
  if (widget == nullptr) return;
  if (detail::HandlersRunning() == 0) {
    delete widget;
    return;
  }
  widget->hide();
  widget->blockSignals(true);
  for (QObject* child : widget->findChildren<QObject*>()) child->blockSignals(true);
  widget->deleteLater();
}

WidgetNative::WidgetNative(Control& control, QWidget* widget)
    : control_(control), app_(control.OwnerForm().App()), widget_(widget) {
  if (widget == nullptr) return;
  RegisterWidget(widget);
  if (dynamic_cast<Form*>(&control) != nullptr) return;
  widget->setGeometry(Placement());
  widget->setFont(ToQFont(control.GetFont()));
  widget->setEnabled(control.Enabled());
  ApplyHint();
  widget->setVisible(control.Visible());
}

WidgetNative::~WidgetNative() {
  for (const QPointer<QWidget>& widget : registered_) {
    if (widget) Registry().erase(widget.data());
  }
  // A form's client area goes with its window.
  if (widget_) DisposeWidget(widget_.data());
}

void WidgetNative::RegisterWidget(QWidget* widget) {
  if (widget == nullptr) return;
  EnsureApplication();
  Registry()[widget] = this;
  registered_.emplace_back(widget);
  // A widget Qt deletes first (with its parent) leaves the registry at once.
  QObject::connect(widget, &QObject::destroyed, [widget] { Registry().erase(widget); });
}

QRect WidgetNative::Placement() const {
  const Rect b = control_.Bounds();
  QRect placement(b.left, b.top, std::max(b.width, 0), std::max(b.height, 0));
  if (const auto* form = dynamic_cast<const Form*>(control_.Parent())) {
    placement.translate(-form->HorzScrollPos(), -form->VertScrollPos());
  }
  return placement;
}

void WidgetNative::ApplyHint() {
  if (widget_) widget_->setToolTip(ToQString(control_.Hint()));
}

void WidgetNative::Update(native::Change what) {
  if (!widget_) return;
  using native::Change;
  switch (what) {
    case Change::Bounds:
      widget_->setGeometry(Placement());
      break;
    case Change::Visible:
      widget_->setVisible(control_.Visible());
      break;
    case Change::Enabled:
      widget_->setEnabled(control_.Enabled());
      break;
    case Change::Font:
      widget_->setFont(ToQFont(control_.GetFont()));
      break;
    case Change::Hint:
      ApplyHint();
      break;
    case Change::Color:
      // Children without a colour of their own show this one.
      widget_->update();
      break;
    case Change::Caption:
    case Change::Picture:
    case Change::Checked:
    case Change::State:
    case Change::DoubleBuffer:
      break;
  }
}

bool WidgetNative::HandleEvent(QWidget& target, QEvent& event) {
  if (event.type() != QEvent::ContextMenu) return false;
  PopupMenu* menu = control_.GetPopupMenu();
  if (menu == nullptr) return false;  // the parent's widget gets the event next (Qt's own menu first)
  auto& request = static_cast<QContextMenuEvent&>(event);
  // From the keyboard: at the control's top-left corner.
  const QPoint at = request.reason() == QContextMenuEvent::Keyboard ? target.mapToGlobal(QPoint(4, 4))
                                                                    : request.globalPos();
  Guard(app_, [&] { menu->Popup(at.x(), at.y()); });
  event.accept();
  return true;
}

QWidget* ContainerWidget(const Control& control) {
  const auto* native = dynamic_cast<const WidgetNative*>(control.Native());
  return native != nullptr ? native->Container() : nullptr;
}

}  // namespace ui::qt
