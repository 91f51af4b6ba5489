#pragma once
// The window system as the capture tool sees it: the top-level windows of the whole desktop in
// z-order, their titles, rectangles and placements, raising and restoring them, minimising all of
// them, grabbing the display's pixels, and the asynchronous key state. Implemented by each backend:
// the real window system on Windows (USER32, GDI32, the shell's automation object), a virtual screen in
// the headless backend whose windows, pixels, keyboard and clock tests control (see
// platform/ui/WindowSystemTesting.h). The forms of platform/ui/Ui.h are windows of this system too.
// Rectangles and pixels are the monitors' own pixels on every monitor, whatever its resolution: the
// programs declare themselves aware of each monitor's resolution (their manifests), so the system
// neither scales their windows nor what they read of others'.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "imaging/Graphics.h"

namespace os {

// A window as the system numbers it, carried as a 32-bit integer in both Windows builds (the system
// keeps window handles within 32 bits; the 64-bit build sign-extends the value back into a handle) and
// written "%d"; 0 names no window.
using WindowHandle = std::int32_t;

// A rectangle in screen coordinates; right and bottom lie just outside it.
struct ScreenRect {
  int left = 0, top = 0, right = 0, bottom = 0;
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  bool Empty() const { return right <= left || bottom <= top; }
  bool operator==(const ScreenRect&) const = default;
};

// ---- Enumeration and reading ------------------------------------------------------------------------

// The topmost top-level window (GetTopWindow without a parent); 0 when there is none.
WindowHandle TopWindow();
// The next top-level window below this one in z-order (GetWindow with GW_HWNDNEXT); 0 after the last
// or for a window that no longer exists.
WindowHandle NextWindow(WindowHandle window);
// The window's title as GetWindowTextA reads it into a buffer of 4096 bytes: at most 4095 bytes; empty
// for a window without title or one that no longer exists.
std::string WindowTitle(WindowHandle window);
// True exactly when IsWindowVisible returns TRUE.
bool WindowVisible(WindowHandle window);
// True when the handle names an existing window (IsWindow).
bool WindowExists(WindowHandle window);
// GetWindowRect; nothing when the call fails (the window no longer exists).
std::optional<ScreenRect> WindowRect(WindowHandle window);
// The client area in screen coordinates: GetClientRect, moved by ClientToScreen of its top-left corner
// (x, y) to (x, y, right + x, bottom + y); nothing when GetClientRect fails.
std::optional<ScreenRect> ClientRectOnScreen(WindowHandle window);
// The window as it shows on the screen: the extended frame bounds the desktop window manager reports
// (DwmGetWindowAttribute with DWMWA_EXTENDED_FRAME_BOUNDS), which leave out the invisible resize
// borders that the window rectangle holds since Windows Vista's frames; where the system reports none
// (no desktop window manager, or Wine, which answers E_NOTIMPL), the window rectangle. Nothing when the
// window no longer exists.
std::optional<ScreenRect> WindowFrameRect(WindowHandle window);
// The desktop window (GetDesktopWindow); its rectangle is the primary screen's.
WindowHandle DesktopWindow();
// The virtual screen: the smallest rectangle around every monitor (SM_XVIRTUALSCREEN to
// SM_CYVIRTUALSCREEN), in the coordinates of the window rectangles and of GrabDisplay. The primary
// screen's top-left corner is (0, 0): a monitor left of or above it gives the virtual screen negative
// coordinates. With one monitor, the primary screen.
ScreenRect VirtualScreen();

// ---- Placement, order, activation -------------------------------------------------------------------

// ShowWindow commands, numbered as the system numbers them.
namespace show {
constexpr int Hide = 0;
constexpr int ShowNormal = 1;
constexpr int ShowMinimized = 2;
constexpr int ShowMaximized = 3;
constexpr int Show = 5;
constexpr int Minimize = 6;
constexpr int Restore = 9;
}  // namespace show

// A window's placement (WINDOWPLACEMENT): its show state and where it stands when normal, minimised
// and maximised.
struct WindowPlacement {
  unsigned flags = 0;
  int showCmd = show::ShowNormal;
  int minX = 0, minY = 0, maxX = 0, maxY = 0;
  ScreenRect normal;
  bool operator==(const WindowPlacement&) const = default;
};
std::optional<WindowPlacement> GetPlacement(WindowHandle window);
bool SetPlacement(WindowHandle window, const WindowPlacement& placement);

void BringToTop(WindowHandle window);                 // BringWindowToTop
void ShowWindowAs(WindowHandle window, int command);  // ShowWindow with a command of os::show
void RedrawNow(WindowHandle window);                  // UpdateWindow

// Where SetWindowPos puts a window in z-order.
enum class ZOrder { Top, Bottom, Topmost, NoTopmost };
// SetWindowPos with position and size unchanged (SWP_NOMOVE | SWP_NOSIZE), and SWP_SHOWWINDOW when
// show is true. Without SWP_NOACTIVATE the system also activates the window: under Wine that brings it
// to the top of its band even for Bottom (the active window stays in front).
void SetWindowZOrder(WindowHandle window, ZOrder where, bool show = false);

WindowHandle ActiveWindow();               // GetActiveWindow: this program's active window, or 0
void ActivateWindow(WindowHandle window);  // SetActiveWindow

// Minimises every window through the shell's automation object (CoInitialize, CoCreateInstance of the
// shell application object for IDispatch, IShellDispatch::MinimizeAll; the object is released and COM
// uninitialised before it returns). False when the object cannot be created or offers no
// IShellDispatch; nothing is minimised then. What MinimizeAll answers is not looked at (Wine's shell
// answers E_NOTIMPL and minimises nothing).
bool MinimizeAllWindows();
// Ends what MinimizeAllWindows began where the desktop keeps it as a mode: X11's showing-desktop mode,
// whose end shows every window again. Windows' MinimizeAll is no mode: its windows stay minimised and
// nothing happens here.
void EndMinimizeAll();

// ---- Pixels and keys --------------------------------------------------------------------------------

// The primary screen's size in pixels (HORZRES and VERTRES of the display).
int DisplayWidth();
int DisplayHeight();
// Copies width x height pixels of the display from (left, top), in virtual-screen coordinates (every
// monitor), into a new bitmap of the display's depth (CreateDCA("DISPLAY"), BitBlt with SRCCOPY into a
// bitmap of the program's own); parts outside the monitors read as the system leaves them. An empty
// bitmap when width or height is not positive or the copy fails.
TBitmap GrabDisplay(int left, int top, int width, int height);

// GetAsyncKeyState of the virtual key as its 16 bits: nonzero when the key is down now (0x8000) or was
// pressed since the previous query (0x0001); 0 for a code outside 0 to 255.
int AsyncKeyState(int virtualKey);

// ---- The hot key ------------------------------------------------------------------------------------

// The modifiers a hot key requires, combined with |.
namespace hot_key {
constexpr unsigned Shift = 1;
constexpr unsigned Control = 2;
constexpr unsigned Alt = 4;
}  // namespace hot_key

// Takes the virtual key with exactly these modifiers for this program: on X11 a grab of the key on the
// root window, whatever the lock keys (Caps Lock, Num Lock) are; its presses then come to this program
// instead of the focused window and count in AsyncKeyState's "pressed since" bit, also a press released
// before the next question (with the modifiers held at the press counted as pressed too). False when
// another program holds the key with these modifiers: nothing of it is taken then. On Windows nothing
// is taken (the key state is polled as it is) and the answer is true; likewise for a key the keyboard
// does not have. In a Wayland session the key (F1 to F24) is bound through the desktop's shortcut
// service, which checks the modifiers itself: each activation counts in AsyncKeyState's "pressed since"
// bit of the key (never the "down" bit, nor any of the modifiers); raises ELocalisedError HotKeyRefused
// when the desktop or the user refuses the key (nothing is taken then).
bool GrabHotKey(int virtualKey, unsigned modifiers);
// Gives back what GrabHotKey took of the key with these modifiers (nothing when it took nothing).
void ReleaseHotKey(int virtualKey, unsigned modifiers);

// One hot key held at a time, given back when another is grabbed, on Release and when it goes.
class HotKeyGrab {
 public:
  HotKeyGrab() = default;
  ~HotKeyGrab() { Release(); }
  HotKeyGrab(const HotKeyGrab&) = delete;
  HotKeyGrab& operator=(const HotKeyGrab&) = delete;

  // Holds the key with the modifiers (kept as it is when it is the one held): true when held, false
  // when another program holds it (then nothing is held).
  bool Grab(int virtualKey, unsigned modifiers) {
    if (held_ && key_ == virtualKey && modifiers_ == modifiers) return true;
    Release();
    if (!GrabHotKey(virtualKey, modifiers)) return false;
    held_ = true;
    key_ = virtualKey;
    modifiers_ = modifiers;
    return true;
  }
  void Release() {
    if (held_) ReleaseHotKey(key_, modifiers_);
    held_ = false;
  }
  bool Held() const { return held_; }

 private:
  bool held_ = false;
  int key_ = 0;
  unsigned modifiers_ = 0;
};
// ---- Desktops that keep their windows to themselves ---------------------------------------------------

// True on a desktop that shows a program neither the other programs' windows nor the display's pixels
// (a Wayland session): the walk above finds no window, GrabDisplay gives nothing, and the screen comes
// only through the desktop's screenshot service (DesktopScreenshot). VirtualScreen, DisplayWidth and
// DisplayHeight then give the size of the last picture the service gave (its real pixels, whatever
// the desktop's scale), and nothing before the first.
bool DesktopHidesWindows();
// A picture through the desktop's screenshot service: the whole screen, or (interactive) what the user
// picks in the desktop's own dialog (a window or an area). Raises ELocalisedError when the service
// cannot be reached (ScreenshotServiceMissing), refuses (ScreenshotRefused), the user cancels
// (ScreenshotCancelled) or its picture cannot be read (ScreenshotUnreadable); never gives an empty
// picture.
TBitmap DesktopScreenshot(bool interactive);
// The screen as a stream through the desktop's screen-cast service (a Wayland desktop's ScreenCast
// portal, its pictures through PipeWire), for automatic capture: the desktop asks the user when the
// stream starts; where it can remember the user's answer, its token for it is kept in tokenFile and
// handed back at the next start (also after a restart), which then asks nothing. Raises as
// DesktopScreenshot does; ScreenshotServiceMissing also where the desktop has no such service (each
// picture is then a DesktopScreenshot of its own). Ends the stream when it goes.
class ScreenStream {
 public:
  explicit ScreenStream(const std::string& tokenFile);
  ~ScreenStream();
  ScreenStream(const ScreenStream&) = delete;
  ScreenStream& operator=(const ScreenStream&) = delete;
  // The newest picture of the stream, waiting up to 10 s for the first; raises ScreenshotUnreadable
  // when none comes or the stream has ended (the user or the desktop stopped it).
  TBitmap Picture();

 private:
  struct Parts;
  std::unique_ptr<Parts> parts_;
};
// Whether the program can have a global key (the hot key that AsyncKeyState polls): everywhere but on a
// desktop that hides its windows (which keeps the keyboard to the window in front) and offers no
// shortcut service (the GlobalShortcuts portal); asked anew each time.
bool DesktopOffersGlobalKeys();

// Blocks the thread for the milliseconds (Sleep; a negative time counts as 0); no message is handled
// meanwhile.
void SleepMilliseconds(int milliseconds);

}  // namespace os
