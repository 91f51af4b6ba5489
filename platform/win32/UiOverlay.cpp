// The screen overlay on Windows: a top-most pop-up window without frame exactly over the overlay's area,
// whose client pixels are the picture's pixels. It paints the picture straight from its pixels (no
// background is erased first, so nothing flickers), shows the cross-hair pointer, passes the left button
// and the keys on in picture coordinates, and runs a message loop of its own until the overlay closes.

#include <algorithm>
#include <memory>
#include <stdexcept>

#include "platform/ui/ScreenOverlay.h"
#include "platform/win32/UiWin32.h"

namespace ui {
namespace win32 {

namespace {

const char* const kOverlayClass = "UiScreenOverlay";
// Posted to the overlay's window when the overlay closes: wakes its loop should it wait for a message.
constexpr UINT kOverlayWake = WM_APP + 1;

// The point of a mouse message in client coordinates, which are the picture's: signed, since with the
// mouse captured the pointer may be left of or above the window.
POINT ClientPoint(LPARAM lParam) {
  return {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
}

// The overlay's window while it runs. The window finds this object through its user data; the object
// destroys the window when it goes.
class OverlayNative : public NativeData {
 public:
  explicit OverlayNative(ScreenOverlay& overlay) : overlay_(overlay) {}
  ~OverlayNative() override {
    // The window's last messages find no object that is half gone.
    if (window_) SetWindowLongPtrA(window_.get(), GWLP_USERDATA, 0);
  }
  OverlayNative(const OverlayNative&) = delete;
  OverlayNative& operator=(const OverlayNative&) = delete;

  void* WindowHandle() const override { return window_.get(); }
  HWND Hwnd() const { return window_.get(); }
  ScreenOverlay& Overlay() const { return overlay_; }
  // The loop is to end: the overlay closed, or its window is gone.
  bool Ended() const { return closed_ || !window_; }

  // Makes the window, hidden, over the area; owned by the application window, which hands the
  // activation on to the program's forms when the overlay goes.
  void Create() {
    const os::ScreenRect& area = overlay_.Area();
    window_.reset(CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kOverlayClass, "", WS_POPUP, area.left,
                                  area.top, area.Width(), area.Height(), ApplicationWindow(), nullptr,
                                  Instance(), this));
    if (!window_) throw std::runtime_error("The screen overlay's window cannot be created");
  }

  void Close() {
    closed_ = true;
    if (window_) PostMessageA(window_.get(), kOverlayWake, 0, 0);
  }

  // The messages of the window; true when handled.
  bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    result = 0;
    switch (message) {
      case WM_ERASEBKGND:
        // The picture covers the window: painted in one pass, with no background before it.
        result = 1;
        return true;
      case WM_PAINT:
        Paint();
        return true;
      case WM_SETCURSOR:
        if (LOWORD(lParam) != HTCLIENT) return false;
        SetCursor(LoadCursorA(nullptr, MAKEINTRESOURCEA(32515) /* IDC_CROSS */));
        result = TRUE;
        return true;
      case WM_LBUTTONDOWN: {
        // Captured, so that the button's release and the moves of a drag come here wherever they are.
        SetCapture(window_.get());
        const POINT point = ClientPoint(lParam);
        overlay_.NativeMouseDown(point.x, point.y);
        return true;
      }
      case WM_MOUSEMOVE: {
        const POINT point = ClientPoint(lParam);
        overlay_.NativeMouseMove(point.x, point.y);
        return true;
      }
      case WM_LBUTTONUP: {
        if (GetCapture() == window_.get()) ReleaseCapture();
        const POINT point = ClientPoint(lParam);
        overlay_.NativeMouseUp(point.x, point.y);
        return true;
      }
      case WM_KEYDOWN:
        overlay_.NativeKeyDown(static_cast<int>(wParam), GetKeyState(VK_SHIFT) < 0);
        return true;
      case WM_CLOSE:
        // Alt+F4 and the like do not destroy the window: the program ends the overlay (Close).
        return true;
      case kOverlayWake:
        return true;
      case WM_NCDESTROY:
        // Destroyed by someone else (the object's own destruction forgets the window first): the loop
        // ends rather than wait for a window that is no more.
        window_.release();
        return false;
      default:
        return false;
    }
  }

 private:
  // Copies the part of the picture the system asks for, pixel for pixel; what lies beyond a picture
  // smaller than the window is black.
  void Paint() {
    const PaintScope scope(window_.get());
    if (scope.Dc() == nullptr) return;
    const TBitmap& picture = overlay_.Picture();
    const RECT& part = scope.Part();
    const LONG width = std::max(picture.Width(), 0), height = std::max(picture.Height(), 0);
    const RECT drawn{part.left, part.top, std::min(part.right, width), std::min(part.bottom, height)};
    if (drawn.right > drawn.left && drawn.bottom > drawn.top) {
      BITMAPINFO info{};
      info.bmiHeader.biSize = sizeof(info.bmiHeader);
      info.bmiHeader.biWidth = width;
      info.bmiHeader.biHeight = height;  // bottom-up, as TBitmap holds its rows
      info.bmiHeader.biPlanes = 1;
      info.bmiHeader.biBitCount = 32;
      info.bmiHeader.biCompression = BI_RGB;
      // The source rectangle of a bottom-up image counts its rows from the bottom.
      SetDIBitsToDevice(scope.Dc(), drawn.left, drawn.top, drawn.right - drawn.left, drawn.bottom - drawn.top,
                        drawn.left, height - drawn.bottom, 0, height, picture.Bits(), &info, DIB_RGB_COLORS);
    }
    const auto black = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));  // a stock object: not deleted
    const RECT right{std::max(part.left, width), part.top, part.right, part.bottom};
    const RECT below{part.left, std::max(part.top, height), std::min(part.right, width), part.bottom};
    for (const RECT& rest : {right, below}) {
      if (rest.right > rest.left && rest.bottom > rest.top) FillRect(scope.Dc(), &rest, black);
    }
  }

  ScreenOverlay& overlay_;
  OwnedWindow window_;
  bool closed_ = false;
};

LRESULT CALLBACK OverlayProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* native = reinterpret_cast<OverlayNative*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (message == WM_NCDESTROY) SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
  LRESULT result = 0;
  bool handled = false;
  if (native != nullptr) {
    Guard(native->Overlay().App(), [&] { handled = native->HandleMessage(message, wParam, lParam, result); });
  }
  return handled ? result : DefWindowProcA(hwnd, message, wParam, lParam);
}

void RegisterOverlayClass() {
  static bool registered = false;
  if (registered) return;
  WNDCLASSEXA windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.lpfnWndProc = OverlayProc;
  windowClass.hInstance = Instance();
  windowClass.lpszClassName = kOverlayClass;
  if (RegisterClassExA(&windowClass) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
    throw std::runtime_error("The screen overlay's window class cannot be registered");
  }
  registered = true;
}

OverlayNative* NativeOf(const ScreenOverlay& overlay) {
  return dynamic_cast<OverlayNative*>(overlay.Native());
}

}  // namespace

}  // namespace win32

namespace native {

using namespace win32;

void RunOverlay(ScreenOverlay& overlay) {
  EnsureBackend();
  RegisterOverlayClass();
  // The overlay holds its window while it runs; the window goes when this returns, however it returns.
  struct Holder {
    ScreenOverlay& overlay;
    ~Holder() { overlay.SetNative(nullptr); }
  } holder{overlay};
  auto owned = std::make_unique<OverlayNative>(overlay);
  OverlayNative& native = *owned;
  overlay.SetNative(std::move(owned));
  native.Create();
  const HWND window = native.Hwnd();
  ShowWindow(window, SW_SHOW);
  SetForegroundWindow(window);
  SetFocus(window);
  UpdateWindow(window);

  Application& app = overlay.App();
  const LoopScope loop;
  MSG message;
  while (!native.Ended() && !app.Terminated()) {
    const BOOL got = GetMessageA(&message, nullptr, 0, 0);
    if (got == -1) break;
    if (got == 0) {
      // The program is to end: the loop around this one sees the request too.
      PostQuitMessage(static_cast<int>(message.wParam));
      break;
    }
    HandleMessage(message);
  }
}

void OverlayInvalidated(ScreenOverlay& overlay, const os::ScreenRect& part) {
  OverlayNative* native = NativeOf(overlay);
  if (native == nullptr || native->Hwnd() == nullptr) return;
  const RECT rect{part.left, part.top, part.right, part.bottom};
  InvalidateRect(native->Hwnd(), &rect, FALSE);
}

void OverlayClosed(ScreenOverlay& overlay) {
  if (OverlayNative* native = NativeOf(overlay)) native->Close();
}

void OverlayMovePointer(ScreenOverlay& overlay, int x, int y) {
  const os::ScreenRect& area = overlay.Area();
  SetCursorPos(area.left + x, area.top + y);
}

}  // namespace native
}  // namespace ui
