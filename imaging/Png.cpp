// The PNG writer, through libpng: the picture is compressed into memory, and either handed over as
// those bytes or leaves in one checked write through the temporary-file stream, so the target is
// replaced only by a whole file.

#include "imaging/Png.h"

#include <png.h>

#include <csetjmp>
#include <cstring>
#include <exception>
#include <new>
#include <stdexcept>

#include "imaging/FileStream.h"

namespace {

// What one compression shares with the library's callbacks. Only trivially destructible members are
// touched between setjmp and a longjmp; the owners of memory live in the caller's frame.
struct TPngJob {
  std::vector<unsigned char>* output = nullptr;
  bool outOfMemory = false;
  char message[200] = {};
};

void LeaveLibrary(png_structp png, png_const_charp message) {
  auto* job = static_cast<TPngJob*>(png_get_error_ptr(png));
  std::strncpy(job->message, message != nullptr ? message : "", sizeof job->message - 1);
  png_longjmp(png, 1);
}

void IgnoreWarning(png_structp, png_const_charp) {}

// Appends compressed bytes to the output; running out of memory becomes a library error, raised as
// std::bad_alloc once the library has been left.
void AppendOutput(png_structp png, png_bytep data, png_size_t size) {
  auto* job = static_cast<TPngJob*>(png_get_io_ptr(png));
  bool failed = false;
  try {
    job->output->insert(job->output->end(), data, data + size);
  } catch (const std::bad_alloc&) {
    failed = true;
  }
  if (failed) {
    job->outOfMemory = true;
    png_error(png, "out of memory");
  }
}

void NoFlush(png_structp) {}

// What the rows are packed from: a bitmap's colours (with an alpha byte a pixel), or one grey with an
// alpha byte a pixel.
struct TRowSource {
  const TBitmap* bitmap = nullptr;
  const std::uint8_t* alpha = nullptr;
  int width = 0;
  int height = 0;
  unsigned char grey = 0;
};

// One row packed for the file: RGB, RGBA or grey and alpha, 8 bits a channel.
using RowPacker = void (*)(const TRowSource& source, int y, unsigned char* row);

void PackRgb(const TRowSource& source, int y, unsigned char* row) {
  const TBitmap::Pixel32* pixels = source.bitmap->ScanLine(y);
  for (int x = 0; x < source.width; ++x, row += 3) {
    const TBitmap::Pixel32 p = pixels[x];
    row[0] = static_cast<unsigned char>(p >> 16);
    row[1] = static_cast<unsigned char>(p >> 8);
    row[2] = static_cast<unsigned char>(p);
  }
}

void PackRgba(const TRowSource& source, int y, unsigned char* row) {
  const TBitmap::Pixel32* pixels = source.bitmap->ScanLine(y);
  const std::uint8_t* rowAlpha =
      source.alpha + static_cast<std::size_t>(y) * static_cast<std::size_t>(source.width);
  for (int x = 0; x < source.width; ++x, row += 4) {
    const TBitmap::Pixel32 p = pixels[x];
    row[0] = static_cast<unsigned char>(p >> 16);
    row[1] = static_cast<unsigned char>(p >> 8);
    row[2] = static_cast<unsigned char>(p);
    row[3] = rowAlpha[x];
  }
}

void PackGreyAlpha(const TRowSource& source, int y, unsigned char* row) {
  const std::uint8_t* rowAlpha =
      source.alpha + static_cast<std::size_t>(y) * static_cast<std::size_t>(source.width);
  for (int x = 0; x < source.width; ++x, row += 2) {
    row[0] = source.grey;
    row[1] = rowAlpha[x];
  }
}

// Compresses the picture into job.output. Every libpng call happens in this one frame, which holds no
// object with a destructor: a library error comes back here by longjmp, the library's structures are
// released, and only then is the error raised.
void Compress(TPngJob& job, const TRowSource& source, int colourType, RowPacker pack, unsigned char* row) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &job, LeaveLibrary, IgnoreWarning);
  if (png == nullptr) throw std::bad_alloc();
  png_infop info = png_create_info_struct(png);
  if (info == nullptr) {
    png_destroy_write_struct(&png, nullptr);
    throw std::bad_alloc();
  }
  if (setjmp(png_jmpbuf(png)) != 0) {
    png_destroy_write_struct(&png, &info);
    if (job.outOfMemory) throw std::bad_alloc();
    throw EPNGError(job.message);
  }

  png_set_write_fn(png, &job, AppendOutput, NoFlush);
  // The library's own limit of a million pixels a side is meant for readers; the format allows 2^31 - 1.
  png_set_user_limits(png, 0x7FFFFFFF, 0x7FFFFFFF);
  // Every row filtered by the Paeth rule, at zlib's default level: on 1920 x 1080 screen content and
  // photographs this is faster than choosing a filter for each row, at about the same size. Lower
  // levels or run-length matching are faster still but make screen content a third to a half larger.
  png_set_compression_level(png, 6);
  png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_PAETH);
  png_set_compression_buffer_size(png, 1 << 17);
  png_set_IHDR(png, info, static_cast<png_uint_32>(source.width), static_cast<png_uint_32>(source.height), 8,
               colourType, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_BASE, PNG_FILTER_TYPE_BASE);
  png_write_info(png, info);
  for (int y = 0; y < source.height; ++y) {
    pack(source, y, row);
    png_write_row(png, row);
  }
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
}

// The size check of CheckPngSize, for any bytes per pixel.
void CheckSize(std::int64_t width, std::int64_t height, int bytesPerPixel) {
  // The header's fields hold at most 2^31 - 1. The library also refuses rows wider than it can
  // address with room for its widest pixels and its padding, on every system alike.
  constexpr std::int64_t kHeightMax = 0x7FFFFFFF;
  constexpr std::int64_t kWidthMax = (0xFFFFFFFFLL >> 3) - 48 - 1 - 7 * 8 - 8;
  if (width > kWidthMax || height > kHeightMax) {
    throw EImageError(TErrorKind::PictureTooLarge, {std::to_string(width), std::to_string(height),
                                                    std::to_string(8 * bytesPerPixel), "PNG"});
  }
}

// The PNG file of the rows; an empty picture gives no bytes.
std::vector<unsigned char> Encode(const TRowSource& source, int bytesPerPixel, int colourType,
                                  RowPacker pack) {
  std::vector<unsigned char> output;
  if (source.width == 0 || source.height == 0) return output;
  CheckSize(source.width, source.height, bytesPerPixel);
  std::vector<unsigned char> row(static_cast<std::size_t>(source.width) * bytesPerPixel);
  TPngJob job;
  job.output = &output;
  Compress(job, source, colourType, pack, row.data());
  return output;
}

// Writes the rows whole or not at all; an empty picture gives an empty file.
void Save(const TRowSource& source, int bytesPerPixel, int colourType, RowPacker pack,
          const std::string& fileName) {
  // Checked before the file exists: a picture the format cannot hold leaves no file behind.
  if (source.width != 0 && source.height != 0) CheckSize(source.width, source.height, bytesPerPixel);
  TFileStream stream(fileName);
  const std::vector<unsigned char> output = Encode(source, bytesPerPixel, colourType, pack);
  if (!output.empty()) stream.Write(output.data(), output.size());
  stream.Close();
}

TRowSource BitmapSource(const TBitmap& bitmap, const std::uint8_t* alpha) {
  return {.bitmap = &bitmap,
          .alpha = alpha,
          .width = bitmap.Empty() ? 0 : bitmap.Width(),
          .height = bitmap.Empty() ? 0 : bitmap.Height()};
}

void Save(const TBitmap& bitmap, const std::uint8_t* alpha, const std::string& fileName) {
  if (alpha != nullptr) {
    Save(BitmapSource(bitmap, alpha), 4, PNG_COLOR_TYPE_RGB_ALPHA, PackRgba, fileName);
  } else {
    Save(BitmapSource(bitmap, nullptr), 3, PNG_COLOR_TYPE_RGB, PackRgb, fileName);
  }
}

// Raises std::invalid_argument unless the alpha holds one byte for every pixel of the colour.
void CheckAlphaSize(const TBitmap& colour, const std::vector<std::uint8_t>& alpha) {
  const std::size_t pixels =
      colour.Empty() ? 0
                     : static_cast<std::size_t>(colour.Width()) * static_cast<std::size_t>(colour.Height());
  if (alpha.size() != pixels) {
    throw std::invalid_argument("alpha holds " + std::to_string(alpha.size()) + " bytes for " +
                                std::to_string(pixels) + " pixels");
  }
}

}  // namespace

void CheckPngSize(std::int64_t width, std::int64_t height, int bytesPerPixel) {
  if (width < 0 || height < 0) throw std::invalid_argument("negative bitmap size");
  if (bytesPerPixel != 3 && bytesPerPixel != 4) {
    throw std::invalid_argument("unsupported bytes per pixel: " + std::to_string(bytesPerPixel));
  }
  CheckSize(width, height, bytesPerPixel);
}

void SaveBitmapAsPng(const TBitmap& bitmap, const std::string& fileName) { Save(bitmap, nullptr, fileName); }

void SaveBitmapAsPngWithAlpha(const TBitmap& colour, const std::vector<std::uint8_t>& alpha,
                              const std::string& fileName) {
  CheckAlphaSize(colour, alpha);
  Save(colour, alpha.empty() ? nullptr : alpha.data(), fileName);
}

std::vector<std::uint8_t> PngBytes(const TBitmap& bitmap) {
  return Encode(BitmapSource(bitmap, nullptr), 3, PNG_COLOR_TYPE_RGB, PackRgb);
}

std::vector<std::uint8_t> PngWithAlphaBytes(const TBitmap& colour, const std::vector<std::uint8_t>& alpha) {
  CheckAlphaSize(colour, alpha);
  return Encode(BitmapSource(colour, alpha.data()), 4, PNG_COLOR_TYPE_RGB_ALPHA, PackRgba);
}

void SavePngGreyWithAlpha(int width, int height, std::uint8_t grey, const std::vector<std::uint8_t>& alpha,
                          const std::string& fileName) {
  if (width < 0 || height < 0) throw std::invalid_argument("negative bitmap size");
  const std::size_t pixels = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  if (alpha.size() != pixels) {
    throw std::invalid_argument("alpha holds " + std::to_string(alpha.size()) + " bytes for " +
                                std::to_string(pixels) + " pixels");
  }
  Save({.alpha = alpha.data(), .width = width, .height = height, .grey = grey}, 2, PNG_COLOR_TYPE_GRAY_ALPHA,
       PackGreyAlpha, fileName);
}

std::optional<TBitmap> ReadPngFile(const std::string& fileName) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  // Frees what the library holds on every way out (nothing once the read has finished).
  struct ImageGuard {
    png_image& image;
    ~ImageGuard() { png_image_free(&image); }
  } guard{image};
  if (png_image_begin_read_from_file(&image, fileName.c_str()) == 0) return std::nullopt;
  // Blue, green, red and a fourth byte: the bitmap's own words. The rows go bottom first, as the
  // bitmap keeps them: a negative stride.
  image.format = PNG_FORMAT_BGRA;
  if (image.width == 0 || image.height == 0 || image.width > 0x7FFFFFFF / 4 || image.height > 0x7FFFFFFF)
    return std::nullopt;
  TBitmap bitmap;
  bitmap.SetSizeForOverwrite(static_cast<int>(image.width), static_cast<int>(image.height));
  if (png_image_finish_read(&image, nullptr, bitmap.Bits(), -static_cast<png_int_32>(image.width * 4),
                            nullptr) == 0)
    return std::nullopt;
  return bitmap;
}
