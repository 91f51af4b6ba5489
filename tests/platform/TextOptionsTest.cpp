// The text renderer's drawing options and queries, through whichever backend is linked (GDI under Wine,
// FreeType natively): a font file's own face, unsmoothed glyphs, a character's advance and left
// bearing, and the bytes of the font file drawn with; and the reading of a font file's face name.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/text/Text.h"
#include "tests/support/TestSupport.h"

namespace {

const std::string kFolder = "/usr/share/fonts/truetype/liberation/";

std::vector<std::uint8_t> FileBytes(const std::string& unixPath) {
  std::ifstream stream(testing_support::NativePath(unixPath), std::ios::binary);
  return {std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>()};
}

class TextOptionsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (FileBytes(kFolder + "LiberationSerif-BoldItalic.ttf").empty())
      SKIP_OR_FAIL_WHERE_PROMISED("the Liberation fonts (fonts-liberation2) are not installed");
  }
};

TEST_F(TextOptionsTest, AFontFilesOwnFaceIsDrawnWithAndItsBytesComeBack) {
  const std::string file = kFolder + "LiberationSerif-BoldItalic.ttf";
  const std::vector<std::uint8_t> bytes = FileBytes(file);
  const ui::FontFaceInfo info = ui::ReadFontFaceInfo(bytes);
  EXPECT_EQ(info.family, "Liberation Serif");
  EXPECT_EQ(info.weight, 700);
  EXPECT_TRUE(info.italic);

  // The font's own name is another face: the file decides.
  const ui::Font font{.name = "Liberation Mono", .size = 20};
  const ui::TextRenderer renderer(font, 96, {.fontFile = testing_support::NativePath(file)});
  EXPECT_EQ(renderer.FaceName(), "Liberation Serif");
  const ui::FontFileData data = renderer.FontFile();
  EXPECT_EQ(data.bytes, bytes) << "the bold italic file itself, not the regular face of the family";
  EXPECT_EQ(data.faceIndex, 0);
  EXPECT_EQ(data.path, testing_support::NativePath(file));
  const ui::TextRenderer mono(font, 96);
  EXPECT_NE(renderer.Measure("iiii").width, mono.Measure("iiii").width) << "not the monospaced face";

  EXPECT_THROW(ui::TextRenderer(font, 96, {.fontFile = testing_support::NativePath(kFolder + "missing.ttf")}),
               std::runtime_error);
}

TEST_F(TextOptionsTest, MetricsAreTheAdvanceAndTheLeftEdgeOfTheDrawnPixels) {
  const ui::TextRenderer renderer({.name = "Liberation Sans", .size = 36}, 96);
  for (const int value : {int{'A'}, int{'j'}, int{'W'}, int{' '}, 0xC9}) {
    const auto code = static_cast<unsigned char>(value);
    const ui::CharMetrics metrics = renderer.Metrics(code);
    const std::string text(1, static_cast<char>(code));
    EXPECT_EQ(metrics.advance, renderer.Measure(text).width) << code;
    // Drawn at x = 20 on white: the first column with ink is 20 + the left bearing.
    TBitmap canvas;
    canvas.SetSize(120, renderer.LineHeight());
    canvas.Fill(clWhite);
    renderer.DrawOpaque(canvas, 20, 0, text, clBlack, clWhite);
    int first = -1;
    for (int x = 0; x < canvas.Width() && first < 0; ++x) {
      for (int y = 0; y < canvas.Height(); ++y) {
        if (canvas.Pixel(x, y) != clWhite) {
          first = x;
          break;
        }
      }
    }
    if (code == ' ') {
      EXPECT_EQ(first, -1);
      EXPECT_EQ(metrics.leftBearing, 0) << "a glyph without pixels";
    } else {
      EXPECT_NEAR(first - 20, metrics.leftBearing, 1) << code;
    }
  }
  EXPECT_LT(renderer.Metrics('j').leftBearing, 0) << "the j reaches left of its pen position";
  EXPECT_GT(renderer.Metrics('B').leftBearing, 0);
}

TEST_F(TextOptionsTest, WithoutSmoothingOnlyTheTwoColoursAreDrawn) {
  const ui::Font font{.name = "Liberation Sans", .size = 28};
  for (const bool antialias : {true, false}) {
    const ui::TextRenderer renderer(font, 96, {.antialias = antialias});
    TBitmap canvas;
    canvas.SetSize(renderer.Measure("Sag&").width, renderer.LineHeight());
    renderer.DrawOpaque(canvas, 0, 0, "Sag&", RGB(200, 0, 0), RGB(0, 0, 90));
    std::set<TColor> colours;
    for (int y = 0; y < canvas.Height(); ++y) {
      for (int x = 0; x < canvas.Width(); ++x) colours.insert(canvas.Pixel(x, y));
    }
    if (antialias) {
      EXPECT_GT(colours.size(), 2u);
    } else {
      EXPECT_EQ(colours, (std::set<TColor>{RGB(200, 0, 0), RGB(0, 0, 90)}));
    }
  }
}

TEST(FontFaceInfoTest, DataThatIsNoFontOrIsCutShortIsRefused) {
  EXPECT_THROW(ui::ReadFontFaceInfo(std::vector<std::uint8_t>{}), std::runtime_error);
  const std::vector<std::uint8_t> text(64, 'x');
  EXPECT_THROW(ui::ReadFontFaceInfo(text), std::runtime_error);
  std::vector<std::uint8_t> bytes = FileBytes(kFolder + "LiberationSans-Regular.ttf");
  if (bytes.empty()) GTEST_SKIP() << "no Liberation Sans";
  EXPECT_EQ(ui::ReadFontFaceInfo(bytes).family, "Liberation Sans");
  EXPECT_THROW(ui::ReadFontFaceInfo(bytes, 1), std::runtime_error) << "a single font has one face";
  bytes.resize(300);  // the table directory stays, the tables are cut off
  EXPECT_THROW(ui::ReadFontFaceInfo(bytes), std::runtime_error);
  EXPECT_EQ(ui::AnsiCharacter(0x80), U'\u20AC');
  EXPECT_EQ(ui::AnsiCharacter(0x81), U'\u0081');
  EXPECT_EQ(ui::AnsiCharacter('A'), U'A');
}

}  // namespace
