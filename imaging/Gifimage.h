#pragma once
// The chief header of the image writers: the picture, the BMP and JPEG writers, and the GIF writer.
//
// The GIF image object takes over a bitmap (reducing it to a palette picture, see ColorQuantizer.h),
// may carry a graphic control extension with a transparent colour, and writes a single-image GIF file
// whose image data is a run-length code stream that every GIF decoder reads as ordinary LZW data.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "imaging/ColorQuantizer.h"
#include "imaging/Errors.h"
#include "imaging/Graphics.h"

class TFileStream;
class TGIFImage;
class TGIFSubImage;

// How the image data is compressed: the run-length code stream of TRLEEncoder.
enum TGIFCompression : int { gcRLE = 1 };

// Widths, heights and screen sizes are unsigned 16-bit fields in a GIF file.
constexpr int GIFMaxDimension = 65535;

// Collects the bytes of a GIF file. Bound to a file stream it passes them on in large writes (every
// one checked by the stream); unbound it keeps them all in memory. Image data goes through the data
// block writer: every 255 bytes become a block of 255 preceded by its size byte, and EndBlocks closes
// a last shorter block (never an empty one).
class TGIFWriter {
 public:
  TGIFWriter();
  explicit TGIFWriter(TFileStream& stream);
  TGIFWriter(const TGIFWriter&) = delete;
  TGIFWriter& operator=(const TGIFWriter&) = delete;

  void WriteByte(std::uint8_t value) { buffer_.push_back(value); }
  void WriteWord(std::uint16_t value);  // little-endian
  void Write(const void* data, std::size_t size);

  void BeginBlocks();
  void BlockBytes(const std::uint8_t* data, std::size_t size);
  void EndBlocks();

  // Passes everything collected on to the stream (nothing to do when unbound).
  void Flush();
  // Everything written so far that has not been passed on to a stream.
  const std::vector<std::uint8_t>& Bytes() const { return buffer_; }

 private:
  static constexpr std::size_t FlushSize = 1 << 16;
  void NextBlock();

  TFileStream* stream_ = nullptr;
  std::vector<std::uint8_t> buffer_;
  std::size_t blockStart_ = 0;
  int blockFill_ = 0;
};

// A colour table of up to 256 entries.
class TGIFColorMap {
 public:
  static constexpr int MaxColors = 256;

  int Count() const { return static_cast<int>(colors_.size()); }
  const TGIFColor& operator[](int index) const { return colors_[static_cast<std::size_t>(index)]; }
  void Clear();
  // Replaces the entries; more than 256 raise "Color table overflow".
  void Assign(const std::vector<TGIFColor>& colors);
  // Appends an entry and returns its index; a full map raises "Color table overflow".
  int Add(const TGIFColor& color);
  // The highest index holding exactly this colour, or -1.
  int IndexOf(const TGIFColor& color) const;
  // IndexOf, or else Add.
  int AddUnique(const TGIFColor& color);

  // 0 for an empty map, else the smallest b >= 1 with 2^b >= Count().
  int BitsPerPixel() const;
  int ColorResolution() const { return BitsPerPixel() - 1; }
  bool Sorted() const { return sorted_; }
  void SetSorted(bool sorted) { sorted_ = sorted; }

  // The entries as red, green, blue, padded with zero bytes to 2^BitsPerPixel() entries.
  void SaveToStream(TGIFWriter& out) const;

 private:
  std::vector<TGIFColor> colors_;
  bool sorted_ = false;
};

// The logical screen descriptor and the global colour map.
class TGIFHeader {
 public:
  int ScreenWidth() const { return screenWidth_; }
  int ScreenHeight() const { return screenHeight_; }
  // 0 to 65535; other values raise GIFException.
  void SetScreenWidth(int width);
  void SetScreenHeight(int height);
  void Clear();

  std::uint8_t Packed = 0;  // computed at every save
  std::uint8_t BackgroundColorIndex = 0;
  std::uint8_t AspectRatio = 0;
  TGIFColorMap ColorMap;

 private:
  int screenWidth_ = 0;
  int screenHeight_ = 0;
};

// An extension block written ahead of its frame's image.
class TGIFExtension {
 public:
  explicit TGIFExtension(TGIFSubImage& subImage) : subImage_(subImage) {}
  virtual ~TGIFExtension() = default;
  TGIFExtension(const TGIFExtension&) = delete;
  TGIFExtension& operator=(const TGIFExtension&) = delete;

  TGIFSubImage& SubImage() const { return subImage_; }
  virtual void SaveToStream(TGIFWriter& out) const = 0;

 private:
  TGIFSubImage& subImage_;
};

using TGIFExtensionList = std::vector<std::unique_ptr<TGIFExtension>>;

// The graphic control extension: transparency, user input, disposal and delay of one frame.
class TGIFGraphicControlExtension final : public TGIFExtension {
 public:
  static constexpr std::uint8_t BlockSize = 4;

  explicit TGIFGraphicControlExtension(TGIFSubImage& subImage) : TGIFExtension(subImage) {}

  bool Transparent() const { return (packed_ & 0x01) != 0; }
  void SetTransparent(bool transparent);
  // Looks the colour up in the frame's active colour map (AddUnique) and makes that index the
  // transparent one; raises "Color table overflow" when the colour is missing from a full map.
  void SetTransparentColor(TColor color);
  std::uint8_t TransparentColorIndex() const { return transparentIndex_; }
  std::uint8_t Packed() const { return packed_; }
  std::uint16_t Delay() const { return delay_; }

  void SaveToStream(TGIFWriter& out) const override;

 private:
  std::uint8_t packed_ = 0;
  std::uint16_t delay_ = 0;
  std::uint8_t transparentIndex_ = 0;
};

// The image data encoder: a run-length code stream of clear codes, single pixels and run codes that
// only refer to runs a decoder's string table already holds, with the code width growing as a decoder
// expects and a clear code at the latest when the table would fill.
class TRLEEncoder {
 public:
  // Writes the code size byte, the data blocks of the `count` indices and the block terminator. An
  // index at or above colorCount raises "Color not in color table".
  void Encode(TGIFWriter& out, const std::uint8_t* indices, std::size_t count, int colorCount,
              int bitsPerPixel);

  // The number of codes that send `pixels` pixels of one value starting from an empty string table,
  // with at most `budget` codes between two clear codes.
  static std::uint64_t TriangleCost(std::uint64_t pixels, std::uint64_t budget);

 private:
  // Codes are queued with their width (code in bits 0-11, width in bits 12-15) and packed into bytes
  // in batches, least significant bit first.
  void Emit(int code) {
    pending_[pendingCount_++] = static_cast<std::uint16_t>(code | (width_ << 12));
    if (pendingCount_ == pending_.size()) PackCodes();
  }
  void PackCodes();
  void Clear();
  void Plain(int code);
  void RestoreLimit();
  void FromClear(std::uint64_t pixels);
  void ClearOrRepeat(std::uint64_t pixels);
  void WithTable(std::uint64_t pixels);
  void FlushRun(std::uint64_t pixels);

  TGIFWriter* out_ = nullptr;
  // Fixed by the code size.
  int initialWidth_ = 0, clearCode_ = 0, endCode_ = 0, firstRunCode_ = 0;
  int initialThreshold_ = 0, initialLimit_ = 0, budget_ = 0;
  // State.
  int width_ = 0;        // code width
  int codes_ = 0;        // codes emitted since the last clear code
  int threshold_ = 0;    // widen threshold
  int limit_ = 0;        // clear limit
  int tableRun_ = 0;     // longest run the table holds (0 = none)
  int tablePixel_ = -1;  // the pixel of those runs
  bool fresh_ = true;    // nothing sent since the last clear code
  int pixel_ = -1;       // the pixel of the current run
  std::array<std::uint16_t, 4096> pending_;
  std::size_t pendingCount_ = 0;
  std::uint64_t bits_ = 0;  // bits not yet making a whole byte
  int bitCount_ = 0;
};

// A frame: the image descriptor, the local colour map, the pixel indices (Width() x Height() bytes,
// rows top first) and the extensions written ahead of it.
class TGIFSubImage {
 public:
  explicit TGIFSubImage(TGIFImage& image) : image_(image) {}
  TGIFSubImage(const TGIFSubImage&) = delete;
  TGIFSubImage& operator=(const TGIFSubImage&) = delete;

  TGIFImage& Image() const { return image_; }
  int Left() const { return left_; }
  int Top() const { return top_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  // 0 to 65535, else GIFException. The indices become Width() x Height() zero bytes, and the image's
  // screen grows to hold the frame.
  void SetWidth(int width);
  void SetHeight(int height);
  bool Empty() const { return width_ == 0 || height_ == 0; }

  void Clear();
  // Takes over the bitmap: reduced with the image's settings to a palette picture, whose colour table
  // becomes the local colour map and whose rows become the indices. A bitmap without pixels leaves the
  // frame empty; one wider or higher than 65535 raises GIFException.
  void Assign(const TBitmap& bitmap);

  // The local map when it has entries; otherwise the image's global map if that has entries;
  // otherwise the (empty) local map.
  TGIFColorMap& ActiveColorMap();
  // Bits per pixel of the image data: the local map's, or the global map's for a frame without one.
  int BitsPerPixel() const;

  // The extensions, then (unless empty) the image descriptor, local colour table and image data.
  void SaveToStream(TGIFWriter& out);

  std::uint8_t Packed = 0;  // image descriptor flags, computed at every save
  TGIFColorMap ColorMap;
  std::vector<std::uint8_t> Data;
  TGIFExtensionList Extensions;

 private:
  // Sets the size and the indices (width x height bytes) and grows the image's screen to hold the frame.
  void SetSize(int width, int height, std::vector<std::uint8_t> data);

  TGIFImage& image_;
  int left_ = 0;
  int top_ = 0;
  int width_ = 0;
  int height_ = 0;
};

using TGIFImageList = std::vector<std::unique_ptr<TGIFSubImage>>;

// The end marker of a GIF file.
struct TGIFTrailer {
  static constexpr std::uint8_t Marker = 0x3B;
  void SaveToStream(TGIFWriter& out) const { out.WriteByte(Marker); }
};

// A GIF image: settings, header and frames. Frames refer to their image, so it stays where it was made.
class TGIFImage {
 public:
  TGIFImage() = default;
  TGIFImage(const TGIFImage&) = delete;
  TGIFImage& operator=(const TGIFImage&) = delete;

  TColorReduction ColorReduction() const { return colorReduction_; }
  void SetColorReduction(TColorReduction reduction);
  TDitherMode DitherMode() const { return ditherMode_; }
  void SetDitherMode(TDitherMode mode);
  // Palette size 2^bits; 3 to 8, else "Invalid Bits Per Pixel value" and the old value stays.
  int ReductionBits() const { return reductionBits_; }
  void SetReductionBits(int bits);
  TGIFCompression Compression() const { return compression_; }
  void SetCompression(TGIFCompression compression);

  // No frames, an empty global colour map, screen size 0.
  void Clear();
  // Replaces everything with one frame that takes over the bitmap.
  void Assign(const TBitmap& bitmap);

  // "89a" when a frame has an extension or a sorted local colour map, else "87a".
  std::string Version() const;

  // Creates or replaces the file, writes the image and closes the file.
  void SaveToFile(const std::string& fileName);
  void SaveToStream(TFileStream& stream);
  void SaveToStream(TGIFWriter& out);

  TGIFHeader Header;
  TGIFImageList Images;

 private:
  TColorReduction colorReduction_ = rmQuantize;
  TDitherMode ditherMode_ = dmNearest;
  int reductionBits_ = 8;
  TGIFCompression compression_ = gcRLE;
};

// Writes the bitmap as a single-image GIF with a 256-entry local colour table, optionally with one
// colour transparent; creates or replaces the file.
void SaveBitmapAsGif(const TBitmap& bitmap, const std::string& fileName,
                     std::optional<TColor> transparent = std::nullopt);
