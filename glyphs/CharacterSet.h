#pragma once
// The characters an export takes, or the window's grid shows: the 256 bytes of the code page (what
// Letrana always drew), or Unicode code points from a list of codes and ranges, a text, a text file, or
// a block of the Unicode standard.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "glyphs/GlyphExport.h"

// The highest code point.
inline constexpr char32_t kLastCodePoint = 0x10FFFF;

// A list of codes as the command line and the settings give it: items separated by commas, each a
// code or an ascending range of two codes joined by "-"; a code is decimal (65), hexadecimal with 0x
// (0x41) or in Unicode's notation (U+0041). The codes are Unicode code points when an item uses 0x or
// U+ or a code is beyond 255; otherwise bytes of the code page, as Letrana always read such a list.
// Surrogates (U+D800 to U+DFFF) are no characters: a range leaves them out, a single one is refused.
struct TCodeList {
  std::vector<std::uint32_t> Codes;  // ascending, each once
  bool Unicode = false;
};
// Throws std::invalid_argument naming the item that is wrong.
TCodeList ParseCodeList(std::string_view text);

// The code points of a UTF-8 text in the order they first appear, each once; line ends (CR, LF) and a
// leading byte-order mark are left out. Throws std::invalid_argument for bytes that are no UTF-8.
std::vector<std::uint32_t> CodePointsOfUtf8(std::string_view text);

// The characters of the codes: code page bytes, or Unicode code points.
std::vector<TGlyphCharacter> CharactersOf(const std::vector<std::uint32_t>& codes, bool unicode);
// The 256 bytes of the code page.
std::vector<TGlyphCharacter> CodePageCharacters();

// A block of the Unicode standard, as the window offers them.
struct TUnicodeBlock {
  const char* Name;
  char32_t First;
  char32_t Last;
};
const std::vector<TUnicodeBlock>& UnicodeBlocks();
