#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "imaging/Bmp.h"
#include "imaging/Errors.h"
#include "imaging/Graphics.h"
#include "tests/imaging/ImageReaders.h"
#include "tests/imaging/WriterFaults.h"
#include "tests/support/TestSupport.h"

namespace {

using testing_support::ReadFileBytes;
using testing_support::TempDir;
using Bytes = std::vector<std::uint8_t>;
using image_readers::DecodedBmp;
using image_readers::ReadBmp;

Bytes Header(std::uint32_t fileSize, int width, int height, int bits, std::uint32_t imageSize) {
  const auto u32 = [](std::uint32_t v) {
    return Bytes{static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
                 static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)};
  };
  Bytes header{'B', 'M'};
  const auto append = [&header](const Bytes& part) { header.insert(header.end(), part.begin(), part.end()); };
  append(u32(fileSize));
  append(u32(0));
  append(u32(54));
  append(u32(40));
  append(u32(width));
  append(u32(height));
  append({1, 0, static_cast<std::uint8_t>(bits), 0});
  append(u32(0));
  append(u32(imageSize));
  append(Bytes(16, 0));
  return header;
}

Bytes Concat(Bytes head, const Bytes& tail) {
  head.insert(head.end(), tail.begin(), tail.end());
  return head;
}

TEST(SaveBitmapAsBmp, OnePixelAt32BitsIsThe58ByteFile) {
  TempDir dir;
  TBitmap bitmap;
  bitmap.SetSize(1, 1);
  bitmap.SetPixel(0, 0, RGB(0x12, 0x34, 0x56));
  SaveBitmapAsBmp(bitmap, dir.File("one.bmp"));
  const Bytes expected = Concat(Header(58, 1, 1, 32, 4), {0x56, 0x34, 0x12, 0x00});
  EXPECT_EQ(ReadFileBytes(dir.File("one.bmp")), expected);

  // Whatever sits in the unused top byte of a pixel word, the fourth byte on file is 0.
  bitmap.ScanLine(0)[0] = 0xAB123456;
  SaveBitmapAsBmp(bitmap, dir.File("one.bmp"));
  EXPECT_EQ(ReadFileBytes(dir.File("one.bmp")), expected);
}

TEST(SaveBitmapAsBmp, At32BitsThePixelDataIsTheBitmapsRowsBottomUpWithAZeroFourthByte) {
  TempDir dir;
  // 5 x 3 = 15 words: the check of the fourth bytes runs in steps of 8 and then word by word.
  TBitmap bitmap;
  bitmap.SetSizeForOverwrite(5, 3);
  for (int i = 0; i < 15; ++i) bitmap.Bits()[i] = 0x00010203u * static_cast<std::uint32_t>(i + 1);
  Bytes pixels;
  for (int i = 0; i < 15; ++i) {  // memory order is file order: the bottom row first
    const std::uint32_t word = 0x00010203u * static_cast<std::uint32_t>(i + 1);
    pixels.insert(pixels.end(), {static_cast<std::uint8_t>(word), static_cast<std::uint8_t>(word >> 8),
                                 static_cast<std::uint8_t>(word >> 16), 0});
  }
  const Bytes expected = Concat(Header(54 + 60, 5, 3, 32, 60), pixels);
  SaveBitmapAsBmp(bitmap, dir.File("rows.bmp"));
  EXPECT_EQ(ReadFileBytes(dir.File("rows.bmp")), expected);
  EXPECT_EQ(ReadBmp(expected).At(0, 0), bitmap.Pixel(0, 0)) << "the first stored row is the bottom row";

  // A top byte in the last word alone, or in one within the steps of 8, still gives 0 on file, and
  // the bitmap keeps what its caller put there.
  for (const int at : {14, 9}) {
    bitmap.Bits()[at] |= 0xC0000000u;
    SaveBitmapAsBmp(bitmap, dir.File("rows.bmp"));
    EXPECT_EQ(ReadFileBytes(dir.File("rows.bmp")), expected) << at;
    EXPECT_EQ(bitmap.Bits()[at] >> 24, 0xC0u) << at;
    bitmap.Bits()[at] &= 0x00FFFFFFu;
  }
}

TEST(SaveBitmapAsBmp, RowsAt24BitsArePaddedAndStoredBottomUp) {
  TempDir dir;
  TBitmap bitmap;
  bitmap.SetBitsPerPixel(24);
  bitmap.SetSize(3, 2);
  for (int x = 0; x < 3; ++x) {
    bitmap.SetPixel(x, 0, RGB(10 + 30 * x, 20 + 30 * x, 30 + 30 * x));
    bitmap.SetPixel(x, 1, RGB(11 + 30 * x, 21 + 30 * x, 31 + 30 * x));
  }
  SaveBitmapAsBmp(bitmap, dir.File("rows.bmp"));
  const Bytes pixels = {31, 21, 11, 61, 51, 41, 91, 81, 71, 0, 0, 0,   // bottom row, 3 bytes of padding
                        30, 20, 10, 60, 50, 40, 90, 80, 70, 0, 0, 0};  // top row
  EXPECT_EQ(ReadFileBytes(dir.File("rows.bmp")), Concat(Header(78, 3, 2, 24, 24), pixels));
}

TEST(SaveBitmapAsBmp, PixelsAt16BitsAre555Words) {
  TempDir dir;
  TBitmap bitmap;
  bitmap.SetBitsPerPixel(16);
  bitmap.SetSize(3, 2);
  bitmap.SetPixel(0, 0, RGB(255, 0, 0));
  bitmap.SetPixel(1, 0, RGB(0, 255, 0));
  bitmap.SetPixel(2, 0, RGB(8, 16, 255));
  bitmap.SetPixel(0, 1, clWhite);
  bitmap.SetPixel(1, 1, RGB(7, 7, 7));  // below the 5-bit step: black
  bitmap.ScanLine(1)[2] = 0xFFFFFFFF;   // all bits set in the word: still bit 15 zero on file
  SaveBitmapAsBmp(bitmap, dir.File("555.bmp"));
  const Bytes pixels = {0xFF, 0x7F, 0x00, 0x00, 0xFF, 0x7F, 0, 0,   // bottom row, 2 bytes of padding
                        0x00, 0x7C, 0xE0, 0x03, 0x5F, 0x04, 0, 0};  // top row
  EXPECT_EQ(ReadFileBytes(dir.File("555.bmp")), Concat(Header(70, 3, 2, 16, 16), pixels));
}

TEST(SaveBitmapAsBmp, EmptyBitmapGivesEmptyFileAndAnyFileIsReplaced) {
  TempDir dir;
  const std::string fileName = dir.File("old.bmp");
  testing_support::WriteFileBytes(fileName, std::string(1000, 'x'));
  SaveBitmapAsBmp(TBitmap(), fileName);
  EXPECT_TRUE(ReadFileBytes(fileName).empty());

  TBitmap noRows;
  noRows.SetSize(5, 0);
  testing_support::WriteFileBytes(fileName, "old content");
  SaveBitmapAsBmp(noRows, fileName);
  EXPECT_TRUE(ReadFileBytes(fileName).empty());

  // A longer old file is cut to the new content.
  testing_support::WriteFileBytes(fileName, std::string(1000, 'x'));
  SaveBitmapAsBmp(writer_faults::OnePixel(), fileName);
  EXPECT_EQ(ReadFileBytes(fileName).size(), 58u);
}

TEST(SaveBitmapAsBmp, RandomPicturesReadBackUnchangedAtEveryDepth) {
  TempDir dir;
  std::mt19937 random(20240611);
  const int sizes[][2] = {{1, 1}, {2, 3}, {3, 2}, {5, 7}, {17, 1}, {1, 17}, {31, 13}, {64, 3}, {101, 37}};
  for (const int depth : {16, 24, 32}) {
    for (const auto& size : sizes) {
      SCOPED_TRACE(std::to_string(size[0]) + " x " + std::to_string(size[1]) + " at " +
                   std::to_string(depth));
      TBitmap bitmap;
      bitmap.SetBitsPerPixel(depth);
      bitmap.SetSize(size[0], size[1]);
      for (int y = 0; y < size[1]; ++y) {
        for (int x = 0; x < size[0]; ++x) bitmap.SetPixel(x, y, random() & 0xFFFFFF);
      }
      SaveBitmapAsBmp(bitmap, dir.File("random.bmp"));
      const DecodedBmp bmp = ReadBmp(ReadFileBytes(dir.File("random.bmp")));
      ASSERT_EQ(bmp.width, size[0]);
      ASSERT_EQ(bmp.height, size[1]);
      ASSERT_EQ(bmp.bits, depth);
      for (int y = 0; y < size[1]; ++y) {
        for (int x = 0; x < size[0]; ++x) ASSERT_EQ(bmp.At(x, y), bitmap.Pixel(x, y)) << x << "," << y;
      }
    }
  }
}

TEST(BmpLayout, RefusesSizesTheHeaderFieldsCannotHold) {
  const TBmpLayout one = BmpLayout(1, 1, 32);
  EXPECT_EQ(one.stride, 4u);
  EXPECT_EQ(one.imageSize, 4u);
  EXPECT_EQ(one.fileSize, 58u);
  const TBmpLayout odd = BmpLayout(3, 2, 16);
  EXPECT_EQ(odd.stride, 8u);
  EXPECT_EQ(odd.fileSize, 70u);

  // The largest picture one pixel wide: 54 + 4 x H must stay within 32 bits.
  const TBmpLayout tallest = BmpLayout(1, 1073741810, 32);
  EXPECT_EQ(tallest.imageSize, 4294967240u);
  EXPECT_EQ(tallest.fileSize, 4294967294u);
  try {
    BmpLayout(1, 1073741811, 32);
    ADD_FAILURE() << "a file size beyond 32 bits was accepted";
  } catch (const EImageError& error) {
    EXPECT_STREQ(error.what(), "A picture of 1 x 1073741811 pixels at 32 bits per pixel does not fit a BMP file");
  }
  EXPECT_THROW(BmpLayout(65536, 65536, 16), EImageError);  // pixel data of 8 GiB
  EXPECT_THROW(BmpLayout(INT_MAX, 1, 32), EImageError);    // a stride beyond 32 bits
  EXPECT_THROW(BmpLayout(INT_MAX, INT_MAX, 32), EImageError);
  EXPECT_THROW(BmpLayout(-1, 1, 32), std::invalid_argument);
  EXPECT_THROW(BmpLayout(1, 1, 8), std::invalid_argument);
}

TEST(SaveBitmapAsBmp, FailuresRaiseTheirErrors) {
  writer_faults::ExpectMissingFolderFails(SaveBitmapAsBmp);
  writer_faults::ExpectUnwritableTargetFails(SaveBitmapAsBmp);
}

TEST(SaveBitmapAsBmp, FullDiskRaisesTheWriteError) {
  const std::string device = writer_faults::FullDevice();
  if (device.empty()) SKIP_OR_FAIL_WHERE_PROMISED("no full-disk device on this system");
  writer_faults::ExpectFullDiskFails(SaveBitmapAsBmp, device);
}

}  // namespace
