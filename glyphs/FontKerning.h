#pragma once
// The kerning of a font, read from the font file's own tables, so that it is the same on every
// platform and with every renderer: the pair adjustments of the 'GPOS' table reached through its
// 'kern' feature where the font has that feature (as text layout engines apply it), else the
// horizontal format 0 subtables of the 'kern' table. Works on the bytes of a TrueType or OpenType
// file, or of one face of a font collection.

#include <cstdint>
#include <span>
#include <vector>

#include "platform/text/FontTables.h"

struct TKerningPair {
  std::uint32_t Left = 0;  // Unicode code points of the first and the second character
  std::uint32_t Right = 0;
  int Adjustment = 0;  // in font units; negative brings the second character closer
  bool operator==(const TKerningPair&) const = default;
};

struct TFontKerning {
  int UnitsPerEm = 0;
  std::vector<TKerningPair> Pairs;  // sorted by (Left, Right); only pairs with a non-zero adjustment
};

// The kerning between every ordered pair of the given characters (a character the font has no glyph
// for takes part in no pair; a symbol font's characters are also looked up at U+F000 + code).
// faceIndex chooses the face of a collection and must be 0 for a single font. Throws EFontTableError.
TFontKerning ReadFontKerning(std::span<const std::uint8_t> fontData,
                             std::span<const std::uint32_t> characters, int faceIndex = 0);
