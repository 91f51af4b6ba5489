#pragma once
// The JPEG image object behind SaveBitmapAsJpeg: compression settings, the bitmap to compress and the
// compressed data of the last save.

#include <cstddef>
#include <cstdlib>
#include <memory>
#include <string>

#include "imaging/Graphics.h"

class TJPEGImage {
 public:
  // 1 to 100; other values raise std::invalid_argument. A fresh object has 90.
  int CompressionQuality() const { return quality_; }
  void SetCompressionQuality(int quality);
  bool Grayscale() const { return grayscale_; }
  void SetGrayscale(bool grayscale) { grayscale_ = grayscale; }
  bool ProgressiveEncoding() const { return progressive_; }
  void SetProgressiveEncoding(bool progressive) { progressive_ = progressive; }

  // Takes the bitmap to compress and discards any compressed data. The bitmap is read when the image
  // is saved, not copied here: the caller keeps it alive and unchanged until then, which saves a copy
  // of the whole picture.
  void Assign(const TBitmap& bitmap);

  // Creates (or replaces) the file, compresses the assigned bitmap into the in-memory buffer and writes
  // that buffer in one write. No bitmap, or one without pixels, gives an empty file. Raises
  // EFCreateError, EJPEGError or EWriteError; an existing file then stays as it was.
  void SaveToFile(const std::string& fileName);

  // The compressed data of the last save (empty before it).
  const unsigned char* Data() const { return data_.get(); }
  std::size_t DataSize() const { return size_; }

 private:
  struct FreeBuffer {
    void operator()(unsigned char* buffer) const { std::free(buffer); }
  };

  void Compress();

  int quality_ = 90;
  bool grayscale_ = false;
  bool progressive_ = false;
  const TBitmap* bitmap_ = nullptr;
  std::unique_ptr<unsigned char, FreeBuffer> data_;  // from the library's memory destination
  std::size_t size_ = 0;
};
