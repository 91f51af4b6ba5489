#pragma once
// The colour reduction of the GIF writer: an octree quantiser builds a palette from the picture's own
// colours, and a cached nearest-colour lookup, driven across the picture in serpentine order, gives
// every pixel a palette index. The result depends only on the source pixels.

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "imaging/Errors.h"
#include "imaging/Graphics.h"

// The error type of the GIF writer and its colour reduction: a picture too large for the format, or
// what the writer found wrong in what it was given (its message as it is).
class GIFException : public EImageError {
 public:
  using EImageError::EImageError;
  explicit GIFException(const std::string& message) : EImageError(TErrorKind::GifFailed, {message}) {}
};

// How the palette is built: from the picture's own colours by the octree quantiser.
enum TColorReduction : int { rmQuantize = 7 };
// How pixels are mapped to the palette: each to a near palette colour, without error diffusion.
enum TDitherMode : int { dmNearest = 0 };

// One palette or colour-map entry.
struct TGIFColor {
  std::uint8_t Red = 0;
  std::uint8_t Green = 0;
  std::uint8_t Blue = 0;
  friend bool operator==(const TGIFColor&, const TGIFColor&) = default;
};

// An 8-bit palette picture: a colour table and one index byte per pixel, rows top first.
class TPaletteBitmap {
 public:
  TPaletteBitmap() = default;
  // Width x height zero indices; the palette is taken over as the colour table.
  TPaletteBitmap(int width, int height, std::vector<TGIFColor> palette);

  int Width() const { return width_; }
  int Height() const { return height_; }
  bool Empty() const { return width_ <= 0 || height_ <= 0; }
  const std::vector<TGIFColor>& Palette() const { return palette_; }

  std::uint8_t* ScanLine(int y) { return pixels_.data() + static_cast<std::size_t>(y) * width_; }
  const std::uint8_t* ScanLine(int y) const { return pixels_.data() + static_cast<std::size_t>(y) * width_; }
  // All indices, Width() x Height() bytes.
  const std::vector<std::uint8_t>& Pixels() const { return pixels_; }
  // Hands the indices over (the picture is left without pixels).
  std::vector<std::uint8_t> TakePixels();

 private:
  int width_ = 0;
  int height_ = 0;
  std::vector<TGIFColor> palette_;
  std::vector<std::uint8_t> pixels_;
};

// A node of the colour octree. The sums are 64-bit so that no picture the program can hold makes
// them overflow.
struct TOctreeNode {
  bool Leaf = false;
  std::uint64_t PixelCount = 0;
  std::int64_t RedSum = 0;
  std::int64_t GreenSum = 0;
  std::int64_t BlueSum = 0;
  std::int32_t Next = -1;  // next node of the same level's reducible list
  std::array<std::int32_t, 8> Child{-1, -1, -1, -1, -1, -1, -1, -1};
};

// The octree quantiser. Each colour is entered down to level 8, where a leaf stands for one exact
// colour; whenever there are more leaves than the palette may hold, the inner node created last on the
// deepest level that has any is merged into a leaf of its own. Nodes live in a pool and link by index.
class TColorQuantizer {
 public:
  static constexpr int ColorBits = 8;

  // maxColors: the palette size, 2^reduction bits.
  explicit TColorQuantizer(int maxColors);

  // Enters one pixel's colour (0x00RRGGBB), then merges while there are too many leaves.
  void AddColor(TBitmap::Pixel32 color) { AddRun(color & 0xFFFFFFu, 1); }
  // Enters every pixel of the bitmap, rows top first, each left to right.
  void AddBitmap(const TBitmap& bitmap);

  int LeafCount() const { return leafCount_; }
  // The leaf colours in tree order (depth first, children in index order): each channel's sum divided
  // by the pixel count, truncated; black for a leaf without pixels.
  std::vector<TGIFColor> LeafColors() const;

 private:
  static constexpr int MemoSize = 4096;
  struct TMemoEntry {
    std::uint32_t Color = 0;
    std::int32_t Node = -1;
    std::uint32_t Epoch = 0;
  };
  // Colours that agree in the top PrefixLevel bits of each channel share their path down to that level.
  static constexpr int PrefixLevel = 4;
  struct TPrefixEntry {
    std::int32_t Node = -1;
    std::uint32_t Epoch = 0;
  };

  static int ChildIndex(std::uint32_t color, int level) {
    const int shift = 7 - level;
    return static_cast<int>((((color >> (16 + shift)) & 1u) << 2) | (((color >> (8 + shift)) & 1u) << 1) |
                            ((color >> shift) & 1u));
  }
  static std::size_t MemoSlot(std::uint32_t color) { return (color * 0x9E3779B1u) >> 20; }
  static std::size_t PrefixSlot(std::uint32_t color) {
    return ((color >> 12) & 0xF00) | ((color >> 8) & 0xF0) | ((color >> 4) & 0xF);
  }

  // Enters `count` pixels of one colour: the first as a pixel of its own (with the merges it causes),
  // the rest into the leaf the colour then reaches; no structural change happens between them.
  void AddRun(std::uint32_t color, std::uint64_t count);
  // Descends to the leaf of the colour, creating what is missing and counting one pixel there.
  std::int32_t Insert(std::uint32_t color);
  // The leaf the colour reaches in the current tree (its whole path exists).
  std::int32_t Find(std::uint32_t color) const;
  std::int32_t NewNode(int level);
  void FreeNode(std::int32_t node);
  void Reduce();
  static void AddPixels(TOctreeNode& leaf, std::uint32_t color, std::uint64_t count);

  std::vector<TOctreeNode> pool_;
  std::int32_t freeList_ = -1;
  std::int32_t root_ = -1;
  int leafCount_ = 0;
  int maxColors_;
  std::array<std::int32_t, ColorBits> reducible_{-1, -1, -1, -1, -1, -1, -1, -1};
  // Shortcuts that skip the descent: the leaf recently reached by a colour, and per prefix the node on
  // level PrefixLevel (or the leaf above it) its colours pass. New nodes leave them valid; any merge
  // may delete nodes and starts a new epoch, which makes all of them stale.
  std::vector<TMemoEntry> memo_;
  std::vector<TPrefixEntry> prefix_;
  std::uint32_t epoch_ = 1;
};

// Maps colours to palette indices. A cache of 32768 entries, one per cell of the top 5 bits of each
// channel, holds the index found for the first colour met in that cell (or, filled beforehand, the
// lowest palette index lying in it); a miss scans the whole palette for the smallest sum of absolute
// differences, the lowest index winning ties.
class TFastColorLookup {
 public:
  // palette: 1 to 256 entries.
  explicit TFastColorLookup(const std::vector<TGIFColor>& palette);

  static int CellKey(std::uint32_t color /* 0x00RRGGBB */) {
    return static_cast<int>(((color >> 19) & 0x1F) | (((color >> 11) & 0x1F) << 5) |
                            (((color >> 3) & 0x1F) << 10));
  }
  std::uint8_t Lookup(std::uint32_t color) {
    const int key = CellKey(color);
    const std::int16_t cached = cache_[key];
    if (cached >= 0) return static_cast<std::uint8_t>(cached);
    const int index = Search(color);
    cache_[key] = static_cast<std::int16_t>(index);
    return static_cast<std::uint8_t>(index);
  }

 private:
  int Search(std::uint32_t color) const;

  int size_;
  // The palette channel by channel, padded to 256 entries, so the distance scan vectorises.
  std::array<std::int32_t, 256> red_{}, green_{}, blue_{};
  std::array<std::int16_t, 32768> cache_;
};

// The plain mapper: rows top to bottom in serpentine order (row 0 left to right, row 1 right to left,
// and so on), each pixel the index the lookup gives.
class TDitherEngine {
 public:
  TDitherEngine(int width, TFastColorLookup& lookup) : width_(width), lookup_(lookup) {}

  // Maps one row in the current direction, then reverses the direction for the next row.
  void MapRow(const TBitmap::Pixel32* source, std::uint8_t* target);
  int Direction() const { return direction_; }

 private:
  int width_;
  int column_ = 0;
  int direction_ = 1;
  TFastColorLookup& lookup_;
};

// Reduces a true-colour bitmap to an 8-bit palette bitmap of 2^reductionBits colours (1 to 8 bits):
// the octree palette (leaf colours in tree order, then black up to the palette size) and one index per
// pixel. The bitmap is only read; at 16 bits per pixel its pixels already hold the reduced channel values.
// Raises GIFException "Failed to allocate memory for GIF DIB" when memory runs out.
TPaletteBitmap ReduceColors(const TBitmap& bitmap, TColorReduction reduction = rmQuantize,
                            TDitherMode ditherMode = dmNearest, int reductionBits = 8);
