#include "glyphs/CharacterSet.h"

#include <algorithm>
#include <cctype>
#include <set>

namespace {

bool IsSurrogate(std::uint32_t code) { return code >= 0xD800 && code <= 0xDFFF; }

// One code of an item; sets unicode when its notation says so.
std::uint32_t ParseCode(std::string_view part, std::string_view item, bool& unicode) {
  const auto fail = [&](const std::string& why) {
    throw std::invalid_argument("'" + std::string(item) + "' " + why);
  };
  int base = 10;
  std::string_view digits = part;
  if (part.size() > 2 && (part.substr(0, 2) == "U+" || part.substr(0, 2) == "u+" ||
                          part.substr(0, 2) == "0x" || part.substr(0, 2) == "0X")) {
    base = 16;
    digits = part.substr(2);
    unicode = true;
  }
  if (digits.empty() || digits.size() > 8)
    fail("is no code or range of codes (such as 65, 0x41 or U+0400-U+04FF)");
  std::uint64_t value = 0;
  for (const char c : digits) {
    const int digit = std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
                      : base == 16 && std::isxdigit(static_cast<unsigned char>(c))
                          ? std::tolower(c) - 'a' + 10
                          : -1;
    if (digit < 0) fail("is no code or range of codes (such as 65, 0x41 or U+0400-U+04FF)");
    value = value * base + static_cast<std::uint64_t>(digit);
  }
  if (value > kLastCodePoint) fail("goes beyond U+10FFFF, the last code point");
  if (value > 255) unicode = true;
  return static_cast<std::uint32_t>(value);
}

}  // namespace

TCodeList ParseCodeList(std::string_view text) {
  TCodeList list;
  std::set<std::uint32_t> codes;
  std::vector<std::pair<std::uint32_t, std::uint32_t>> ranges;
  std::size_t start = 0;
  while (true) {
    const std::size_t end = std::min(text.find(',', start), text.size());
    const std::string_view item = text.substr(start, end - start);
    // The dash of a range: not the first character (no negative codes).
    const std::size_t dash = item.find('-', 1);
    if (dash == std::string_view::npos) {
      const std::uint32_t code = ParseCode(item, item, list.Unicode);
      if (IsSurrogate(code))
        throw std::invalid_argument("'" + std::string(item) + "' is a surrogate, no character");
      ranges.emplace_back(code, code);
    } else {
      const std::uint32_t from = ParseCode(item.substr(0, dash), item, list.Unicode);
      const std::uint32_t to = ParseCode(item.substr(dash + 1), item, list.Unicode);
      if (from > to) throw std::invalid_argument("the range " + std::string(item) + " is not ascending");
      ranges.emplace_back(from, to);
    }
    if (end == text.size()) break;
    start = end + 1;
  }
  for (const auto& [from, to] : ranges)
    for (std::uint32_t code = from; code <= to; ++code)
      if (!IsSurrogate(code)) codes.insert(code);
  list.Codes.assign(codes.begin(), codes.end());
  return list;
}

std::vector<std::uint32_t> CodePointsOfUtf8(std::string_view text) {
  std::vector<std::uint32_t> points;
  std::set<std::uint32_t> seen;
  std::size_t i = 0;
  if (text.substr(0, 3) == "\xEF\xBB\xBF") i = 3;
  while (i < text.size()) {
    const unsigned char lead = static_cast<unsigned char>(text[i]);
    const int length = lead < 0x80             ? 1
                       : (lead & 0xE0) == 0xC0 ? 2
                       : (lead & 0xF0) == 0xE0 ? 3
                       : (lead & 0xF8) == 0xF0 ? 4
                                               : 0;
    if (length == 0 || i + length > text.size())
      throw std::invalid_argument("the text is no UTF-8 (a bad byte at " + std::to_string(i) + ")");
    std::uint32_t c = length == 1 ? lead : lead & (0x7F >> length);
    for (int k = 1; k < length; ++k) {
      const unsigned char next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80)
        throw std::invalid_argument("the text is no UTF-8 (a bad byte at " + std::to_string(i + k) + ")");
      c = (c << 6) | (next & 0x3F);
    }
    // Overlong forms, surrogates and values beyond the last code point are no UTF-8.
    static constexpr std::uint32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < kLeast[length] || IsSurrogate(c) || c > kLastCodePoint)
      throw std::invalid_argument("the text is no UTF-8 (a bad sequence at " + std::to_string(i) + ")");
    i += static_cast<std::size_t>(length);
    if (c == '\r' || c == '\n') continue;
    if (seen.insert(c).second) points.push_back(c);
  }
  return points;
}

std::vector<TGlyphCharacter> CharactersOf(const std::vector<std::uint32_t>& codes, bool unicode) {
  std::vector<TGlyphCharacter> characters;
  characters.reserve(codes.size());
  for (const std::uint32_t code : codes)
    characters.push_back(unicode ? TGlyphCharacter::CodePoint(code)
                                 : TGlyphCharacter(static_cast<int>(code)));
  return characters;
}

std::vector<TGlyphCharacter> CodePageCharacters() {
  std::vector<TGlyphCharacter> characters;
  for (int code = 0; code < 256; ++code) characters.emplace_back(code);
  return characters;
}

const std::vector<TUnicodeBlock>& UnicodeBlocks() {
  static const std::vector<TUnicodeBlock> blocks = {
      {"Basic Latin", 0x0000, 0x007F},
      {"Latin-1 Supplement", 0x0080, 0x00FF},
      {"Latin Extended-A", 0x0100, 0x017F},
      {"Latin Extended-B", 0x0180, 0x024F},
      {"IPA Extensions", 0x0250, 0x02AF},
      {"Spacing Modifier Letters", 0x02B0, 0x02FF},
      {"Combining Diacritical Marks", 0x0300, 0x036F},
      {"Greek and Coptic", 0x0370, 0x03FF},
      {"Cyrillic", 0x0400, 0x04FF},
      {"Cyrillic Supplement", 0x0500, 0x052F},
      {"Armenian", 0x0530, 0x058F},
      {"Hebrew", 0x0590, 0x05FF},
      {"Arabic", 0x0600, 0x06FF},
      {"Devanagari", 0x0900, 0x097F},
      {"Thai", 0x0E00, 0x0E7F},
      {"Georgian", 0x10A0, 0x10FF},
      {"Latin Extended Additional", 0x1E00, 0x1EFF},
      {"Greek Extended", 0x1F00, 0x1FFF},
      {"General Punctuation", 0x2000, 0x206F},
      {"Currency Symbols", 0x20A0, 0x20CF},
      {"Letterlike Symbols", 0x2100, 0x214F},
      {"Number Forms", 0x2150, 0x218F},
      {"Arrows", 0x2190, 0x21FF},
      {"Mathematical Operators", 0x2200, 0x22FF},
      {"Box Drawing", 0x2500, 0x257F},
      {"Block Elements", 0x2580, 0x259F},
      {"Geometric Shapes", 0x25A0, 0x25FF},
      {"Miscellaneous Symbols", 0x2600, 0x26FF},
      {"CJK Symbols and Punctuation", 0x3000, 0x303F},
      {"Hiragana", 0x3040, 0x309F},
      {"Katakana", 0x30A0, 0x30FF},
      {"CJK Unified Ideographs", 0x4E00, 0x9FFF},
      {"Hangul Syllables", 0xAC00, 0xD7AF},
      {"Alphabetic Presentation Forms", 0xFB00, 0xFB4F},
      {"Halfwidth and Fullwidth Forms", 0xFF00, 0xFFEF},
  };
  return blocks;
}
