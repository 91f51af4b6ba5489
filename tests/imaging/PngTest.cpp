#include <gtest/gtest.h>

#include <png.h>

#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "imaging/Errors.h"
#include "imaging/Graphics.h"
#include "imaging/Png.h"
#include "tests/imaging/PngReader.h"
#include "tests/imaging/WriterFaults.h"
#include "tests/support/TestSupport.h"

namespace {

using testing_support::ReadFileBytes;
using testing_support::TempDir;
using Bytes = std::vector<std::uint8_t>;
using png_reader::DecodedPng;
using png_reader::ReadPngWithLibrary;

// The pixels a writer must store: red, green, blue (and the alpha given), rows top first.
Bytes ExpectedPixels(const TBitmap& bitmap, const Bytes* alpha) {
  Bytes pixels;
  for (int y = 0; y < bitmap.Height(); ++y) {
    for (int x = 0; x < bitmap.Width(); ++x) {
      const TColor c = bitmap.Pixel(x, y);
      pixels.insert(pixels.end(),
                    {static_cast<std::uint8_t>(GetRValue(c)), static_cast<std::uint8_t>(GetGValue(c)),
                     static_cast<std::uint8_t>(GetBValue(c))});
      if (alpha != nullptr) pixels.push_back((*alpha)[static_cast<std::size_t>(y) * bitmap.Width() + x]);
    }
  }
  return pixels;
}

// The pictures of the round-trip tests: noise, flat areas, gradients, stripes and single pixels at
// many sizes (odd widths among them), some at 16 bits, some written through ScanLine with a stray top
// byte in every word.
std::vector<TBitmap> Pictures(int count, unsigned seed) {
  std::mt19937 random(seed);
  std::vector<TBitmap> pictures;
  const std::pair<int, int> fixed[] = {{1, 1}, {1, 37},  {53, 1},    {2, 2},
                                       {3, 5}, {255, 3}, {301, 199}, {7, 300}};
  for (int i = 0; i < count; ++i) {
    int width, height;
    if (i < static_cast<int>(std::size(fixed))) {
      width = fixed[i].first;
      height = fixed[i].second;
    } else {
      width = 1 + static_cast<int>(random() % (i % 5 == 0 ? 320 : 64));
      height = 1 + static_cast<int>(random() % (i % 7 == 0 ? 260 : 48));
    }
    TBitmap bitmap;
    bitmap.SetSize(width, height);
    switch (i % 6) {
      case 0:  // noise
        for (int y = 0; y < height; ++y) {
          for (int x = 0; x < width; ++x) bitmap.SetPixel(x, y, random() & 0xFFFFFF);
        }
        break;
      case 1:  // flat rectangles, as on a screen
        bitmap.Fill(random() & 0xFFFFFF);
        for (int r = 0; r < 6; ++r) {
          bitmap.FillRect(static_cast<int>(random() % width), static_cast<int>(random() % height),
                          1 + static_cast<int>(random() % width), 1 + static_cast<int>(random() % height),
                          random() & 0xFFFFFF);
        }
        break;
      case 2:  // gradients in every channel
        for (int y = 0; y < height; ++y) {
          for (int x = 0; x < width; ++x) bitmap.SetPixel(x, y, RGB(x * 7 + y, y * 3, (x ^ y) * 5));
        }
        break;
      case 3: {  // stripes and a stray top byte in every word, written as a capture would
        for (int y = 0; y < height; ++y) {
          TBitmap::Pixel32* row = bitmap.ScanLine(y);
          for (int x = 0; x < width; ++x)
            row[x] = (x % 3 == 0 ? 0xFF00FF00u : 0x7F123456u) ^ (y & 1 ? 0xFFFFFF : 0);
        }
        break;
      }
      case 4:  // noise held at 16 bits per pixel
        for (int y = 0; y < height; ++y) {
          for (int x = 0; x < width; ++x) bitmap.SetPixel(x, y, random() & 0xFFFFFF);
        }
        bitmap.SetBitsPerPixel(16);
        break;
      default:  // extremes: black, white and primaries in a checkerboard
        for (int y = 0; y < height; ++y) {
          for (int x = 0; x < width; ++x) {
            const TColor colours[] = {clBlack, clWhite, RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255)};
            bitmap.SetPixel(x, y, colours[(x + 2 * y) % 5]);
          }
        }
        break;
    }
    pictures.push_back(std::move(bitmap));
  }
  return pictures;
}

Bytes AlphaFor(const TBitmap& bitmap, int kind, std::mt19937& random) {
  Bytes alpha(static_cast<std::size_t>(bitmap.Width()) * bitmap.Height());
  for (int y = 0; y < bitmap.Height(); ++y) {
    for (int x = 0; x < bitmap.Width(); ++x) {
      std::uint8_t& a = alpha[static_cast<std::size_t>(y) * bitmap.Width() + x];
      switch (kind % 3) {
        case 0:
          a = static_cast<std::uint8_t>(random());
          break;
        case 1:  // a disc with a soft edge, as a glyph's coverage
          a = static_cast<std::uint8_t>(
              std::max(0, std::min(255, 255 * 8 - 40 * ((x - 10) * (x - 10) + (y - 8) * (y - 8)) / 8)));
          break;
        default:  // only the extremes and a few steps
          a = static_cast<std::uint8_t>((x + y) % 4 * 85);
          break;
      }
    }
  }
  return alpha;
}

#ifdef PILLOW_PIXELS_SCRIPT
// Decodes the files with Pillow in one run of the helper; false when Python or Pillow is missing.
bool DecodeWithPillow(const std::vector<std::string>& files) {
  // Debian's interpreter, where the set-up installs Pillow (python3-pil).
  std::string command = "/usr/bin/python3 \"" PILLOW_PIXELS_SCRIPT "\"";
  for (const std::string& f : files) command += " \"" + f + "\"";
  return std::system(command.c_str()) == 0;
}

void ExpectPillowPixels(const std::string& fileName, const char* mode, int width, int height,
                        const Bytes& expected) {
  const Bytes file = ReadFileBytes(fileName + ".pixels");
  const std::string header =
      std::string(mode) + " " + std::to_string(width) + " " + std::to_string(height) + "\n";
  ASSERT_GE(file.size(), header.size());
  EXPECT_EQ(std::string(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(header.size())), header);
  EXPECT_TRUE(Bytes(file.begin() + static_cast<std::ptrdiff_t>(header.size()), file.end()) == expected)
      << "Pillow decodes other pixels";
}
#endif

// Writes every picture, decodes it with the library's reader and, natively, with Pillow, and expects
// exactly the pixels written.
void ExpectRoundTrips(const std::vector<TBitmap>& pictures, const std::vector<Bytes>* alphas) {
  TempDir dir;
  std::vector<std::string> files;
  std::vector<Bytes> expected;
  for (std::size_t i = 0; i < pictures.size(); ++i) {
    files.push_back(dir.File(std::to_string(i) + ".png"));
    if (alphas != nullptr) {
      SaveBitmapAsPngWithAlpha(pictures[i], (*alphas)[i], files.back());
    } else {
      SaveBitmapAsPng(pictures[i], files.back());
    }
    expected.push_back(ExpectedPixels(pictures[i], alphas != nullptr ? &(*alphas)[i] : nullptr));
    const DecodedPng decoded = ReadPngWithLibrary(files.back());
    SCOPED_TRACE("picture " + std::to_string(i) + ": " + std::to_string(pictures[i].Width()) + " x " +
                 std::to_string(pictures[i].Height()));
    ASSERT_TRUE(decoded.ok);
    EXPECT_EQ(decoded.width, pictures[i].Width());
    EXPECT_EQ(decoded.height, pictures[i].Height());
    EXPECT_EQ(decoded.bitDepth, 8);
    EXPECT_EQ(decoded.colorType, alphas != nullptr ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB);
    EXPECT_TRUE(decoded.pixels == expected.back()) << "the library decodes other pixels";
    // The program's own reader gives the colours back (the alpha dropped), up to the library's width.
    const std::optional<TBitmap> read = ReadPngFile(files.back());
    ASSERT_EQ(read.has_value(), pictures[i].Width() <= 1000000);
    if (!read) continue;
    ASSERT_EQ(read->Width(), pictures[i].Width());
    ASSERT_EQ(read->Height(), pictures[i].Height());
    for (int y = 0; y < read->Height(); ++y)
      for (int x = 0; x < read->Width(); ++x)
        ASSERT_EQ(read->Pixel(x, y) & 0xFFFFFF, pictures[i].Pixel(x, y) & 0xFFFFFF) << x << "," << y;
  }
#ifdef PILLOW_PIXELS_SCRIPT
  if (!DecodeWithPillow(files)) SKIP_OR_FAIL_WHERE_PROMISED("Pillow (python3-pil) cannot decode here");
  for (std::size_t i = 0; i < files.size(); ++i) {
    SCOPED_TRACE("picture " + std::to_string(i));
    ExpectPillowPixels(files[i], alphas != nullptr ? "RGBA" : "RGB", pictures[i].Width(),
                       pictures[i].Height(), expected[i]);
  }
#endif
}

TEST(SaveBitmapAsPng, DecodesToExactlyThePixelsWritten) { ExpectRoundTrips(Pictures(300, 2026), nullptr); }

TEST(SaveBitmapAsPngWithAlpha, DecodesToExactlyTheColoursAndAlphaWritten) {
  const std::vector<TBitmap> pictures = Pictures(120, 77);
  std::mt19937 random(5);
  std::vector<Bytes> alphas;
  for (std::size_t i = 0; i < pictures.size(); ++i)
    alphas.push_back(AlphaFor(pictures[i], static_cast<int>(i), random));
  ExpectRoundTrips(pictures, &alphas);
}

TEST(SavePngGreyWithAlpha, DecodesToTheGreyAndTheAlphaWritten) {
  TempDir dir;
  std::mt19937 random(9);
  Bytes alpha(37 * 23), expected;
  for (std::uint8_t& a : alpha) {
    a = static_cast<std::uint8_t>(random());
    expected.insert(expected.end(), {200, a});
  }
  SavePngGreyWithAlpha(37, 23, 200, alpha, dir.File("grey.png"));
  const DecodedPng decoded = ReadPngWithLibrary(dir.File("grey.png"));
  ASSERT_TRUE(decoded.ok);
  EXPECT_EQ(decoded.colorType, PNG_COLOR_TYPE_GRAY_ALPHA);
  EXPECT_EQ(decoded.width, 37);
  EXPECT_TRUE(decoded.pixels == expected);
  EXPECT_THROW(SavePngGreyWithAlpha(37, 22, 200, alpha, dir.File("short.png")), std::invalid_argument);
  EXPECT_FALSE(std::filesystem::exists(dir.File("short.png")));
}

TEST(ReadPngFile, GivesNothingForAMissingFileAFileCutShortOrOneThatIsNoPng) {
  TempDir dir;
  TBitmap picture;
  picture.SetSize(40, 30);
  picture.Fill(RGB(200, 30, 10));
  SaveBitmapAsPng(picture, dir.File("whole.png"));
  const Bytes whole = ReadFileBytes(dir.File("whole.png"));
  for (const auto& [name, bytes] :
       {std::pair<std::string, Bytes>{"cut.png", Bytes(whole.begin(), whole.end() - 20)},
        {"text.png", Bytes{'n', 'o', ' ', 'p', 'n', 'g'}},
        {"empty.png", Bytes{}}}) {
    std::FILE* file = std::fopen(dir.File(name).c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
    EXPECT_FALSE(ReadPngFile(dir.File(name)).has_value()) << name;
  }
  EXPECT_FALSE(ReadPngFile(dir.File("missing.png")).has_value());
  EXPECT_EQ(ReadPngFile(dir.File("whole.png"))->Pixel(39, 29), RGB(200, 30, 10));
}

TEST(SaveBitmapAsPng, WiderThanAMillionPixelsIsWritten) {
  // The library's default limit for a side is a million pixels; the format allows far more.
  TBitmap wide;
  wide.SetSize(1000001, 2);
  wide.SetPixel(1000000, 1, RGB(9, 8, 7));
  std::vector<TBitmap> pictures;
  pictures.push_back(std::move(wide));
  ExpectRoundTrips(pictures, nullptr);
}

TEST(SaveBitmapAsPng, EmptyBitmapGivesEmptyFileAndAnyFileIsReplaced) {
  TempDir dir;
  const std::string fileName = dir.File("old.png");
  testing_support::WriteFileBytes(fileName, std::string(100000, 'x'));
  SaveBitmapAsPng(TBitmap(), fileName);
  EXPECT_TRUE(ReadFileBytes(fileName).empty());

  TBitmap noColumns;
  noColumns.SetSize(0, 9);
  testing_support::WriteFileBytes(fileName, "old content");
  SaveBitmapAsPngWithAlpha(noColumns, {}, fileName);
  EXPECT_TRUE(ReadFileBytes(fileName).empty());

  testing_support::WriteFileBytes(fileName, std::string(100000, 'x'));
  SaveBitmapAsPng(writer_faults::OnePixel(), fileName);
  const Bytes file = ReadFileBytes(fileName);
  EXPECT_LT(file.size(), 200u);
  EXPECT_TRUE(ReadPngWithLibrary(fileName).ok);
}

TEST(SaveBitmapAsPngWithAlpha, AlphaOfTheWrongSizeIsRefusedAndKeepsTheOldFile) {
  TempDir dir;
  const std::string fileName = dir.File("old.png");
  const TBitmap picture = writer_faults::NoisyPicture(5, 4);
  for (const std::size_t size : {std::size_t{0}, std::size_t{19}, std::size_t{21}, std::size_t{25}}) {
    testing_support::WriteFileBytes(fileName, "old content");
    EXPECT_THROW(SaveBitmapAsPngWithAlpha(picture, Bytes(size, 255), fileName), std::invalid_argument)
        << size;
    EXPECT_EQ(testing_support::ReadFileText(fileName), "old content");
  }
  EXPECT_THROW(SaveBitmapAsPngWithAlpha(TBitmap(), Bytes(1, 255), fileName), std::invalid_argument);
  EXPECT_EQ(testing_support::ReadFileText(fileName), "old content");
}

TEST(CheckPngSize, RefusesSizesTheFormatCannotHold) {
  EXPECT_NO_THROW(CheckPngSize(536870798, 1, 4));
  EXPECT_NO_THROW(CheckPngSize(1, 0x7FFFFFFF, 3));
  try {
    CheckPngSize(536870799, 1, 3);
    ADD_FAILURE() << "no error";
  } catch (const EImageError& error) {
    EXPECT_STREQ(error.what(),
                 "A picture of 536870799 x 1 pixels at 24 bits per pixel does not fit a PNG file");
  }
  try {
    CheckPngSize(2, 0x80000000LL, 4);
    ADD_FAILURE() << "no error";
  } catch (const EImageError& error) {
    EXPECT_STREQ(error.what(),
                 "A picture of 2 x 2147483648 pixels at 32 bits per pixel does not fit a PNG file");
  }
  EXPECT_THROW(CheckPngSize(-1, 1, 3), std::invalid_argument);
  EXPECT_THROW(CheckPngSize(1, 1, 2), std::invalid_argument);
}

void SaveWithHalfAlpha(const TBitmap& bitmap, const std::string& fileName) {
  SaveBitmapAsPngWithAlpha(bitmap, Bytes(static_cast<std::size_t>(bitmap.Width()) * bitmap.Height(), 128),
                           fileName);
}

TEST(SaveBitmapAsPng, FailuresRaiseTheirErrors) {
  writer_faults::ExpectMissingFolderFails(SaveBitmapAsPng);
  writer_faults::ExpectUnwritableTargetFails(SaveBitmapAsPng);
}

TEST(SaveBitmapAsPngWithAlpha, FailuresRaiseTheirErrors) {
  writer_faults::ExpectMissingFolderFails(SaveWithHalfAlpha);
  writer_faults::ExpectUnwritableTargetFails(SaveWithHalfAlpha);
}

TEST(SaveBitmapAsPng, FullDiskRaisesTheWriteError) {
  const std::string device = writer_faults::FullDevice();
  if (device.empty()) SKIP_OR_FAIL_WHERE_PROMISED("no full-disk device on this system");
  writer_faults::ExpectFullDiskFails(SaveBitmapAsPng, device);
  writer_faults::ExpectFullDiskFails(SaveWithHalfAlpha, device);
}

}  // namespace
