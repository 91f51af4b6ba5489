// Text measuring and drawing with GDI: the font is realised once in a memory device context; drawing
// goes through a 32-bit top-down DIB section that receives the rows of the bitmap the text touches,
// is drawn on by ExtTextOutA and is copied back.

#include "platform/text/Text.h"
#include "platform/win32/GdiFont.h"

// After Text.h: <windows.h> defines RGB and GetRValue as macros, which Graphics.h declares as functions.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

namespace ui {
namespace {

struct DcDeleter {
  void operator()(HDC dc) const { DeleteDC(dc); }
};
using DcHandle = std::unique_ptr<std::remove_pointer_t<HDC>, DcDeleter>;

struct GdiObjectDeleter {
  void operator()(HGDIOBJ object) const { DeleteObject(object); }
};
using FontHandle = std::unique_ptr<std::remove_pointer_t<HFONT>, GdiObjectDeleter>;
using BitmapHandle = std::unique_ptr<std::remove_pointer_t<HBITMAP>, GdiObjectDeleter>;

// An object selected into a device context; the one it replaced is selected back when this goes.
class Selection {
 public:
  Selection() = default;
  Selection(HDC dc, HGDIOBJ object) : dc_(dc), old_(SelectObject(dc, object)) {
    if (old_ == nullptr || old_ == HGDI_ERROR)
      throw std::runtime_error("A drawing object cannot be selected");
  }
  Selection(Selection&& other) noexcept
      : dc_(std::exchange(other.dc_, nullptr)), old_(std::exchange(other.old_, nullptr)) {}
  Selection& operator=(Selection&& other) noexcept {
    if (this != &other) {
      Restore();
      dc_ = std::exchange(other.dc_, nullptr);
      old_ = std::exchange(other.old_, nullptr);
    }
    return *this;
  }
  ~Selection() { Restore(); }
  void Restore() {
    if (dc_ != nullptr && old_ != nullptr) SelectObject(dc_, old_);
    dc_ = nullptr;
    old_ = nullptr;
  }

 private:
  HDC dc_ = nullptr;
  HGDIOBJ old_ = nullptr;
};

COLORREF ToColorRef(TColor color) { return static_cast<COLORREF>(color & 0xFFFFFFu); }

// A font file added for this process only (AddFontResourceExA with FR_PRIVATE), removed again when
// this goes.
class PrivateFontResource {
 public:
  PrivateFontResource() = default;
  explicit PrivateFontResource(const std::string& file) : file_(file) {
    if (AddFontResourceExA(file_.c_str(), FR_PRIVATE, nullptr) == 0) {
      file_.clear();
      throw std::runtime_error("The font file \"" + file + "\" cannot be loaded");
    }
  }
  PrivateFontResource(PrivateFontResource&& other) noexcept : file_(std::exchange(other.file_, {})) {}
  PrivateFontResource& operator=(PrivateFontResource&& other) noexcept {
    if (this != &other) {
      Remove();
      file_ = std::exchange(other.file_, {});
    }
    return *this;
  }
  ~PrivateFontResource() { Remove(); }
  const std::string& File() const { return file_; }

 private:
  void Remove() {
    if (!file_.empty()) RemoveFontResourceExA(file_.c_str(), FR_PRIVATE, nullptr);
    file_.clear();
  }
  std::string file_;
};

std::vector<std::uint8_t> ReadWholeFile(const std::string& file) {
  std::ifstream stream(file, std::ios::binary);
  if (!stream.is_open()) throw std::runtime_error("The font file \"" + file + "\" cannot be opened");
  std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>()};
  if (stream.bad()) throw std::runtime_error("The font file \"" + file + "\" cannot be read");
  return bytes;
}

// GetFontData's table names: the four tag characters, the first in the lowest byte.
constexpr DWORD kCollectionTag = 't' | 't' << 8 | 'c' << 16 | 'f' << 24;

// The bytes of a table of the selected font (table 0: the whole font file, or for a face of a
// collection its data from its own table directory on); empty when GDI has none.
std::vector<std::uint8_t> FontTableData(HDC dc, DWORD table) {
  const DWORD size = GetFontData(dc, table, 0, nullptr, 0);
  if (size == GDI_ERROR || size == 0) return {};
  std::vector<std::uint8_t> bytes(size);
  if (GetFontData(dc, table, 0, bytes.data(), size) != size) return {};
  return bytes;
}

}  // namespace

struct TextRenderer::Impl {
  // Goes last: the font made from it is deleted before the file is removed.
  PrivateFontResource fontResource;
  Font font;
  int pixelsPerInch = 0;
  TEXTMETRICA metrics{};
  std::string faceName;
  // How far glyphs reach beyond their cell to the left and right at most, in pixels.
  int leftOverhang = 0;
  int rightOverhang = 0;

  // Declared in the order of creation; the selections go first when the renderer goes, so that the
  // context holds its own objects again before the font, the DIB section and the context are deleted.
  DcHandle dc;
  FontHandle hfont;
  BitmapHandle dib;
  std::uint32_t* dibBits = nullptr;
  int dibWidth = 0;
  int dibHeight = 0;
  Selection fontSelection;
  Selection dibSelection;
  // The character map of the font file, for characters by code point; read at the first of them.
  std::unique_ptr<FontFileCharacters> characters;

  // Makes the DIB section at least width x height pixels; its contents are undefined afterwards.
  void ReserveDib(int width, int height) {
    if (width <= dibWidth && height <= dibHeight) return;
    const int newWidth = std::max(width, dibWidth);
    const int newHeight = std::max(height, dibHeight);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = newWidth;
    info.bmiHeader.biHeight = -newHeight;  // top-down: row 0 first; rows are copied one by one
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    BitmapHandle created(CreateDIBSection(dc.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!created || bits == nullptr) {
      throw std::runtime_error("A drawing surface of " + std::to_string(newWidth) + " x " +
                               std::to_string(newHeight) + " pixels cannot be created");
    }
    dibSelection.Restore();
    dib.reset();
    dibBits = nullptr;
    dibWidth = dibHeight = 0;
    dibSelection = Selection(dc.get(), created.get());
    dib = std::move(created);
    dibBits = static_cast<std::uint32_t*>(bits);
    dibWidth = newWidth;
    dibHeight = newHeight;
  }

  // The glyph indices of the characters the font has (the others are left out: they draw nothing).
  std::vector<WORD> GlyphIndices(std::u32string_view text, const TextRenderer& renderer) {
    if (!characters) characters = std::make_unique<FontFileCharacters>(renderer.FontFile());
    std::vector<WORD> indices;
    indices.reserve(text.size());
    for (const char32_t c : text) {
      if (const std::uint16_t glyph = characters->GlyphOf(c)) indices.push_back(glyph);
    }
    return indices;
  }

  SIZE Extent(const std::vector<WORD>& indices) const {
    SIZE size{0, 0};
    if (indices.empty()) return size;
    if (!GetTextExtentPointI(dc.get(), const_cast<WORD*>(indices.data()), static_cast<int>(indices.size()),
                             &size)) {
      throw std::runtime_error("The text cannot be measured in the font \"" + font.name + "\"");
    }
    return size;
  }

  // Draws with the rectangle from (x, y), extent wide and a line high, opaque (see DrawOpaque):
  // draw(dc, x, y, cell) does the drawing on the memory context.
  // The glyphs reach at most leftReach and rightReach pixels beyond the cell (at least the font's
  // overhangs of the code page's characters are taken).
  template <typename Draw>
  void DrawOpaqueCell(TBitmap& bitmap, int x, int y, const SIZE& extent, TColor textColor,
                      TColor backgroundColor, Draw draw, int leftReach = 0, int rightReach = 0);

  SIZE Extent(std::string_view text) const {
    SIZE size{0, 0};
    if (text.empty()) return size;
    if (text.size() > 0x7FFFFFFF)
      throw std::length_error("A text of more than 2^31 characters cannot be measured");
    if (!GetTextExtentPoint32A(dc.get(), text.data(), static_cast<int>(text.size()), &size)) {
      throw std::runtime_error("The text cannot be measured in the font \"" + font.name + "\"");
    }
    return size;
  }
};

LOGFONTA MakeLogFont(const Font& font, int pixelsPerInch) {
  LOGFONTA logFont{};
  logFont.lfHeight = FontHeightForSize(font.size, pixelsPerInch);
  logFont.lfWeight = font.bold ? FW_BOLD : FW_NORMAL;
  logFont.lfItalic = font.italic ? TRUE : FALSE;
  logFont.lfUnderline = font.underline ? TRUE : FALSE;
  logFont.lfStrikeOut = font.strikeOut ? TRUE : FALSE;
  logFont.lfCharSet =
      static_cast<BYTE>(font.charset >= 0 && font.charset <= 255 ? font.charset : DEFAULT_CHARSET);
  logFont.lfOutPrecision = OUT_DEFAULT_PRECIS;
  logFont.lfClipPrecision = CLIP_DEFAULT_PRECIS;
  logFont.lfQuality = DEFAULT_QUALITY;
  BYTE pitch = DEFAULT_PITCH;
  if (font.pitch == FontPitch::Fixed) pitch = FIXED_PITCH;
  if (font.pitch == FontPitch::Variable) pitch = VARIABLE_PITCH;
  logFont.lfPitchAndFamily = pitch | FF_DONTCARE;
  // A zero byte ends the face name, as it would for the system.
  const std::size_t length = std::min({font.name.find('\0'), font.name.size(), std::size_t{LF_FACESIZE - 1}});
  std::memcpy(logFont.lfFaceName, font.name.data(), length);
  return logFont;
}

TextRenderer::TextRenderer(const Font& font, int pixelsPerInch)
    : TextRenderer(font, pixelsPerInch, RenderOptions{}) {}

TextRenderer::TextRenderer(const Font& font, int pixelsPerInch, const RenderOptions& options)
    : impl_(std::make_unique<Impl>()) {
  const int height = RendererFontHeight(font, pixelsPerInch);
  Impl& impl = *impl_;
  impl.font = font;
  impl.pixelsPerInch = pixelsPerInch;

  LOGFONTA logFont = MakeLogFont(font, pixelsPerInch);
  logFont.lfHeight = height;
  if (!options.fontFile.empty()) {
    // The file's face is asked for by the family, weight and slant its own tables give, once the file
    // is known to this process.
    const FontFaceInfo face = ReadFontFaceInfo(ReadWholeFile(options.fontFile), 0);
    impl.fontResource = PrivateFontResource(options.fontFile);
    std::memset(logFont.lfFaceName, 0, sizeof logFont.lfFaceName);
    std::memcpy(logFont.lfFaceName, face.family.data(),
                std::min<std::size_t>(face.family.size(), LF_FACESIZE - 1));
    logFont.lfWeight = face.weight;
    logFont.lfItalic = face.italic ? TRUE : FALSE;
    logFont.lfCharSet = DEFAULT_CHARSET;
  }
  if (!options.antialias) logFont.lfQuality = NONANTIALIASED_QUALITY;

  impl.hfont.reset(CreateFontIndirectA(&logFont));
  if (!impl.hfont) throw std::runtime_error("The font \"" + font.name + "\" cannot be created");
  impl.dc.reset(CreateCompatibleDC(nullptr));
  if (!impl.dc) throw std::runtime_error("A drawing context cannot be created");
  impl.fontSelection = Selection(impl.dc.get(), impl.hfont.get());
  if (!GetTextMetricsA(impl.dc.get(), &impl.metrics)) {
    throw std::runtime_error("The metrics of the font \"" + font.name + "\" cannot be read");
  }
  // The widest overhang of any character, from the glyphs' A and C spacing (negative = overhang);
  // fonts without those (raster fonts) reach at most their overhang and a line height.
  ABC spacing[256];
  if (GetCharABCWidthsA(impl.dc.get(), 0, 255, spacing)) {
    for (const ABC& abc : spacing) {
      impl.leftOverhang = std::max(impl.leftOverhang, -abc.abcA);
      impl.rightOverhang = std::max(impl.rightOverhang, -abc.abcC);
    }
  } else {
    impl.leftOverhang = impl.rightOverhang = impl.metrics.tmHeight;
  }
  // A pixel more on each side for smoothed edges, and the overhang GDI adds to synthesised styles.
  impl.leftOverhang += 1 + impl.metrics.tmOverhang;
  impl.rightOverhang += 1 + impl.metrics.tmOverhang;

  char face[LF_FACESIZE + 1] = {};
  const int length = GetTextFaceA(impl.dc.get(), sizeof(face), face);
  impl.faceName.assign(face, length > 0 ? std::strlen(face) : 0);
}

TextRenderer::~TextRenderer() = default;
TextRenderer::TextRenderer(TextRenderer&&) noexcept = default;
TextRenderer& TextRenderer::operator=(TextRenderer&&) noexcept = default;

const TextRenderer::Impl& TextRenderer::Get() const {
  if (!impl_) throw std::logic_error("A text renderer was used after it was moved from");
  return *impl_;
}

const Font& TextRenderer::GetFont() const { return Get().font; }
int TextRenderer::PixelsPerInch() const { return Get().pixelsPerInch; }
int TextRenderer::LineHeight() const { return Get().metrics.tmHeight; }
int TextRenderer::Ascent() const { return Get().metrics.tmAscent; }
std::string TextRenderer::FaceName() const { return Get().faceName; }
bool TextRenderer::IsSymbolFont() const { return Get().metrics.tmCharSet == SYMBOL_CHARSET; }

CharMetrics TextRenderer::Metrics(unsigned char code) const {
  const Impl& impl = Get();
  const char text[1] = {static_cast<char>(code)};
  CharMetrics metrics;
  metrics.advance = static_cast<int>(impl.Extent(std::string_view(text, 1)).cx);
  // A glyph without pixels (an empty outline) has no left edge: its bearing is 0.
  GLYPHMETRICS glyph{};
  const MAT2 identity{{0, 1}, {0, 0}, {0, 0}, {0, 1}};
  const DWORD size = GetGlyphOutlineA(impl.dc.get(), code, GGO_GRAY8_BITMAP, &glyph, 0, nullptr, &identity);
  ABC abc{};
  if (size != GDI_ERROR && size != 0 && GetCharABCWidthsA(impl.dc.get(), code, code, &abc))
    metrics.leftBearing = abc.abcA;
  return metrics;
}

FontFileData TextRenderer::FontFile() const {
  const Impl& impl = Get();
  FontFileData data;
  data.path = impl.fontResource.File();
  data.bytes = FontTableData(impl.dc.get(), kCollectionTag);
  if (!data.bytes.empty()) {
    // A face of a collection: it is the face whose table directory GDI gives for the selected font.
    const std::vector<std::uint8_t> own = FontTableData(impl.dc.get(), 0);
    const auto u32 = [](const std::vector<std::uint8_t>& b, std::size_t at) {
      return at + 4 > b.size()
                 ? 0u
                 : static_cast<std::uint32_t>(b[at]) << 24 | b[at + 1] << 16 | b[at + 2] << 8 | b[at + 3];
    };
    const std::uint32_t faces = u32(data.bytes, 8);
    const std::size_t directory =
        own.size() >= 12 ? 12 + 16 * (static_cast<std::size_t>(own[4]) << 8 | own[5]) : 0;
    for (std::uint32_t face = 0; face < faces && directory != 0; ++face) {
      const std::size_t at = u32(data.bytes, 12 + 4 * static_cast<std::size_t>(face));
      if (at + directory <= data.bytes.size() && directory <= own.size() &&
          std::equal(own.begin(), own.begin() + static_cast<std::ptrdiff_t>(directory),
                     data.bytes.begin() + at)) {
        data.faceIndex = static_cast<int>(face);
        return data;
      }
    }
    throw std::runtime_error("The face of the font \"" + impl.faceName +
                             "\" cannot be found in its collection");
  }
  data.bytes = FontTableData(impl.dc.get(), 0);
  if (data.bytes.empty()) throw std::runtime_error("The font \"" + impl.faceName + "\" gives no font data");
  return data;
}

TextExtent TextRenderer::Measure(std::string_view text) const {
  const SIZE size = Get().Extent(text);
  return {static_cast<int>(size.cx), static_cast<int>(size.cy)};
}

template <typename Draw>
void TextRenderer::Impl::DrawOpaqueCell(TBitmap& bitmap, int x, int y, const SIZE& extent, TColor textColor,
                                        TColor backgroundColor, Draw draw, int leftReach, int rightReach) {
  Impl& impl = *this;
  const int lineHeight = impl.metrics.tmHeight;
  // GDI clips glyphs to the line (the font's ascent and descent), so only these rows can change, and
  // only the columns of the cell and of the glyphs' overhang on either side.
  const long long top = std::max<long long>(y, 0);
  const long long bottom = std::min<long long>(static_cast<long long>(y) + lineHeight, bitmap.Height());
  if (top >= bottom) return;
  const long long left =
      std::max<long long>(static_cast<long long>(x) - std::max(impl.leftOverhang, leftReach), 0);
  const long long right = std::min<long long>(
      static_cast<long long>(x) + extent.cx + std::max(impl.rightOverhang, rightReach), bitmap.Width());
  if (left >= right) return;

  const int rows = static_cast<int>(bottom - top);
  const int columns = static_cast<int>(right - left);
  impl.ReserveDib(columns, rows);
  const std::size_t rowBytes = static_cast<std::size_t>(columns) * sizeof(std::uint32_t);
  for (int row = 0; row < rows; ++row) {
    std::memcpy(impl.dibBits + static_cast<std::size_t>(row) * impl.dibWidth,
                bitmap.ScanLine(static_cast<int>(top) + row) + left, rowBytes);
  }
  GdiFlush();

  HDC dc = impl.dc.get();
  SetTextColor(dc, ToColorRef(textColor));
  SetBkColor(dc, ToColorRef(backgroundColor));
  const int dibX = static_cast<int>(x - left);
  const int dibY = static_cast<int>(y - top);
  const RECT cell{dibX, dibY, static_cast<LONG>(dibX + extent.cx), dibY + lineHeight};
  if (!draw(dc, dibX, dibY, cell)) {
    throw std::runtime_error("The text cannot be drawn in the font \"" + impl.font.name + "\"");
  }
  GdiFlush();

  // A 16-bit picture keeps the top 5 bits of each channel, as everything else drawn on it does.
  const std::uint32_t mask = bitmap.BitsPerPixel() == 16 ? 0xF8F8F8u : 0xFFFFFFu;
  for (int row = 0; row < rows; ++row) {
    const std::uint32_t* source = impl.dibBits + static_cast<std::size_t>(row) * impl.dibWidth;
    TBitmap::Pixel32* target = bitmap.ScanLine(static_cast<int>(top) + row) + left;
    for (int column = 0; column < columns; ++column) target[column] = source[column] & mask;
  }
}

void TextRenderer::DrawOpaque(TBitmap& bitmap, int x, int y, std::string_view text, TColor textColor,
                              TColor backgroundColor) const {
  Impl& impl = const_cast<Impl&>(Get());
  if (bitmap.Empty() || text.empty()) return;
  impl.DrawOpaqueCell(bitmap, x, y, impl.Extent(text), textColor, backgroundColor,
                      [&](HDC dc, int dibX, int dibY, const RECT& cell) {
                        return ExtTextOutA(dc, dibX, dibY, ETO_OPAQUE, &cell, text.data(),
                                           static_cast<UINT>(text.size()), nullptr) != 0;
                      });
}

bool TextRenderer::HasCharacter(char32_t character) const {
  Impl& impl = const_cast<Impl&>(Get());
  return !impl.GlyphIndices(std::u32string_view(&character, 1), *this).empty();
}

CharMetrics TextRenderer::CharacterMetrics(char32_t character) const {
  Impl& impl = const_cast<Impl&>(Get());
  const std::vector<WORD> index = impl.GlyphIndices(std::u32string_view(&character, 1), *this);
  if (index.empty()) return {};
  CharMetrics metrics;
  metrics.advance = static_cast<int>(impl.Extent(index).cx);
  // A glyph without pixels (an empty outline) has no left edge: its bearing is 0.
  GLYPHMETRICS glyph{};
  const MAT2 identity{{0, 1}, {0, 0}, {0, 0}, {0, 1}};
  const DWORD size = GetGlyphOutlineW(impl.dc.get(), index[0], GGO_GRAY8_BITMAP | GGO_GLYPH_INDEX, &glyph, 0,
                                      nullptr, &identity);
  ABC abc{};
  if (size != GDI_ERROR && size != 0 && GetCharABCWidthsI(impl.dc.get(), index[0], 1, nullptr, &abc))
    metrics.leftBearing = abc.abcA;
  return metrics;
}

TextExtent TextRenderer::Measure(std::u32string_view text) const {
  Impl& impl = const_cast<Impl&>(Get());
  if (text.empty()) return {};
  return {static_cast<int>(impl.Extent(impl.GlyphIndices(text, *this)).cx),
          static_cast<int>(impl.metrics.tmHeight)};
}

void TextRenderer::DrawOpaque(TBitmap& bitmap, int x, int y, std::u32string_view text, TColor textColor,
                              TColor backgroundColor) const {
  Impl& impl = const_cast<Impl&>(Get());
  if (bitmap.Empty() || text.empty()) return;
  const std::vector<WORD> indices = impl.GlyphIndices(text, *this);
  // Characters beyond the code page may reach further than its characters: a combining mark lies
  // wholly left of its pen position. The reach of each glyph is taken from its own A and C spacing.
  int leftReach = 0, rightReach = 0;
  for (const WORD index : indices) {
    ABC abc{};
    if (!GetCharABCWidthsI(impl.dc.get(), index, 1, nullptr, &abc)) continue;
    leftReach = std::max(leftReach, 1 - abc.abcA);
    rightReach = std::max(rightReach, 1 - abc.abcC);
  }
  impl.DrawOpaqueCell(
      bitmap, x, y, impl.Extent(indices), textColor, backgroundColor,
      [&](HDC dc, int dibX, int dibY, const RECT& cell) {
        return ExtTextOutW(dc, dibX, dibY, ETO_OPAQUE | ETO_GLYPH_INDEX, &cell,
                           reinterpret_cast<LPCWSTR>(indices.data()), static_cast<UINT>(indices.size()),
                           nullptr) != 0;
      },
      leftReach + 1 + static_cast<int>(impl.metrics.tmOverhang),
      rightReach + 1 + static_cast<int>(impl.metrics.tmOverhang));
}

}  // namespace ui
