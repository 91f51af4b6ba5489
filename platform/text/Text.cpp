// What both text renderers check before they realise a font.

#include <algorithm>
#include <optional>
#include <stdexcept>
#include <string>

#include "platform/text/Text.h"

#include "platform/text/FontTables.h"

namespace ui {

int RendererFontHeight(const Font& font, int pixelsPerInch) {
  if (pixelsPerInch < 1 || pixelsPerInch > 10000) {
    throw std::invalid_argument("Invalid resolution of " + std::to_string(pixelsPerInch) +
                                " pixels per inch");
  }
  const long long height = -MulDiv64(font.size, pixelsPerInch, 72);
  if (height > kMaxFontHeight || height < -kMaxFontHeight) {
    throw std::invalid_argument("Font size " + std::to_string(font.size) + " is out of range");
  }
  return static_cast<int>(height);
}

}  // namespace ui

// ---- Characters and font files ----------------------------------------------------------------------

namespace ui {
namespace {

// Unicode of the bytes 0x80 to 0x9F of Windows-1252.
constexpr char32_t kAnsiHigh[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char AnsiByteOf(char32_t c) {
  if (c < 0x100 && !(c >= 0x80 && c < 0xA0 && kAnsiHigh[c - 0x80] != c)) return static_cast<char>(c);
  for (int i = 0; i < 32; ++i) {
    if (kAnsiHigh[i] == c) return static_cast<char>(0x80 + i);
  }
  return '?';
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// The family name from the name table: a Windows entry in US English first, then any Windows entry,
// then a Unicode entry, then a Macintosh Roman one (whose ASCII part is read).
std::string FamilyName(const TFontTableView& name) {
  const std::size_t count = name.U16(2);
  const std::size_t strings = name.U16(4);
  int bestRank = 0;
  std::string best;
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t record = 6 + 12 * i;
    const std::uint32_t platform = name.U16(record), encoding = name.U16(record + 2),
                        language = name.U16(record + 4), nameId = name.U16(record + 6);
    if (nameId != 1) continue;
    int rank = 0;
    if (platform == 3 && (encoding == 0 || encoding == 1 || encoding == 10)) rank = language == 0x409 ? 4 : 3;
    if (platform == 0) rank = 2;
    if (platform == 1 && encoding == 0) rank = 1;
    if (rank <= bestRank) continue;
    const std::size_t length = name.U16(record + 8);
    const TFontTableView string = name.Part(strings + name.U16(record + 10), length);
    std::string text;
    if (platform == 1) {
      for (std::size_t k = 0; k < length; ++k) {
        const std::uint8_t byte = string.U8(k);
        text += byte < 0x80 ? static_cast<char>(byte) : '?';
      }
    } else {
      for (std::size_t k = 0; k + 1 < length; k += 2) {
        char32_t c = string.U16(k);
        if (c >= 0xD800 && c < 0xDC00 && k + 3 < length) {
          c = 0x10000 + ((c - 0xD800) << 10) + (string.U16(k + 2) - 0xDC00);
          k += 2;
        }
        text += AnsiByteOf(c);
      }
    }
    bestRank = rank;
    best = std::move(text);
  }
  return best;
}

}  // namespace

std::string AnsiToUtf8(std::string_view text) {
  std::string out;
  for (const char c : text) AppendUtf8(out, AnsiCharacter(static_cast<unsigned char>(c)));
  return out;
}

std::string Utf8ToAnsi(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size();) {
    const unsigned char lead = static_cast<unsigned char>(text[i]);
    const int length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    char32_t c = length == 1 ? lead : lead & (0x7F >> length);
    bool valid = lead < 0x80 || length > 1;
    for (int k = 1; k < length; ++k) {
      if (i + k >= text.size() || (static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) {
        valid = false;
        break;
      }
      c = (c << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
    }
    i += valid ? length : 1;
    out += valid ? AnsiByteOf(c) : '?';
  }
  return out;
}

char32_t AnsiCharacter(unsigned char byte) {
  return byte >= 0x80 && byte < 0xA0 ? kAnsiHigh[byte - 0x80] : static_cast<char32_t>(byte);
}

FontFaceInfo ReadFontFaceInfo(std::span<const std::uint8_t> fontData, int faceIndex) {
  const TFontTables tables = ReadFontTables(fontData, faceIndex);
  FontFaceInfo info;
  if (tables.Has(FontTag("name"))) info.family = FamilyName(tables.Get(FontTag("name"), "name"));
  if (info.family.empty()) throw std::runtime_error("The font names no family");
  if (tables.Has(FontTag("OS/2")) && tables.Get(FontTag("OS/2"), "OS/2").Size() >= 64) {
    const TFontTableView os2 = tables.Get(FontTag("OS/2"), "OS/2");
    info.weight = static_cast<int>(std::clamp<std::uint32_t>(os2.U16(4), 100, 900));
    const std::uint32_t selection = os2.U16(62);
    info.italic = (selection & 1) != 0;
    if ((selection & 0x20) != 0) info.weight = std::max(info.weight, 700);
  } else if (tables.Has(FontTag("head")) && tables.Get(FontTag("head"), "head").Size() >= 54) {
    const std::uint32_t style = tables.Get(FontTag("head"), "head").U16(44);
    info.weight = (style & 1) != 0 ? 700 : 400;
    info.italic = (style & 2) != 0;
  }
  return info;
}

}  // namespace ui

// ---- Characters by code point -----------------------------------------------------------------------

namespace ui {

struct FontFileCharactersMap {
  TFontTables tables;
  TFontCharacterMap map;
};

FontFileCharacters::FontFileCharacters(FontFileData file) : file_(std::move(file)) {
  TFontTables tables = ReadFontTables(file_.bytes, file_.faceIndex);
  TFontCharacterMap map = ReadCharacterMap(tables);
  map_ = std::make_unique<FontFileCharactersMap>(FontFileCharactersMap{std::move(tables), std::move(map)});
}

FontFileCharacters::~FontFileCharacters() = default;

std::uint16_t FontFileCharacters::GlyphOf(char32_t character) const {
  return character > 0x10FFFF ? 0 : map_->map.Find(static_cast<std::uint32_t>(character));
}

}  // namespace ui
