// The program's icon as a picture on Windows: the icon of resource id 1 in the executable, drawn by the
// system at the size asked for onto a 32-bit bitmap of the background colour.

#include <cstdint>
#include <cstring>

#include "platform/win32/UiWin32.h"

namespace ui::native {

using namespace win32;

TBitmap ProgramIconPicture(int width, int height, TColor background) {
  TBitmap picture;
  if (width <= 0 || height <= 0) return picture;
  // A shared icon belongs to the system's cache and is not destroyed.
  const auto icon = static_cast<HICON>(
      LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(1), IMAGE_ICON, width, height, LR_SHARED));
  if (icon == nullptr) return picture;

  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  const BitmapHandle dib(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  const MemoryDcHandle dc(CreateCompatibleDC(nullptr));
  if (!dib || !dc || bits == nullptr) throw std::runtime_error("The program icon cannot be drawn");
  {
    const DcSelection selection(dc.get(), dib.get());
    const BrushHandle brush = CreateSolidBrushHandle(background);
    RECT all{0, 0, width, height};
    FillRect(dc.get(), &all, brush.get());
    DrawIconEx(dc.get(), 0, 0, icon, width, height, 0, nullptr, DI_NORMAL);
    GdiFlush();
  }
  // The DIB's pixels are TBitmap's: blue, green, red and a byte that is not used; its rows run top-down
  // and are copied one by one.
  picture.SetSize(width, height);
  const auto* source = static_cast<const std::uint32_t*>(bits);
  for (int y = 0; y < height; ++y) {
    TBitmap::Pixel32* row = picture.ScanLine(y);
    for (int x = 0; x < width; ++x) row[x] = source[static_cast<std::size_t>(y) * width + x] & 0xFFFFFFu;
  }
  return picture;
}

}  // namespace ui::native
