#include "platform/text/FontTables.h"

#include <climits>

std::string FontTableHex(std::size_t value) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text;
  do {
    text.insert(text.begin(), kDigits[value % 16]);
    value /= 16;
  } while (value != 0);
  return "0x" + text;
}

TFontTables ReadFontTables(std::span<const std::uint8_t> data, int faceIndex) {
  const TFontTableView file(data, "font file header");
  if (data.size() < 12)
    throw EFontTableError("not a font: the data is only " + std::to_string(data.size()) + " bytes");
  std::size_t directory = 0;
  if (file.U32(0) == FontTag("ttcf")) {
    const TFontTableView collection(data, "ttcf");
    const std::uint32_t faces = collection.U32(8);
    if (faceIndex < 0 || static_cast<std::uint32_t>(faceIndex) >= faces)
      throw EFontTableError("the font collection has " + std::to_string(faces) + " faces, no face " +
                            std::to_string(faceIndex));
    directory = collection.U32(12 + 4 * static_cast<std::size_t>(faceIndex));
  } else if (faceIndex != 0) {
    throw EFontTableError("face " + std::to_string(faceIndex) +
                          " asked of a single font (only face 0 exists)");
  }
  const TFontTableView header = file.At(directory);
  const std::uint32_t version = header.U32(0);
  if (version != 0x00010000 && version != FontTag("true") && version != FontTag("OTTO"))
    throw EFontTableError("not a TrueType or OpenType font (version " + FontTableHex(version) + ")");
  const std::size_t count = header.U16(4);
  header.NeedArray(12, count, 16);
  TFontTables tables;
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t record = 12 + 16 * i;
    const std::uint32_t tag = header.U32(record);
    const std::uint32_t offset = header.U32(record + 8);
    const std::uint32_t length = header.U32(record + 12);
    const char name[5] = {static_cast<char>(tag >> 24), static_cast<char>(tag >> 16),
                          static_cast<char>(tag >> 8), static_cast<char>(tag), '\0'};
    if (offset > data.size() || length > data.size() - offset)
      throw EFontTableError("'" + std::string(name) + "' table: it lies outside the font data (offset " +
                            FontTableHex(offset) + ", " + std::to_string(length) + " bytes of " +
                            std::to_string(data.size()) + ")");
    tables.ByTag.emplace(tag, data.subspan(offset, length));  // a repeated tag keeps its first table
  }
  return tables;
}

namespace {

TFontCharacterMap ChooseCharacterMap(const TFontTableView& cmap) {
  const std::size_t count = cmap.U16(2);
  cmap.NeedArray(4, count, 8);
  int bestRank = INT_MAX;
  std::size_t bestOffset = 0;
  bool bestSymbol = false;
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint16_t platform = cmap.U16(4 + 8 * i);
    const std::uint16_t encoding = cmap.U16(6 + 8 * i);
    const std::uint32_t offset = cmap.U32(8 + 8 * i);
    const std::uint16_t format = cmap.U16(offset);
    const bool unicodeFull = (platform == 3 && encoding == 10) || platform == 0;
    const bool unicodeBasic = (platform == 3 && encoding == 1) || platform == 0;
    const bool symbol = platform == 3 && encoding == 0;
    int rank = INT_MAX;
    if (format == 12 && unicodeFull)
      rank = platform == 3 ? 0 : 1;
    else if (format == 4 && unicodeBasic)
      rank = platform == 3 ? 2 : 3;
    else if ((format == 6 || format == 0) && unicodeBasic)
      rank = platform == 3 ? 4 : 5;
    else if (symbol && (format == 4 || format == 12 || format == 6 || format == 0))
      rank = 6;
    if (rank < bestRank) {
      bestRank = rank;
      bestOffset = offset;
      bestSymbol = symbol;
    }
  }
  if (bestRank == INT_MAX) cmap.Throw("no Unicode or symbol subtable of a supported format (0, 4, 6, 12)");
  return TFontCharacterMap(cmap.At(bestOffset), bestSymbol);
}

}  // namespace

TFontCharacterMap ReadCharacterMap(const TFontTables& tables) {
  return ChooseCharacterMap(tables.Get(FontTag("cmap"), "cmap"));
}
