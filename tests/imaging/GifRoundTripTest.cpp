// Written GIF files read back by an independent decoder (giflib): each decodes to exactly the palette
// and the indices that the colour reduction gives, for random and structured pictures.

#include <gif_lib.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "imaging/Gifimage.h"
#include "tests/support/TestSupport.h"

namespace {

struct Decoded {
  int screenWidth = 0, screenHeight = 0;
  bool globalMap = true;
  int imageCount = 0;
  int width = 0, height = 0;
  bool interlaced = true;
  std::vector<TGIFColor> colors;
  std::vector<std::uint8_t> indices;
  int transparent = -2;  // -1: an extension without transparency; -2: no extension
};

Decoded ReadWithGiflib(const std::string& fileName) {
  Decoded result;
  int error = 0;
  auto close = [](GifFileType* gif) {
    int ignored = 0;
    DGifCloseFile(gif, &ignored);
  };
  std::unique_ptr<GifFileType, decltype(close)> gif(DGifOpenFileName(fileName.c_str(), &error), close);
  if (!gif) {
    ADD_FAILURE() << "giflib cannot open " << fileName << ": " << GifErrorString(error);
    return result;
  }
  if (DGifSlurp(gif.get()) != GIF_OK) {
    ADD_FAILURE() << "giflib cannot read " << fileName << ": " << GifErrorString(gif->Error);
    return result;
  }
  result.screenWidth = gif->SWidth;
  result.screenHeight = gif->SHeight;
  result.globalMap = gif->SColorMap != nullptr;
  result.imageCount = gif->ImageCount;
  if (gif->ImageCount < 1) return result;
  const SavedImage& image = gif->SavedImages[0];
  result.width = image.ImageDesc.Width;
  result.height = image.ImageDesc.Height;
  result.interlaced = image.ImageDesc.Interlace;
  if (image.ImageDesc.ColorMap != nullptr) {
    for (int i = 0; i < image.ImageDesc.ColorMap->ColorCount; ++i) {
      const GifColorType& c = image.ImageDesc.ColorMap->Colors[i];
      result.colors.push_back({c.Red, c.Green, c.Blue});
    }
  }
  result.indices.assign(image.RasterBits,
                        image.RasterBits + static_cast<std::size_t>(result.width) * result.height);
  GraphicsControlBlock control;
  if (DGifSavedExtensionToGCB(gif.get(), 0, &control) == GIF_OK)
    result.transparent = control.TransparentColor;
  return result;
}

// Checks the file against the reduction of the bitmap with the given bits.
void ExpectMatchesReduction(const std::string& fileName, const TBitmap& bitmap, int bits,
                            const std::string& what) {
  const TPaletteBitmap expected = ReduceColors(bitmap, rmQuantize, dmNearest, bits);
  const Decoded decoded = ReadWithGiflib(fileName);
  ASSERT_EQ(decoded.imageCount, 1) << what;
  EXPECT_FALSE(decoded.globalMap) << what;
  EXPECT_FALSE(decoded.interlaced) << what;
  EXPECT_EQ(decoded.screenWidth, bitmap.Width()) << what;
  EXPECT_EQ(decoded.screenHeight, bitmap.Height()) << what;
  ASSERT_EQ(decoded.width, bitmap.Width()) << what;
  ASSERT_EQ(decoded.height, bitmap.Height()) << what;
  EXPECT_EQ(decoded.colors, expected.Palette()) << what;
  EXPECT_TRUE(decoded.indices == expected.Pixels()) << what << ": indices differ";
}

// A picture of the given kind: noise over a random colour set, long runs, stripes, gradients.
TBitmap MakePicture(std::mt19937& random, int kind, int width, int height, int colorCount) {
  std::vector<TColor> colors(static_cast<std::size_t>(colorCount));
  for (auto& c : colors) c = random() & 0xFFFFFF;
  TBitmap bitmap;
  bitmap.SetSize(width, height);
  TColor current = colors[0];
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      TColor color = 0;
      switch (kind) {
        case 0:  // noise
          color = colors[random() % colors.size()];
          break;
        case 1:  // runs of random length, crossing rows
          if (random() % 97 == 0) current = colors[random() % colors.size()];
          color = current;
          break;
        case 2:  // vertical stripes and blocks
          color = colors[static_cast<std::size_t>((x / 7 + (y / 13) * 3) % colorCount)];
          break;
        default:  // a gradient with noise: many colours, merged
          color = RGB(x * 255 / width, y * 255 / height, (random() % 64) + (x + y) % 128);
          break;
      }
      bitmap.SetPixel(x, y, color);
    }
  }
  return bitmap;
}

}  // namespace

TEST(GifRoundTripTest, RandomAndStructuredPicturesDecodeToTheirReduction) {
  testing_support::TempDir dir;
  std::mt19937 random(4711);
  int transparentFound = 0, transparentMissing = 0;
  for (int round = 0; round < 320; ++round) {
    const int kind = round % 4;
    const bool large = round % 10 == 0;
    const int width = 1 + static_cast<int>(random() % (large ? 300 : 90));
    const int height = 1 + static_cast<int>(random() % (large ? 300 : 90));
    const int colorCount = 1 + static_cast<int>(random() % 300);
    const TBitmap bitmap = MakePicture(random, kind, width, height, colorCount);
    const std::string what = "round " + std::to_string(round) + " (" + std::to_string(width) + " x " +
                             std::to_string(height) + ", kind " + std::to_string(kind) + ")";
    const std::string fileName = dir.File("picture" + std::to_string(round) + ".gif");

    if (round % 3 != 0) {
      SaveBitmapAsGif(bitmap, fileName);
      ExpectMatchesReduction(fileName, bitmap, 8, what);
      EXPECT_EQ(ReadWithGiflib(fileName).transparent, -2) << what;
      continue;
    }
    // Transparent: the colour of a pixel, found at its highest palette index when the palette holds it.
    const TColor background = bitmap.Pixel(static_cast<int>(random() % width), 0);
    const TPaletteBitmap reduced = ReduceColors(bitmap);
    const TGIFColor entry{static_cast<std::uint8_t>(GetRValue(background)),
                          static_cast<std::uint8_t>(GetGValue(background)),
                          static_cast<std::uint8_t>(GetBValue(background))};
    int highest = -1;
    for (int i = 0; i < 256; ++i) {
      if (reduced.Palette()[static_cast<std::size_t>(i)] == entry) highest = i;
    }
    if (highest < 0) {
      EXPECT_THROW(SaveBitmapAsGif(bitmap, fileName, background), GIFException) << what;
      EXPECT_FALSE(std::filesystem::exists(fileName)) << what;
      ++transparentMissing;
      continue;
    }
    SaveBitmapAsGif(bitmap, fileName, background);
    ExpectMatchesReduction(fileName, bitmap, 8, what);
    EXPECT_EQ(ReadWithGiflib(fileName).transparent, highest) << what;
    ++transparentFound;
  }
  // Both outcomes of a transparent export came up.
  EXPECT_GT(transparentFound, 10);
  EXPECT_GT(transparentMissing, 5);
}

TEST(GifRoundTripTest, LongRunsSmallPalettesAndTheWidestPicture) {
  testing_support::TempDir dir;
  // One colour and two halves: runs far longer than a row, sent with codes up to 12 bits.
  {
    TBitmap bitmap;
    bitmap.SetSize(300, 300);
    bitmap.Fill(RGB(12, 34, 56));
    SaveBitmapAsGif(bitmap, dir.File("one.gif"));
    ExpectMatchesReduction(dir.File("one.gif"), bitmap, 8, "one colour");
    bitmap.FillRect(0, 150, 300, 150, RGB(200, 0, 0));
    bitmap.FillRect(100, 140, 1, 1, RGB(0, 0, 0));
    SaveBitmapAsGif(bitmap, dir.File("halves.gif"));
    ExpectMatchesReduction(dir.File("halves.gif"), bitmap, 8, "halves");
  }
  // Reduction bits 3 to 8: tables of 8 to 256 entries and code sizes 3 to 8.
  std::mt19937 random(5);
  for (int bits = 3; bits <= 8; ++bits) {
    for (int kind = 0; kind < 4; ++kind) {
      const TBitmap bitmap = MakePicture(random, kind, 120, 70, 40);
      TGIFImage image;
      image.SetReductionBits(bits);
      image.Assign(bitmap);
      const std::string fileName = dir.File("bits" + std::to_string(bits) + ".gif");
      image.SaveToFile(fileName);
      ExpectMatchesReduction(fileName, bitmap, bits, "bits " + std::to_string(bits));
    }
  }
  // Noise whose file is larger than what the writer gathers before passing it on to the file.
  {
    const TBitmap bitmap = MakePicture(random, 0, 300, 300, 256);
    SaveBitmapAsGif(bitmap, dir.File("noise.gif"));
    EXPECT_GT(std::filesystem::file_size(dir.File("noise.gif")), 65536u);
    ExpectMatchesReduction(dir.File("noise.gif"), bitmap, 8, "noise");
  }
  // The widest picture a GIF holds.
  {
    const TBitmap bitmap = MakePicture(random, 1, 65535, 2, 20);
    SaveBitmapAsGif(bitmap, dir.File("wide.gif"));
    ExpectMatchesReduction(dir.File("wide.gif"), bitmap, 8, "65535 x 2");
  }
}
