#pragma once
// The portable in-memory picture and the BMP and JPEG writers.

#include <cstdint>
#include <string>
#include <vector>

// A colour value: red in the low byte, green in the second, blue in the third (0x00BBGGRR). A value
// with the top bit set names a system colour by its index.
using TColor = std::uint32_t;

constexpr TColor RGB(unsigned red, unsigned green, unsigned blue) {
  return (red & 0xFF) | ((green & 0xFF) << 8) | ((blue & 0xFF) << 16);
}
constexpr unsigned GetRValue(TColor c) { return c & 0xFF; }
constexpr unsigned GetGValue(TColor c) { return (c >> 8) & 0xFF; }
constexpr unsigned GetBValue(TColor c) { return (c >> 16) & 0xFF; }

constexpr TColor clBlack = 0x000000;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clSilver = 0xC0C0C0;

// A picture of Width() x Height() pixels at the depth it was created at (32 bits per pixel unless
// told otherwise: what a true-colour display gives). Pixels are held as 32-bit words in the layout of
// a top-down 32-bit device-independent bitmap: blue in the low byte, then green, red and a zero byte,
// so rows move to and from the platform's bitmaps and the BMP file without conversion. At 16 bits per
// pixel each channel keeps only its top 5 bits, as a device bitmap of that depth would.
class TBitmap {
 public:
  using Pixel32 = std::uint32_t;  // 0x00RRGGBB: bytes blue, green, red, 0

  TBitmap() = default;

  int Width() const { return width_; }
  int Height() const { return height_; }
  bool Empty() const { return width_ <= 0 || height_ <= 0; }

  // Resizes; the old pixels stay top-left, the rest is filled with the fill colour. Negative sizes
  // count as 0.
  void SetSize(int width, int height);
  void SetWidth(int width) { SetSize(width, height_); }
  void SetHeight(int height) { SetSize(width_, height); }

  // 16, 24 or 32; other values raise std::invalid_argument. Lowering to 16 reduces the pixels held.
  void SetBitsPerPixel(int bits);
  int BitsPerPixel() const { return bitsPerPixel_; }

  // The canvas fill colour: what new area gets when the bitmap grows, and what Fill uses.
  TColor FillColor() const { return fillColor_; }
  void SetFillColor(TColor color) { fillColor_ = color; }

  // Pixel access in TColor values; coordinates outside the picture are ignored (Pixel returns 0).
  void SetPixel(int x, int y, TColor color);
  TColor Pixel(int x, int y) const;
  // Fills a rectangle (clipped to the picture) with a colour.
  void FillRect(int left, int top, int width, int height, TColor color);
  void Fill(TColor color) { FillRect(0, 0, width_, height_, color); }

  // Row y (0 = top), Width() words.
  Pixel32* ScanLine(int y) { return pixels_.data() + static_cast<std::size_t>(y) * width_; }
  const Pixel32* ScanLine(int y) const { return pixels_.data() + static_cast<std::size_t>(y) * width_; }

  static constexpr Pixel32 ToPixel32(TColor c) {
    return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
  }
  static constexpr TColor FromPixel32(Pixel32 p) {
    return ((p & 0xFF) << 16) | (p & 0xFF00) | ((p >> 16) & 0xFF);
  }

 private:
  Pixel32 Reduce(Pixel32 p) const { return bitsPerPixel_ == 16 ? (p & 0xF8F8F8u) : (p & 0xFFFFFFu); }

  int width_ = 0;
  int height_ = 0;
  int bitsPerPixel_ = 32;
  TColor fillColor_ = clWhite;
  std::vector<Pixel32> pixels_;
};

// Writes the bitmap as an uncompressed BMP at its own depth, creating or replacing the file.
// A bitmap without pixels gives an empty file. A picture too large for the 32-bit size fields of the
// headers raises EImageError before the file is created (imaging/Bmp.h).
void SaveBitmapAsBmp(const TBitmap& bitmap, const std::string& fileName);

// Writes the bitmap as a quality-90 baseline JFIF JPEG, creating or replacing the file.
// A bitmap without pixels gives an empty file.
void SaveBitmapAsJpeg(const TBitmap& bitmap, const std::string& fileName);
