// Export: file names, the four forms and what each file holds (the BMP and JPEG pixels read back and
// compared with the text renderer's own drawing of the glyph), the selection rules, the progress box
// and message processing, and an export that fails part-way.

#include <gif_lib.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "imaging/Errors.h"
#include "tests/imaging/ImageReaders.h"
#include "tests/imaging/PngReader.h"
#include "tests/letrana/LetranaFixture.h"

namespace {

using namespace letrana_testing;
namespace fs = std::filesystem;

class ExportTest : public LetranaTest {
 protected:
  ExportTest() {
    Open();
    ui::testing::AdvanceTime(500);
  }
  void Export(const fs::path& path, int filterIndex, std::initializer_list<int> codes = {}) {
    for (int code : codes) Frm().LisCharacters.SetSelected(code, true);
    ui::testing::AnswerSave(Frm().SvdSave, path.string(), filterIndex);
    Frm().MenExport.Click();
  }
  testing_support::TempDir temp;
};

// Width and height from a BMP file's header.
std::pair<int, int> BmpSize(const fs::path& path) {
  const auto bytes = testing_support::ReadFileBytes(path);
  auto i32 = [&](std::size_t at) {
    return static_cast<int>(bytes.at(at) | bytes.at(at + 1) << 8 | bytes.at(at + 2) << 16 |
                            bytes.at(at + 3) << 24);
  };
  return {i32(18), i32(22)};
}

// A GIF file decoded by giflib, and the colour its graphic control extension makes transparent.
struct Gif {
  TBitmap picture;
  bool transparent = false;
  TColor transparentColor = 0;
};
Gif ReadGif(const fs::path& path) {
  int error = 0;
  GifFileType* gif = DGifOpenFileName(path.c_str(), &error);
  if (gif == nullptr) throw std::runtime_error("giflib cannot open " + path.string());
  Gif result;
  const bool read = DGifSlurp(gif) == GIF_OK && gif->ImageCount == 1;
  const SavedImage* image = read ? &gif->SavedImages[0] : nullptr;
  const ColorMapObject* map = image == nullptr                       ? nullptr
                              : image->ImageDesc.ColorMap != nullptr ? image->ImageDesc.ColorMap
                                                                     : gif->SColorMap;
  if (map != nullptr) {
    const auto color = [&](int index) {
      return RGB(map->Colors[index].Red, map->Colors[index].Green, map->Colors[index].Blue);
    };
    result.picture.SetSize(image->ImageDesc.Width, image->ImageDesc.Height);
    for (int i = 0; i < image->ImageDesc.Width * image->ImageDesc.Height; ++i) {
      result.picture.SetPixel(i % image->ImageDesc.Width, i / image->ImageDesc.Width,
                              color(image->RasterBits[i]));
    }
    GraphicsControlBlock control;
    if (DGifSavedExtensionToGCB(gif, 0, &control) == GIF_OK && control.TransparentColor >= 0) {
      result.transparent = true;
      result.transparentColor = color(control.TransparentColor);
    }
  }
  DGifCloseFile(gif, &error);
  return result;
}

TEST_F(ExportTest, FilesAreNamedBaseThreeDigitCodeAndTheFormsExtension) {
  Export(temp.Path() / "glyph.png", 1, {65});  // whatever extension was typed
  EXPECT_EQ(FileNames(temp.Path()), (std::vector<std::string>{"glyph065.bmp"}));

  const fs::path dotted = temp.Path() / "my.dir";
  fs::create_directory(dotted);
  Frm().LisCharacters.SetSelected(65, false);
  Export(dotted / "glyph", 3, {7, 255});
  Export(dotted / "set.v2.png", 2);  // only the last "." starts the extension
  Export(dotted / "clear.", 4);
  Export(dotted / "other", 9);  // any other index is the transparent GIF
  EXPECT_EQ(FileNames(dotted),
            (std::vector<std::string>{"clear007.gif", "clear255.gif", "glyph007.gif", "glyph255.gif",
                                      "other007.gif", "other255.gif", "set.v2007.jpg", "set.v2255.jpg"}));
  EXPECT_TRUE(ReadGif(dotted / "other007.gif").transparent);

  // Cancelled: nothing happens. With nothing selected: all cells are selected and written.
  Frm().LisCharacters.SetSelected(7, false);
  Frm().LisCharacters.SetSelected(255, false);
  ui::testing::CancelNext(Frm().SvdSave);
  Frm().BtnExport.Click();
  EXPECT_EQ(Frm().LisCharacters.SelCount(), 0);
  const fs::path all = temp.Path() / "all";
  fs::create_directory(all);
  Export(all / "a", 1);
  EXPECT_EQ(Frm().LisCharacters.SelCount(), 256);
  ASSERT_EQ(FileNames(all).size(), 256u);
  EXPECT_EQ(FileNames(all).front(), "a000.bmp");
}

TEST_F(ExportTest, FourFormsWriteTheGlyphsOwnCellAtTheLineHeight) {
  PickBackground(kGreen);
  PickFont({.name = "Arial", .size = 20, .color = kRed});
  for (int form = 1; form <= 4; ++form) Export(temp.Path() / ("f" + std::to_string(form)), form, {'i', 'W'});
  const ui::TextRenderer font = Measured();
  EXPECT_EQ(BmpSize(temp.Path() / "f1105.bmp"), std::pair(font.Measure("i").width, font.LineHeight()));
  EXPECT_EQ(BmpSize(temp.Path() / "f1087.bmp"), std::pair(font.Measure("W").width, font.LineHeight()));
  const auto jpeg = testing_support::ReadFileBytes(temp.Path() / "f2087.jpg");
  ASSERT_GT(jpeg.size(), 2u);
  EXPECT_EQ(jpeg[0], 0xFF);
  EXPECT_EQ(jpeg[1], 0xD8);

  TBitmap expected;
  ASSERT_TRUE(Frm().RenderCharacter(Frm().LblFont.GetFont(), kGreen, font.LineHeight(), expected, 'W'));
  const Gif plain = ReadGif(temp.Path() / "f3087.gif"), transparent = ReadGif(temp.Path() / "f4087.gif");
  EXPECT_FALSE(plain.transparent);
  EXPECT_TRUE(transparent.transparent);
  EXPECT_EQ(transparent.transparentColor, kGreen);
  for (const Gif* gif : {&plain, &transparent}) {
    ASSERT_EQ(gif->picture.Width(), expected.Width());
    ASSERT_EQ(gif->picture.Height(), expected.Height());
    for (int y = 0; y < expected.Height(); ++y) {
      for (int x = 0; x < expected.Width(); ++x) ASSERT_EQ(gif->picture.Pixel(x, y), expected.Pixel(x, y));
    }
  }
}

// The mean difference per channel between a decoded picture and the drawn cell moved by (dx, dy);
// what the move uncovers counts as background.
double MeanDifference(const image_readers::DecodedJpeg& jpeg, const TBitmap& drawn, TColor background, int dx,
                      int dy) {
  long total = 0;
  for (int y = 0; y < jpeg.height; ++y) {
    for (int x = 0; x < jpeg.width; ++x) {
      const bool inside = x - dx >= 0 && x - dx < drawn.Width() && y - dy >= 0 && y - dy < drawn.Height();
      const TColor c = inside ? drawn.Pixel(x - dx, y - dy) : background;
      const int expected[3] = {static_cast<int>(GetRValue(c)), static_cast<int>(GetGValue(c)),
                               static_cast<int>(GetBValue(c))};
      for (int k = 0; k < 3; ++k) total += std::abs(static_cast<int>(jpeg.Channel(x, y, k)) - expected[k]);
    }
  }
  return static_cast<double>(total) / (3.0 * jpeg.width * jpeg.height);
}

// True when every pixel within two of (x, y) has the colour of (x, y): away from the glyph's edges,
// where the JPEG's 2 x 2 colour sampling and the ringing of its 8 x 8 blocks are at their worst.
bool Flat(const TBitmap& picture, int x, int y) {
  for (int v = std::max(y - 2, 0); v <= std::min(y + 2, picture.Height() - 1); ++v) {
    for (int u = std::max(x - 2, 0); u <= std::min(x + 2, picture.Width() - 1); ++u) {
      if (picture.Pixel(u, v) != picture.Pixel(x, y)) return false;
    }
  }
  return true;
}

TEST_F(ExportTest, BmpAndJpegPixelsAreTheGlyphAsTheTextRendererDrawsIt) {
  const TColor ink = RGB(40, 20, 150), paper = RGB(235, 225, 30);
  PickBackground(paper);
  PickFont({.name = "Arial", .size = 48, .bold = true, .color = ink});
  Export(temp.Path() / "b", 1, {'W', 'g', '#'});
  Export(temp.Path() / "j", 2);
  const ui::TextRenderer font = Measured();
  for (const int code : {'W', 'g', '#'}) {
    SCOPED_TRACE(::testing::Message() << "code " << code);
    const TBitmap drawn = DrawnGlyphCell(font, code, paper);
    int flatInk = 0, flatPaper = 0;
    for (int y = 0; y < drawn.Height(); ++y) {
      for (int x = 0; x < drawn.Width(); ++x) {
        if (Flat(drawn, x, y)) {
          flatInk += drawn.Pixel(x, y) == ink;
          flatPaper += drawn.Pixel(x, y) == paper;
        }
      }
    }
    ASSERT_GT(flatInk, 20) << "strokes wide enough to show the ink's colour";
    ASSERT_GT(flatPaper, 100);
    char number[8];
    std::snprintf(number, sizeof number, "%03d", code);

    // The bitmap file holds the drawn cell exactly.
    const image_readers::DecodedBmp bmp = image_readers::ReadBmp(
        testing_support::ReadFileBytes(temp.Path() / ("b" + std::string(number) + ".bmp")));
    ASSERT_EQ(bmp.width, drawn.Width());
    ASSERT_EQ(bmp.height, drawn.Height());
    for (int y = 0; y < drawn.Height(); ++y) {
      for (int x = 0; x < drawn.Width(); ++x)
        ASSERT_EQ(bmp.At(x, y), drawn.Pixel(x, y)) << "at " << x << "," << y;
    }

    const image_readers::DecodedJpeg jpeg = image_readers::DecodeJpeg(
        testing_support::ReadFileBytes(temp.Path() / ("j" + std::string(number) + ".jpg")));
    ASSERT_TRUE(jpeg.ok);
    ASSERT_EQ(jpeg.width, drawn.Width());
    ASSERT_EQ(jpeg.height, drawn.Height());
    // Away from the edges every pixel is the ink or the chosen background within the JPEG's error,
    // which stays below half the distance between the two colours in every channel.
    for (int y = 0; y < drawn.Height(); ++y) {
      for (int x = 0; x < drawn.Width(); ++x) {
        if (!Flat(drawn, x, y)) continue;
        const TColor c = drawn.Pixel(x, y);
        const int expected[3] = {static_cast<int>(GetRValue(c)), static_cast<int>(GetGValue(c)),
                                 static_cast<int>(GetBValue(c))};
        for (int k = 0; k < 3; ++k) {
          ASSERT_LE(std::abs(static_cast<int>(jpeg.Channel(x, y, k)) - expected[k]), 40)
              << "at " << x << "," << y << ", channel " << k;
        }
      }
    }
    // The whole picture, edges included, is nearer to the drawn cell where it is than to the cell
    // moved by one pixel in any direction: the ink lies where the text renderer put it.
    const double inPlace = MeanDifference(jpeg, drawn, paper, 0, 0);
    for (int dy = -1; dy <= 1; ++dy) {
      for (int dx = -1; dx <= 1; ++dx) {
        if (dx != 0 || dy != 0) {
          EXPECT_LT(inPlace, MeanDifference(jpeg, drawn, paper, dx, dy)) << "moved by " << dx << "," << dy;
        }
      }
    }
  }
}

// The largest difference in any channel between a BMP export and the PNG with alpha of the same glyph
// laid over the BMP's background (alpha blending, rounded); 1000 when a pixel of the PNG is not in the
// font colour. Only the rounding of the coverage to a byte and of the blend separate the two (measured:
// at most 1 over either background with FreeType; at most 1 over the export's own background with the
// system's text drawing under Wine, whose blending depends on the colours).
constexpr int kCompositeTolerance = 2;

std::array<int, 3> Channels(TColor c) {
  return {static_cast<int>(GetRValue(c)), static_cast<int>(GetGValue(c)), static_cast<int>(GetBValue(c))};
}

int LargestCompositeDifference(const png_reader::DecodedPng& png, TColor ink,
                               const image_readers::DecodedBmp& bmp, TColor background) {
  int largest = 0;
  for (int y = 0; y < png.height; ++y) {
    for (int x = 0; x < png.width; ++x) {
      const std::uint8_t* p = &png.pixels[(static_cast<std::size_t>(y) * png.width + x) * 4];
      const std::array<int, 3> inkChannels = Channels(ink), under = Channels(background),
                               bmpChannels = Channels(bmp.At(x, y));
      for (int k = 0; k < 3; ++k) {
        if (p[k] != inkChannels[k]) return 1000;  // every pixel must hold the font colour
        const int laid = (p[3] * inkChannels[k] + (255 - p[3]) * under[k] + 127) / 255;
        largest = std::max(largest, std::abs(laid - bmpChannels[k]));
      }
    }
  }
  return largest;
}

TEST_F(ExportTest, PngWithAlphaLaidOverAnyBackgroundLooksLikeTheGlyphDrawnOnIt) {
  const TColor ink = RGB(200, 30, 90), first = RGB(250, 240, 60), second = RGB(10, 40, 120);
  PickFont({.name = "Arial", .size = 36, .italic = true, .color = ink});
  PickBackground(first);
  const std::initializer_list<int> codes = {'W', 'g', 'f', '@', ' '};
  Export(temp.Path() / "p", 5, codes);
  Export(temp.Path() / "first", 1);
  PickBackground(second);
  Export(temp.Path() / "second", 1);
  const ui::TextRenderer font = Measured();

  int partial = 0;
  for (const int code : codes) {
    SCOPED_TRACE(::testing::Message() << "code " << code);
    char number[8];
    std::snprintf(number, sizeof number, "%03d", code);
    const png_reader::DecodedPng png =
        png_reader::ReadPngWithLibrary(temp.File("p" + std::string(number) + ".png"));
    ASSERT_TRUE(png.ok);
    EXPECT_EQ(png.colorType, PNG_COLOR_TYPE_RGB_ALPHA);
    EXPECT_EQ(png.bitDepth, 8);
    ASSERT_EQ(png.width, font.Measure(std::string(1, static_cast<char>(code))).width);
    ASSERT_EQ(png.height, font.LineHeight());

    int opaque = 0, clear = 0;
    for (std::size_t i = 3; i < png.pixels.size(); i += 4) {
      opaque += png.pixels[i] == 255;
      clear += png.pixels[i] == 0;
      partial += png.pixels[i] != 0 && png.pixels[i] != 255;
    }
    if (code == ' ') {
      EXPECT_EQ(clear, png.width * png.height) << "a space covers nothing";
    } else {
      EXPECT_GT(opaque, 10);
      EXPECT_GT(clear, 10);
    }

    // Laid over either background it is that background's BMP export: nothing of the first remains.
    for (const auto& [base, background] : {std::pair("first", first), std::pair("second", second)}) {
      const image_readers::DecodedBmp bmp = image_readers::ReadBmp(
          testing_support::ReadFileBytes(temp.Path() / (base + std::string(number) + ".bmp")));
      ASSERT_EQ(bmp.width, png.width);
      ASSERT_EQ(bmp.height, png.height);
      EXPECT_LE(LargestCompositeDifference(png, ink, bmp, background), kCompositeTolerance)
          << "over " << base;
    }
  }
  EXPECT_GT(partial, 0) << "the anti-aliased edges are partly covered";

  // A font colour on a background too near it to measure the blend: the coverage is measured against
  // black or white instead, and the glyph is still there.
  PickBackground(RGB(190, 40, 80));
  Export(temp.Path() / "near", 5, {'W'});
  const png_reader::DecodedPng near = png_reader::ReadPngWithLibrary(temp.File("near087.png"));
  ASSERT_TRUE(near.ok);
  int opaque = 0;
  for (std::size_t i = 3; i < near.pixels.size(); i += 4) opaque += near.pixels[i] == 255;
  EXPECT_GT(opaque, 10);
}

TEST_F(ExportTest, MessagesAreProcessedAfterEachSelectedCellUnderTheSavingMessage) {
  Frm().m_aMSaving = "Saving...";
  std::vector<std::size_t> written;
  ui::testing::OnProcessMessages([&] {
    written.push_back(FileNames(temp.Path()).size());
    EXPECT_TRUE(Progress().Showing());
    EXPECT_EQ(Progress().LblMessage.Caption(), "Saving...");
  });
  Export(temp.Path() / "n", 1, {10, 20, 30});
  EXPECT_EQ(written, (std::vector<std::size_t>{1, 2, 3}));
  EXPECT_FALSE(Progress().Showing());
}

TEST_F(ExportTest, FailingCellEndsTheExportThereAndKeepsTheFilesBefore) {
  fs::create_directory(temp.Path() / "g066.bmp");  // that file cannot be created
  const std::string message = "The file " + temp.File("g066.bmp") + " cannot be created";
  try {
    Export(temp.Path() / "g.bmp", 1, {65, 66, 67});
    ADD_FAILURE() << "no error";
  } catch (const EFCreateError& error) {
    EXPECT_EQ(error.what(), message);
    app->HandleException(error);  // what the message loop does with it
  }
  ASSERT_EQ(ui::testing::ErrorBoxes().size(), 1u);
  EXPECT_EQ(ui::testing::ErrorBoxes()[0].caption, "Letrana");
  EXPECT_EQ(ui::testing::ErrorBoxes()[0].text, message + ".");
  EXPECT_EQ(FileNames(temp.Path()), (std::vector<std::string>{"g065.bmp", "g066.bmp"}));
  EXPECT_FALSE(Progress().Showing());
}

TEST_F(ExportTest, ClosingTheMainWindowDuringAnExportOrABuildEndsIt) {
  // The user closes the window while the export processes messages after its second file.
  Frm().Show();
  int cells = 0;
  ui::testing::OnProcessMessages([&] {
    if (++cells == 2) Frm().Close();
  });
  Export(temp.Path() / "g.bmp", 1, {65, 66, 67, 68});
  EXPECT_EQ(FileNames(temp.Path()), (std::vector<std::string>{"g065.bmp", "g066.bmp"}));
  EXPECT_FALSE(Progress().Showing());

  // A grid build ends the same way, with its progress box closed.
  Open().Show();
  cells = 0;
  ui::testing::OnProcessMessages([&] {
    if (++cells == 3) Frm().Close();
  });
  Frm().MenGenerateImages.Click();
  EXPECT_EQ(Frm().LisCharacters.Count(), 3);
  EXPECT_FALSE(Progress().Showing());
  ui::testing::OnProcessMessages(nullptr);
}

}  // namespace
