#pragma once
// What the window probe and its hook library share: the key=value output form and the reading of a
// window's menu into it.
//
// Values are printed as 7-bit text so that scripts can compare them byte for byte: a backslash, a tab,
// a line break and every byte outside the printable ASCII range are written as escapes (\\, \t, \n,
// \r, \xNN). A menu item's caption is printed as GetMenuStringA gives it, with the tab and the
// shortcut text that follow the caption.

#include <windows.h>

#include <cstdio>
#include <string>
#include <string_view>

namespace winprobe {

inline std::string Escape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\\') {
      out += "\\\\";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (byte < 0x20 || byte >= 0x7F) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02x", byte);
      out += hex;
    } else {
      out += c;
    }
  }
  return out;
}

inline std::string Line(const std::string& key, const std::string& value) { return key + "=" + value + "\n"; }
inline std::string Line(const std::string& key, long long value) { return Line(key, std::to_string(value)); }

// The caption of the item at a position, exactly as the menu holds it (tab and shortcut text included).
inline std::string MenuItemText(HMENU menu, UINT position) {
  const int length = GetMenuStringA(menu, position, nullptr, 0, MF_BYPOSITION);
  if (length <= 0) return {};
  std::string text(static_cast<std::size_t>(length) + 1, '\0');
  const int copied = GetMenuStringA(menu, position, text.data(), length + 1, MF_BYPOSITION);
  text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
  return text;
}

// One line per item: "<prefix>.<i>=<caption>", then for a separator "<prefix>.<i>.separator=1", for a
// disabled item "<prefix>.<i>.enabled=0", for a checked one "<prefix>.<i>.checked=1", for a sub-menu its
// items below "<prefix>.<i>"; every level starts with "<prefix>.count=<n>". Returns false when the menu
// cannot be read from this process (the system keeps a menu in the process that made it, so another process
// may get -1 for its count).
inline bool AppendMenuLines(HMENU menu, const std::string& prefix, std::string& out, int depth = 0) {
  const int count = GetMenuItemCount(menu);
  if (count < 0) return false;
  out += Line(prefix + ".count", count);
  for (int i = 0; i < count; ++i) {
    const std::string key = prefix + "." + std::to_string(i);
    MENUITEMINFOA info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_SUBMENU;
    if (!GetMenuItemInfoA(menu, static_cast<UINT>(i), TRUE, &info)) return false;
    out += Line(key, Escape(MenuItemText(menu, static_cast<UINT>(i))));
    if (info.fType & MFT_SEPARATOR) out += Line(key + ".separator", 1);
    if (info.fState & MFS_DISABLED) out += Line(key + ".enabled", 0);
    if (info.fState & MFS_CHECKED) out += Line(key + ".checked", 1);
    if (info.hSubMenu != nullptr && depth < 4 && !AppendMenuLines(info.hSubMenu, key, out, depth + 1)) {
      return false;
    }
  }
  return true;
}

// The message the probe sends to a window of another process to have its hook read, inside that
// process, what only that process can read: wParam is the probe's window, which receives the lines as
// WM_COPYDATA; lParam says what to read.
inline UINT ReadMessage() { return RegisterWindowMessageA("WinProbe.Read"); }
constexpr LPARAM kReadMenu = 1;   // the menu bar's lines (AppendMenuLines with the prefix "menu")
constexpr LPARAM kReadFonts = 2;  // the font of every child window, in the order EnumChildWindows gives
// The dwData of that WM_COPYDATA: the lines were read (1), or not (0: no menu, an unknown request).
constexpr ULONG_PTR kLinesRead = 1;
constexpr ULONG_PTR kNothingRead = 0;

}  // namespace winprobe
