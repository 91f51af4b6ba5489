#include "glyphs/GlyphExport.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>
#include <utility>

#include "glyphs/FontKerning.h"
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
                   int height, TBitmap& bitmap, const TGlyphCharacter& character) {
  const int points = renderer.GetFont().size;
  const std::string byte = CodeText(static_cast<int>(character.Code));
  const std::u32string unicode(1, static_cast<char32_t>(character.Code));
  const auto measure = [&] { return character.Unicode ? renderer.Measure(unicode) : renderer.Measure(byte); };
  // The glyph is drawn at the top-left of an area 6 x point size wide and 4 x point size high in the
  // contrast colour; the bitmap is then cut or extended (in the background colour) to the asked
  // height, then to the advance width. Only the part of that area that both cuts keep can show, so
  // the area is made no larger than that part: the result is the same, the work far smaller.
  const int advance = measure().width;
  bitmap.SetFillColor(contrast);
  bitmap.SetSize(0, 0);
  bitmap.SetSize(std::min(6 * points, advance), std::min(4 * points, height));
  bitmap.SetFillColor(paper);
  if (character.Unicode) {
    renderer.DrawOpaque(bitmap, 0, 0, unicode, textColour, paper);
  } else {
    renderer.DrawOpaque(bitmap, 0, 0, byte, textColour, paper);
  }
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

std::string ExportNumber(std::uint32_t code) {
  char text[16];
  std::snprintf(text, sizeof text, "%03lu", static_cast<unsigned long>(code));
  return text;
}

std::string CharacterUtf8(const TGlyphCharacter& character) {
  if (!character.Unicode) return ui::AnsiToUtf8(CodeText(static_cast<int>(character.Code)));
  std::string out;
  const char32_t c = character.Code;
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
  return out;
}

bool FontHasCharacter(const ui::TextRenderer& renderer, const TGlyphCharacter& character) {
  return !character.Unicode || renderer.HasCharacter(character.Code);
}

ui::CharMetrics CharacterMetricsOf(const ui::TextRenderer& renderer, const TGlyphCharacter& character) {
  return character.Unicode ? renderer.CharacterMetrics(character.Code)
                           : renderer.Metrics(static_cast<unsigned char>(character.Code));
}

std::string CodeText(int code) { return std::string(1, static_cast<char>(static_cast<unsigned char>(code))); }

bool RenderGlyph(const ui::TextRenderer& renderer, TColor background, int height, TBitmap& bitmap,
                 TGlyphCharacter character) {
  return RenderGlyphIn(renderer, ColorToRGB(renderer.GetFont().color), ColorToRGB(background),
                       ContrastColor(background), height, bitmap, character);
}

TGlyphCoverage RenderGlyphCoverage(const ui::TextRenderer& renderer, TColor background, int height,
                                   TGlyphCharacter code) {
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

bool RenderGlyphWithAlpha(const ui::TextRenderer& renderer, TColor background, int height,
                          TGlyphCharacter character, TBitmap& colour, std::vector<std::uint8_t>& alpha,
                          int padding) {
  TGlyphCoverage coverage = RenderGlyphCoverage(renderer, background, height, character);
  if (coverage.Alpha.empty()) return false;
  if (padding > 0) coverage = Padded(coverage, padding);
  colour.SetFillColor(ColorToRGB(renderer.GetFont().color));
  colour.SetSize(coverage.Width, coverage.Height);
  alpha = std::move(coverage.Alpha);
  return true;
}

bool ExportGlyph(const ui::TextRenderer& renderer, TColor background, int cellHeight, TGlyphCharacter code,
                 TExportForm form, const std::string& base, int padding) {
  if (padding < 0) throw std::invalid_argument("A padding cannot be negative");
  const std::string name = base + ExportNumber(code.Code) + ExportExtension(form);
  if (form == TExportForm::PngWithAlpha) {
    TBitmap colour;
    std::vector<std::uint8_t> alpha;
    if (!RenderGlyphWithAlpha(renderer, background, cellHeight, code, colour, alpha, padding)) return false;
    SaveBitmapAsPngWithAlpha(colour, alpha, name);
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

TCharactersKerning KerningAmong(const ui::TextRenderer& renderer, const ui::FontFileData& file,
                                const std::vector<TGlyphCharacter>& characters, int pixelSize) {
  // The characters the font is asked for: code points, the code page's characters, or a symbol font's
  // own byte values.
  std::vector<std::uint32_t> points;
  for (const TGlyphCharacter& c : characters) {
    points.push_back(c.Unicode || renderer.IsSymbolFont()
                         ? c.Code
                         : ui::AnsiCharacter(static_cast<unsigned char>(c.Code)));
  }
  const TFontKerning kerning = ReadFontKerning(file.bytes, points, file.faceIndex);
  const auto codeOf = [&](std::uint32_t point) -> long long {
    const auto found = std::find(points.begin(), points.end(), point);
    return found == points.end() ? -1 : characters[static_cast<std::size_t>(found - points.begin())].Code;
  };
  TCharactersKerning result;
  result.UnitsPerEm = kerning.UnitsPerEm;
  for (const TKerningPair& pair : kerning.Pairs) {
    const long long left = codeOf(pair.Left), right = codeOf(pair.Right);
    if (left < 0 || right < 0 || kerning.UnitsPerEm <= 0) continue;
    result.Pairs.push_back({static_cast<std::uint32_t>(left), static_cast<std::uint32_t>(right),
                            pair.Adjustment, ui::MulDiv64(pair.Adjustment, pixelSize, kerning.UnitsPerEm)});
  }
  return result;
}
