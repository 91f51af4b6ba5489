#include "imaging/ImageFormats.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>

#include "imaging/Gifimage.h"
#include "imaging/Png.h"

namespace {

void WriteGif(const TBitmap& picture, const std::string& fileName) { SaveBitmapAsGif(picture, fileName); }

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

const std::vector<TImageFormatInfo>& ImageFormats() {
  static const std::vector<TImageFormatInfo> formats = {
      {TImageFormat::Bmp, "bmp", ".bmp", "BMP", nullptr, SaveBitmapAsBmp, true, true},
      {TImageFormat::Jpeg, "jpg", ".jpg", "JPG", nullptr, SaveBitmapAsJpeg, true, true},
      {TImageFormat::Gif, "gif", ".gif", "GIF", nullptr, WriteGif, true, false},
      {TImageFormat::TransparentGif, "gif-transparent", ".gif", "GIF transparent", nullptr, nullptr, true,
       false},
      {TImageFormat::PngWithAlpha, "png-alpha", ".png", "PNG with alpha", "m_aMPngWithAlpha", nullptr, true,
       false},
      {TImageFormat::Png, "png", ".png", "PNG", nullptr, SaveBitmapAsPng, false, true},
  };
  return formats;
}

const TImageFormatInfo& FormatInfo(TImageFormat format) {
  for (const TImageFormatInfo& info : ImageFormats())
    if (info.Id == format) return info;
  throw std::logic_error("a picture format without a row in the format table");
}

std::vector<TImageFormat> GlyphFormats() {
  std::vector<TImageFormat> formats;
  for (const TImageFormatInfo& info : ImageFormats())
    if (info.Glyphs) formats.push_back(info.Id);
  return formats;
}

std::vector<TImageFormat> CaptureFormats() {
  std::vector<TImageFormat> formats;
  for (const TImageFormatInfo& info : ImageFormats())
    if (info.Captures) formats.push_back(info.Id);
  return formats;
}

std::optional<TImageFormat> GlyphFormatOfName(std::string_view name) {
  for (const TImageFormatInfo& info : ImageFormats())
    if (info.Glyphs && name == info.CommandLineName) return info.Id;
  return std::nullopt;
}

std::string GlyphFormatNames() {
  std::string names;
  for (const TImageFormatInfo& info : ImageFormats()) {
    if (!info.Glyphs) continue;
    names += (names.empty() ? "" : ", ") + std::string(info.CommandLineName);
  }
  return names;
}

std::optional<TImageFormat> CaptureFormatOfExtension(const std::string& extension) {
  for (const TImageFormatInfo& info : ImageFormats())
    if (info.Captures && Upper(extension) == Upper(info.Extension)) return info.Id;
  return std::nullopt;
}

std::string ParenthesisedLabel(TImageFormat format, const std::string& label) {
  const TImageFormatInfo& info = FormatInfo(format);
  const std::string text = label.empty() ? info.Label : label;
  return text == Upper(info.Extension + 1) ? "(*." + text + ")" : "(*-" + text + ")";
}

std::string DialogFilter(const std::vector<TDialogType>& types) {
  std::string filter;
  for (const TDialogType& type : types) {
    if (!filter.empty()) filter += "|";
    filter += type.Label + "|*" + FormatInfo(type.Format).Extension;
  }
  return filter;
}
