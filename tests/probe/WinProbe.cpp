// winprobe: reads what a running program shows, for the end-to-end test scripts. It runs under the same
// system (Wine prefix) as the program, finds the program's top-level window by its exact caption and
// prints what the system knows of it as key=value lines (see ProbeText.h for the escapes):
//
//   winprobe info CAPTION                      the window (with its caption buttons, scroll bars,
//                                              topmost state), its client area, its list view, its
//                                              child controls (class, text, bounds)
//   winprobe menu CAPTION                      the captions of the menu bar's items and their items
//   winprobe fonts CAPTION                     the font of each child control (face, LOGFONT height
//                                              and weight), numbered as info numbers the controls
//   winprobe boxes CAPTION                     the dialog boxes (class #32770) with the caption, such as
//                                              an error box, and the texts they show
//   winprobe windows CAPTION                   how many visible top-level windows carry the caption
//                                              (a program's main window and its progress box)
//   winprobe wait-window CAPTION TIMEOUT_MS    waits until the window is there
//   winprobe wait-items CAPTION COUNT TIMEOUT_MS [WINDOW_TIMEOUT_MS]
//                                              waits for the window, then until its list view holds
//                                              COUNT items; prints the time each wait took
//   winprobe move CAPTION LEFT TOP WIDTH HEIGHT   places the window
//   winprobe focus CAPTION                     makes it the foreground window
//   winprobe close CAPTION TIMEOUT_MS          asks it to close (WM_CLOSE) and waits for its process
//   winprobe clipboard                         the clipboard's sequence number (it grows at every change),
//                                              its formats, its text (CF_TEXT bytes in hex), its bitmap
//                                              (CF_BITMAP size, depth, corner colour), its Unicode
//                                              text (CF_UNICODETEXT code units in hex) and whether
//                                              CF_PALETTE is there
//   winprobe clipboard-set TEXT                replaces the clipboard's content by a text
//   winprobe clipboard-save FOLDER             writes the clipboard's picture blocks as files there:
//                                              the "PNG" format as clipboard.png, CF_DIB with a BMP
//                                              file header as clipboard-dib.bmp (each when present)
//   winprobe measure FACE POINTS DPI           the line height and the advance widths of the 256
//                                              one-byte strings of a font, as GDI measures them
//   winprobe items CAPTION                     the texts of every column of every item of the window's
//                                              list view, the first selected item, whether it is enabled
//   winprobe window TITLE LEFT TOP WIDTH HEIGHT RRGGBB [topmost]
//                                              shows a window filled with the colour until it is closed
//                                              (a capture target whose pixels are known)
//
// When several visible windows carry the caption, the one with a menu bar is taken (a program's main
// window rather than its progress box). The exit code is 0 on success, 1 when the window is not found,
// a wait ran out or a system call failed (the line "error=..." says why), 2 for a wrong command line.

#include <windows.h>
// After <windows.h>.
#include <commctrl.h>
#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "tests/probe/ProbeText.h"

namespace {

using winprobe::Escape;
using winprobe::Line;

using Clock = std::chrono::steady_clock;

// A failure that ends the probe with exit code 1 and an "error=" line.
struct ProbeError : std::runtime_error {
  using std::runtime_error::runtime_error;
};
// A wrong command line: exit code 2.
struct UsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

void Print(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

long long MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

void Pause() { std::this_thread::sleep_for(std::chrono::milliseconds(10)); }

int ToInt(const char* text, const char* what) {
  char* end = nullptr;
  const long value = std::strtol(text, &end, 10);
  if (end == text || *end != '\0') throw UsageError(std::string("not a number for ") + what + ": " + text);
  return static_cast<int>(value);
}

std::string Hex(unsigned long long value) {
  char text[32];
  std::snprintf(text, sizeof text, "0x%llx", value);
  return text;
}

// A function of the system looked up by name, as the type it has.
template <typename Function>
Function SystemFunction(const char* module, const char* name) {
  const HMODULE handle = GetModuleHandleA(module);
  if (handle == nullptr) return nullptr;
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(handle, name)));
}

// ---- Handles -----------------------------------------------------------------------------------------

class MemoryDc {
 public:
  MemoryDc() : dc_(CreateCompatibleDC(nullptr)) {
    if (dc_ == nullptr) throw ProbeError("CreateCompatibleDC failed");
  }
  ~MemoryDc() { DeleteDC(dc_); }
  MemoryDc(const MemoryDc&) = delete;
  MemoryDc& operator=(const MemoryDc&) = delete;
  HDC Get() const { return dc_; }

 private:
  HDC dc_;
};

// Selects a GDI object into a DC for its lifetime and deletes it afterwards.
class SelectedObject {
 public:
  SelectedObject(HDC dc, HGDIOBJ object) : dc_(dc), object_(object), old_(SelectObject(dc, object)) {}
  ~SelectedObject() {
    SelectObject(dc_, old_);
    DeleteObject(object_);
  }
  SelectedObject(const SelectedObject&) = delete;
  SelectedObject& operator=(const SelectedObject&) = delete;

 private:
  HDC dc_;
  HGDIOBJ object_, old_;
};

class OpenedClipboard {
 public:
  // Another program may hold the clipboard for a moment: try for a second.
  OpenedClipboard() {
    for (int attempt = 0; attempt < 100; ++attempt) {
      if (OpenClipboard(nullptr)) return;
      Pause();
    }
    throw ProbeError("the clipboard cannot be opened");
  }
  ~OpenedClipboard() { CloseClipboard(); }
  OpenedClipboard(const OpenedClipboard&) = delete;
  OpenedClipboard& operator=(const OpenedClipboard&) = delete;
};

class LockedGlobal {
 public:
  explicit LockedGlobal(HANDLE memory) : memory_(memory), data_(GlobalLock(memory)) {}
  ~LockedGlobal() {
    if (data_ != nullptr) GlobalUnlock(memory_);
  }
  LockedGlobal(const LockedGlobal&) = delete;
  LockedGlobal& operator=(const LockedGlobal&) = delete;
  const unsigned char* Bytes() const { return static_cast<const unsigned char*>(data_); }

 private:
  HANDLE memory_;
  void* data_;
};

class Library {
 public:
  explicit Library(const std::string& path) : module_(LoadLibraryA(path.c_str())) {
    if (module_ == nullptr) throw ProbeError("cannot load " + path);
  }
  ~Library() { FreeLibrary(module_); }
  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;
  HMODULE Get() const { return module_; }

 private:
  HMODULE module_;
};

class Hook {
 public:
  Hook(int type, HOOKPROC proc, HMODULE module, DWORD thread)
      : hook_(SetWindowsHookExA(type, proc, module, thread)) {
    if (hook_ == nullptr) throw ProbeError("SetWindowsHookExA failed");
  }
  ~Hook() { UnhookWindowsHookEx(hook_); }
  Hook(const Hook&) = delete;
  Hook& operator=(const Hook&) = delete;

 private:
  HHOOK hook_;
};

class ProcessHandle {
 public:
  explicit ProcessHandle(DWORD id, DWORD access = SYNCHRONIZE) : handle_(OpenProcess(access, FALSE, id)) {}
  ~ProcessHandle() {
    if (handle_ != nullptr) CloseHandle(handle_);
  }
  ProcessHandle(const ProcessHandle&) = delete;
  ProcessHandle& operator=(const ProcessHandle&) = delete;
  HANDLE Get() const { return handle_; }

 private:
  HANDLE handle_;
};

// ---- Finding the window ------------------------------------------------------------------------------

std::string WindowText(HWND window) {
  const int length = GetWindowTextLengthA(window);
  std::string text(static_cast<std::size_t>(std::max(length, 0)) + 1, '\0');
  const int copied = GetWindowTextA(window, text.data(), static_cast<int>(text.size()));
  text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
  return text;
}

// The text of a child control of another process: GetWindowText reads only captions across processes,
// so an edit field's text is asked for with WM_GETTEXT (at most 5 s for a program that hangs).
std::string ControlText(HWND control) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutA(control, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length))
    return WindowText(control);
  std::string text(static_cast<std::size_t>(length) + 1, '\0');
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutA(control, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                           SMTO_ABORTIFHUNG, 5000, &copied)) {
    return WindowText(control);
  }
  text.resize(std::min<std::size_t>(static_cast<std::size_t>(copied), text.size() - 1));
  return text;
}

std::string ClassOf(HWND window) {
  char name[256] = {};
  const int length = GetClassNameA(window, name, sizeof name);
  return std::string(name, length > 0 ? static_cast<std::size_t>(length) : 0);
}

struct CaptionSearch {
  const std::string* caption;
  HWND withMenu = nullptr;
  HWND first = nullptr;
};

BOOL CALLBACK MatchCaption(HWND window, LPARAM param) {
  auto& search = *reinterpret_cast<CaptionSearch*>(param);
  if (!IsWindowVisible(window) || WindowText(window) != *search.caption) return TRUE;
  if (search.first == nullptr) search.first = window;
  if (GetMenu(window) == nullptr) return TRUE;
  search.withMenu = window;
  return FALSE;
}

HWND FindTopLevel(const std::string& caption) {
  CaptionSearch search{&caption};
  EnumWindows(MatchCaption, reinterpret_cast<LPARAM>(&search));
  return search.withMenu != nullptr ? search.withMenu : search.first;
}

struct CaptionCount {
  const std::string* caption;
  int count = 0;
};

BOOL CALLBACK CountCaption(HWND window, LPARAM param) {
  auto& search = *reinterpret_cast<CaptionCount*>(param);
  if (IsWindowVisible(window) && WindowText(window) == *search.caption) ++search.count;
  return TRUE;
}

int CountTopLevels(const std::string& caption) {
  CaptionCount search{&caption};
  EnumWindows(CountCaption, reinterpret_cast<LPARAM>(&search));
  return search.count;
}

HWND RequireWindow(const std::string& caption) {
  const HWND window = FindTopLevel(caption);
  if (window == nullptr) throw ProbeError("no visible window with the caption \"" + caption + "\"");
  return window;
}

HWND WaitForWindow(const std::string& caption, int timeoutMs, Clock::time_point start) {
  for (;;) {
    if (const HWND window = FindTopLevel(caption); window != nullptr) return window;
    if (MillisecondsSince(start) >= timeoutMs) return nullptr;
    Pause();
  }
}

BOOL CALLBACK MatchListView(HWND child, LPARAM param) {
  if (ClassOf(child) != WC_LISTVIEWA) return TRUE;
  *reinterpret_cast<HWND*>(param) = child;
  return FALSE;
}

HWND FindListView(HWND window) {
  HWND found = nullptr;
  EnumChildWindows(window, MatchListView, reinterpret_cast<LPARAM>(&found));
  return found;
}

// A child's bounds in the client coordinates of the top-level window.
RECT BoundsIn(HWND top, HWND child) {
  RECT r{};
  GetWindowRect(child, &r);
  MapWindowPoints(HWND_DESKTOP, top, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

std::string RectLines(const std::string& prefix, const RECT& r) {
  return Line(prefix + ".left", r.left) + Line(prefix + ".top", r.top) +
         Line(prefix + ".width", r.right - r.left) + Line(prefix + ".height", r.bottom - r.top);
}

int ItemCount(HWND list) { return static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0)); }

std::string WindowLines(HWND window) {
  std::string out;
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  out += Line("window.hwnd", Hex(reinterpret_cast<UINT_PTR>(window)));
  out += Line("window.pid", process);
  // Wine's X11 driver names the X window of each top-level window in this property.
  out += Line("window.xid", Hex(reinterpret_cast<UINT_PTR>(GetPropA(window, "__wine_x11_whole_window"))));
  out += Line("window.caption", Escape(WindowText(window)));
  out += Line("window.class", Escape(ClassOf(window)));
  out += Line("window.maximized", IsZoomed(window) ? 1 : 0);
  // The caption-bar buttons, the scroll bars and the z-order band, as the window's styles say.
  const LONG_PTR style = GetWindowLongPtrA(window, GWL_STYLE);
  const LONG_PTR exStyle = GetWindowLongPtrA(window, GWL_EXSTYLE);
  out += Line("window.sysmenu", (style & WS_SYSMENU) != 0 ? 1 : 0);
  out += Line("window.minimizebox", (style & WS_MINIMIZEBOX) != 0 ? 1 : 0);
  out += Line("window.maximizebox", (style & WS_MAXIMIZEBOX) != 0 ? 1 : 0);
  out += Line("window.hscroll", (style & WS_HSCROLL) != 0 ? 1 : 0);
  out += Line("window.vscroll", (style & WS_VSCROLL) != 0 ? 1 : 0);
  out += Line("window.topmost", (exStyle & WS_EX_TOPMOST) != 0 ? 1 : 0);
  out += Line("window.foreground", GetForegroundWindow() == window ? 1 : 0);
  RECT outer{};
  GetWindowRect(window, &outer);
  out += RectLines("window", outer);
  RECT client{};
  GetClientRect(window, &client);
  out += Line("client.width", client.right) + Line("client.height", client.bottom);
  // Where the client area starts inside the window (a screenshot of the window includes its frame).
  POINT origin{0, 0};
  ClientToScreen(window, &origin);
  out += Line("client.offset_x", origin.x - outer.left) + Line("client.offset_y", origin.y - outer.top);
  using DpiForWindow = UINT(WINAPI*)(HWND);
  if (const auto dpiForWindow = SystemFunction<DpiForWindow>("user32.dll", "GetDpiForWindow")) {
    out += Line("window.dpi", dpiForWindow(window));
  }
  return out;
}

struct ChildList {
  HWND top;
  std::string* out;
  int index = 0;
};

BOOL CALLBACK ListChild(HWND child, LPARAM param) {
  auto& list = *reinterpret_cast<ChildList*>(param);
  const std::string key = "control." + std::to_string(list.index++);
  *list.out += Line(key + ".class", Escape(ClassOf(child)));
  *list.out += Line(key + ".text", Escape(ControlText(child)));
  *list.out += Line(key + ".visible", IsWindowVisible(child) ? 1 : 0);
  *list.out += RectLines(key, BoundsIn(list.top, child));
  return TRUE;
}

std::string InfoLines(HWND window) {
  std::string out = WindowLines(window);
  if (const HDC screen = GetDC(nullptr)) {
    out += Line("screen.dpi", GetDeviceCaps(screen, LOGPIXELSX));
    ReleaseDC(nullptr, screen);
  }
  if (const HWND list = FindListView(window)) {
    out += Line("listview.found", 1);
    out += Line("listview.items", ItemCount(list));
    out += Line("listview.selected", SendMessageA(list, LVM_GETSELECTEDCOUNT, 0, 0));
    out += Line("listview.first_selected",
                SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), MAKELPARAM(LVNI_SELECTED, 0)));
    out += RectLines("listview", BoundsIn(window, list));
  } else {
    out += Line("listview.found", 0);
  }
  ChildList children{window, &out};
  EnumChildWindows(window, ListChild, reinterpret_cast<LPARAM>(&children));
  out += Line("control.count", children.index);
  return out;
}

// The message boxes and other dialog boxes (class #32770) on screen with the caption, and their texts.
struct BoxSearch {
  const std::string* caption;
  std::string* out;
  int count = 0;
};

BOOL CALLBACK AppendStaticText(HWND child, LPARAM param) {
  if (ClassOf(child) == "Static" && IsWindowVisible(child)) {
    auto& text = *reinterpret_cast<std::string*>(param);
    const std::string own = WindowText(child);
    if (!own.empty()) text += (text.empty() ? "" : " ") + own;
  }
  return TRUE;
}

BOOL CALLBACK MatchBox(HWND window, LPARAM param) {
  auto& search = *reinterpret_cast<BoxSearch*>(param);
  if (!IsWindowVisible(window) || ClassOf(window) != "#32770" || WindowText(window) != *search.caption)
    return TRUE;
  std::string text;
  EnumChildWindows(window, AppendStaticText, reinterpret_cast<LPARAM>(&text));
  *search.out += Line("box." + std::to_string(search.count++) + ".text", Escape(text));
  return TRUE;
}

std::string BoxLines(const std::string& caption) {
  std::string out;
  BoxSearch search{&caption, &out};
  EnumWindows(MatchBox, reinterpret_cast<LPARAM>(&search));
  return out + Line("box.count", search.count);
}

// ---- The list view's items ------------------------------------------------------------------------------

// Memory in another process, released when the object goes.
class RemoteMemory {
 public:
  RemoteMemory(HANDLE process, SIZE_T size)
      : process_(process), address_(VirtualAllocEx(process, nullptr, size, MEM_COMMIT, PAGE_READWRITE)) {
    if (address_ == nullptr) throw ProbeError("VirtualAllocEx failed");
  }
  ~RemoteMemory() { VirtualFreeEx(process_, address_, 0, MEM_RELEASE); }
  RemoteMemory(const RemoteMemory&) = delete;
  RemoteMemory& operator=(const RemoteMemory&) = delete;
  char* Get() const { return static_cast<char*>(address_); }

 private:
  HANDLE process_;
  void* address_;
};

// The text of every column of every item of the window's list view (report style): item.N.C lines,
// with the item count and the first selected item. The texts live in the program's memory, so the
// request and its buffer are placed there.
std::string ItemLines(HWND window) {
  const HWND list = FindListView(window);
  if (list == nullptr) throw ProbeError("the window has no list view");
  DWORD id = 0;
  GetWindowThreadProcessId(list, &id);
  const ProcessHandle process(id, PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE);
  if (process.Get() == nullptr) throw ProbeError("the program's process cannot be opened");
  constexpr int kTextSize = 4096;
  const RemoteMemory remote(process.Get(), sizeof(LVITEMA) + kTextSize);
  char* const remoteText = remote.Get() + sizeof(LVITEMA);

  const HWND header = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0));
  const int columns = header != nullptr ? static_cast<int>(SendMessageA(header, HDM_GETITEMCOUNT, 0, 0)) : 1;
  const int count = ItemCount(list);
  std::string out = Line("items", count) + Line("columns", columns);
  out += Line("first_selected",
              SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), MAKELPARAM(LVNI_SELECTED, 0)));
  out += Line("enabled", IsWindowEnabled(list) ? 1 : 0);
  for (int item = 0; item < count; ++item) {
    for (int column = 0; column < std::max(columns, 1); ++column) {
      LVITEMA request{};
      request.iSubItem = column;
      request.pszText = remoteText;
      request.cchTextMax = kTextSize;
      SIZE_T done = 0;
      if (!WriteProcessMemory(process.Get(), remote.Get(), &request, sizeof request, &done))
        throw ProbeError("WriteProcessMemory failed");
      const int length = static_cast<int>(
          SendMessageA(list, LVM_GETITEMTEXTA, item, reinterpret_cast<LPARAM>(remote.Get())));
      std::string text(static_cast<std::size_t>(std::clamp(length, 0, kTextSize - 1)), '\0');
      if (!text.empty() && !ReadProcessMemory(process.Get(), remoteText, text.data(), text.size(), &done))
        throw ProbeError("ReadProcessMemory failed");
      out += Line("item." + std::to_string(item) + "." + std::to_string(column), Escape(text));
    }
  }
  return out;
}

// ---- A window to capture ---------------------------------------------------------------------------------

COLORREF targetColour = 0;

LRESULT CALLBACK TargetProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_ERASEBKGND: {
      RECT client{};
      GetClientRect(window, &client);
      const HBRUSH brush = CreateSolidBrush(targetColour);
      FillRect(reinterpret_cast<HDC>(wParam), &client, brush);
      DeleteObject(brush);
      return 1;
    }
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

// Shows a top-level window with the title, filled with one colour, until it is closed.
int RunTargetWindow(const std::string& title, int left, int top, int width, int height, COLORREF colour,
                    bool topmost) {
  targetColour = colour;
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = TargetProc;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  windowClass.lpszClassName = "WinProbeTarget";
  if (RegisterClassA(&windowClass) == 0) throw ProbeError("RegisterClass failed");
  const HWND window = CreateWindowExA(topmost ? WS_EX_TOPMOST : 0, windowClass.lpszClassName, title.c_str(),
                                      WS_OVERLAPPEDWINDOW, left, top, width, height, nullptr, nullptr,
                                      windowClass.hInstance, nullptr);
  if (window == nullptr) throw ProbeError("CreateWindowEx failed");
  ShowWindow(window, SW_SHOW);
  UpdateWindow(window);
  Print(WindowLines(window));
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return 0;
}

// ---- The menu ------------------------------------------------------------------------------------------

std::string ProbeDirectory() {
  std::vector<char> path(32768, '\0');
  const DWORD length = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
  std::string text(path.data(), length);
  const std::size_t slash = text.find_last_of("\\/");
  return slash == std::string::npos ? std::string() : text.substr(0, slash + 1);
}

// Receives the hook's answer (WM_COPYDATA) while the probe waits in SendMessageTimeout.
class ReplyWindow {
 public:
  ReplyWindow() {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = Proc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "WinProbeReply";
    RegisterClassA(&windowClass);
    window_ = CreateWindowExA(0, windowClass.lpszClassName, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                              windowClass.hInstance, nullptr);
    if (window_ == nullptr) throw ProbeError("the reply window cannot be created");
    SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }
  ~ReplyWindow() { DestroyWindow(window_); }
  ReplyWindow(const ReplyWindow&) = delete;
  ReplyWindow& operator=(const ReplyWindow&) = delete;

  HWND Get() const { return window_; }
  bool answered = false;
  ULONG_PTR status = 0;
  std::string lines;

 private:
  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COPYDATA) {
      if (auto* self = reinterpret_cast<ReplyWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA))) {
        const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        self->answered = true;
        self->status = data->dwData;
        self->lines.assign(static_cast<const char*>(data->lpData), data->cbData);
      }
      return TRUE;
    }
    return DefWindowProcA(window, message, wParam, lParam);
  }
  HWND window_ = nullptr;
};

// Lines read inside the window's own process by the hook library beside the probe.
std::string LinesThroughHook(HWND window, LPARAM request) {
  const Library library(ProbeDirectory() + "winprobe_hook.dll");
  const auto proc = reinterpret_cast<HOOKPROC>(
      reinterpret_cast<void*>(GetProcAddress(library.Get(), "WinProbeCallWndProc")));
  if (proc == nullptr) throw ProbeError("winprobe_hook.dll has no WinProbeCallWndProc");
  ReplyWindow reply;
  const Hook hook(WH_CALLWNDPROC, proc, library.Get(), GetWindowThreadProcessId(window, nullptr));
  DWORD_PTR ignored = 0;
  SendMessageTimeoutA(window, winprobe::ReadMessage(), reinterpret_cast<WPARAM>(reply.Get()), request,
                      SMTO_NORMAL, 10000, &ignored);
  if (!reply.answered) throw ProbeError("the window's process did not answer");
  if (reply.status != winprobe::kLinesRead) throw ProbeError("the window's process could not read it");
  return reply.lines;
}

std::string MenuLines(HWND window) {
  const HMENU menu = GetMenu(window);
  if (menu == nullptr) return Line("menu.count", 0);
  std::string lines;
  if (winprobe::AppendMenuLines(menu, "menu", lines)) return Line("menu.source", "direct") + lines;
  return Line("menu.source", "hook") + LinesThroughHook(window, winprobe::kReadMenu);
}

// ---- The clipboard -------------------------------------------------------------------------------------

std::string ClipboardLines() {
  const OpenedClipboard clipboard;
  std::string out = Line("clipboard.sequence", static_cast<long long>(GetClipboardSequenceNumber()));
  std::string formats;
  for (UINT format = EnumClipboardFormats(0); format != 0; format = EnumClipboardFormats(format)) {
    if (!formats.empty()) formats += ",";
    formats += std::to_string(format);
  }
  out += Line("clipboard.formats", formats);

  const bool hasText = IsClipboardFormatAvailable(CF_TEXT);
  out += Line("clipboard.text", hasText ? 1 : 0);
  if (hasText) {
    if (const HANDLE memory = GetClipboardData(CF_TEXT)) {
      const SIZE_T size = GlobalSize(memory);
      const LockedGlobal locked(memory);
      std::string hex;
      for (SIZE_T i = 0; locked.Bytes() != nullptr && i < size; ++i) {
        char byte[4];
        std::snprintf(byte, sizeof byte, "%02x", locked.Bytes()[i]);
        hex += byte;
      }
      out += Line("clipboard.text.size", static_cast<long long>(size));
      out += Line("clipboard.text.hex", hex);
    }
  }

  // The Unicode text as its UTF-16 code units, each four hexadecimal digits, up to the first zero.
  const bool hasUnicode = IsClipboardFormatAvailable(CF_UNICODETEXT);
  out += Line("clipboard.unicode", hasUnicode ? 1 : 0);
  if (hasUnicode) {
    if (const HANDLE memory = GetClipboardData(CF_UNICODETEXT)) {
      const SIZE_T units = GlobalSize(memory) / sizeof(WCHAR);
      const LockedGlobal locked(memory);
      const auto* text = reinterpret_cast<const WCHAR*>(locked.Bytes());
      std::string hex;
      for (SIZE_T i = 0; text != nullptr && i < units && text[i] != 0; ++i) {
        char unit[8];
        std::snprintf(unit, sizeof unit, "%04x", static_cast<unsigned>(text[i]));
        hex += unit;
      }
      out += Line("clipboard.unicode.hex", hex);
    }
  }

  const bool hasBitmap = IsClipboardFormatAvailable(CF_BITMAP);
  out += Line("clipboard.bitmap", hasBitmap ? 1 : 0);
  if (hasBitmap) {
    if (const auto bitmap = static_cast<HBITMAP>(GetClipboardData(CF_BITMAP))) {
      BITMAP info{};
      if (GetObjectA(bitmap, sizeof info, &info) == sizeof info) {
        out += Line("clipboard.bitmap.width", info.bmWidth);
        out += Line("clipboard.bitmap.height", info.bmHeight);
        out += Line("clipboard.bitmap.bpp", info.bmBitsPixel);
        // The colour of the top-left pixel, as rrggbb, from a top-down copy of the whole bitmap.
        BITMAPINFO request{};
        request.bmiHeader.biSize = sizeof request.bmiHeader;
        request.bmiHeader.biWidth = info.bmWidth;
        request.bmiHeader.biHeight = -info.bmHeight;
        request.bmiHeader.biPlanes = 1;
        request.bmiHeader.biBitCount = 32;
        request.bmiHeader.biCompression = BI_RGB;
        if (info.bmWidth > 0 && info.bmHeight > 0) {
          std::vector<DWORD> pixels(static_cast<std::size_t>(info.bmWidth) *
                                    static_cast<std::size_t>(info.bmHeight));
          const MemoryDc dc;
          if (GetDIBits(dc.Get(), bitmap, 0, static_cast<UINT>(info.bmHeight), pixels.data(), &request,
                        DIB_RGB_COLORS) == info.bmHeight) {
            char colour[16];
            std::snprintf(colour, sizeof colour, "%06lx", static_cast<unsigned long>(pixels[0] & 0xFFFFFFu));
            out += Line("clipboard.bitmap.topleft", colour);
          }
        }
      }
    }
  }
  out += Line("clipboard.palette", IsClipboardFormatAvailable(CF_PALETTE) ? 1 : 0);
  return out;
}

// Writes the data block of the format, after the header given, to the file; its size, or -1 when the
// clipboard has no such block.
long long SaveClipboardBlock(UINT format, std::vector<unsigned char> header, const std::string& file) {
  const HANDLE memory = format != 0 ? GetClipboardData(format) : nullptr;
  if (memory == nullptr) return -1;
  const SIZE_T size = GlobalSize(memory);
  const LockedGlobal locked(memory);
  if (locked.Bytes() == nullptr) throw ProbeError("GlobalLock failed");
  std::vector<unsigned char> bytes = std::move(header);
  bytes.insert(bytes.end(), locked.Bytes(), locked.Bytes() + size);
  std::FILE* out = std::fopen(file.c_str(), "wb");
  if (out == nullptr) throw ProbeError("cannot create " + file);
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
  if (std::fclose(out) != 0 || !written) throw ProbeError("cannot write " + file);
  return static_cast<long long>(size);
}

std::string SaveClipboardPictures(const std::string& folder) {
  const OpenedClipboard clipboard;
  std::string out = Line("clipboard.png.size",
                         SaveClipboardBlock(RegisterClipboardFormatA("PNG"), {}, folder + "\\clipboard.png"));
  // The BMP file header: signature, file size, two reserved words, the offset of the pixels (no colour
  // table follows a 24- or 32-bit DIB's 40-byte header).
  const HANDLE dib = GetClipboardData(CF_DIB);
  const DWORD fileSize = 14 + static_cast<DWORD>(dib != nullptr ? GlobalSize(dib) : 0);
  std::vector<unsigned char> header = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0};
  for (int i = 0; i < 4; ++i) header[2 + i] = static_cast<unsigned char>(fileSize >> (8 * i));
  out += Line("clipboard.dib.size", SaveClipboardBlock(CF_DIB, header, folder + "\\clipboard-dib.bmp"));
  return out;
}

void SetClipboardText(const std::string& text) {
  const OpenedClipboard clipboard;
  if (!EmptyClipboard()) throw ProbeError("the clipboard cannot be emptied");
  const HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
  if (memory == nullptr) throw ProbeError("GlobalAlloc failed");
  if (void* data = GlobalLock(memory)) {
    std::memcpy(data, text.c_str(), text.size() + 1);
    GlobalUnlock(memory);
  }
  // The clipboard owns the block once it took it.
  if (SetClipboardData(CF_TEXT, memory) == nullptr) {
    GlobalFree(memory);
    throw ProbeError("SetClipboardData failed");
  }
}

// ---- Text measuring ------------------------------------------------------------------------------------

std::string MeasureLines(const std::string& face, int points, int dpi) {
  LOGFONTA logFont{};
  logFont.lfHeight = -MulDiv(points, dpi, 72);
  logFont.lfWeight = FW_NORMAL;
  logFont.lfCharSet = DEFAULT_CHARSET;
  logFont.lfQuality = DEFAULT_QUALITY;
  lstrcpynA(logFont.lfFaceName, face.c_str(), LF_FACESIZE);
  const HFONT font = CreateFontIndirectA(&logFont);
  if (font == nullptr) throw ProbeError("the font cannot be created");
  const MemoryDc dc;
  const SelectedObject selected(dc.Get(), font);
  std::string out;
  char used[LF_FACESIZE] = {};
  GetTextFaceA(dc.Get(), LF_FACESIZE, used);
  out += Line("font.face", Escape(used));
  SIZE size{};
  GetTextExtentPoint32A(dc.Get(), "a", 1, &size);
  out += Line("font.line_height", size.cy);
  for (int code = 0; code < 256; ++code) {
    const char text = static_cast<char>(code);
    GetTextExtentPoint32A(dc.Get(), &text, 1, &size);
    out += Line("width." + std::to_string(code), size.cx);
  }
  return out;
}

// ---- Commands ------------------------------------------------------------------------------------------

int Run(int argc, char** argv) {
  if (argc < 2) throw UsageError("no command");
  const std::string command = argv[1];
  auto need = [&](int count) {
    if (argc != count + 2) throw UsageError(command + " takes " + std::to_string(count) + " arguments");
  };

  if (command == "info") {
    need(1);
    Print(InfoLines(RequireWindow(argv[2])));
  } else if (command == "menu") {
    need(1);
    Print(MenuLines(RequireWindow(argv[2])));
  } else if (command == "fonts") {
    need(1);
    Print(LinesThroughHook(RequireWindow(argv[2]), winprobe::kReadFonts));
  } else if (command == "boxes") {
    need(1);
    Print(BoxLines(argv[2]));
  } else if (command == "windows") {
    need(1);
    Print(Line("windows.count", CountTopLevels(argv[2])));
  } else if (command == "wait-window") {
    need(2);
    const auto start = Clock::now();
    const HWND window = WaitForWindow(argv[2], ToInt(argv[3], "the timeout"), start);
    Print(Line("found", window != nullptr ? 1 : 0) + Line("elapsed_ms", MillisecondsSince(start)));
    if (window == nullptr) return 1;
    Print(WindowLines(window));
  } else if (command == "wait-items") {
    if (argc != 5 && argc != 6) throw UsageError("wait-items takes 3 or 4 arguments");
    const int wanted = ToInt(argv[3], "the count");
    const int timeoutMs = ToInt(argv[4], "the timeout");
    const int windowTimeoutMs = argc == 6 ? ToInt(argv[5], "the window timeout") : 30000;
    const auto start = Clock::now();
    const HWND window = WaitForWindow(argv[2], windowTimeoutMs, start);
    Print(Line("window.found", window != nullptr ? 1 : 0) +
          Line("window.elapsed_ms", MillisecondsSince(start)));
    if (window == nullptr) return 1;
    const auto found = Clock::now();
    int items = -1;
    bool reached = false;
    for (;;) {
      if (const HWND list = FindListView(window)) items = ItemCount(list);
      reached = items >= wanted;
      if (reached || MillisecondsSince(found) >= timeoutMs || !IsWindow(window)) break;
      Pause();
    }
    Print(Line("items", items) + Line("items.reached", reached ? 1 : 0) +
          Line("items.elapsed_ms", MillisecondsSince(found)));
    return reached ? 0 : 1;
  } else if (command == "move") {
    need(5);
    const HWND window = RequireWindow(argv[2]);
    if (!SetWindowPos(window, nullptr, ToInt(argv[3], "left"), ToInt(argv[4], "top"), ToInt(argv[5], "width"),
                      ToInt(argv[6], "height"), SWP_NOZORDER | SWP_NOACTIVATE)) {
      throw ProbeError("SetWindowPos failed");
    }
    Print(WindowLines(window));
  } else if (command == "focus") {
    need(1);
    const HWND window = RequireWindow(argv[2]);
    SetForegroundWindow(window);
    Print(Line("foreground", GetForegroundWindow() == window ? 1 : 0));
  } else if (command == "close") {
    need(2);
    const int timeoutMs = ToInt(argv[3], "the timeout");
    const HWND window = RequireWindow(argv[2]);
    DWORD id = 0;
    GetWindowThreadProcessId(window, &id);
    const ProcessHandle process(id);
    const auto start = Clock::now();
    if (!PostMessageA(window, WM_CLOSE, 0, 0)) throw ProbeError("WM_CLOSE cannot be posted");
    bool exited = false;
    if (process.Get() != nullptr) {
      exited = WaitForSingleObject(process.Get(), static_cast<DWORD>(timeoutMs)) == WAIT_OBJECT_0;
    } else {
      while (IsWindow(window) && MillisecondsSince(start) < timeoutMs) Pause();
      exited = !IsWindow(window);
    }
    Print(Line("exited", exited ? 1 : 0) + Line("elapsed_ms", MillisecondsSince(start)));
    return exited ? 0 : 1;
  } else if (command == "items") {
    need(1);
    Print(ItemLines(RequireWindow(argv[2])));
  } else if (command == "window") {
    if (argc != 8 && argc != 9) throw UsageError("window takes 6 or 7 arguments");
    const unsigned long rgb = std::strtoul(argv[7], nullptr, 16);
    return RunTargetWindow(argv[2], ToInt(argv[3], "left"), ToInt(argv[4], "top"), ToInt(argv[5], "width"),
                           ToInt(argv[6], "height"), RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF),
                           argc == 9 && std::string(argv[8]) == "topmost");
  } else if (command == "clipboard") {
    need(0);
    Print(ClipboardLines());
  } else if (command == "clipboard-save") {
    need(1);
    Print(SaveClipboardPictures(argv[2]));
  } else if (command == "clipboard-set") {
    need(1);
    SetClipboardText(argv[2]);
    Print(Line("clipboard.set", 1));
  } else if (command == "measure") {
    need(3);
    Print(MeasureLines(argv[2], ToInt(argv[3], "the size"), ToInt(argv[4], "the resolution")));
  } else {
    throw UsageError("unknown command " + command);
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  // Lines end with LF alone, whatever the C runtime's text mode would make of them.
  _setmode(_fileno(stdout), _O_BINARY);
  // Rectangles in the screen's real pixels, not scaled for a program that is not dpi-aware.
  SetProcessDPIAware();
  try {
    return Run(argc, argv);
  } catch (const UsageError& error) {
    Print(Line("error", Escape(error.what())));
    std::fputs(
        "usage: winprobe "
        "info|menu|fonts|boxes|windows|wait-window|wait-items|move|focus|close|clipboard|clipboard-set|"
        "measure|items|"
        "window "
        "...\n",
        stderr);
    return 2;
  } catch (const std::exception& error) {
    Print(Line("error", Escape(error.what())));
    return 1;
  }
}
