#pragma once
// Packs rectangles into pages: MaxRects with the best-short-side-fit rule (each rectangle goes where it
// leaves the least room along the shorter side of a free area), the rectangles taken tallest first.
// The same rectangles in the same order always give the same places.

#include <stdexcept>
#include <vector>

struct TPackSize {
  int Width = 0;
  int Height = 0;
};

struct TPackPlace {
  int Page = 0;
  int X = 0;
  int Y = 0;
  bool operator==(const TPackPlace&) const = default;
};

struct TPacking {
  std::vector<TPackPlace> Places;  // one a rectangle, in the order given
  int Pages = 0;
  int PageWidth = 0;   // the size of every page: the size asked for, or, when all fit on one page, the
  int PageHeight = 0;  // part of it they use (rounded up to powers of two when asked)
};

// spacing: pixels kept free between two rectangles (not at the page's edges). powerOfTwo: the pages'
// sides are powers of two, the largest within the size asked for. Throws
// std::invalid_argument when a rectangle is larger than a page.
TPacking PackRectangles(const std::vector<TPackSize>& sizes, int pageWidth, int pageHeight, int spacing,
                        bool powerOfTwo);
