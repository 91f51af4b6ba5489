#pragma once
// The sizes in the headers of a BMP file, computed and checked before the BMP writer creates a file.

#include <cstdint>

// The header sizes of an uncompressed, bottom-up BMP without a colour table.
struct TBmpLayout {
  std::uint32_t stride = 0;     // bytes per stored row: W x D bits rounded up to a multiple of 4 bytes
  std::uint32_t imageSize = 0;  // stride x H: the pixel data size
  std::uint32_t fileSize = 0;   // the two headers (54 bytes) + the pixel data
};

constexpr std::uint32_t kBmpHeadersSize = 14 + 40;

// The layout of a width x height BMP at 16, 24 or 32 bits per pixel. Raises EImageError when the file
// size or the pixel data size does not fit the 32-bit header fields, so that no file ever carries a
// header that misstates its content; std::invalid_argument for a negative size or another depth.
TBmpLayout BmpLayout(int width, int height, int bitsPerPixel);
