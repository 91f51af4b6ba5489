#pragma once
// Independent readers of the image files the writers produce, for tests that look at the pixels: BMP
// by the format's own rules (every header field checked), JPEG through the library's decoder.

#include <csetjmp>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "imaging/Graphics.h"

namespace image_readers {

using Bytes = std::vector<std::uint8_t>;

// A BMP as a viewer reads it: every header field checked, the rows decoded by their own rules.
struct DecodedBmp {
  int width = 0;
  int height = 0;
  int bits = 0;
  std::vector<TColor> pixels;  // top row first
  TColor At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

inline void Require(bool condition, const std::string& what) {
  if (!condition) throw std::runtime_error("bad BMP: " + what);
}

inline unsigned U16(const Bytes& file, std::size_t at) { return file[at] | (file[at + 1] << 8); }
inline std::uint32_t U32(const Bytes& file, std::size_t at) {
  return U16(file, at) | (static_cast<std::uint32_t>(U16(file, at + 2)) << 16);
}

inline DecodedBmp ReadBmp(const Bytes& file) {
  Require(file.size() >= 54, "shorter than its headers");
  Require(file[0] == 'B' && file[1] == 'M', "signature");
  Require(U32(file, 2) == file.size(), "file size field");
  Require(U16(file, 6) == 0 && U16(file, 8) == 0, "reserved fields");
  Require(U32(file, 10) == 54, "pixel data offset");
  Require(U32(file, 14) == 40, "information header size");
  DecodedBmp bmp;
  bmp.width = static_cast<std::int32_t>(U32(file, 18));
  bmp.height = static_cast<std::int32_t>(U32(file, 22));
  Require(bmp.width > 0 && bmp.height > 0, "size (rows must be stored bottom-up)");
  Require(U16(file, 26) == 1, "planes");
  bmp.bits = static_cast<int>(U16(file, 28));
  Require(bmp.bits == 16 || bmp.bits == 24 || bmp.bits == 32, "bits per pixel");
  Require(U32(file, 30) == 0, "compression");
  const std::size_t rowBytes = static_cast<std::size_t>(bmp.width) * (bmp.bits / 8);
  const std::size_t stride = (rowBytes + 3) & ~std::size_t{3};
  Require(U32(file, 34) == stride * bmp.height, "pixel data size field");
  Require(file.size() == 54 + stride * bmp.height, "pixel data length");
  for (std::size_t at = 38; at < 54; at += 4) Require(U32(file, at) == 0, "resolution or colour count");

  bmp.pixels.resize(static_cast<std::size_t>(bmp.width) * bmp.height);
  for (int stored = 0; stored < bmp.height; ++stored) {
    const std::size_t row = 54 + stored * stride;
    const int y = bmp.height - 1 - stored;
    for (int x = 0; x < bmp.width; ++x) {
      TColor color = 0;
      if (bmp.bits == 16) {
        const unsigned word = U16(file, row + 2 * x);
        Require((word & 0x8000) == 0, "bit 15 of a 16-bit pixel");
        color = RGB(((word >> 10) & 31) << 3, ((word >> 5) & 31) << 3, (word & 31) << 3);
      } else {
        const std::size_t at = row + static_cast<std::size_t>(x) * (bmp.bits / 8);
        color = RGB(file[at + 2], file[at + 1], file[at]);
        if (bmp.bits == 32) Require(file[at + 3] == 0, "fourth byte of a 32-bit pixel");
      }
      bmp.pixels[static_cast<std::size_t>(y) * bmp.width + x] = color;
    }
    for (std::size_t pad = rowBytes; pad < stride; ++pad) Require(file[row + pad] == 0, "row padding");
  }
  return bmp;
}

// A packed device-independent bitmap (the clipboard's DIB format: a BMP file without its 14-byte file
// header), read as the BMP file it heads.
inline DecodedBmp ReadDib(const Bytes& block) {
  Bytes file = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0};
  const std::uint32_t size = static_cast<std::uint32_t>(block.size() + file.size());
  for (int i = 0; i < 4; ++i) file[2 + i] = static_cast<std::uint8_t>(size >> (8 * i));
  file.insert(file.end(), block.begin(), block.end());
  return ReadBmp(file);
}

// What the library's decoder reports about a file, and the decoded pixels as red, green, blue.
struct DecodedJpeg {
  bool ok = false;
  int width = 0, height = 0, components = 0;
  J_COLOR_SPACE colorSpace = JCS_UNKNOWN;
  bool progressive = false, arithmetic = false, adobe = false;
  bool jfif = false;
  int jfifMajor = 0, jfifMinor = 0, densityUnit = -1, xDensity = 0, yDensity = 0;
  unsigned restartInterval = 0;
  int sampling[3][2] = {};
  unsigned lumaQuant[64] = {}, chromaQuant[64] = {};
  std::uint8_t lumaDcBits[17] = {};
  std::vector<std::uint8_t> rgb;
  unsigned Channel(int x, int y, int c) const {
    return rgb[(static_cast<std::size_t>(y) * width + x) * 3 + c];
  }
};

struct DecodeError {
  jpeg_error_mgr pub;
  std::jmp_buf jumpBack;
};

inline void DecodeFailed(j_common_ptr cinfo) {
  std::longjmp(reinterpret_cast<DecodeError*>(cinfo->err)->jumpBack, 1);
}

// All decoder state sits in the caller's frame, out of reach of the jump back.
struct DecodeJob {
  jpeg_decompress_struct cinfo;
  DecodeError error;
};

inline void RunDecode(DecodeJob& job, const Bytes& file, DecodedJpeg& out) {
  jpeg_decompress_struct& cinfo = job.cinfo;
  cinfo.err = jpeg_std_error(&job.error.pub);
  job.error.pub.error_exit = DecodeFailed;
  if (setjmp(job.error.jumpBack) != 0) {
    jpeg_destroy_decompress(&cinfo);
    out.ok = false;
    return;
  }
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, file.data(), static_cast<unsigned long>(file.size()));
  jpeg_read_header(&cinfo, TRUE);
  out.width = static_cast<int>(cinfo.image_width);
  out.height = static_cast<int>(cinfo.image_height);
  out.components = cinfo.num_components;
  out.colorSpace = cinfo.jpeg_color_space;
  out.progressive = cinfo.progressive_mode;
  out.arithmetic = cinfo.arith_code;
  out.adobe = cinfo.saw_Adobe_marker;
  out.jfif = cinfo.saw_JFIF_marker;
  out.jfifMajor = cinfo.JFIF_major_version;
  out.jfifMinor = cinfo.JFIF_minor_version;
  out.densityUnit = cinfo.density_unit;
  out.xDensity = cinfo.X_density;
  out.yDensity = cinfo.Y_density;
  out.restartInterval = cinfo.restart_interval;
  for (int c = 0; c < cinfo.num_components && c < 3; ++c) {
    out.sampling[c][0] = cinfo.comp_info[c].h_samp_factor;
    out.sampling[c][1] = cinfo.comp_info[c].v_samp_factor;
  }
  for (int i = 0; i < 64; ++i) {
    if (cinfo.quant_tbl_ptrs[0] != nullptr) out.lumaQuant[i] = cinfo.quant_tbl_ptrs[0]->quantval[i];
    if (cinfo.quant_tbl_ptrs[1] != nullptr) out.chromaQuant[i] = cinfo.quant_tbl_ptrs[1]->quantval[i];
  }
  if (cinfo.dc_huff_tbl_ptrs[0] != nullptr) {
    for (int i = 0; i < 17; ++i) out.lumaDcBits[i] = cinfo.dc_huff_tbl_ptrs[0]->bits[i];
  }
  cinfo.out_color_space = JCS_RGB;
  cinfo.do_fancy_upsampling = FALSE;  // no chroma blending across 2 x 2 pixel units
  jpeg_start_decompress(&cinfo);
  out.rgb.resize(static_cast<std::size_t>(out.width) * out.height * 3);
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = out.rgb.data() + static_cast<std::size_t>(cinfo.output_scanline) * out.width * 3;
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  out.ok = true;
}

inline DecodedJpeg DecodeJpeg(const Bytes& file) {
  DecodedJpeg out;
  DecodeJob job{};
  RunDecode(job, file, out);
  return out;
}

}  // namespace image_readers
