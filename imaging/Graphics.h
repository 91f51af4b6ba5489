#pragma once
// The portable in-memory picture and the BMP and JPEG writers.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
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

// System colours: a colour value with the top bit set names a system colour by its index.
constexpr TColor clBtnFace = 0x8000000F;
constexpr TColor clWindow = 0x80000005;
constexpr TColor clWindowText = 0x80000008;
// The real colour of a system colour on this system (an ordinary colour comes back unchanged).
TColor ColorToRGB(TColor color);

// A picture of Width() x Height() pixels at the depth it was created at (32 bits per pixel unless
// told otherwise: what a true-colour display gives). Pixels are held as 32-bit words in the layout of
// a 32-bit device-independent bitmap: blue in the low byte, then green, red and a byte that is not
// part of the colour (0 in everything the bitmap itself writes). The rows lie in memory as those of a
// bottom-up device-independent bitmap, the bottom row first, so that the whole picture moves to and
// from the platform's bitmaps and into a 32-bit BMP file in one piece, without turning it over.
// ScanLine(0) is still the top row: only where the rows lie differs from the order they are counted
// in. At 16 bits per pixel each channel keeps only its top 5 bits, as a device bitmap of that depth
// would.
class TBitmap {
 public:
  using Pixel32 = std::uint32_t;  // 0x00RRGGBB: bytes blue, green, red, 0

  TBitmap() = default;
  TBitmap(const TBitmap& other);
  TBitmap(TBitmap&& other) noexcept;
  TBitmap& operator=(const TBitmap& other);
  TBitmap& operator=(TBitmap&& other) noexcept;
  ~TBitmap() = default;

  int Width() const { return width_; }
  int Height() const { return height_; }
  bool Empty() const { return width_ <= 0 || height_ <= 0; }

  // Resizes; the old pixels stay top-left, the rest is filled with the fill colour. Negative sizes
  // count as 0. A size beyond memory raises std::length_error and leaves the bitmap as it was.
  void SetSize(int width, int height);
  void SetWidth(int width) { SetSize(width, height_); }
  void SetHeight(int height) { SetSize(width_, height); }
  // Resizes without keeping or filling anything: every pixel is undefined until written. For a
  // caller that writes the whole picture at once (a copy from the display or from a platform
  // bitmap), which then need not pay for a fill it overwrites.
  void SetSizeForOverwrite(int width, int height);

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

  // Row y (0 = top), Width() words. Rows lie bottom row first: ScanLine(y + 1) is Width() words
  // below ScanLine(y) in memory. A word written here may carry anything in its top byte.
  Pixel32* ScanLine(int y) {
    topBytesClear_.store(false, std::memory_order_relaxed);
    return RowAt(y);
  }
  const Pixel32* ScanLine(int y) const { return RowAt(y); }

  // All pixels: Height() rows of Width() words without gaps, the bottom row first (ScanLine(Height()
  // - 1)), as a bottom-up 32-bit device-independent bitmap holds them. Null for an empty bitmap.
  Pixel32* Bits() {
    topBytesClear_.store(false, std::memory_order_relaxed);
    return pixels_.get();
  }
  const Pixel32* Bits() const { return pixels_.get(); }

  // Sets every pixel from memory laid out as Bits() gives it: Height() rows of Width() 32-bit
  // pixels, the bottom row first (a bottom-up 32-bit device-independent bitmap's). The fourth byte
  // of each pixel is dropped on the way, and at 16 bits the channels are cut to their top 5 bits,
  // so that the words are what the bitmap itself writes.
  void AssignBits(const void* bits);

  // True when the top byte of every pixel word is 0, so that the words are exactly the 32-bit pixels
  // of a BMP file. Known without a look at the pixels unless they were written through ScanLine or
  // Bits; then they are checked once, and the answer is kept until they are written that way again.
  bool TopBytesClear() const;
  // Sets the top byte of every pixel word to 0 (the colours stay).
  void ClearTopBytes();

  static constexpr Pixel32 ToPixel32(TColor c) {
    return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
  }
  static constexpr TColor FromPixel32(Pixel32 p) {
    return ((p & 0xFF) << 16) | (p & 0xFF00) | ((p >> 16) & 0xFF);
  }

 private:
  Pixel32 Reduce(Pixel32 p) const { return bitsPerPixel_ == 16 ? (p & 0xF8F8F8u) : (p & 0xFFFFFFu); }
  Pixel32* RowAt(int y) const {
    return pixels_.get() + static_cast<std::size_t>(height_ - 1 - y) * static_cast<std::size_t>(width_);
  }
  std::size_t PixelCount() const {
    return static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_);
  }
  // Fresh pixel memory for width x height pixels, not initialised; null for an empty size. Raises
  // std::length_error for a size beyond memory.
  static std::unique_ptr<Pixel32[]> Allocate(int width, int height);

  int width_ = 0;
  int height_ = 0;
  int bitsPerPixel_ = 32;
  TColor fillColor_ = clWhite;
  std::unique_ptr<Pixel32[]> pixels_;
  // Whether every pixel word is known to have a top byte of 0. Written by the const TopBytesClear,
  // which only ever learns what is true of unchanged pixels; atomic, so that reading one bitmap from
  // several threads stays free of data races.
  mutable std::atomic<bool> topBytesClear_{true};
};

// Writes the bitmap as an uncompressed BMP at its own depth, creating or replacing the file.
// A bitmap without pixels gives an empty file. A picture too large for the 32-bit size fields of the
// headers raises EImageError before the file is created (imaging/Bmp.h).
void SaveBitmapAsBmp(const TBitmap& bitmap, const std::string& fileName);

// Writes the bitmap as a quality-90 baseline JFIF JPEG, creating or replacing the file.
// A bitmap without pixels gives an empty file.
void SaveBitmapAsJpeg(const TBitmap& bitmap, const std::string& fileName);
