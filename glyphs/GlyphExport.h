#pragma once
// One glyph as Letrana exports it: rendered at the cell height in the font, font colour and background
// colour, and written in one of the export forms under the name base + three-digit code + extension.
// The main window's export, its clipboard copy and letrana-export use these, so every way out of the
// program gives the same pixels.

#include <cstdint>
#include <string>
#include <vector>

#include "imaging/Graphics.h"
#include "imaging/ImageFormats.h"
#include "platform/text/Text.h"

// The forms of an exported glyph: the glyph formats of the format table, numbered from 1 as the
// entries of the export dialog's file-type list.
using TExportForm = TImageFormat;

// The form of a file-type entry (1-based); an index that names no form writes the transparent GIF.
TExportForm ExportFormOfFilterIndex(int filterIndex);
// The form's extension: ".bmp", ".jpg", ".gif" or ".png".
const char* ExportExtension(TExportForm form);
// A character of an export: a byte of the code page (0 to 255, drawn through the code page, or a
// symbol font's own map, as the window's grid draws it), or a Unicode code point (drawn from the font
// file's character map; a character the font lacks draws nothing).
struct TGlyphCharacter {
  TGlyphCharacter(int byte) : Code(static_cast<std::uint32_t>(byte)) {}  // a code page byte
  static TGlyphCharacter CodePoint(char32_t character) {
    TGlyphCharacter unicode(0);
    unicode.Code = character;
    unicode.Unicode = true;
    return unicode;
  }
  std::uint32_t Code = 0;
  bool Unicode = false;
  bool operator==(const TGlyphCharacter&) const = default;
};

// The character as UTF-8 (a byte through the code page).
std::string CharacterUtf8(const TGlyphCharacter& character);
// Whether the renderer's font has the character (every code page byte counts as present).
bool FontHasCharacter(const ui::TextRenderer& renderer, const TGlyphCharacter& character);
// The character's advance width and left bearing.
ui::CharMetrics CharacterMetricsOf(const ui::TextRenderer& renderer, const TGlyphCharacter& character);

// "%03d": the code as at least three decimal digits, zero-padded.
std::string ExportNumber(std::uint32_t code);
// The text rendered for a code: exactly one byte, also for code 0.
std::string CodeText(int code);

// Renders the one-byte string of the code with the renderer's font in its colour into the bitmap: as
// wide as the character's advance width and `height` pixels high, the glyph on the background colour.
// The glyph is drawn at the top-left of an area at most 6 x point size wide and 4 x point size high
// (what reaches beyond it is cut); rows of that area below the font's line height keep the contrast
// colour (black on an exactly white background, else white), rows beyond it are background. True when
// the result is at least 1 x 1 pixels.
bool RenderGlyph(const ui::TextRenderer& renderer, TColor background, int height, TBitmap& bitmap,
                 TGlyphCharacter character);

// The coverage of the same glyph, one byte a pixel, rows top first: 255 where the glyph covers the pixel
// in the font colour, 0 where it leaves the background (also in the rows a RenderGlyph bitmap gives the
// contrast colour), the anti-aliased edge in between, measured as the system blends the font colour
// with the background (or, when the two are too alike to tell, with black or white). Width and height
// are those of RenderGlyph's bitmap; the vector is empty when that is empty.
struct TGlyphCoverage {
  int Width = 0;
  int Height = 0;
  std::vector<std::uint8_t> Alpha;
};
TGlyphCoverage RenderGlyphCoverage(const ui::TextRenderer& renderer, TColor background, int height,
                                   TGlyphCharacter character);

// The glyph as the PNG with alpha holds it: the font colour in every pixel of colour, the coverage as
// alpha (RenderGlyphCoverage), with `padding` fully transparent pixels on every side (not negative).
// False, and nothing set, when the glyph has no pixels.
bool RenderGlyphWithAlpha(const ui::TextRenderer& renderer, TColor background, int height,
                          TGlyphCharacter character, TBitmap& colour, std::vector<std::uint8_t>& alpha,
                          int padding = 0);

// Renders the glyph of the code at the cell height and writes it in the form to base + ExportNumber +
// ExportExtension; a glyph without pixels writes nothing (false). The writer's errors pass through; an
// existing file of that name is replaced only by a whole new one. A padding of N pixels puts N rows
// and columns of the background (fully transparent in the PNG with alpha) on every side of the glyph's
// cell, so the picture is 2N wider and higher; N must not be negative.
bool ExportGlyph(const ui::TextRenderer& renderer, TColor background, int cellHeight,
                 TGlyphCharacter character, TExportForm form, const std::string& base, int padding = 0);

// The kerning between the characters (every ordered pair of them the font adjusts), from the tables of
// the font file the renderer draws with: in font units and in pixels at the pixel size (rounded).
struct TCharacterKerning {
  std::uint32_t Left = 0, Right = 0;  // the characters' codes
  int FontUnits = 0;
  long long Pixels = 0;
};
struct TCharactersKerning {
  int UnitsPerEm = 0;
  std::vector<TCharacterKerning> Pairs;  // by the font's order of pairs
};
// Throws EFontTableError when the font's tables cannot be read.
TCharactersKerning KerningAmong(const ui::TextRenderer& renderer, const ui::FontFileData& file,
                                const std::vector<TGlyphCharacter>& characters, int pixelSize);
