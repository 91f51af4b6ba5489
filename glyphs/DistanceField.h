#pragma once
// Signed distance fields of glyphs: each pixel the distance from its centre to the glyph's outline, in
// pixels, clamped to plus or minus the spread and mapped to 0 to 255 (128 on the outline, more inside).
// The outline is taken from the glyph drawn eight times as large (kDistanceFieldScale), so that the
// distances are exact to an eighth of a pixel and the same on every system that draws the same font
// file alike.

#include <cstdint>
#include <vector>

#include "glyphs/GlyphExport.h"

inline constexpr int kDistanceFieldScale = 8;

// The field of the character over an area width x height pixels whose left edge lies `left` pixels
// right of the pen and whose top edge lies `top` pixels below the line's top, at the renderer's size.
// fine: the same font at kDistanceFieldScale times the size.
std::vector<std::uint8_t> DistanceField(const ui::TextRenderer& renderer, const ui::TextRenderer& fine,
                                        const TGlyphCharacter& character, int left, int top, int width,
                                        int height, int spread);

// The squared Euclidean distance of every pixel to the nearest pixel where `inside` is true (a large
// value where there is none), over a width x height grid: exact, in linear time.
std::vector<double> SquaredDistances(const std::vector<bool>& inside, int width, int height);
