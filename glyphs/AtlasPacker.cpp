#include "glyphs/AtlasPacker.h"

#include <algorithm>
#include <climits>
#include <numeric>
#include <string>

namespace {

struct TArea {
  int X, Y, Width, Height;
  bool Contains(const TArea& other) const {
    return other.X >= X && other.Y >= Y && other.X + other.Width <= X + Width &&
           other.Y + other.Height <= Y + Height;
  }
};

int PowerOfTwoAtLeast(int value) {
  int power = 1;
  while (power < value) power *= 2;
  return power;
}

// One page's free areas (MaxRects: overlapping maximal free rectangles).
class TPage {
 public:
  TPage(int width, int height) : free_{{0, 0, width, height}} {}

  // The best place for a width x height rectangle by the short-side rule; false when none fits.
  bool Find(int width, int height, TArea& place, long long& shortSide, long long& longSide) const {
    bool found = false;
    for (const TArea& area : free_) {
      if (area.Width < width || area.Height < height) continue;
      const long long leftoverX = area.Width - width, leftoverY = area.Height - height;
      const long long shorter = std::min(leftoverX, leftoverY), longer = std::max(leftoverX, leftoverY);
      if (!found || shorter < shortSide || (shorter == shortSide && longer < longSide)) {
        found = true;
        shortSide = shorter;
        longSide = longer;
        place = {area.X, area.Y, width, height};
      }
    }
    return found;
  }

  void Occupy(const TArea& used) {
    std::vector<TArea> next;
    std::vector<bool> cut;  // whether next[i] is a part cut from a free area the used one overlaps
    next.reserve(free_.size() + 4);
    cut.reserve(free_.size() + 4);
    const auto add = [&](const TArea& area, bool piece) {
      next.push_back(area);
      cut.push_back(piece);
    };
    for (const TArea& area : free_) {
      const bool overlaps = used.X < area.X + area.Width && used.X + used.Width > area.X &&
                            used.Y < area.Y + area.Height && used.Y + used.Height > area.Y;
      if (!overlaps) {
        add(area, false);
        continue;
      }
      // The parts of the free area beside the used one, each as large as it can be.
      if (used.X > area.X) add({area.X, area.Y, used.X - area.X, area.Height}, true);
      if (used.X + used.Width < area.X + area.Width)
        add({used.X + used.Width, area.Y, area.X + area.Width - used.X - used.Width, area.Height}, true);
      if (used.Y > area.Y) add({area.X, area.Y, area.Width, used.Y - area.Y}, true);
      if (used.Y + used.Height < area.Y + area.Height)
        add({area.X, used.Y + used.Height, area.Width, area.Y + area.Height - used.Y - used.Height}, true);
    }
    // Areas inside others are dropped (the first of two equal ones stays). Only cut parts can be: no
    // free area lay inside another before, and a part lies inside the area it was cut from, so no
    // untouched area lies inside a part either.
    free_.clear();
    for (std::size_t i = 0; i < next.size(); ++i) {
      bool inside = false;
      for (std::size_t j = 0; cut[i] && j < next.size() && !inside; ++j) {
        if (i == j || !next[j].Contains(next[i])) continue;
        inside = !next[i].Contains(next[j]) || j < i;
      }
      if (!inside) free_.push_back(next[i]);
    }
  }

 private:
  std::vector<TArea> free_;
};

}  // namespace

TPacking PackRectangles(const std::vector<TPackSize>& sizes, int pageWidth, int pageHeight, int spacing,
                        bool powerOfTwo) {
  if (pageWidth <= 0 || pageHeight <= 0 || spacing < 0) throw std::invalid_argument("no page to pack into");
  // Pages with sides that are powers of two: the largest within the size asked for.
  if (powerOfTwo) {
    while ((pageWidth & (pageWidth - 1)) != 0) pageWidth &= pageWidth - 1;
    while ((pageHeight & (pageHeight - 1)) != 0) pageHeight &= pageHeight - 1;
  }
  // Every rectangle keeps `spacing` free to its right and below it; the page is as much larger, so that
  // none is kept at its right and bottom edges.
  const int width = pageWidth + spacing, height = pageHeight + spacing;
  std::vector<std::size_t> order(sizes.size());
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    if (sizes[a].Height != sizes[b].Height) return sizes[a].Height > sizes[b].Height;
    return sizes[a].Width > sizes[b].Width;
  });

  TPacking packing;
  packing.Places.resize(sizes.size());
  std::vector<TPage> pages;
  int usedRight = 0, usedBottom = 0;
  for (const std::size_t index : order) {
    const TPackSize size = sizes[index];
    if (size.Width > pageWidth || size.Height > pageHeight)
      throw std::invalid_argument("a glyph of " + std::to_string(size.Width) + " x " +
                                  std::to_string(size.Height) + " pixels does not fit a page of " +
                                  std::to_string(pageWidth) + " x " + std::to_string(pageHeight));
    if (size.Width <= 0 || size.Height <= 0) {
      packing.Places[index] = {0, 0, 0};
      continue;
    }
    const int w = size.Width + spacing, h = size.Height + spacing;
    bool placed = false;
    for (std::size_t page = 0; page < pages.size() && !placed; ++page) {
      TArea area{};
      long long shortSide = LLONG_MAX, longSide = LLONG_MAX;
      if (!pages[page].Find(w, h, area, shortSide, longSide)) continue;
      pages[page].Occupy(area);
      packing.Places[index] = {static_cast<int>(page), area.X, area.Y};
      placed = true;
    }
    if (!placed) {
      pages.emplace_back(width, height);
      const TArea area{0, 0, w, h};
      pages.back().Occupy(area);
      packing.Places[index] = {static_cast<int>(pages.size() - 1), 0, 0};
    }
    const TPackPlace& where = packing.Places[index];
    if (where.Page == 0) {
      usedRight = std::max(usedRight, where.X + size.Width);
      usedBottom = std::max(usedBottom, where.Y + size.Height);
    }
  }
  packing.Pages = std::max<int>(1, static_cast<int>(pages.size()));
  packing.PageWidth = pageWidth;
  packing.PageHeight = pageHeight;
  if (pages.size() <= 1) {
    packing.PageWidth = std::max(1, usedRight);
    packing.PageHeight = std::max(1, usedBottom);
    if (powerOfTwo) {
      packing.PageWidth = PowerOfTwoAtLeast(packing.PageWidth);
      packing.PageHeight = PowerOfTwoAtLeast(packing.PageHeight);
    }
  }
  return packing;
}
