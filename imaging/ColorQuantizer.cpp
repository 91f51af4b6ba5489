#include "imaging/ColorQuantizer.h"

#include <algorithm>
#include <memory>
#include <new>
#include <stdexcept>
#include <utility>

TPaletteBitmap::TPaletteBitmap(int width, int height, std::vector<TGIFColor> palette)
    : width_(std::max(width, 0)), height_(std::max(height, 0)), palette_(std::move(palette)) {
  pixels_.assign(static_cast<std::size_t>(width_) * height_, 0);
}

std::vector<std::uint8_t> TPaletteBitmap::TakePixels() {
  std::vector<std::uint8_t> pixels;
  pixels.swap(pixels_);
  width_ = 0;
  height_ = 0;
  return pixels;
}

// ---- TColorQuantizer ----

TColorQuantizer::TColorQuantizer(int maxColors)
    : maxColors_(maxColors), memo_(MemoSize), prefix_(std::size_t{1} << (3 * PrefixLevel)) {
  // Leaves never exceed maxColors + 1 and each has at most 8 inner ancestors.
  pool_.reserve(static_cast<std::size_t>(maxColors + 1) * 4 + 16);
}

std::int32_t TColorQuantizer::NewNode(int level) {
  std::int32_t node;
  if (freeList_ >= 0) {
    node = freeList_;
    freeList_ = pool_[node].Next;
    pool_[node] = TOctreeNode{};
  } else {
    node = static_cast<std::int32_t>(pool_.size());
    pool_.emplace_back();
  }
  if (level == ColorBits) {
    pool_[node].Leaf = true;
    ++leafCount_;
  } else {
    pool_[node].Next = reducible_[level];
    reducible_[level] = node;
  }
  return node;
}

void TColorQuantizer::FreeNode(std::int32_t node) {
  pool_[node] = TOctreeNode{};
  pool_[node].Next = freeList_;
  freeList_ = node;
}

void TColorQuantizer::AddPixels(TOctreeNode& leaf, std::uint32_t color, std::uint64_t count) {
  const auto n = static_cast<std::int64_t>(count);
  leaf.PixelCount += count;
  leaf.RedSum += static_cast<std::int64_t>((color >> 16) & 0xFF) * n;
  leaf.GreenSum += static_cast<std::int64_t>((color >> 8) & 0xFF) * n;
  leaf.BlueSum += static_cast<std::int64_t>(color & 0xFF) * n;
}

std::int32_t TColorQuantizer::Insert(std::uint32_t color) {
  if (root_ < 0) root_ = NewNode(0);
  TPrefixEntry& prefix = prefix_[PrefixSlot(color)];
  const bool known = prefix.Epoch == epoch_;
  std::int32_t node = known ? prefix.Node : root_;
  for (int level = known ? PrefixLevel : 0;; ++level) {
    if (pool_[node].Leaf) {
      if (level <= PrefixLevel) prefix = TPrefixEntry{node, epoch_};
      AddPixels(pool_[node], color, 1);
      return node;
    }
    if (level == PrefixLevel) prefix = TPrefixEntry{node, epoch_};
    const int index = ChildIndex(color, level);
    std::int32_t child = pool_[node].Child[index];
    if (child < 0) {
      child = NewNode(level + 1);  // may move the pool: index again afterwards
      pool_[node].Child[index] = child;
    }
    node = child;
  }
}

std::int32_t TColorQuantizer::Find(std::uint32_t color) const {
  std::int32_t node = root_;
  for (int level = 0; !pool_[node].Leaf; ++level) node = pool_[node].Child[ChildIndex(color, level)];
  return node;
}

void TColorQuantizer::Reduce() {
  int level = ColorBits - 1;
  while (level > 0 && reducible_[level] < 0) --level;
  const std::int32_t node = reducible_[level];
  if (node < 0) return;  // only a root that is already a leaf is left
  reducible_[level] = pool_[node].Next;
  pool_[node].Next = -1;

  std::int64_t red = 0, green = 0, blue = 0;
  std::uint64_t count = 0;
  int children = 0;
  for (auto& child : pool_[node].Child) {
    if (child < 0) continue;
    const TOctreeNode& c = pool_[child];
    red += c.RedSum;
    green += c.GreenSum;
    blue += c.BlueSum;
    count += c.PixelCount;
    FreeNode(child);
    child = -1;
    ++children;
  }
  TOctreeNode& merged = pool_[node];
  merged.Leaf = true;
  merged.PixelCount += count;
  merged.RedSum = red;
  merged.GreenSum = green;
  merged.BlueSum = blue;
  leafCount_ -= children - 1;
}

void TColorQuantizer::AddRun(std::uint32_t color, std::uint64_t count) {
  TMemoEntry& memo = memo_[MemoSlot(color)];
  if (memo.Epoch == epoch_ && memo.Color == color) {
    AddPixels(pool_[memo.Node], color, count);
    return;
  }
  std::int32_t leaf = Insert(color);
  if (leafCount_ > maxColors_) {
    while (leafCount_ > maxColors_ && !(root_ >= 0 && pool_[root_].Leaf)) Reduce();
    if (++epoch_ == 0) {
      std::fill(memo_.begin(), memo_.end(), TMemoEntry{});
      std::fill(prefix_.begin(), prefix_.end(), TPrefixEntry{});
      epoch_ = 1;
    }
    leaf = Find(color);
  }
  if (count > 1) AddPixels(pool_[leaf], color, count - 1);
  memo = TMemoEntry{color, leaf, epoch_};
}

void TColorQuantizer::AddBitmap(const TBitmap& bitmap) {
  // Equal neighbours are entered as one run: after the first pixel of a run (and the merges it causes)
  // the others all reach the same leaf without changing the tree.
  std::uint32_t runColor = 0;
  std::uint64_t runLength = 0;
  const int width = bitmap.Width();
  for (int y = 0; y < bitmap.Height(); ++y) {
    const TBitmap::Pixel32* row = bitmap.ScanLine(y);
    for (int x = 0; x < width; ++x) {
      const std::uint32_t color = row[x] & 0xFFFFFFu;
      if (color == runColor && runLength > 0) {
        ++runLength;
        continue;
      }
      if (runLength > 0) AddRun(runColor, runLength);
      runColor = color;
      runLength = 1;
    }
  }
  if (runLength > 0) AddRun(runColor, runLength);
}

std::vector<TGIFColor> TColorQuantizer::LeafColors() const {
  std::vector<TGIFColor> colors;
  if (root_ < 0) return colors;
  colors.reserve(static_cast<std::size_t>(leafCount_));
  std::vector<std::int32_t> stack{root_};
  while (!stack.empty()) {
    const TOctreeNode& node = pool_[stack.back()];
    stack.pop_back();
    if (node.Leaf) {
      TGIFColor color;
      if (node.PixelCount > 0) {
        const auto n = static_cast<std::int64_t>(node.PixelCount);
        color.Red = static_cast<std::uint8_t>(node.RedSum / n);
        color.Green = static_cast<std::uint8_t>(node.GreenSum / n);
        color.Blue = static_cast<std::uint8_t>(node.BlueSum / n);
      }
      colors.push_back(color);
      continue;
    }
    for (int i = 7; i >= 0; --i) {
      if (node.Child[i] >= 0) stack.push_back(node.Child[i]);
    }
  }
  return colors;
}

// ---- TFastColorLookup ----

TFastColorLookup::TFastColorLookup(const std::vector<TGIFColor>& palette)
    : size_(static_cast<int>(palette.size())) {
  if (palette.empty() || palette.size() > 256)
    throw std::invalid_argument("palette of 1 to 256 colours expected");
  // Entries beyond the palette lie farther away than any colour, so the scan never picks them.
  red_.fill(1 << 20);
  green_.fill(0);
  blue_.fill(0);
  cache_.fill(-1);
  for (int i = 0; i < size_; ++i) {
    const TGIFColor& c = palette[static_cast<std::size_t>(i)];
    red_[static_cast<std::size_t>(i)] = c.Red;
    green_[static_cast<std::size_t>(i)] = c.Green;
    blue_[static_cast<std::size_t>(i)] = c.Blue;
    const int key = CellKey((std::uint32_t{c.Red} << 16) | (std::uint32_t{c.Green} << 8) | c.Blue);
    if (cache_[static_cast<std::size_t>(key)] < 0)
      cache_[static_cast<std::size_t>(key)] = static_cast<std::int16_t>(i);
  }
}

int TFastColorLookup::Search(std::uint32_t color) const {
  const std::int32_t red = (color >> 16) & 0xFF, green = (color >> 8) & 0xFF, blue = color & 0xFF;
  std::array<std::int32_t, 256> distance;
  for (std::size_t i = 0; i < 256; ++i) {
    const std::int32_t dr = red - red_[i], dg = green - green_[i], db = blue - blue_[i];
    distance[i] = (dr < 0 ? -dr : dr) + (dg < 0 ? -dg : dg) + (db < 0 ? -db : db);
  }
  // The scan keeps an entry only when it is strictly nearer than the best so far (which starts at
  // 3 x 65536), so the result is the lowest index of the smallest distance.
  std::int32_t best = 196608;
  for (std::size_t i = 0; i < 256; ++i) best = std::min(best, distance[i]);
  int index = 0;
  while (distance[static_cast<std::size_t>(index)] != best) ++index;
  return index;
}

// ---- TDitherEngine ----

void TDitherEngine::MapRow(const TBitmap::Pixel32* source, std::uint8_t* target) {
  // A colour always maps to the same index once its cell is cached, so a repeated colour reuses the
  // index of its neighbour.
  std::uint32_t lastColor = 0;
  std::uint8_t lastIndex = 0;
  bool haveLast = false;
  const int end = direction_ > 0 ? width_ : -1;
  for (column_ = direction_ > 0 ? 0 : width_ - 1; column_ != end; column_ += direction_) {
    const std::uint32_t color = source[column_] & 0xFFFFFFu;
    if (!haveLast || color != lastColor) {
      lastColor = color;
      lastIndex = lookup_.Lookup(color);
      haveLast = true;
    }
    target[column_] = lastIndex;
  }
  direction_ = -direction_;
}

// ---- ReduceColors ----

TPaletteBitmap ReduceColors(const TBitmap& bitmap, TColorReduction reduction, TDitherMode ditherMode,
                            int reductionBits) {
  if (reduction != rmQuantize) throw GIFException("Unsupported color reduction");
  if (ditherMode != dmNearest) throw GIFException("Unsupported dither mode");
  if (reductionBits < 1 || reductionBits > 8) throw GIFException("Invalid Bits Per Pixel value");
  const int paletteSize = 1 << reductionBits;
  try {
    std::vector<TGIFColor> palette;
    if (!bitmap.Empty()) {
      TColorQuantizer quantizer(paletteSize);
      quantizer.AddBitmap(bitmap);
      palette = quantizer.LeafColors();
    }
    palette.resize(static_cast<std::size_t>(paletteSize));  // the rest of the palette is black
    TPaletteBitmap result(bitmap.Width(), bitmap.Height(), std::move(palette));
    if (!result.Empty()) {
      auto lookup = std::make_unique<TFastColorLookup>(result.Palette());
      TDitherEngine engine(result.Width(), *lookup);
      for (int y = 0; y < result.Height(); ++y) engine.MapRow(bitmap.ScanLine(y), result.ScanLine(y));
    }
    return result;
  } catch (const std::bad_alloc&) {
    throw GIFException("Failed to allocate memory for GIF DIB");
  }
}
