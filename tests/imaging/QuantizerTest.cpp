// The colour reduction: palette order, merge order, the cell cache, serpentine mapping and the
// nearest-colour search, checked on small pictures whose results follow by hand, and against a plain
// reference build of the same rules on larger random pictures.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <new>
#include <random>
#include <set>
#include <vector>

#include "imaging/ColorQuantizer.h"
#include "imaging/Gifimage.h"
#include "tests/imaging/WriterFaults.h"
#include "tests/support/TestSupport.h"

// Allocations from this size on fail while a test asks for it, so that running out of memory can be
// shown without exhausting it.
namespace {
std::size_t failAllocationsFrom = static_cast<std::size_t>(-1);
}

// The replacements pair malloc with free; the compiler would otherwise flag each inlined pairing.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size) {
  if (size >= failAllocationsFrom) throw std::bad_alloc();
  if (void* block = std::malloc(size == 0 ? 1 : size)) return block;
  throw std::bad_alloc();
}
void operator delete(void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }

namespace {

using writer_faults::Picture;

TGIFColor Entry(int red, int green, int blue) {
  return {static_cast<std::uint8_t>(red), static_cast<std::uint8_t>(green), static_cast<std::uint8_t>(blue)};
}

std::vector<TGIFColor> Palette(std::vector<TGIFColor> head) {
  head.resize(256);  // the rest black
  return head;
}

// ---- A plain reference of the same rules: one node object per tree node, no shortcuts. ----

struct RefNode {
  bool leaf = false;
  std::uint64_t count = 0;
  std::int64_t red = 0, green = 0, blue = 0;
  RefNode* next = nullptr;
  std::unique_ptr<RefNode> child[8];
};

class RefQuantizer {
 public:
  explicit RefQuantizer(int maxColors) : maxColors_(maxColors) {}

  void Add(TColor color) {
    const int r = GetRValue(color), g = GetGValue(color), b = GetBValue(color);
    if (!root_) root_ = Make(0);
    RefNode* node = root_.get();
    for (int level = 0; !node->leaf; ++level) {
      const int shift = 7 - level;
      const int index = ((r >> shift) & 1) * 4 + ((g >> shift) & 1) * 2 + ((b >> shift) & 1);
      if (!node->child[index]) node->child[index] = Make(level + 1);
      node = node->child[index].get();
    }
    node->count += 1;
    node->red += r;
    node->green += g;
    node->blue += b;
    while (leaves_ > maxColors_) Reduce();
  }

  std::vector<TGIFColor> Colors() const {
    std::vector<TGIFColor> colors;
    Walk(root_.get(), colors);
    return colors;
  }

 private:
  std::unique_ptr<RefNode> Make(int level) {
    auto node = std::make_unique<RefNode>();
    if (level == 8) {
      node->leaf = true;
      ++leaves_;
    } else {
      node->next = reducible_[level];
      reducible_[level] = node.get();
    }
    return node;
  }

  void Reduce() {
    int level = 7;
    while (level > 0 && reducible_[level] == nullptr) --level;
    RefNode* node = reducible_[level];
    reducible_[level] = node->next;
    int children = 0;
    for (auto& child : node->child) {
      if (!child) continue;
      node->red += child->red;
      node->green += child->green;
      node->blue += child->blue;
      node->count += child->count;
      child.reset();
      ++children;
    }
    node->leaf = true;
    leaves_ -= children - 1;
  }

  static void Walk(const RefNode* node, std::vector<TGIFColor>& colors) {
    if (node == nullptr) return;
    if (node->leaf) {
      const auto n = static_cast<std::int64_t>(node->count);
      colors.push_back(Entry(static_cast<int>(node->red / n), static_cast<int>(node->green / n),
                             static_cast<int>(node->blue / n)));
      return;
    }
    for (const auto& child : node->child) Walk(child.get(), colors);
  }

  int maxColors_;
  int leaves_ = 0;
  std::unique_ptr<RefNode> root_;
  RefNode* reducible_[8] = {};
};

int RefKey(int r, int g, int b) { return (r >> 3) + 32 * (g >> 3) + 1024 * (b >> 3); }

std::vector<std::uint8_t> RefMap(const TBitmap& bitmap, const std::vector<TGIFColor>& palette) {
  std::vector<std::int16_t> cache(32768, -1);
  for (int i = 0; i < static_cast<int>(palette.size()); ++i) {
    const TGIFColor& c = palette[static_cast<std::size_t>(i)];
    auto& slot = cache[static_cast<std::size_t>(RefKey(c.Red, c.Green, c.Blue))];
    if (slot < 0) slot = static_cast<std::int16_t>(i);
  }
  std::vector<std::uint8_t> indices(static_cast<std::size_t>(bitmap.Width()) * bitmap.Height());
  for (int y = 0; y < bitmap.Height(); ++y) {
    for (int step = 0; step < bitmap.Width(); ++step) {
      const int x = y % 2 == 0 ? step : bitmap.Width() - 1 - step;
      const TColor color = bitmap.Pixel(x, y);
      const int r = GetRValue(color), g = GetGValue(color), b = GetBValue(color);
      auto& slot = cache[static_cast<std::size_t>(RefKey(r, g, b))];
      if (slot < 0) {
        int best = 196608;
        for (int i = 0; i < static_cast<int>(palette.size()); ++i) {
          const TGIFColor& c = palette[static_cast<std::size_t>(i)];
          const int distance = std::abs(r - c.Red) + std::abs(g - c.Green) + std::abs(b - c.Blue);
          if (distance < best) {
            best = distance;
            slot = static_cast<std::int16_t>(i);
          }
        }
      }
      indices[static_cast<std::size_t>(y) * bitmap.Width() + x] = static_cast<std::uint8_t>(slot);
    }
  }
  return indices;
}

void ExpectSameAsReference(const TBitmap& bitmap, int reductionBits = 8) {
  RefQuantizer reference(1 << reductionBits);
  for (int y = 0; y < bitmap.Height(); ++y) {
    for (int x = 0; x < bitmap.Width(); ++x) reference.Add(bitmap.Pixel(x, y));
  }
  std::vector<TGIFColor> palette = reference.Colors();
  palette.resize(std::size_t{1} << reductionBits);

  const TPaletteBitmap result = ReduceColors(bitmap, rmQuantize, dmNearest, reductionBits);
  ASSERT_EQ(result.Width(), bitmap.Width());
  ASSERT_EQ(result.Height(), bitmap.Height());
  EXPECT_EQ(result.Palette(), palette);
  EXPECT_EQ(result.Pixels(), RefMap(bitmap, palette));
}

}  // namespace

TEST(QuantizerTest, FewColoursKeepTheirExactValuesInTreeOrder) {
  // One colour: entry 0, the rest black, every index 0.
  {
    const TPaletteBitmap result = ReduceColors(Picture(3, 2, std::vector<TColor>(6, RGB(10, 200, 30))));
    EXPECT_EQ(result.Palette(), Palette({Entry(10, 200, 30)}));
    EXPECT_EQ(result.Pixels(), std::vector<std::uint8_t>(6, 0));
  }
  // Black and white.
  {
    const TPaletteBitmap result = ReduceColors(Picture(3, 1, {clWhite, clBlack, clWhite}));
    EXPECT_EQ(result.Palette(), Palette({Entry(0, 0, 0), Entry(255, 255, 255)}));
    EXPECT_EQ(result.Pixels(), (std::vector<std::uint8_t>{1, 0, 1}));
  }
  // Three colours in one cell: tree order, and all get the lowest index of the cell.
  {
    const TPaletteBitmap result =
        ReduceColors(Picture(3, 1, {RGB(100, 100, 100), RGB(103, 100, 100), RGB(96, 100, 100)}));
    EXPECT_EQ(result.Palette(), Palette({Entry(96, 100, 100), Entry(100, 100, 100), Entry(103, 100, 100)}));
    EXPECT_EQ(result.Pixels(), (std::vector<std::uint8_t>{0, 0, 0}));
  }
  // (250, 250, 250) comes before white in tree order and takes white's cell.
  {
    const TColor light = RGB(250, 250, 250);
    const TPaletteBitmap result =
        ReduceColors(Picture(4, 2, {clWhite, clWhite, light, clBlack, clWhite, clBlack, clBlack, clWhite}));
    EXPECT_EQ(result.Palette(), Palette({Entry(0, 0, 0), Entry(250, 250, 250), Entry(255, 255, 255)}));
    EXPECT_EQ(result.Pixels(), (std::vector<std::uint8_t>{1, 1, 1, 0, 1, 0, 0, 1}));
  }
  // 256 distinct colours in random order are never merged: the palette is the set in tree order
  // (the order of the interleaved channel bits), and each pixel gets the lowest index of its cell.
  {
    std::mt19937 random(7);
    std::set<TColor> distinct;
    while (distinct.size() < 256) distinct.insert(random() & 0xFFFFFF);
    std::vector<TColor> pixels(distinct.begin(), distinct.end());
    std::shuffle(pixels.begin(), pixels.end(), random);
    auto treeKey = [](TColor c) {
      std::uint32_t key = 0;
      for (int bit = 7; bit >= 0; --bit) {
        key = (key << 3) | (((GetRValue(c) >> bit) & 1) << 2) | (((GetGValue(c) >> bit) & 1) << 1) |
              ((GetBValue(c) >> bit) & 1);
      }
      return key;
    };
    std::vector<TColor> ordered = pixels;
    std::sort(ordered.begin(), ordered.end(), [&](TColor a, TColor b) { return treeKey(a) < treeKey(b); });
    const TPaletteBitmap result = ReduceColors(Picture(16, 16, pixels));
    ASSERT_EQ(result.Palette().size(), 256u);
    for (int i = 0; i < 256; ++i) {
      const TColor c = ordered[static_cast<std::size_t>(i)];
      EXPECT_EQ(result.Palette()[static_cast<std::size_t>(i)],
                Entry(GetRValue(c), GetGValue(c), GetBValue(c)));
    }
    for (int i = 0; i < 256; ++i) {
      const TColor c = pixels[static_cast<std::size_t>(i)];
      const int key = RefKey(GetRValue(c), GetGValue(c), GetBValue(c));
      int lowest = 0;
      while (RefKey(GetRValue(ordered[static_cast<std::size_t>(lowest)]),
                    GetGValue(ordered[static_cast<std::size_t>(lowest)]),
                    GetBValue(ordered[static_cast<std::size_t>(lowest)])) != key) {
        ++lowest;
      }
      EXPECT_EQ(result.Pixels()[static_cast<std::size_t>(i)], lowest) << "pixel " << i;
    }
  }
}

TEST(QuantizerTest, MergesTakeTheNewestNodeOfTheDeepestLevelAndTruncate) {
  // 256 reds in increasing order, then (0, 0, 1): the 257th leaf merges the level-7 node made last,
  // the one of (254, 0, 0) and (255, 0, 0), into (254, 0, 0); (0, 0, 1) stays exact as entry 1.
  std::vector<TColor> pixels;
  for (int i = 0; i < 256; ++i) pixels.push_back(RGB(i, 0, 0));
  pixels.push_back(RGB(0, 0, 1));
  const TPaletteBitmap result = ReduceColors(Picture(257, 1, pixels));
  std::vector<TGIFColor> expected{Entry(0, 0, 0), Entry(0, 0, 1)};
  for (int i = 1; i <= 254; ++i) expected.push_back(Entry(i, 0, 0));
  EXPECT_EQ(result.Palette(), expected);
  // Every red gets the lowest index of its cell: (0, 0, 0) for reds below 8 and for (0, 0, 1),
  // otherwise the entry of the red rounded down to a multiple of 8.
  for (int i = 0; i < 256; ++i) {
    const int expectedIndex = i < 8 ? 0 : (i & ~7) + 1;
    EXPECT_EQ(result.Pixels()[static_cast<std::size_t>(i)], expectedIndex) << "red " << i;
  }
  EXPECT_EQ(result.Pixels()[256], 0);

  // Unequal counts: one 254 and three 255 average 254.75, which truncates to 254.
  pixels.clear();
  for (int i = 0; i < 255; ++i) pixels.push_back(RGB(i, 0, 0));
  for (int i = 0; i < 3; ++i) pixels.push_back(RGB(255, 0, 0));
  pixels.push_back(RGB(0, 0, 1));
  const TPaletteBitmap weighted = ReduceColors(Picture(259, 1, pixels));
  EXPECT_EQ(weighted.Palette()[255], Entry(254, 0, 0));
  EXPECT_EQ(weighted.Palette()[1], Entry(0, 0, 1));
}

TEST(QuantizerTest, LookupCacheSerpentineOrderAndSearch) {
  // Cells already holding palette colours are filled beforehand with their lowest index; the black
  // fill entries win cell 0 only when no earlier entry lies there.
  {
    TFastColorLookup lookup(Palette({Entry(200, 200, 200)}));
    EXPECT_EQ(lookup.Lookup(0x010203), 1);  // cell 0 holds the first black fill entry
    EXPECT_EQ(lookup.Lookup(0x0A0A0A), 1);  // searched: the fill black is nearest
    EXPECT_EQ(lookup.Lookup(0xC0C0C0), 0);
  }
  // The search takes the smallest sum of absolute differences, the lowest index on a tie.
  {
    TFastColorLookup lookup({Entry(0, 10, 0), Entry(10, 0, 0), Entry(60, 60, 60)});
    EXPECT_EQ(lookup.Lookup(0x050500), 0);  // distance 10 to both first entries
    TFastColorLookup swapped({Entry(10, 0, 0), Entry(0, 10, 0), Entry(60, 60, 60)});
    EXPECT_EQ(swapped.Lookup(0x050500), 0);
    // (100, 100, 100): 36 to entry 0 and 30 to entry 1 (a squared distance would prefer entry 0).
    TFastColorLookup absolute({Entry(112, 112, 112), Entry(130, 100, 100)});
    EXPECT_EQ(absolute.Lookup(0x646464), 1);
  }
  // The first colour met in a cell decides for the whole cell: (17, 0, 0) is nearest to black,
  // (22, 0, 0) to (40, 0, 0), and both lie in one cell. Row 1 runs right to left, so (22, 0, 0)
  // comes first there; in row 2, left to right, (17, 0, 0) comes first in its cell of green 8.
  {
    const std::vector<TGIFColor> palette{Entry(0, 0, 0), Entry(40, 0, 0), Entry(0, 40, 0)};
    const TBitmap bitmap = Picture(2, 3,
                                   {RGB(0, 0, 0), RGB(0, 0, 0),      // row 0
                                    RGB(17, 0, 0), RGB(22, 0, 0),    // row 1, mapped right to left
                                    RGB(17, 8, 0), RGB(22, 8, 0)});  // row 2, left to right
    TFastColorLookup lookup(palette);
    TDitherEngine engine(2, lookup);
    std::vector<std::uint8_t> indices(6, 99);
    for (int y = 0; y < 3; ++y) engine.MapRow(bitmap.ScanLine(y), indices.data() + 2 * y);
    EXPECT_EQ(indices, (std::vector<std::uint8_t>{0, 0, 1, 1, 0, 0}));
    EXPECT_EQ(engine.Direction(), -1);
  }
}

TEST(QuantizerTest, SettingsSizesAndDepths) {
  // Bits outside 1 to 8 are refused.
  for (int bits : {0, 9, -1}) {
    try {
      ReduceColors(Picture(1, 1, {clWhite}), rmQuantize, dmNearest, bits);
      ADD_FAILURE() << bits;
    } catch (const GIFException& error) {
      EXPECT_STREQ(error.what(), "Invalid Bits Per Pixel value");
    }
  }
  // A smaller palette: 2^bits entries, every index below that.
  {
    std::mt19937 random(3);
    std::vector<TColor> pixels(40 * 30);
    for (auto& p : pixels) p = random() & 0xFFFFFF;
    const TBitmap bitmap = Picture(40, 30, pixels);
    const TPaletteBitmap result = ReduceColors(bitmap, rmQuantize, dmNearest, 3);
    EXPECT_EQ(result.Palette().size(), 8u);
    EXPECT_LT(*std::max_element(result.Pixels().begin(), result.Pixels().end()), 8);
    ExpectSameAsReference(bitmap, 3);
    ExpectSameAsReference(bitmap, 1);
  }
  // No pixels: no indices, a black palette.
  {
    const TPaletteBitmap result = ReduceColors(TBitmap());
    EXPECT_TRUE(result.Empty());
    EXPECT_TRUE(result.Pixels().empty());
    EXPECT_EQ(result.Palette(), Palette({}));
  }
  // A 16-bit bitmap already holds the top 5 bits of each channel; those values are the colours.
  {
    TBitmap bitmap = Picture(2, 1, {RGB(255, 130, 7), RGB(255, 130, 7)});
    bitmap.SetBitsPerPixel(16);
    const TPaletteBitmap result = ReduceColors(bitmap);
    EXPECT_EQ(result.Palette()[0], Entry(248, 128, 0));
    EXPECT_EQ(bitmap.BitsPerPixel(), 16);
    EXPECT_EQ(bitmap.Pixel(1, 0), RGB(248, 128, 0));
  }
}

TEST(QuantizerTest, LargeRandomPicturesMatchThePlainRules) {
  std::mt19937 random(20240601);
  for (int round = 0; round < 12; ++round) {
    const int width = 40 + static_cast<int>(random() % 160);
    const int height = 30 + static_cast<int>(random() % 120);
    // A colour set of a few hundred to a few thousand entries, some close together, drawn in runs of
    // random length, so that merges happen between repeats of remembered colours.
    std::vector<TColor> colors(300 + random() % 3000);
    for (auto& c : colors) {
      c = random() % 4 == 0 ? RGB(random() % 16, random() % 16, 200 + random() % 8) : random() & 0xFFFFFF;
    }
    TBitmap bitmap;
    bitmap.SetSize(width, height);
    TColor color = colors[0];
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        if (random() % 5 == 0) color = colors[random() % colors.size()];
        bitmap.SetPixel(x, y, color);
      }
    }
    ExpectSameAsReference(bitmap);
  }
  // A gradient with noise: more colours than pixels in any one cell.
  TBitmap photo;
  photo.SetSize(256, 160);
  for (int y = 0; y < 160; ++y) {
    for (int x = 0; x < 256; ++x) {
      photo.SetPixel(x, y,
                     RGB(std::clamp<int>(x + static_cast<int>(random() % 40) - 20, 0, 255), y,
                         std::clamp<int>((x + y) / 2 + static_cast<int>(random() % 40) - 20, 0, 255)));
    }
  }
  ExpectSameAsReference(photo);
}

TEST(QuantizerTest, ColourSumsDoNotOverflowOnLargePictures) {
  // 2902 x 2902 white pixels are 8,421,604 in one leaf: their channel sums pass 2^31.
  TBitmap bitmap;
  bitmap.SetSize(2902, 2902);
  bitmap.Fill(clWhite);
  bitmap.SetPixel(0, 0, RGB(0, 0, 0));
  const TPaletteBitmap result = ReduceColors(bitmap);
  EXPECT_EQ(result.Palette()[0], Entry(0, 0, 0));
  EXPECT_EQ(result.Palette()[1], Entry(255, 255, 255));
  EXPECT_EQ(result.Pixels()[0], 0);
  EXPECT_EQ(result.Pixels().back(), 1);
}

TEST(QuantizerTest, RunningOutOfMemoryForTheResult) {
  // The index buffer of a 1200 x 1000 picture is the only allocation of a megabyte or more.
  TBitmap bitmap;
  bitmap.SetSize(1200, 1000);
  bitmap.FillRect(0, 0, 600, 1000, RGB(1, 2, 3));
  testing_support::TempDir dir;
  const std::string fileName = dir.File("memory.gif");
  failAllocationsFrom = 1000000;
  std::string reduceMessage, saveMessage;
  try {
    ReduceColors(bitmap);
  } catch (const GIFException& error) {
    reduceMessage = error.what();
  }
  try {
    SaveBitmapAsGif(bitmap, fileName);
  } catch (const GIFException& error) {
    saveMessage = error.what();
  }
  failAllocationsFrom = static_cast<std::size_t>(-1);
  EXPECT_EQ(reduceMessage, "Failed to allocate memory for GIF DIB");
  EXPECT_EQ(saveMessage, "Failed to allocate memory for GIF DIB");
  EXPECT_FALSE(std::filesystem::exists(fileName));
  // With memory again, the same picture goes through.
  EXPECT_EQ(ReduceColors(bitmap).Pixels().size(), 1200000u);
}
