#pragma once
// The sizes in the headers of a BMP file, computed and checked before the BMP writer creates a file,
// and the same picture in memory as a packed device-independent bitmap.

#include <cstddef>
#include <cstdint>

class TBitmap;

// The header sizes of an uncompressed, bottom-up BMP without a colour table.
struct TBmpLayout {
  std::uint32_t stride = 0;     // bytes per stored row: W x D bits rounded up to a multiple of 4 bytes
  std::uint32_t imageSize = 0;  // stride x H: the pixel data size
  std::uint32_t fileSize = 0;   // the two headers (54 bytes) + the pixel data
};

constexpr std::uint32_t kDibHeaderSize = 40;
constexpr std::uint32_t kBmpHeadersSize = 14 + kDibHeaderSize;

// The layout of a width x height BMP at 16, 24 or 32 bits per pixel. Raises EImageError when the file
// size or the pixel data size does not fit the 32-bit header fields, so that no file ever carries a
// header that misstates its content; std::invalid_argument for a negative size or another depth.
TBmpLayout BmpLayout(int width, int height, int bitsPerPixel);

// The picture as a packed device-independent bitmap, the form the clipboard's DIB format holds: a 24-bit
// BMP file without its 14-byte file header (the information header, then the rows bottom row first).
// DibBlockSize is its size in bytes (0 for a bitmap without pixels; raises as BmpLayout does);
// WriteDibBlock fills that many bytes at block.
std::size_t DibBlockSize(const TBitmap& bitmap);
void WriteDibBlock(const TBitmap& bitmap, unsigned char* block);
