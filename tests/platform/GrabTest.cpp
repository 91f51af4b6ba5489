// A grab of the display comes the right way up: its rows as the picture's rows (row 0 the top), its
// memory bottom row first, and a BMP written from it with the bottom row first. Under Windows (Wine)
// on a real window of the test's own; natively on the headless backend's virtual display.

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "imaging/Graphics.h"
#include "platform/ui/WindowSystem.h"
#include "tests/imaging/ImageReaders.h"
#include "tests/support/TestSupport.h"

#ifdef _WIN32
// After the platform headers: <windows.h> defines RGB and GetRValue as macros, which Graphics.h
// declares as functions.
#include <windows.h>
#else
#include "platform/ui/UiTesting.h"
#include "platform/ui/WindowSystemTesting.h"
#endif

namespace {

constexpr TColor kTop = RGB(220, 30, 40);       // the top band
constexpr TColor kBottom = RGB(20, 60, 210);    // the bottom band
constexpr TColor kMiddle = RGB(240, 240, 240);  // between them
constexpr int kBand = 6;                        // rows in each band

// Checks the grab of a picture with the bands above: each row by Pixel, the memory's first and last
// rows, and the rows of the BMP written from it.
void ExpectRightWayUp(const TBitmap& grab) {
  const int width = grab.Width(), height = grab.Height();
  ASSERT_GT(width, 0);
  ASSERT_GT(height, 2 * kBand);
  for (const int x : {0, width / 2, width - 1}) {
    EXPECT_EQ(grab.Pixel(x, 0), kTop) << x;
    EXPECT_EQ(grab.Pixel(x, kBand - 1), kTop) << x;
    EXPECT_EQ(grab.Pixel(x, kBand), kMiddle) << x;
    EXPECT_EQ(grab.Pixel(x, height - kBand), kBottom) << x;
    EXPECT_EQ(grab.Pixel(x, height - 1), kBottom) << x;
  }
  // In memory the bottom row comes first.
  EXPECT_EQ(TBitmap::FromPixel32(grab.Bits()[0]), kBottom);
  EXPECT_EQ(TBitmap::FromPixel32(grab.Bits()[static_cast<std::size_t>(height - 1) * width]), kTop);

  testing_support::TempDir dir;
  SaveBitmapAsBmp(grab, dir.File("grab.bmp"));
  const std::vector<std::uint8_t> file = testing_support::ReadFileBytes(dir.File("grab.bmp"));
  const image_readers::DecodedBmp bmp = image_readers::ReadBmp(file);
  ASSERT_EQ(bmp.width, width);
  ASSERT_EQ(bmp.height, height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) ASSERT_EQ(bmp.At(x, y), grab.Pixel(x, y)) << x << "," << y;
  }
  if (grab.BitsPerPixel() == 32) {
    // The first stored pixel is the bottom-left one, blue, green, red, 0.
    ASSERT_GE(file.size(), 58u);
    EXPECT_EQ(file[54], GetBValue(kBottom));
    EXPECT_EQ(file[55], GetGValue(kBottom));
    EXPECT_EQ(file[56], GetRValue(kBottom));
    EXPECT_EQ(file[57], 0);
  }
}

#ifdef _WIN32

// A window that paints its client area in the three bands.
LRESULT CALLBACK BandsProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_PAINT) return DefWindowProcA(window, message, wParam, lParam);
  PAINTSTRUCT paint;
  const HDC dc = BeginPaint(window, &paint);
  RECT client;
  GetClientRect(window, &client);
  const auto fill = [&](LONG top, LONG bottom, TColor color) {
    const RECT band{client.left, top, client.right, bottom};
    const HBRUSH brush = CreateSolidBrush(color);
    FillRect(dc, &band, brush);
    DeleteObject(brush);
  };
  fill(0, kBand, kTop);
  fill(kBand, client.bottom - kBand, kMiddle);
  fill(client.bottom - kBand, client.bottom, kBottom);
  EndPaint(window, &paint);
  return 0;
}

TEST(Grab, ADisplayGrabComesTheRightWayUp) {
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = BandsProc;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = "GrabTestBands";
  RegisterClassA(&windowClass);
  const HWND window = CreateWindowExA(WS_EX_TOPMOST, windowClass.lpszClassName, "Bands", WS_POPUP, 120, 110,
                                      160, 90, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(window, nullptr);
  ShowWindow(window, SW_SHOWNOACTIVATE);
  UpdateWindow(window);
  // The display may show the window a moment after it was painted.
  TBitmap grab;
  for (int attempt = 0; attempt < 400; ++attempt) {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    grab = os::GrabDisplay(120, 110, 160, 90);
    if (grab.Pixel(0, 0) == kTop && grab.Pixel(159, 89) == kBottom) break;
    Sleep(50);
  }
  DestroyWindow(window);
  ASSERT_EQ(grab.Width(), 160);
  ASSERT_EQ(grab.Height(), 90);
  ExpectRightWayUp(grab);
}

#else

TEST(Grab, ADisplayGrabComesTheRightWayUp) {
  ui::testing::Reset();
  ui::testing::SetScreenSize(64, 48);
  TBitmap& display = os::testing::DisplayPixels();
  // The bands in a rectangle at (10, 5), 30 x 20.
  display.FillRect(10, 5, 30, kBand, kTop);
  display.FillRect(10, 5 + kBand, 30, 20 - 2 * kBand, kMiddle);
  display.FillRect(10, 5 + 20 - kBand, 30, kBand, kBottom);
  ExpectRightWayUp(os::GrabDisplay(10, 5, 30, 20));
  // The same rows with black beside them where the grab reaches past the display's left edge.
  const TBitmap wider = os::GrabDisplay(-5, 5, 45, 20);
  EXPECT_EQ(wider.Pixel(4, 0), clBlack);
  EXPECT_EQ(wider.Pixel(15, 0), kTop);
  EXPECT_EQ(wider.Pixel(15, 19), kBottom);
  ui::testing::Reset();
}

#endif

}  // namespace
