// The Windows clipboard: plain text and device-dependent bitmaps, opened by a hidden window of the
// program's own for the moment of each copy. What is put is prepared first, so that a failure to get
// memory or to open the clipboard leaves its contents as they were.

#include "platform/Clipboard.h"
#include "platform/ClipboardTesting.h"

// After the platform headers: <windows.h> defines RGB and GetRValue as macros, which Graphics.h
// declares as functions.
#include <windows.h>

#include <cstring>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr const char* kOwnerClass = "ClipboardOwnerWindow";

HWND CreateMessageWindow() {
  const HINSTANCE instance = ::GetModuleHandleA(nullptr);
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = ::DefWindowProcA;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = kOwnerClass;
  ::RegisterClassA(&windowClass);  // fails harmlessly when the class exists already
  return ::CreateWindowExA(0, kOwnerClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, nullptr);
}

// The window that opens the clipboard for the program; made on first use, kept for the run.
class OwnerWindow {
 public:
  static HWND Get() {
    static OwnerWindow window;
    return window.handle_;
  }
  ~OwnerWindow() {
    if (handle_ != nullptr) ::DestroyWindow(handle_);
  }
  OwnerWindow(const OwnerWindow&) = delete;
  OwnerWindow& operator=(const OwnerWindow&) = delete;

 private:
  OwnerWindow() : handle_(CreateMessageWindow()) {}
  HWND handle_;
};

// The clipboard, open while this lives.
class OpenClipboardScope {
 public:
  explicit OpenClipboardScope(HWND owner) {
    if (!::OpenClipboard(owner)) throw std::runtime_error(os::kClipboardOpenError);
  }
  ~OpenClipboardScope() { ::CloseClipboard(); }
  OpenClipboardScope(const OpenClipboardScope&) = delete;
  OpenClipboardScope& operator=(const OpenClipboardScope&) = delete;
};

// Global memory, freed unless the clipboard took it.
class GlobalBlock {
 public:
  explicit GlobalBlock(SIZE_T size) : handle_(::GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, size)) {
    if (handle_ == nullptr) throw std::bad_alloc();
  }
  ~GlobalBlock() {
    if (handle_ != nullptr) ::GlobalFree(handle_);
  }
  GlobalBlock(const GlobalBlock&) = delete;
  GlobalBlock& operator=(const GlobalBlock&) = delete;
  HGLOBAL Get() const { return handle_; }
  void Release() { handle_ = nullptr; }

 private:
  HGLOBAL handle_;
};

// A locked global memory block.
class GlobalLockScope {
 public:
  explicit GlobalLockScope(HGLOBAL block) : block_(block), data_(::GlobalLock(block)) {}
  ~GlobalLockScope() {
    if (data_ != nullptr) ::GlobalUnlock(block_);
  }
  GlobalLockScope(const GlobalLockScope&) = delete;
  GlobalLockScope& operator=(const GlobalLockScope&) = delete;
  void* Data() const { return data_; }

 private:
  HGLOBAL block_;
  void* data_;
};

// A GDI object, deleted unless the clipboard took it.
template <typename Handle>
class GdiObject {
 public:
  explicit GdiObject(Handle handle = nullptr) : handle_(handle) {}
  ~GdiObject() {
    if (handle_ != nullptr) ::DeleteObject(handle_);
  }
  GdiObject(const GdiObject&) = delete;
  GdiObject& operator=(const GdiObject&) = delete;
  Handle Get() const { return handle_; }
  void Release() { handle_ = nullptr; }

 private:
  Handle handle_;
};

class ScreenDC {
 public:
  ScreenDC() : dc_(::GetDC(nullptr)) {
    if (dc_ == nullptr) throw std::bad_alloc();
  }
  ~ScreenDC() { ::ReleaseDC(nullptr, dc_); }
  ScreenDC(const ScreenDC&) = delete;
  ScreenDC& operator=(const ScreenDC&) = delete;
  HDC Get() const { return dc_; }

 private:
  HDC dc_;
};

BITMAPINFO TopDown32BitInfo(int width, int height) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  return info;
}

// The display's palette when it works with one; none on a true-colour display.
HPALETTE DisplayPalette(HDC screen) {
  if ((::GetDeviceCaps(screen, RASTERCAPS) & RC_PALETTE) == 0) return nullptr;
  const int count = ::GetDeviceCaps(screen, SIZEPALETTE);
  if (count <= 0 || count > 256) return nullptr;
  std::vector<unsigned char> storage(sizeof(LOGPALETTE) + sizeof(PALETTEENTRY) * count);
  auto* palette = reinterpret_cast<LOGPALETTE*>(storage.data());
  palette->palVersion = 0x300;
  palette->palNumEntries = static_cast<WORD>(count);
  if (::GetSystemPaletteEntries(screen, 0, count, palette->palPalEntry) == 0) return nullptr;
  return ::CreatePalette(palette);
}

void SetData(UINT format, HANDLE data) {
  if (::SetClipboardData(format, data) == nullptr) throw std::runtime_error(os::kClipboardOpenError);
}

}  // namespace

namespace os {

void PutClipboardText(std::string_view text) {
  text = text.substr(0, text.find('\0'));
  GlobalBlock block(text.size() + 1);
  {
    GlobalLockScope lock(block.Get());
    if (lock.Data() == nullptr) throw std::bad_alloc();
    auto* bytes = static_cast<char*>(lock.Data());
    std::memcpy(bytes, text.data(), text.size());
    bytes[text.size()] = '\0';
  }
  OpenClipboardScope clipboard(OwnerWindow::Get());
  ::EmptyClipboard();
  SetData(CF_TEXT, block.Get());
  block.Release();
}

void PutClipboardBitmap(const TBitmap& bitmap) {
  if (bitmap.Empty()) return;
  const int width = bitmap.Width();
  const int height = bitmap.Height();
  const ScreenDC screen;
  GdiObject<HBITMAP> copy(::CreateCompatibleBitmap(screen.Get(), width, height));
  if (copy.Get() == nullptr) throw std::bad_alloc();
  const BITMAPINFO info = TopDown32BitInfo(width, height);
  if (::SetDIBits(screen.Get(), copy.Get(), 0, height, bitmap.ScanLine(0), &info, DIB_RGB_COLORS) != height)
    throw std::bad_alloc();
  GdiObject<HPALETTE> palette(DisplayPalette(screen.Get()));
  OpenClipboardScope clipboard(OwnerWindow::Get());
  ::EmptyClipboard();
  SetData(CF_BITMAP, copy.Get());
  copy.Release();
  if (palette.Get() != nullptr) {
    SetData(CF_PALETTE, palette.Get());
    palette.Release();
  }
}

namespace testing {

bool ClipboardHasFormat(ClipboardFormat format) {
  return ::IsClipboardFormatAvailable(static_cast<UINT>(format)) != 0;
}

std::optional<std::string> ClipboardTextBlock() {
  OpenClipboardScope clipboard(OwnerWindow::Get());
  const HANDLE data = ::GetClipboardData(CF_TEXT);
  if (data == nullptr) return std::nullopt;
  GlobalLockScope lock(data);
  if (lock.Data() == nullptr) return std::nullopt;
  return std::string(static_cast<const char*>(lock.Data()), ::GlobalSize(data));
}

std::optional<TBitmap> ClipboardBitmap() {
  OpenClipboardScope clipboard(OwnerWindow::Get());
  const auto handle = static_cast<HBITMAP>(::GetClipboardData(CF_BITMAP));
  BITMAP description{};
  if (handle == nullptr || ::GetObjectA(handle, sizeof description, &description) == 0) return std::nullopt;
  TBitmap picture;
  picture.SetSize(description.bmWidth, description.bmHeight);
  if (picture.Empty()) return picture;
  ScreenDC screen;
  BITMAPINFO info = TopDown32BitInfo(picture.Width(), picture.Height());
  if (::GetDIBits(screen.Get(), handle, 0, picture.Height(), picture.ScanLine(0), &info, DIB_RGB_COLORS) !=
      picture.Height())
    return std::nullopt;
  return picture;
}

void ClearClipboard() {
  OpenClipboardScope clipboard(OwnerWindow::Get());
  ::EmptyClipboard();
}

// A thread of its own opens the clipboard with a window of its own and keeps it open until released.
struct ClipboardHolder::Impl {
  HANDLE opened = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HANDLE release = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HANDLE thread = nullptr;
  bool holding = false;

  ~Impl() {
    if (thread != nullptr) {
      ::SetEvent(release);
      ::WaitForSingleObject(thread, INFINITE);
      ::CloseHandle(thread);
    }
    if (opened != nullptr) ::CloseHandle(opened);
    if (release != nullptr) ::CloseHandle(release);
  }

  static DWORD WINAPI Run(void* parameter) {
    auto* self = static_cast<Impl*>(parameter);
    const HWND window = CreateMessageWindow();
    self->holding = window != nullptr && ::OpenClipboard(window) != 0;
    ::SetEvent(self->opened);
    if (self->holding) {
      ::WaitForSingleObject(self->release, INFINITE);
      ::CloseClipboard();
    }
    if (window != nullptr) ::DestroyWindow(window);
    return 0;
  }
};

ClipboardHolder::ClipboardHolder() : impl_(new Impl) {
  if (impl_->opened == nullptr || impl_->release == nullptr) return;
  impl_->thread = ::CreateThread(nullptr, 0, &Impl::Run, impl_, 0, nullptr);
  if (impl_->thread == nullptr) return;
  ::WaitForSingleObject(impl_->opened, INFINITE);
  holding_ = impl_->holding;
}

ClipboardHolder::~ClipboardHolder() { delete impl_; }

}  // namespace testing
}  // namespace os
