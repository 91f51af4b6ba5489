#pragma once
// The Wayland session as the native window system sees it: whether the program runs in one, and what
// the desktop's portals have told of the screen so far. The X11 window system asks it at its start and
// keeps away from the display when the session is Wayland's (an XWayland display shows none of the
// native Wayland windows: a grab there is black).

#include <optional>

#include "platform/ui/WindowSystem.h"

namespace wayland {

// True when the session is a Wayland one: WAYLAND_DISPLAY is set, or XDG_SESSION_TYPE says "wayland".
// Read once; the answer holds for the program's life.
bool IsWaylandSession();

// The screen as the last picture of the screenshot service measured it (its pixels, from (0, 0));
// nothing before the first.
std::optional<os::ScreenRect> LastScreenSize();
// Notes the size of a picture of the whole screen (a screenshot's, a screen stream's).
void NoteScreenSize(const os::ScreenRect& size);

// The hot key through the desktop's GlobalShortcuts portal (GlobalShortcuts.cpp). Whether the portal
// offers the interface (asked anew each time: false when the bus or the portal cannot be reached).
bool PortalOffersGlobalShortcuts();
// Binds F1 to F24 (virtual keys 0x70 to 0x87) with the modifiers (os::hot_key) in a session of the
// portal of its own, closing the session of the key bound before; any other key binds nothing. Raises
// ELocalisedError HotKeyRefused when the desktop refuses the key or the user cancels its dialog, and
// ScreenshotServiceMissing when the portal cannot be reached; nothing stays bound then.
void BindHotKey(int virtualKey, unsigned modifiers);
// Closes the session of the bound key (nothing when none is bound).
void UnbindHotKey();
// The "pressed since the last question" bit (0x0001) when the bound key was activated since; 0 for any
// other key. Reads what the bus has brought without waiting.
int HotKeyState(int virtualKey);

}  // namespace wayland
