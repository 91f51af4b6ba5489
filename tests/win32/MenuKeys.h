#pragma once
// Chooses an item of a pop-up menu the way a user does with the keyboard, for tests that open one:
// a thread timer waits until the menu's window shows (keys sent before the menu is tracking are lost,
// and a loaded machine may take a while to open it), then posts the keys. It ends the menu after five
// seconds without one, so that a failure cannot hang the test.

#include <windows.h>

#include <vector>

namespace menu_keys {

inline HWND target = nullptr;
inline std::vector<WPARAM> keys;
inline int waits = 0;

inline void CALLBACK Press(HWND, UINT, UINT_PTR id, DWORD) {
  const HWND menu = FindWindowA("#32768", nullptr);
  if (menu == nullptr || !IsWindowVisible(menu)) {
    if (++waits >= 100) {
      KillTimer(nullptr, id);
      EndMenu();
    }
    return;
  }
  KillTimer(nullptr, id);
  for (const WPARAM key : keys) {
    PostMessageA(target, WM_KEYDOWN, key, 0);
    PostMessageA(target, WM_KEYUP, key, 0xC0000000);
  }
}

// Starts the timer; the caller opens the menu (which runs its own loop) and kills the timer after.
inline UINT_PTR Start(HWND window, std::vector<WPARAM> sequence) {
  target = window;
  keys = std::move(sequence);
  waits = 0;
  return SetTimer(nullptr, 0, 50, &Press);
}

}  // namespace menu_keys
