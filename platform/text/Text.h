#pragma once
// Measuring one-line texts in a font and drawing them with an opaque background onto a TBitmap.
// Implemented by each backend: GDI on Windows (GetTextExtentPoint32A, ExtTextOutA with ETO_OPAQUE),
// FreeType with fontconfig in the native backend (freetype/). Texts are 8-bit strings in the ANSI code page
// (Windows-1252); every byte is one character, and a zero byte is a character like any other.

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "imaging/Graphics.h"

namespace ui {

// Character-set numbers of a font, as the system counts them (0 to 255).
constexpr int kAnsiCharset = 0;
constexpr int kDefaultCharset = 1;
constexpr int kSymbolCharset = 2;

// Pitch of a font, numbered as the settings file stores it.
enum class FontPitch { Default = 0, Variable = 1, Fixed = 2 };

// A font as the programs describe it: face name, size in points, style, character set, colour.
struct Font {
  std::string name = "MS Sans Serif";  // at most 31 bytes are used, as a LOGFONT holds them
  int size = 8;                        // points; see FontHeightForSize for what 0 and negatives mean
  bool bold = false;
  bool italic = false;
  bool underline = false;
  bool strikeOut = false;
  int charset = kDefaultCharset;  // values outside 0 to 255 count as kDefaultCharset
  FontPitch pitch = FontPitch::Default;
  TColor color = clBlack;

  bool operator==(const Font&) const = default;
};

// a * b / c rounded to the nearest integer, halves away from zero, as the system's MulDiv rounds;
// c must not be 0.
constexpr long long MulDiv64(long long a, long long b, long long c) {
  const long long product = a * b;
  const long long divisor = c < 0 ? -c : c;
  const long long magnitude = ((product < 0 ? -product : product) + divisor / 2) / divisor;
  return (product < 0) != (c < 0) ? -magnitude : magnitude;
}
// The system's MulDiv: as MulDiv64, but -1 when c is 0 or the result does not fit into an int.
constexpr int MulDivRounded(int a, int b, int c) {
  if (c == 0) return -1;
  const long long result = MulDiv64(a, b, c);
  return result < -2147483647LL - 1 || result > 2147483647LL ? -1 : static_cast<int>(result);
}

// The font height in pixels that a size in points gives at a resolution: -MulDiv(size, ppi, 72).
// Negative is the character height (the em), as a LOGFONT's lfHeight; a negative size therefore gives
// a positive height, which asks for that cell height instead, and size 0 leaves the height to the
// system's default.
constexpr int FontHeightForSize(int points, int pixelsPerInch) {
  return -MulDivRounded(points, pixelsPerInch, 72);
}
// The size in points of a font height in pixels: -MulDiv(height, 72, ppi).
constexpr int FontSizeForHeight(int height, int pixelsPerInch) {
  return -MulDivRounded(height, 72, pixelsPerInch);
}

// Font heights beyond this many pixels (either sign) are refused.
constexpr int kMaxFontHeight = 8192;

// The font height (lfHeight) a renderer realises for a font at a resolution. Throws
// std::invalid_argument for a resolution outside 1 to 10000 pixels per inch or a height beyond
// kMaxFontHeight.
int RendererFontHeight(const Font& font, int pixelsPerInch);

// The Unicode character of a byte of the ANSI code page (Windows-1252); the five bytes the code page
// leaves undefined stand for the control characters of the same number, as the system maps them.
char32_t AnsiCharacter(unsigned char byte);
// A text of the ANSI code page in UTF-8, and back; characters the code page cannot hold (and bytes that
// are no UTF-8) become '?', as the system's conversion does.
std::string AnsiToUtf8(std::string_view text);
std::string Utf8ToAnsi(std::string_view text);

// What a font file says about one of its faces (a TrueType or OpenType file, or a face of a collection):
// the family name as the system names the face (the name table's family, Windows-1252, characters the
// code page lacks as '?'), its weight and whether it is italic.
struct FontFaceInfo {
  std::string family;
  int weight = 400;  // 100 (thin) to 900 (black); 700 is bold
  bool italic = false;
};
// Throws std::runtime_error when the bytes are no font, the face does not exist or names no family.
FontFaceInfo ReadFontFaceInfo(std::span<const std::uint8_t> fontData, int faceIndex = 0);

// How a renderer draws, beyond what the font describes.
struct RenderOptions {
  // False: every pixel of a glyph is either the text or the background colour (no smoothed edges).
  bool antialias = true;
  // When not empty, the face of this font file is drawn with (the first face of a collection),
  // instead of the installed face the font's name finds; the font's size, style switches of the
  // underline and strike-out kind and colour still apply.
  std::string fontFile;
};

// The horizontal metrics of one character in pixels: its advance width and the distance from the pen
// position to the left edge of its drawn pixels (negative where the glyph reaches left of the pen; 0
// for a character that draws nothing).
struct CharMetrics {
  int advance = 0;
  int leftBearing = 0;
  bool operator==(const CharMetrics&) const = default;
};

// The bytes of the font file a renderer draws with and the number of its face in it (0 unless the
// file is a collection); path is the file's name where the renderer knows it, else empty.
struct FontFileData {
  std::vector<std::uint8_t> bytes;
  int faceIndex = 0;
  std::string path;
};

// The character map of a font file's face (its 'cmap' table), with the bytes it reads: the glyph of a
// Unicode code point, 0 when the face has none. The one lookup of characters by code point on every
// system, so that the same font file has the same characters everywhere. Throws EFontTableError when the
// file has no character map of a supported form (a raster font).
struct FontFileCharactersMap;
class FontFileCharacters {
 public:
  explicit FontFileCharacters(FontFileData file);
  ~FontFileCharacters();
  FontFileCharacters(const FontFileCharacters&) = delete;
  FontFileCharacters& operator=(const FontFileCharacters&) = delete;
  std::uint16_t GlyphOf(char32_t character) const;

 private:
  FontFileData file_;
  std::unique_ptr<FontFileCharactersMap> map_;
};

struct TextExtent {
  int width = 0;   // the sum of the characters' advance widths
  int height = 0;  // the font's line height (ascent + descent); 0 for the empty text
  bool operator==(const TextExtent&) const = default;
};

// One font realised at one resolution, ready to measure and draw any number of texts. Create it
// once and reuse it: realising a font is much dearer than measuring or drawing a character.
// A renderer is used by one thread at a time.
class TextRenderer {
 public:
  // Throws std::invalid_argument for a resolution outside 1 to 10000 pixels per inch or a height
  // beyond kMaxFontHeight, std::runtime_error when the system cannot provide the font. An unknown
  // face name is not an error: the system's substitute is used, as it would be on screen.
  TextRenderer(const Font& font, int pixelsPerInch);
  // The same with drawing options. A font file that cannot be opened or holds no usable face throws
  // std::runtime_error.
  TextRenderer(const Font& font, int pixelsPerInch, const RenderOptions& options);
  ~TextRenderer();
  TextRenderer(TextRenderer&&) noexcept;
  TextRenderer& operator=(TextRenderer&&) noexcept;
  TextRenderer(const TextRenderer&) = delete;
  TextRenderer& operator=(const TextRenderer&) = delete;

  const Font& GetFont() const;
  int PixelsPerInch() const;

  // The line height of the font in pixels (the height of every non-empty one-line text) and the
  // distance from the top of a line to its baseline.
  int LineHeight() const;
  int Ascent() const;
  // The face that is actually drawn with, which may be a substitute for the name asked for.
  std::string FaceName() const;
  // True when the face drawn with is a symbol font: bytes then go through its symbol map instead of
  // the code page.
  bool IsSymbolFont() const;

  // The advance width and left bearing of the one-byte string of a code.
  CharMetrics Metrics(unsigned char code) const;

  // The font file drawn with; throws std::runtime_error when the system cannot provide its bytes.
  FontFileData FontFile() const;

  // Width and height of the text on one line, as GetTextExtentPoint32A gives them.
  TextExtent Measure(std::string_view text) const;

  // ---- Characters by their Unicode code points (U+0000 to U+10FFFF) ----
  // Looked up in the character map of the font file drawn with (FontFileCharacters), never in another
  // face: a character the font lacks has no glyph, measures 0 and draws nothing. Throws
  // std::runtime_error when the font gives no file or no character map (a raster font).
  bool HasCharacter(char32_t character) const;
  // The advance width and left bearing of the character (zeros for one the font lacks).
  CharMetrics CharacterMetrics(char32_t character) const;
  TextExtent Measure(std::u32string_view text) const;
  // As the DrawOpaque of one-byte texts below, for characters by code point.
  void DrawOpaque(TBitmap& bitmap, int x, int y, std::u32string_view text, TColor textColor,
                  TColor backgroundColor) const;

  // Draws the text with its top-left corner at (x, y): the rectangle from (x, y), Measure(text).width
  // wide and LineHeight() high, becomes the background colour, and the glyphs are drawn on it in the
  // text colour, anti-aliased as the platform does by default; underline and strike-out are lines
  // across the whole rectangle. Pixels outside the rectangle stay as they were, except the parts of
  // glyphs that reach beyond their advance width (italic and some letters overhang), which are
  // drawn where they fall, as the platform draws them. Whatever falls outside the bitmap is lost.
  // Colours are RGB values; a system-colour value (top bit set) uses its low 24 bits.
  void DrawOpaque(TBitmap& bitmap, int x, int y, std::string_view text, TColor textColor,
                  TColor backgroundColor) const;
  // The same in the font's own colour.
  void DrawOpaque(TBitmap& bitmap, int x, int y, std::string_view text, TColor backgroundColor) const {
    DrawOpaque(bitmap, x, y, text, GetFont().color, backgroundColor);
  }

 private:
  struct Impl;
  const Impl& Get() const;
  std::unique_ptr<Impl> impl_;
};

}  // namespace ui
