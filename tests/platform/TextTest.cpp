// Text measuring and opaque drawing on bitmaps, through whichever backend is linked. The expectations
// hold for GDI and for the FreeType backend alike; fonts are the ones a test machine has ("Arial" is
// Liberation Sans there).

#include "platform/text/Text.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr TColor kMagenta = RGB(255, 0, 255);
constexpr TColor kRed = RGB(255, 0, 0);
constexpr TColor kGreen = RGB(0, 255, 0);

ui::Font MakeFont(const std::string& name, int size) {
  ui::Font font;
  font.name = name;
  font.size = size;
  return font;
}

TBitmap Canvas(int width, int height, TColor color) {
  TBitmap bitmap;
  bitmap.SetSize(width, height);
  bitmap.Fill(color);
  return bitmap;
}

std::vector<TColor> PixelsOf(const TBitmap& bitmap) {
  std::vector<TColor> pixels;
  for (int y = 0; y < bitmap.Height(); ++y) {
    for (int x = 0; x < bitmap.Width(); ++x) pixels.push_back(bitmap.Pixel(x, y));
  }
  return pixels;
}

struct Cell {
  int x, y, width, height;
  bool Contains(int px, int py) const { return px >= x && px < x + width && py >= y && py < y + height; }
};

// Pixels of the cell that are not the background colour, and those exactly in the text colour.
int CountInk(const TBitmap& bitmap, const Cell& cell, TColor background) {
  int count = 0;
  for (int y = cell.y; y < cell.y + cell.height; ++y) {
    for (int x = cell.x; x < cell.x + cell.width; ++x) count += bitmap.Pixel(x, y) != background;
  }
  return count;
}
int CountExactly(const TBitmap& bitmap, TColor color) {
  int count = 0;
  for (const TColor pixel : PixelsOf(bitmap)) count += pixel == color;
  return count;
}

TEST(TextTest, FontHeightsRoundAsTheSystemDoes) {
  EXPECT_EQ(ui::FontHeightForSize(9, 96), -12);
  EXPECT_EQ(ui::FontHeightForSize(12, 96), -16);
  EXPECT_EQ(ui::FontHeightForSize(8, 96), -11);    // 10.67
  EXPECT_EQ(ui::FontHeightForSize(10, 120), -17);  // 16.67
  EXPECT_EQ(ui::FontHeightForSize(12, 144), -24);
  EXPECT_EQ(ui::FontHeightForSize(0, 96), 0);
  EXPECT_EQ(ui::FontHeightForSize(-12, 96), 16);
  EXPECT_EQ(ui::FontSizeForHeight(-12, 96), 9);
  EXPECT_EQ(ui::FontSizeForHeight(-13, 96), 10);  // 9.75
  EXPECT_EQ(ui::MulDivRounded(1, 3, 2), 2);       // halves away from zero
  EXPECT_EQ(ui::MulDivRounded(-1, 3, 2), -2);
  EXPECT_EQ(ui::MulDivRounded(7, 1, -2), -4);
  EXPECT_EQ(ui::MulDivRounded(1, 1, 0), -1);
  EXPECT_EQ(ui::MulDivRounded(INT_MAX, 2, 1), -1);
}

TEST(TextTest, MeasuresAdvanceWidthAndLineHeight) {
  const ui::TextRenderer text(MakeFont("Arial", 12), 96);
  const int line = text.LineHeight();
  EXPECT_GT(line, 16);  // the 16-pixel em plus the font's leading
  EXPECT_LE(line, 20);
  EXPECT_GT(text.Ascent(), line / 2);
  EXPECT_LT(text.Ascent(), line);
  EXPECT_FALSE(text.FaceName().empty());
  EXPECT_FALSE(text.IsSymbolFont());

  for (const std::string s : {"a", "W", "i", " ", "Wi", "\xC5", "\xFF", "\x81", "gjpqy"}) {
    EXPECT_EQ(text.Measure(s).height, line) << "for \"" << s << "\"";
  }
  const int w = text.Measure("W").width, i = text.Measure("i").width;
  EXPECT_GT(w, i);
  EXPECT_GT(i, 0);
  EXPECT_GT(text.Measure(" ").width, 0);
  EXPECT_EQ(text.Measure("Wi").width, w + i);  // advances add up: no kerning, as GDI measures
  EXPECT_EQ(text.Measure("").width, 0);

  // The first 256 codes: every one is one line high, and the widest is a real letter width.
  int widest = -1;
  for (int code = 0; code < 256; ++code) {
    const ui::TextExtent extent = text.Measure(std::string(1, static_cast<char>(code)));
    EXPECT_EQ(extent.height, line) << "code " << code;
    EXPECT_GE(extent.width, 0);
    widest = std::max(widest, extent.width);
  }
  EXPECT_GE(widest, w);
  EXPECT_LT(widest, 3 * line);
}

TEST(TextTest, ZeroByteIsACharacterOfItsOwn) {
  const ui::TextRenderer text(MakeFont("Arial", 12), 96);
  const std::string zero(1, '\0');
  EXPECT_EQ(text.Measure(zero).height, text.LineHeight());
  const std::string withZero("A\0B", 3);
  EXPECT_EQ(text.Measure(withZero).width,
            text.Measure("A").width + text.Measure(zero).width + text.Measure("B").width);

  // Measuring and drawing agree for every code: a bitmap exactly one cell in size is covered whole.
  for (int code = 0; code < 256; ++code) {
    const std::string s(1, static_cast<char>(code));
    const ui::TextExtent extent = text.Measure(s);
    if (extent.width == 0) continue;
    TBitmap cell = Canvas(extent.width, extent.height, kMagenta);
    text.DrawOpaque(cell, 0, 0, s, clBlack, clWhite);
    EXPECT_EQ(CountExactly(cell, kMagenta), 0) << "code " << code;
  }
}

TEST(TextTest, ResolutionSizeAndWeightChangeTheMetrics) {
  const ui::TextRenderer normal(MakeFont("Arial", 12), 96);
  const ui::TextRenderer fine(MakeFont("Arial", 12), 144);
  EXPECT_GT(fine.LineHeight(), normal.LineHeight());
  EXPECT_GT(fine.Measure("W").width, normal.Measure("W").width);

  const ui::TextRenderer large(MakeFont("Arial", 72), 96);  // a 96-pixel em
  EXPECT_GT(large.LineHeight(), 96);
  EXPECT_LT(large.LineHeight(), 130);
  EXPECT_GT(large.Measure("W").width, 60);

  ui::Font boldFont = MakeFont("Arial", 12);
  boldFont.bold = true;
  const ui::TextRenderer bold(boldFont, 96);
  const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  EXPECT_GE(bold.Measure("W").width, normal.Measure("W").width);
  EXPECT_GT(bold.Measure(alphabet).width, normal.Measure(alphabet).width);

  // Size 0 leaves the height to the system; a negative size asks for a cell height (here 16).
  const ui::TextRenderer defaultHeight(MakeFont("Arial", 0), 96);
  EXPECT_GT(defaultHeight.LineHeight(), 0);
  EXPECT_GT(defaultHeight.Measure("W").width, 0);
  const ui::TextRenderer cellHeight(MakeFont("Arial", -12), 96);
  EXPECT_NEAR(cellHeight.LineHeight(), 16, 1);

  // Unknown and empty names get the system's substitute.
  for (const std::string name : {"No Such Face Xyzzy", ""}) {
    const ui::TextRenderer substitute(MakeFont(name, 12), 96);
    EXPECT_GT(substitute.LineHeight(), 0) << name;
    EXPECT_GT(substitute.Measure("W").width, 0) << name;
  }
}

TEST(TextTest, DrawOpaqueFillsTheCellAndNothingElse) {
  const ui::TextRenderer text(MakeFont("Arial", 12), 96);
  const int line = text.LineHeight();

  // "H" stays within its advance; a space draws only background.
  for (const std::string s : {"H", " ", "W"}) {
    TBitmap bitmap = Canvas(60, 40, kMagenta);
    const Cell cell{7, 5, text.Measure(s).width, line};
    text.DrawOpaque(bitmap, cell.x, cell.y, s, kRed, kGreen);
    for (int y = 0; y < bitmap.Height(); ++y) {
      for (int x = 0; x < bitmap.Width(); ++x) {
        const TColor pixel = bitmap.Pixel(x, y);
        if (cell.Contains(x, y)) {
          // Background, text colour or a blend of the two: never blue, never the old picture.
          EXPECT_EQ(GetBValue(pixel), 0u) << s << " at " << x << "," << y;
        } else if (s != "W") {
          EXPECT_EQ(pixel, kMagenta) << s << " at " << x << "," << y;
        }
      }
    }
    const int ink = CountInk(bitmap, cell, kGreen);
    if (s == " ") {
      EXPECT_EQ(ink, 0);
    } else {
      EXPECT_GT(ink, 8) << s;
    }
  }

  // A large glyph has pixels fully in the text colour; rows above and below the line stay untouched
  // even for an overhanging italic.
  ui::Font italic = MakeFont("Arial", 72);
  italic.italic = true;
  for (const ui::Font& font : {MakeFont("Arial", 72), italic}) {
    const ui::TextRenderer big(font, 96);
    TBitmap bitmap = Canvas(200, big.LineHeight() + 40, kMagenta);
    text.DrawOpaque(bitmap, 0, 0, "x", kRed, kGreen);  // another renderer's drawing in between
    big.DrawOpaque(bitmap, 20, 20, "Wfj", kRed, kGreen);
    EXPECT_GT(CountExactly(bitmap, kRed), 100);
    for (int x = 0; x < bitmap.Width(); ++x) {
      for (int y : {19, 20 + big.LineHeight()}) ASSERT_EQ(bitmap.Pixel(x, y), kMagenta) << x << "," << y;
    }
  }
}

TEST(TextTest, DrawingIsClippedToTheBitmap) {
  const ui::TextRenderer text(MakeFont("Arial", 20), 96);
  const std::string s = "Wg\xC5";
  TBitmap reference = Canvas(100, 60, clWhite);
  text.DrawOpaque(reference, 20, 10, s, kRed, kGreen);
  ASSERT_GT(CountInk(reference, {0, 0, 100, 60}, clWhite), 0);

  // A small bitmap over any part of the reference, drawn at the matching position, shows exactly
  // that part: the cell cut at the left, top, right and bottom edges and in the middle.
  const int origins[][2] = {{15, 5}, {25, 15}, {40, 30}, {50, 12}, {0, 0}, {33, 9}, {20, 10}};
  for (const auto& origin : origins) {
    TBitmap part = Canvas(13, 9, clWhite);
    text.DrawOpaque(part, 20 - origin[0], 10 - origin[1], s, kRed, kGreen);
    for (int y = 0; y < part.Height(); ++y) {
      for (int x = 0; x < part.Width(); ++x) {
        ASSERT_EQ(part.Pixel(x, y), reference.Pixel(origin[0] + x, origin[1] + y))
            << "part at " << origin[0] << "," << origin[1] << ", pixel " << x << "," << y;
      }
    }
  }

  // Cells that end exactly at an edge, or lie far outside, change nothing.
  const int space = text.Measure(" ").width, line = text.LineHeight();
  const int away[][2] = {{-space, 0},  {0, -line},   {20, 9},      {40, 0},           {INT_MIN, 0},
                         {INT_MAX, 0}, {0, INT_MIN}, {0, INT_MAX}, {INT_MIN, INT_MIN}};
  for (const auto& at : away) {
    TBitmap bitmap = Canvas(20, 9, kMagenta);
    text.DrawOpaque(bitmap, at[0], at[1], " ", kRed, kGreen);
    EXPECT_EQ(CountExactly(bitmap, kMagenta), 20 * 9) << "at " << at[0] << "," << at[1];
  }
  // One column in: that column of the line's rows becomes background.
  TBitmap edge = Canvas(20, 9, kMagenta);
  text.DrawOpaque(edge, 1 - space, 0, " ", kRed, kGreen);
  EXPECT_EQ(CountExactly(edge, kGreen), 9);
  EXPECT_EQ(edge.Pixel(0, 8), kGreen);

  // Tiny and empty bitmaps.
  TBitmap one = Canvas(1, 1, kMagenta);
  text.DrawOpaque(one, 0, 0, "W", kRed, kGreen);
  EXPECT_NE(one.Pixel(0, 0), kMagenta);
  TBitmap none;
  text.DrawOpaque(none, 0, 0, "W", kRed, kGreen);
  EXPECT_TRUE(none.Empty());
  TBitmap untouched = Canvas(5, 5, kMagenta);
  text.DrawOpaque(untouched, 0, 0, "", kRed, kGreen);
  EXPECT_EQ(CountExactly(untouched, kMagenta), 25);
}

TEST(TextTest, RendererGivesTheSameImageEveryTime) {
  const ui::Font font = MakeFont("Arial", 12);
  const ui::TextRenderer text(font, 96);
  const ui::TextRenderer large(MakeFont("Arial", 30), 96);  // the same face at another size

  auto draw = [](const ui::TextRenderer& renderer, const std::string& s, TColor ink, TColor paper) {
    TBitmap bitmap = Canvas(40, 40, kMagenta);
    renderer.DrawOpaque(bitmap, 2, 2, s, ink, paper);
    return bitmap;
  };
  const TBitmap first = draw(text, "W", clBlack, clWhite);
  draw(large, "Bg", clBlack, clWhite);
  for (int code = 0; code < 256; ++code)
    draw(text, std::string(1, static_cast<char>(code)), clBlack, clWhite);
  EXPECT_EQ(PixelsOf(draw(text, "W", clBlack, clWhite)), PixelsOf(first));

  // A glyph first drawn after another size was used matches a fresh renderer's.
  const int largeWidth = large.Measure("Q").width;
  draw(large, "Q", clBlack, clWhite);
  const ui::TextRenderer fresh(font, 96);
  EXPECT_EQ(PixelsOf(draw(text, "Q", clBlack, clWhite)), PixelsOf(draw(fresh, "Q", clBlack, clWhite)));
  EXPECT_EQ(large.Measure("Q").width, largeWidth);

  // Other colours give the same shape in those colours.
  const TBitmap coloured = draw(text, "W", kRed, kGreen);
  for (int y = 0; y < 40; ++y) {
    for (int x = 0; x < 40; ++x) {
      const TColor was = first.Pixel(x, y);
      const TColor now = coloured.Pixel(x, y);
      const TColor expected = was == clWhite ? kGreen : was == clBlack ? kRed : was;
      if (was == kMagenta || was == clWhite || was == clBlack) {
        EXPECT_EQ(now, expected) << x << "," << y;
      } else {
        EXPECT_NE(now, kGreen) << x << "," << y;  // a blend stays a blend
      }
    }
  }

  // A moved renderer carries on; the one moved from says so instead of crashing.
  ui::TextRenderer moved(font, 96);
  ui::TextRenderer target = std::move(moved);
  EXPECT_EQ(PixelsOf(draw(target, "W", clBlack, clWhite)), PixelsOf(first));
  EXPECT_THROW(moved.Measure("W"), std::logic_error);  // NOLINT(bugprone-use-after-move)
}

TEST(TextTest, UnderlineAndStrikeOutAreLinesAcrossTheCell) {
  auto fullRows = [](const TBitmap& bitmap, const Cell& cell, TColor color) {
    std::vector<int> rows;
    for (int y = cell.y; y < cell.y + cell.height; ++y) {
      bool full = true;
      for (int x = cell.x; x < cell.x + cell.width; ++x) full = full && bitmap.Pixel(x, y) == color;
      if (full) rows.push_back(y - cell.y);
    }
    return rows;
  };
  for (const bool underline : {false, true}) {
    for (const bool strikeOut : {false, true}) {
      ui::Font font = MakeFont("Arial", 12);
      font.underline = underline;
      font.strikeOut = strikeOut;
      const ui::TextRenderer text(font, 96);
      const Cell cell{3, 3, text.Measure("  ").width, text.LineHeight()};
      TBitmap bitmap = Canvas(40, 30, kMagenta);
      text.DrawOpaque(bitmap, cell.x, cell.y, "  ", kRed, kGreen);
      const std::vector<int> rows = fullRows(bitmap, cell, kRed);
      ASSERT_EQ(rows.size(), static_cast<std::size_t>(underline) + strikeOut) << underline << strikeOut;
      for (const int row : rows) {
        const bool below = row >= text.Ascent();
        EXPECT_TRUE((underline && below) || (strikeOut && !below && row > text.Ascent() / 4))
            << "row " << row;
        // The line ends with the cell.
        EXPECT_EQ(bitmap.Pixel(cell.x - 1, cell.y + row), kMagenta);
        EXPECT_EQ(bitmap.Pixel(cell.x + cell.width, cell.y + row), kMagenta);
      }
    }
  }
}

TEST(TextTest, SixteenBitPicturesKeepTheirDepth) {
  const ui::TextRenderer text(MakeFont("Arial", 30), 96);
  TBitmap bitmap;
  bitmap.SetBitsPerPixel(16);
  bitmap.SetSize(60, 60);
  text.DrawOpaque(bitmap, 2, 2, "Wg", RGB(0x7F, 0x33, 0x99), RGB(0x0F, 0xF1, 0x37));
  std::set<TColor> colours;
  for (const TColor pixel : PixelsOf(bitmap)) {
    EXPECT_EQ(pixel & 0x070707u, 0u);
    colours.insert(pixel);
  }
  EXPECT_GE(colours.size(), 3u);  // white outside, background, ink
}

TEST(TextTest, SymbolFontGoesThroughItsSymbolMap) {
  // The test fonts are those of Wine (scripts/lib/wine-host.sh puts Wingdings and Webdings into each
  // prefix; tests/CMakeLists.txt shows them to fontconfig for the native run). Their glyphs sit in
  // the symbol map only, so a renderer that looks bytes up anywhere else draws one missing-glyph box
  // for every code.
  std::string found;
  for (const std::string name : {"Symbol", "Wingdings", "Webdings"}) {
    ui::Font font = MakeFont(name, 20);
    font.charset = ui::kSymbolCharset;
    const ui::TextRenderer text(font, 96);
    if (!text.IsSymbolFont()) continue;
    std::set<std::vector<TColor>> images;
    for (int code = 0x20; code <= 0xFF; ++code) {
      const std::string s(1, static_cast<char>(code));
      EXPECT_EQ(text.Measure(s).height, text.LineHeight());
      TBitmap bitmap = Canvas(60, text.LineHeight(), clWhite);
      text.DrawOpaque(bitmap, 0, 0, s, clBlack, clWhite);
      if (code >= 'A' && code <= 'Z') {
        EXPECT_GT(CountInk(bitmap, {0, 0, 60, text.LineHeight()}, clWhite), 0) << name << " " << code;
      }
      images.insert(PixelsOf(bitmap));
    }
    if (images.size() >= 20u) return;
    found += " " + name + " (" + std::to_string(images.size()) + " different glyphs)";
  }
  if (!found.empty()) FAIL() << "symbol fonts draw nearly one glyph for every code:" << found;
  SKIP_OR_FAIL_WHERE_PROMISED(
      "No symbol font is installed (fonts-wine brings Wingdings and Webdings); the symbol map is not tested");
}

TEST(TextTest, RefusesWhatNoFontCanBe) {
  EXPECT_THROW(ui::TextRenderer(MakeFont("Arial", 12), 0), std::invalid_argument);
  EXPECT_THROW(ui::TextRenderer(MakeFont("Arial", 12), -96), std::invalid_argument);
  EXPECT_THROW(ui::TextRenderer(MakeFont("Arial", 12), 10001), std::invalid_argument);
  EXPECT_THROW(ui::TextRenderer(MakeFont("Arial", 100000), 96), std::invalid_argument);
  EXPECT_THROW(ui::TextRenderer(MakeFont("Arial", INT_MAX), 96), std::invalid_argument);
  EXPECT_THROW(ui::TextRenderer(MakeFont("Arial", INT_MIN), 96), std::invalid_argument);

  // Odd but harmless values work: a character set out of range, a name longer than the system keeps.
  ui::Font odd = MakeFont(std::string(200, 'x'), 12);
  odd.charset = 300;
  const ui::TextRenderer text(odd, 96);
  EXPECT_GT(text.Measure("W").width, 0);
}

}  // namespace
