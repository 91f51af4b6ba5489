#include "glyphs/DistanceField.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr double kFar = 1e20;

// The lower envelope of parabolas over one row or column (the exact one-dimensional distance transform).
void Transform(const std::vector<double>& f, std::vector<double>& d, std::vector<int>& v,
               std::vector<double>& z) {
  const int n = static_cast<int>(f.size());
  int k = 0;
  v[0] = 0;
  z[0] = -std::numeric_limits<double>::infinity();
  z[1] = std::numeric_limits<double>::infinity();
  for (int q = 1; q < n; ++q) {
    double s = 0;
    while (true) {
      s = ((f[q] + static_cast<double>(q) * q) - (f[v[k]] + static_cast<double>(v[k]) * v[k])) /
          (2.0 * q - 2.0 * v[k]);
      if (s > z[k] || k == 0) break;
      --k;
    }
    if (s <= z[k]) {
      v[0] = q;
      z[0] = -std::numeric_limits<double>::infinity();
      z[1] = std::numeric_limits<double>::infinity();
      k = 0;
      continue;
    }
    ++k;
    v[k] = q;
    z[k] = s;
    z[k + 1] = std::numeric_limits<double>::infinity();
  }
  k = 0;
  for (int q = 0; q < n; ++q) {
    while (z[k + 1] < q) ++k;
    d[q] = static_cast<double>(q - v[k]) * (q - v[k]) + f[v[k]];
  }
}

}  // namespace

std::vector<double> SquaredDistances(const std::vector<bool>& inside, int width, int height) {
  std::vector<double> grid(static_cast<std::size_t>(width) * height);
  for (std::size_t i = 0; i < grid.size(); ++i) grid[i] = inside[i] ? 0.0 : kFar;
  const int longest = std::max(width, height);
  std::vector<double> f(static_cast<std::size_t>(longest)), d(f.size()), z(f.size() + 1);
  std::vector<int> v(f.size());
  for (int x = 0; x < width; ++x) {
    f.resize(static_cast<std::size_t>(height));
    d.resize(f.size());
    for (int y = 0; y < height; ++y)
      f[static_cast<std::size_t>(y)] = grid[static_cast<std::size_t>(y) * width + x];
    Transform(f, d, v, z);
    for (int y = 0; y < height; ++y)
      grid[static_cast<std::size_t>(y) * width + x] = d[static_cast<std::size_t>(y)];
  }
  for (int y = 0; y < height; ++y) {
    f.assign(grid.begin() + static_cast<std::ptrdiff_t>(y) * width,
             grid.begin() + static_cast<std::ptrdiff_t>(y + 1) * width);
    d.resize(f.size());
    Transform(f, d, v, z);
    std::copy(d.begin(), d.end(), grid.begin() + static_cast<std::ptrdiff_t>(y) * width);
  }
  return grid;
}

std::vector<std::uint8_t> DistanceField(const ui::TextRenderer& renderer, const ui::TextRenderer& fine,
                                        const TGlyphCharacter& character, int left, int top, int width,
                                        int height, int spread) {
  constexpr int S = kDistanceFieldScale;
  const int fineWidth = width * S, fineHeight = height * S;
  std::vector<std::uint8_t> field(static_cast<std::size_t>(width) * height, 0);
  if (width <= 0 || height <= 0) return field;
  // The fine drawing with its pen and baseline where the area's are, eight times as far out.
  TBitmap canvas;
  canvas.SetFillColor(clBlack);
  canvas.SetSize(fineWidth, fineHeight);
  const int penX = -left * S;
  const int lineY = (renderer.Ascent() - top) * S - fine.Ascent();
  if (character.Unicode) {
    const std::u32string text(1, static_cast<char32_t>(character.Code));
    fine.DrawOpaque(canvas, penX, lineY, text, clWhite, clBlack);
  } else {
    fine.DrawOpaque(canvas, penX, lineY, CodeText(static_cast<int>(character.Code)), clWhite, clBlack);
  }
  std::vector<bool> inside(static_cast<std::size_t>(fineWidth) * fineHeight), outside(inside.size());
  for (int y = 0; y < fineHeight; ++y) {
    const TBitmap::Pixel32* row = canvas.ScanLine(y);
    for (int x = 0; x < fineWidth; ++x) {
      const bool in = (row[x] >> 8 & 0xFF) >= 128;
      inside[static_cast<std::size_t>(y) * fineWidth + x] = in;
      outside[static_cast<std::size_t>(y) * fineWidth + x] = !in;
    }
  }
  const std::vector<double> toInside = SquaredDistances(inside, fineWidth, fineHeight);
  const std::vector<double> toOutside = SquaredDistances(outside, fineWidth, fineHeight);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      // From the pixel's centre to the outline, which runs halfway between an inside and an outside
      // pixel: the mean over the four fine pixels around the centre.
      double signedFine = 0;
      for (int v = S / 2 - 1; v <= S / 2; ++v)
        for (int u = S / 2 - 1; u <= S / 2; ++u) {
          const std::size_t fineIndex = static_cast<std::size_t>(y * S + v) * fineWidth + (x * S + u);
          signedFine += inside[fineIndex] ? std::sqrt(toOutside[fineIndex]) - 0.5
                                          : 0.5 - std::sqrt(toInside[fineIndex]);
        }
      const double distance = signedFine / 4 / S;
      const double value = std::clamp(0.5 + distance / (2.0 * spread), 0.0, 1.0);
      field[static_cast<std::size_t>(y) * width + x] = static_cast<std::uint8_t>(std::lround(value * 255.0));
    }
  }
  return field;
}
