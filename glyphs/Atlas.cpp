#include "glyphs/Atlas.h"

#include <algorithm>
#include <stdexcept>

#include "common/FileNames.h"
#include "glyphs/AtlasPacker.h"
#include "glyphs/DistanceField.h"
#include "imaging/Errors.h"
#include "imaging/Gifimage.h"
#include "imaging/Png.h"
#include "platform/os/Os.h"

namespace {

// One character's image: its covered pixels (with the padding) and where it lies from the pen.
struct TGlyphImage {
  int Width = 0, Height = 0;
  std::vector<std::uint8_t> Alpha;
  int XOffset = 0, YOffset = 0, Advance = 0;
};

// Draws the character in white on black on a canvas a line high and its advance plus a line height to
// either side wide, pen at that margin, and takes the green channel as its coverage.
std::vector<std::uint8_t> DrawCoverage(const ui::TextRenderer& renderer, const TGlyphCharacter& character,
                                       int margin, int canvasWidth, int lineHeight) {
  TBitmap canvas;
  canvas.SetFillColor(clBlack);
  canvas.SetSize(canvasWidth, lineHeight);
  if (character.Unicode) {
    const std::u32string text(1, static_cast<char32_t>(character.Code));
    renderer.DrawOpaque(canvas, margin, 0, text, clWhite, clBlack);
  } else {
    renderer.DrawOpaque(canvas, margin, 0, CodeText(static_cast<int>(character.Code)), clWhite, clBlack);
  }
  std::vector<std::uint8_t> coverage(static_cast<std::size_t>(canvasWidth) * lineHeight);
  for (int y = 0; y < lineHeight; ++y) {
    const TBitmap::Pixel32* row = canvas.ScanLine(y);
    for (int x = 0; x < canvasWidth; ++x)
      coverage[static_cast<std::size_t>(y) * canvasWidth + x] = static_cast<std::uint8_t>(row[x] >> 8 & 0xFF);
  }
  return coverage;
}

TGlyphImage RenderImage(const ui::TextRenderer& renderer, const ui::TextRenderer* fine,
                        const TGlyphCharacter& character, int padding, int spread) {
  TGlyphImage image;
  const int lineHeight = renderer.LineHeight();
  image.Advance = CharacterMetricsOf(renderer, character).advance;
  const int margin = lineHeight + 1;
  const int canvasWidth = std::max(0, image.Advance) + 2 * margin;
  if (lineHeight <= 0) return image;
  const std::vector<std::uint8_t> coverage =
      DrawCoverage(renderer, character, margin, canvasWidth, lineHeight);
  int left = canvasWidth, right = -1, top = lineHeight, bottom = -1;
  for (int y = 0; y < lineHeight; ++y)
    for (int x = 0; x < canvasWidth; ++x)
      if (coverage[static_cast<std::size_t>(y) * canvasWidth + x] != 0) {
        left = std::min(left, x);
        right = std::max(right, x);
        top = std::min(top, y);
        bottom = std::max(bottom, y);
      }
  if (right < 0) return image;  // nothing covered: no picture, only the advance
  // A distance field needs its spread around the outline.
  const int border = padding + spread;
  image.Width = right - left + 1 + 2 * border;
  image.Height = bottom - top + 1 + 2 * border;
  image.XOffset = left - margin - border;
  image.YOffset = top - border;
  image.Alpha.assign(static_cast<std::size_t>(image.Width) * image.Height, 0);
  if (spread > 0 && fine != nullptr) {
    image.Alpha = DistanceField(renderer, *fine, character, image.XOffset, image.YOffset, image.Width,
                                image.Height, spread);
    return image;
  }
  for (int y = top; y <= bottom; ++y)
    std::copy_n(coverage.begin() + static_cast<std::ptrdiff_t>(y) * canvasWidth + left, right - left + 1,
                image.Alpha.begin() + static_cast<std::ptrdiff_t>(y - top + border) * image.Width + border);
  return image;
}

}  // namespace

TAtlas BuildAtlas(const ui::TextRenderer& renderer, const std::vector<TGlyphCharacter>& characters,
                  const TAtlasOptions& options, const std::string& pageNameBase) {
  TAtlas atlas;
  std::vector<TGlyphImage> images;
  std::vector<TGlyphCharacter> drawn;
  for (const TGlyphCharacter& character : characters) {
    const bool own = FontHasCharacter(renderer, character);
    const bool fallback =
        !own && options.Fallback != nullptr && FontHasCharacter(*options.Fallback, character);
    if (!own && !fallback) {
      atlas.Skipped.push_back(character);
      continue;
    }
    TGlyphImage image = fallback ? RenderImage(*options.Fallback, options.FallbackFine, character,
                                               options.Padding, options.DistanceFieldSpread)
                                 : RenderImage(renderer, options.Fine, character, options.Padding,
                                               options.DistanceFieldSpread);
    if (image.Width == 0 && image.Advance <= 0) {
      atlas.Skipped.push_back(character);
      continue;
    }
    if (fallback) {
      // The fallback's glyph sits on the font's baseline.
      image.YOffset += renderer.Ascent() - options.Fallback->Ascent();
      atlas.FromFallback.push_back(character);
    }
    images.push_back(std::move(image));
    drawn.push_back(character);
  }
  std::vector<TPackSize> sizes;
  for (const TGlyphImage& image : images) sizes.push_back({image.Width, image.Height});
  const TPacking packing =
      PackRectangles(sizes, options.PageWidth, options.PageHeight, options.Spacing, options.PowerOfTwo);

  TBitmapFont& font = atlas.Font;
  font.Face = ui::AnsiToUtf8(renderer.FaceName());
  font.Size = ui::MulDivRounded(renderer.GetFont().size, renderer.PixelsPerInch(), 72);
  font.Bold = renderer.GetFont().bold;
  font.Italic = renderer.GetFont().italic;
  font.Unicode = true;
  font.PaddingUp = font.PaddingRight = font.PaddingDown = font.PaddingLeft = options.Padding;
  font.SpacingHorizontal = font.SpacingVertical = options.Spacing;
  font.LineHeight = renderer.LineHeight();
  font.Base = renderer.Ascent();
  font.ScaleW = packing.PageWidth;
  font.ScaleH = packing.PageHeight;
  font.DistanceFieldSpread = options.DistanceFieldSpread;
  for (int page = 0; page < packing.Pages; ++page)
    font.Pages.push_back(pageNameBase + "_" + std::to_string(page) + ".png");
  atlas.PageAlpha.assign(static_cast<std::size_t>(packing.Pages),
                         std::vector<std::uint8_t>(static_cast<std::size_t>(font.ScaleW) * font.ScaleH, 0));
  for (std::size_t i = 0; i < images.size(); ++i) {
    const TGlyphImage& image = images[i];
    const TPackPlace& place = packing.Places[i];
    const std::uint32_t id = DescriptorId(renderer, drawn[i]);
    font.Chars.push_back({id, place.X, place.Y, image.Width, image.Height, image.XOffset, image.YOffset,
                          image.Advance, place.Page, 15});
    std::vector<std::uint8_t>& page = atlas.PageAlpha[static_cast<std::size_t>(place.Page)];
    for (int y = 0; y < image.Height; ++y)
      std::copy_n(image.Alpha.begin() + static_cast<std::ptrdiff_t>(y) * image.Width, image.Width,
                  page.begin() + static_cast<std::ptrdiff_t>(place.Y + y) * font.ScaleW + place.X);
  }
  std::sort(font.Chars.begin(), font.Chars.end(),
            [](const TBitmapFontChar& a, const TBitmapFontChar& b) { return a.Id < b.Id; });
  // The kerning among the characters drawn, at the pixel size; none where the font's tables cannot tell.
  try {
    // Only pairs of the font's own characters: the fallback's are not in its tables.
    std::vector<TGlyphCharacter> own;
    for (const TGlyphCharacter& c : drawn)
      if (std::find(atlas.FromFallback.begin(), atlas.FromFallback.end(), c) == atlas.FromFallback.end())
        own.push_back(c);
    atlas.Kerning = KerningAmong(renderer, renderer.FontFile(), own, font.Size);
    const TCharactersKerning& kerning = atlas.Kerning;
    const bool unicode = !own.empty() && own.front().Unicode;
    const auto idOf = [&](std::uint32_t code) {
      return DescriptorId(renderer, unicode ? TGlyphCharacter::CodePoint(code) : TGlyphCharacter(int(code)));
    };
    for (const TCharacterKerning& pair : kerning.Pairs)
      if (pair.Pixels != 0)
        font.Kernings.push_back({idOf(pair.Left), idOf(pair.Right), static_cast<int>(pair.Pixels)});
  } catch (const std::exception& error) {
    font.Kernings.clear();
    atlas.Kerning = {};
    atlas.KerningError = error.what();
  }
  return atlas;
}

TBitmap AtlasPageInk(int width, int height, TColor ink) {
  TBitmap page;
  page.SetFillColor(ink);
  page.SetSize(width, height);
  return page;
}

TBitmap AtlasPageOver(const std::vector<std::uint8_t>& alpha, int width, int height, TColor ink,
                      TColor background) {
  TBitmap page;
  page.SetSize(width, height);
  for (int y = 0; y < height; ++y) {
    TBitmap::Pixel32* row = page.ScanLine(y);
    for (int x = 0; x < width; ++x) {
      const unsigned a = alpha[static_cast<std::size_t>(y) * width + x];
      const auto mix = [&](unsigned over, unsigned under) {
        return (over * a + under * (255 - a) + 127) / 255;
      };
      row[x] = TBitmap::ToPixel32(RGB(mix(GetRValue(ink), GetRValue(background)),
                                      mix(GetGValue(ink), GetGValue(background)),
                                      mix(GetBValue(ink), GetBValue(background))));
    }
  }
  return page;
}

std::uint32_t DescriptorId(const ui::TextRenderer& renderer, const TGlyphCharacter& character) {
  return character.Unicode || renderer.IsSymbolFont()
             ? character.Code
             : ui::AnsiCharacter(static_cast<unsigned char>(character.Code));
}

namespace {
constexpr const char* kDescriptorFormNames[] = {"text", "xml", "binary"};
}

std::optional<TDescriptorForm> DescriptorFormOfName(std::string_view name) {
  for (int i = 0; i < 3; ++i)
    if (name == kDescriptorFormNames[i]) return static_cast<TDescriptorForm>(i);
  return std::nullopt;
}

const char* DescriptorFormName(TDescriptorForm form) { return kDescriptorFormNames[static_cast<int>(form)]; }

void WriteAtlasFiles(const TAtlas& atlas, const std::string& base, TDescriptorForm descriptor,
                     std::optional<TImageFormat> pictureForm, TColor ink, TColor background) {
  const std::string folder = base.substr(0, base.size() - FileNamePart(base).size());
  const int width = atlas.Font.ScaleW, height = atlas.Font.ScaleH;
  for (std::size_t page = 0; page < atlas.PageAlpha.size(); ++page) {
    const std::string name = folder + atlas.Font.Pages[page];
    if (!pictureForm) {
      SavePngGreyWithAlpha(width, height, 255, atlas.PageAlpha[page], name);
      continue;
    }
    if (*pictureForm == TImageFormat::PngWithAlpha) {
      SaveBitmapAsPngWithAlpha(AtlasPageInk(width, height, ColorToRGB(ink)), atlas.PageAlpha[page], name);
      continue;
    }
    const TBitmap picture =
        AtlasPageOver(atlas.PageAlpha[page], width, height, ColorToRGB(ink), ColorToRGB(background));
    const TImageFormatInfo& format = FormatInfo(*pictureForm);
    const std::string named = name.substr(0, name.size() - 4) + format.Extension;
    if (*pictureForm == TImageFormat::TransparentGif) {
      SaveBitmapAsGif(picture, named, ColorToRGB(background));
    } else {
      format.Write(picture, named);
    }
  }
  const std::string text = descriptor == TDescriptorForm::Xml      ? BitmapFontXml(atlas.Font)
                           : descriptor == TDescriptorForm::Binary ? BitmapFontBinary(atlas.Font)
                                                                   : BitmapFontText(atlas.Font);
  const std::string fnt = base + ".fnt";
  if (!os::WriteFileReplacing(fnt, text)) throw EFCreateError(fnt);
}
