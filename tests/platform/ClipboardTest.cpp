// The clipboard of the backend: the real one under Windows (Wine), the virtual one natively.

#include "platform/Clipboard.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "platform/ClipboardTesting.h"

namespace {

using os::ClipboardFormat;
using os::testing::ClipboardHasFormat;
using os::testing::ClipboardTextBlock;

const std::string kOpenError = std::string("Zwischenablage kann nicht ge") + '\xF6' + "ffnet werden";

TEST(Clipboard, TextIsAZeroTerminatedBlockOfTheBytesGiven) {
  os::PutClipboardText("A");
  EXPECT_TRUE(ClipboardHasFormat(ClipboardFormat::Text));
  EXPECT_EQ(ClipboardTextBlock(), std::string("A\0", 2));

  // Code 200 goes as the single byte, whatever a font would make of it.
  os::PutClipboardText("\xC8");
  EXPECT_EQ(ClipboardTextBlock(), std::string("\xC8\0", 2));

  // Code 0 leaves the zero byte alone: an empty text.
  os::PutClipboardText(std::string(1, '\0'));
  EXPECT_EQ(ClipboardTextBlock(), std::string(1, '\0'));
  os::PutClipboardText("");
  EXPECT_EQ(ClipboardTextBlock(), std::string(1, '\0'));

  // A zero byte ends the text, as it ends a C string.
  os::PutClipboardText(std::string("AB\0C", 4));
  EXPECT_EQ(ClipboardTextBlock(), std::string("AB\0", 3));
}

TBitmap Pattern(int width, int height) {
  TBitmap bitmap;
  bitmap.SetSize(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) bitmap.SetPixel(x, y, RGB(40 * x, 60 * y, 255 - 20 * x - 30 * y));
  return bitmap;
}

TEST(Clipboard, BitmapReplacesTheTextAndCarriesNoPaletteOnATrueColourDisplay) {
  os::PutClipboardText("A");
  const TBitmap picture = Pattern(5, 3);
  os::PutClipboardBitmap(picture);
  EXPECT_TRUE(ClipboardHasFormat(ClipboardFormat::Bitmap));
  EXPECT_FALSE(ClipboardHasFormat(ClipboardFormat::Palette));
  EXPECT_FALSE(ClipboardHasFormat(ClipboardFormat::Text));
  const auto copy = os::testing::ClipboardBitmap();
  ASSERT_TRUE(copy);
  ASSERT_EQ(copy->Width(), 5);
  ASSERT_EQ(copy->Height(), 3);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) EXPECT_EQ(copy->Pixel(x, y), picture.Pixel(x, y)) << x << "," << y;

  // Text after a bitmap replaces the bitmap.
  os::PutClipboardText("W");
  EXPECT_FALSE(ClipboardHasFormat(ClipboardFormat::Bitmap));
  EXPECT_EQ(ClipboardTextBlock(), std::string("W\0", 2));

  // An empty picture puts nothing and leaves the clipboard as it was.
  os::PutClipboardBitmap(TBitmap());
  EXPECT_EQ(ClipboardTextBlock(), std::string("W\0", 2));
  EXPECT_FALSE(ClipboardHasFormat(ClipboardFormat::Bitmap));
}

TEST(Clipboard, AClipboardHeldByAnotherProgramRaisesTheErrorAndKeepsItsContents) {
  os::PutClipboardText("K");
  {
    os::testing::ClipboardHolder holder;
    ASSERT_TRUE(holder.Holding());
    try {
      os::PutClipboardText("X");
      ADD_FAILURE() << "no error";
    } catch (const std::runtime_error& error) {
      EXPECT_EQ(error.what(), kOpenError);
    }
    try {
      os::PutClipboardBitmap(Pattern(2, 2));
      ADD_FAILURE() << "no error";
    } catch (const std::runtime_error& error) {
      EXPECT_EQ(error.what(), kOpenError);
    }
  }
  EXPECT_EQ(ClipboardTextBlock(), std::string("K\0", 2));
  EXPECT_FALSE(ClipboardHasFormat(ClipboardFormat::Bitmap));
  // Once released, it can be used again.
  os::PutClipboardText("L");
  EXPECT_EQ(ClipboardTextBlock(), std::string("L\0", 2));
  os::testing::ClearClipboard();
  EXPECT_FALSE(ClipboardHasFormat(ClipboardFormat::Text));
}

}  // namespace
