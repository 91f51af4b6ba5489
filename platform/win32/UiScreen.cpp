// The screen of the Win32 backend: the primary screen's size from the system metrics.

#include "platform/ui/UiNative.h"

// After the portable headers: <windows.h> defines RGB and GetRValue as macros, which Graphics.h
// declares as functions.
#include <windows.h>

namespace ui::native {

int ScreenWidth() { return GetSystemMetrics(SM_CXSCREEN); }

int ScreenHeight() { return GetSystemMetrics(SM_CYSCREEN); }

}  // namespace ui::native
