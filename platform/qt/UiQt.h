#pragma once
// Internals of the Qt backend of the window classes, shared by its source files (and read by the tests of
// this backend): the application object, conversions between the classes' values and Qt's, the one guard
// through which every Qt signal and event runs the programs' handlers, and the native objects of widgets.
//
// Geometry: the classes hold bounds in pixels at 96 pixels per inch; Qt lays widgets out in
// device-independent pixels and scales them (and the fonts) by the display's scale factor itself. The
// backend therefore reports 96 pixels per inch and gives Qt the classes' pixels as they are.
// Texts: the classes hold 8-bit texts in the ANSI code page (Windows-1252, platform/text/Text.h); Qt's
// strings are made from and read back through UTF-8.

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QWidget>
#include <exception>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/ui/UiNative.h"

class QMenuBar;
class QKeyEvent;
class QEvent;

namespace ui::qt {

// ---- The application --------------------------------------------------------------------------------

// Makes the QApplication on first use (every hook that makes a widget calls it first). The program's
// name and the arguments come from the running process; QT_QPA_PLATFORM chooses the platform (xcb on
// the desktop, offscreen in the tests).
void EnsureApplication();

// ---- Conversions ------------------------------------------------------------------------------------

QString ToQString(const std::string& ansi);
std::string FromQString(const QString& text);
// A colour value with the system colours resolved, opaque.
QColor ToQColor(TColor color);
// The font at its pixel height for 96 pixels per inch (Font::Height, or FontHeightForSize of its size),
// with its family, weight, italic and underline.
QFont ToQFont(const Font& font);
// A picture as an opaque 32-bit image, and back.
QImage ToQImage(const TBitmap& picture);
TBitmap FromQImage(const QImage& image);
// The virtual-key code the classes know for a key of a Qt key event (VK_ numbering: letters and digits
// as their capitals, arrows, Return 13, Escape 27, Delete 46, F1 112 ...); 0 for a key without one.
int VirtualKeyOf(const QKeyEvent& event);

// ---- Handlers run from Qt's signals and events ------------------------------------------------------

// Hands an error that escaped a handler to the application's error box; never throws.
void ReportError(Application& app, const std::exception& error) noexcept;

namespace detail {
// How many handlers run now on behalf of Qt's signals and events (nested: a handler's error box or modal
// form runs further ones). While one runs, a widget that goes is deleted later, by the event loop: the
// signal or event that runs the handler may still be on its way out of that widget.
int& HandlersRunning();
class HandlerScope {
 public:
  HandlerScope() { ++HandlersRunning(); }
  ~HandlerScope() { --HandlersRunning(); }
  HandlerScope(const HandlerScope&) = delete;
  HandlerScope& operator=(const HandlerScope&) = delete;
};
}  // namespace detail

// Runs a handler on behalf of a signal or event: an exception never leaves it, it goes to the error box.
template <typename F>
void Guard(Application& app, F&& handler) noexcept {
  const detail::HandlerScope running;
  try {
    handler();
  } catch (const std::exception& error) {
    ReportError(app, error);
  } catch (...) {
    ReportError(app, std::runtime_error("Unexpected error"));
  }
}

// ---- Native widgets ---------------------------------------------------------------------------------

// The native object of a control or form: its widget, deleted with it (unless Qt deleted it first with
// its parent, which the guarded pointer notices).
class WidgetNative : public NativeData {
 public:
  // Gives a child control's widget (not a form's) the control's bounds, visibility, enabled state, font
  // and hint, and registers the widget: FindWidgetNative finds this object, whose HandleEvent sees the
  // widget's events.
  WidgetNative(Control& control, QWidget* widget);
  ~WidgetNative() override;
  WidgetNative(const WidgetNative&) = delete;
  WidgetNative& operator=(const WidgetNative&) = delete;

  void* WindowHandle() const override { return widget_.data(); }
  QWidget* Widget() const { return widget_.data(); }
  Control& GetControl() const { return control_; }
  Application& App() const { return app_; }
  // Mirrors a change of the control's state in the widget: bounds, visibility, enabled state, font,
  // hint (tool tip) here; the controls' own properties in the overrides.
  virtual void Update(native::Change what);
  // The events of the widget (and of further widgets registered for this object), through the
  // backend's one event filter (the application's); true consumes the event. Here: a right click (or
  // the menu key) shows the control's popup menu, if it has one (else the event goes on to the parent's
  // widget, whose control's menu shows).
  virtual bool HandleEvent(QWidget& target, QEvent& event);

  // Where the widget stands in its parent's container: the control's bounds, moved by the scroll
  // position of a form that scrolls its children.
  QRect Placement() const;
  // The widget the control's children are made in: its own; a form's client area.
  virtual QWidget* Container() const { return widget_.data(); }

 protected:
  // Registers a further widget that stands for this object (a form's client area); forgotten with it.
  void RegisterWidget(QWidget* widget);
  // The tool tip of the control's hint (an image shows its hint only when asked to).
  virtual void ApplyHint();

  Control& control_;
  Application& app_;
  QPointer<QWidget> widget_;

 private:
  std::vector<QPointer<QWidget>> registered_;
};

// The native object a widget stands for (a control's widget, a form's window or its client area); null
// for other widgets, and after the object went.
WidgetNative* FindWidgetNative(const QObject* widget);

// The widget a child control of this control is made in: a form's client area (below its menu bar), a
// panel's own widget.
QWidget* ContainerWidget(const Control& control);

// The keyboard's order of the form's controls (Tab): by each control's tab order among its siblings, as
// the Win32 backend orders them, panels' controls where their panels stand. Called after a control was
// made.
void UpdateTabOrder(Form& form);

// Deletes a widget whose object went: at once, or while a handler runs (see detail::HandlersRunning)
// hidden and with its signals blocked, by the event loop later.
void DisposeWidget(QWidget* widget);

// ---- Seams between the backend's files ---------------------------------------------------------------

// Forms (UiQtWindows.cpp): puts the menu bar of a form's main menu above its client area (null takes it
// away); the client area keeps the form's client size: the window keeps its outer size, the client area
// makes room for the bar, and the form learns its new client size (as on Windows). The bar stays its
// main menu's: the form's window lets it go when it goes.
void SetFormMenuBar(Form& form, QMenuBar* bar);
// The window of the form that takes the activation when this form's window goes: the main form's when
// it shows, else another showing form's; null when none shows.
QWidget* NextFormWindow(const QWidget& going);

// Made by the files of their families, called by Created (UiQtWindows.cpp).
void CreateListViewNative(ListView& view);          // UiQtListView.cpp
void CreateImageListNative(ImageList& list);        // UiQtListView.cpp
void CreateMenuNative(MenuItem& item);              // UiQtMenus.cpp
void CreateTimerNative(Timer& timer);               // UiQtBackend.cpp
void UpdateTimer(Timer& timer);                     // UiQtBackend.cpp: interval or enabled changed
void CreateColorDialogNative(ColorDialog& dialog);  // UiQtDialogs.cpp

// ---- The message loop (UiQtBackend.cpp) --------------------------------------------------------------

// Ends the nested loop of RunModal of this form (the form went hidden); each loop looks at its
// condition again when it wakes.
void WakeModalLoops(const Form& form);

}  // namespace ui::qt
