// The Windows clipboard: plain and Unicode text, device-dependent and device-independent bitmaps and
// PNG files, opened by a hidden window of
// the program's own for the moment of each copy. What is put is prepared first, so that a failure to get
// memory or to open the clipboard leaves its contents as they were.
//
// A picture goes on the clipboard by delayed rendering: the window keeps a copy of it and announces
// its formats (the bitmap, or the DIB and the PNG) without data; each is made only when a program asks
// for it (WM_RENDERFORMAT), or when the window is destroyed, at the latest when the program ends, while
// the clipboard still waits for them (WM_RENDERALLFORMATS), so that a program that pastes later still
// gets them. Handing a bitmap of the screen's size to the system at once costs many times what the
// copy costs (the system takes the bitmap's pixels over into a form every program can read; a PNG
// must be compressed), and most pictures put are never pasted. The copy goes when the clipboard is
// emptied, by this program or another (WM_DESTROYCLIPBOARD), or once every format announced has been
// rendered.

#include "platform/ui/Clipboard.h"

#include "imaging/Bmp.h"
#include "imaging/Png.h"
#include "platform/ui/ClipboardTesting.h"

// After the platform headers: <windows.h> defines RGB and GetRValue as macros, which Graphics.h
// declares as functions.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr const char* kOwnerClass = "ClipboardOwnerWindow";

// The clipboard, open while this lives.
class OpenClipboardScope {
 public:
  explicit OpenClipboardScope(HWND owner) {
    if (!::OpenClipboard(owner)) throw ELocalisedError(TErrorKind::ClipboardBusy, {});
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
  GlobalBlock(GlobalBlock&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
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

// The number of the format registered under the name "PNG"; 0 when the system cannot register it.
UINT PngFormat() {
  static const UINT format = ::RegisterClipboardFormatA("PNG");
  return format;
}

UINT FormatNumber(os::ClipboardFormat format) {
  return format == os::ClipboardFormat::Png ? PngFormat() : static_cast<UINT>(format);
}

// A block of global memory holding the bytes.
GlobalBlock BlockOf(const std::vector<std::uint8_t>& bytes) {
  GlobalBlock block(bytes.size());
  GlobalLockScope lock(block.Get());
  if (lock.Data() == nullptr) throw std::bad_alloc();
  std::memcpy(lock.Data(), bytes.data(), bytes.size());
  return block;
}

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

// The screen's device context; invalid (Get() null) when the system gives none.
class ScreenDC {
 public:
  ScreenDC() : dc_(::GetDC(nullptr)) {}
  ~ScreenDC() {
    if (dc_ != nullptr) ::ReleaseDC(nullptr, dc_);
  }
  ScreenDC(const ScreenDC&) = delete;
  ScreenDC& operator=(const ScreenDC&) = delete;
  HDC Get() const { return dc_; }

 private:
  HDC dc_;
};

// A 32-bit device-independent bitmap with its rows bottom row first: the rows as TBitmap holds them,
// so that they go to and come from a device bitmap in one piece.
BITMAPINFO BottomUp32BitInfo(int width, int height) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  return info;
}

// A device-dependent bitmap made for the screen with the picture's pixels; null when the system cannot
// make it.
HBITMAP DeviceBitmap(const TBitmap& picture) {
  const ScreenDC screen;
  if (screen.Get() == nullptr) return nullptr;
  GdiObject<HBITMAP> bitmap(::CreateCompatibleBitmap(screen.Get(), picture.Width(), picture.Height()));
  if (bitmap.Get() == nullptr) return nullptr;
  const BITMAPINFO info = BottomUp32BitInfo(picture.Width(), picture.Height());
  if (::SetDIBits(screen.Get(), bitmap.Get(), 0, static_cast<UINT>(picture.Height()), picture.Bits(), &info,
                  DIB_RGB_COLORS) != picture.Height())
    return nullptr;
  const HBITMAP made = bitmap.Get();
  bitmap.Release();
  return made;
}

// The picture as the DIB format holds it.
GlobalBlock DibBlock(const TBitmap& picture) {
  GlobalBlock block(DibBlockSize(picture));
  GlobalLockScope lock(block.Get());
  if (lock.Data() == nullptr) throw std::bad_alloc();
  WriteDibBlock(picture, static_cast<unsigned char*>(lock.Data()));
  return block;
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

// Puts data, or with null data announces the format for delayed rendering (where the system answers
// null on success too, so that only its error code tells).
void SetData(UINT format, HANDLE data) {
  ::SetLastError(ERROR_SUCCESS);
  if (::SetClipboardData(format, data) == nullptr && (data != nullptr || ::GetLastError() != ERROR_SUCCESS))
    throw ELocalisedError(TErrorKind::ClipboardBusy, {});
}

LRESULT CALLBACK OwnerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// A message-only window of the owner's class; owner is the object its messages go to (null for a
// window that only opens the clipboard).
HWND CreateMessageWindow(void* owner = nullptr) {
  const HINSTANCE instance = ::GetModuleHandleA(nullptr);
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = OwnerProc;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = kOwnerClass;
  ::RegisterClassA(&windowClass);  // fails harmlessly when the class exists already
  return ::CreateWindowExA(0, kOwnerClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, owner);
}

// The window that opens the clipboard for the program and owns what the program puts on it, with the
// picture whose bitmap the clipboard waits for; made on first use, kept for the run.
class OwnerWindow {
 public:
  static OwnerWindow& Get() {
    static OwnerWindow window;
    return window;
  }
  // Destroying the window while the clipboard waits for its bitmap makes the system ask for it
  // (WM_RENDERALLFORMATS): the picture is still here then, as members go after this body.
  ~OwnerWindow() {
    if (handle_ != nullptr) ::DestroyWindow(handle_);
  }
  OwnerWindow(const OwnerWindow&) = delete;
  OwnerWindow& operator=(const OwnerWindow&) = delete;

  HWND Handle() const { return handle_; }
  // The picture of the formats just announced; the clipboard is open and was emptied.
  void Keep(TBitmap picture, std::vector<UINT> formats) {
    picture_ = std::move(picture);
    pending_ = std::move(formats);
  }
  // The picture kept, which the window keeps no more.
  TBitmap Take() {
    pending_.clear();
    return std::move(picture_);
  }
  bool Keeps() const { return !picture_.Empty(); }
  const std::vector<UINT>& Pending() const { return pending_; }

  // Never raises: nothing may leave a window procedure.
  LRESULT Receive(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    switch (message) {
      case WM_RENDERFORMAT:
        // The program that asked holds the clipboard open.
        Render(static_cast<UINT>(wParam));
        return 0;
      case WM_RENDERALLFORMATS:
        // Another program may have taken the clipboard over meanwhile; its data stays.
        if (Keeps() && ::OpenClipboard(window)) {
          if (::GetClipboardOwner() == window) {
            const std::vector<UINT> formats = pending_;
            for (const UINT format : formats) Render(format);
          }
          ::CloseClipboard();
        }
        return 0;
      case WM_DESTROYCLIPBOARD:
        Take();
        return 0;
      default:
        return ::DefWindowProcA(window, message, wParam, lParam);
    }
  }

 private:
  OwnerWindow() : handle_(CreateMessageWindow(this)) {}

  // Puts the data of one format announced and waiting, made from the picture; once every format has
  // been put, the picture is not needed any more. When the data cannot be made, the program that asked
  // gets none.
  void Render(UINT format) noexcept {
    const auto waiting = std::find(pending_.begin(), pending_.end(), format);
    if (!Keeps() || waiting == pending_.end()) return;
    try {
      if (format == CF_BITMAP) {
        GdiObject<HBITMAP> bitmap(DeviceBitmap(picture_));
        if (bitmap.Get() == nullptr || ::SetClipboardData(CF_BITMAP, bitmap.Get()) == nullptr) return;
        bitmap.Release();
      } else {
        GlobalBlock block = format == CF_DIB ? DibBlock(picture_) : BlockOf(PngBytes(picture_));
        if (::SetClipboardData(format, block.Get()) == nullptr) return;
        block.Release();
      }
    } catch (...) {
      return;  // no memory for the block, or the PNG library failed
    }
    pending_.erase(waiting);
    if (pending_.empty()) picture_ = TBitmap();
  }

  HWND handle_;
  TBitmap picture_;
  std::vector<UINT> pending_;  // the formats announced for the picture and not yet rendered
};

LRESULT CALLBACK OwnerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* creation = reinterpret_cast<const CREATESTRUCTA*>(lParam);
    ::SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(creation->lpCreateParams));
  }
  auto* owner = reinterpret_cast<OwnerWindow*>(::GetWindowLongPtrA(window, GWLP_USERDATA));
  return owner != nullptr ? owner->Receive(window, message, wParam, lParam)
                          : ::DefWindowProcA(window, message, wParam, lParam);
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
  OpenClipboardScope clipboard(OwnerWindow::Get().Handle());
  ::EmptyClipboard();
  SetData(CF_TEXT, block.Get());
  block.Release();
}

void PutClipboardUnicodeText(std::u32string_view text) {
  const std::u16string units = UnicodeTextBlock(text);
  GlobalBlock block(units.size() * sizeof(char16_t));
  {
    GlobalLockScope lock(block.Get());
    if (lock.Data() == nullptr) throw std::bad_alloc();
    std::memcpy(lock.Data(), units.data(), units.size() * sizeof(char16_t));
  }
  OpenClipboardScope clipboard(OwnerWindow::Get().Handle());
  ::EmptyClipboard();
  SetData(CF_UNICODETEXT, block.Get());
  block.Release();
}

namespace {

// Puts the copy of the picture with its formats announced for delayed rendering, and then the data
// made already (each handed to the clipboard once it is put).
void PutKept(const TBitmap& picture, std::vector<UINT> formats, GlobalBlock* png,
             GdiObject<HPALETTE>* palette) {
  OwnerWindow& owner = OwnerWindow::Get();
  OpenClipboardScope clipboard(owner.Handle());
  // The copy goes into the memory of the picture kept so far, when there is one of the same size (as
  // with every capture of the same window): no other program can ask for that picture while this one
  // holds the clipboard open, and should the copy fail, the picture is kept again as it was.
  std::vector<UINT> keptFormats = owner.Pending();
  TBitmap copy = owner.Take();
  try {
    copy = picture;
  } catch (...) {
    owner.Keep(std::move(copy), std::move(keptFormats));
    throw;
  }
  // Emptying tells the clipboard's owner, this window too, to drop what it kept for it.
  ::EmptyClipboard();
  owner.Keep(std::move(copy), formats);
  try {
    for (const UINT format : formats) SetData(format, nullptr);
  } catch (...) {
    owner.Keep(TBitmap(), {});
    throw;
  }
  if (png != nullptr) {
    SetData(PngFormat(), png->Get());
    png->Release();
  }
  if (palette != nullptr && palette->Get() != nullptr) {
    SetData(CF_PALETTE, palette->Get());
    palette->Release();
  }
}

}  // namespace

void PutClipboardBitmap(const TBitmap& bitmap, const std::vector<std::uint8_t>& png) {
  if (bitmap.Empty()) return;
  const ScreenDC screen;
  if (screen.Get() == nullptr) throw std::bad_alloc();
  {
    // A picture the system cannot make a device bitmap of is refused now, while that can still be
    // reported; making one of this size without its pixels costs little.
    const GdiObject<HBITMAP> trial(::CreateCompatibleBitmap(screen.Get(), bitmap.Width(), bitmap.Height()));
    if (trial.Get() == nullptr) throw std::bad_alloc();
  }
  GdiObject<HPALETTE> palette(DisplayPalette(screen.Get()));
  if (png.empty()) {
    PutKept(bitmap, {CF_BITMAP}, nullptr, &palette);
  } else {
    if (PngFormat() == 0) throw ELocalisedError(TErrorKind::ClipboardBusy, {});
    GlobalBlock block = BlockOf(png);
    PutKept(bitmap, {CF_BITMAP}, &block, &palette);
  }
}

void PutClipboardPicture(const TBitmap& picture) {
  if (picture.Empty()) return;
  // A picture neither format can hold is refused now, while that can still be reported.
  DibBlockSize(picture);
  CheckPngSize(picture.Width(), picture.Height(), 3);
  if (PngFormat() == 0) throw ELocalisedError(TErrorKind::ClipboardBusy, {});
  PutKept(picture, {CF_DIB, PngFormat()}, nullptr, nullptr);
}

void EmptyClipboard() {
  OpenClipboardScope clipboard(OwnerWindow::Get().Handle());
  ::EmptyClipboard();
}

namespace testing {

bool ClipboardHasFormat(ClipboardFormat format) {
  return ::IsClipboardFormatAvailable(FormatNumber(format)) != 0;
}

std::optional<std::vector<std::uint8_t>> ClipboardBlock(ClipboardFormat format) {
  OpenClipboardScope clipboard(OwnerWindow::Get().Handle());
  const HANDLE data = ::GetClipboardData(FormatNumber(format));
  if (data == nullptr) return std::nullopt;
  GlobalLockScope lock(data);
  if (lock.Data() == nullptr) return std::nullopt;
  const auto* bytes = static_cast<const std::uint8_t*>(lock.Data());
  return std::vector<std::uint8_t>(bytes, bytes + ::GlobalSize(data));
}

std::optional<std::string> ClipboardTextBlock() {
  OpenClipboardScope clipboard(OwnerWindow::Get().Handle());
  const HANDLE data = ::GetClipboardData(CF_TEXT);
  if (data == nullptr) return std::nullopt;
  GlobalLockScope lock(data);
  if (lock.Data() == nullptr) return std::nullopt;
  return std::string(static_cast<const char*>(lock.Data()), ::GlobalSize(data));
}

std::optional<std::u16string> ClipboardUnicodeTextBlock() {
  OpenClipboardScope clipboard(OwnerWindow::Get().Handle());
  const HANDLE data = ::GetClipboardData(CF_UNICODETEXT);
  if (data == nullptr) return std::nullopt;
  GlobalLockScope lock(data);
  if (lock.Data() == nullptr) return std::nullopt;
  return std::u16string(static_cast<const char16_t*>(lock.Data()), ::GlobalSize(data) / sizeof(char16_t));
}

std::optional<TBitmap> ClipboardBitmap() {
  OpenClipboardScope clipboard(OwnerWindow::Get().Handle());
  const auto handle = static_cast<HBITMAP>(::GetClipboardData(CF_BITMAP));
  BITMAP description{};
  if (handle == nullptr || ::GetObjectA(handle, sizeof description, &description) == 0) return std::nullopt;
  TBitmap picture;
  picture.SetSizeForOverwrite(description.bmWidth, description.bmHeight);
  if (picture.Empty()) return picture;
  const ScreenDC screen;
  BITMAPINFO info = BottomUp32BitInfo(picture.Width(), picture.Height());
  if (screen.Get() == nullptr || ::GetDIBits(screen.Get(), handle, 0, static_cast<UINT>(picture.Height()),
                                             picture.Bits(), &info, DIB_RGB_COLORS) != picture.Height())
    return std::nullopt;
  return picture;
}

bool ClipboardPictureKept() { return OwnerWindow::Get().Keeps(); }

void ClearClipboard() {
  OpenClipboardScope clipboard(OwnerWindow::Get().Handle());
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
