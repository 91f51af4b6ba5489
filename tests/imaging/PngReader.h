#pragma once
// An independent reading of a PNG file (or its bytes in memory) with the PNG library's own decoder, for the
// tests of every program that writes PNG files.

#include <png.h>

#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace png_reader {

// A decoded PNG: its colour type and bit depth as stored, and its pixels as 8-bit channels, rows top
// first (3 bytes a pixel for RGB, 4 for RGBA).
struct DecodedPng {
  bool ok = false;
  int width = 0;
  int height = 0;
  int colorType = -1;
  int bitDepth = 0;
  std::vector<std::uint8_t> pixels;
};

// What is read: a file, or else bytes in memory from `at` on.
struct ReadJob {
  std::FILE* file = nullptr;
  DecodedPng* out = nullptr;
  const std::vector<std::uint8_t>* bytes = nullptr;
  std::size_t at = 0;
};

inline void ReadBytes(png_structp png, png_bytep data, png_size_t size) {
  auto* job = static_cast<ReadJob*>(png_get_io_ptr(png));
  if (size > job->bytes->size() - job->at) png_error(png, "read past the end");
  std::memcpy(data, job->bytes->data() + job->at, size);
  job->at += size;
}

// The library's reader, with the million-pixel limit lifted (the format allows 2^31 - 1). No object
// with a destructor lives in this frame, which a library error leaves by longjmp.
inline bool ReadPngFrame(ReadJob& job, std::vector<png_bytep>& rows) {
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png)) != 0) {
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  png_set_user_limits(png, 0x7FFFFFFF, 0x7FFFFFFF);
  if (job.file != nullptr)
    png_init_io(png, job.file);
  else
    png_set_read_fn(png, &job, ReadBytes);
  png_read_info(png, info);
  DecodedPng& out = *job.out;
  out.width = static_cast<int>(png_get_image_width(png, info));
  out.height = static_cast<int>(png_get_image_height(png, info));
  out.colorType = png_get_color_type(png, info);
  out.bitDepth = png_get_bit_depth(png, info);
  if (out.bitDepth != 8 ||
      (out.colorType != PNG_COLOR_TYPE_RGB && out.colorType != PNG_COLOR_TYPE_RGB_ALPHA &&
       out.colorType != PNG_COLOR_TYPE_GRAY_ALPHA)) {
    png_destroy_read_struct(&png, &info, nullptr);
    return true;  // reported by the caller through the stored type and depth
  }
  const std::size_t rowBytes = png_get_rowbytes(png, info);
  out.pixels.resize(rowBytes * static_cast<std::size_t>(out.height));
  rows.resize(static_cast<std::size_t>(out.height));
  for (int y = 0; y < out.height; ++y) rows[y] = out.pixels.data() + rowBytes * static_cast<std::size_t>(y);
  png_read_image(png, rows.data());
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  return true;
}

inline DecodedPng ReadPngWithLibrary(const std::string& fileName) {
  DecodedPng decoded;
  std::FILE* file = std::fopen(fileName.c_str(), "rb");
  if (file == nullptr) return decoded;
  ReadJob job{file, &decoded};
  std::vector<png_bytep> rows;
  decoded.ok = ReadPngFrame(job, rows);
  std::fclose(file);
  return decoded;
}

// The same reading of a PNG file's bytes held in memory.
inline DecodedPng DecodePngBytes(const std::vector<std::uint8_t>& bytes) {
  DecodedPng decoded;
  ReadJob job{.out = &decoded, .bytes = &bytes};
  std::vector<png_bytep> rows;
  decoded.ok = ReadPngFrame(job, rows);
  return decoded;
}

}  // namespace png_reader
