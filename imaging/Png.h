#pragma once
// The PNG writer: opaque pictures as 8-bit RGB, pictures with an alpha channel as 8-bit RGBA, and one
// grey with an alpha channel (a glyph atlas's page) as 8-bit grey and alpha.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "imaging/Errors.h"
#include "imaging/Graphics.h"

// The PNG library reported an error; the text names the library's message.
class EPNGError : public EImageError {
 public:
  explicit EPNGError(const std::string& libraryMessage)
      : EImageError(TErrorKind::PngFailed, {libraryMessage}) {}
};

// Checks that a width x height picture at the given bytes per pixel (3 or 4) fits a PNG file: at
// most 536870798 pixels wide (the library's limit) and 2^31 - 1 high. Raises EImageError naming the size
// otherwise, std::invalid_argument for a negative size.
void CheckPngSize(std::int64_t width, std::int64_t height, int bytesPerPixel);

// Writes the bitmap as an 8-bit RGB PNG (no alpha). A bitmap without pixels gives an empty file.
// Raises EFCreateError, EWriteError, EPNGError or the size error; an existing file then stays as it
// was.
void SaveBitmapAsPng(const TBitmap& bitmap, const std::string& fileName);

// Writes the colours of the bitmap with one alpha byte a pixel (rows top first, Width() bytes each,
// 0 transparent, 255 opaque) as an 8-bit RGBA PNG. The alpha must hold exactly Width() x Height()
// bytes (std::invalid_argument otherwise). Otherwise as SaveBitmapAsPng.
void SaveBitmapAsPngWithAlpha(const TBitmap& colour, const std::vector<std::uint8_t>& alpha,
                              const std::string& fileName);

// The bytes of the PNG file SaveBitmapAsPng writes (none for a bitmap without pixels), in memory.
// Raises EPNGError, the size error or std::bad_alloc.
std::vector<std::uint8_t> PngBytes(const TBitmap& bitmap);

// The bytes of the PNG file SaveBitmapAsPngWithAlpha writes, in memory; raises as PngBytes does, and
// std::invalid_argument as SaveBitmapAsPngWithAlpha does.
std::vector<std::uint8_t> PngWithAlphaBytes(const TBitmap& colour, const std::vector<std::uint8_t>& alpha);

// Writes a width x height picture of one grey (0 black to 255 white) with one alpha byte a pixel, as
// SaveBitmapAsPngWithAlpha writes colours, as an 8-bit grey-and-alpha PNG: half the bytes of RGBA for
// pictures whose colour is the same everywhere.
void SavePngGreyWithAlpha(int width, int height, std::uint8_t grey, const std::vector<std::uint8_t>& alpha,
                          const std::string& fileName);

// The picture of a PNG file of any colour type and depth, its colours as 8-bit RGB (an alpha channel is
// dropped, the colours kept as the file holds them); nothing when the file cannot be opened or is no
// PNG the library reads whole, or one beyond the library's limits (1000000 pixels wide or high).
std::optional<TBitmap> ReadPngFile(const std::string& fileName);
