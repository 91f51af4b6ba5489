#pragma once
// A packed glyph atlas with its bitmap-font descriptor: every character drawn on its own (not cut to
// its cell: what reaches beyond the advance, such as an italic's overhang, stays), cut to the pixels it
// covers, given the padding around it, packed onto pages (AtlasPacker) and described for the engines
// that read the bitmap-font format (BitmapFont). The same characters and options give the same bytes.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "glyphs/BitmapFont.h"
#include "glyphs/GlyphExport.h"
#include "imaging/Graphics.h"

struct TAtlasOptions {
  int PageWidth = 512, PageHeight = 512;
  bool PowerOfTwo = false;
  int Padding = 0;  // pixels around each glyph inside its rectangle
  int Spacing = 0;  // pixels between two rectangles
  // 0: coverage; else a signed distance field of this spread in pixels (0.5 is the outline), from the
  // glyphs drawn by Fine: the same font at kDistanceFieldScale times the size (DistanceField.h).
  int DistanceFieldSpread = 0;
  const ui::TextRenderer* Fine = nullptr;
  // Where given, the characters the font lacks are drawn with this font (and its fine twin) instead of
  // being skipped, on the font's baseline.
  const ui::TextRenderer* Fallback = nullptr;
  const ui::TextRenderer* FallbackFine = nullptr;
};

struct TAtlas {
  TBitmapFont Font;  // Pages holds the page files' names as passed to BuildAtlas
  // Each page's alpha, one byte a pixel, rows top first: the coverage (or the distance field).
  std::vector<std::vector<std::uint8_t>> PageAlpha;
  std::vector<TGlyphCharacter> Skipped;       // characters the font lacks, or that draw nothing and advance 0
  std::vector<TGlyphCharacter> FromFallback;  // characters drawn with the fallback font
  // The kerning among the font's own characters drawn (Font.Kernings holds its pairs that are not 0
  // pixels); KerningError says why there is none when the font's tables cannot be read.
  TCharactersKerning Kerning;
  std::string KerningError;
};

// Draws, cuts and packs the characters. pageName(i) names page i's file. Throws std::invalid_argument
// when a glyph does not fit a page.
TAtlas BuildAtlas(const ui::TextRenderer& renderer, const std::vector<TGlyphCharacter>& characters,
                  const TAtlasOptions& options, const std::string& pageNameBase);

// A page in colours: the ink colour with the page's alpha (transparent background), or the ink laid
// over an opaque background.
TBitmap AtlasPageInk(int width, int height, TColor ink);
TBitmap AtlasPageOver(const std::vector<std::uint8_t>& alpha, int width, int height, TColor ink,
                      TColor background);

// The code a descriptor names a character by: its code point (a byte through the code page; a symbol
// font's byte as it is).
std::uint32_t DescriptorId(const ui::TextRenderer& renderer, const TGlyphCharacter& character);

// The forms of the descriptor, and their names on the command line and in the settings ("text", "xml",
// "binary"); nothing for another name.
enum class TDescriptorForm { Text, Xml, Binary };
std::optional<TDescriptorForm> DescriptorFormOfName(std::string_view name);
const char* DescriptorFormName(TDescriptorForm form);

// Writes the atlas's pages and its descriptor, base + ".fnt", each file whole or not at all. The pages
// are named as BuildAtlas named them, in base's folder. Without a picture form they are PNG with the
// glyphs white over a transparent background, the coverage (or field) in the alpha; in the PNG with
// alpha the glyphs take the ink colour; in another form the glyphs are the ink over the background, in
// that form and under its extension. The writers' errors pass through.
void WriteAtlasFiles(const TAtlas& atlas, const std::string& base, TDescriptorForm descriptor,
                     std::optional<TImageFormat> pictureForm, TColor ink, TColor background);
