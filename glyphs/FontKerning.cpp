// Reads the kerning of a font from its 'cmap', 'head', 'GPOS' and 'kern' tables. Every read goes
// through a bounds-checked view of one table, so damaged data ends in EFontTableError naming the table;
// every loop is bounded by a count read from the data and reads advance through it, so no input loops
// for long.

#include "glyphs/FontKerning.h"

#include "platform/text/FontTables.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cstddef>
#include <map>
#include <set>
#include <utility>

namespace {

using Glyph = std::uint16_t;
using GlyphPair = std::pair<Glyph, Glyph>;
using PairValues = std::map<GlyphPair, std::int64_t>;

// ---- GPOS ---------------------------------------------------------------------------------------------

// The glyphs asked about, in order; coverage and class tables are read once for all of them.
using GlyphSet = std::set<Glyph>;

// The coverage index of every glyph of the set that the coverage table holds.
std::map<Glyph, std::size_t> ReadCoverage(const TFontTableView& coverage, const GlyphSet& glyphs) {
  std::map<Glyph, std::size_t> covered;
  const std::uint16_t format = coverage.U16(0);
  if (format == 1) {
    const std::size_t count = coverage.U16(2);
    coverage.NeedArray(4, count, 2);
    for (std::size_t i = 0; i < count; ++i) {
      const Glyph glyph = coverage.U16(4 + 2 * i);
      if (glyphs.count(glyph) != 0) covered.emplace(glyph, i);
    }
  } else if (format == 2) {
    const std::size_t count = coverage.U16(2);
    coverage.NeedArray(4, count, 6);
    for (std::size_t i = 0; i < count; ++i) {
      const Glyph start = coverage.U16(4 + 6 * i);
      const Glyph end = coverage.U16(6 + 6 * i);
      const std::size_t startIndex = coverage.U16(8 + 6 * i);
      for (auto it = glyphs.lower_bound(start); it != glyphs.end() && *it <= end; ++it)
        covered.emplace(*it, startIndex + (*it - start));
    }
  }
  return covered;  // other formats cover nothing here
}

// The class of every glyph of the set (0 for those the class table does not list).
std::map<Glyph, std::size_t> ReadClasses(const TFontTableView& classDef, const GlyphSet& glyphs) {
  std::map<Glyph, std::size_t> classes;
  for (Glyph glyph : glyphs) classes[glyph] = 0;
  const std::uint16_t format = classDef.U16(0);
  if (format == 1) {
    const std::size_t start = classDef.U16(2);
    const std::size_t count = classDef.U16(4);
    classDef.NeedArray(6, count, 2);
    for (auto it = glyphs.lower_bound(static_cast<Glyph>(start)); it != glyphs.end() && *it < start + count;
         ++it)
      classes[*it] = classDef.U16(6 + 2 * (*it - start));
  } else if (format == 2) {
    const std::size_t count = classDef.U16(2);
    classDef.NeedArray(4, count, 6);
    std::set<Glyph> assigned;
    for (std::size_t i = 0; i < count; ++i) {
      const Glyph start = classDef.U16(4 + 6 * i);
      const Glyph end = classDef.U16(6 + 6 * i);
      const std::size_t value = classDef.U16(8 + 6 * i);
      for (auto it = glyphs.lower_bound(start); it != glyphs.end() && *it <= end; ++it)
        if (assigned.insert(*it).second) classes[*it] = value;
    }
  }
  return classes;
}

std::size_t ValueRecordSize(std::uint16_t format) {
  return 2 * static_cast<std::size_t>(std::popcount(static_cast<unsigned>(format & 0xFF)));
}

// The horizontal advance adjustment of a value record (0 when the format has none).
int XAdvance(const TFontTableView& record, std::uint16_t format) {
  if ((format & 0x0004) == 0) return 0;
  return record.S16(2 * static_cast<std::size_t>(std::popcount(static_cast<unsigned>(format & 0x0003))));
}

// One pair adjustment subtable: adds to found the pairs among the glyphs it applies to and that no
// earlier subtable of the same lookup applied to (a shaper stops at the first subtable that applies).
void ApplyPairSubtable(const TFontTableView& subtable, const GlyphSet& glyphs, PairValues& found,
                       std::set<GlyphPair>& taken) {
  const std::uint16_t format = subtable.U16(0);
  if (format != 1 && format != 2) return;
  const auto covered = ReadCoverage(subtable.At(subtable.U16(2)), glyphs);
  const std::uint16_t format1 = subtable.U16(4);
  const std::uint16_t format2 = subtable.U16(6);
  const std::size_t size1 = ValueRecordSize(format1);
  const std::size_t size2 = ValueRecordSize(format2);
  auto take = [&](Glyph first, Glyph second, int value) {
    if (taken.insert({first, second}).second && value != 0) found[{first, second}] += value;
  };
  if (format == 1) {
    const std::size_t sets = subtable.U16(8);
    subtable.NeedArray(10, sets, 2);
    for (const auto& [first, index] : covered) {
      if (index >= sets) continue;  // beyond the pair sets: the pair is not there
      const TFontTableView pairSet = subtable.At(subtable.U16(10 + 2 * index));
      const std::size_t count = pairSet.U16(0);
      const std::size_t stride = 2 + size1 + size2;
      pairSet.NeedArray(2, count, stride);
      std::set<Glyph> seen;
      for (std::size_t i = 0; i < count; ++i) {
        const std::size_t record = 2 + stride * i;
        const Glyph second = pairSet.U16(record);
        if (glyphs.count(second) == 0 || !seen.insert(second).second) continue;
        take(first, second, XAdvance(pairSet.At(record + 2), format1));
      }
    }
  } else {
    const auto classes1 = ReadClasses(subtable.At(subtable.U16(8)), glyphs);
    const auto classes2 = ReadClasses(subtable.At(subtable.U16(10)), glyphs);
    const std::size_t class1Count = subtable.U16(12);
    const std::size_t class2Count = subtable.U16(14);
    const std::size_t stride = size1 + size2;
    for (const auto& [first, index] : covered) {
      const std::size_t class1 = classes1.at(first);
      if (class1 >= class1Count) continue;
      for (Glyph second : glyphs) {
        const std::size_t class2 = classes2.at(second);
        if (class2 >= class2Count) continue;
        const std::size_t record = 16 + (class1 * class2Count + class2) * stride;
        take(first, second, XAdvance(subtable.At(record), format1));
      }
    }
  }
}

// The lookup indices of the 'kern' features among the given feature indices of a language system.
void AddKernLookups(const TFontTableView& features, const TFontTableView& langSys,
                    std::set<std::size_t>& lookups, bool& found) {
  const std::size_t featureCount = features.U16(0);
  std::vector<std::size_t> indices;
  const std::uint16_t required = langSys.U16(2);
  if (required != 0xFFFF) indices.push_back(required);
  const std::size_t count = langSys.U16(4);
  langSys.NeedArray(6, count, 2);
  for (std::size_t i = 0; i < count; ++i) indices.push_back(langSys.U16(6 + 2 * i));
  features.NeedArray(2, featureCount, 6);
  for (std::size_t index : indices) {
    if (index >= featureCount || features.U32(2 + 6 * index) != FontTag("kern")) continue;
    found = true;
    const TFontTableView feature = features.At(features.U16(6 + 6 * index));
    const std::size_t lookupCount = feature.U16(2);
    feature.NeedArray(4, lookupCount, 2);
    for (std::size_t i = 0; i < lookupCount; ++i) lookups.insert(feature.U16(4 + 2 * i));
  }
}

// The lookups of the 'kern' feature as a layout engine applies them to Latin text: those of the default
// language system of script 'latn', else of 'DFLT' (a font may keep only other scripts' pairs under
// 'DFLT'), else of every 'kern' feature. Empty (and hasKern false) when the table has no 'kern' feature.
std::set<std::size_t> KernLookups(const TFontTableView& gpos, bool& hasKern) {
  hasKern = false;
  std::set<std::size_t> lookups;
  const std::uint16_t scriptsOffset = gpos.U16(4);
  const std::uint16_t featuresOffset = gpos.U16(6);
  if (featuresOffset == 0) return lookups;
  const TFontTableView features = gpos.At(featuresOffset);
  const std::size_t featureCount = features.U16(0);
  features.NeedArray(2, featureCount, 6);
  for (std::size_t i = 0; i < featureCount; ++i)
    if (features.U32(2 + 6 * i) == FontTag("kern")) hasKern = true;
  if (!hasKern) return lookups;

  if (scriptsOffset != 0) {
    const TFontTableView scripts = gpos.At(scriptsOffset);
    const std::size_t scriptCount = scripts.U16(0);
    scripts.NeedArray(2, scriptCount, 6);
    for (const char* tag : {"latn", "DFLT"}) {
      const std::uint32_t wanted = FontTag(tag);
      for (std::size_t i = 0; i < scriptCount; ++i) {
        if (scripts.U32(2 + 6 * i) != wanted) continue;
        const TFontTableView script = scripts.At(scripts.U16(6 + 6 * i));
        const std::uint16_t defaultLangSys = script.U16(0);
        if (defaultLangSys == 0) break;
        bool found = false;
        AddKernLookups(features, script.At(defaultLangSys), lookups, found);
        if (found) return lookups;
        break;
      }
    }
  }
  for (std::size_t i = 0; i < featureCount; ++i) {
    if (features.U32(2 + 6 * i) != FontTag("kern")) continue;
    const TFontTableView feature = features.At(features.U16(6 + 6 * i));
    const std::size_t lookupCount = feature.U16(2);
    feature.NeedArray(4, lookupCount, 2);
    for (std::size_t j = 0; j < lookupCount; ++j) lookups.insert(feature.U16(4 + 2 * j));
  }
  return lookups;
}

// The sum, over the 'kern' lookups in the order of the lookup list, of each lookup's adjustment of a
// pair. Nothing when the table has no 'kern' feature (hasKern false).
PairValues ReadGposKerning(const TFontTableView& gpos, const GlyphSet& glyphs, bool& hasKern) {
  PairValues total;
  hasKern = false;
  if (gpos.U16(0) != 1) return total;  // a major version this reader does not know
  const std::set<std::size_t> lookupIndices = KernLookups(gpos, hasKern);
  if (!hasKern || gpos.U16(8) == 0) return total;
  const TFontTableView lookupList = gpos.At(gpos.U16(8));
  const std::size_t lookupCount = lookupList.U16(0);
  lookupList.NeedArray(2, lookupCount, 2);
  // A lookup or subtable reached again through another offset to the same place gives the same pairs:
  // each is read once, so that offsets repeated many times cannot make the reading slow.
  std::map<std::size_t, PairValues> lookupsRead;
  for (std::size_t index : lookupIndices) {
    if (index >= lookupCount) continue;  // a feature naming a lookup that does not exist
    const TFontTableView lookup = lookupList.At(lookupList.U16(2 + 2 * index));
    const auto [entry, isNew] = lookupsRead.try_emplace(lookup.Offset());
    PairValues& found = entry->second;
    if (isNew) {
      const std::uint16_t type = lookup.U16(0);
      if (type != 2 && type != 9) continue;
      const std::size_t subtableCount = lookup.U16(4);
      lookup.NeedArray(6, subtableCount, 2);
      std::set<GlyphPair> taken;
      std::set<std::size_t> subtablesRead;
      for (std::size_t i = 0; i < subtableCount; ++i) {
        TFontTableView subtable = lookup.At(lookup.U16(6 + 2 * i));
        if (type == 9) {
          // An extension: a 32-bit offset to the real subtable, whose type must be pair adjustment.
          if (subtable.U16(0) != 1 || subtable.U16(2) != 2) continue;
          subtable = subtable.At(subtable.U32(4));
        }
        // A subtable met again in the same lookup applies to nothing new.
        if (subtablesRead.insert(subtable.Offset()).second) ApplyPairSubtable(subtable, glyphs, found, taken);
      }
    }
    for (const auto& [pair, value] : found) total[pair] += value;
  }
  return total;
}

// ---- kern ---------------------------------------------------------------------------------------------

// Adds one format 0 subtable's pairs among the glyphs to total (or puts them in place with override).
void ApplyKernFormat0(const TFontTableView& data, const GlyphSet& glyphs, bool replace, PairValues& total) {
  const std::size_t count = data.U16(0);
  data.NeedArray(8, count, 6);
  std::set<GlyphPair> seen;
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t record = 8 + 6 * i;
    const GlyphPair pair{data.U16(record), data.U16(record + 2)};
    if (glyphs.count(pair.first) == 0 || glyphs.count(pair.second) == 0) continue;
    if (!seen.insert(pair).second) continue;  // a repeated pair: the first one counts
    const int value = data.S16(record + 4);
    if (replace)
      total[pair] = value;
    else
      total[pair] += value;
  }
}

PairValues ReadKernTable(const TFontTableView& kern, const GlyphSet& glyphs) {
  PairValues total;
  const std::uint16_t version = kern.U16(0);
  if (version == 0) {
    // The Windows form: 16-bit header and subtable headers.
    const std::size_t count = kern.U16(2);
    std::size_t offset = 4;
    for (std::size_t i = 0; i < count; ++i) {
      const TFontTableView subtable = kern.At(offset);
      const std::size_t length = subtable.U16(2);
      const std::uint16_t coverage = subtable.U16(4);
      const std::uint16_t format = coverage >> 8;
      std::size_t size = length;
      if (format == 0) {
        // A large subtable's 16-bit length overflows; its pair count gives the real size.
        size = std::max(length, 14 + 6 * static_cast<std::size_t>(subtable.U16(6)));
        const bool horizontal = (coverage & 0x0001) != 0;
        const bool minimum = (coverage & 0x0002) != 0;
        const bool crossStream = (coverage & 0x0004) != 0;
        if (horizontal && !minimum && !crossStream)
          ApplyKernFormat0(subtable.At(6), glyphs, (coverage & 0x0008) != 0, total);
      } else if (length < 6) {
        kern.Throw("subtable " + std::to_string(i) + " is shorter than its header");
      }
      offset += size;
    }
  } else if (version == 1 && kern.U16(2) == 0) {
    // The 1.0 form: 32-bit header and subtable lengths.
    const std::size_t count = kern.U32(4);
    std::size_t offset = 8;
    for (std::size_t i = 0; i < count; ++i) {
      const TFontTableView subtable = kern.At(offset);
      const std::size_t length = subtable.U32(0);
      if (length < 8) kern.Throw("subtable " + std::to_string(i) + " is shorter than its header");
      subtable.Part(0, length);
      const std::uint16_t coverage = subtable.U16(4);
      const bool vertical = (coverage & 0x8000) != 0;
      const bool crossStream = (coverage & 0x4000) != 0;
      const bool variation = (coverage & 0x2000) != 0;
      if ((coverage & 0xFF) == 0 && !vertical && !crossStream && !variation)
        ApplyKernFormat0(subtable.At(8), glyphs, false, total);
      offset += length;
    }
  } else {
    kern.Throw("unknown version " + std::to_string(version));
  }
  return total;
}

}  // namespace

TFontKerning ReadFontKerning(std::span<const std::uint8_t> fontData,
                             std::span<const std::uint32_t> characters, int faceIndex) {
  const TFontTables tables = ReadFontTables(fontData, faceIndex);
  TFontKerning result;
  const TFontTableView head = tables.Get(FontTag("head"), "head");
  result.UnitsPerEm = head.U16(18);
  if (result.UnitsPerEm == 0) head.Throw("units per em is 0");

  // The glyph of every character asked about (each character once).
  const TFontCharacterMap characterMap = ReadCharacterMap(tables);
  std::map<Glyph, std::vector<std::uint32_t>> charactersOf;
  const std::set<std::uint32_t> unique(characters.begin(), characters.end());
  for (std::uint32_t code : unique) {
    const Glyph glyph = characterMap.Find(code);
    if (glyph != 0) charactersOf[glyph].push_back(code);
  }
  GlyphSet glyphs;
  for (const auto& entry : charactersOf) glyphs.insert(entry.first);
  if (glyphs.empty()) return result;

  PairValues values;
  bool hasGposKern = false;
  if (tables.Has(FontTag("GPOS")))
    values = ReadGposKerning(tables.Get(FontTag("GPOS"), "GPOS"), glyphs, hasGposKern);
  if (!hasGposKern && tables.Has(FontTag("kern")))
    values = ReadKernTable(tables.Get(FontTag("kern"), "kern"), glyphs);

  for (const auto& [pair, value] : values) {
    if (value == 0) continue;
    const int adjustment = static_cast<int>(std::clamp<std::int64_t>(value, INT_MIN, INT_MAX));
    for (std::uint32_t left : charactersOf[pair.first])
      for (std::uint32_t right : charactersOf[pair.second]) result.Pairs.push_back({left, right, adjustment});
  }
  std::sort(result.Pairs.begin(), result.Pairs.end(), [](const TKerningPair& a, const TKerningPair& b) {
    return a.Left != b.Left ? a.Left < b.Left : a.Right < b.Right;
  });
  return result;
}
