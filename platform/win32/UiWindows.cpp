// The windows of the Win32 backend: forms, panels, labels, buttons, check boxes and images as real
// windows, the window procedure of our own window classes, and the hooks that create the native objects
// and mirror every change of the classes in them.

#include <algorithm>
#include <climits>
#include <optional>
#include <utility>

#include "platform/win32/UiWin32.h"

namespace ui {
namespace win32 {

namespace {

std::unordered_map<HWND, WindowNative*>& Windows() {
  static std::unordered_map<HWND, WindowNative*> windows;
  return windows;
}

HWND HandleOf(const Control* control) {
  if (control == nullptr) return nullptr;
  const NativeData* native = control->Native();
  return native != nullptr ? static_cast<HWND>(native->WindowHandle()) : nullptr;
}

}  // namespace

WindowNative* FindWindowNative(HWND hwnd) {
  if (hwnd == nullptr) return nullptr;
  const auto it = Windows().find(hwnd);
  return it == Windows().end() ? nullptr : it->second;
}

std::vector<WindowNative*> AllWindowNatives() {
  std::vector<WindowNative*> natives;
  natives.reserve(Windows().size());
  for (const auto& [hwnd, native] : Windows()) natives.push_back(native);
  return natives;
}

int NextControlId() {
  static int next = 1000;
  if (next > 0xFFFF) next = 1000;
  return next++;
}

// ---- WindowNative -----------------------------------------------------------------------------------

WindowNative::WindowNative(Control& control) : control_(control), app_(control.OwnerForm().App()) {}

WindowNative::~WindowNative() {
  if (hwnd_ == nullptr) return;
  if (tooltip_ != nullptr && IsWindow(tooltip_)) {
    TOOLINFOA tool{};
    tool.cbSize = TTTOOLINFOA_V2_SIZE;
    tool.hwnd = GetParent(hwnd_);
    tool.uId = reinterpret_cast<UINT_PTR>(hwnd_);
    SendMessageA(tooltip_, TTM_DELTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
  }
  const HWND hwnd = hwnd_;
  Orphan();
  DestroyWindow(hwnd);
  // The windows the system destroyed with this one (its children, the forms it owned) leave their
  // objects without a window.
  auto& windows = Windows();
  for (auto it = windows.begin(); it != windows.end();) {
    if (!IsWindow(it->first)) {
      it->second->hwnd_ = nullptr;
      it = windows.erase(it);
    } else {
      ++it;
    }
  }
}

void WindowNative::Bind(HWND hwnd) {
  hwnd_ = hwnd;
  Windows()[hwnd] = this;
}

void WindowNative::Orphan() {
  if (hwnd_ == nullptr) return;
  Windows().erase(hwnd_);
  hwnd_ = nullptr;
}

void WindowNative::CreateChild(const char* windowClass, DWORD style, DWORD exStyle, bool ownClass) {
  const HWND parent = HandleOf(control_.Parent());
  if (parent == nullptr) throw std::runtime_error("A control cannot be created without its parent's window");
  style |= WS_CHILD | WS_CLIPSIBLINGS;
  if (control_.Visible()) style |= WS_VISIBLE;
  if (!control_.Enabled()) style |= WS_DISABLED;
  const Rect b = control_.Bounds();
  const POINT at = WindowPosition();
  const HWND hwnd = CreateWindowExA(
      exStyle, windowClass, control_.Caption().c_str(), style, at.x, at.y, b.width, b.height, parent,
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(NextControlId())), Instance(), ownClass ? this : nullptr);
  if (hwnd == nullptr) {
    throw std::runtime_error(std::string("A window of the class ") + windowClass + " cannot be created");
  }
  if (!ownClass) Bind(hwnd);
  PlaceInTabOrder();
  ApplyFont();
}

POINT WindowNative::WindowPosition() const {
  const Rect b = control_.Bounds();
  POINT at{b.left, b.top};
  if (const auto* form = dynamic_cast<const Form*>(control_.Parent())) {
    at.x -= form->HorzScrollPos();
    at.y -= form->VertScrollPos();
  }
  return at;
}

void WindowNative::PlaceInTabOrder() {
  const int order = control_.TabOrder();
  if (order < 0 || control_.Parent() == nullptr || hwnd_ == nullptr) return;
  // Tab moves through the windows in z-order: this one goes before the first sibling that comes later in
  // tab order (siblings of an equal tab order keep the order of creation).
  HWND next = nullptr;
  int nextOrder = INT_MAX;
  for (const Control* sibling : control_.Parent()->Children()) {
    const int siblingOrder = sibling->TabOrder();
    if (sibling == &control_ || siblingOrder <= order || siblingOrder >= nextOrder) continue;
    if (const HWND hwnd = HandleOf(sibling)) {
      next = hwnd;
      nextOrder = siblingOrder;
    }
  }
  if (next == nullptr) return;
  const HWND previous = GetWindow(next, GW_HWNDPREV);
  if (previous == hwnd_) return;
  SetWindowPos(hwnd_, previous != nullptr ? previous : HWND_TOP, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void WindowNative::ApplyFont() {
  if (hwnd_ == nullptr) return;
  FontHandle font = CreateFontHandle(control_.GetFont(), control_.OwnerForm().PixelsPerInch());
  SendMessageA(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), TRUE);
  // The old font goes only now that the window holds the new one.
  font_ = std::move(font);
}

void WindowNative::Update(native::Change what) {
  if (hwnd_ == nullptr) return;
  using native::Change;
  switch (what) {
    case Change::Bounds: {
      const Rect b = control_.Bounds();
      const POINT at = WindowPosition();
      SetWindowPos(hwnd_, nullptr, at.x, at.y, b.width, b.height, SWP_NOZORDER | SWP_NOACTIVATE);
      break;
    }
    case Change::Visible:
      ShowWindow(hwnd_, control_.Visible() ? SW_SHOWNA : SW_HIDE);
      break;
    case Change::Enabled:
      EnableWindow(hwnd_, control_.Enabled() ? TRUE : FALSE);
      break;
    case Change::Caption:
      SetWindowTextA(hwnd_, control_.Caption().c_str());
      InvalidateRect(hwnd_, nullptr, TRUE);
      break;
    case Change::Color:
      brush_.reset();
      // Children without a colour of their own show this one.
      RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
      break;
    case Change::Font:
      ApplyFont();
      break;
    case Change::Hint: {
      FormNative* form = dynamic_cast<FormNative*>(control_.OwnerForm().Native());
      if (form == nullptr || form == this) break;
      const std::string& hint = control_.Hint();
      TOOLINFOA tool{};
      tool.cbSize = TTTOOLINFOA_V2_SIZE;
      tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
      tool.hwnd = GetParent(hwnd_);
      tool.uId = reinterpret_cast<UINT_PTR>(hwnd_);
      tool.lpszText = const_cast<char*>(hint.c_str());
      if (hint.empty()) {
        if (tooltip_ != nullptr) SendMessageA(tooltip_, TTM_DELTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
        tooltip_ = nullptr;
      } else if (tooltip_ != nullptr) {
        SendMessageA(tooltip_, TTM_UPDATETIPTEXTA, 0, reinterpret_cast<LPARAM>(&tool));
      } else {
        const HWND tooltip = form->Tooltip();
        if (SendMessageA(tooltip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool))) tooltip_ = tooltip;
      }
      break;
    }
    case Change::Picture:
    case Change::Checked:
    case Change::State:
    case Change::DoubleBuffer:
      break;
  }
}

bool WindowNative::Command(int) { return false; }
bool WindowNative::Notify(const NMHDR&, LRESULT&) { return false; }
HBRUSH WindowNative::ControlColors(HDC) { return nullptr; }
bool WindowNative::HandleMessage(UINT, WPARAM, LPARAM, LRESULT&) { return false; }

HBRUSH WindowNative::ColorBrush() {
  if (!brush_) brush_ = CreateSolidBrushHandle(control_.Color());
  return brush_.get();
}

HBRUSH WindowNative::ParentBackground() const {
  Control* parent = control_.Parent();
  if (parent != nullptr) {
    if (auto* native = dynamic_cast<WindowNative*>(parent->Native())) return native->ColorBrush();
  }
  return const_cast<WindowNative*>(this)->ColorBrush();
}

bool WindowNative::FormDoubleBuffered() const { return control_.OwnerForm().DoubleBuffered(); }

void WindowNative::PaintWindow(const std::function<void(HDC dc, const RECT& client)>& paint) {
  const PaintScope scope(hwnd_);
  RECT client;
  GetClientRect(hwnd_, &client);
  if (FormDoubleBuffered() && client.right > 0 && client.bottom > 0) {
    // Drawn off screen and copied in one piece, so that nothing flickers.
    const MemoryDcHandle memory(CreateCompatibleDC(scope.Dc()));
    const BitmapHandle buffer(CreateCompatibleBitmap(scope.Dc(), client.right, client.bottom));
    if (memory && buffer) {
      const DcSelection selection(memory.get(), buffer.get());
      paint(memory.get(), client);
      BitBlt(scope.Dc(), 0, 0, client.right, client.bottom, memory.get(), 0, 0, SRCCOPY);
      return;
    }
  }
  paint(scope.Dc(), client);
}

bool WindowNative::HandleContainerMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  switch (message) {
    case WM_COMMAND: {
      if (lParam != 0) {
        WindowNative* child = FindWindowNative(reinterpret_cast<HWND>(lParam));
        if (child == nullptr || !child->Command(HIWORD(wParam))) return false;
        result = 0;
        return true;
      }
      if (!DispatchMenuCommand(LOWORD(wParam))) return false;
      result = 0;
      return true;
    }
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      WindowNative* child = header != nullptr ? FindWindowNative(header->hwndFrom) : nullptr;
      return child != nullptr && child->Notify(*header, result);
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
      WindowNative* child = FindWindowNative(reinterpret_cast<HWND>(lParam));
      if (child == nullptr) return false;
      const HBRUSH brush = child->ControlColors(reinterpret_cast<HDC>(wParam));
      if (brush == nullptr) return false;
      result = reinterpret_cast<LRESULT>(brush);
      return true;
    }
    case WM_CONTEXTMENU: {
      // The pop-up menu of the control clicked, or of the nearest of its parents that has one.
      const HWND target = reinterpret_cast<HWND>(wParam);
      WindowNative* clicked = FindWindowNative(target);
      Control* control = clicked != nullptr ? &clicked->GetControl() : nullptr;
      while (control != nullptr && control->GetPopupMenu() == nullptr) control = control->Parent();
      if (control == nullptr) return false;
      POINT point{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
      if (lParam == -1) {
        // From the keyboard: at the control's top-left corner.
        RECT bounds;
        GetWindowRect(target, &bounds);
        point = {bounds.left + 4, bounds.top + 4};
      }
      control->GetPopupMenu()->Popup(point.x, point.y);
      result = 0;
      return true;
    }
    default:
      return false;
  }
}

// The window procedure of our own window classes: each message goes to the object of its window; what
// a handler throws goes to the error box, never back into the system.
LRESULT CALLBACK OwnWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
    if (auto* native = static_cast<WindowNative*>(create->lpCreateParams)) native->Bind(hwnd);
  }
  LRESULT result = 0;
  bool handled = false;
  if (WindowNative* native = FindWindowNative(hwnd)) {
    try {
      handled = native->HandleMessage(message, wParam, lParam, result);
    } catch (const std::exception& error) {
      ReportError(native->App(), error);
      handled = true;
      result = 0;
    } catch (...) {
      ReportError(native->App(), std::runtime_error("Unexpected error"));
      handled = true;
      result = 0;
    }
  }
  if (!handled) result = DefWindowProcA(hwnd, message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    if (WindowNative* native = FindWindowNative(hwnd)) native->Orphan();
  }
  return result;
}

// ---- Forms ------------------------------------------------------------------------------------------

namespace {

// How far a click on a scroll bar's arrow, or a line of the mouse wheel, scrolls a form (at 96 pixels
// per inch).
constexpr int kScrollLine = 16;

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

// The resolution of the monitor the window stands on: GetDpiForWindow (Windows 10 version 1607 on),
// looked up by name so that the programs still start on older systems, where it is 0.
int WindowDpi(HWND hwnd) {
  using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
  static const auto getDpi = reinterpret_cast<GetDpiForWindowFunction>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "GetDpiForWindow")));
  return getDpi != nullptr ? static_cast<int>(getDpi(hwnd)) : 0;
}

void FormStyles(const Form& form, DWORD& style, DWORD& exStyle) {
  style = WS_CLIPCHILDREN;
  exStyle = WS_EX_CONTROLPARENT;
  if (form.GetBorderStyle() == BorderStyle::Sizeable) {
    style |= WS_OVERLAPPED | WS_CAPTION | WS_THICKFRAME;
    if (form.CaptionButtons()) style |= WS_SYSMENU;
    if (form.MinimizeButton()) style |= WS_MINIMIZEBOX;
    if (form.MaximizeButton()) style |= WS_MAXIMIZEBOX;
  } else {
    style |= WS_POPUP | WS_CAPTION;
    if (form.CaptionButtons()) style |= WS_SYSMENU;
    exStyle |= WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE;
  }
}

}  // namespace

FormNative::FormNative(Form& form) : WindowNative(form), form_(form) {}

FormNative::~FormNative() {
  if (hwnd_ != nullptr) {
    // The menu bar belongs to its main menu, which releases it; the window must not take it along.
    SetMenu(hwnd_, nullptr);
  }
  if (hintWindow_ && !IsWindow(hintWindow_.get())) static_cast<void>(hintWindow_.release());
  hintWindow_.reset();
}

FormNative* FindFormNative(HWND hwnd) { return dynamic_cast<FormNative*>(FindWindowNative(hwnd)); }

void FormNative::Create() {
  DWORD style = 0, exStyle = 0;
  FormStyles(form_, style, exStyle);
  // The application window owns the main form, which has the program's task-bar button; every other
  // form belongs to the main form: it stays above it and has no task-bar button of its own.
  HWND owner = ApplicationWindow();
  if (Form* main = form_.App().MainForm(); main != nullptr && main != &form_) {
    owner = HandleOf(main);
  } else {
    exStyle |= WS_EX_APPWINDOW;
  }
  const Rect b = form_.Bounds();
  const HWND hwnd = CreateWindowExA(exStyle, kFormClass, form_.Caption().c_str(), style, b.left, b.top,
                                    b.width, b.height, owner, nullptr, Instance(), this);
  if (hwnd == nullptr) throw std::runtime_error("The window \"" + form_.Caption() + "\" cannot be created");
  RECT client;
  GetClientRect(hwnd, &client);
  client_ = {client.right, client.bottom};
  ready_ = true;
}

HWND FormNative::Tooltip() {
  if (!hintWindow_) {
    hintWindow_.reset(CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr,
                                      WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                                      CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr, Instance(), nullptr));
    if (!hintWindow_) throw std::runtime_error("The hint window cannot be created");
  }
  return hintWindow_.get();
}

void FormNative::ReportBounds() {
  RECT window;
  GetWindowRect(hwnd_, &window);
  form_.NativeBoundsChanged(
      {window.left, window.top, window.right - window.left, window.bottom - window.top});
  RECT client;
  GetClientRect(hwnd_, &client);
  if (client.right != client_.cx || client.bottom != client_.cy) {
    client_ = {client.right, client.bottom};
    form_.NativeClientResized();
  }
}

void FormNative::Place() {
  const FormPosition position = form_.Position();
  if (position == FormPosition::Designed) return;
  const int width = form_.Width(), height = form_.Height();
  const Form* main = form_.App().MainForm();
  const bool overMain = position == FormPosition::MainFormCenter && main != nullptr && main != &form_ &&
                        HandleOf(main) != nullptr;
  MONITORINFO monitor{};
  monitor.cbSize = sizeof(monitor);
  const HMONITOR screen = MonitorFromWindow(overMain ? HandleOf(main) : hwnd_, MONITOR_DEFAULTTOPRIMARY);
  RECT work{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  if (GetMonitorInfoA(screen, &monitor)) work = monitor.rcWork;
  int left = 0, top = 0;
  if (overMain) {
    left = main->Left() + (main->Width() - width) / 2;
    top = main->Top() + (main->Height() - height) / 2;
  } else {
    left = work.left + (work.right - work.left - width) / 2;
    top = work.top + (work.bottom - work.top - height) / 2;
  }
  // Kept on the screen, with the caption bar reachable.
  left = std::max<int>(work.left, std::min<int>(left, work.right - width));
  top = std::max<int>(work.top, std::min<int>(top, work.bottom - height));
  SetWindowPos(hwnd_, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void FormNative::TakeDpi(int pixelsPerInch, const RECT& suggested) {
  std::optional<Rect> bounds;
  // Where the program moved the window (its stored placement, say) the window keeps the bounds the
  // program chose; only a move by the user or the system takes the suggested ones. (Taking them there
  // would size the window anew at every such move, and could move it back onto the first monitor.)
  if (!placing_) {
    bounds = Rect{suggested.left, suggested.top, suggested.right - suggested.left,
                  suggested.bottom - suggested.top};
  }
  form_.NativeDpiChanged(pixelsPerInch, bounds);
}

void FormNative::Show() {
  if (hwnd_ == nullptr) return;
  if (IsWindowVisible(hwnd_)) {
    // Already in front: nothing to do (long loops show their progress box at every step).
    if (GetWindow(hwnd_, GW_HWNDPREV) != nullptr) {
      SetWindowPos(hwnd_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
    return;
  }
  Place();
  // A form placed while hidden on a monitor of another resolution than the one it was made for shows
  // with that resolution, should the system not have told it yet (it keeps its bounds).
  if (const int dpi = WindowDpi(hwnd_); form_.ScaledForScreen() && dpi > 0 && dpi != form_.PixelsPerInch()) {
    form_.NativeDpiChanged(dpi, std::nullopt);
  }
  // A form that missed a change of the application window's topmost state follows it now.
  FollowApplicationTopmost(hwnd_);
  int command = SW_SHOWNORMAL;
  if (form_.GetWindowState() == WindowState::Minimized) command = SW_SHOWMINIMIZED;
  if (form_.GetWindowState() == WindowState::Maximized) command = SW_SHOWMAXIMIZED;
  ShowWindow(hwnd_, command);
}

void FormNative::ApplyWindowState() {
  if (hwnd_ == nullptr || !IsWindowVisible(hwnd_)) return;  // a hidden form takes its state when shown
  switch (form_.GetWindowState()) {
    case WindowState::Normal:
      ShowWindow(hwnd_, SW_RESTORE);
      break;
    case WindowState::Minimized:
      ShowWindow(hwnd_, SW_MINIMIZE);
      break;
    case WindowState::Maximized:
      ShowWindow(hwnd_, SW_MAXIMIZE);
      break;
  }
}

void FormNative::Update(native::Change what) {
  if (hwnd_ == nullptr) return;
  using native::Change;
  switch (what) {
    case Change::Visible:
      ShowWindow(hwnd_, form_.Visible() ? SW_SHOW : SW_HIDE);
      break;
    case Change::State:
      ApplyWindowState();
      break;
    case Change::DoubleBuffer:
      UpdateListViewBuffering(form_);
      InvalidateRect(hwnd_, nullptr, FALSE);
      break;
    case Change::Bounds: {
      const FlagHeld placing(placing_);
      WindowNative::Update(what);
      break;
    }
    case Change::Font:  // the form shows no text of its own; its controls get their own change
    case Change::Hint:
      break;
    default:
      WindowNative::Update(what);
  }
}

bool FormNative::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  switch (message) {
    case WM_GETMINMAXINFO: {
      // The system keeps every sizing of the window (the user's and SetWindowPos) within these.
      auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
      info->ptMinTrackSize.x = std::max<LONG>(info->ptMinTrackSize.x, form_.MinWidth());
      info->ptMinTrackSize.y = std::max<LONG>(info->ptMinTrackSize.y, form_.MinHeight());
      result = 0;
      return true;
    }
    case WM_SIZE:
      // (SIZE_MAXSHOW and SIZE_MAXHIDE tell of other windows.)
      if (!ready_) return false;
      // A hidden window that changes size (its scroll bars come or go) is "restored" to the system: the
      // state the form is to show in stays the form's own until it shows.
      if (wParam == SIZE_MINIMIZED) {
        if (IsWindowVisible(hwnd_)) form_.NativeWindowStateChanged(WindowState::Minimized);
      } else if (wParam == SIZE_RESTORED || wParam == SIZE_MAXIMIZED) {
        if (IsWindowVisible(hwnd_)) {
          form_.NativeWindowStateChanged(wParam == SIZE_MAXIMIZED ? WindowState::Maximized
                                                                  : WindowState::Normal);
        }
        ReportBounds();
      }
      return false;
    case WM_MOVE:
      if (ready_ && !IsIconic(hwnd_)) ReportBounds();
      return false;
    case WM_CLOSE:
      form_.NativeCloseRequested();
      result = 0;
      return true;
    case WM_DPICHANGED:
      // (The two resolutions of the word are the same: the vertical one is the one fonts go by.)
      TakeDpi(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
      result = 0;
      return true;
    case WM_ACTIVATE:
      if (LOWORD(wParam) != WA_INACTIVE) FormActivated(hwnd_);
      if (LOWORD(wParam) == WA_INACTIVE) {
        const HWND focus = GetFocus();
        if (focus != nullptr && IsChild(hwnd_, focus)) lastFocus_ = focus;
      } else if (HIWORD(wParam) == 0) {
        // Back to the control that had the focus, or the first in tab order.
        HWND target = lastFocus_;
        if (target == nullptr || !IsWindow(target) || !IsChild(hwnd_, target) || !IsWindowVisible(target) ||
            !IsWindowEnabled(target)) {
          target = GetNextDlgTabItem(hwnd_, nullptr, FALSE);
        }
        SetFocus(target != nullptr ? target : hwnd_);
      }
      result = 0;
      return true;
    case WM_ERASEBKGND:
      result = 1;
      return true;
    case WM_PAINT:
      PaintWindow([this](HDC dc, const RECT& client) { FillRect(dc, &client, ColorBrush()); });
      result = 0;
      return true;
    case WM_HSCROLL:
    case WM_VSCROLL:
      // (A scroll-bar control of the form sends these with its handle; the form's own bars without.)
      if (lParam != 0 || !form_.AutoScroll()) return HandleContainerMessage(message, wParam, lParam, result);
      Scroll(message == WM_HSCROLL ? SB_HORZ : SB_VERT, LOWORD(wParam));
      result = 0;
      return true;
    case WM_MOUSEWHEEL:
      if (!form_.AutoScroll() || (form_.HorzScrollRange() == 0 && form_.VertScrollRange() == 0)) return false;
      Wheel(GET_WHEEL_DELTA_WPARAM(wParam));
      result = 0;
      return true;
    default:
      return HandleContainerMessage(message, wParam, lParam, result);
  }
}

void FormNative::Scroll(int bar, int request) {
  SCROLLINFO info{};
  info.cbSize = sizeof(info);
  info.fMask = SIF_ALL;
  if (!GetScrollInfo(hwnd_, bar, &info)) return;
  const int line = ScaleForDpi(kScrollLine, form_.PixelsPerInch());
  const int page = std::max(static_cast<int>(info.nPage), 1);
  const int range = bar == SB_HORZ ? form_.HorzScrollRange() : form_.VertScrollRange();
  int position = bar == SB_HORZ ? form_.HorzScrollPos() : form_.VertScrollPos();
  switch (request) {
    case SB_LINEUP:
      position -= line;
      break;
    case SB_LINEDOWN:
      position += line;
      break;
    case SB_PAGEUP:
      position -= page;
      break;
    case SB_PAGEDOWN:
      position += page;
      break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION:
      // The 32-bit position (the message's own is 16 bits).
      position = info.nTrackPos;
      break;
    case SB_TOP:
      position = 0;
      break;
    case SB_BOTTOM:
      position = range;
      break;
    default:
      return;  // SB_ENDSCROLL
  }
  if (bar == SB_HORZ) {
    form_.ScrollTo(position, form_.VertScrollPos());
  } else {
    form_.ScrollTo(form_.HorzScrollPos(), position);
  }
}

void FormNative::Wheel(int delta) {
  UINT lines = 3;
  SystemParametersInfoA(SPI_GETWHEELSCROLLLINES, 0, &lines, 0);
  // A fine wheel reports parts of a notch: they add up until they make one.
  wheelRest_ += delta;
  const int notches = wheelRest_ / WHEEL_DELTA;
  wheelRest_ -= notches * WHEEL_DELTA;
  if (notches == 0 || lines == 0) return;
  const bool vertical = form_.VertScrollRange() > 0;
  const int page = vertical ? form_.ClientHeight() : form_.ClientWidth();
  const int step = lines == WHEEL_PAGESCROLL
                       ? page
                       : static_cast<int>(lines) * ScaleForDpi(kScrollLine, form_.PixelsPerInch());
  // Turned away from the user, the wheel shows what lies above (or, with no vertical bar, to the left).
  const int amount = -notches * step;
  if (vertical) {
    form_.ScrollTo(form_.HorzScrollPos(), form_.VertScrollPos() + amount);
  } else {
    form_.ScrollTo(form_.HorzScrollPos() + amount, form_.VertScrollPos());
  }
}

void FormNative::ApplyScroll() {
  if (hwnd_ == nullptr) return;
  const bool horz = form_.HorzScrollRange() > 0, vert = form_.VertScrollRange() > 0;
  ShowScrollBar(hwnd_, SB_HORZ, horz ? TRUE : FALSE);
  ShowScrollBar(hwnd_, SB_VERT, vert ? TRUE : FALSE);
  RECT client;
  GetClientRect(hwnd_, &client);
  const auto set = [this](int bar, int range, LONG page, int position) {
    SCROLLINFO info{};
    info.cbSize = sizeof(info);
    info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    info.nMin = 0;
    info.nMax = range - 1;
    info.nPage = static_cast<UINT>(std::max<LONG>(page, 0));
    info.nPos = position;
    SetScrollInfo(hwnd_, bar, &info, TRUE);
  };
  if (horz) set(SB_HORZ, form_.HorzScrollRange(), client.right, form_.HorzScrollPos());
  if (vert) set(SB_VERT, form_.VertScrollRange(), client.bottom, form_.VertScrollPos());
  for (Control* child : form_.Children()) {
    if (auto* native = dynamic_cast<WindowNative*>(child->Native())) native->Update(native::Change::Bounds);
  }
}

void FormNative::RequestFocus(HWND child) {
  lastFocus_ = child;
  if (hwnd_ != nullptr && GetActiveWindow() == hwnd_ && IsWindowVisible(child) && IsWindowEnabled(child)) {
    SetFocus(child);
  }
}

Control* FormNative::FocusedControl() const {
  if (hwnd_ == nullptr) return nullptr;
  const HWND focus = GetActiveWindow() == hwnd_ ? GetFocus() : lastFocus_;
  if (focus == nullptr || !IsChild(hwnd_, focus)) return nullptr;
  // The focus may be in a part of a control (the field of a combo box): the control is its ancestor.
  for (HWND window = focus; window != nullptr && window != hwnd_; window = GetParent(window)) {
    if (WindowNative* native = FindWindowNative(window)) return &native->GetControl();
  }
  return nullptr;
}

// ---- Panels -----------------------------------------------------------------------------------------

namespace {

class PanelNative : public WindowNative {
 public:
  explicit PanelNative(Panel& panel) : WindowNative(panel), panel_(panel) {}

  bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override {
    switch (message) {
      case WM_ERASEBKGND:
        result = 1;
        return true;
      case WM_PAINT:
        PaintWindow([this](HDC dc, const RECT& client) { Paint(dc, client); });
        result = 0;
        return true;
      default:
        return HandleContainerMessage(message, wParam, lParam, result);
    }
  }

 private:
  void Paint(HDC dc, const RECT& client) {
    FillRect(dc, &client, ColorBrush());
    if (panel_.BevelOuter()) {
      // A raised bevel one pixel wide: button highlight at the top left, button shadow at the bottom right.
      RECT edge = client;
      DrawEdge(dc, &edge, BDR_RAISEDINNER, BF_RECT);
    }
    if (!panel_.Caption().empty()) {
      const DcSelection font(dc, font_.get());
      SetBkMode(dc, TRANSPARENT);
      SetTextColor(dc, ToColorRef(panel_.GetFont().color));
      RECT text = client;
      DrawTextA(dc, panel_.Caption().c_str(), -1, &text,
                DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    }
  }

  Panel& panel_;
};

// ---- Labels, buttons, check boxes -------------------------------------------------------------------

class LabelNative : public WindowNative {
 public:
  explicit LabelNative(Label& label) : WindowNative(label), label_(label) {}

  void Create() {
    DWORD style = SS_NOPREFIX | SS_NOTIFY;
    switch (label_.Alignment()) {
      case TextAlign::Left:
        style |= label_.WordWrap() ? SS_LEFT : SS_LEFTNOWORDWRAP;
        break;
      case TextAlign::Center:
        style |= SS_CENTER;
        break;
      case TextAlign::Right:
        style |= SS_RIGHT;
        break;
    }
    CreateChild("STATIC", style, 0, false);
  }

  HBRUSH ControlColors(HDC dc) override {
    SetTextColor(dc, ToColorRef(label_.GetFont().color));
    const Control* parent = label_.Parent();
    // Without a colour of its own the label shows its parent's background.
    if (label_.HasOwnColor() || parent == nullptr) {
      SetBkColor(dc, ToColorRef(label_.Color()));
      return ColorBrush();
    }
    SetBkColor(dc, ToColorRef(parent->Color()));
    return ParentBackground();
  }

 private:
  Label& label_;
};

class ButtonNative : public WindowNative {
 public:
  explicit ButtonNative(Button& button) : WindowNative(button), button_(button) {}

  bool Command(int code) override {
    if (code != BN_CLICKED) return false;
    button_.Click();
    return true;
  }

  HBRUSH ControlColors(HDC) override { return ParentBackground(); }

 private:
  Button& button_;
};

class CheckBoxNative : public WindowNative {
 public:
  explicit CheckBoxNative(CheckBox& checkBox) : WindowNative(checkBox), checkBox_(checkBox) {}

  void Create() {
    CreateChild("BUTTON", BS_AUTOCHECKBOX | WS_TABSTOP, 0, false);
    SendMessageA(hwnd_, BM_SETCHECK, checkBox_.Checked() ? BST_CHECKED : BST_UNCHECKED, 0);
  }

  void Update(native::Change what) override {
    if (what == native::Change::Checked && hwnd_ != nullptr) {
      SendMessageA(hwnd_, BM_SETCHECK, checkBox_.Checked() ? BST_CHECKED : BST_UNCHECKED, 0);
      return;
    }
    WindowNative::Update(what);
  }

  bool Command(int code) override {
    if (code != BN_CLICKED) return false;
    // The box has toggled itself; the class learns the new state (and runs OnClick) only if it changed.
    const bool checked = SendMessageA(hwnd_, BM_GETCHECK, 0, 0) == BST_CHECKED;
    if (checked != checkBox_.Checked()) checkBox_.SetChecked(checked);
    return true;
  }

  HBRUSH ControlColors(HDC dc) override {
    SetTextColor(dc, ToColorRef(checkBox_.GetFont().color));
    if (const Control* parent = checkBox_.Parent()) SetBkColor(dc, ToColorRef(parent->Color()));
    return ParentBackground();
  }

 private:
  CheckBox& checkBox_;
};

// ---- Images -----------------------------------------------------------------------------------------

class ImageNative : public WindowNative {
 public:
  explicit ImageNative(Image& image) : WindowNative(image), image_(image) {}

  void Update(native::Change what) override {
    if (what == native::Change::Picture && hwnd_ != nullptr) {
      InvalidateRect(hwnd_, nullptr, FALSE);
      return;
    }
    // The hint is a tool tip only for an image that shows its hint.
    if (what == native::Change::Hint && !image_.ShowHint()) return;
    WindowNative::Update(what);
  }

  bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override {
    switch (message) {
      case WM_ERASEBKGND:
        result = 1;
        return true;
      case WM_PAINT:
        PaintWindow([this](HDC dc, const RECT& client) { Paint(dc, client); });
        result = 0;
        return true;
      case WM_LBUTTONUP:
        // The release that ends a double click is no click of its own.
        if (std::exchange(doubleClicked_, false)) return false;
        image_.NativeClick();
        return false;
      case WM_LBUTTONDBLCLK:
        doubleClicked_ = true;
        image_.NativeDblClick();
        return false;
      default:
        return HandleContainerMessage(message, wParam, lParam, result);
    }
  }

 private:
  void Paint(HDC dc, const RECT& client) {
    FillRect(dc, &client, ParentBackground());
    const TBitmap& picture = image_.Picture();
    if (picture.Empty()) return;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = picture.Width();
    info.bmiHeader.biHeight = picture.Height();  // bottom-up, as TBitmap holds its rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    // Centred, a picture larger than the control loses as much on each side; else it stands at the
    // top-left corner and loses its right and bottom parts.
    int left = 0, top = 0;
    if (image_.Center()) {
      left = (client.right - picture.Width()) / 2;
      top = (client.bottom - picture.Height()) / 2;
    }
    StretchDIBits(dc, left, top, picture.Width(), picture.Height(), 0, 0, picture.Width(), picture.Height(),
                  picture.Bits(), &info, DIB_RGB_COLORS, SRCCOPY);
  }

  Image& image_;
  bool doubleClicked_ = false;
};

}  // namespace

}  // namespace win32

// ---- Hooks ------------------------------------------------------------------------------------------

namespace native {

using namespace win32;

void Created(Component& component) {
  EnsureBackend();
  if (auto* form = dynamic_cast<Form*>(&component)) {
    auto native = std::make_unique<FormNative>(*form);
    native->Create();
    form->SetNative(std::move(native));
  } else if (auto* panel = dynamic_cast<Panel*>(&component)) {
    auto native = std::make_unique<PanelNative>(*panel);
    native->CreateChild(kPanelClass, WS_CLIPCHILDREN, WS_EX_CONTROLPARENT, true);
    panel->SetNative(std::move(native));
  } else if (auto* label = dynamic_cast<Label*>(&component)) {
    auto native = std::make_unique<LabelNative>(*label);
    native->Create();
    label->SetNative(std::move(native));
  } else if (auto* button = dynamic_cast<Button*>(&component)) {
    auto native = std::make_unique<ButtonNative>(*button);
    native->CreateChild("BUTTON", (button->IsDefault() ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON) | WS_TABSTOP, 0,
                        false);
    button->SetNative(std::move(native));
  } else if (auto* checkBox = dynamic_cast<CheckBox*>(&component)) {
    auto native = std::make_unique<CheckBoxNative>(*checkBox);
    native->Create();
    checkBox->SetNative(std::move(native));
  } else if (auto* image = dynamic_cast<Image*>(&component)) {
    auto native = std::make_unique<ImageNative>(*image);
    native->CreateChild(kImageClass, 0, 0, true);
    image->SetNative(std::move(native));
  } else if (auto* view = dynamic_cast<ListView*>(&component)) {
    CreateListViewNative(*view);
  } else if (auto* list = dynamic_cast<ImageList*>(&component)) {
    CreateImageListNative(*list);
  } else if (auto* item = dynamic_cast<MenuItem*>(&component)) {
    CreateMenuNative(*item);
  } else if (auto* timer = dynamic_cast<Timer*>(&component)) {
    CreateTimerNative(*timer);
  } else if (auto* colorDialog = dynamic_cast<ColorDialog*>(&component)) {
    CreateColorDialogNative(*colorDialog);
  }
  // Actions, font and save dialogs hold everything they need in their classes.
}

void Changed(Component& component, Change what) {
  if (auto* timer = dynamic_cast<Timer*>(&component)) {
    if (what == Change::State) UpdateTimer(*timer);
    return;
  }
  if (auto* native = dynamic_cast<WindowNative*>(component.Native())) native->Update(what);
}

void ShowForm(Form& form) {
  if (auto* native = dynamic_cast<FormNative*>(form.Native())) native->Show();
}

void HideForm(Form& form) {
  // A modal form gives the other forms back before it goes, so that one of them becomes active.
  EndModal(form);
  if (auto* native = dynamic_cast<FormNative*>(form.Native());
      native != nullptr && native->Hwnd() != nullptr) {
    ShowWindow(native->Hwnd(), SW_HIDE);
  }
}

void ScrollBarSize(const Form&, int& verticalWidth, int& horizontalHeight) {
  verticalWidth = GetSystemMetrics(SM_CXVSCROLL);
  horizontalHeight = GetSystemMetrics(SM_CYHSCROLL);
}

void ScrollChanged(Form& form) {
  if (auto* native = dynamic_cast<FormNative*>(form.Native())) native->ApplyScroll();
}

void FocusControl(Control& control) {
  auto* form = dynamic_cast<FormNative*>(control.OwnerForm().Native());
  const NativeData* native = control.Native();
  const auto child = native != nullptr ? static_cast<HWND>(native->WindowHandle()) : nullptr;
  // (The form itself needs nothing: its activation puts the focus where it was.)
  if (form == nullptr || child == nullptr || child == form->Hwnd()) return;
  form->RequestFocus(child);
}

Control* FocusedControl(const Form& form) {
  const auto* native = dynamic_cast<const FormNative*>(form.Native());
  return native != nullptr ? native->FocusedControl() : nullptr;
}

void NonClientSize(const Form& form, int& extraWidth, int& extraHeight) {
  const auto* native = dynamic_cast<const FormNative*>(form.Native());
  const HWND hwnd = native != nullptr ? native->Hwnd() : nullptr;
  if (hwnd != nullptr && !IsIconic(hwnd)) {
    RECT window, client;
    GetWindowRect(hwnd, &window);
    GetClientRect(hwnd, &client);
    // A window smaller than its frame has no client area to measure against.
    if (client.right > 0 && client.bottom > 0) {
      extraWidth = (window.right - window.left) - client.right;
      extraHeight = (window.bottom - window.top) - client.bottom;
      return;
    }
  }
  DWORD style = 0, exStyle = 0;
  FormStyles(form, style, exStyle);
  RECT frame{0, 0, 0, 0};
  const bool hasMenu = hwnd != nullptr ? GetMenu(hwnd) != nullptr : form.Menu() != nullptr;
  AdjustWindowRectEx(&frame, style, hasMenu ? TRUE : FALSE, exStyle);
  extraWidth = frame.right - frame.left;
  extraHeight = frame.bottom - frame.top;
}

}  // namespace native
}  // namespace ui
