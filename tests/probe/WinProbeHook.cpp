// The probe's hook library. The system keeps a window's menu and fonts in the process that made them,
// so the probe installs this library's window-procedure hook on the window's thread: the system then
// loads the library into that process, and the hook reads them there when the probe asks for them and
// sends the lines back to the probe's window.

#include <windows.h>

#include <string>

#include "tests/probe/ProbeText.h"

namespace {

using winprobe::Escape;
using winprobe::Line;

struct FontList {
  std::string* out;
  int index = 0;
};

// "control.<i>.font.face", ".height" (the LOGFONT's lfHeight: negative = character height in pixels),
// ".weight" of each child window; "control.<i>.font.none=1" for a window that uses the system font.
BOOL CALLBACK ListFont(HWND child, LPARAM param) {
  auto& list = *reinterpret_cast<FontList*>(param);
  const std::string key = "control." + std::to_string(list.index++) + ".font";
  const auto font = reinterpret_cast<HFONT>(SendMessageA(child, WM_GETFONT, 0, 0));
  LOGFONTA logFont{};
  if (font == nullptr || GetObjectA(font, sizeof logFont, &logFont) != sizeof logFont) {
    *list.out += Line(key + ".none", 1);
    return TRUE;
  }
  *list.out += Line(key + ".face", Escape(logFont.lfFaceName));
  *list.out += Line(key + ".height", logFont.lfHeight);
  *list.out += Line(key + ".weight", logFont.lfWeight);
  return TRUE;
}

void Answer(HWND window, HWND reply, LPARAM request) {
  std::string lines;
  ULONG_PTR status = winprobe::kNothingRead;
  if (request == winprobe::kReadMenu) {
    if (HMENU menu = GetMenu(window); menu != nullptr && winprobe::AppendMenuLines(menu, "menu", lines)) {
      status = winprobe::kLinesRead;
    }
  } else if (request == winprobe::kReadFonts) {
    FontList list{&lines};
    EnumChildWindows(window, ListFont, reinterpret_cast<LPARAM>(&list));
    lines += Line("control.count", list.index);
    status = winprobe::kLinesRead;
  }
  COPYDATASTRUCT data{};
  data.dwData = status;
  data.cbData = static_cast<DWORD>(lines.size());
  data.lpData = lines.data();
  DWORD_PTR ignored = 0;
  SendMessageTimeoutA(reply, WM_COPYDATA, reinterpret_cast<WPARAM>(window), reinterpret_cast<LPARAM>(&data),
                      SMTO_ABORTIFHUNG, 5000, &ignored);
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK
    WinProbeCallWndProc(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HC_ACTION) {
    const auto* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (call->message == winprobe::ReadMessage() && call->wParam != 0) {
      // Nothing may escape into the system's hook chain.
      try {
        Answer(call->hwnd, reinterpret_cast<HWND>(call->wParam), call->lParam);
      } catch (...) {
      }
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}
