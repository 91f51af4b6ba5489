// The JPEG writer: a baseline JFIF JPEG through libjpeg, compressed into memory and written in one go.

#include "imaging/Jpeg.h"

#include <csetjmp>
#include <cstdint>
#include <cstdio>  // jpeglib.h needs FILE declared first
#include <stdexcept>

#include <jpeglib.h>

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#include <immintrin.h>
#define IMAGING_SSSE3_ROWS 1  // x86 with a compiler that can target SSSE3 in one function
#endif

#include "imaging/Errors.h"
#include "imaging/FileStream.h"

namespace {

// libjpeg's error manager with the place to jump back to. The library expects error_exit never to
// return, and a C++ exception must not pass through its C frames, so error_exit jumps back to
// CompressBitmap, which cleans up and raises the error there.
struct TJpegErrorManager {
  jpeg_error_mgr pub;  // first member: the library hands this address back to the handlers
  std::jmp_buf jumpBack;
};

// The state of one compression. It lives in the frame of the caller of CompressBitmap, not in the
// frame that calls setjmp, so its values are well defined after the jump back.
struct TJpegJob {
  jpeg_compress_struct cinfo;
  TJpegErrorManager error;
  unsigned char* buffer;  // the memory destination's buffer, allocated with malloc by the library
  unsigned long size;
};

void LeaveLibrary(j_common_ptr cinfo) {
  std::longjmp(reinterpret_cast<TJpegErrorManager*>(cinfo->err)->jumpBack, 1);
}

// Warnings and trace messages are not shown anywhere.
void IgnoreMessage(j_common_ptr, int) {}
void IgnoreOutput(j_common_ptr) {}

// Asks for the cache line at a pixel of the row converted next. The bitmap's rows lie bottom row
// first, so the encoder, which takes them top to bottom, walks the memory downwards row by row, and the
// processor's own prefetching would start over at every row; asked for while the row before is being
// converted, the next row is at hand when its turn comes.
inline void PrefetchPixel(const TBitmap::Pixel32* next, int x) {
#if defined(__GNUC__)
  if (next != nullptr) __builtin_prefetch(next + x);
#else
  (void)next;
  (void)x;
#endif
}

// One bitmap row (words 0x00RRGGBB) as the red, green, blue samples the encoder expects; next is the
// row that follows it in the picture (null after the last one).
void ToRgbRow(const TBitmap::Pixel32* source, int width, JSAMPLE* target, const TBitmap::Pixel32* next) {
  for (int x = 0; x < width; ++x, target += 3) {
    if (x % 16 == 0) PrefetchPixel(next, x);  // 16 pixels: one cache line
    const std::uint32_t p = source[x];
    target[0] = static_cast<JSAMPLE>(p >> 16);
    target[1] = static_cast<JSAMPLE>(p >> 8);
    target[2] = static_cast<JSAMPLE>(p);
  }
}

#ifdef IMAGING_SSSE3_ROWS
// The same with one byte shuffle per 4 pixels, about five times faster than the loop above; without
// it the conversion would be a noticeable part of the compression time. Each step stores 16 bytes of
// which 12 are pixels, so it stops while 6 pixels are left and the plain loop does the rest.
__attribute__((target("ssse3"))) void ToRgbRowSsse3(const TBitmap::Pixel32* source, int width,
                                                    JSAMPLE* target, const TBitmap::Pixel32* next) {
  static_assert(sizeof(JSAMPLE) == 1 && sizeof(TBitmap::Pixel32) == 4);
  const __m128i order = _mm_setr_epi8(2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1);
  int x = 0;
  for (; x + 6 <= width; x += 4, target += 12) {
    if (x % 16 == 0) PrefetchPixel(next, x);
    const __m128i pixels = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + x));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(target), _mm_shuffle_epi8(pixels, order));
  }
  ToRgbRow(source + x, width - x, target, nullptr);
}
#endif

using RowConverter = void (*)(const TBitmap::Pixel32*, int, JSAMPLE*, const TBitmap::Pixel32*);

RowConverter ChooseRowConverter() {
#ifdef IMAGING_SSSE3_ROWS
  if (__builtin_cpu_supports("ssse3")) return ToRgbRowSsse3;
#endif
  return ToRgbRow;
}

// Compresses a bitmap with pixels into job.buffer / job.size. Every libjpeg call happens in this one
// frame; on a library error the compression object and the buffer are released here, and only then is
// EJPEGError raised, with the library's message code.
void CompressBitmap(TJpegJob& job, const TBitmap& bitmap, int quality, bool grayscale, bool progressive) {
  jpeg_compress_struct& cinfo = job.cinfo;
  const int width = bitmap.Width(), height = bitmap.Height();
  const RowConverter toRgb = ChooseRowConverter();
  cinfo.err = jpeg_std_error(&job.error.pub);
  job.error.pub.error_exit = LeaveLibrary;
  job.error.pub.emit_message = IgnoreMessage;
  job.error.pub.output_message = IgnoreOutput;

  if (setjmp(job.error.jumpBack) != 0) {
    const int code = job.error.pub.msg_code;
    // The memory destination publishes the buffer it currently uses only when it terminates; once it
    // has grown, job.buffer still names the first, already freed buffer. Terminating it here (which
    // only stores the current buffer and size) gives the buffer to free.
    if (job.buffer != nullptr) cinfo.dest->term_destination(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::free(job.buffer);
    job.buffer = nullptr;
    job.size = 0;
    throw EJPEGError(code);
  }

  jpeg_create_compress(&cinfo);
  jpeg_mem_dest(&cinfo, &job.buffer, &job.size);
  cinfo.image_width = static_cast<JDIMENSION>(width);
  cinfo.image_height = static_cast<JDIMENSION>(height);
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, quality, TRUE);
  if (grayscale) jpeg_set_colorspace(&cinfo, JCS_GRAYSCALE);
  if (progressive) jpeg_simple_progression(&cinfo);
  jpeg_start_compress(&cinfo, TRUE);

  // One reused row in the library's image pool (released by jpeg_finish_compress or on error).
  JSAMPARRAY row = (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE,
                                              static_cast<JDIMENSION>(width) * 3, 1);
  for (int y = 0; y < height; ++y) {
    toRgb(bitmap.ScanLine(y), width, row[0], y + 1 < height ? bitmap.ScanLine(y + 1) : nullptr);
    jpeg_write_scanlines(&cinfo, row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
}

}  // namespace

void TJPEGImage::SetCompressionQuality(int quality) {
  if (quality < 1 || quality > 100) {
    throw std::invalid_argument("JPEG quality out of range: " + std::to_string(quality));
  }
  quality_ = quality;
}

void TJPEGImage::Assign(const TBitmap& bitmap) {
  bitmap_ = &bitmap;
  data_.reset();
  size_ = 0;
}

void TJPEGImage::Compress() {
  data_.reset();
  size_ = 0;
  if (bitmap_ == nullptr || bitmap_->Empty()) return;
  TJpegJob job{};  // zeroed, so that destroying a half-created compression object is safe
  CompressBitmap(job, *bitmap_, quality_, grayscale_, progressive_);
  data_.reset(job.buffer);
  size_ = job.size;
}

void TJPEGImage::SaveToFile(const std::string& fileName) {
  TFileStream stream(fileName);
  Compress();
  stream.Write(data_.get(), size_);
  stream.Close();
}

void SaveBitmapAsJpeg(const TBitmap& bitmap, const std::string& fileName) {
  TJPEGImage jpeg;
  jpeg.Assign(bitmap);
  jpeg.SaveToFile(fileName);
}
