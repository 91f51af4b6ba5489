#pragma once
// The headless backend's virtual screen, as tests control it: windows that a test creates, moves,
// retitles, hides, minimises and closes (the program's own forms live there too), the pixels a grab
// reads, a virtual keyboard, and a record of what the program did to the windows. Only the headless
// backend implements these; ui::testing::Reset() resets the virtual screen too (no windows but the
// program's forms, the size of ui::testing::SetScreenSize, black pixels, no key down, empty record, no
// OnNextWindow or OnGrabDisplay handler, MinimizeAllWindows working, no time slept, no hot key held or
// taken, the primary screen the only monitor).
//
// How the virtual screen behaves, where the system leaves a choice:
// - Windows stand in z-order front to back: the topmost band first, then the others. A window made or
//   shown comes to the front of its band; BringToTop and SetWindowZOrder(Top) move it there;
//   SetWindowZOrder(Bottom) moves it behind all and ends its topmost state; NoTopmost moves a topmost
//   window to the front of the others (an ordinary window stays where it is).
// - ShowWindowAs: Hide hides; Show shows a hidden window and brings it to the front (a visible one is
//   left alone); ShowNormal and Restore return a minimised window to the state it was minimised from
//   (normal or maximised), a maximised one to normal, show a hidden one, and bring it to the front
//   (a visible normal window is left alone); ShowMinimized and Minimize minimise (and show) it in
//   place; ShowMaximized maximises, shows and brings it to the front. A maximised window covers the
//   screen exactly; a minimised one lies at (-32000, -32000), 160 x 28.
// - Placements: showCmd 1 (normal, also for hidden windows), 2 (minimised, with flag 2 when it returns
//   maximised) or 3 (maximised); the minimised and maximised positions are those last written (-1 at
//   first). SetPlacement takes the normal rectangle and then acts as ShowWindowAs of its showCmd.
// - The program's forms: a form's window reads its title (the caption), rectangle (the bounds) and
//   state from the form; the window functions change a form's state as the system's size messages
//   do (Form::NativeWindowStateChanged, NativeBoundsChanged, then realign when the size changed). A
//   form's window is visible while the form shows, unless ShowWindowAs hid it behind the form's back;
//   its client area lies inside the standard frame of ui::StandardFrameSize.
// - ActiveWindow is the program's own: the form shown or activated last (ActivateWindow of another
//   program's window changes nothing); when it hides, the frontmost showing form, else 0.
// - MinimizeAllWindows minimises every visible window that has a minimise button: other programs'
//   windows and the forms whose caption bar has one (ui::Form::MinimizeButton).
// - The desktop window is the screen and never changes.
// - The application window (ui::Application::Handle) has the application's title and a rectangle of no
//   size, and is hidden until the program shows it (ShowWindowAs with a show command, SetPlacement, or
//   SetWindowZOrder with show); ShowWindowAs Hide hides it again. It stands in the z-order (and in
//   ZOrder()) only while it shows, entering at the front of its band, and it never becomes the active
//   window. Its placement reads and writes like any other window's (showCmd 1 while normal, also while
//   hidden). SetWindowZOrder gives it the topmost state like any window, and every form follows that
//   state at once: made topmost, the forms move into the topmost band (keeping their order among
//   themselves), forms made or shown meanwhile are topmost too, and NoTopmost or Bottom on the
//   application window returns them all to the front of the others. Reset hides it and ends its topmost
//   state (and so the forms').
// - Handles are even numbers from 0x10020 up, never reused.

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "imaging/Errors.h"
#include "imaging/Graphics.h"
#include "platform/ui/WindowSystem.h"

namespace os::testing {

// A window of another program, placed in front of every other window but the topmost ones; returns its
// handle (handles are never reused). The client area is the window rectangle less a frame of 4 pixels
// at the left, right and bottom and 30 at the top (less where the window is smaller).
WindowHandle AddWindow(const std::string& title, ScreenRect rect, bool visible = true);
// (For a form's window: its caption.)
void SetWindowTitle(WindowHandle window, const std::string& title);
// The window becomes a normal window at the rectangle (a form takes it as its bounds).
void MoveWindow(WindowHandle window, ScreenRect rect);
void SetWindowVisible(WindowHandle window, bool visible);
// Minimises the window as the system does: its rectangle moves to (-32000, -32000) with the width and
// height of a minimised caption (160 x 28), its placement remembers the normal rectangle.
void MinimizeWindow(WindowHandle window);
// The window goes: its handle names no window from then on. For a form's window this is the user's
// close request instead (the form's Close runs, an error in it goes to the error box); the window goes
// with the form.
void CloseWindow(WindowHandle window);
// The windows front to back, as TopWindow and NextWindow walk them (the program's forms included).
std::vector<WindowHandle> ZOrder();

// Runs at every NextWindow call with the window it was asked about, before it answers (a test closes
// or adds windows in the middle of a walk with it). An empty function removes it.
void OnNextWindow(std::function<void(WindowHandle)> handler);

// Runs at every GrabDisplay call, before it reads the pixels (a test looks at what is on the screen at
// the moment of the grab). An empty function removes it.
void OnGrabDisplay(std::function<void()> handler);

// The display's pixels, which GrabDisplay reads (outside them it reads black): the whole virtual
// screen, its pixel (0, 0) at the virtual screen's top-left corner (os::VirtualScreen(), which is
// (0, 0) with one monitor). The grab has their depth, and a grab of more than 2^28 pixels fails
// (empty). Its size is the virtual screen's, black where it grows (add the monitors before painting).
TBitmap& DisplayPixels();

// A monitor beside the primary screen, which is the screen of ui::testing::SetScreenSize at (0, 0) with
// the resolution of ui::testing::SetScreenPixelsPerInch: where it lies on the virtual screen and its
// pixels per inch. Reset takes them away again. A form's window stands on the monitor that
// holds the largest part of it (the primary screen when none does); when MoveWindow or SetPlacement
// brings it onto a monitor of another resolution than the form's, the form learns that as from the
// system (Form::NativeDpiChanged), with the suggested bounds the system gives: the new position, and
// the client area scaled with the resolution inside the frame.
void AddMonitor(ScreenRect rect, int pixelsPerInch);

// The borders of a window that the desktop window manager leaves out of its frame bounds (the
// invisible resize borders of Windows 10 and later): WindowFrameRect is the window rectangle less
// them. Without them (nullopt, as every window starts) the system reports no frame bounds, as Wine and
// systems without the desktop window manager do, and WindowFrameRect is the window rectangle.
struct FrameBorders {
  int left = 0, top = 0, right = 0, bottom = 0;
};
void SetFrameBorders(WindowHandle window, std::optional<FrameBorders> borders);

// Makes MinimizeAllWindows fail (the shell object cannot be created) or work again.
void SetMinimizeAllFails(bool fails);

// Makes the system a desktop that hides its windows (os::DesktopHidesWindows), whose screenshot service
// answers through the handler (which may raise the service's errors) and which offers no global keys;
// an empty handler makes it the ordinary virtual screen again. VirtualScreen and the display's size
// stay those of the virtual screen.
void SetHidingDesktop(std::function<TBitmap(bool interactive)> screenshot);
// That desktop's screen-cast service: a stream's start raises the error of the kind (with no details),
// ScreenshotServiceMissing by default (no service); without one it starts, and each picture is the
// handler's non-interactive screenshot. Starts, pictures and ends are recorded ("ScreenStream
// TOKENFILE", "ScreenStream picture", "ScreenStream end").
void SetScreenStreamFailure(std::optional<TErrorKind> error);

// The virtual keyboard: a key held down reads nonzero at every AsyncKeyState (0x8000, with 0x0001 at the
// first query after it went down); a key tapped (pressed and released between two queries) reads
// nonzero (0x0001) at the next query only.
void SetKeyDown(int virtualKey, bool down);
void TapKey(int virtualKey);

// The hot keys (os::GrabHotKey): another program holds the key with exactly these modifiers (GrabHotKey
// of it fails) or no longer; and what this program holds, ordered by key and modifiers.
void SetHotKeyTaken(int virtualKey, unsigned modifiers, bool taken);
std::vector<std::pair<int, unsigned>> GrabbedHotKeys();

// What the program did, oldest first, one line each, for example "BringToTop 7", "ShowWindow 7 9",
// "SetPlacement 7", "SetWindowZOrder 7 Bottom show", "ActivateWindow 3", "RedrawNow 7", "MinimizeAll",
// "Sleep 350", "GrabDisplay 0 0 1280 1024" (every call, also one on a window that does not exist;
// reading calls are not recorded).
const std::vector<std::string>& WindowCalls();
void ClearWindowCalls();

// The milliseconds the program slept in all. Sleeping moves the virtual clock of ui::testing on
// without running timers (the thread is blocked); timers that fell due meanwhile run at the next
// ui::testing::AdvanceTime or message processing, once each.
long long SleptMilliseconds();

}  // namespace os::testing
