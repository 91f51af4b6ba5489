// RenderCharacter on its own: the contrast canvas below the character cell, the cut at 6 x 4 times the
// point size that shows at high resolutions, and the result that tells an empty rendering apart. Each
// rendering is compared pixel by pixel with the text renderer's own drawing of the glyph.

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "tests/letrana/LetranaFixture.h"

namespace {

using namespace letrana_testing;
using RenderTest = LetranaTest;

int CountDiffering(const TBitmap& picture, int left, int top, int right, int bottom, TColor color) {
  int count = 0;
  for (int y = top; y < bottom; ++y) {
    for (int x = left; x < right; ++x) count += picture.Pixel(x, y) != color;
  }
  return count;
}

TEST_F(RenderTest, RowsBelowTheCellAreTheContrastColourUpToFourTimesThePointSize) {
  TFrmLetrana& frm = Open();
  const ui::Font font{.name = "Arial", .size = 9, .color = kRed};
  const ui::TextRenderer measured(font, frm.PixelsPerInch());
  const int line = measured.LineHeight(), canvas = 4 * font.size, height = canvas + 14;
  ASSERT_LT(line, canvas) << "the strip of contrast colour needs rows between the two";

  // Black only on the exact white; every other background, the nearest one to white included, gets
  // white.
  for (const auto& [background, contrast] :
       {std::pair{clWhite, clBlack}, std::pair{TColor{0xFEFFFF}, clWhite}, std::pair{clBlack, clWhite},
        std::pair{kGreen, clWhite}}) {
    SCOPED_TRACE(::testing::Message() << std::hex << "background " << background);
    const TBitmap cell = DrawnGlyphCell(measured, 'g', background);
    TBitmap rendered;
    ASSERT_TRUE(frm.RenderCharacter(font, background, height, rendered, 'g'));
    ASSERT_EQ(rendered.Width(), cell.Width());
    ASSERT_EQ(rendered.Height(), height);
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < cell.Width(); ++x) {
        // The cell, then the contrast canvas, then the rows the bitmap grew by in the background.
        const TColor expected = y < line ? cell.Pixel(x, y) : y < canvas ? contrast : background;
        ASSERT_EQ(rendered.Pixel(x, y), expected) << "at " << x << "," << y;
      }
    }
  }
}

TEST_F(RenderTest, GlyphsAreCutAtSixTimesThePointSizeAcrossAndFourTimesDown) {
  // At 9 points a line is more than 36 pixels high from about 250 pixels per inch on, and a W is
  // wider than 54 pixels from about 460 on: there the glyph loses what lies beyond, and the bitmap
  // is filled up to the advance width and the asked height with the background.
  ui::testing::SetScreenSize(8000, 6000);
  struct Case {
    int pixelsPerInch, code;
    bool cutOnTheRight;  // besides the cut below, which every case has
  };
  for (const Case& c : {Case{300, 'g', false}, Case{600, 'g', false}, Case{600, 'W', true}}) {
    SCOPED_TRACE(::testing::Message() << c.pixelsPerInch << " pixels per inch, code " << c.code);
    ui::testing::SetScreenPixelsPerInch(c.pixelsPerInch);
    TFrmLetrana& frm = Open();
    ASSERT_EQ(frm.PixelsPerInch(), c.pixelsPerInch);
    const ui::Font font{.name = "Arial", .size = 9, .color = kRed};
    const ui::TextRenderer measured(font, c.pixelsPerInch);
    const int right = 6 * font.size, bottom = 4 * font.size;
    const TBitmap cell = DrawnGlyphCell(measured, c.code, kGreen);
    ASSERT_GT(CountDiffering(cell, 0, bottom, cell.Width(), cell.Height(), kGreen), 0)
        << "the glyph reaches below the cut";
    if (c.cutOnTheRight) {
      ASSERT_GT(CountDiffering(cell, right, 0, cell.Width(), bottom, kGreen), 0)
          << "the glyph reaches beyond the cut on the right";
    }
    TBitmap rendered;
    ASSERT_TRUE(frm.RenderCharacter(font, kGreen, cell.Height(), rendered, c.code));
    ASSERT_EQ(rendered.Width(), cell.Width());
    ASSERT_EQ(rendered.Height(), cell.Height());
    for (int y = 0; y < cell.Height(); ++y) {
      for (int x = 0; x < cell.Width(); ++x) {
        const TColor expected = x < right && y < bottom ? cell.Pixel(x, y) : kGreen;
        ASSERT_EQ(rendered.Pixel(x, y), expected) << "at " << x << "," << y;
      }
    }
  }
}

TEST_F(RenderTest, FalseExactlyWhenTheRenderingHasNoWidthOrNoHeight) {
  TFrmLetrana& frm = Open();
  const ui::Font tiny{.name = "Liberation Serif", .size = 1};
  const ui::TextRenderer measured(tiny, frm.PixelsPerInch());
  int empty = -1, drawn = -1;
  for (int code = 0; code < 256; ++code) {
    const int width = measured.Measure(std::string(1, static_cast<char>(code))).width;
    if (width == 0 && empty < 0) empty = code;
    if (width > 0 && drawn < 0) drawn = code;
  }
  ASSERT_GE(empty, 0) << "Liberation Serif at 1 point has no code of zero width";
  ASSERT_GE(drawn, 0);

  TBitmap bitmap;
  EXPECT_FALSE(frm.RenderCharacter(tiny, kGreen, measured.LineHeight(), bitmap, empty));
  EXPECT_EQ(bitmap.Width(), 0);
  // A code with width is empty too when no rows are asked for.
  TBitmap noRows;
  EXPECT_FALSE(frm.RenderCharacter(tiny, kGreen, 0, noRows, drawn));
  EXPECT_GT(noRows.Width(), 0);
  EXPECT_EQ(noRows.Height(), 0);
  TBitmap oneRow;
  EXPECT_TRUE(frm.RenderCharacter(tiny, kGreen, 1, oneRow, drawn));
  EXPECT_EQ(oneRow.Height(), 1);
}

}  // namespace
