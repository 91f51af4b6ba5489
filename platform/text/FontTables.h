#pragma once
// The tables of a TrueType or OpenType font file (or of one face of a collection), read from its bytes:
// the table directory and bounds-checked, big-endian views of the tables. The one reader of font
// tables, shared by the text renderers' face information and the kerning reader. Damaged data never
// reads outside the bytes: it ends in EFontTableError, which names the table.

#include <cstddef>
#include <cstdint>
#include <map>
#include <span>
#include <stdexcept>
#include <string>
#include <utility>

// The font data is not a font, or one of the tables read is damaged (cut short, offsets outside it).
class EFontTableError : public std::runtime_error {
 public:
  explicit EFontTableError(const std::string& message) : std::runtime_error(message) {}
};

// "0x" and the hexadecimal digits of a value, for the messages.
std::string FontTableHex(std::size_t value);

// A bounds-checked, big-endian view of a part of one table; offsets are relative to the view's start.
class TFontTableView {
 public:
  TFontTableView(std::span<const std::uint8_t> bytes, std::string table, std::size_t base = 0)
      : bytes_(bytes), table_(std::move(table)), base_(base) {}

  std::size_t Size() const { return bytes_.size(); }
  // Where the view starts in its table: the same place is the same subtable.
  std::size_t Offset() const { return base_; }
  const std::string& Table() const { return table_; }

  // The part from offset to the end of the table.
  TFontTableView At(std::size_t offset) const {
    if (offset > bytes_.size()) Fail(offset, 0);
    return TFontTableView(bytes_.subspan(offset), table_, base_ + offset);
  }
  // The part [offset, offset + length).
  TFontTableView Part(std::size_t offset, std::size_t length) const {
    Need(offset, length);
    return TFontTableView(bytes_.subspan(offset, length), table_, base_ + offset);
  }

  std::uint8_t U8(std::size_t offset) const {
    Need(offset, 1);
    return bytes_[offset];
  }
  std::uint16_t U16(std::size_t offset) const {
    Need(offset, 2);
    return static_cast<std::uint16_t>(bytes_[offset] << 8 | bytes_[offset + 1]);
  }
  std::int16_t S16(std::size_t offset) const { return static_cast<std::int16_t>(U16(offset)); }
  std::uint32_t U32(std::size_t offset) const {
    Need(offset, 4);
    return static_cast<std::uint32_t>(bytes_[offset]) << 24 |
           static_cast<std::uint32_t>(bytes_[offset + 1]) << 16 |
           static_cast<std::uint32_t>(bytes_[offset + 2]) << 8 | bytes_[offset + 3];
  }
  // Checks that count records of size bytes each start at offset within the view.
  void NeedArray(std::size_t offset, std::size_t count, std::size_t size) const {
    if (size != 0 && count > (SIZE_MAX - offset) / size) Fail(offset, SIZE_MAX);
    Need(offset, count * size);
  }

  [[noreturn]] void Throw(const std::string& what) const {
    throw EFontTableError("'" + table_ + "' table: " + what);
  }

 private:
  void Need(std::size_t offset, std::size_t length) const {
    if (offset > bytes_.size() || length > bytes_.size() - offset) Fail(offset, length);
  }
  [[noreturn]] void Fail(std::size_t offset, std::size_t length) const {
    Throw("data at " + FontTableHex(base_ + offset) + " (" + std::to_string(length) +
          " bytes) lies outside the table (" + std::to_string(base_ + bytes_.size()) + " bytes)");
  }

  std::span<const std::uint8_t> bytes_;
  std::string table_;
  std::size_t base_;  // where the view starts in its table, for the messages
};

constexpr std::uint32_t FontTag(const char* text) {
  return static_cast<std::uint32_t>(static_cast<std::uint8_t>(text[0])) << 24 |
         static_cast<std::uint32_t>(static_cast<std::uint8_t>(text[1])) << 16 |
         static_cast<std::uint32_t>(static_cast<std::uint8_t>(text[2])) << 8 |
         static_cast<std::uint8_t>(text[3]);
}

struct TFontTables {
  std::map<std::uint32_t, std::span<const std::uint8_t>> ByTag;

  bool Has(std::uint32_t tag) const { return ByTag.count(tag) != 0; }
  TFontTableView Get(std::uint32_t tag, const std::string& name) const {
    const auto found = ByTag.find(tag);
    if (found == ByTag.end()) throw EFontTableError("the font has no '" + name + "' table");
    return TFontTableView(found->second, name);
  }
};

// One character-to-glyph subtable of the cmap table: the glyph of a Unicode code point, 0 when the font
// has none (a symbol font's characters also at U+F000 + code).
class TFontCharacterMap {
 public:
  TFontCharacterMap(TFontTableView subtable, bool symbol)
      : table_(subtable), symbol_(symbol), format_(subtable.U16(0)) {}

  std::uint16_t Find(std::uint32_t code) const {
    const std::uint16_t glyph = Lookup(code);
    // Symbol fonts place their characters at U+F000 + code.
    if (glyph == 0 && symbol_ && code < 0x100) return Lookup(0xF000 + code);
    return glyph;
  }

 private:
  std::uint16_t Lookup(std::uint32_t code) const {
    switch (format_) {
      case 0:
        return code < 256 ? table_.U8(6 + code) : 0;
      case 4:
        return LookupFormat4(code);
      case 6: {
        const std::uint32_t first = table_.U16(6);
        const std::uint32_t count = table_.U16(8);
        return code >= first && code - first < count ? table_.U16(10 + 2 * (code - first)) : 0;
      }
      case 12: {
        const std::uint32_t groups = table_.U32(12);
        table_.NeedArray(16, groups, 12);
        for (std::size_t i = 0; i < groups; ++i) {
          const std::size_t group = 16 + 12 * static_cast<std::size_t>(i);
          const std::uint32_t start = table_.U32(group);
          const std::uint32_t end = table_.U32(group + 4);
          if (code >= start && code <= end) {
            const std::uint64_t glyph = std::uint64_t{table_.U32(group + 8)} + (code - start);
            return glyph <= 0xFFFF ? static_cast<std::uint16_t>(glyph) : 0;
          }
        }
        return 0;
      }
      default:
        return 0;
    }
  }

  std::uint16_t LookupFormat4(std::uint32_t code) const {
    if (code > 0xFFFF) return 0;
    const std::size_t segments = table_.U16(6) / 2;
    const std::size_t ends = 14;
    const std::size_t starts = ends + 2 * segments + 2;
    const std::size_t deltas = starts + 2 * segments;
    const std::size_t rangeOffsets = deltas + 2 * segments;
    table_.NeedArray(ends, segments * 4 + 1, 2);
    for (std::size_t i = 0; i < segments; ++i) {
      if (code > table_.U16(ends + 2 * i)) continue;
      const std::uint32_t start = table_.U16(starts + 2 * i);
      if (code < start) return 0;
      const std::uint16_t delta = table_.U16(deltas + 2 * i);
      const std::uint16_t rangeOffset = table_.U16(rangeOffsets + 2 * i);
      if (rangeOffset == 0) return static_cast<std::uint16_t>(code + delta);
      const std::uint16_t glyph = table_.U16(rangeOffsets + 2 * i + rangeOffset + 2 * (code - start));
      return glyph == 0 ? 0 : static_cast<std::uint16_t>(glyph + delta);
    }
    return 0;
  }

  TFontTableView table_;
  bool symbol_;
  std::uint16_t format_;
};

// The face's best Unicode subtable: full-range ones first, then the basic plane, then the symbol map.
// Throws EFontTableError when the face has none of a supported format (0, 4, 6, 12).
TFontCharacterMap ReadCharacterMap(const TFontTables& tables);

// The table directory of a face (faceIndex must be 0 for a single font). Throws EFontTableError when the
// data is no font, the face does not exist, or a table lies outside the data.
TFontTables ReadFontTables(std::span<const std::uint8_t> data, int faceIndex = 0);
