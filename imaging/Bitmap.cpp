#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>

#include "imaging/Graphics.h"

namespace {

// The top bytes of a run of pixel words ORed together: 0 when every one of them is 0. Eight
// independent lanes, which the compiler turns into vector instructions even where it does not
// vectorise a plain loop: a picture of the screen's size is looked at in a fraction of the time it
// takes to write it.
std::uint32_t TopBytes(const TBitmap::Pixel32* pixels, std::size_t count) {
  std::uint32_t lanes[8] = {};
  std::size_t i = 0;
  for (; i + 8 <= count; i += 8) {
    for (int lane = 0; lane < 8; ++lane) lanes[lane] |= pixels[i + lane];
  }
  std::uint32_t any = 0;
  for (const std::uint32_t lane : lanes) any |= lane;
  for (; i < count; ++i) any |= pixels[i];
  return any & 0xFF000000u;
}

}  // namespace

TBitmap::TBitmap(const TBitmap& other)
    : width_(other.width_),
      height_(other.height_),
      bitsPerPixel_(other.bitsPerPixel_),
      fillColor_(other.fillColor_),
      pixels_(Allocate(other.width_, other.height_)),
      topBytesClear_(other.topBytesClear_.load(std::memory_order_relaxed)) {
  if (pixels_) std::memcpy(pixels_.get(), other.pixels_.get(), PixelCount() * sizeof(Pixel32));
}

TBitmap::TBitmap(TBitmap&& other) noexcept
    : width_(std::exchange(other.width_, 0)),
      height_(std::exchange(other.height_, 0)),
      bitsPerPixel_(other.bitsPerPixel_),
      fillColor_(other.fillColor_),
      pixels_(std::move(other.pixels_)),
      topBytesClear_(other.topBytesClear_.exchange(true, std::memory_order_relaxed)) {}

TBitmap& TBitmap::operator=(const TBitmap& other) {
  if (this == &other) return *this;
  // A picture with as many pixels takes the copy into the memory it has: fresh memory of a picture's
  // size costs more to get (the system hands it out page by page) than to fill. New memory is got
  // before anything changes, so that a failure leaves this bitmap as it was.
  if (other.PixelCount() != PixelCount() || !pixels_) {
    pixels_ = Allocate(other.width_, other.height_);
  }
  width_ = other.width_;
  height_ = other.height_;
  bitsPerPixel_ = other.bitsPerPixel_;
  fillColor_ = other.fillColor_;
  if (pixels_) std::memcpy(pixels_.get(), other.pixels_.get(), PixelCount() * sizeof(Pixel32));
  topBytesClear_.store(other.topBytesClear_.load(std::memory_order_relaxed), std::memory_order_relaxed);
  return *this;
}

TBitmap& TBitmap::operator=(TBitmap&& other) noexcept {
  if (this != &other) {
    // The moved-from bitmap is left empty, with a consistent size, rather than with a size and no
    // pixels.
    width_ = std::exchange(other.width_, 0);
    height_ = std::exchange(other.height_, 0);
    bitsPerPixel_ = other.bitsPerPixel_;
    fillColor_ = other.fillColor_;
    pixels_ = std::move(other.pixels_);
    topBytesClear_.store(other.topBytesClear_.exchange(true, std::memory_order_relaxed),
                         std::memory_order_relaxed);
  }
  return *this;
}

std::unique_ptr<TBitmap::Pixel32[]> TBitmap::Allocate(int width, int height) {
  if (width <= 0 || height <= 0) return nullptr;
  // Counted in 64 bits: on a 32-bit target width x height can wrap around to a small number, which
  // would leave rows outside the allocated pixels.
  const std::uint64_t count = static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height);
  if (count > std::numeric_limits<std::size_t>::max() / sizeof(Pixel32) / 2) {
    throw std::length_error("bitmap too large: " + std::to_string(width) + " x " + std::to_string(height) +
                            " pixels");
  }
  return std::make_unique_for_overwrite<Pixel32[]>(static_cast<std::size_t>(count));
}

void TBitmap::SetSize(int width, int height) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  if (width == width_ && height == height_) return;
  // A bitmap without pixels holds none at all.
  std::unique_ptr<Pixel32[]> resized = Allocate(width, height);
  if (resized) {
    const Pixel32 fill = Reduce(ToPixel32(fillColor_));
    const int keepWidth = std::min(width, width_);
    const int keepHeight = std::min(height, height_);
    const auto stride = static_cast<std::size_t>(width);
    // The new rows, bottom row first: those below the old picture take the fill colour; the others
    // take the old row's pixels at the left and the fill colour to the right of them.
    for (int y = height - 1; y >= 0; --y) {
      Pixel32* row = resized.get() + static_cast<std::size_t>(height - 1 - y) * stride;
      int kept = 0;
      if (y < keepHeight) {
        kept = keepWidth;
        std::copy_n(RowAt(y), kept, row);
      }
      std::fill(row + kept, row + width, fill);
    }
  }
  pixels_ = std::move(resized);
  width_ = width;
  height_ = height;
  // The old pixels may carry top bytes; an empty picture has none.
  if (!pixels_) topBytesClear_.store(true, std::memory_order_relaxed);
}

void TBitmap::SetSizeForOverwrite(int width, int height) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  // The memory of a picture of the same size serves again: its pixels are as undefined as new ones.
  if (width != width_ || height != height_) {
    std::unique_ptr<Pixel32[]> fresh = Allocate(width, height);
    pixels_ = std::move(fresh);
    width_ = width;
    height_ = height;
  }
  topBytesClear_.store(!pixels_, std::memory_order_relaxed);
}

void TBitmap::SetBitsPerPixel(int bits) {
  if (bits != 16 && bits != 24 && bits != 32) {
    throw std::invalid_argument("unsupported bits per pixel: " + std::to_string(bits));
  }
  bitsPerPixel_ = bits;
  Pixel32* pixels = pixels_.get();
  const std::size_t count = PixelCount();
  const Pixel32 mask = Reduce(0xFFFFFFFFu);
  for (std::size_t i = 0; i < count; ++i) pixels[i] &= mask;
  topBytesClear_.store(true, std::memory_order_relaxed);
}

void TBitmap::SetPixel(int x, int y, TColor color) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
  RowAt(y)[x] = Reduce(ToPixel32(color));
}

TColor TBitmap::Pixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
  return FromPixel32(RowAt(y)[x]);
}

void TBitmap::FillRect(int left, int top, int width, int height, TColor color) {
  // In 64 bits, so that extreme arguments cannot wrap around.
  const int x0 = std::max(left, 0), y0 = std::max(top, 0);
  const int x1 = static_cast<int>(std::min<long long>(static_cast<long long>(left) + width, width_));
  const int y1 = static_cast<int>(std::min<long long>(static_cast<long long>(top) + height, height_));
  if (x0 >= x1 || y0 >= y1) return;
  const Pixel32 p = Reduce(ToPixel32(color));
  for (int y = y0; y < y1; ++y) std::fill(RowAt(y) + x0, RowAt(y) + x1, p);
}

void TBitmap::AssignBits(const void* bits) {
  const auto* source = static_cast<const Pixel32*>(bits);
  Pixel32* pixels = pixels_.get();
  const std::size_t count = PixelCount();
  const Pixel32 mask = Reduce(0xFFFFFFFFu);
  // One pass, in which the words are copied and masked at once, which costs no more than the copy.
  for (std::size_t i = 0; i < count; ++i) pixels[i] = source[i] & mask;
  topBytesClear_.store(true, std::memory_order_relaxed);
}

bool TBitmap::TopBytesClear() const {
  if (topBytesClear_.load(std::memory_order_relaxed)) return true;
  if (TopBytes(pixels_.get(), PixelCount()) != 0) return false;
  topBytesClear_.store(true, std::memory_order_relaxed);
  return true;
}

void TBitmap::ClearTopBytes() {
  if (TopBytesClear()) return;
  Pixel32* pixels = pixels_.get();
  const std::size_t count = PixelCount();
  for (std::size_t i = 0; i < count; ++i) pixels[i] &= 0x00FFFFFFu;
  topBytesClear_.store(true, std::memory_order_relaxed);
}
