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

}  // namespace wayland
