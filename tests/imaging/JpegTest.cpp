#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include <jerror.h>
#include <jpeglib.h>

#include "imaging/Errors.h"
#include "imaging/Graphics.h"
#include "imaging/Jpeg.h"
#include "tests/imaging/ImageReaders.h"
#include "tests/imaging/WriterFaults.h"
#include "tests/support/TestSupport.h"

namespace {

using testing_support::ReadFileBytes;
using testing_support::TempDir;
using Bytes = std::vector<std::uint8_t>;
using image_readers::DecodedJpeg;
using image_readers::DecodeJpeg;

// The markers from the start of the file up to and including the first start-of-scan.
std::vector<unsigned> HeaderMarkers(const Bytes& file) {
  std::vector<unsigned> markers;
  if (file.size() < 2 || file[0] != 0xFF || file[1] != 0xD8) return markers;
  markers.push_back(0xD8);
  std::size_t at = 2;
  while (at + 4 <= file.size() && file[at] == 0xFF) {
    const unsigned marker = file[at + 1];
    markers.push_back(marker);
    if (marker == 0xDA) break;
    at += 2 + ((file[at + 2] << 8) | file[at + 3]);
  }
  return markers;
}

// Flat 16 x 16 blocks of random colours: one block per colour-subsampled unit, so the decoded colours
// differ from the originals only by quantisation.
TBitmap BlockPicture(int width, int height, unsigned seed) {
  std::mt19937 random(seed);
  TBitmap bitmap;
  bitmap.SetSize(width, height);
  for (int top = 0; top < height; top += 16) {
    for (int left = 0; left < width; left += 16) bitmap.FillRect(left, top, 16, 16, random() & 0xFFFFFF);
  }
  return bitmap;
}

TEST(SaveBitmapAsJpeg, DecodesToThePictureWithinJpegError) {
  TempDir dir;
  for (const auto& size : {std::pair{48, 32}, std::pair{37, 23}, std::pair{1, 1}, std::pair{129, 7}}) {
    SCOPED_TRACE(std::to_string(size.first) + " x " + std::to_string(size.second));
    const TBitmap bitmap = BlockPicture(size.first, size.second, 7 + size.first);
    SaveBitmapAsJpeg(bitmap, dir.File("blocks.jpg"));
    const DecodedJpeg jpeg = DecodeJpeg(ReadFileBytes(dir.File("blocks.jpg")));
    ASSERT_TRUE(jpeg.ok);
    ASSERT_EQ(jpeg.width, size.first);
    ASSERT_EQ(jpeg.height, size.second);
    long totalError = 0;
    for (int y = 0; y < jpeg.height; ++y) {
      for (int x = 0; x < jpeg.width; ++x) {
        const TColor c = bitmap.Pixel(x, y);
        const int expected[3] = {static_cast<int>(GetRValue(c)), static_cast<int>(GetGValue(c)),
                                 static_cast<int>(GetBValue(c))};
        for (int k = 0; k < 3; ++k) {
          const int error = std::abs(static_cast<int>(jpeg.Channel(x, y, k)) - expected[k]);
          ASSERT_LE(error, 8) << "at " << x << "," << y << " channel " << k;
          totalError += error;
        }
      }
    }
    EXPECT_LE(totalError / (3.0 * jpeg.width * jpeg.height), 3.0);
  }
}

TEST(SaveBitmapAsJpeg, PureRedStaysRed) {
  TempDir dir;
  TBitmap bitmap;
  bitmap.SetSize(16, 16);
  bitmap.Fill(RGB(255, 0, 0));
  SaveBitmapAsJpeg(bitmap, dir.File("red.jpg"));
  const DecodedJpeg jpeg = DecodeJpeg(ReadFileBytes(dir.File("red.jpg")));
  ASSERT_TRUE(jpeg.ok);
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 16; ++x) {
      EXPECT_GE(jpeg.Channel(x, y, 0), 245u);
      EXPECT_LE(jpeg.Channel(x, y, 1), 10u);
      EXPECT_LE(jpeg.Channel(x, y, 2), 10u);
    }
  }
}

TEST(SaveBitmapAsJpeg, IsBaselineJfifWithTheLibraryDefaultsAtQuality90) {
  TempDir dir;
  for (const auto& size : {std::pair{1, 1}, std::pair{37, 23}, std::pair{300, 200}}) {
    SCOPED_TRACE(std::to_string(size.first) + " x " + std::to_string(size.second));
    SaveBitmapAsJpeg(writer_faults::NoisyPicture(size.first, size.second), dir.File("x.jpg"));
    const Bytes file = ReadFileBytes(dir.File("x.jpg"));
    // Start of image, then the JFIF APP0 segment: version 1.01, density unit 0, density 1 x 1, no thumbnail.
    const Bytes jfif = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J',  'F',  'I',  'F',
                        0x00, 0x01, 0x01, 0x00, 0x00, 0x01, 0x00, 0x01, 0x00, 0x00};
    ASSERT_GE(file.size(), jfif.size() + 2);
    EXPECT_EQ(Bytes(file.begin(), file.begin() + jfif.size()), jfif);
    EXPECT_EQ(file[file.size() - 2], 0xFF);
    EXPECT_EQ(file.back(), 0xD9);

    const std::vector<unsigned> markers = HeaderMarkers(file);
    const std::multiset<unsigned> seen(markers.begin(), markers.end());
    EXPECT_EQ(seen.count(0xC0), 1u) << "baseline frame header";
    for (unsigned sof = 0xC1; sof <= 0xCF; ++sof) {
      if (sof != 0xC4 && sof != 0xC8 && sof != 0xCC) {
        EXPECT_EQ(seen.count(sof), 0u) << std::hex << sof;
      }
    }
    EXPECT_EQ(seen.count(0xDA), 1u);
    EXPECT_EQ(seen.count(0xDB), 2u) << "two quantisation tables";
    EXPECT_EQ(seen.count(0xC4), 4u) << "four Huffman tables";
    EXPECT_EQ(seen.count(0xDD), 0u) << "no restart interval";
    EXPECT_EQ(seen.count(0xEE), 0u) << "no Adobe marker";

    const DecodedJpeg jpeg = DecodeJpeg(file);
    ASSERT_TRUE(jpeg.ok);
    EXPECT_FALSE(jpeg.progressive);
    EXPECT_FALSE(jpeg.arithmetic);
    EXPECT_TRUE(jpeg.jfif);
    EXPECT_EQ(jpeg.components, 3);
    EXPECT_EQ(jpeg.colorSpace, JCS_YCbCr);
    EXPECT_EQ(jpeg.sampling[0][0], 2);
    EXPECT_EQ(jpeg.sampling[0][1], 2);
    for (int c = 1; c < 3; ++c) {
      EXPECT_EQ(jpeg.sampling[c][0], 1);
      EXPECT_EQ(jpeg.sampling[c][1], 1);
    }
    // The standard tables scaled to quality 90 (factor 20 %): 16 -> 3, 11 -> 2, 99 -> 20, 17 -> 3.
    EXPECT_EQ(jpeg.lumaQuant[0], 3u);
    EXPECT_EQ(jpeg.lumaQuant[1], 2u);
    EXPECT_EQ(jpeg.lumaQuant[63], 20u);
    EXPECT_EQ(jpeg.chromaQuant[0], 3u);
    EXPECT_EQ(jpeg.chromaQuant[63], 20u);
    // The standard luminance DC table, not one optimised for the picture.
    const std::uint8_t standardDcBits[17] = {0, 0, 1, 5, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0};
    for (int i = 1; i < 17; ++i) EXPECT_EQ(jpeg.lumaDcBits[i], standardDcBits[i]) << "code length " << i;
  }
}

TEST(SaveBitmapAsJpeg, EmptyBitmapGivesEmptyFileAndAnyFileIsReplaced) {
  TempDir dir;
  const std::string fileName = dir.File("old.jpg");
  testing_support::WriteFileBytes(fileName, std::string(100000, 'x'));
  SaveBitmapAsJpeg(TBitmap(), fileName);
  EXPECT_TRUE(ReadFileBytes(fileName).empty());

  TBitmap noColumns;
  noColumns.SetSize(0, 9);
  testing_support::WriteFileBytes(fileName, "old content");
  SaveBitmapAsJpeg(noColumns, fileName);
  EXPECT_TRUE(ReadFileBytes(fileName).empty());

  testing_support::WriteFileBytes(fileName, std::string(100000, 'x'));
  SaveBitmapAsJpeg(writer_faults::OnePixel(), fileName);
  const Bytes file = ReadFileBytes(fileName);
  EXPECT_LT(file.size(), 1000u);
  EXPECT_TRUE(DecodeJpeg(file).ok);
}

TEST(SaveBitmapAsJpeg, LibraryErrorRaisesJpegErrorAndKeepsTheOldFile) {
  // The library refuses dimensions beyond 65500; the picture itself is small.
  TempDir dir;
  TBitmap wide;
  wide.SetSize(65501, 1);
  const std::string fileName = dir.File("wide.jpg");
  testing_support::WriteFileBytes(fileName, "old content");
  try {
    SaveBitmapAsJpeg(wide, fileName);
    ADD_FAILURE() << "no error";
  } catch (const EJPEGError& error) {
    EXPECT_EQ(error.MessageCode(), JERR_IMAGE_TOO_BIG);
    EXPECT_EQ(error.what(), "JPEG error #" + std::to_string(JERR_IMAGE_TOO_BIG));
  }
  EXPECT_EQ(testing_support::ReadFileText(fileName), "old content");

  // The writer is usable again after the error.
  SaveBitmapAsJpeg(writer_faults::OnePixel(), fileName);
  EXPECT_TRUE(DecodeJpeg(ReadFileBytes(fileName)).ok);
}

TEST(TJPEGImage, SettingsReachTheFile) {
  TempDir dir;
  const TBitmap picture = writer_faults::NoisyPicture(40, 24);
  TJPEGImage jpeg;
  EXPECT_EQ(jpeg.CompressionQuality(), 90);
  EXPECT_FALSE(jpeg.Grayscale());
  EXPECT_FALSE(jpeg.ProgressiveEncoding());
  EXPECT_THROW(jpeg.SetCompressionQuality(0), std::invalid_argument);
  EXPECT_THROW(jpeg.SetCompressionQuality(101), std::invalid_argument);
  EXPECT_EQ(jpeg.CompressionQuality(), 90);

  jpeg.Assign(picture);
  jpeg.SaveToFile(dir.File("default.jpg"));
  const Bytes normal = ReadFileBytes(dir.File("default.jpg"));
  EXPECT_EQ(Bytes(jpeg.Data(), jpeg.Data() + jpeg.DataSize()), normal);
  jpeg.Assign(picture);
  EXPECT_EQ(jpeg.DataSize(), 0u) << "assigning discards the compressed data";

  jpeg.SetGrayscale(true);
  jpeg.SetProgressiveEncoding(true);
  jpeg.SetCompressionQuality(50);
  jpeg.SaveToFile(dir.File("changed.jpg"));
  const Bytes changed = ReadFileBytes(dir.File("changed.jpg"));
  const DecodedJpeg decoded = DecodeJpeg(changed);
  ASSERT_TRUE(decoded.ok);
  EXPECT_EQ(decoded.components, 1);
  EXPECT_TRUE(decoded.progressive);
  EXPECT_EQ(decoded.lumaQuant[0], 16u);  // quality 50 keeps the standard table
  EXPECT_LT(changed.size(), normal.size());
}

TEST(SaveBitmapAsJpeg, FailuresRaiseTheirErrors) {
  writer_faults::ExpectMissingFolderFails(SaveBitmapAsJpeg);
  writer_faults::ExpectUnwritableTargetFails(SaveBitmapAsJpeg);
}

TEST(SaveBitmapAsJpeg, FullDiskRaisesTheWriteError) {
  const std::string device = writer_faults::FullDevice();
  if (device.empty()) SKIP_OR_FAIL_WHERE_PROMISED("no full-disk device on this system");
  writer_faults::ExpectFullDiskFails(SaveBitmapAsJpeg, device);
}

}  // namespace
