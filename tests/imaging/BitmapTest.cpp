#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <stdexcept>
#include <utility>
#include <vector>

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

// The words of a bitmap's memory from its lowest address: the rows bottom row first.
std::vector<TBitmap::Pixel32> Memory(const TBitmap& bitmap) {
  const TBitmap::Pixel32* bits = bitmap.Bits();
  return {bits, bits + static_cast<std::size_t>(bitmap.Width()) * bitmap.Height()};
}

TEST(TBitmap, RowsLieBottomRowFirstAndAResizeKeepsThePictureTopLeft) {
  constexpr TBitmap::Pixel32 F = 0xC80000;  // the fill colour RGB(200, 0, 0) as a pixel word
  TBitmap bitmap;
  EXPECT_EQ(bitmap.Bits(), nullptr);
  bitmap.SetFillColor(RGB(200, 0, 0));
  bitmap.SetSize(3, 2);
  // Pixel words 0x00RRGGBB: the top row red 1 to 3, the bottom row green 1 to 3.
  for (int x = 0; x < 3; ++x) {
    bitmap.SetPixel(x, 0, RGB(x + 1, 0, 0));
    bitmap.SetPixel(x, 1, RGB(0, x + 1, 0));
  }
  EXPECT_EQ(Memory(bitmap), (std::vector<TBitmap::Pixel32>{0x100, 0x200, 0x300, 0x10000, 0x20000, 0x30000}));
  for (int y = 0; y < 2; ++y) EXPECT_EQ(bitmap.ScanLine(y), bitmap.Bits() + (1 - y) * 3) << y;

  // Growing: the old rows stay at the top, so in memory they move up by the rows added below them.
  bitmap.SetSize(4, 3);
  EXPECT_EQ(Memory(bitmap), (std::vector<TBitmap::Pixel32>{F, F, F, F,              // bottom row: new
                                                           0x100, 0x200, 0x300, F,  // old bottom row
                                                           0x10000, 0x20000, 0x30000, F}));  // old top row
  EXPECT_EQ(bitmap.Pixel(0, 0), RGB(1, 0, 0));
  EXPECT_EQ(bitmap.Pixel(2, 1), RGB(0, 3, 0));
  EXPECT_EQ(bitmap.Pixel(3, 0), RGB(200, 0, 0));
  EXPECT_EQ(bitmap.Pixel(0, 2), RGB(200, 0, 0));

  // Shrinking keeps the top-left part: the old top row is the only row left.
  bitmap.SetSize(2, 1);
  EXPECT_EQ(Memory(bitmap), (std::vector<TBitmap::Pixel32>{0x10000, 0x20000}));

  // A picture written through its memory reads the right way up.
  TBitmap raw;
  raw.SetSizeForOverwrite(2, 2);
  ASSERT_EQ(raw.Width(), 2);
  ASSERT_EQ(raw.Height(), 2);
  const TBitmap::Pixel32 bottomUp[] = {0x000001, 0x000002, 0x000003, 0x000004};
  std::copy(std::begin(bottomUp), std::end(bottomUp), raw.Bits());
  EXPECT_EQ(raw.Pixel(0, 1), RGB(0, 0, 1));
  EXPECT_EQ(raw.Pixel(1, 0), RGB(0, 0, 4));
  // Assigned from a platform bitmap's memory: the same order, the fourth byte dropped, and at 16 bits
  // the channels cut to their top 5 bits.
  const TBitmap::Pixel32 platform[] = {0xFF000001, 0x80000002, 0x01FFFFFF, 0x7F0F0F0F};
  raw.AssignBits(platform);
  EXPECT_EQ(raw.Pixel(0, 1), RGB(0, 0, 1));
  EXPECT_EQ(raw.Pixel(0, 0), clWhite);
  EXPECT_EQ(raw.Bits()[3], 0x000F0F0Fu);
  EXPECT_TRUE(raw.TopBytesClear());
  raw.SetBitsPerPixel(16);
  raw.AssignBits(platform);
  EXPECT_EQ(raw.Pixel(1, 0), RGB(8, 8, 8));
  EXPECT_EQ(raw.Pixel(0, 0), RGB(0xF8, 0xF8, 0xF8));
  raw.SetSizeForOverwrite(0, 5);
  EXPECT_TRUE(raw.Empty());
  EXPECT_EQ(raw.Bits(), nullptr);
}

TEST(TBitmap, CopiesAreWholeAndAMovedFromBitmapIsEmpty) {
  TBitmap bitmap;
  bitmap.SetBitsPerPixel(24);
  bitmap.SetFillColor(RGB(1, 2, 3));
  bitmap.SetSize(5, 4);
  bitmap.SetPixel(4, 3, RGB(9, 8, 7));
  TBitmap copy = bitmap;
  bitmap.SetPixel(4, 3, clBlack);  // the copy has pixels of its own
  EXPECT_EQ(copy.Pixel(4, 3), RGB(9, 8, 7));
  EXPECT_EQ(copy.Pixel(0, 0), RGB(1, 2, 3));
  EXPECT_EQ(copy.BitsPerPixel(), 24);
  EXPECT_EQ(copy.FillColor(), RGB(1, 2, 3));
  const TBitmap& same = copy;
  copy = same;  // assigning a bitmap to itself changes nothing
  EXPECT_EQ(copy.Pixel(4, 3), RGB(9, 8, 7));

  TBitmap moved = std::move(copy);
  EXPECT_EQ(moved.Pixel(4, 3), RGB(9, 8, 7));
  EXPECT_TRUE(copy.Empty());  // NOLINT(bugprone-use-after-move): what is left is checked
  EXPECT_EQ(copy.Width(), 0);
  EXPECT_EQ(copy.Bits(), nullptr);
  copy.SetSize(1, 1);  // and usable again
  EXPECT_EQ(copy.Pixel(0, 0), RGB(1, 2, 3));

  // Into a bitmap of as many pixels in another shape: the copy's shape and pixels.
  TBitmap sameCount;
  sameCount.SetSize(4, 5);
  sameCount = moved;
  EXPECT_EQ(sameCount.Width(), 5);
  EXPECT_EQ(sameCount.Height(), 4);
  EXPECT_EQ(sameCount.Pixel(4, 3), RGB(9, 8, 7));
  EXPECT_EQ(sameCount.Pixel(3, 4), 0u) << "outside the picture";
  EXPECT_EQ(sameCount.BitsPerPixel(), 24);

  TBitmap target;
  target.SetSize(2, 2);
  target = std::move(moved);
  EXPECT_EQ(target.Width(), 5);
  EXPECT_EQ(target.Pixel(4, 3), RGB(9, 8, 7));
  EXPECT_TRUE(moved.Empty());  // NOLINT(bugprone-use-after-move)
}

TEST(TBitmap, TopBytesAreKnownClearUntilWrittenThroughMemory) {
  TBitmap bitmap;
  EXPECT_TRUE(bitmap.TopBytesClear());
  bitmap.SetSize(3, 3);
  bitmap.FillRect(1, 1, 2, 2, clBlack);
  bitmap.SetPixel(0, 0, 0xFFFFFFFF);  // a system colour's top bit does not reach the pixel word
  EXPECT_TRUE(bitmap.TopBytesClear());

  // Set in the very last word, which the eight-word steps of the check do not cover.
  bitmap.ScanLine(0)[2] = 0x7F123456;
  EXPECT_FALSE(bitmap.TopBytesClear());
  EXPECT_EQ(bitmap.Pixel(2, 0), RGB(0x12, 0x34, 0x56));
  TBitmap copy = bitmap;
  EXPECT_FALSE(copy.TopBytesClear());
  bitmap.ClearTopBytes();
  EXPECT_TRUE(bitmap.TopBytesClear());
  EXPECT_EQ(bitmap.ScanLine(0)[2], 0x00123456u);
  EXPECT_EQ(bitmap.Pixel(2, 0), RGB(0x12, 0x34, 0x56));

  // Written through memory without a top byte: found clear at the first look.
  TBitmap wide;
  wide.SetSizeForOverwrite(37, 5);
  std::fill(wide.Bits(), wide.Bits() + 37 * 5, 0x00ABCDEFu);
  EXPECT_TRUE(wide.TopBytesClear());
  wide.Bits()[8 * 20] = 0x01000000;  // inside the eight-word steps
  EXPECT_FALSE(wide.TopBytesClear());
  wide.SetBitsPerPixel(32);  // a depth set again reduces every pixel, the top byte included
  EXPECT_TRUE(wide.TopBytesClear());
  EXPECT_EQ(wide.Pixel(0, 0), RGB(0xAB, 0xCD, 0xEF));
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
