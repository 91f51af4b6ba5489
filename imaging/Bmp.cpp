// The BMP writer: an uncompressed, bottom-up Windows bitmap at the bitmap's own depth.

#include "imaging/Bmp.h"

#include <bit>
#include <cstring>
#include <limits>
#include <memory>
#include <stdexcept>
#include <string>

#include "imaging/Errors.h"
#include "imaging/FileStream.h"
#include "imaging/Graphics.h"

namespace {

void PutU16(unsigned char* at, std::uint32_t value) {
  at[0] = static_cast<unsigned char>(value);
  at[1] = static_cast<unsigned char>(value >> 8);
}

void PutU32(unsigned char* at, std::uint32_t value) {
  PutU16(at, value & 0xFFFF);
  PutU16(at + 2, value >> 16);
}

// One stored row at 32 bits: blue, green, red, 0 per pixel. The fourth byte is forced to 0 whatever
// a caller left in the top byte of a pixel word.
void PackRow32(const TBitmap::Pixel32* source, int width, unsigned char* target) {
  if constexpr (std::endian::native == std::endian::little) {
    for (int x = 0; x < width; ++x) {
      const std::uint32_t p = source[x] & 0x00FFFFFFu;
      std::memcpy(target + 4 * x, &p, 4);
    }
  } else {
    for (int x = 0; x < width; ++x) PutU32(target + 4 * x, source[x] & 0x00FFFFFFu);
  }
}

// One stored row at 24 bits: blue, green, red per pixel, then zero padding up to the stride.
void PackRow24(const TBitmap::Pixel32* source, int width, unsigned char* target, std::uint32_t stride) {
  unsigned char* out = target;
  for (int x = 0; x < width; ++x, out += 3) {
    const std::uint32_t p = source[x];
    out[0] = static_cast<unsigned char>(p);
    out[1] = static_cast<unsigned char>(p >> 8);
    out[2] = static_cast<unsigned char>(p >> 16);
  }
  std::memset(out, 0, stride - 3 * static_cast<std::uint32_t>(width));
}

// One stored row at 16 bits: a little-endian 5-5-5 word per pixel (bit 15 zero, red in bits 14-10,
// green in 9-5, blue in 4-0, the top 5 bits of each channel), then zero padding up to the stride.
void PackRow16(const TBitmap::Pixel32* source, int width, unsigned char* target, std::uint32_t stride) {
  for (int x = 0; x < width; ++x) {
    const std::uint32_t p = source[x];
    PutU16(target + 2 * x, ((p >> 9) & 0x7C00) | ((p >> 6) & 0x03E0) | ((p >> 3) & 0x001F));
  }
  std::memset(target + 2 * width, 0, stride - 2 * static_cast<std::uint32_t>(width));
}

// The 40-byte information header of a bottom-up picture without compression or colour table.
void PutInfoHeader(unsigned char* header, int width, int height, int depth, std::uint32_t imageSize) {
  std::memset(header, 0, kDibHeaderSize);
  PutU32(header + 0, kDibHeaderSize);
  PutU32(header + 4, static_cast<std::uint32_t>(width));
  PutU32(header + 8, static_cast<std::uint32_t>(height));  // positive: rows stored bottom-up
  PutU16(header + 12, 1);
  PutU16(header + 14, static_cast<std::uint32_t>(depth));
  PutU32(header + 20, imageSize);  // compression, resolutions, colour counts: 0
}

// Pictures up to this many bytes of pixel data are packed into a buffer that is kept for the next
// file; larger ones into a buffer of their own, so that one huge picture does not hold its memory for
// the rest of the run.
constexpr std::size_t kKeptBufferMax = std::size_t{64} << 20;

// A buffer of at least size bytes for the packed rows of one file: the thread's kept buffer, valid
// until the next call on the same thread, or for a larger picture oneOff, which the caller owns. Kept
// because fresh memory of a picture's size costs a page fault for every page on first touch: under
// Wine about 3 ms for a 1920 x 1080 picture at 24 bits, a third of the time to write it.
unsigned char* PackingBuffer(std::size_t size, std::unique_ptr<unsigned char[]>& oneOff) {
  if (size > kKeptBufferMax) {
    oneOff = std::make_unique_for_overwrite<unsigned char[]>(size);
    return oneOff.get();
  }
  thread_local std::unique_ptr<unsigned char[]> kept;
  thread_local std::size_t keptSize = 0;
  if (keptSize < size) {
    kept.reset();
    keptSize = 0;
    kept = std::make_unique_for_overwrite<unsigned char[]>(size);
    keptSize = size;
  }
  return kept.get();
}

}  // namespace

TBmpLayout BmpLayout(int width, int height, int bitsPerPixel) {
  if (width < 0 || height < 0) throw std::invalid_argument("negative bitmap size");
  if (bitsPerPixel != 16 && bitsPerPixel != 24 && bitsPerPixel != 32) {
    throw std::invalid_argument("unsupported bits per pixel: " + std::to_string(bitsPerPixel));
  }
  constexpr std::uint64_t kFieldMax = std::numeric_limits<std::uint32_t>::max();
  constexpr std::int64_t kSignedFieldMax = std::numeric_limits<std::int32_t>::max();
  // 64-bit arithmetic: W x D alone overflows 32 bits for a wide bitmap. The stride is checked first, so
  // that stride x H cannot overflow either.
  const std::uint64_t stride = (static_cast<std::uint64_t>(width) * bitsPerPixel + 31) / 32 * 4;
  const std::uint64_t imageSize = stride <= kFieldMax ? stride * static_cast<std::uint64_t>(height) : 0;
  if (width > kSignedFieldMax || height > kSignedFieldMax || stride > kFieldMax ||
      imageSize > kFieldMax - kBmpHeadersSize) {
    throw EImageError(TErrorKind::PictureTooLarge,
                      {std::to_string(width), std::to_string(height), std::to_string(bitsPerPixel), "BMP"});
  }
  return {static_cast<std::uint32_t>(stride), static_cast<std::uint32_t>(imageSize),
          static_cast<std::uint32_t>(imageSize + kBmpHeadersSize)};
}

void SaveBitmapAsBmp(const TBitmap& bitmap, const std::string& fileName) {
  const int width = bitmap.Width(), height = bitmap.Height(), depth = bitmap.BitsPerPixel();
  // Checked before the file exists: a picture the headers cannot describe leaves no file behind.
  const TBmpLayout layout = bitmap.Empty() ? TBmpLayout{} : BmpLayout(width, height, depth);

  TFileStream stream(fileName);
  if (bitmap.Empty()) {
    stream.Close();
    return;
  }

  // The file header (14 bytes) and the information header (40 bytes), one after the other.
  unsigned char headers[kBmpHeadersSize] = {'B', 'M'};
  PutU32(headers + 2, layout.fileSize);
  PutU32(headers + 10, kBmpHeadersSize);  // the reserved fields at 6 and 8 stay 0
  PutInfoHeader(headers + 14, width, height, depth, layout.imageSize);
  stream.Write(headers, sizeof headers);

  // At 32 bits the bitmap's memory is the pixel data of the file, bottom row first, without padding
  // (a row of 4-byte pixels is always a multiple of 4 bytes), once every fourth byte is known to be 0.
  if (depth == 32 && std::endian::native == std::endian::little && bitmap.TopBytesClear()) {
    stream.Write(bitmap.Bits(), layout.imageSize);
  } else {
    // Packed into one buffer, bottom row first, so that the pixel data still leaves in a single write.
    std::unique_ptr<unsigned char[]> oneOff;
    unsigned char* const pixels = PackingBuffer(layout.imageSize, oneOff);
    for (int row = 0; row < height; ++row) {
      const TBitmap::Pixel32* source = bitmap.ScanLine(height - 1 - row);
      unsigned char* target = pixels + static_cast<std::size_t>(row) * layout.stride;
      switch (depth) {
        case 32:
          PackRow32(source, width, target);
          break;
        case 24:
          PackRow24(source, width, target, layout.stride);
          break;
        default:
          PackRow16(source, width, target, layout.stride);
          break;
      }
    }
    stream.Write(pixels, layout.imageSize);
  }
  stream.Close();
}

std::size_t DibBlockSize(const TBitmap& bitmap) {
  return bitmap.Empty() ? 0 : kDibHeaderSize + BmpLayout(bitmap.Width(), bitmap.Height(), 24).imageSize;
}

void WriteDibBlock(const TBitmap& bitmap, unsigned char* block) {
  if (bitmap.Empty()) return;
  const int width = bitmap.Width(), height = bitmap.Height();
  const TBmpLayout layout = BmpLayout(width, height, 24);
  PutInfoHeader(block, width, height, 24, layout.imageSize);
  unsigned char* const pixels = block + kDibHeaderSize;
  for (int row = 0; row < height; ++row) {
    PackRow24(bitmap.ScanLine(height - 1 - row), width,
              pixels + static_cast<std::size_t>(row) * layout.stride, layout.stride);
  }
}
