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
#include <QString>
#include <QWidget>
#include <exception>
#include <stdexcept>
#include <string>

#include "platform/ui/UiNative.h"

class QMenuBar;
class QKeyEvent;

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
// Runs a handler on behalf of a signal or event: an exception never leaves it, it goes to the error box.
template <typename F>
void Guard(Application& app, F&& handler) noexcept {
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

 protected:
  Control& control_;
  Application& app_;
  QPointer<QWidget> widget_;
};

// The widget a child control of this control is made in: a form's client area (below its menu bar), a
// panel's own widget.
QWidget* ContainerWidget(const Control& control);

// ---- Seams between the backend's files ---------------------------------------------------------------

// Forms (UiQtWindows.cpp): puts the menu bar of a form's main menu above its client area (null takes it
// away); the client area keeps the form's client size.
void SetFormMenuBar(Form& form, QMenuBar* bar);

// Made by the files of their families, called by Created (UiQtWindows.cpp).
void CreateListViewNative(ListView& view);          // UiQtListView.cpp
void CreateImageListNative(ImageList& list);        // UiQtListView.cpp
void CreateMenuNative(MenuItem& item);              // UiQtMenus.cpp
void CreateTimerNative(Timer& timer);               // UiQtBackend.cpp
void UpdateTimer(Timer& timer);                     // UiQtBackend.cpp: interval or enabled changed
void CreateColorDialogNative(ColorDialog& dialog);  // UiQtDialogs.cpp

// Made by UiQtMenus.cpp, called by Created: an action's shortcut, live while its form is active.
void CreateActionNative(Action& action);

}  // namespace ui::qt
