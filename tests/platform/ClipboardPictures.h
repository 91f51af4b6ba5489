#pragma once
// What a program that pastes a picture finds on the clipboard: its DIB read as the BMP it heads, the
// bitmap the system derives from it, and its PNG decoded by the PNG library.

#include <gtest/gtest.h>

#include <png.h>

#include "imaging/Graphics.h"
#include "platform/ui/ClipboardTesting.h"
#include "tests/imaging/ImageReaders.h"
#include "tests/imaging/PngReader.h"

namespace clipboard_testing {

// Expects the clipboard to offer the picture in the DIB (24 bits), bitmap and PNG (opaque RGB)
// formats, each read back and decoded equal to it.
inline void ExpectClipboardOffersPicture(const TBitmap& picture) {
  using os::ClipboardFormat;
  for (const ClipboardFormat format : {ClipboardFormat::Dib, ClipboardFormat::Bitmap, ClipboardFormat::Png})
    EXPECT_TRUE(os::testing::ClipboardHasFormat(format)) << static_cast<int>(format);
  const auto dibBlock = os::testing::ClipboardBlock(ClipboardFormat::Dib);
  const auto pngBlock = os::testing::ClipboardBlock(ClipboardFormat::Png);
  const auto bitmap = os::testing::ClipboardBitmap();
  ASSERT_TRUE(dibBlock && pngBlock && bitmap);
  const image_readers::DecodedBmp dib = image_readers::ReadDib(*dibBlock);
  const png_reader::DecodedPng png = png_reader::DecodePngBytes(*pngBlock);
  ASSERT_TRUE(png.ok);
  EXPECT_EQ(dib.bits, 24);
  EXPECT_EQ(png.colorType, PNG_COLOR_TYPE_RGB);
  for (const auto& [width, height] : {std::pair(dib.width, dib.height), std::pair(png.width, png.height),
                                      std::pair(bitmap->Width(), bitmap->Height())}) {
    ASSERT_EQ(width, picture.Width());
    ASSERT_EQ(height, picture.Height());
  }
  // Counted, not reported pixel by pixel: a capture has a million of them.
  int dibWrong = 0, pngWrong = 0, bitmapWrong = 0;
  for (int y = 0; y < picture.Height(); ++y) {
    for (int x = 0; x < picture.Width(); ++x) {
      const TColor expected = picture.Pixel(x, y) & 0xFFFFFF;
      const std::uint8_t* rgb = png.pixels.data() + (static_cast<std::size_t>(y) * png.width + x) * 3;
      dibWrong += dib.At(x, y) != expected;
      pngWrong += RGB(rgb[0], rgb[1], rgb[2]) != expected;
      bitmapWrong += (bitmap->Pixel(x, y) & 0xFFFFFF) != expected;
    }
  }
  EXPECT_EQ(dibWrong, 0);
  EXPECT_EQ(pngWrong, 0);
  EXPECT_EQ(bitmapWrong, 0);
}

}  // namespace clipboard_testing
