#pragma once
// The pictures the imaging benchmarks write, made in code from fixed seeds so that every run and every
// peer program sees the same pixels.

#include <cstddef>
#include <string>
#include <vector>

#include "imaging/Graphics.h"

namespace bench_pictures {

constexpr int kScreenWidth = 1920;
constexpr int kScreenHeight = 1080;
constexpr int kGlyphWidth = 12;
constexpr int kGlyphHeight = 14;
constexpr int kGlyphCount = 256;

// A desktop capture: a flat background, windows with gradient title bars, flat panels, lines of
// anti-aliased text strokes and a few colour ramps; about 2,000 distinct colours.
TBitmap Screenshot();

// A photograph stand-in: smooth colour waves with per-pixel noise; over a million distinct colours.
TBitmap Photo();

// 256 glyph cells of 12 x 14 pixels: dark strokes with grey edges on white, one per character code.
std::vector<TBitmap> Glyphs();

std::size_t CountColours(const TBitmap& bitmap);

// Writes the bitmap as a binary PPM (P6, red, green, blue per pixel, top row first).
void WritePpm(const TBitmap& bitmap, const std::string& fileName);

}  // namespace bench_pictures
