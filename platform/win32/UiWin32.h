#pragma once
// Internals of the Win32 backend of the window classes, shared by its source files (and read by the
// tests of this backend): handle ownership, the registry that maps native handles to the objects that
// mirror the classes, the native objects of windows, and the one guard through which every native
// callback runs the programs' handlers.

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <unordered_map>
#include <vector>

#include "platform/ui/UiNative.h"

// After the portable headers: <windows.h> defines RGB and GetRValue as macros, which Graphics.h declares
// as functions.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <commctrl.h>

#include "platform/win32/GdiFont.h"

namespace ui::win32 {

// ---- Handle ownership -------------------------------------------------------------------------------

struct WindowDeleter {
  void operator()(HWND window) const { DestroyWindow(window); }
};
struct GdiObjectDeleter {
  void operator()(HGDIOBJ object) const { DeleteObject(object); }
};
struct MenuDeleter {
  void operator()(HMENU menu) const { DestroyMenu(menu); }
};
struct ImageListDeleter {
  void operator()(HIMAGELIST list) const { ImageList_Destroy(list); }
};
struct MemoryDcDeleter {
  void operator()(HDC dc) const { DeleteDC(dc); }
};

using OwnedWindow = std::unique_ptr<std::remove_pointer_t<HWND>, WindowDeleter>;
using FontHandle = std::unique_ptr<std::remove_pointer_t<HFONT>, GdiObjectDeleter>;
using BrushHandle = std::unique_ptr<std::remove_pointer_t<HBRUSH>, GdiObjectDeleter>;
using BitmapHandle = std::unique_ptr<std::remove_pointer_t<HBITMAP>, GdiObjectDeleter>;
using MenuHandle = std::unique_ptr<std::remove_pointer_t<HMENU>, MenuDeleter>;
using ImageListHandle = std::unique_ptr<std::remove_pointer_t<HIMAGELIST>, ImageListDeleter>;
using MemoryDcHandle = std::unique_ptr<std::remove_pointer_t<HDC>, MemoryDcDeleter>;

// The device context of a window (GetDC), released when this goes.
class WindowDc {
 public:
  explicit WindowDc(HWND window) : window_(window), dc_(GetDC(window)) {
    if (dc_ == nullptr) throw std::runtime_error("A drawing context of the screen cannot be obtained");
  }
  ~WindowDc() { ReleaseDC(window_, dc_); }
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;
  HDC Get() const { return dc_; }

 private:
  HWND window_;
  HDC dc_;
};

// An object selected into a device context; the one it replaced is selected back when this goes.
class DcSelection {
 public:
  DcSelection(HDC dc, HGDIOBJ object) : dc_(dc), old_(SelectObject(dc, object)) {}
  ~DcSelection() {
    if (old_ != nullptr && old_ != HGDI_ERROR) SelectObject(dc_, old_);
  }
  DcSelection(const DcSelection&) = delete;
  DcSelection& operator=(const DcSelection&) = delete;

 private:
  HDC dc_;
  HGDIOBJ old_;
};

// BeginPaint and EndPaint, also when painting fails half-way.
class PaintScope {
 public:
  explicit PaintScope(HWND hwnd) : hwnd_(hwnd), dc_(BeginPaint(hwnd, &paint_)) {}
  ~PaintScope() { EndPaint(hwnd_, &paint_); }
  PaintScope(const PaintScope&) = delete;
  PaintScope& operator=(const PaintScope&) = delete;
  HDC Dc() const { return dc_; }
  // The part of the client area to paint.
  const RECT& Part() const { return paint_.rcPaint; }

 private:
  HWND hwnd_;
  PAINTSTRUCT paint_{};
  HDC dc_;
};

// ---- Conversions ------------------------------------------------------------------------------------

// A colour value (a system colour resolved) as GDI takes it.
COLORREF ToColorRef(TColor color);
// The LOGFONT of a font at a resolution: lfHeight from FontHeightForSize, the face cut at 31 bytes.
// A GDI font of a font at a resolution; throws std::runtime_error when the system refuses it.
FontHandle CreateFontHandle(const Font& font, int pixelsPerInch);
BrushHandle CreateSolidBrushHandle(TColor color);
// A 32-bit top-down DIB section of width x height holding the picture's pixels top-left (opaque), the
// rest filled with fill; throws std::runtime_error when it cannot be made.
BitmapHandle CreateBitmapHandle(const TBitmap& picture, int width, int height, TColor fill);

// ---- Handlers run from native callbacks -------------------------------------------------------------

// Hands an error that escaped a handler to the application's error box; never throws.
void ReportError(Application& app, const std::exception& error) noexcept;

// Runs a handler on behalf of a native callback: an exception never leaves it, it goes to the error box.
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

// ---- Native windows ---------------------------------------------------------------------------------

// The native window of a control or form. Registered by its handle while it lives, so that messages
// and notifications find it; the window is destroyed with it. A window that the system destroyed
// first (with its parent or owner) leaves the object orphaned: it then holds no handle.
class WindowNative : public NativeData {
 public:
  explicit WindowNative(Control& control);
  ~WindowNative() override;
  WindowNative(const WindowNative&) = delete;
  WindowNative& operator=(const WindowNative&) = delete;

  void* WindowHandle() const override { return hwnd_; }
  HWND Hwnd() const { return hwnd_; }
  Control& GetControl() const { return control_; }
  Application& App() const { return app_; }

  // Links the object to its window (registers the handle).
  void Bind(HWND hwnd);
  // Forgets the window after the system destroyed it.
  void Orphan();

  // Mirrors a change of the control's state in the window.
  virtual void Update(native::Change what);
  // A WM_COMMAND notification sent by this control to its parent; true when handled.
  virtual bool Command(int code);
  // A WM_NOTIFY notification sent by this control to its parent; true when handled.
  virtual bool Notify(const NMHDR& header, LRESULT& result);
  // The answer to WM_CTLCOLORSTATIC / WM_CTLCOLORBTN for this control: sets the colours of the context
  // and returns the brush of the background, or null for the system's default.
  virtual HBRUSH ControlColors(HDC dc);
  // Messages of the window classes of our own (forms, panels, images); true when handled.
  virtual bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

  // The solid brush of the control's own colour (which its children without a colour of their own
  // show too).
  HBRUSH ColorBrush();

  // Makes the window of a child control in its parent's window (registered, in tab order, with the
  // control's font); a window class of our own gets this object with its creation message.
  void CreateChild(const char* windowClass, DWORD style, DWORD exStyle, bool ownClass);

  // Where the window stands in its parent's client area: the control's bounds, moved by the scroll
  // position of a form that scrolls its children.
  POINT WindowPosition() const;

 protected:
  // Gives the window the control's font at its form's resolution (controls that show text).
  void ApplyFont();
  // Places the window among its siblings by tab order (controls with a tab order of 0 or more).
  void PlaceInTabOrder();
  // The common part of our own container windows: notifications of children, their colours, pop-up
  // menus; true when handled.
  bool HandleContainerMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
  // The background shown behind this control: its parent's.
  HBRUSH ParentBackground() const;
  // Paints the window (WM_PAINT) through an off-screen bitmap when its form is double-buffered.
  void PaintWindow(const std::function<void(HDC dc, const RECT& client)>& paint);
  bool FormDoubleBuffered() const;

  Control& control_;
  Application& app_;
  HWND hwnd_ = nullptr;
  FontHandle font_;
  BrushHandle brush_;
  HWND tooltip_ = nullptr;  // the tool-tip window this control's hint is registered with
};

// The native object registered for a window handle, or null for windows that are not ours.
WindowNative* FindWindowNative(HWND hwnd);
// Every registered window native, for updates that concern several (double buffering, image lists).
std::vector<WindowNative*> AllWindowNatives();

// A control id for a new child window (never IDOK or IDCANCEL, which the dialog manager sends).
int NextControlId();

// ---- Window classes of our own ----------------------------------------------------------------------

extern const char* const kFormClass;
extern const char* const kPanelClass;
extern const char* const kImageClass;
// Registers the window classes, initialises the common controls and makes the hidden application
// window, once; every hook that makes a window calls it first.
void EnsureBackend();
HINSTANCE Instance();
// The hidden application window: owner of the main form, of the timers, fallback owner of menus.
HWND ApplicationWindow();
// Gives a form the application window's topmost state, should it not have it (see Application::Handle).
void FollowApplicationTopmost(HWND form);
// A form became the active window: the one the application window hands the activation on to.
void FormActivated(HWND form);

// ---- Forms ------------------------------------------------------------------------------------------

class FormNative : public WindowNative {
 public:
  explicit FormNative(Form& form);
  ~FormNative() override;

  Form& GetForm() const { return form_; }
  void Create();
  void Update(native::Change what) override;
  bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
  // The tool-tip window that shows the hints of this form's controls (made on first use).
  HWND Tooltip();
  void Show();
  void ApplyWindowState();
  // Shows the scroll bars the form asks for, at its positions, and moves the children with them.
  void ApplyScroll();
  // Keyboard focus into the child window now when the form is active, else at its next activation.
  void RequestFocus(HWND child);
  // The control whose window has the focus (the form active), or gets it at the next activation.
  Control* FocusedControl() const;

 private:
  void ReportBounds();
  void Place();
  // The window stands on a monitor of another resolution now (WM_DPICHANGED): the form takes it, with
  // the suggested bounds unless the program itself is placing the window.
  void TakeDpi(int pixelsPerInch, const RECT& suggested);
  // The user moved a scroll bar (WM_HSCROLL, WM_VSCROLL) or turned the mouse wheel.
  void Scroll(int bar, int request);
  void Wheel(int delta);

  Form& form_;
  bool ready_ = false;
  bool placing_ = false;  // the program itself is moving or sizing the window
  SIZE client_{-1, -1};   // the client size last reported to the form
  HWND lastFocus_ = nullptr;
  OwnedWindow hintWindow_;
  int wheelRest_ = 0;  // wheel turns not yet worth a line
};

FormNative* FindFormNative(HWND hwnd);

// ---- Menus ------------------------------------------------------------------------------------------

// Runs the menu item of a command id (WM_COMMAND of a menu); false when no item has that id.
bool DispatchMenuCommand(UINT id);

// ---- The message loop -------------------------------------------------------------------------------

// What the message loop does with one message before dispatching it: key-bound actions of the form,
// dialog navigation (Tab between controls). True when the message was consumed.
bool PreTranslate(MSG& message);
// Dispatches one message as every loop of this backend does.
void HandleMessage(MSG& message);
// Counts a running message loop for as long as it runs: Application::Terminate wakes the loops with a
// quit request only when one runs (a request left waiting would end a later loop).
class LoopScope {
 public:
  LoopScope();
  ~LoopScope();
  LoopScope(const LoopScope&) = delete;
  LoopScope& operator=(const LoopScope&) = delete;
};
// Re-enables what a modal form disabled, when that form hides.
void EndModal(Form& form);

// ---- Natives of the other components (made by native::Created) -------------------------------------

void CreateTimerNative(Timer& timer);
void UpdateTimer(Timer& timer);
void CreateMenuNative(MenuItem& item);
void CreateImageListNative(ImageList& list);
void CreateListViewNative(ListView& view);
void CreateColorDialogNative(ColorDialog& dialog);
// Gives every list view of the form double buffering or takes it away, as the form is.
void UpdateListViewBuffering(Form& form);

// ---- Tests ------------------------------------------------------------------------------------------

// The menu a menu item shows its items in (the menu bar of a main menu, the menu of a pop-up menu, the
// sub-menu of an item with items) and the command id of an item, for the tests of this backend; null
// and 0 where there is none.
HMENU MenuHandleOf(const MenuItem& item);
UINT MenuCommandOf(const MenuItem& item);
HIMAGELIST ImageListHandleOf(const ImageList& list);

}  // namespace ui::win32
