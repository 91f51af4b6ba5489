// Feeds arbitrary bytes to the font-table kerning reader as a font and as every face of a collection:
// it must return a well-formed result or throw EFontTableError, and read the same twice. The seeds in
// tests/fuzz/corpus-fonts/ are small fonts with a GPOS 'kern' feature, a kern table and a collection.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <vector>

#include "glyphs/FontKerning.h"

namespace {

void Check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "kerning reader invariant broken: %s\n", what);
    std::abort();
  }
}

// The characters asked about: printable ASCII, Latin-1 and a few symbol-area and astral ones.
const std::vector<std::uint32_t>& Characters() {
  static const std::vector<std::uint32_t> characters = [] {
    std::vector<std::uint32_t> codes;
    for (std::uint32_t c = 32; c < 256; ++c) codes.push_back(c);
    for (std::uint32_t c : {0x20ACu, 0xF041u, 0xFFFFu, 0x1F600u}) codes.push_back(c);
    return codes;
  }();
  return characters;
}

void CheckOne(std::span<const std::uint8_t> data, int face) {
  TFontKerning first;
  try {
    first = ReadFontKerning(data, Characters(), face);
  } catch (const EFontTableError&) {
    return;
  }
  Check(first.UnitsPerEm > 0, "units per em is positive");
  for (std::size_t i = 0; i < first.Pairs.size(); ++i) {
    const TKerningPair& p = first.Pairs[i];
    Check(p.Adjustment != 0, "only non-zero pairs");
    Check(std::binary_search(Characters().begin(), Characters().end(), p.Left) &&
              std::binary_search(Characters().begin(), Characters().end(), p.Right),
          "only characters asked about");
    if (i > 0) {
      const TKerningPair& q = first.Pairs[i - 1];
      Check(q.Left < p.Left || (q.Left == p.Left && q.Right < p.Right), "pairs sorted, each once");
    }
  }
  const TFontKerning second = ReadFontKerning(data, Characters(), face);
  Check(second.UnitsPerEm == first.UnitsPerEm && second.Pairs == first.Pairs, "the same result twice");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> bytes(data, size);
  for (int face : {0, 1, 2}) CheckOne(bytes, face);
  return 0;
}
