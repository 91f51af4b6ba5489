#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "imaging/Graphics.h"

void TBitmap::SetSize(int width, int height) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  if (width == width_ && height == height_) return;
  if (width == 0 || height == 0) {
    // A bitmap without pixels holds none at all.
    pixels_.clear();
    pixels_.shrink_to_fit();
  } else {
    // Counted in 64 bits: on a 32-bit target width x height can wrap around to a small number, which
    // would leave rows outside the allocated pixels.
    const std::uint64_t count = static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height);
    if (count > pixels_.max_size()) {
      throw std::length_error("bitmap too large: " + std::to_string(width) + " x " + std::to_string(height) +
                              " pixels");
    }
    std::vector<Pixel32> resized(static_cast<std::size_t>(count), Reduce(ToPixel32(fillColor_)));
    const int keepWidth = std::min(width, width_);
    const int keepHeight = std::min(height, height_);
    for (int y = 0; y < keepHeight; ++y) {
      std::copy_n(ScanLine(y), keepWidth, resized.data() + static_cast<std::size_t>(y) * width);
    }
    pixels_.swap(resized);
  }
  width_ = width;
  height_ = height;
}

void TBitmap::SetBitsPerPixel(int bits) {
  if (bits != 16 && bits != 24 && bits != 32) {
    throw std::invalid_argument("unsupported bits per pixel: " + std::to_string(bits));
  }
  bitsPerPixel_ = bits;
  for (auto& p : pixels_) p = Reduce(p);
}

void TBitmap::SetPixel(int x, int y, TColor color) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
  ScanLine(y)[x] = Reduce(ToPixel32(color));
}

TColor TBitmap::Pixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
  return FromPixel32(ScanLine(y)[x]);
}

void TBitmap::FillRect(int left, int top, int width, int height, TColor color) {
  // In 64 bits, so that extreme arguments cannot wrap around.
  const int x0 = std::max(left, 0), y0 = std::max(top, 0);
  const int x1 = static_cast<int>(std::min<long long>(static_cast<long long>(left) + width, width_));
  const int y1 = static_cast<int>(std::min<long long>(static_cast<long long>(top) + height, height_));
  if (x0 >= x1 || y0 >= y1) return;
  const Pixel32 p = Reduce(ToPixel32(color));
  for (int y = y0; y < y1; ++y) std::fill(ScanLine(y) + x0, ScanLine(y) + x1, p);
}
