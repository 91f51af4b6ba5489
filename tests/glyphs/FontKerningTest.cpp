// The font-table kerning reader: small fonts built here whose kerning is known by construction (and,
// natively, read back with fontTools as well), damaged fonts, and the installed fonts compared with
// fontTools' reading of the same tables.

#include "glyphs/FontKerning.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/TestSupport.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using testing_support::ReadFileBytes;
using testing_support::TempDir;

// ---- Building fonts ---------------------------------------------------------------------------------

std::string U16(unsigned value) {
  return {static_cast<char>(value >> 8 & 0xFF), static_cast<char>(value & 0xFF)};
}
std::string U32(std::uint32_t value) { return U16(value >> 16) + U16(value & 0xFFFF); }
std::string S16(int value) { return U16(static_cast<unsigned>(value) & 0xFFFF); }

// A table head followed by its subtables, with the 16-bit offset at each given place of the head
// (counted from the start of the head) set to where the subtable lands.
std::string WithChildren(std::string head, const std::vector<std::pair<std::size_t, std::string>>& children) {
  for (const auto& [place, child] : children) {
    const std::string offset = U16(static_cast<unsigned>(head.size()));
    head.replace(place, 2, offset);
    head += child;
  }
  return head;
}

using TTableMap = std::map<std::string, std::string>;  // tag -> table, in tag order

// One font, or with several the faces of a collection.
Bytes BuildFont(const std::vector<TTableMap>& faces) {
  const bool collection = faces.size() > 1;
  std::size_t headerSize = collection ? 12 + 4 * faces.size() : 0;
  std::vector<std::size_t> directoryAt;
  for (const TTableMap& tables : faces) {
    directoryAt.push_back(headerSize);
    headerSize += 12 + 16 * tables.size();
  }
  std::string out;
  if (collection) {
    out += "ttcf" + U32(0x00010000) + U32(static_cast<std::uint32_t>(faces.size()));
    for (std::size_t at : directoryAt) out += U32(static_cast<std::uint32_t>(at));
  }
  std::string body;
  for (const TTableMap& tables : faces) {
    out += U32(0x00010000) + U16(static_cast<unsigned>(tables.size())) + U16(0) + U16(0) + U16(0);
    for (const auto& [tag, table] : tables) {
      out += tag + U32(0) + U32(static_cast<std::uint32_t>(headerSize + body.size())) +
             U32(static_cast<std::uint32_t>(table.size()));
      body += table;
      while (body.size() % 4 != 0) body += '\0';
    }
  }
  out += body;
  return Bytes(out.begin(), out.end());
}

std::string Head(unsigned unitsPerEm) {
  std::string head(54, '\0');
  head.replace(0, 4, U32(0x00010000));
  head.replace(12, 4, U32(0x5F0F3CF5));
  head.replace(18, 2, U16(unitsPerEm));
  return head;
}

// A cmap with one subtable (platform, encoding) of format 4: one segment a character, then the end.
std::string CmapFormat4(unsigned platform, unsigned encoding, const std::map<unsigned, unsigned>& glyphOf) {
  const unsigned segments = static_cast<unsigned>(glyphOf.size()) + 1;
  std::string ends, starts, deltas, ranges;
  for (const auto& [code, glyph] : glyphOf) {
    ends += U16(code);
    starts += U16(code);
    deltas += U16((glyph - code) & 0xFFFF);
    ranges += U16(0);
  }
  ends += U16(0xFFFF);
  starts += U16(0xFFFF);
  deltas += U16(1);
  ranges += U16(0);
  std::string body = U16(segments * 2) + U16(0) + U16(0) + U16(0) + ends + U16(0) + starts + deltas + ranges;
  const std::string subtable = U16(4) + U16(static_cast<unsigned>(body.size() + 6)) + U16(0) + body;
  return U16(0) + U16(1) + U16(platform) + U16(encoding) + U32(12) + subtable;
}

// A cmap with a (3,10) format 12 subtable (one group a character) and, to be passed over, a (1,0)
// format 0 one that maps everything to glyph 9.
std::string CmapFormat12(const std::map<unsigned, unsigned>& glyphOf) {
  std::string groups;
  for (const auto& [code, glyph] : glyphOf) groups += U32(code) + U32(code) + U32(glyph);
  const std::string format12 = U16(12) + U16(0) + U32(static_cast<std::uint32_t>(16 + groups.size())) +
                               U32(0) + U32(static_cast<std::uint32_t>(glyphOf.size())) + groups;
  const std::string format0 = U16(0) + U16(262) + U16(0) + std::string(256, '\x09');
  return U16(0) + U16(2) + U16(1) + U16(0) + U32(20) + U16(3) + U16(10) +
         U32(static_cast<std::uint32_t>(20 + format0.size())) + format0 + format12;
}

// A cmap with one Unicode (0,3) subtable of format 6: a glyph for every code from the first to the last.
std::string CmapFormat6(const std::map<unsigned, unsigned>& glyphOf) {
  const unsigned first = glyphOf.begin()->first;
  const unsigned count = glyphOf.rbegin()->first - first + 1;
  std::string glyphs;
  for (unsigned code = first; code < first + count; ++code)
    glyphs += U16(glyphOf.count(code) != 0 ? glyphOf.at(code) : 0);
  const std::string subtable =
      U16(6) + U16(static_cast<unsigned>(10 + glyphs.size())) + U16(0) + U16(first) + U16(count) + glyphs;
  return U16(0) + U16(1) + U16(0) + U16(3) + U32(12) + subtable;
}

struct TKernEntry {
  unsigned left, right;
  int value;
};

std::string KernPairs(const std::vector<TKernEntry>& pairs) {
  std::string out = U16(static_cast<unsigned>(pairs.size())) + U16(0) + U16(0) + U16(0);
  for (const TKernEntry& p : pairs) out += U16(p.left) + U16(p.right) + S16(p.value);
  return out;
}

// The Windows form of the kern table: subtables of (coverage, pairs); a coverage with another format
// than 0 in its high byte gets a body of that many filler bytes instead.
std::string KernWindows(const std::vector<std::pair<unsigned, std::vector<TKernEntry>>>& subtables) {
  std::string out = U16(0) + U16(static_cast<unsigned>(subtables.size()));
  for (const auto& [coverage, pairs] : subtables) {
    const std::string body = coverage >> 8 == 0 ? KernPairs(pairs) : std::string(10, '\x7F');
    out += U16(0) + U16(static_cast<unsigned>(6 + body.size())) + U16(coverage) + body;
  }
  return out;
}

// The 1.0 form (32-bit header and subtable lengths).
std::string KernApple(const std::vector<std::pair<unsigned, std::vector<TKernEntry>>>& subtables) {
  std::string out = U32(0x00010000) + U32(static_cast<std::uint32_t>(subtables.size()));
  for (const auto& [coverage, pairs] : subtables) {
    const std::string body = KernPairs(pairs);
    out += U32(static_cast<std::uint32_t>(8 + body.size())) + U16(coverage) + U16(0) + body;
  }
  return out;
}

// Glyphs of the built fonts: A 1, V 2, T 3, o 4, a 5 (and U+00C0 shares the glyph of A).
const std::map<unsigned, unsigned> kGlyphs = {{'A', 1}, {'V', 2}, {'T', 3}, {'o', 4}, {'a', 5}, {0xC0, 1}};
const std::vector<std::uint32_t> kAsked = {'A', 'V', 'T', 'o', 'a', 'Z', 'A', 0xC0};

std::string Coverage1(const std::vector<unsigned>& glyphs) {
  std::string out = U16(1) + U16(static_cast<unsigned>(glyphs.size()));
  for (unsigned g : glyphs) out += U16(g);
  return out;
}

// PairPos format 1 with value formats XAdvance / none.
std::string PairPos1(const std::vector<std::pair<unsigned, std::vector<std::pair<unsigned, int>>>>& sets) {
  std::vector<unsigned> firsts;
  std::string head = U16(1) + U16(0) + U16(0x0004) + U16(0) + U16(static_cast<unsigned>(sets.size()));
  std::vector<std::pair<std::size_t, std::string>> children;
  for (std::size_t i = 0; i < sets.size(); ++i) {
    firsts.push_back(sets[i].first);
    head += U16(0);
    std::string set = U16(static_cast<unsigned>(sets[i].second.size()));
    for (const auto& [second, value] : sets[i].second) set += U16(second) + S16(value);
    children.push_back({10 + 2 * i, set});
  }
  children.insert(children.begin(), {2, Coverage1(firsts)});
  return WithChildren(head, children);
}

// PairPos format 2: coverage range A..T (format 2), first classes A 1, V 2, T 1 (ClassDef format 1),
// second classes V..T 2, o..a 1 (ClassDef format 2); value formats XPlacement+XAdvance / XAdvance.
std::string PairPos2() {
  const std::string coverage = U16(2) + U16(1) + U16(1) + U16(3) + U16(0);
  const std::string classDef1 = U16(1) + U16(1) + U16(3) + U16(1) + U16(2) + U16(1);
  const std::string classDef2 = U16(2) + U16(2) + U16(2) + U16(3) + U16(2) + U16(4) + U16(5) + U16(1);
  const int advance[3][3] = {{0, 0, 0}, {0, -30, -50}, {0, -40, 0}};
  std::string head = U16(2) + U16(0) + U16(0x0005) + U16(0x0004) + U16(0) + U16(0) + U16(3) + U16(3);
  for (const auto& row : advance)
    for (int value : row) head += S16(7) + S16(value) + S16(99);  // XPlacement, XAdvance; second's XAdvance
  return WithChildren(head, {{2, coverage}, {8, classDef1}, {10, classDef2}});
}

std::string Lookup(unsigned type, const std::vector<std::string>& subtables) {
  std::string head = U16(type) + U16(0) + U16(static_cast<unsigned>(subtables.size()));
  std::vector<std::pair<std::size_t, std::string>> children;
  for (std::size_t i = 0; i < subtables.size(); ++i) {
    head += U16(0);
    children.push_back({6 + 2 * i, subtables[i]});
  }
  return WithChildren(head, children);
}

std::string Extension(const std::string& subtable) { return U16(1) + U16(2) + U32(8) + subtable; }

std::string LangSys(const std::vector<unsigned>& features) {
  std::string out = U16(0) + U16(0xFFFF) + U16(static_cast<unsigned>(features.size()));
  for (unsigned f : features) out += U16(f);
  return out;
}

// GPOS: script latn uses feature 0 'kern' (lookups 0 and 1); DFLT uses feature 1 'kern' (lookup 2) and
// feature 2 'mark' (lookup 3). Lookup 0: a format 1 subtable (A-V -80, A-T an explicit 0), then the
// class-based one; lookup 1: an extension to a format 1 subtable (T-o -20, o-V +10); lookup 2: A-V
// -1000; lookup 3, not a kern lookup: A-V -2000.
std::string Gpos() {
  const std::string scripts = WithChildren(U16(2) + "DFLT" + U16(0) + "latn" + U16(0),
                                           {{6, WithChildren(U16(0) + U16(0), {{0, LangSys({1, 2})}})},
                                            {12, WithChildren(U16(0) + U16(0), {{0, LangSys({0})}})}});
  auto feature = [](std::vector<unsigned> lookups) {
    std::string out = U16(0) + U16(static_cast<unsigned>(lookups.size()));
    for (unsigned l : lookups) out += U16(l);
    return out;
  };
  const std::string features = WithChildren(U16(3) + "kern" + U16(0) + "kern" + U16(0) + "mark" + U16(0),
                                            {{6, feature({0, 1})}, {12, feature({2})}, {18, feature({3})}});
  const std::string lookups =
      WithChildren(U16(4) + U16(0) + U16(0) + U16(0) + U16(0),
                   {{2, Lookup(2, {PairPos1({{1, {{2, -80}, {3, 0}}}}), PairPos2()})},
                    {4, Lookup(9, {Extension(PairPos1({{3, {{4, -20}}}, {4, {{2, 10}}}}))})},
                    {6, Lookup(2, {PairPos1({{1, {{2, -1000}}}})})},
                    {8, Lookup(2, {PairPos1({{1, {{2, -2000}}}})})}});
  return WithChildren(U16(1) + U16(0) + U16(0) + U16(0) + U16(0),
                      {{4, scripts}, {6, features}, {8, lookups}});
}

TTableMap GposFont() {
  return {{"GPOS", Gpos()},
          {"cmap", CmapFormat4(3, 1, kGlyphs)},
          {"maxp", U32(0x00005000) + U16(10)},
          {"head", Head(2048)},
          {"kern", KernWindows({{0x0001, {{1, 2, -999}}}})}};
}

TTableMap KernWindowsFont() {
  return {{"cmap", CmapFormat12(kGlyphs)},
          {"maxp", U32(0x00005000) + U16(10)},
          {"head", Head(1000)},
          {"kern", KernWindows({{0x0001, {{1, 2, -70}, {1, 4, -20}, {2, 1, -60}}},
                                {0x0201, {}},              // format 2: passed over
                                {0x0005, {{1, 2, -500}}},  // cross-stream
                                {0x0003, {{1, 2, -400}}},  // minimum
                                {0x0000, {{1, 2, -300}}},  // vertical
                                {0x0001, {{1, 2, -5}, {3, 4, -30}, {4, 4, 0}}},
                                {0x0009, {{1, 4, -25}}}})}};  // override
}

TTableMap KernAppleFont() {
  return {{"cmap", CmapFormat6(kGlyphs)},
          {"maxp", U32(0x00005000) + U16(10)},
          {"head", Head(1000)},
          {"kern", KernApple({{0x0000, {{1, 2, -70}, {2, 1, -60}}},
                              {0x8000, {{1, 2, -300}}},  // vertical
                              {0x4000, {{1, 2, -500}}},  // cross-stream
                              {0x0000, {{1, 2, -5}, {3, 4, -30}}}})}};
}

// A symbol font: the characters sit at U+F000 + code.
TTableMap SymbolFont() {
  return {{"cmap", CmapFormat4(3, 0, {{0xF041, 1}, {0xF056, 2}, {0xF054, 3}})},
          {"maxp", U32(0x00005000) + U16(10)},
          {"head", Head(256)},
          {"kern", KernWindows({{0x0001, {{1, 2, -40}, {3, 1, -12}}}})}};
}

std::vector<TKerningPair> Pairs(std::initializer_list<TKerningPair> pairs) { return pairs; }

const std::vector<TKerningPair> kGposPairs = {
    {'A', 'V', -80},  {'A', 'a', -30},  {'A', 'o', -30}, {'T', 'T', -50}, {'T', 'V', -50},
    {'T', 'a', -30},  {'T', 'o', -50},  {'V', 'a', -40}, {'V', 'o', -40}, {'o', 'V', 10},
    {0xC0, 'V', -80}, {0xC0, 'a', -30}, {0xC0, 'o', -30}};
const std::vector<TKerningPair> kKernWindowsPairs = {{'A', 'V', -75}, {'A', 'o', -25},  {'T', 'o', -30},
                                                     {'V', 'A', -60}, {'V', 0xC0, -60}, {0xC0, 'V', -75},
                                                     {0xC0, 'o', -25}};
const std::vector<TKerningPair> kKernApplePairs = {
    {'A', 'V', -75}, {'T', 'o', -30}, {'V', 'A', -60}, {'V', 0xC0, -60}, {0xC0, 'V', -75}};
const std::vector<TKerningPair> kSymbolPairs = {{'A', 'V', -40}, {'T', 'A', -12}};

std::string Describe(const std::vector<TKerningPair>& pairs) {
  std::ostringstream out;
  for (const TKerningPair& p : pairs) out << p.Left << " " << p.Right << " " << p.Adjustment << "\n";
  return out.str();
}

#ifdef FONTTOOLS_KERNING_SCRIPT
// fontTools' reading of a font file: units per em and the pairs, or nothing when it cannot run.
bool FontToolsKerning(const std::string& path, int face, const std::vector<std::uint32_t>& characters,
                      TFontKerning& out) {
  std::string codes;
  for (std::uint32_t c : characters) codes += std::to_string(c) + ",";
  const std::string command = "/usr/bin/python3 \"" FONTTOOLS_KERNING_SCRIPT "\" \"" + path + "\" " +
                              std::to_string(face) + " " + codes + " 2>/dev/null";
  std::FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return false;
  std::string text;
  char chunk[4096];
  std::size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, pipe)) > 0) text.append(chunk, got);
  if (::pclose(pipe) != 0) return false;
  std::istringstream lines(text);
  std::string word;
  if (!(lines >> word >> out.UnitsPerEm) || word != "upem") return false;
  TKerningPair pair;
  while (lines >> pair.Left >> pair.Right >> pair.Adjustment) out.Pairs.push_back(pair);
  return true;
}

// Expects fontTools to read the same kerning from the font as ours; returns the pairs compared.
std::size_t ExpectSameAsFontTools(const std::string& path, int face,
                                  const std::vector<std::uint32_t>& characters) {
  SCOPED_TRACE(path + " face " + std::to_string(face));
  const Bytes data = ReadFileBytes(path);
  const TFontKerning ours = ReadFontKerning(data, characters, face);
  TFontKerning theirs;
  if (!FontToolsKerning(path, face, characters, theirs)) {
    ADD_FAILURE() << "fontTools (python3-fonttools) could not read " << path;
    return 0;
  }
  EXPECT_EQ(ours.UnitsPerEm, theirs.UnitsPerEm);
  EXPECT_EQ(Describe(ours.Pairs), Describe(theirs.Pairs));
  return theirs.Pairs.size();
}

bool FontToolsAvailable() {
  return std::system("/usr/bin/python3 -c 'import fontTools.ttLib' >/dev/null 2>&1") == 0;
}
#endif

TFontKerning Read(const Bytes& font, int face = 0) { return ReadFontKerning(font, kAsked, face); }

// ---- The tests ------------------------------------------------------------------------------------------

TEST(FontKerning, GposKernFeatureOfTheLatinScriptWithClassesExtensionsAndLookupOrder) {
  const TFontKerning kerning = Read(BuildFont({GposFont()}));
  EXPECT_EQ(kerning.UnitsPerEm, 2048);
  // The kern table's -999 for A-V is not used: the font has a GPOS 'kern' feature.
  EXPECT_EQ(Describe(kerning.Pairs), Describe(kGposPairs));

  // Without the latn script, DFLT's 'kern' feature (lookup 2) is used, and never the 'mark' lookup.
  TTableMap dflt = GposFont();
  dflt["GPOS"].replace(dflt["GPOS"].find("latn"), 4, "cyrl");
  EXPECT_EQ(Describe(Read(BuildFont({dflt})).Pairs),
            Describe(Pairs({{'A', 'V', -1000}, {0xC0, 'V', -1000}})));
  // With neither script, every 'kern' feature's lookups apply, each once, in lookup list order.
  dflt["GPOS"].replace(dflt["GPOS"].find("DFLT"), 4, "grek");
  std::vector<TKerningPair> all = kGposPairs;
  for (TKerningPair& p : all)
    if (p.Right == 'V' && (p.Left == 'A' || p.Left == 0xC0)) p.Adjustment -= 1000;
  EXPECT_EQ(Describe(Read(BuildFont({dflt})).Pairs), Describe(all));

  // A GPOS table without a 'kern' feature leaves the kern table in charge.
  TTableMap noKernFeature = GposFont();
  for (std::size_t at; (at = noKernFeature["GPOS"].find("kern")) != std::string::npos;)
    noKernFeature["GPOS"].replace(at, 4, "liga");
  EXPECT_EQ(Describe(Read(BuildFont({noKernFeature})).Pairs),
            Describe(Pairs({{'A', 'V', -999}, {0xC0, 'V', -999}})));
}

TEST(FontKerning, KernTableSubtablesAddSkipOtherDirectionsAndOverride) {
  const TFontKerning windows = Read(BuildFont({KernWindowsFont()}));
  EXPECT_EQ(windows.UnitsPerEm, 1000);
  EXPECT_EQ(Describe(windows.Pairs), Describe(kKernWindowsPairs));
  EXPECT_EQ(Describe(Read(BuildFont({KernAppleFont()})).Pairs), Describe(kKernApplePairs));
  // Only the characters asked about, and nothing for a font without kerning.
  const std::vector<std::uint32_t> two = {'o', 'T'};
  EXPECT_EQ(Describe(ReadFontKerning(BuildFont({KernWindowsFont()}), two).Pairs),
            Describe(Pairs({{'T', 'o', -30}})));
  TTableMap plain = KernWindowsFont();
  plain.erase("kern");
  EXPECT_TRUE(Read(BuildFont({plain})).Pairs.empty());
  EXPECT_TRUE(ReadFontKerning(BuildFont({KernWindowsFont()}), {}).Pairs.empty());
}

TEST(FontKerning, SymbolFontsCollectionsAndFaces) {
  const Bytes symbol = BuildFont({SymbolFont()});
  EXPECT_EQ(Describe(Read(symbol).Pairs), Describe(kSymbolPairs));
  EXPECT_EQ(Read(symbol).UnitsPerEm, 256);

  const Bytes collection = BuildFont({KernWindowsFont(), SymbolFont(), GposFont()});
  EXPECT_EQ(Describe(Read(collection, 0).Pairs), Describe(kKernWindowsPairs));
  EXPECT_EQ(Describe(Read(collection, 1).Pairs), Describe(kSymbolPairs));
  EXPECT_EQ(Describe(Read(collection, 2).Pairs), Describe(kGposPairs));
  EXPECT_THROW(Read(collection, 3), EFontTableError);
  EXPECT_THROW(Read(collection, -1), EFontTableError);
  EXPECT_THROW(Read(symbol, 1), EFontTableError);
}

TEST(FontKerning, DamagedFontsEndInAnErrorNamingTheTableNeverInACrash) {
  const std::vector<Bytes> fonts = {BuildFont({GposFont()}), BuildFont({KernWindowsFont()}),
                                    BuildFont({KernAppleFont()}), BuildFont({SymbolFont(), GposFont()})};
  for (std::size_t f = 0; f < fonts.size(); ++f) {
    SCOPED_TRACE("font " + std::to_string(f));
    const Bytes& font = fonts[f];
    const int face = f == 3 ? 1 : 0;
    std::size_t errors = 0;
    for (std::size_t length = 0; length < font.size(); ++length) {
      try {
        Read(Bytes(font.begin(), font.begin() + static_cast<std::ptrdiff_t>(length)), face);
      } catch (const EFontTableError&) {
        ++errors;
      }
    }
    // A cut inside the directory or the last table is always noticed.
    EXPECT_GE(errors, font.size() / 2);
    // Every single byte changed: an error or a result, nothing else.
    for (std::size_t at = 0; at < font.size(); ++at) {
      for (std::uint8_t value : {std::uint8_t{0x00}, std::uint8_t{0xFF}, std::uint8_t{0x80}}) {
        Bytes changed = font;
        changed[at] = value;
        try {
          Read(changed, face);
        } catch (const EFontTableError&) {
        }
      }
    }
  }
  // The messages say what is wrong and where.
  const Bytes font = BuildFont({GposFont()});
  try {
    Read(Bytes(font.begin(), font.begin() + 8));
    ADD_FAILURE() << "a cut header is read";
  } catch (const EFontTableError& e) {
    EXPECT_NE(std::string(e.what()).find("not a font"), std::string::npos) << e.what();
  }
  TTableMap cutGpos = GposFont();
  cutGpos["GPOS"].resize(cutGpos["GPOS"].size() / 2);
  try {
    Read(BuildFont({cutGpos}));
    ADD_FAILURE() << "a cut GPOS table is read";
  } catch (const EFontTableError& e) {
    EXPECT_NE(std::string(e.what()).find("'GPOS' table"), std::string::npos) << e.what();
  }
  TTableMap noHead = GposFont();
  noHead.erase("head");
  EXPECT_THROW(Read(BuildFont({noHead})), EFontTableError);
  const std::string text = "this is not a font at all";
  EXPECT_THROW(Read(Bytes(text.begin(), text.end())), EFontTableError);
}

#ifdef FONTTOOLS_KERNING_SCRIPT
TEST(FontKerning, BuiltFontsReadTheSameWithFontTools) {
  if (!FontToolsAvailable()) SKIP_OR_FAIL_WHERE_PROMISED("fontTools (python3-fonttools) is not installed");
  TempDir dir;
  const std::vector<std::pair<std::string, Bytes>> fonts = {
      {"gpos.ttf", BuildFont({GposFont()})},
      {"kern-windows.ttf", BuildFont({KernWindowsFont()})},
      {"kern-apple.ttf", BuildFont({KernAppleFont()})},
      {"symbol.ttf", BuildFont({SymbolFont()})},
      {"faces.ttc", BuildFont({KernWindowsFont(), SymbolFont()})}};
  for (const auto& [name, bytes] : fonts) {
    testing_support::WriteFileBytes(dir.File(name), std::string(bytes.begin(), bytes.end()));
    ExpectSameAsFontTools(dir.File(name), 0, kAsked);
  }
  ExpectSameAsFontTools(dir.File("faces.ttc"), 1, kAsked);
}

// Windows-1252's printable characters that Latin-1 shares with Unicode.
std::vector<std::uint32_t> Windows1252Characters() {
  std::vector<std::uint32_t> codes;
  for (std::uint32_t c = 32; c <= 126; ++c) codes.push_back(c);
  for (std::uint32_t c = 160; c <= 255; ++c) codes.push_back(c);
  return codes;
}

// Compares an installed font with fontTools: its GPOS 'kern' feature, and where it also has a kern table,
// that table, read from a copy whose GPOS table is renamed away. promised: the set-up installs the font.
void ExpectInstalledFontSameAsFontTools(const std::string& path, bool promised) {
  if (!FontToolsAvailable()) SKIP_OR_FAIL_WHERE_PROMISED("fontTools (python3-fonttools) is not installed");
  if (!std::filesystem::exists(path)) {
    if (promised) SKIP_OR_FAIL_WHERE_PROMISED(path + " is not installed");
    GTEST_SKIP() << path << " is not installed";
  }
  const std::vector<std::uint32_t> characters = Windows1252Characters();
  const std::size_t gposPairs = ExpectSameAsFontTools(path, 0, characters);
  EXPECT_GT(gposPairs, 50u);
  Bytes copy = ReadFileBytes(path);
  ASSERT_GE(copy.size(), 12u);
  const std::size_t tables = static_cast<std::size_t>(copy[4] << 8 | copy[5]);
  ASSERT_GE(copy.size(), 12 + 16 * tables);
  bool hasKern = false;
  for (std::size_t i = 0; i < tables; ++i) {
    std::uint8_t* tag = &copy[12 + 16 * i];
    if (std::string(tag, tag + 4) == "GPOS") std::copy_n("XPOS", 4, tag);
    if (std::string(tag, tag + 4) == "kern") hasKern = true;
  }
  std::string kernNote;
  if (hasKern) {
    TempDir dir;
    const std::string file = dir.File("no-gpos-" + std::filesystem::path(path).filename().string());
    testing_support::WriteFileBytes(file, std::string(copy.begin(), copy.end()));
    const std::size_t kernPairs = ExpectSameAsFontTools(file, 0, characters);
    EXPECT_GT(kernPairs, 50u);
    kernNote = ", kern table " + std::to_string(kernPairs);
  }
  std::printf("[  pairs   ] %s: GPOS %zu%s\n", path.c_str(), gposPairs, kernNote.c_str());
}

// Fonts with a GPOS 'kern' feature and a kern table.
TEST(FontKerningInstalled, LiberationSans) {
  ExpectInstalledFontSameAsFontTools("/usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf", true);
}
TEST(FontKerningInstalled, LiberationSerif) {
  ExpectInstalledFontSameAsFontTools("/usr/share/fonts/truetype/liberation/LiberationSerif-Regular.ttf",
                                     true);
}
// Its 'kern' feature lies under script latn; DFLT's has only a few pairs of other scripts.
TEST(FontKerningInstalled, DejaVuSans) {
  ExpectInstalledFontSameAsFontTools("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", true);
}
// Wine's Tahoma: GPOS only.
TEST(FontKerningInstalled, WineTahoma) {
  ExpectInstalledFontSameAsFontTools("/usr/share/wine/fonts/tahoma.ttf", true);
}
// An OpenType font with CFF outlines ('OTTO'), GPOS only; not one the set-up installs itself.
TEST(FontKerningInstalled, NimbusSansOpenType) {
  ExpectInstalledFontSameAsFontTools("/usr/share/fonts/opentype/urw-base35/NimbusSans-Regular.otf", false);
}
#endif

}  // namespace
