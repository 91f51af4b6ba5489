#include "imaging/Gifimage.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>

#include "imaging/FileStream.h"

namespace {

void CheckDimension(int value, const char* what) {
  if (value < 0 || value > GIFMaxDimension) {
    throw GIFException(std::string("GIF ") + what + " out of range: " + std::to_string(value) + " (at most " +
                       std::to_string(GIFMaxDimension) + ")");
  }
}

}  // namespace

// ---- TGIFWriter ----

TGIFWriter::TGIFWriter() = default;

TGIFWriter::TGIFWriter(TFileStream& stream) : stream_(&stream) { buffer_.reserve(FlushSize + 1024); }

void TGIFWriter::WriteWord(std::uint16_t value) {
  buffer_.push_back(static_cast<std::uint8_t>(value & 0xFF));
  buffer_.push_back(static_cast<std::uint8_t>(value >> 8));
}

void TGIFWriter::Write(const void* data, std::size_t size) {
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  buffer_.insert(buffer_.end(), bytes, bytes + size);
}

void TGIFWriter::BeginBlocks() {
  blockStart_ = buffer_.size();
  buffer_.push_back(0);  // the size byte, set when the block is complete
  blockFill_ = 0;
}

void TGIFWriter::NextBlock() {
  buffer_[blockStart_] = 255;
  // A complete block may go out; the size byte of the next one is not known yet.
  if (stream_ != nullptr && buffer_.size() >= FlushSize) Flush();
  BeginBlocks();
}

void TGIFWriter::BlockBytes(const std::uint8_t* data, std::size_t size) {
  while (size > 0) {
    const std::size_t part = std::min(size, static_cast<std::size_t>(255 - blockFill_));
    buffer_.insert(buffer_.end(), data, data + part);
    blockFill_ += static_cast<int>(part);
    data += part;
    size -= part;
    if (blockFill_ == 255) NextBlock();
  }
}

void TGIFWriter::EndBlocks() {
  if (blockFill_ > 0) {
    buffer_[blockStart_] = static_cast<std::uint8_t>(blockFill_);
  } else {
    buffer_.pop_back();  // no empty block
  }
  blockFill_ = 0;
}

void TGIFWriter::Flush() {
  if (stream_ == nullptr || buffer_.empty()) return;
  stream_->Write(buffer_.data(), buffer_.size());
  buffer_.clear();
}

// ---- TGIFColorMap ----

void TGIFColorMap::Clear() {
  colors_.clear();
  sorted_ = false;
}

void TGIFColorMap::Assign(const std::vector<TGIFColor>& colors) {
  if (colors.size() > static_cast<std::size_t>(MaxColors)) throw GIFException("Color table overflow");
  colors_ = colors;
}

int TGIFColorMap::Add(const TGIFColor& color) {
  if (Count() >= MaxColors) throw GIFException("Color table overflow");
  colors_.push_back(color);
  return Count() - 1;
}

int TGIFColorMap::IndexOf(const TGIFColor& color) const {
  for (int i = Count() - 1; i >= 0; --i) {
    if (colors_[static_cast<std::size_t>(i)] == color) return i;
  }
  return -1;
}

int TGIFColorMap::AddUnique(const TGIFColor& color) {
  const int index = IndexOf(color);
  return index >= 0 ? index : Add(color);
}

int TGIFColorMap::BitsPerPixel() const {
  if (colors_.empty()) return 0;
  int bits = 1;
  while ((1 << bits) < Count()) ++bits;
  return bits;
}

void TGIFColorMap::SaveToStream(TGIFWriter& out) const {
  std::array<std::uint8_t, MaxColors * 3> table{};
  for (std::size_t i = 0; i < colors_.size(); ++i) {
    table[i * 3] = colors_[i].Red;
    table[i * 3 + 1] = colors_[i].Green;
    table[i * 3 + 2] = colors_[i].Blue;
  }
  out.Write(table.data(), (std::size_t{1} << BitsPerPixel()) * 3);
}

// ---- TGIFHeader ----

void TGIFHeader::SetScreenWidth(int width) {
  CheckDimension(width, "screen width");
  screenWidth_ = width;
}

void TGIFHeader::SetScreenHeight(int height) {
  CheckDimension(height, "screen height");
  screenHeight_ = height;
}

void TGIFHeader::Clear() {
  screenWidth_ = 0;
  screenHeight_ = 0;
  Packed = 0;
  BackgroundColorIndex = 0;
  AspectRatio = 0;
  ColorMap.Clear();
}

// ---- TGIFGraphicControlExtension ----

void TGIFGraphicControlExtension::SetTransparent(bool transparent) {
  packed_ = static_cast<std::uint8_t>(transparent ? (packed_ | 0x01) : (packed_ & ~0x01));
}

void TGIFGraphicControlExtension::SetTransparentColor(TColor color) {
  const TGIFColor entry{static_cast<std::uint8_t>(GetRValue(color)),
                        static_cast<std::uint8_t>(GetGValue(color)),
                        static_cast<std::uint8_t>(GetBValue(color))};
  transparentIndex_ = static_cast<std::uint8_t>(SubImage().ActiveColorMap().AddUnique(entry));
}

void TGIFGraphicControlExtension::SaveToStream(TGIFWriter& out) const {
  const std::uint8_t block[8] = {0x21,
                                 0xF9,
                                 BlockSize,
                                 packed_,
                                 static_cast<std::uint8_t>(delay_ & 0xFF),
                                 static_cast<std::uint8_t>(delay_ >> 8),
                                 transparentIndex_,
                                 0};
  out.Write(block, sizeof block);
}

// ---- TRLEEncoder ----

std::uint64_t TRLEEncoder::TriangleCost(std::uint64_t pixels, std::uint64_t budget) {
  const std::uint64_t full = budget * (budget + 1) / 2;
  std::uint64_t cost = (pixels / full) * budget;
  pixels %= full;
  if (pixels > 0) {
    // The smallest t with t (t + 1) / 2 >= pixels; short runs are counted up directly.
    std::uint64_t t = 1;
    while (t < 16 && t * (t + 1) / 2 < pixels) ++t;
    if (t * (t + 1) / 2 < pixels) {
      t = static_cast<std::uint64_t>((std::sqrt(8.0 * static_cast<double>(pixels) + 1.0) - 1.0) / 2.0);
    }
    while (t * (t + 1) / 2 < pixels) ++t;
    while (t > 0 && (t - 1) * t / 2 >= pixels) --t;
    cost += t;
  }
  return cost;
}

void TRLEEncoder::PackCodes() {
  std::array<std::uint8_t, sizeof(pending_) * 2> bytes;
  std::size_t count = 0;
  std::uint64_t bits = bits_;
  int bitCount = bitCount_;
  for (std::size_t i = 0; i < pendingCount_; ++i) {
    const std::uint32_t entry = pending_[i];
    bits |= static_cast<std::uint64_t>(entry & 0xFFF) << bitCount;
    bitCount += static_cast<int>(entry >> 12);
    while (bitCount >= 8) {
      bytes[count++] = static_cast<std::uint8_t>(bits & 0xFF);
      bits >>= 8;
      bitCount -= 8;
    }
  }
  bits_ = bits;
  bitCount_ = bitCount;
  pendingCount_ = 0;
  out_->BlockBytes(bytes.data(), count);
}

void TRLEEncoder::Clear() {
  threshold_ = initialThreshold_;
  limit_ = initialLimit_;
  codes_ = 0;
  tableRun_ = 0;
  fresh_ = true;
  Emit(clearCode_);
  width_ = initialWidth_;
}

void TRLEEncoder::Plain(int code) {
  fresh_ = false;
  Emit(code);
  ++codes_;
  if (codes_ >= threshold_) {
    ++width_;
    threshold_ += 1 << (width_ - 1);
  }
  if (codes_ >= limit_) Clear();
}

void TRLEEncoder::RestoreLimit() {
  limit_ = initialLimit_;
  if (codes_ >= limit_) Clear();
}

void TRLEEncoder::FromClear(std::uint64_t pixels) {
  limit_ = budget_;
  tablePixel_ = pixel_;
  std::uint64_t step = 1;  // the run length the next code can send
  while (pixels > 0) {
    if (step == 1) {
      tableRun_ = 1;
      Plain(pixel_);
      pixels -= 1;
    } else if (pixels >= step) {
      tableRun_ = static_cast<int>(step);
      Plain(firstRunCode_ + static_cast<int>(step) - 2);
      pixels -= step;
    } else if (pixels == 1) {
      ++tableRun_;
      Plain(pixel_);
      break;
    } else {
      ++tableRun_;
      Plain(firstRunCode_ + static_cast<int>(pixels) - 2);
      break;
    }
    step = codes_ == 0 ? 1 : step + 1;
  }
  RestoreLimit();
}

void TRLEEncoder::ClearOrRepeat(std::uint64_t pixels) {
  if (1 + TriangleCost(pixels, static_cast<std::uint64_t>(budget_)) < pixels) {
    Clear();
    FromClear(pixels);
  } else {
    for (std::uint64_t i = 0; i < pixels; ++i) Plain(pixel_);
  }
}

void TRLEEncoder::WithTable(std::uint64_t pixels) {
  const auto run = static_cast<std::uint64_t>(tableRun_);
  const auto budget = static_cast<std::uint64_t>(budget_);
  std::uint64_t repeats = pixels / run;
  std::uint64_t rest = pixels % run;
  std::uint64_t extra = rest > 0 ? 1 : 0;
  if (static_cast<std::uint64_t>(codes_) + repeats + extra > budget) {
    repeats = budget - static_cast<std::uint64_t>(codes_);
    rest = pixels - repeats * run;
    extra = 1 + TriangleCost(rest, budget);
  }
  if (1 + TriangleCost(pixels, budget) < repeats + extra) {
    Clear();
    FromClear(pixels);
    return;
  }
  limit_ = budget_;
  const int runCode = firstRunCode_ + tableRun_ - 2;
  for (std::uint64_t i = 0; i < repeats; ++i) Plain(runCode);
  if (rest > 0) {
    if (fresh_) {
      FromClear(rest);
    } else if (rest == 1) {
      Plain(pixel_);
    } else {
      Plain(firstRunCode_ + static_cast<int>(rest) - 2);
    }
  }
  RestoreLimit();
}

void TRLEEncoder::FlushRun(std::uint64_t pixels) {
  if (pixels == 1) {
    Plain(pixel_);
  } else if (fresh_) {
    FromClear(pixels);
  } else if (tableRun_ > 1 && tablePixel_ == pixel_) {
    WithTable(pixels);
  } else {
    ClearOrRepeat(pixels);
  }
}

void TRLEEncoder::Encode(TGIFWriter& out, const std::uint8_t* indices, std::size_t count, int colorCount,
                         int bitsPerPixel) {
  const int codeSize = std::max(bitsPerPixel, 2);
  initialWidth_ = codeSize + 1;
  clearCode_ = 1 << codeSize;
  endCode_ = clearCode_ + 1;
  firstRunCode_ = clearCode_ + 2;
  initialThreshold_ = clearCode_ - 1;
  initialLimit_ = codeSize <= 3 ? 9 : clearCode_ - 2;
  budget_ = 4095 - firstRunCode_;

  out_ = &out;
  out.WriteByte(static_cast<std::uint8_t>(codeSize));
  out.BeginBlocks();
  width_ = initialWidth_;
  pendingCount_ = 0;
  bits_ = 0;
  bitCount_ = 0;
  tablePixel_ = -1;
  pixel_ = -1;
  Clear();

  // The indices go out run by run: each run of equal indices is flushed when the next index differs
  // (the check of that index comes first) and at the end.
  std::uint64_t run = 0;
  std::size_t i = 0;
  while (i < count) {
    const int value = indices[i];
    if (value >= colorCount) throw GIFException("Color not in color table");
    if (run > 0) FlushRun(run);
    std::size_t end = i + 1;
    while (end < count && indices[end] == value) ++end;
    pixel_ = value;
    run = end - i;
    i = end;
  }
  if (run > 0) FlushRun(run);

  Emit(endCode_);
  PackCodes();
  if (bitCount_ > 0) {
    const auto last = static_cast<std::uint8_t>(bits_ & 0xFF);  // the unused high bits are 0
    out.BlockBytes(&last, 1);
  }
  bits_ = 0;
  bitCount_ = 0;
  out.EndBlocks();
  out.WriteByte(0);  // block terminator
  out_ = nullptr;
}

// ---- TGIFSubImage ----

void TGIFSubImage::SetSize(int width, int height, std::vector<std::uint8_t> data) {
  CheckDimension(width, "image width");
  CheckDimension(height, "image height");
  if (left_ + width > GIFMaxDimension || top_ + height > GIFMaxDimension) {
    throw GIFException("GIF image does not fit on a screen of at most 65535 x 65535 pixels");
  }
  Data = std::move(data);
  width_ = width;
  height_ = height;
  TGIFHeader& header = image_.Header;
  if (header.ScreenWidth() < left_ + width_) header.SetScreenWidth(left_ + width_);
  if (header.ScreenHeight() < top_ + height_) header.SetScreenHeight(top_ + height_);
}

void TGIFSubImage::SetWidth(int width) {
  CheckDimension(width, "image width");
  SetSize(width, height_, std::vector<std::uint8_t>(static_cast<std::size_t>(width) * height_));
}

void TGIFSubImage::SetHeight(int height) {
  CheckDimension(height, "image height");
  SetSize(width_, height, std::vector<std::uint8_t>(static_cast<std::size_t>(width_) * height));
}

void TGIFSubImage::Clear() {
  Packed = 0;
  ColorMap.Clear();
  Data.clear();
  Extensions.clear();
  width_ = 0;
  height_ = 0;
}

void TGIFSubImage::Assign(const TBitmap& bitmap) {
  Clear();
  if (bitmap.Empty()) return;
  // Checked before any work is done, so a picture too large for the 16-bit fields fails at once.
  if (bitmap.Width() > GIFMaxDimension || bitmap.Height() > GIFMaxDimension) {
    throw GIFException(TErrorKind::GifTooLarge,
                       {std::to_string(bitmap.Width()), std::to_string(bitmap.Height())});
  }
  TPaletteBitmap reduced =
      ReduceColors(bitmap, image_.ColorReduction(), image_.DitherMode(), image_.ReductionBits());
  ColorMap.Assign(reduced.Palette());
  // The indices are taken over as they are (rows top first) rather than copied into a zeroed buffer.
  const int width = reduced.Width(), height = reduced.Height();
  SetSize(width, height, reduced.TakePixels());
}

TGIFColorMap& TGIFSubImage::ActiveColorMap() {
  if (ColorMap.Count() > 0) return ColorMap;
  if (image_.Header.ColorMap.Count() > 0) return image_.Header.ColorMap;
  return ColorMap;
}

int TGIFSubImage::BitsPerPixel() const {
  if (ColorMap.Count() > 0) return ColorMap.BitsPerPixel();
  return std::max(image_.Header.ColorMap.BitsPerPixel(), 1);
}

void TGIFSubImage::SaveToStream(TGIFWriter& out) {
  for (const auto& extension : Extensions) extension->SaveToStream(out);
  if (Empty()) return;

  if (ColorMap.Count() > 0) {
    Packed = static_cast<std::uint8_t>(0x80 | (ColorMap.Sorted() ? 0x20 : 0) |
                                       ((ColorMap.BitsPerPixel() - 1) & 0x07));
  } else {
    Packed &= 0x58;  // interlace and reserved bits only
  }
  out.WriteByte(0x2C);
  out.WriteWord(static_cast<std::uint16_t>(left_));
  out.WriteWord(static_cast<std::uint16_t>(top_));
  out.WriteWord(static_cast<std::uint16_t>(width_));
  out.WriteWord(static_cast<std::uint16_t>(height_));
  out.WriteByte(Packed);
  if (ColorMap.Count() > 0) ColorMap.SaveToStream(out);

  const int bits = BitsPerPixel();
  const int colorCount = ColorMap.Count() > 0 ? ColorMap.Count() : 1 << bits;
  TRLEEncoder encoder;
  encoder.Encode(out, Data.data(), Data.size(), colorCount, bits);
}

// ---- TGIFImage ----

void TGIFImage::SetColorReduction(TColorReduction reduction) {
  if (reduction != rmQuantize) throw GIFException("Unsupported color reduction");
  colorReduction_ = reduction;
}

void TGIFImage::SetDitherMode(TDitherMode mode) {
  if (mode != dmNearest) throw GIFException("Unsupported dither mode");
  ditherMode_ = mode;
}

void TGIFImage::SetReductionBits(int bits) {
  if (bits < 3 || bits > 8) throw GIFException("Invalid Bits Per Pixel value");
  reductionBits_ = bits;
}

void TGIFImage::SetCompression(TGIFCompression compression) {
  if (compression != gcRLE) throw GIFException("Unsupported compression");
  compression_ = compression;
}

void TGIFImage::Clear() {
  Images.clear();
  Header.Clear();
}

void TGIFImage::Assign(const TBitmap& bitmap) {
  Clear();
  auto frame = std::make_unique<TGIFSubImage>(*this);
  frame->Assign(bitmap);
  Images.push_back(std::move(frame));
}

std::string TGIFImage::Version() const {
  for (const auto& frame : Images) {
    if (!frame->Extensions.empty() || frame->ColorMap.Sorted()) return "89a";
  }
  return "87a";
}

void TGIFImage::SaveToStream(TGIFWriter& out) {
  const TGIFColorMap& global = Header.ColorMap;
  int resolution = global.ColorResolution();
  int bits = global.BitsPerPixel();
  for (const auto& frame : Images) {
    resolution = std::max(resolution, frame->ColorMap.ColorResolution());
    bits = std::max(bits, frame->ColorMap.BitsPerPixel());
  }
  Header.Packed = static_cast<std::uint8_t>((global.Count() > 0 ? 0x80 : 0) |
                                            (global.Count() > 0 && global.Sorted() ? 0x08 : 0) |
                                            ((resolution & 0x07) << 4) | ((bits - 1) & 0x07));

  out.Write("GIF", 3);
  out.Write(Version().data(), 3);
  out.WriteWord(static_cast<std::uint16_t>(Header.ScreenWidth()));
  out.WriteWord(static_cast<std::uint16_t>(Header.ScreenHeight()));
  out.WriteByte(Header.Packed);
  out.WriteByte(Header.BackgroundColorIndex);
  out.WriteByte(Header.AspectRatio);
  if (global.Count() > 0) global.SaveToStream(out);
  for (const auto& frame : Images) frame->SaveToStream(out);
  TGIFTrailer().SaveToStream(out);
}

void TGIFImage::SaveToStream(TFileStream& stream) {
  TGIFWriter out(stream);
  SaveToStream(out);
  out.Flush();
}

void TGIFImage::SaveToFile(const std::string& fileName) {
  TFileStream stream(fileName);
  SaveToStream(stream);
  stream.Close();
}

// ---- SaveBitmapAsGif ----

void SaveBitmapAsGif(const TBitmap& bitmap, const std::string& fileName, std::optional<TColor> transparent) {
  TGIFImage image;
  image.SetDitherMode(dmNearest);
  image.SetColorReduction(rmQuantize);
  image.SetReductionBits(8);
  image.SetCompression(gcRLE);
  image.Assign(bitmap);
  if (transparent) {
    TGIFSubImage& frame = *image.Images.front();
    auto extension = std::make_unique<TGIFGraphicControlExtension>(frame);
    extension->SetTransparent(true);
    extension->SetTransparentColor(*transparent);
    frame.Extensions.push_back(std::move(extension));
  }
  image.SaveToFile(fileName);
}
