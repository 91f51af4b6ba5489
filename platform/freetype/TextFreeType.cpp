// Text measuring and drawing with FreeType. Faces are found through fontconfig, whose aliases stand
// in for the Windows faces (Liberation Sans for Arial and so on); metrics follow what GDI gives for a
// TrueType font: the em is the font height, the line is the font's Windows ascent plus descent, the
// advance widths are the hinted ones in whole pixels.

#include <fontconfig/fontconfig.h>
#include <ft2build.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/os/Os.h"
#include "platform/text/Text.h"
#include FT_FREETYPE_H
#include FT_GASP_H
#include FT_OUTLINE_H
#include FT_SIZES_H
#include FT_TRUETYPE_TABLES_H

namespace ui {
namespace {

// ---- FreeType objects shared by all renderers -------------------------------------------------------

// The FreeType library; its mutex guards every use of it and of its faces.
struct Library {
  FT_Library handle = nullptr;
  std::mutex mutex;

  Library() {
    if (FT_Init_FreeType(&handle) != 0) throw std::runtime_error("The font engine cannot be started");
  }
  ~Library() { FT_Done_FreeType(handle); }
  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;
};

struct Face {
  std::shared_ptr<Library> library;
  FT_Face handle = nullptr;

  // Called with the library's mutex held.
  Face(std::shared_ptr<Library> lib, const std::string& file, int index) : library(std::move(lib)) {
    if (FT_New_Face(library->handle, file.c_str(), index, &handle) != 0) {
      throw std::runtime_error("The font file \"" + file + "\" cannot be read");
    }
  }
  ~Face() {
    std::lock_guard lock(library->mutex);
    FT_Done_Face(handle);
  }
  Face(const Face&) = delete;
  Face& operator=(const Face&) = delete;
};

// What fontconfig chose for a font description.
struct FaceMatch {
  std::string file;
  int index = 0;
  std::string family;  // UTF-8
  bool embolden = false;
  bool oblique = false;  // a slant to apply to an upright face standing in for an italic one
  FT_Matrix matrix{0x10000, 0, 0, 0x10000};
};

struct PatternDeleter {
  void operator()(FcPattern* pattern) const { FcPatternDestroy(pattern); }
};
using PatternHandle = std::unique_ptr<FcPattern, PatternDeleter>;

FaceMatch MatchFace(const std::string& name, bool bold, bool italic, bool fixedPitch) {
  PatternHandle pattern(FcPatternCreate());
  if (!pattern) throw std::runtime_error("Out of memory while looking for the font \"" + name + "\"");
  const std::string family = AnsiToUtf8(name);
  if (!family.empty())
    FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
  FcPatternAddInteger(pattern.get(), FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
  FcPatternAddInteger(pattern.get(), FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  if (fixedPitch) FcPatternAddInteger(pattern.get(), FC_SPACING, FC_MONO);
  FcConfigSubstitute(nullptr, pattern.get(), FcMatchPattern);
  FcDefaultSubstitute(pattern.get());
  FcResult result = FcResultNoMatch;
  PatternHandle match(FcFontMatch(nullptr, pattern.get(), &result));
  FcChar8* file = nullptr;
  if (!match || FcPatternGetString(match.get(), FC_FILE, 0, &file) != FcResultMatch || file == nullptr) {
    throw std::runtime_error("No installed font can stand in for \"" + name + "\"");
  }
  FaceMatch found;
  found.file = reinterpret_cast<const char*>(file);
  FcPatternGetInteger(match.get(), FC_INDEX, 0, &found.index);
  FcChar8* matchedFamily = nullptr;
  if (FcPatternGetString(match.get(), FC_FAMILY, 0, &matchedFamily) == FcResultMatch &&
      matchedFamily != nullptr) {
    found.family = reinterpret_cast<const char*>(matchedFamily);
  }
  FcBool embolden = FcFalse;
  if (FcPatternGetBool(match.get(), FC_EMBOLDEN, 0, &embolden) == FcResultMatch)
    found.embolden = embolden == FcTrue;
  FcMatrix* matrix = nullptr;
  if (FcPatternGetMatrix(match.get(), FC_MATRIX, 0, &matrix) == FcResultMatch && matrix != nullptr &&
      (matrix->xx != 1 || matrix->xy != 0 || matrix->yx != 0 || matrix->yy != 1)) {
    found.oblique = true;
    found.matrix = {static_cast<FT_Fixed>(matrix->xx * 0x10000), static_cast<FT_Fixed>(matrix->xy * 0x10000),
                    static_cast<FT_Fixed>(matrix->yx * 0x10000), static_cast<FT_Fixed>(matrix->yy * 0x10000)};
  }
  return found;
}

// The fontconfig answers and the open faces, kept for the whole run: a program asks for a handful of
// fonts, many times each.
class FontCache {
 public:
  static FontCache& Instance() {
    static FontCache cache;
    return cache;
  }

  std::pair<FaceMatch, std::shared_ptr<Face>> Find(const std::string& name, bool bold, bool italic,
                                                   bool fixedPitch) {
    std::lock_guard lock(mutex_);
    const auto key = std::make_tuple(name, bold, italic, fixedPitch);
    auto known = matches_.find(key);
    if (known == matches_.end())
      known = matches_.emplace(key, MatchFace(name, bold, italic, fixedPitch)).first;
    const FaceMatch& match = known->second;
    const auto faceKey = std::make_pair(match.file, match.index);
    auto open = faces_.find(faceKey);
    if (open == faces_.end()) {
      DropUnusedFaces();
      if (!library_) library_ = std::make_shared<Library>();
      std::shared_ptr<Face> face;
      {
        std::lock_guard libraryLock(library_->mutex);
        face = std::make_shared<Face>(library_, match.file, match.index);
      }
      open = faces_.emplace(faceKey, std::move(face)).first;
    }
    return {match, open->second};
  }

  // The first face of a font file, named by the file's own family name.
  std::pair<FaceMatch, std::shared_ptr<Face>> Open(const std::string& file) {
    std::lock_guard lock(mutex_);
    FaceMatch match;
    match.file = file;
    const auto faceKey = std::make_pair(file, 0);
    auto open = faces_.find(faceKey);
    if (open == faces_.end()) {
      DropUnusedFaces();
      if (!library_) library_ = std::make_shared<Library>();
      std::shared_ptr<Face> face;
      {
        std::lock_guard libraryLock(library_->mutex);
        face = std::make_shared<Face>(library_, file, 0);
      }
      open = faces_.emplace(faceKey, std::move(face)).first;
    }
    const FT_Face f = open->second->handle;
    if (f->family_name != nullptr) match.family = f->family_name;
    return {match, open->second};
  }

 private:
  // Keeps the number of open faces bounded: faces no renderer holds go once there are many.
  void DropUnusedFaces() {
    if (faces_.size() < 32) return;
    for (auto it = faces_.begin(); it != faces_.end();) {
      it = it->second.use_count() == 1 ? faces_.erase(it) : std::next(it);
    }
  }

  std::mutex mutex_;
  std::shared_ptr<Library> library_;
  std::map<std::tuple<std::string, bool, bool, bool>, FaceMatch> matches_;
  std::map<std::pair<std::string, int>, std::shared_ptr<Face>> faces_;
};

// The whole file.
FontFileData ReadFontFile(const std::string& file, int faceIndex) {
  std::optional<std::vector<std::uint8_t>> bytes = os::ReadWholeFile(file);
  if (!bytes) throw std::runtime_error("The font file \"" + file + "\" cannot be read");
  FontFileData data;
  data.bytes = std::move(*bytes);
  data.faceIndex = faceIndex;
  data.path = file;
  return data;
}

// A 26.6 value rounded to whole pixels.
long RoundPixels(FT_Pos value) { return static_cast<long>((value + 32) >> 6); }

// One character's advance and coverage, rendered once per renderer.
struct Glyph {
  bool ready = false;
  int advance = 0;
  int left = 0;  // from the pen position to the first column
  int top = 0;   // from the baseline up to the first row
  int width = 0;
  int rows = 0;
  std::vector<std::uint8_t> coverage;  // width x rows, 0 to 255
};

void CopyCoverage(const FT_Bitmap& bitmap, Glyph& glyph) {
  const int width = static_cast<int>(bitmap.width);
  const int rows = static_cast<int>(bitmap.rows);
  if (width <= 0 || rows <= 0 || bitmap.buffer == nullptr) return;
  const bool known = bitmap.pixel_mode == FT_PIXEL_MODE_GRAY || bitmap.pixel_mode == FT_PIXEL_MODE_MONO ||
                     bitmap.pixel_mode == FT_PIXEL_MODE_BGRA;
  if (!known) return;
  glyph.width = width;
  glyph.rows = rows;
  glyph.coverage.assign(static_cast<std::size_t>(width) * rows, 0);
  const int grays = bitmap.num_grays > 1 ? bitmap.num_grays - 1 : 255;
  for (int row = 0; row < rows; ++row) {
    const unsigned char* source =
        bitmap.pitch >= 0 ? bitmap.buffer + static_cast<std::ptrdiff_t>(row) * bitmap.pitch
                          : bitmap.buffer + static_cast<std::ptrdiff_t>(rows - 1 - row) * -bitmap.pitch;
    std::uint8_t* target = glyph.coverage.data() + static_cast<std::size_t>(row) * width;
    for (int column = 0; column < width; ++column) {
      switch (bitmap.pixel_mode) {
        case FT_PIXEL_MODE_MONO:
          target[column] = (source[column >> 3] >> (7 - (column & 7))) & 1 ? 255 : 0;
          break;
        case FT_PIXEL_MODE_BGRA:
          target[column] = source[column * 4 + 3];
          break;
        default: {
          // Smoothed glyphs in the 17 levels of coverage that GDI's grey-scale glyphs have.
          const int value = std::min(255, source[column] * 255 / grays);
          target[column] = static_cast<std::uint8_t>((value * 16 + 128) / 256 * 255 / 16);
          break;
        }
      }
    }
  }
}

}  // namespace

struct TextRenderer::Impl {
  Font font;
  int pixelsPerInch = 0;
  std::shared_ptr<Face> face;
  FT_Size size = nullptr;  // this renderer's size of the shared face
  FaceMatch match;
  bool symbol = false;
  bool monochrome = false;
  int ppem = 0;
  int ascent = 0;
  int lineHeight = 0;
  int underlineTop = 0;  // rows from the top of the line
  int underlineHeight = 1;
  int strikeOutTop = 0;
  int strikeOutHeight = 1;
  std::array<FT_UInt, 256> glyphIndex{};
  std::array<Glyph*, 256> glyphs{};  // the glyph of each byte, once rendered
  std::map<FT_UInt, Glyph> byIndex;  // every glyph rendered, by its index in the face
  // The character map of the font file, for characters by code point; read at the first of them.
  std::unique_ptr<FontFileCharacters> characters;
  // The font file's bytes, read once at the first need.
  std::optional<FontFileData> file;
  const FontFileData& File() {
    if (!file) file = ReadFontFile(match.file, match.index & 0xFFFF);
    return *file;
  }

  Impl() = default;
  Impl(const Impl&) = delete;
  Impl& operator=(const Impl&) = delete;
  ~Impl() {
    if (size != nullptr) {
      std::lock_guard lock(face->library->mutex);
      FT_Done_Size(size);
    }
  }

  // All of the following run with the library's mutex held and this renderer's size active.
  void SetPixelSize(long long height);
  void ReadLineMetrics();
  void MapCharacters();
  const Glyph& GlyphOf(unsigned char byte);
  const Glyph& GlyphAt(FT_UInt index);
  // The glyph of a code point; null for a character the font lacks.
  const Glyph* CharacterGlyph(char32_t character);
  // The glyphs of a text (null entries draw and measure nothing) and their advance widths' sum.
  std::vector<const Glyph*> GlyphsOf(std::string_view text);
  std::vector<const Glyph*> GlyphsOf(std::u32string_view text);
  static long long Advances(const std::vector<const Glyph*>& glyphs);
  void Draw(TBitmap& bitmap, int x, int y, const std::vector<const Glyph*>& glyphs, TColor textColor,
            TColor backgroundColor);
};

void TextRenderer::Impl::SetPixelSize(long long height) {
  FT_Face f = face->handle;
  const TT_OS2* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(f, FT_SFNT_OS2));
  // A height of 0 asks for the system's default, which GDI makes a 16-pixel cell.
  if (height == 0) height = 16;
  long long em = -height;
  if (height > 0) {
    // A positive height is the cell height: the em is scaled so that ascent plus descent fill it.
    long long cell = 0;
    if (os2 != nullptr && os2->version != 0xFFFF) cell = os2->usWinAscent + os2->usWinDescent;
    if (cell <= 0) cell = f->ascender - f->descender;
    em = cell > 0 && f->units_per_EM > 0 ? MulDiv64(f->units_per_EM, height, cell) : height;
  }
  ppem = static_cast<int>(std::clamp<long long>(em, 1, kMaxFontHeight));
  if (FT_IS_SCALABLE(f)) {
    if (FT_Set_Pixel_Sizes(f, 0, static_cast<FT_UInt>(ppem)) != 0) {
      throw std::runtime_error("The font \"" + font.name + "\" cannot be set to " + std::to_string(ppem) +
                               " pixels");
    }
  } else {
    // A face of fixed sizes only: the nearest one.
    if (f->num_fixed_sizes <= 0) throw std::runtime_error("The font \"" + font.name + "\" has no sizes");
    int best = 0;
    for (int i = 1; i < f->num_fixed_sizes; ++i) {
      if (std::abs(f->available_sizes[i].y_ppem / 64 - ppem) <
          std::abs(f->available_sizes[best].y_ppem / 64 - ppem)) {
        best = i;
      }
    }
    if (FT_Select_Size(f, best) != 0)
      throw std::runtime_error("The font \"" + font.name + "\" cannot be sized");
  }
}

void TextRenderer::Impl::ReadLineMetrics() {
  FT_Face f = face->handle;
  const FT_Size_Metrics& metrics = f->size->metrics;
  const TT_OS2* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(f, FT_SFNT_OS2));
  const TT_Postscript* post = static_cast<const TT_Postscript*>(FT_Get_Sfnt_Table(f, FT_SFNT_POST));
  const bool hasOs2 = os2 != nullptr && os2->version != 0xFFFF && os2->usWinAscent + os2->usWinDescent > 0;
  int descent = 0;
  if (hasOs2 && FT_IS_SCALABLE(f)) {
    ascent = static_cast<int>(RoundPixels(FT_MulFix(os2->usWinAscent, metrics.y_scale)));
    descent = static_cast<int>(RoundPixels(FT_MulFix(os2->usWinDescent, metrics.y_scale)));
  } else {
    ascent = static_cast<int>((metrics.ascender + 63) >> 6);
    descent = static_cast<int>((-metrics.descender + 63) >> 6);
  }
  ascent = std::max(ascent, 0);
  descent = std::max(descent, 0);
  lineHeight = ascent + descent;

  // Underline and strike-out as GDI places them: each line is centred on its position relative to
  // the baseline (positive = up) and at least one pixel thick.
  long underlinePosition = -std::max(1, descent / 2);
  long underlineSize = std::max(1, ppem / 14);
  if (post != nullptr && FT_IS_SCALABLE(f)) {
    underlinePosition = RoundPixels(FT_MulFix(post->underlinePosition, metrics.y_scale));
    underlineSize = RoundPixels(FT_MulFix(post->underlineThickness, metrics.y_scale));
  }
  long strikeOutPosition = (ppem * 26 + 50) / 100;
  long strikeOutSize = underlineSize;
  if (hasOs2 && FT_IS_SCALABLE(f) && os2->yStrikeoutSize > 0) {
    strikeOutPosition = RoundPixels(FT_MulFix(os2->yStrikeoutPosition, metrics.y_scale));
    strikeOutSize = RoundPixels(FT_MulFix(os2->yStrikeoutSize, metrics.y_scale));
  }
  underlineHeight = static_cast<int>(std::max(1L, underlineSize));
  strikeOutHeight = static_cast<int>(std::max(1L, strikeOutSize));
  underlineTop = static_cast<int>(ascent - (underlinePosition + underlineHeight / 2));
  strikeOutTop = static_cast<int>(ascent - (strikeOutPosition + strikeOutHeight / 2));

  // The font's own table says at which sizes it wants to be smoothed; GDI follows it.
  if (FT_IS_SFNT(f)) {
    const FT_Int flags = FT_Get_Gasp(f, static_cast<FT_UInt>(ppem));
    monochrome = flags != FT_GASP_NO_TABLE && (flags & FT_GASP_DO_GRAY) == 0;
  }
}

void TextRenderer::Impl::MapCharacters() {
  FT_Face f = face->handle;
  FT_CharMap unicodeMap = nullptr;
  FT_CharMap symbolMap = nullptr;
  for (int i = 0; i < f->num_charmaps; ++i) {
    if (f->charmaps[i]->encoding == FT_ENCODING_UNICODE && unicodeMap == nullptr) unicodeMap = f->charmaps[i];
    if (f->charmaps[i]->encoding == FT_ENCODING_MS_SYMBOL && symbolMap == nullptr) symbolMap = f->charmaps[i];
  }
  const bool symbolCharset = font.charset == kSymbolCharset;
  symbol = symbolMap != nullptr && (symbolCharset || unicodeMap == nullptr);
  FT_CharMap map = symbol ? symbolMap : unicodeMap != nullptr ? unicodeMap : f->charmap;
  if (map != nullptr) FT_Set_Charmap(f, map);
  for (int byte = 0; byte < 256; ++byte) {
    FT_UInt index = 0;
    if (symbol || symbolCharset) {
      // A symbol font keeps its characters at U+F000 + byte; older ones at the byte itself.
      index = FT_Get_Char_Index(f, 0xF000 + byte);
      if (index == 0) index = FT_Get_Char_Index(f, byte);
    } else {
      // Characters the font lacks, and the code page's undefined bytes, get the font's .notdef glyph.
      index = FT_Get_Char_Index(f, AnsiCharacter(static_cast<unsigned char>(byte)));
    }
    glyphIndex[byte] = index;
  }
}

const Glyph& TextRenderer::Impl::GlyphOf(unsigned char byte) {
  if (glyphs[byte] == nullptr) glyphs[byte] = const_cast<Glyph*>(&GlyphAt(glyphIndex[byte]));
  return *glyphs[byte];
}

const Glyph* TextRenderer::Impl::CharacterGlyph(char32_t character) {
  if (!characters) characters = std::make_unique<FontFileCharacters>(File());
  const FT_UInt index = characters->GlyphOf(character);
  return index == 0 ? nullptr : &GlyphAt(index);
}

std::vector<const Glyph*> TextRenderer::Impl::GlyphsOf(std::string_view text) {
  std::vector<const Glyph*> glyphs;
  glyphs.reserve(text.size());
  for (const char c : text) glyphs.push_back(&GlyphOf(static_cast<unsigned char>(c)));
  return glyphs;
}

std::vector<const Glyph*> TextRenderer::Impl::GlyphsOf(std::u32string_view text) {
  std::vector<const Glyph*> glyphs;
  glyphs.reserve(text.size());
  for (const char32_t c : text) glyphs.push_back(CharacterGlyph(c));
  return glyphs;
}

const Glyph& TextRenderer::Impl::GlyphAt(FT_UInt index) {
  Glyph& glyph = byIndex[index];
  if (glyph.ready) return glyph;
  glyph.ready = true;
  FT_Face f = face->handle;
  FT_GlyphSlot slot = f->glyph;
  auto synthesize = [&] {
    if (slot->format != FT_GLYPH_FORMAT_OUTLINE) return;
    // Bold made from a regular face: strokes thickened by 1/24 em (and one pixel more advance).
    if (match.embolden) FT_Outline_Embolden(&slot->outline, static_cast<FT_Pos>(ppem) * 64 / 24);
    if (match.oblique) FT_Outline_Transform(&slot->outline, &match.matrix);
  };
  // Advances come from the normally hinted glyph, also where the font asks for unsmoothed drawing,
  // so that a text measures the same at every rendering; a glyph the font cannot load measures 0
  // and draws nothing, as GDI treats a broken glyph.
  if (FT_Load_Glyph(f, index, FT_LOAD_DEFAULT) != 0) return glyph;
  FT_Pos advance = slot->advance.x;
  if (match.embolden && slot->format == FT_GLYPH_FORMAT_OUTLINE) advance += 64;
  glyph.advance = static_cast<int>(std::max(0L, RoundPixels(advance)));
  if (monochrome && FT_Load_Glyph(f, index, FT_LOAD_DEFAULT | FT_LOAD_TARGET_MONO) != 0) return glyph;
  synthesize();
  if (FT_Render_Glyph(slot, monochrome ? FT_RENDER_MODE_MONO : FT_RENDER_MODE_NORMAL) != 0) return glyph;
  glyph.left = slot->bitmap_left;
  glyph.top = slot->bitmap_top;
  CopyCoverage(slot->bitmap, glyph);
  return glyph;
}

long long TextRenderer::Impl::Advances(const std::vector<const Glyph*>& glyphs) {
  long long width = 0;
  for (const Glyph* glyph : glyphs) width += glyph != nullptr ? glyph->advance : 0;
  return std::min<long long>(width, INT_MAX);
}

TextRenderer::TextRenderer(const Font& font, int pixelsPerInch)
    : TextRenderer(font, pixelsPerInch, RenderOptions{}) {}

TextRenderer::TextRenderer(const Font& font, int pixelsPerInch, const RenderOptions& options)
    : impl_(std::make_unique<Impl>()) {
  const int height = RendererFontHeight(font, pixelsPerInch);
  Impl& impl = *impl_;
  impl.font = font;
  impl.pixelsPerInch = pixelsPerInch;
  if (options.fontFile.empty()) {
    const std::string name = font.name.substr(0, 31);  // what a LOGFONT's face name holds
    auto [match, face] =
        FontCache::Instance().Find(name, font.bold, font.italic, font.pitch == FontPitch::Fixed);
    impl.match = std::move(match);
    impl.face = std::move(face);
  } else {
    auto [match, face] = FontCache::Instance().Open(options.fontFile);
    // The face is named as the system names it: the family of the file's name table.
    try {
      const FontFileData data = ReadFontFile(options.fontFile, 0);
      match.family = AnsiToUtf8(ReadFontFaceInfo(data.bytes, 0).family);
    } catch (const std::runtime_error&) {
      // A face FreeType opens but whose tables name no family keeps FreeType's name for it.
    }
    impl.match = std::move(match);
    impl.face = std::move(face);
  }

  std::lock_guard lock(impl.face->library->mutex);
  if (FT_New_Size(impl.face->handle, &impl.size) != 0) {
    throw std::runtime_error("The font \"" + font.name + "\" cannot be sized");
  }
  FT_Activate_Size(impl.size);
  impl.SetPixelSize(height);
  impl.ReadLineMetrics();
  if (!options.antialias) impl.monochrome = true;
  impl.MapCharacters();
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
int TextRenderer::LineHeight() const { return Get().lineHeight; }
int TextRenderer::Ascent() const { return Get().ascent; }
std::string TextRenderer::FaceName() const { return Utf8ToAnsi(Get().match.family); }
bool TextRenderer::IsSymbolFont() const { return Get().symbol; }

CharMetrics TextRenderer::Metrics(unsigned char code) const {
  Impl& impl = const_cast<Impl&>(Get());
  std::lock_guard lock(impl.face->library->mutex);
  FT_Activate_Size(impl.size);
  const Glyph& glyph = impl.GlyphOf(code);
  return {glyph.advance, glyph.coverage.empty() ? 0 : glyph.left};
}

FontFileData TextRenderer::FontFile() const {
  // The low 16 bits of a fontconfig index number the face; the high ones a named instance.
  return const_cast<Impl&>(Get()).File();
}

TextExtent TextRenderer::Measure(std::string_view text) const {
  Impl& impl = const_cast<Impl&>(Get());
  if (text.empty()) return {};
  std::lock_guard lock(impl.face->library->mutex);
  FT_Activate_Size(impl.size);
  return {static_cast<int>(Impl::Advances(impl.GlyphsOf(text))), impl.lineHeight};
}

bool TextRenderer::HasCharacter(char32_t character) const {
  Impl& impl = const_cast<Impl&>(Get());
  std::lock_guard lock(impl.face->library->mutex);
  FT_Activate_Size(impl.size);
  return impl.CharacterGlyph(character) != nullptr;
}

CharMetrics TextRenderer::CharacterMetrics(char32_t character) const {
  Impl& impl = const_cast<Impl&>(Get());
  std::lock_guard lock(impl.face->library->mutex);
  FT_Activate_Size(impl.size);
  const Glyph* glyph = impl.CharacterGlyph(character);
  if (glyph == nullptr) return {};
  return {glyph->advance, glyph->coverage.empty() ? 0 : glyph->left};
}

TextExtent TextRenderer::Measure(std::u32string_view text) const {
  Impl& impl = const_cast<Impl&>(Get());
  if (text.empty()) return {};
  std::lock_guard lock(impl.face->library->mutex);
  FT_Activate_Size(impl.size);
  return {static_cast<int>(Impl::Advances(impl.GlyphsOf(text))), impl.lineHeight};
}

void TextRenderer::DrawOpaque(TBitmap& bitmap, int x, int y, std::u32string_view text, TColor textColor,
                              TColor backgroundColor) const {
  Impl& impl = const_cast<Impl&>(Get());
  if (bitmap.Empty() || text.empty()) return;
  std::lock_guard lock(impl.face->library->mutex);
  FT_Activate_Size(impl.size);
  impl.Draw(bitmap, x, y, impl.GlyphsOf(text), textColor, backgroundColor);
}

void TextRenderer::DrawOpaque(TBitmap& bitmap, int x, int y, std::string_view text, TColor textColor,
                              TColor backgroundColor) const {
  Impl& impl = const_cast<Impl&>(Get());
  if (bitmap.Empty() || text.empty()) return;
  std::lock_guard lock(impl.face->library->mutex);
  FT_Activate_Size(impl.size);
  impl.Draw(bitmap, x, y, impl.GlyphsOf(text), textColor, backgroundColor);
}

// Called with the library's mutex held and this renderer's size active.
void TextRenderer::Impl::Draw(TBitmap& bitmap, int x, int y, const std::vector<const Glyph*>& glyphs,
                              TColor textColor, TColor backgroundColor) {
  Impl& impl = *this;
  const long long width = bitmap.Width();
  // Glyphs are clipped to the line, as GDI clips them to the font's ascent and descent.
  const long long top = std::max<long long>(y, 0);
  const long long bottom = std::min<long long>(static_cast<long long>(y) + impl.lineHeight, bitmap.Height());
  if (top >= bottom) return;

  const long long extent = Advances(glyphs);
  const long long reach = 2LL * impl.lineHeight + 2;
  if (x >= width + reach || x + extent + reach <= 0) return;

  const std::uint32_t mask = bitmap.BitsPerPixel() == 16 ? 0xF8F8F8u : 0xFFFFFFu;
  const TBitmap::Pixel32 ink = TBitmap::ToPixel32(textColor & 0xFFFFFFu) & mask;
  const TBitmap::Pixel32 paper = TBitmap::ToPixel32(backgroundColor & 0xFFFFFFu) & mask;
  const long long right = x + extent;

  // Fills rows [rowFrom, rowTo) of the line (counted from its top) across the rectangle.
  auto fillRows = [&](long long rowFrom, long long rowTo, TBitmap::Pixel32 pixel) {
    const long long from = std::max(top, y + rowFrom), to = std::min(bottom, y + rowTo);
    const long long left = std::max<long long>(x, 0), end = std::min(right, width);
    for (long long row = from; row < to && left < end; ++row) {
      std::fill(bitmap.ScanLine(static_cast<int>(row)) + left, bitmap.ScanLine(static_cast<int>(row)) + end,
                pixel);
    }
  };
  fillRows(0, impl.lineHeight, paper);

  const unsigned inkRed = (ink >> 16) & 0xFF, inkGreen = (ink >> 8) & 0xFF, inkBlue = ink & 0xFF;
  long long pen = x;
  const long long baseline = static_cast<long long>(y) + impl.ascent;
  for (const Glyph* drawn : glyphs) {
    if (drawn == nullptr) continue;
    const Glyph& glyph = *drawn;
    const long long glyphLeft = pen + glyph.left, glyphTop = baseline - glyph.top;
    pen += glyph.advance;
    if (glyph.coverage.empty()) continue;
    const long long rowFrom = std::max(top, glyphTop), rowTo = std::min(bottom, glyphTop + glyph.rows);
    const long long columnFrom = std::max(0LL, glyphLeft),
                    columnTo = std::min(width, glyphLeft + glyph.width);
    for (long long row = rowFrom; row < rowTo; ++row) {
      const std::uint8_t* coverage = glyph.coverage.data() + (row - glyphTop) * glyph.width;
      TBitmap::Pixel32* line = bitmap.ScanLine(static_cast<int>(row));
      for (long long column = columnFrom; column < columnTo; ++column) {
        const unsigned alpha = coverage[column - glyphLeft];
        if (alpha == 0) continue;
        const TBitmap::Pixel32 under = line[column];
        const unsigned keep = 255 - alpha;
        const unsigned red = (((under >> 16) & 0xFF) * keep + inkRed * alpha + 127) / 255;
        const unsigned green = (((under >> 8) & 0xFF) * keep + inkGreen * alpha + 127) / 255;
        const unsigned blue = ((under & 0xFF) * keep + inkBlue * alpha + 127) / 255;
        line[column] = ((red << 16) | (green << 8) | blue) & mask;
      }
    }
  }

  if (impl.font.underline) fillRows(impl.underlineTop, impl.underlineTop + impl.underlineHeight, ink);
  if (impl.font.strikeOut) fillRows(impl.strikeOutTop, impl.strikeOutTop + impl.strikeOutHeight, ink);
}

}  // namespace ui
