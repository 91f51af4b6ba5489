#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <stdexcept>

#include "imaging/Graphics.h"

namespace {

TEST(TBitmap, ResizeKeepsPixelsTopLeftAndFillsWithTheFillColour) {
  TBitmap bitmap;
  EXPECT_TRUE(bitmap.Empty());
  EXPECT_EQ(bitmap.BitsPerPixel(), 32);
  bitmap.SetSize(3, 2);
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 3; ++x)
      EXPECT_EQ(bitmap.Pixel(x, y), clWhite) << "a new bitmap takes the fill colour";
  }
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 3; ++x) bitmap.SetPixel(x, y, RGB(x, y, 100));
  }

  bitmap.SetFillColor(RGB(200, 0, 0));
  bitmap.SetSize(5, 4);
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 5; ++x) {
      EXPECT_EQ(bitmap.Pixel(x, y), x < 3 && y < 2 ? RGB(x, y, 100) : RGB(200, 0, 0)) << x << "," << y;
    }
  }

  bitmap.SetSize(2, 1);
  EXPECT_EQ(bitmap.Pixel(0, 0), RGB(0, 0, 100));
  EXPECT_EQ(bitmap.Pixel(1, 0), RGB(1, 0, 100));
  EXPECT_EQ(bitmap.Pixel(2, 0), 0u) << "outside the picture";

  bitmap.SetHeight(0);
  EXPECT_TRUE(bitmap.Empty());
  bitmap.SetSize(2, 2);
  EXPECT_EQ(bitmap.Pixel(0, 0), RGB(200, 0, 0)) << "pixels do not survive an empty size";
}

TEST(TBitmap, SixteenBitsKeepTheTopFiveBitsOfEachChannel) {
  TBitmap bitmap;
  bitmap.SetSize(2, 1);
  bitmap.SetPixel(0, 0, RGB(0x17, 0x2F, 0xFF));
  bitmap.SetBitsPerPixel(16);
  EXPECT_EQ(bitmap.Pixel(0, 0), RGB(0x10, 0x28, 0xF8));
  bitmap.SetPixel(1, 0, RGB(7, 8, 9));
  EXPECT_EQ(bitmap.Pixel(1, 0), RGB(0, 8, 8));
  EXPECT_THROW(bitmap.SetBitsPerPixel(8), std::invalid_argument);
  EXPECT_EQ(bitmap.BitsPerPixel(), 16);
}

TEST(TBitmap, SizeBeyondMemoryIsRefusedAndTheBitmapKept) {
  TBitmap bitmap;
  bitmap.SetSize(2, 3);
  bitmap.SetPixel(1, 2, RGB(1, 2, 3));
  // Far beyond what a vector can hold on any target; on a 32-bit target the pixel count would also
  // wrap around to 1 if it were counted in 32 bits.
  EXPECT_THROW(bitmap.SetSize(INT_MAX, INT_MAX), std::length_error);
  if (sizeof(std::size_t) == 4) {
    // 65536 x 65537 wraps around to 65536 pixels in 32 bits.
    EXPECT_THROW(bitmap.SetSize(65536, 65537), std::length_error);
  }
  EXPECT_EQ(bitmap.Width(), 2);
  EXPECT_EQ(bitmap.Height(), 3);
  EXPECT_EQ(bitmap.Pixel(1, 2), RGB(1, 2, 3));
}

}  // namespace
