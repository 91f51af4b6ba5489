// The window system on Windows: the top-level windows through USER32 (their visible frames through the
// desktop window manager, where there is one), the display's pixels through a "DISPLAY" device context
// of GDI32, and minimising all windows through the shell's automation object.
// Window handles cross the interface as 32-bit integers: the system keeps user handles within 32 bits
// in the 64-bit build too, so the conversion loses nothing (sign-extended on the way back, as the
// system itself widens them).

#include "platform/ui/WindowSystem.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <type_traits>

#include "imaging/Errors.h"
#include "platform/win32/UiWin32.h"
// (<windows.h> first, through UiWin32.h: these need its types.)
#include <dwmapi.h>
#include <objbase.h>
#include <shldisp.h>

namespace os {

namespace {

HWND ToHwnd(WindowHandle window) { return reinterpret_cast<HWND>(static_cast<std::intptr_t>(window)); }

WindowHandle FromHwnd(HWND window) {
  return static_cast<WindowHandle>(reinterpret_cast<std::intptr_t>(window));
}

ScreenRect FromRect(const RECT& rect) {
  return {static_cast<int>(rect.left), static_cast<int>(rect.top), static_cast<int>(rect.right),
          static_cast<int>(rect.bottom)};
}

RECT ToRect(const ScreenRect& rect) { return {rect.left, rect.top, rect.right, rect.bottom}; }

// A device context that DeleteDC ends: one made by CreateDCA or CreateCompatibleDC.
using DcHandle = ui::win32::MemoryDcHandle;

DcHandle DisplayDc() { return DcHandle(CreateDCA("DISPLAY", nullptr, nullptr, nullptr)); }

// ---- The desktop window manager ---------------------------------------------------------------------

struct ModuleDeleter {
  void operator()(HMODULE module) const { FreeLibrary(module); }
};
using ModuleHandle = std::unique_ptr<std::remove_pointer_t<HMODULE>, ModuleDeleter>;

// dwmapi.dll, loaded at the first question and kept until the program ends, and its
// DwmGetWindowAttribute: loaded by name, so that the programs still start where the system has no
// desktop window manager (Windows XP), which then reports no frame bounds.
class DesktopWindowManager {
 public:
  DesktopWindowManager() : module_(LoadLibraryA("dwmapi.dll")) {
    if (module_) {
      getAttribute_ = reinterpret_cast<decltype(&DwmGetWindowAttribute)>(
          reinterpret_cast<void*>(GetProcAddress(module_.get(), "DwmGetWindowAttribute")));
    }
  }

  // The window's extended frame bounds; nothing where the system has none to report (no desktop
  // window manager, composition off, or an answer like Wine's E_NOTIMPL) or reports an empty frame.
  std::optional<RECT> FrameBounds(HWND window) const {
    if (getAttribute_ == nullptr) return std::nullopt;
    RECT bounds{};
    if (FAILED(getAttribute_(window, DWMWA_EXTENDED_FRAME_BOUNDS, &bounds, sizeof(bounds))))
      return std::nullopt;
    if (bounds.right <= bounds.left || bounds.bottom <= bounds.top) return std::nullopt;
    return bounds;
  }

 private:
  ModuleHandle module_;
  decltype(&DwmGetWindowAttribute) getAttribute_ = nullptr;
};

const DesktopWindowManager& Dwm() {
  static const DesktopWindowManager dwm;
  return dwm;
}

// ---- The shell's automation object ------------------------------------------------------------------

// The shell application object {13709620-C279-11CE-A49E-444553540000}, asked for IDispatch
// {00020400-0000-0000-C000-000000000046} in every kind of server (CLSCTX_INPROC_SERVER,
// CLSCTX_LOCAL_SERVER and CLSCTX_REMOTE_SERVER), and its IShellDispatch interface
// {D8F015C0-C278-11CE-A49E-444553540000}.
constexpr CLSID kShellApplication = {
    0x13709620, 0xC279, 0x11CE, {0xA4, 0x9E, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
constexpr IID kIDispatch = {0x00020400, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr IID kIShellDispatch = {
    0xD8F015C0, 0xC278, 0x11CE, {0xA4, 0x9E, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
constexpr DWORD kAllServers = 0x15;

// CoInitialize for the calling thread, balanced by CoUninitialize when it succeeded (also when COM was
// initialised already, which it counts).
class ComInitialization {
 public:
  ComInitialization() : result_(CoInitialize(nullptr)) {}
  ~ComInitialization() {
    if (SUCCEEDED(result_)) CoUninitialize();
  }
  ComInitialization(const ComInitialization&) = delete;
  ComInitialization& operator=(const ComInitialization&) = delete;

 private:
  HRESULT result_;
};

// An interface pointer, released when this goes.
template <typename Interface>
class ComObject {
 public:
  ComObject() = default;
  ~ComObject() {
    if (object_ != nullptr) object_->Release();
  }
  ComObject(const ComObject&) = delete;
  ComObject& operator=(const ComObject&) = delete;
  Interface* operator->() const { return object_; }
  explicit operator bool() const { return object_ != nullptr; }
  // Where a call that hands out the interface puts it.
  void** Out() { return reinterpret_cast<void**>(&object_); }

 private:
  Interface* object_ = nullptr;
};

}  // namespace

// ---- Enumeration and reading ------------------------------------------------------------------------

WindowHandle TopWindow() { return FromHwnd(GetTopWindow(nullptr)); }

WindowHandle NextWindow(WindowHandle window) { return FromHwnd(GetWindow(ToHwnd(window), GW_HWNDNEXT)); }

std::string WindowTitle(WindowHandle window) {
  std::array<char, 4096> buffer{};
  const int length = GetWindowTextA(ToHwnd(window), buffer.data(), static_cast<int>(buffer.size()));
  return std::string(buffer.data(), static_cast<std::size_t>(std::clamp(length, 0, 4095)));
}

bool WindowVisible(WindowHandle window) { return IsWindowVisible(ToHwnd(window)) == TRUE; }

bool WindowExists(WindowHandle window) { return IsWindow(ToHwnd(window)) != FALSE; }

std::optional<ScreenRect> WindowRect(WindowHandle window) {
  RECT rect;
  if (!GetWindowRect(ToHwnd(window), &rect)) return std::nullopt;
  return FromRect(rect);
}

std::optional<ScreenRect> ClientRectOnScreen(WindowHandle window) {
  const HWND hwnd = ToHwnd(window);
  RECT client;
  if (!GetClientRect(hwnd, &client)) return std::nullopt;
  POINT origin{client.left, client.top};
  ClientToScreen(hwnd, &origin);
  return ScreenRect{static_cast<int>(origin.x), static_cast<int>(origin.y),
                    static_cast<int>(client.right + origin.x), static_cast<int>(client.bottom + origin.y)};
}

std::optional<ScreenRect> WindowFrameRect(WindowHandle window) {
  const HWND hwnd = ToHwnd(window);
  RECT rect;
  // The window must exist either way: a handle that names none has no rectangle to fall back on.
  if (!GetWindowRect(hwnd, &rect)) return std::nullopt;
  if (const std::optional<RECT> frame = Dwm().FrameBounds(hwnd)) return FromRect(*frame);
  return FromRect(rect);
}

WindowHandle DesktopWindow() { return FromHwnd(GetDesktopWindow()); }

ScreenRect VirtualScreen() {
  const int left = GetSystemMetrics(SM_XVIRTUALSCREEN), top = GetSystemMetrics(SM_YVIRTUALSCREEN);
  const int width = GetSystemMetrics(SM_CXVIRTUALSCREEN), height = GetSystemMetrics(SM_CYVIRTUALSCREEN);
  // (A system without these metrics answers 0: the primary screen then.)
  if (width <= 0 || height <= 0) return {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  return {left, top, left + width, top + height};
}

// ---- Placement, order, activation -------------------------------------------------------------------

std::optional<WindowPlacement> GetPlacement(WindowHandle window) {
  WINDOWPLACEMENT native{};
  native.length = sizeof(native);
  if (!GetWindowPlacement(ToHwnd(window), &native)) return std::nullopt;
  WindowPlacement placement;
  placement.flags = native.flags;
  placement.showCmd = static_cast<int>(native.showCmd);
  placement.minX = native.ptMinPosition.x;
  placement.minY = native.ptMinPosition.y;
  placement.maxX = native.ptMaxPosition.x;
  placement.maxY = native.ptMaxPosition.y;
  placement.normal = FromRect(native.rcNormalPosition);
  return placement;
}

bool SetPlacement(WindowHandle window, const WindowPlacement& placement) {
  WINDOWPLACEMENT native{};
  native.length = sizeof(native);
  native.flags = placement.flags;
  native.showCmd = static_cast<UINT>(placement.showCmd);
  native.ptMinPosition = {placement.minX, placement.minY};
  native.ptMaxPosition = {placement.maxX, placement.maxY};
  native.rcNormalPosition = ToRect(placement.normal);
  return SetWindowPlacement(ToHwnd(window), &native) != FALSE;
}

void BringToTop(WindowHandle window) { BringWindowToTop(ToHwnd(window)); }

void ShowWindowAs(WindowHandle window, int command) { ShowWindow(ToHwnd(window), command); }

void RedrawNow(WindowHandle window) { UpdateWindow(ToHwnd(window)); }

void SetWindowZOrder(WindowHandle window, ZOrder where, bool show) {
  HWND after = HWND_TOP;
  switch (where) {
    case ZOrder::Top:
      after = HWND_TOP;
      break;
    case ZOrder::Bottom:
      after = HWND_BOTTOM;
      break;
    case ZOrder::Topmost:
      after = HWND_TOPMOST;
      break;
    case ZOrder::NoTopmost:
      after = HWND_NOTOPMOST;
      break;
  }
  const UINT flags = SWP_NOMOVE | SWP_NOSIZE | (show ? SWP_SHOWWINDOW : 0);
  SetWindowPos(ToHwnd(window), after, 0, 0, 0, 0, flags);
}

WindowHandle ActiveWindow() { return FromHwnd(GetActiveWindow()); }

void ActivateWindow(WindowHandle window) { SetActiveWindow(ToHwnd(window)); }

bool MinimizeAllWindows() {
  // The object goes before COM is uninitialised: declared after it.
  const ComInitialization com;
  ComObject<IDispatch> shell;
  if (FAILED(CoCreateInstance(kShellApplication, nullptr, kAllServers, kIDispatch, shell.Out())) || !shell) {
    return false;
  }
  ComObject<IShellDispatch> dispatch;
  if (FAILED(shell->QueryInterface(kIShellDispatch, dispatch.Out())) || !dispatch) return false;
  dispatch->MinimizeAll();
  return true;
}

void EndMinimizeAll() {}

// ---- Pixels and keys --------------------------------------------------------------------------------

int DisplayWidth() {
  const DcHandle display = DisplayDc();
  return display ? GetDeviceCaps(display.get(), HORZRES) : 0;
}

int DisplayHeight() {
  const DcHandle display = DisplayDc();
  return display ? GetDeviceCaps(display.get(), VERTRES) : 0;
}

TBitmap GrabDisplay(int left, int top, int width, int height) {
  TBitmap grab;
  if (width <= 0 || height <= 0) return grab;
  const DcHandle display = DisplayDc();
  if (!display) return grab;
  // The display's pixels go straight into a bottom-up 32-bit DIB section: rows in the order TBitmap
  // holds them, so that they come over in one copy, not turned over.
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  const DcHandle memory(CreateCompatibleDC(display.get()));
  const ui::win32::BitmapHandle section(
      CreateDIBSection(display.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!memory || !section || bits == nullptr) return grab;
  {
    const ui::win32::DcSelection selection(memory.get(), section.get());
    if (!BitBlt(memory.get(), 0, 0, width, height, display.get(), left, top, SRCCOPY)) return grab;
    GdiFlush();
  }
  // At the display's depth (a palette display's 8 bits cannot be a bitmap's), which the copy keeps:
  // it cuts a 16-bit display's channels to their top 5 bits, and drops the fourth byte of each pixel.
  const int depth = GetDeviceCaps(display.get(), BITSPIXEL);
  if (depth == 16 || depth == 24 || depth == 32) grab.SetBitsPerPixel(depth);
  grab.SetSizeForOverwrite(width, height);
  grab.AssignBits(bits);
  return grab;
}

int AsyncKeyState(int virtualKey) { return static_cast<unsigned short>(GetAsyncKeyState(virtualKey)); }

// The key state of the whole keyboard is polled (GetAsyncKeyState sees every press, whichever window has
// the focus): nothing needs taking.
bool GrabHotKey(int, unsigned) { return true; }
void ReleaseHotKey(int, unsigned) {}
// Windows shows every program the desktop's windows and pixels.
bool DesktopHidesWindows() { return false; }
TBitmap DesktopScreenshot(bool) { throw ELocalisedError(TErrorKind::ScreenshotServiceMissing, {"Windows"}); }
struct ScreenStream::Parts {};
ScreenStream::ScreenStream(const std::string&) {
  throw ELocalisedError(TErrorKind::ScreenshotServiceMissing, {"Windows"});
}
ScreenStream::~ScreenStream() = default;
TBitmap ScreenStream::Picture() { return {}; }
bool DesktopOffersGlobalKeys() { return true; }

void SleepMilliseconds(int milliseconds) { Sleep(static_cast<DWORD>(std::max(milliseconds, 0))); }

}  // namespace os

namespace ui::native {

os::WindowHandle FormHandle(const Form& form) {
  const auto* native = dynamic_cast<const win32::FormNative*>(form.Native());
  return native != nullptr ? os::FromHwnd(native->Hwnd()) : 0;
}

os::WindowHandle ApplicationHandle(const Application&) { return os::FromHwnd(win32::ApplicationWindow()); }

}  // namespace ui::native
