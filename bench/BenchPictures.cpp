#include "bench/BenchPictures.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <stdexcept>
#include <unordered_set>

namespace bench_pictures {

namespace {

// A small, fast generator with a fixed sequence for a given seed.
class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ull + 1) {}
  std::uint32_t Next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 7;
    state_ ^= state_ << 17;
    return static_cast<std::uint32_t>(state_ >> 16);
  }
  int Below(int n) { return static_cast<int>(Next() % static_cast<std::uint32_t>(n)); }

 private:
  std::uint64_t state_;
};

unsigned Mix(unsigned a, unsigned b, int weight, int of) { return (a * (of - weight) + b * weight) / of; }

TColor Blend(TColor a, TColor b, int weight, int of) {
  return RGB(Mix(GetRValue(a), GetRValue(b), weight, of), Mix(GetGValue(a), GetGValue(b), weight, of),
             Mix(GetBValue(a), GetBValue(b), weight, of));
}

void HorizontalGradient(TBitmap& bitmap, int left, int top, int width, int height, TColor from, TColor to) {
  for (int x = 0; x < width; ++x) bitmap.FillRect(left + x, top, 1, height, Blend(from, to, x, width));
}

// One line of text-like strokes: cells of letter width, each with a few vertical and horizontal
// strokes whose edges are blended with the background, as font smoothing draws them.
void TextLine(TBitmap& bitmap, Random& random, int left, int top, int width, TColor ink, TColor paper) {
  const TColor edge = Blend(paper, ink, 1, 3), half = Blend(paper, ink, 2, 3);
  int x = left;
  while (x + 8 < left + width) {
    const int letters = 2 + random.Below(8);
    for (int i = 0; i < letters && x + 8 < left + width; ++i, x += 7) {
      const int strokes = 1 + random.Below(3);
      for (int s = 0; s < strokes; ++s) {
        if (random.Below(2) == 0) {
          const int sx = x + random.Below(5), sy = top + random.Below(3), length = 5 + random.Below(5);
          bitmap.FillRect(sx, sy, 1, length, ink);
          bitmap.FillRect(sx + 1, sy, 1, length, edge);
          bitmap.SetPixel(sx, sy - 1, half);
        } else {
          const int sx = x + random.Below(2), sy = top + 2 + random.Below(7), length = 3 + random.Below(4);
          bitmap.FillRect(sx, sy, length, 1, ink);
          bitmap.FillRect(sx, sy + 1, length, 1, edge);
        }
      }
    }
    x += 5;  // word gap
  }
}

void Window(TBitmap& bitmap, Random& random, int left, int top, int width, int height, TColor titleFrom,
            TColor titleTo) {
  const TColor frame = RGB(100, 100, 100), face = RGB(240, 240, 240), paper = clWhite;
  bitmap.FillRect(left, top, width, height, frame);
  bitmap.FillRect(left + 1, top + 1, width - 2, height - 2, face);
  HorizontalGradient(bitmap, left + 1, top + 1, width - 2, 22, titleFrom, titleTo);
  TextLine(bitmap, random, left + 8, top + 6, std::min(width / 2, 300), clWhite, titleFrom);
  // Menu bar and a toolbar of flat buttons.
  TextLine(bitmap, random, left + 6, top + 27, width / 3, clBlack, face);
  for (int b = 0; b < width / 40 - 1; ++b) {
    bitmap.FillRect(left + 6 + b * 30, top + 46, 24, 22, RGB(225, 230, 240));
    bitmap.FillRect(left + 10 + b * 30, top + 50, 16, 14, RGB(60 + 20 * (b % 8), 120, 200 - 15 * (b % 8)));
  }
  // The client area: white paper with lines of black text, some of them blue links.
  const int clientTop = top + 74, clientHeight = height - 74 - 24;
  bitmap.FillRect(left + 4, clientTop, width - 8, clientHeight, paper);
  for (int y = clientTop + 6; y + 14 < clientTop + clientHeight; y += 16) {
    const bool link = random.Below(6) == 0;
    TextLine(bitmap, random, left + 12, y, width - 24 - random.Below(width / 3),
             link ? RGB(0, 90, 200) : clBlack, paper);
  }
  // A status bar.
  bitmap.FillRect(left + 1, top + height - 22, width - 2, 21, face);
  TextLine(bitmap, random, left + 8, top + height - 18, width / 4, RGB(60, 60, 60), face);
}

}  // namespace

TBitmap Screenshot() {
  Random random(1);
  TBitmap bitmap;
  bitmap.SetSize(kScreenWidth, kScreenHeight);
  bitmap.Fill(RGB(0, 99, 177));  // desktop
  // Desktop icons: small colour ramps with a caption.
  for (int i = 0; i < 8; ++i) {
    const int top = 20 + i * 90;
    HorizontalGradient(bitmap, 30, top, 40, 40, RGB(40 * (i % 6), 200, 60 + 20 * i), RGB(250, 180, 40));
    TextLine(bitmap, random, 22, top + 48, 56, clWhite, RGB(0, 99, 177));
  }
  Window(bitmap, random, 140, 40, 1000, 700, RGB(0, 50, 140), RGB(60, 150, 230));
  Window(bitmap, random, 700, 260, 1100, 720, RGB(30, 30, 110), RGB(140, 170, 250));
  Window(bitmap, random, 1300, 60, 560, 420, RGB(90, 20, 60), RGB(220, 120, 150));
  // A chart in the last window: bars with vertical shading.
  for (int bar = 0; bar < 12; ++bar) {
    const int height = 60 + random.Below(200), left = 760 + bar * 40;
    for (int y = 0; y < height; ++y) {
      bitmap.FillRect(left, 900 - y, 28, 1,
                      Blend(RGB(20, 120, 60 + 10 * bar), RGB(160, 230, 200), y / 2, 150));
    }
  }
  // The task bar.
  HorizontalGradient(bitmap, 0, kScreenHeight - 40, kScreenWidth, 40, RGB(20, 30, 50), RGB(40, 60, 90));
  for (int b = 0; b < 6; ++b) {
    bitmap.FillRect(60 + b * 170, kScreenHeight - 36, 160, 32, RGB(70, 90, 120));
    TextLine(bitmap, random, 70 + b * 170, kScreenHeight - 26, 140, clWhite, RGB(70, 90, 120));
  }
  return bitmap;
}

TBitmap Photo() {
  Random random(2);
  TBitmap bitmap;
  bitmap.SetSize(kScreenWidth, kScreenHeight);
  for (int y = 0; y < kScreenHeight; ++y) {
    TBitmap::Pixel32* row = bitmap.ScanLine(y);
    for (int x = 0; x < kScreenWidth; ++x) {
      const double r = 128 + 100 * std::sin(x / 300.0 + y / 500.0);
      const double g = 128 + 100 * std::sin(x / 410.0 - y / 230.0 + 1.0);
      const double b = 128 + 100 * std::cos((x + y) / 350.0);
      const std::uint32_t noise = random.Next();
      const auto channel = [](double base, std::uint32_t n) {
        return static_cast<std::uint32_t>(
            std::clamp(static_cast<int>(base) + static_cast<int>(n % 25) - 12, 0, 255));
      };
      row[x] = (channel(r, noise) << 16) | (channel(g, noise >> 8) << 8) | channel(b, noise >> 16);
    }
  }
  return bitmap;
}

std::vector<TBitmap> Glyphs() {
  std::vector<TBitmap> glyphs(kGlyphCount);
  for (int code = 0; code < kGlyphCount; ++code) {
    Random random(1000 + code);
    TBitmap& glyph = glyphs[code];
    glyph.SetSize(kGlyphWidth, kGlyphHeight);
    glyph.Fill(clWhite);
    if (code == 32 || code == 160) continue;  // blanks
    const int strokes = 2 + random.Below(4);
    for (int s = 0; s < strokes; ++s) {
      if (random.Below(2) == 0) {
        const int x = 2 + random.Below(7), y = 2 + random.Below(4), length = 5 + random.Below(6);
        glyph.FillRect(x, y, 1 + random.Below(2), length, clBlack);
        glyph.FillRect(x - 1, y, 1, length, RGB(160, 160, 160));
      } else {
        const int x = 1 + random.Below(4), y = 2 + random.Below(10), length = 4 + random.Below(6);
        glyph.FillRect(x, y, length, 1, clBlack);
        glyph.FillRect(x, y + 1, length, 1, RGB(96, 96, 96));
      }
    }
  }
  return glyphs;
}

std::size_t CountColours(const TBitmap& bitmap) {
  std::unordered_set<std::uint32_t> colours;
  for (int y = 0; y < bitmap.Height(); ++y) {
    for (int x = 0; x < bitmap.Width(); ++x) colours.insert(bitmap.ScanLine(y)[x] & 0xFFFFFF);
  }
  return colours.size();
}

void WritePpm(const TBitmap& bitmap, const std::string& fileName) {
  std::ofstream out(fileName, std::ios::binary | std::ios::trunc);
  if (!out) throw std::runtime_error("cannot create " + fileName);
  out << "P6\n" << bitmap.Width() << " " << bitmap.Height() << "\n255\n";
  std::vector<char> row(static_cast<std::size_t>(bitmap.Width()) * 3);
  for (int y = 0; y < bitmap.Height(); ++y) {
    for (int x = 0; x < bitmap.Width(); ++x) {
      const TColor c = bitmap.Pixel(x, y);
      row[3 * x] = static_cast<char>(GetRValue(c));
      row[3 * x + 1] = static_cast<char>(GetGValue(c));
      row[3 * x + 2] = static_cast<char>(GetBValue(c));
    }
    out.write(row.data(), static_cast<std::streamsize>(row.size()));
  }
  if (!out.flush()) throw std::runtime_error("cannot write " + fileName);
}

}  // namespace bench_pictures
