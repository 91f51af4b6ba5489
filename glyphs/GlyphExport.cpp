#include "glyphs/GlyphExport.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>

#include "imaging/Gifimage.h"
#include "imaging/Png.h"

namespace {

// Coverage is measured between two colours at least this far apart (in RGB space): 2 or more steps of
// each channel that differs for each step of coverage.
constexpr int kLeastCoverageDistance = 128;

// Black on an exactly white background, white on every other one.
TColor ContrastColor(TColor background) { return background == clWhite ? clBlack : clWhite; }

// The glyph in textColour on paper, the uncovered rows of the drawing area in `contrast`.
bool RenderGlyphIn(const ui::TextRenderer& renderer, TColor textColour, TColor paper, TColor contrast,
                   int height, TBitmap& bitmap, int code) {
  const int points = renderer.GetFont().size;
  const std::string text = CodeText(code);
  // The glyph is drawn at the top-left of an area 6 x point size wide and 4 x point size high in the
  // contrast colour; the bitmap is then cut or extended (in the background colour) to the asked
  // height, then to the advance width. Only the part of that area that both cuts keep can show, so
  // the area is made no larger than that part: the result is the same, the work far smaller.
  const int advance = renderer.Measure(text).width;
  bitmap.SetFillColor(contrast);
  bitmap.SetSize(0, 0);
  bitmap.SetSize(std::min(6 * points, advance), std::min(4 * points, height));
  bitmap.SetFillColor(paper);
  renderer.DrawOpaque(bitmap, 0, 0, text, textColour, paper);
  bitmap.SetHeight(height);
  bitmap.SetWidth(advance);
  return bitmap.Width() > 0 && bitmap.Height() > 0;
}

}  // namespace

TExportForm ExportFormOfFilterIndex(int filterIndex) {
  const std::vector<TImageFormat> forms = GlyphFormats();
  if (filterIndex < 1 || filterIndex > static_cast<int>(forms.size())) return TExportForm::TransparentGif;
  return forms[static_cast<std::size_t>(filterIndex - 1)];
}

const char* ExportExtension(TExportForm form) { return FormatInfo(form).Extension; }

std::string ExportNumber(int code) {
  char text[16];
  std::snprintf(text, sizeof text, "%03d", code);
  return text;
}

std::string CodeText(int code) { return std::string(1, static_cast<char>(static_cast<unsigned char>(code))); }

bool RenderGlyph(const ui::TextRenderer& renderer, TColor background, int height, TBitmap& bitmap, int code) {
  return RenderGlyphIn(renderer, ColorToRGB(renderer.GetFont().color), ColorToRGB(background),
                       ContrastColor(background), height, bitmap, code);
}

TGlyphCoverage RenderGlyphCoverage(const ui::TextRenderer& renderer, TColor background, int height,
                                   int code) {
  // The glyph is drawn in the font colour on a paper colour (the uncovered rows of the drawing area in
  // the paper colour too), and each pixel's coverage is where it lies between the two: its distance
  // from the paper along the line from the paper to the font colour. Text drawing blends each pixel
  // between the two colours, but not always linearly in its coverage, and not in the same way for all
  // colour pairs (the system's text drawing adjusts its blending to the colours); measuring the blend
  // in the colours of the export makes the PNG laid over the export's background the BMP export, and
  // over any other background the glyph as the system draws it in the font colour. The paper is the
  // background, unless that is too near the font colour to tell the steps apart: then black or white,
  // whichever lies farther from it.
  const TColor ink = ColorToRGB(renderer.GetFont().color);
  const auto distance = [&](TColor paper) {
    const int dr = static_cast<int>(GetRValue(ink)) - static_cast<int>(GetRValue(paper));
    const int dg = static_cast<int>(GetGValue(ink)) - static_cast<int>(GetGValue(paper));
    const int db = static_cast<int>(GetBValue(ink)) - static_cast<int>(GetBValue(paper));
    return dr * dr + dg * dg + db * db;
  };
  TColor paper = ColorToRGB(background);
  if (distance(paper) < kLeastCoverageDistance * kLeastCoverageDistance) {
    paper = distance(clBlack) >= distance(clWhite) ? clBlack : clWhite;
  }

  TBitmap drawn;
  TGlyphCoverage coverage;
  if (!RenderGlyphIn(renderer, ink, paper, paper, height, drawn, code)) return coverage;
  coverage.Width = drawn.Width();
  coverage.Height = drawn.Height();
  coverage.Alpha.resize(static_cast<std::size_t>(coverage.Width) * coverage.Height);
  const int paperR = static_cast<int>(GetRValue(paper)), paperG = static_cast<int>(GetGValue(paper)),
            paperB = static_cast<int>(GetBValue(paper));
  const long long spanR = static_cast<int>(GetRValue(ink)) - paperR,
                  spanG = static_cast<int>(GetGValue(ink)) - paperG,
                  spanB = static_cast<int>(GetBValue(ink)) - paperB;
  const long long span = distance(paper);
  std::uint8_t* alpha = coverage.Alpha.data();
  for (int y = 0; y < coverage.Height; ++y) {
    const TBitmap::Pixel32* row = drawn.ScanLine(y);
    for (int x = 0; x < coverage.Width; ++x) {
      const TBitmap::Pixel32 pixel = row[x];  // 0x00RRGGBB
      const long long along = (static_cast<int>(pixel >> 16 & 0xFF) - paperR) * spanR +
                              (static_cast<int>(pixel >> 8 & 0xFF) - paperG) * spanG +
                              (static_cast<int>(pixel & 0xFF) - paperB) * spanB;
      *alpha++ = static_cast<std::uint8_t>(std::clamp((along * 255 + span / 2) / span, 0LL, 255LL));
    }
  }
  return coverage;
}

namespace {

// The picture with `padding` pixels of the fill colour on every side.
TBitmap Padded(const TBitmap& picture, TColor fill, int padding) {
  TBitmap padded;
  padded.SetFillColor(fill);
  padded.SetSize(picture.Width() + 2 * padding, picture.Height() + 2 * padding);
  padded.Fill(fill);
  for (int y = 0; y < picture.Height(); ++y) {
    const TBitmap::Pixel32* from = picture.ScanLine(y);
    std::copy(from, from + picture.Width(), padded.ScanLine(y + padding) + padding);
  }
  return padded;
}

TGlyphCoverage Padded(const TGlyphCoverage& coverage, int padding) {
  TGlyphCoverage padded;
  padded.Width = coverage.Width + 2 * padding;
  padded.Height = coverage.Height + 2 * padding;
  padded.Alpha.assign(static_cast<std::size_t>(padded.Width) * padded.Height, 0);
  for (int y = 0; y < coverage.Height; ++y) {
    std::copy_n(coverage.Alpha.begin() + static_cast<std::ptrdiff_t>(y) * coverage.Width, coverage.Width,
                padded.Alpha.begin() + static_cast<std::ptrdiff_t>(y + padding) * padded.Width + padding);
  }
  return padded;
}

}  // namespace

bool ExportGlyph(const ui::TextRenderer& renderer, TColor background, int cellHeight, int code,
                 TExportForm form, const std::string& base, int padding) {
  if (padding < 0) throw std::invalid_argument("A padding cannot be negative");
  const std::string name = base + ExportNumber(code) + ExportExtension(form);
  if (form == TExportForm::PngWithAlpha) {
    TGlyphCoverage coverage = RenderGlyphCoverage(renderer, background, cellHeight, code);
    if (coverage.Alpha.empty()) return false;
    if (padding > 0) coverage = Padded(coverage, padding);
    TBitmap colour;
    colour.SetFillColor(ColorToRGB(renderer.GetFont().color));
    colour.SetSize(coverage.Width, coverage.Height);
    SaveBitmapAsPngWithAlpha(colour, coverage.Alpha, name);
    return true;
  }
  TBitmap glyph;
  if (!RenderGlyph(renderer, background, cellHeight, glyph, code)) return false;
  if (padding > 0) glyph = Padded(glyph, ColorToRGB(background), padding);
  if (form == TExportForm::TransparentGif) {
    SaveBitmapAsGif(glyph, name, ColorToRGB(background));
  } else {
    FormatInfo(form).Write(glyph, name);
  }
  return true;
}
