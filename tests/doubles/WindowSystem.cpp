// The headless backend's window system: a virtual screen. Its windows stand in z-order (the topmost
// band in front), each with a title, a rectangle, a visibility and a show state; the program's forms are
// windows of it that read their title, rectangle and state from the form, and whose show state the
// window functions change through the form as the system's messages would. The pixels a grab reads,
// the keyboard and a record of what the program did are the tests' to set and read
// (platform/ui/WindowSystemTesting.h).

#include <algorithm>
#include <array>
#include <exception>
#include <functional>
#include <list>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "imaging/Errors.h"
#include "platform/ui/UiNative.h"
#include "platform/ui/WindowSystem.h"
#include "platform/ui/WindowSystemTesting.h"
#include "tests/doubles/VirtualScreen.h"

namespace os {

namespace {

// Where the system parks a minimised window, and the size of its caption there.
constexpr int kParkedX = -32000, kParkedY = -32000, kParkedWidth = 160, kParkedHeight = 28;
// The frame of another program's window: its client area is the rectangle less these.
constexpr int kFrameSide = 4, kFrameTop = 30, kFrameBottom = 4;
// GetWindowTextA with a buffer of 4096 bytes reads at most 4095 of them.
constexpr std::size_t kTitleLimit = 4095;
// WINDOWPLACEMENT's flag: a minimised window returns to the maximised state.
constexpr unsigned kRestoreToMaximized = 2;
// A grab larger than this (in pixels) fails, as the system's bitmap would.
constexpr long long kMaxGrabPixels = 1LL << 28;

constexpr WindowHandle kDesktopHandle = 0x10010;
constexpr WindowHandle kFirstHandle = 0x10020;

enum class Kind { Desktop, Application, Form, Other };
enum class State { Normal, Minimized, Maximized };

struct Window {
  Kind kind = Kind::Other;
  ui::Form* form = nullptr;  // Kind::Form: the form whose window this is
  std::string title;         // not for forms (their caption)
  bool visible = false;      // for forms: the window's, which the system may change behind the form's back
  bool topmost = false;
  // Not for forms (their window state and restore bounds):
  State state = State::Normal;
  bool restoreToMaximized = false;  // minimised from the maximised state
  ScreenRect normal;
  // The positions WINDOWPLACEMENT holds for the minimised and maximised window (-1: none given).
  int minX = -1, minY = -1, maxX = -1, maxY = -1;
  // The invisible borders the desktop window manager leaves out of the frame bounds (none: it reports
  // no frame bounds for the window).
  std::optional<testing::FrameBorders> frameBorders;
};

struct Monitor {
  ScreenRect rect;
  int pixelsPerInch = 96;
};

struct KeyState {
  bool down = false;
  bool pressed = false;  // pressed since the previous query
};

struct Screen {
  std::unordered_map<WindowHandle, Window> windows;
  std::list<WindowHandle> z;  // the top-level windows, front first: the topmost band, then the rest
  std::unordered_map<WindowHandle, std::list<WindowHandle>::iterator> places;
  std::unordered_map<const ui::Form*, WindowHandle> forms;
  WindowHandle nextHandle = kFirstHandle;
  WindowHandle application = 0;
  WindowHandle active = 0;
  TBitmap pixels;
  std::function<void(WindowHandle)> onNextWindow;
  bool inNextWindowHandler = false;
  std::function<void()> onGrabDisplay;
  std::function<TBitmap(bool)> desktopScreenshot;
  std::optional<TErrorKind> screenStreamFailure = TErrorKind::ScreenshotServiceMissing;
  bool minimizeAllFails = false;
  std::array<KeyState, 256> keys{};
  // Hot keys (virtual key, modifiers) another program holds, and those this program holds.
  std::set<std::pair<int, unsigned>> hotKeysTaken, hotKeysGrabbed;
  std::vector<std::string> calls;
  long long slept = 0;
  std::vector<Monitor> monitors;  // besides the primary screen
};

Screen& S() {
  static Screen screen = [] {
    Screen made;
    made.windows[kDesktopHandle].kind = Kind::Desktop;
    return made;
  }();
  return screen;
}

void Record(std::string call) { S().calls.push_back(std::move(call)); }

Window* Find(WindowHandle handle) {
  const auto it = S().windows.find(handle);
  return it == S().windows.end() ? nullptr : &it->second;
}

// The application window stands in the z-order only while it shows.
bool InZOrder(const Window& window) {
  return window.kind == Kind::Form || window.kind == Kind::Other ||
         (window.kind == Kind::Application && window.visible);
}

ScreenRect ScreenArea() { return {0, 0, ui::native::ScreenWidth(), ui::native::ScreenHeight()}; }

// Every monitor, the primary screen first.
std::vector<Monitor> Monitors() {
  std::vector<Monitor> monitors{{ScreenArea(), ui::native::ScreenPixelsPerInch()}};
  monitors.insert(monitors.end(), S().monitors.begin(), S().monitors.end());
  return monitors;
}

ScreenRect VirtualArea() {
  ScreenRect area = ScreenArea();
  for (const Monitor& monitor : S().monitors) {
    area = {std::min(area.left, monitor.rect.left), std::min(area.top, monitor.rect.top),
            std::max(area.right, monitor.rect.right), std::max(area.bottom, monitor.rect.bottom)};
  }
  return area;
}

// The monitor that holds the largest part of the rectangle; the primary screen when none holds any.
Monitor MonitorOf(const ScreenRect& rect) {
  const std::vector<Monitor> monitors = Monitors();
  Monitor found = monitors.front();
  long long largest = 0;
  for (const Monitor& monitor : monitors) {
    const long long width = std::min(rect.right, monitor.rect.right) - std::max(rect.left, monitor.rect.left);
    const long long height =
        std::min(rect.bottom, monitor.rect.bottom) - std::max(rect.top, monitor.rect.top);
    if (width > 0 && height > 0 && width * height > largest) {
      largest = width * height;
      found = monitor;
    }
  }
  return found;
}

ScreenRect ParkedRect() { return {kParkedX, kParkedY, kParkedX + kParkedWidth, kParkedY + kParkedHeight}; }

ScreenRect FromBounds(const ui::Rect& r) { return {r.left, r.top, r.left + r.width, r.top + r.height}; }
ui::Rect ToBounds(const ScreenRect& r) { return {r.left, r.top, r.Width(), r.Height()}; }

State FormState(const ui::Form& form) {
  switch (form.GetWindowState()) {
    case ui::WindowState::Minimized:
      return State::Minimized;
    case ui::WindowState::Maximized:
      return State::Maximized;
    case ui::WindowState::Normal:
      break;
  }
  return State::Normal;
}

State StateOf(const Window& window) {
  return window.kind == Kind::Form ? FormState(*window.form) : window.state;
}

bool RestoresToMaximized(const Window& window) {
  if (window.kind == Kind::Form) {
    return window.form->GetWindowState() == ui::WindowState::Minimized &&
           window.form->RestoreState() == ui::WindowState::Maximized;
  }
  return window.state == State::Minimized && window.restoreToMaximized;
}

ScreenRect NormalRectOf(const Window& window) {
  return window.kind == Kind::Form ? FromBounds(window.form->RestoreBounds()) : window.normal;
}

ScreenRect RectOf(const Window& window) {
  switch (window.kind) {
    case Kind::Desktop:
      return ScreenArea();
    case Kind::Application:
      return {};
    case Kind::Form:
      return StateOf(window) == State::Minimized ? ParkedRect() : FromBounds(window.form->Bounds());
    case Kind::Other:
      break;
  }
  switch (window.state) {
    case State::Minimized:
      return ParkedRect();
    case State::Maximized:
      return ScreenArea();
    case State::Normal:
      break;
  }
  return window.normal;
}

ScreenRect ClientRectOf(const Window& window) {
  const ScreenRect rect = RectOf(window);
  if (window.kind == Kind::Desktop || window.kind == Kind::Application) return rect;
  if (window.kind == Kind::Form && StateOf(window) != State::Minimized) {
    // The frame the headless backend gives every form: borders of half its extra width at the left,
    // right and bottom, the caption bar (and menu bar) above; scroll bars lie inside it, at the right
    // and the bottom.
    int extraWidth = 0, extraHeight = 0;
    ui::StandardFrameSize(window.form->GetBorderStyle(), window.form->Menu() != nullptr, extraWidth,
                          extraHeight);
    const int border = extraWidth / 2;
    const int left = rect.left + border, top = rect.top + extraHeight - border;
    return {left, top, left + window.form->ClientWidth(), top + window.form->ClientHeight()};
  }
  const int width = std::max(rect.Width(), 0), height = std::max(rect.Height(), 0);
  const int left = rect.left + std::min(kFrameSide, width), top = rect.top + std::min(kFrameTop, height);
  return {left, top, left + std::max(width - 2 * kFrameSide, 0),
          top + std::max(height - kFrameTop - kFrameBottom, 0)};
}

bool VisibleOf(const Window& window) { return window.kind == Kind::Desktop || window.visible; }

std::string TitleOf(const Window& window) {
  const std::string& title = window.kind == Kind::Form ? window.form->Caption() : window.title;
  // GetWindowTextA: up to the first zero byte, at most what the buffer holds.
  return title.substr(0, std::min(title.find('\0'), kTitleLimit));
}

// ---- Z-order ----------------------------------------------------------------------------------------

// The first place behind the topmost band, not counting the window about to move there.
std::list<WindowHandle>::iterator FrontOfNormalBand(WindowHandle moving) {
  auto& z = S().z;
  auto it = z.begin();
  while (it != z.end() && (*it == moving || S().windows.at(*it).topmost)) ++it;
  return it;
}

void PlaceAt(WindowHandle handle, std::list<WindowHandle>::iterator where) {
  Screen& s = S();
  const auto place = s.places.find(handle);
  if (place != s.places.end()) {
    if (place->second == where) return;
    s.z.splice(where, s.z, place->second);
    return;
  }
  s.places[handle] = s.z.insert(where, handle);
}

// To the front of its band (the topmost windows' or the others').
void ToFront(WindowHandle handle) {
  if (S().windows.at(handle).topmost) {
    PlaceAt(handle, S().z.begin());
  } else {
    PlaceAt(handle, FrontOfNormalBand(handle));
  }
}

WindowHandle AddTopLevel(Window window) {
  Screen& s = S();
  const WindowHandle handle = s.nextHandle;
  s.nextHandle += 2;
  s.windows.emplace(handle, std::move(window));
  PlaceAt(handle, FrontOfNormalBand(handle));
  return handle;
}

// Takes a window out of the z-order (the application window when it hides).
void LeaveZOrder(WindowHandle handle) {
  Screen& s = S();
  if (const auto place = s.places.find(handle); place != s.places.end()) {
    s.z.erase(place->second);
    s.places.erase(place);
  }
}

// The application window's topmost state, which every form of the program follows: the forms change
// band from the back to the front, each to the front of its new band, and so keep their order.
void SetApplicationTopmost(Window& application, bool topmost) {
  application.topmost = topmost;
  std::vector<WindowHandle> forms;
  for (const WindowHandle handle : S().z) {
    if (S().windows.at(handle).kind == Kind::Form) forms.push_back(handle);
  }
  for (auto it = forms.rbegin(); it != forms.rend(); ++it) {
    Window& form = S().windows.at(*it);
    if (form.topmost == topmost) continue;
    form.topmost = topmost;
    ToFront(*it);
  }
}

bool ApplicationTopmost() {
  const Window* application = S().application != 0 ? Find(S().application) : nullptr;
  return application != nullptr && application->topmost;
}

void Remove(WindowHandle handle) {
  Screen& s = S();
  const auto it = s.windows.find(handle);
  if (it == s.windows.end()) return;
  if (it->second.kind == Kind::Form) s.forms.erase(it->second.form);
  if (const auto place = s.places.find(handle); place != s.places.end()) {
    s.z.erase(place->second);
    s.places.erase(place);
  }
  s.windows.erase(it);
  if (s.active == handle) s.active = 0;
}

// ---- Show states ------------------------------------------------------------------------------------

// Changes the show state as the system does: a form learns it as from the system's size message, and
// a form whose size the change alters realigns.
void SetState(Window& window, State state) {
  if (window.kind == Kind::Form) {
    ui::Form& form = *window.form;
    switch (state) {
      case State::Normal:
        form.NativeWindowStateChanged(ui::WindowState::Normal);
        break;
      case State::Minimized:
        form.NativeWindowStateChanged(ui::WindowState::Minimized);
        break;
      case State::Maximized:
        form.NativeWindowStateChanged(ui::WindowState::Maximized);
        break;
    }
    return;
  }
  if (window.kind != Kind::Other) return;
  if (state == State::Minimized && window.state != State::Minimized) {
    window.restoreToMaximized = window.state == State::Maximized;
  }
  if (state != State::Minimized) window.restoreToMaximized = false;
  window.state = state;
}

// A form's normal bounds, as the system reports a move or size; the form realigns when its size changed.
// On a monitor of another resolution the form learns that next, with the bounds the system suggests:
// the same place, the client area scaled with the resolution inside the frame.
void SetFormBounds(ui::Form& form, const ScreenRect& rect) {
  const ui::Rect bounds = ToBounds(rect);
  const bool resized = bounds.width != form.Width() || bounds.height != form.Height();
  form.NativeBoundsChanged(bounds);
  if (resized) form.NativeClientResized();
  const int from = form.PixelsPerInch(), to = MonitorOf(rect).pixelsPerInch;
  if (to == from) return;
  const auto scaled = [&](int n) {
    return static_cast<int>((static_cast<long long>(n) * to + from / 2) / from);
  };
  form.NativeDpiChanged(
      to, ui::Rect{bounds.left, bounds.top, scaled(form.ClientWidth()) + form.Width() - form.ClientWidth(),
                   scaled(form.ClientHeight()) + form.Height() - form.ClientHeight()});
}

// Brings the window to the front; an activated form of this program becomes the active window.
void Activate(WindowHandle handle, Window& window) {
  ToFront(handle);
  if (window.kind == Kind::Form) S().active = handle;
}

// The application window shows and hides as the program says, keeps its show state, and never takes
// the activation; it joins the z-order at the front of its band when it shows and leaves it when it
// hides.
void ApplyApplicationShow(WindowHandle handle, Window& window, int command) {
  switch (command) {
    case show::Hide:
      window.visible = false;
      LeaveZOrder(handle);
      return;
    case show::ShowMinimized:
    case show::Minimize:
    case 7:   // SW_SHOWMINNOACTIVE
    case 11:  // SW_FORCEMINIMIZE
      window.state = State::Minimized;
      break;
    case show::ShowMaximized:
      window.state = State::Maximized;
      break;
    case show::ShowNormal:
    case show::Restore:
    case 4:   // SW_SHOWNOACTIVATE
    case 10:  // SW_SHOWDEFAULT
      window.state = State::Normal;
      break;
    case show::Show:
    case 8:  // SW_SHOWNA
      break;
    default:
      return;  // not a show command: the system ignores it
  }
  if (!window.visible) {
    window.visible = true;
    ToFront(handle);
  }
}

void ApplyShowCommand(WindowHandle handle, Window& window, int command) {
  if (window.kind == Kind::Application) {
    ApplyApplicationShow(handle, window, command);
    return;
  }
  if (!InZOrder(window)) return;  // the desktop never changes
  const State state = StateOf(window);
  switch (command) {
    case show::Hide:
      window.visible = false;
      break;
    case show::Show:
    case 8:  // SW_SHOWNA
      if (!window.visible) {
        window.visible = true;
        if (command == show::Show) Activate(handle, window);
      }
      break;
    case show::ShowNormal:
    case show::Restore:
    case 4:   // SW_SHOWNOACTIVATE
    case 10:  // SW_SHOWDEFAULT
      if (state != State::Normal || !window.visible) {
        if (state == State::Minimized) {
          SetState(window, RestoresToMaximized(window) ? State::Maximized : State::Normal);
        } else if (state == State::Maximized) {
          SetState(window, State::Normal);
        }
        window.visible = true;
        if (command != 4) Activate(handle, window);
      }
      break;
    case show::ShowMinimized:
    case show::Minimize:
    case 7:   // SW_SHOWMINNOACTIVE
    case 11:  // SW_FORCEMINIMIZE
      SetState(window, State::Minimized);
      window.visible = true;
      break;
    case show::ShowMaximized:
      SetState(window, State::Maximized);
      window.visible = true;
      Activate(handle, window);
      break;
    default:
      break;  // not a show command: the system ignores it
  }
}

const char* ZOrderName(ZOrder where) {
  switch (where) {
    case ZOrder::Top:
      return "Top";
    case ZOrder::Bottom:
      return "Bottom";
    case ZOrder::Topmost:
      return "Topmost";
    case ZOrder::NoTopmost:
      return "NoTopmost";
  }
  return "?";
}

TBitmap& Pixels() {
  TBitmap& pixels = S().pixels;
  const ScreenRect area = VirtualArea();
  const int width = area.Width(), height = area.Height();
  if (pixels.Width() != width || pixels.Height() != height) {
    const TColor fill = pixels.FillColor();
    pixels.SetFillColor(clBlack);
    pixels.SetSize(width, height);
    pixels.SetFillColor(fill);
  }
  return pixels;
}

// The native object of a form in this backend: its window of the virtual screen, which goes with it.
class FormWindow : public ui::NativeData {
 public:
  // (os:: spelled out: NativeData has a member WindowHandle.)
  explicit FormWindow(os::WindowHandle handle) : handle_(handle) {}
  ~FormWindow() override { Remove(handle_); }
  FormWindow(const FormWindow&) = delete;
  FormWindow& operator=(const FormWindow&) = delete;

 private:
  os::WindowHandle handle_;
};

WindowHandle EnsureApplicationWindow() {
  Screen& s = S();
  if (s.application == 0) {
    s.application = s.nextHandle;
    s.nextHandle += 2;
    s.windows[s.application].kind = Kind::Application;
  }
  return s.application;
}

}  // namespace

// ---- Enumeration and reading ------------------------------------------------------------------------

WindowHandle TopWindow() { return S().z.empty() ? 0 : S().z.front(); }

WindowHandle NextWindow(WindowHandle window) {
  Screen& s = S();
  if (s.onNextWindow && !s.inNextWindowHandler) {
    // A copy: the handler may replace or remove itself.
    const auto handler = s.onNextWindow;
    struct Running {
      Running() { S().inNextWindowHandler = true; }
      ~Running() { S().inNextWindowHandler = false; }
    } running;
    handler(window);
  }
  const auto place = s.places.find(window);
  if (place == s.places.end()) return 0;
  const auto next = std::next(place->second);
  return next == s.z.end() ? 0 : *next;
}

std::string WindowTitle(WindowHandle window) {
  const Window* found = Find(window);
  return found != nullptr ? TitleOf(*found) : std::string();
}

bool WindowVisible(WindowHandle window) {
  const Window* found = Find(window);
  return found != nullptr && VisibleOf(*found);
}

bool WindowExists(WindowHandle window) { return Find(window) != nullptr; }

std::optional<ScreenRect> WindowRect(WindowHandle window) {
  const Window* found = Find(window);
  if (found == nullptr) return std::nullopt;
  return RectOf(*found);
}

std::optional<ScreenRect> ClientRectOnScreen(WindowHandle window) {
  const Window* found = Find(window);
  if (found == nullptr) return std::nullopt;
  return ClientRectOf(*found);
}

std::optional<ScreenRect> WindowFrameRect(WindowHandle window) {
  const Window* found = Find(window);
  if (found == nullptr) return std::nullopt;
  const ScreenRect rect = RectOf(*found);
  if (!found->frameBorders) return rect;
  const testing::FrameBorders& borders = *found->frameBorders;
  return ScreenRect{rect.left + borders.left, rect.top + borders.top, rect.right - borders.right,
                    rect.bottom - borders.bottom};
}

WindowHandle DesktopWindow() { return kDesktopHandle; }

ScreenRect VirtualScreen() { return VirtualArea(); }

// ---- Placement, order, activation -------------------------------------------------------------------

std::optional<WindowPlacement> GetPlacement(WindowHandle window) {
  const Window* found = Find(window);
  if (found == nullptr) return std::nullopt;
  WindowPlacement placement;
  placement.flags = RestoresToMaximized(*found) ? kRestoreToMaximized : 0;
  switch (StateOf(*found)) {
    case State::Normal:
      placement.showCmd = show::ShowNormal;
      break;
    case State::Minimized:
      placement.showCmd = show::ShowMinimized;
      break;
    case State::Maximized:
      placement.showCmd = show::ShowMaximized;
      break;
  }
  placement.minX = found->minX;
  placement.minY = found->minY;
  placement.maxX = found->maxX;
  placement.maxY = found->maxY;
  placement.normal = found->kind == Kind::Desktop ? ScreenArea() : NormalRectOf(*found);
  return placement;
}

bool SetPlacement(WindowHandle window, const WindowPlacement& placement) {
  Record("SetPlacement " + std::to_string(window));
  Window* found = Find(window);
  if (found == nullptr) return false;
  if (found->kind == Kind::Desktop) return true;
  found->minX = placement.minX;
  found->minY = placement.minY;
  found->maxX = placement.maxX;
  found->maxY = placement.maxY;
  const bool toMinimized = placement.showCmd == show::ShowMinimized || placement.showCmd == show::Minimize ||
                           placement.showCmd == 7;
  const bool restoreToMaximized = toMinimized && (placement.flags & kRestoreToMaximized) != 0;
  if (found->kind == Kind::Form) {
    // The normal bounds go to a form in its normal state; a form to be minimised passes through the
    // state it is to return to, so that it remembers those bounds and that state.
    ui::Form& form = *found->form;
    if (form.GetWindowState() != ui::WindowState::Normal)
      form.NativeWindowStateChanged(ui::WindowState::Normal);
    SetFormBounds(form, placement.normal);
    if (toMinimized) {
      form.NativeWindowStateChanged(restoreToMaximized ? ui::WindowState::Maximized
                                                       : ui::WindowState::Normal);
    }
  } else {
    found->normal = placement.normal;
    if (toMinimized) {
      found->state = restoreToMaximized ? State::Maximized : State::Normal;
    } else {
      found->state = State::Normal;
    }
    found->restoreToMaximized = false;
  }
  ApplyShowCommand(window, *found, placement.showCmd);
  return true;
}

void BringToTop(WindowHandle window) {
  Record("BringToTop " + std::to_string(window));
  Window* found = Find(window);
  if (found != nullptr && InZOrder(*found)) ToFront(window);
}

void ShowWindowAs(WindowHandle window, int command) {
  Record("ShowWindow " + std::to_string(window) + " " + std::to_string(command));
  if (Window* found = Find(window)) ApplyShowCommand(window, *found, command);
}

void RedrawNow(WindowHandle window) { Record("RedrawNow " + std::to_string(window)); }

void SetWindowZOrder(WindowHandle window, ZOrder where, bool show) {
  Record("SetWindowZOrder " + std::to_string(window) + " " + ZOrderName(where) + (show ? " show" : ""));
  Window* found = Find(window);
  if (found == nullptr || found->kind == Kind::Desktop) return;
  if (show && !found->visible) {
    found->visible = true;
    if (found->kind == Kind::Application) ToFront(window);
  }
  // HWND_BOTTOM also ends a window's topmost state; HWND_NOTOPMOST moves only a topmost window, to the
  // front of the others.
  bool move = true;
  const bool topmost = where == ZOrder::Topmost || (where == ZOrder::Top && found->topmost);
  if (where == ZOrder::NoTopmost) move = found->topmost;
  if (found->kind == Kind::Application) {
    // The forms follow the application window's topmost state.
    if (topmost != found->topmost) SetApplicationTopmost(*found, topmost);
  } else {
    found->topmost = topmost;
  }
  if (!move || !InZOrder(*found)) return;
  if (where == ZOrder::Bottom) {
    PlaceAt(window, S().z.end());
  } else {
    ToFront(window);
  }
}

WindowHandle ActiveWindow() { return Find(S().active) != nullptr ? S().active : 0; }

void ActivateWindow(WindowHandle window) {
  Record("ActivateWindow " + std::to_string(window));
  Window* found = Find(window);
  // Only a window of this program can become its active window.
  if (found != nullptr && found->kind == Kind::Form) Activate(window, *found);
}

bool MinimizeAllWindows() {
  Record("MinimizeAll");
  if (S().minimizeAllFails) return false;
  // Every visible window that has a minimise button: other programs' windows, and the sizeable forms
  // with caption buttons.
  const std::vector<WindowHandle> windows(S().z.begin(), S().z.end());
  for (const WindowHandle handle : windows) {
    Window* window = Find(handle);
    if (window == nullptr || !window->visible || StateOf(*window) == State::Minimized) continue;
    if (window->kind == Kind::Form && !window->form->MinimizeButton()) continue;
    SetState(*window, State::Minimized);
  }
  return true;
}

// (As the system's: the windows stay minimised.)
void EndMinimizeAll() {}

// ---- Pixels and keys --------------------------------------------------------------------------------

int DisplayWidth() { return ui::native::ScreenWidth(); }
int DisplayHeight() { return ui::native::ScreenHeight(); }

TBitmap GrabDisplay(int left, int top, int width, int height) {
  Record("GrabDisplay " + std::to_string(left) + " " + std::to_string(top) + " " + std::to_string(width) +
         " " + std::to_string(height));
  if (S().onGrabDisplay) S().onGrabDisplay();
  TBitmap grab;
  if (width <= 0 || height <= 0 || static_cast<long long>(width) * height > kMaxGrabPixels) return grab;
  const TBitmap& pixels = Pixels();
  // The display's depth, set while the grab has no pixels yet: the display's pixels hold what a display
  // of that depth holds already. Every pixel is written below: the part on the display from it, the
  // rest black.
  grab.SetBitsPerPixel(pixels.BitsPerPixel());
  grab.SetSizeForOverwrite(width, height);
  // The grab's corner in the pixels' coordinates, whose (0, 0) is the virtual screen's top-left corner,
  // and the part that lies on the display (64 bits: extreme arguments cannot wrap).
  const ScreenRect area = VirtualArea();
  const long long x = static_cast<long long>(left) - area.left, y0 = static_cast<long long>(top) - area.top;
  const long long x0 = std::max<long long>(x, 0);
  const long long x1 = std::min<long long>(x + width, pixels.Width());
  const TBitmap::Pixel32 black = TBitmap::ToPixel32(clBlack);
  for (int y = 0; y < height; ++y) {
    TBitmap::Pixel32* row = grab.ScanLine(y);
    const long long sourceY = y0 + y;
    if (sourceY < 0 || sourceY >= pixels.Height() || x0 >= x1) {
      std::fill(row, row + width, black);
      continue;
    }
    const TBitmap::Pixel32* source = pixels.ScanLine(static_cast<int>(sourceY));
    std::fill(row, row + (x0 - x), black);
    std::copy(source + x0, source + x1, row + (x0 - x));
    std::fill(row + (x1 - x), row + width, black);
  }
  return grab;
}

int AsyncKeyState(int virtualKey) {
  if (virtualKey < 0 || virtualKey >= static_cast<int>(S().keys.size())) return 0;
  KeyState& key = S().keys[static_cast<std::size_t>(virtualKey)];
  const int state = (key.down ? 0x8000 : 0) | (key.pressed ? 1 : 0);
  key.pressed = false;
  return state;
}

bool GrabHotKey(int virtualKey, unsigned modifiers) {
  if (S().hotKeysTaken.count({virtualKey, modifiers}) != 0) return false;
  S().hotKeysGrabbed.insert({virtualKey, modifiers});
  return true;
}

void ReleaseHotKey(int virtualKey, unsigned modifiers) { S().hotKeysGrabbed.erase({virtualKey, modifiers}); }
bool DesktopHidesWindows() { return static_cast<bool>(S().desktopScreenshot); }

TBitmap DesktopScreenshot(bool interactive) {
  Record(std::string("DesktopScreenshot") + (interactive ? " interactive" : ""));
  if (!S().desktopScreenshot) throw ELocalisedError(TErrorKind::ScreenshotServiceMissing, {"none"});
  return S().desktopScreenshot(interactive);
}

struct ScreenStream::Parts {};

ScreenStream::ScreenStream(const std::string& tokenFile) {
  Record("ScreenStream " + tokenFile);
  if (!S().desktopScreenshot) throw ELocalisedError(TErrorKind::ScreenshotServiceMissing, {"none"});
  if (S().screenStreamFailure) throw ELocalisedError(*S().screenStreamFailure, {});
}

ScreenStream::~ScreenStream() { Record("ScreenStream end"); }

TBitmap ScreenStream::Picture() {
  Record("ScreenStream picture");
  return S().desktopScreenshot(false);
}

bool DesktopOffersGlobalKeys() { return !DesktopHidesWindows(); }

void SleepMilliseconds(int milliseconds) {
  Record("Sleep " + std::to_string(milliseconds));
  milliseconds = std::max(milliseconds, 0);
  S().slept += milliseconds;
  ui::headless::PassTime(milliseconds);
}

// ---- The virtual screen, as tests control it --------------------------------------------------------

namespace testing {

WindowHandle AddWindow(const std::string& title, ScreenRect rect, bool visible) {
  Window window;
  window.kind = Kind::Other;
  window.title = title;
  window.visible = visible;
  window.normal = rect;
  return AddTopLevel(std::move(window));
}

void SetWindowTitle(WindowHandle window, const std::string& title) {
  Window* found = Find(window);
  if (found == nullptr || found->kind == Kind::Desktop) return;
  if (found->kind == Kind::Form) {
    found->form->SetCaption(title);
  } else {
    found->title = title;
  }
}

void MoveWindow(WindowHandle window, ScreenRect rect) {
  Window* found = Find(window);
  if (found == nullptr || !InZOrder(*found)) return;
  SetState(*found, State::Normal);
  if (found->kind == Kind::Form) {
    SetFormBounds(*found->form, rect);
  } else {
    found->normal = rect;
  }
}

void SetWindowVisible(WindowHandle window, bool visible) {
  Window* found = Find(window);
  if (found != nullptr && InZOrder(*found)) found->visible = visible;
}

void MinimizeWindow(WindowHandle window) {
  Window* found = Find(window);
  if (found != nullptr && InZOrder(*found)) SetState(*found, State::Minimized);
}

void CloseWindow(WindowHandle window) {
  Window* found = Find(window);
  if (found == nullptr) return;
  if (found->kind == Kind::Other) {
    Remove(window);
  } else if (found->kind == Kind::Form) {
    // The user's close request: the form's Close runs; its window goes with the form.
    ui::Form& form = *found->form;
    try {
      form.NativeCloseRequested();
    } catch (const std::exception& error) {
      form.App().HandleException(error);
    }
  }
}

std::vector<WindowHandle> ZOrder() { return {S().z.begin(), S().z.end()}; }

void OnNextWindow(std::function<void(WindowHandle)> handler) { S().onNextWindow = std::move(handler); }

TBitmap& DisplayPixels() { return Pixels(); }

void SetMinimizeAllFails(bool fails) { S().minimizeAllFails = fails; }

void SetHidingDesktop(std::function<TBitmap(bool interactive)> screenshot) {
  S().desktopScreenshot = std::move(screenshot);
}

void SetScreenStreamFailure(std::optional<TErrorKind> error) { S().screenStreamFailure = error; }

void AddMonitor(ScreenRect rect, int pixelsPerInch) { S().monitors.push_back({rect, pixelsPerInch}); }

void SetFrameBorders(WindowHandle window, std::optional<FrameBorders> borders) {
  if (Window* found = Find(window)) found->frameBorders = borders;
}

void SetKeyDown(int virtualKey, bool down) {
  if (virtualKey < 0 || virtualKey >= static_cast<int>(S().keys.size())) return;
  KeyState& key = S().keys[static_cast<std::size_t>(virtualKey)];
  if (down && !key.down) key.pressed = true;
  key.down = down;
}

void TapKey(int virtualKey) {
  if (virtualKey < 0 || virtualKey >= static_cast<int>(S().keys.size())) return;
  S().keys[static_cast<std::size_t>(virtualKey)].pressed = true;
}

void SetHotKeyTaken(int virtualKey, unsigned modifiers, bool taken) {
  if (taken) {
    S().hotKeysTaken.insert({virtualKey, modifiers});
  } else {
    S().hotKeysTaken.erase({virtualKey, modifiers});
  }
}

std::vector<std::pair<int, unsigned>> GrabbedHotKeys() {
  return {S().hotKeysGrabbed.begin(), S().hotKeysGrabbed.end()};
}

const std::vector<std::string>& WindowCalls() { return S().calls; }
void OnGrabDisplay(std::function<void()> handler) { S().onGrabDisplay = std::move(handler); }
void ClearWindowCalls() { S().calls.clear(); }

long long SleptMilliseconds() { return S().slept; }

}  // namespace testing

// ---- Hooks of the window classes --------------------------------------------------------------------

namespace headless {

std::unique_ptr<ui::NativeData> MakeFormWindow(ui::Form& form) {
  Window window;
  window.kind = Kind::Form;
  window.form = &form;
  window.topmost = ApplicationTopmost();
  const WindowHandle handle = AddTopLevel(std::move(window));
  S().forms[&form] = handle;
  return std::make_unique<FormWindow>(handle);
}

void FormShown(const ui::Form& form) {
  const auto it = S().forms.find(&form);
  if (it == S().forms.end()) return;
  Window& window = S().windows.at(it->second);
  window.visible = true;
  // A form shown while the application window is topmost is topmost too.
  if (ApplicationTopmost()) window.topmost = true;
  Activate(it->second, window);
}

void FormHidden(const ui::Form& form) {
  Screen& s = S();
  const auto it = s.forms.find(&form);
  if (it == s.forms.end()) return;
  s.windows.at(it->second).visible = false;
  if (s.active != it->second) return;
  s.active = 0;
  for (const WindowHandle handle : s.z) {
    const Window& other = s.windows.at(handle);
    if (other.kind == Kind::Form && other.visible && other.form->Showing()) {
      s.active = handle;
      break;
    }
  }
}

std::vector<ui::Form*> ShowingFormsFrontFirst() {
  std::vector<ui::Form*> forms;
  for (const WindowHandle handle : S().z) {
    const Window& window = S().windows.at(handle);
    if (window.kind == Kind::Form && window.form->Showing()) forms.push_back(window.form);
  }
  return forms;
}

void ApplicationTitleChanged(const std::string& title) {
  S().windows.at(EnsureApplicationWindow()).title = title;
}

void ResetScreen() {
  Screen& s = S();
  std::vector<WindowHandle> others;
  for (const WindowHandle handle : s.z) {
    if (s.windows.at(handle).kind == Kind::Other) others.push_back(handle);
  }
  for (const WindowHandle handle : others) Remove(handle);
  // The application window hides and ends its topmost state, and with it the forms'.
  if (Window* application = s.application != 0 ? Find(s.application) : nullptr) {
    if (application->topmost) SetApplicationTopmost(*application, false);
    *application = Window{.kind = Kind::Application, .title = application->title};
    LeaveZOrder(s.application);
  }
  s.pixels = TBitmap();
  s.onNextWindow = nullptr;
  s.onGrabDisplay = nullptr;
  s.desktopScreenshot = nullptr;
  s.screenStreamFailure = TErrorKind::ScreenshotServiceMissing;
  s.minimizeAllFails = false;
  s.monitors.clear();
  s.keys = {};
  s.hotKeysTaken.clear();
  s.hotKeysGrabbed.clear();
  s.calls.clear();
  s.slept = 0;
}

}  // namespace headless
}  // namespace os

namespace ui::native {

os::WindowHandle FormHandle(const Form& form) {
  const auto it = os::S().forms.find(&form);
  return it == os::S().forms.end() ? 0 : it->second;
}

os::WindowHandle ApplicationHandle(const Application& app) {
  const os::WindowHandle handle = os::EnsureApplicationWindow();
  os::S().windows.at(handle).title = app.Title();
  return handle;
}

}  // namespace ui::native
