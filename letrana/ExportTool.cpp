#include "letrana/ExportTool.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <exception>
#include <fstream>
#include <iterator>
#include <map>
#include <ostream>
#include <set>
#include <sstream>
#include <string_view>

#include "common/FileNames.h"
#include "common/PersistedSettings.h"
#include "common/ProgramVersion.h"
#include "common/SettingsDocument.h"
#include "glyphs/Atlas.h"
#include "glyphs/CharacterSet.h"
#include "glyphs/DistanceField.h"
#include "glyphs/FontKerning.h"
#include "glyphs/RenderingSettings.h"
#include "imaging/Errors.h"
#include "imaging/Gifimage.h"
#include "imaging/Png.h"
#include "platform/os/Os.h"
#include "platform/text/Text.h"

namespace letrana_export {
namespace {

constexpr const char* kProgramName = "letrana-export";
constexpr const char* kVersion = LETRANA_VERSION;

constexpr int kMaxPadding = 4096;
constexpr int kMaxPageSide = 8192;

// The values an option takes, by its name.
bool TakesValue(std::string_view name) {
  static constexpr std::string_view kWithValue[] = {
      "--font",      "--size",     "--color",      "--background", "--form",    "--codes",
      "--output",    "--settings", "--padding",    "--resolution", "--text",    "--charset-file",
      "--page-size", "--spacing",  "--descriptor", "--sdf",        "--fallback"};
  return std::find(std::begin(kWithValue), std::end(kWithValue), name) != std::end(kWithValue);
}

// A whole decimal number within [low, high], or a usage error naming the option.
int NumberArgument(const std::string& option, const std::string& value, int low, int high) {
  const std::optional<int> number = ReadDecimalInt(value);
  if (!number || value.empty() || std::isspace(static_cast<unsigned char>(value.front())) ||
      std::isspace(static_cast<unsigned char>(value.back()))) {
    throw EUsageError(option + ": '" + value + "' is no whole number");
  }
  if (*number < low || *number > high) {
    throw EUsageError(option + ": " + value + " is outside " + std::to_string(low) + " to " +
                      std::to_string(high));
  }
  return *number;
}

TExportForm FormArgument(const std::string& value) {
  if (const std::optional<TImageFormat> form = GlyphFormatOfName(value)) return *form;
  throw EUsageError("--form: '" + value + "' is none of " + GlyphFormatNames());
}

bool SameFaceName(const std::string& a, const std::string& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
  });
}

// A font file rather than a face name: a text naming an existing file, or one that looks like a path
// or a font file's name (which then must exist).
bool LooksLikeFontFile(const std::string& value) {
  if (os::FileExists(value)) return true;
  if (value.find('/') != std::string::npos || value.find('\\') != std::string::npos) return true;
  std::string extension = FileExtension(value);
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return extension == ".ttf" || extension == ".otf" || extension == ".ttc" || extension == ".otc";
}

std::vector<std::uint8_t> FileBytes(const std::string& path) {
  std::optional<std::vector<std::uint8_t>> bytes = os::ReadWholeFile(path);
  if (!bytes) throw std::runtime_error("the file '" + path + "' cannot be read");
  return std::move(*bytes);
}

// The whole of a text file named by an option.
std::string TextFileArgument(const std::string& option, const std::string& path) {
  try {
    const std::vector<std::uint8_t> bytes = FileBytes(path);
    return std::string(bytes.begin(), bytes.end());
  } catch (const std::runtime_error& error) {
    throw EUsageError(option + ": " + error.what());
  }
}

// The rendering state the program starts from, read from a settings file as the window reads it.
TRenderingState ReadRenderingStateFile(const std::string& path, int pixelsPerInch) {
  TSettingsDocument settings(kXmlSettingsForm);
  if (!settings.Load(path)) throw EUsageError("--settings: the settings file '" + path + "' cannot be read");
  return ReadRenderingState(settings, pixelsPerInch);
}

// The metrics file's kerning part: the pairs among the exported characters, in pixels at the font's
// pixel size and in font units.
std::string KerningJson(const TCharactersKerning& kerning) {
  std::string json = "{\n    \"units_per_em\": " + std::to_string(kerning.UnitsPerEm) + ",\n    \"pairs\": [";
  bool first = true;
  for (const TCharacterKerning& pair : kerning.Pairs) {
    json += first ? "\n" : ",\n";
    first = false;
    json += "      {\"left\": " + std::to_string(pair.Left) + ", \"right\": " + std::to_string(pair.Right) +
            ", \"pixels\": " + std::to_string(pair.Pixels) +
            ", \"font_units\": " + std::to_string(pair.FontUnits) + "}";
  }
  json += first ? "]\n  }" : "\n    ]\n  }";
  return json;
}

// A single glyph's distance field, over its cell (the advance a line high, the padding around it) as a
// PNG in the font colour with the field in its alpha, named as the single pictures are; false for a
// glyph whose cell is empty.
bool ExportDistanceField(const ui::TextRenderer& renderer, const ui::TextRenderer& fine,
                         const TGlyphCharacter& character, int cellHeight, const TExportToolOptions& options,
                         TColor ink) {
  const int advance = CharacterMetricsOf(renderer, character).advance;
  if (advance <= 0 || cellHeight <= 0) return false;
  const int padding = options.Padding;
  const int width = advance + 2 * padding, height = cellHeight + 2 * padding;
  const std::vector<std::uint8_t> field = DistanceField(renderer, fine, character, -padding, -padding, width,
                                                        height, options.DistanceFieldSpread);
  SaveBitmapAsPngWithAlpha(AtlasPageInk(width, height, ink), field,
                           options.Output + ExportNumber(character.Code) + ".png");
  return true;
}

}  // namespace

std::string JsonString(const std::string& utf8) {
  std::string out = "\"";
  for (const char c : utf8) {
    const unsigned char byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 0x20 || byte == 0x7F) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
      out += escaped;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::optional<TColor> ParseColorArgument(const std::string& text) {
  if (text.size() == 7 && text[0] == '#') {
    unsigned channels[3];
    for (int i = 0; i < 3; ++i) {
      const std::string pair = text.substr(1 + 2 * static_cast<std::size_t>(i), 2);
      if (!std::isxdigit(static_cast<unsigned char>(pair[0])) ||
          !std::isxdigit(static_cast<unsigned char>(pair[1])))
        return std::nullopt;
      channels[i] = static_cast<unsigned>(std::stoul(pair, nullptr, 16));
    }
    return RGB(channels[0], channels[1], channels[2]);
  }
  if (text.empty() || std::isspace(static_cast<unsigned char>(text.front())) ||
      std::isspace(static_cast<unsigned char>(text.back())))
    return std::nullopt;
  const std::optional<int> value = ReadDecimalInt(text);
  if (!value) return std::nullopt;
  return ColorFromSetting(*value);
}

TExportToolOptions ParseExportToolArguments(const std::vector<std::string>& arguments,
                                            const std::vector<std::string>& utf8Arguments) {
  TExportToolOptions options;
  std::vector<std::uint32_t> codes, points;
  bool codesGiven = false, unicode = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    std::string name = arguments[i];
    std::optional<std::string> value;
    if (name.rfind("--", 0) == 0 && name.find('=') != std::string::npos) {
      value = name.substr(name.find('=') + 1);
      name = name.substr(0, name.find('='));
    }
    if (name == "-h") name = "--help";
    if (TakesValue(name)) {
      if (!value) {
        if (i + 1 >= arguments.size()) throw EUsageError(name + ": a value is missing");
        value = arguments[++i];
        if (name == "--text" && utf8Arguments.size() == arguments.size()) value = utf8Arguments[i];
      }
    } else if (value) {
      throw EUsageError(name + ": takes no value");
    }
    if (name == "--help") {
      options.Help = true;
    } else if (name == "--version") {
      options.Version = true;
    } else if (name == "--font") {
      if (value->empty()) throw EUsageError("--font: the name is empty");
      options.Font = *value;
    } else if (name == "--size") {
      options.Size = NumberArgument(name, *value, 1, ui::kMaxFontHeight);
    } else if (name == "--color" || name == "--background") {
      const std::optional<TColor> color = ParseColorArgument(*value);
      if (!color)
        throw EUsageError(name + ": '" + *value + "' is no colour (#RRGGBB or a decimal colour value)");
      (name == "--color" ? options.Color : options.Background) = *color;
    } else if (name == "--form") {
      options.Form = FormArgument(*value);
      options.FormGiven = true;
    } else if (name == "--codes") {
      try {
        const TCodeList list = ParseCodeList(*value);
        codes.insert(codes.end(), list.Codes.begin(), list.Codes.end());
        unicode = unicode || list.Unicode;
      } catch (const std::invalid_argument& error) {
        throw EUsageError(std::string("--codes: ") + error.what());
      }
      codesGiven = true;
    } else if (name == "--text" || name == "--charset-file") {
      try {
        const std::vector<std::uint32_t> found =
            CodePointsOfUtf8(name == "--text" ? *value : TextFileArgument(name, *value));
        points.insert(points.end(), found.begin(), found.end());
      } catch (const std::invalid_argument& error) {
        throw EUsageError(name + ": " + error.what());
      }
      codesGiven = unicode = true;
    } else if (name == "--fallback") {
      options.Fallback = *value;
    } else if (name == "--atlas") {
      options.Atlas = true;
    } else if (name == "--page-size") {
      const std::size_t x = value->find_first_of("xX");
      if (x == std::string::npos)
        throw EUsageError("--page-size: '" + *value + "' is no size such as 512x512");
      options.PageWidth = NumberArgument(name, value->substr(0, x), 16, kMaxPageSide);
      options.PageHeight = NumberArgument(name, value->substr(x + 1), 16, kMaxPageSide);
    } else if (name == "--pot") {
      options.PowerOfTwo = true;
    } else if (name == "--spacing") {
      options.Spacing = NumberArgument(name, *value, 0, kMaxPadding);
      options.SpacingGiven = true;
    } else if (name == "--descriptor") {
      const std::optional<TDescriptorForm> descriptor = DescriptorFormOfName(*value);
      if (!descriptor) throw EUsageError("--descriptor: '" + *value + "' is none of text, xml, binary");
      options.Descriptor = *descriptor;
    } else if (name == "--sdf") {
      options.DistanceFieldSpread = NumberArgument(name, *value, 1, kMaxPadding);
    } else if (name == "--output") {
      if (value->empty()) throw EUsageError("--output: the base of the names is empty");
      options.Output = *value;
    } else if (name == "--settings") {
      if (value->empty()) throw EUsageError("--settings: the file name is empty");
      options.Settings = *value;
    } else if (name == "--no-settings") {
      options.NoSettings = true;
    } else if (name == "--no-antialias") {
      options.Antialias = false;
    } else if (name == "--padding") {
      options.Padding = NumberArgument(name, *value, 0, kMaxPadding);
    } else if (name == "--exact-font") {
      options.ExactFont = true;
    } else if (name == "--resolution") {
      options.Resolution = NumberArgument(name, *value, 1, 10000);
    } else if (name.rfind("-", 0) == 0) {
      throw EUsageError(name + ": unknown option (see --help)");
    } else {
      throw EUsageError("'" + name + "': unexpected argument (every value follows its option)");
    }
  }
  if (options.Help || options.Version) return options;
  if (options.Settings && options.NoSettings)
    throw EUsageError("--settings: cannot be given together with --no-settings");
  if (options.Output.empty()) throw EUsageError("--output: missing (the base of the file names)");
  if (!codesGiven) {
    options.Characters = CodePageCharacters();
  } else {
    codes.insert(codes.end(), points.begin(), points.end());
    std::sort(codes.begin(), codes.end());
    codes.erase(std::unique(codes.begin(), codes.end()), codes.end());
    options.Characters = CharactersOf(codes, unicode);
  }
  if (!options.Atlas && (options.PowerOfTwo || options.SpacingGiven))
    throw EUsageError(std::string(options.PowerOfTwo ? "--pot" : "--spacing") + ": only with --atlas");
  if (options.Size) {
    const long long height = ui::MulDiv64(*options.Size, options.Resolution, 72);
    if (height > ui::kMaxFontHeight)
      throw EUsageError("--size: " + std::to_string(*options.Size) + " points at " +
                        std::to_string(options.Resolution) + " pixels per inch exceed " +
                        std::to_string(ui::kMaxFontHeight) + " pixels");
  }
  return options;
}

std::string ExportToolHelp() {
  return std::string("Usage: ") + kProgramName + R"( --output BASE [options]
Writes glyphs of a font as pictures, one file per character, named BASE + the character's code (at least
three digits) + extension (BASE065.png for A, BASE1046.png for U+0416), exactly as Letrana's export
writes them, and BASE.json with the metrics; or, with --atlas, the glyphs packed onto pages with a
bitmap-font descriptor BASE.fnt.

  --output BASE        the base of the file names (its folder must exist)
  --font NAME|FILE     a face name, or a font file (.ttf, .otf, .ttc) to draw with
  --fallback NAME|FILE a second font for the characters the first lacks (else they are skipped)
  --size POINTS        the font size in points
  --color C            the font colour: #RRGGBB, or a decimal colour value as Letrana.ini stores it
  --background C       the background colour, in the same forms
  --form F             bmp (default), jpg, gif, gif-transparent or png-alpha
  --codes LIST         the characters, such as 32-126,160-255 (bytes of the code page, as the window
                       shows them) or U+0020-U+007E,0x400-0x4FF (Unicode code points up to U+10FFFF,
                       also decimal above 255); default: the 256 bytes of the code page
  --text STRING        every character of the text (with --codes and --charset-file, all together)
  --charset-file FILE  every character of a UTF-8 text file (line ends and repeats ignored)
  --settings FILE      take font, size and colours from this Letrana.ini (default: Letrana's own
                       settings file, when it exists); options given here win over the file
  --no-settings        use no settings file (Letrana's defaults: Arial 12, black on silver)
  --no-antialias       crisp glyphs in exactly two colours
  --padding N          N pixels of background (transparent in png-alpha) around each glyph
  --exact-font         fail when the system would draw with another face than the one asked for
  --resolution PPI     pixels per inch (default 96, as the window at normal size)
  --atlas              pack the glyphs onto pages: PNG, white glyphs with their coverage in the alpha
                       (with --form: in the font colour, over the background unless png-alpha)
  --page-size WxH      the pages' size (default 512x512, 16 to 8192 each way)
  --pot                pages with sides that are powers of two
  --spacing N          N pixels between two glyphs on a page (default 1)
  --descriptor F       the descriptor's form: text (default), xml or binary
  --sdf SPREAD         signed distance fields instead of coverage: the distance to the outline in
                       pixels, clamped to SPREAD each way, 128 on the outline (single glyphs as PNG)
  --help, --version

Prints the face drawn with on one line (and the fallback's on a second). Characters the fonts lack are
listed under "skipped" in BASE.json. Exit codes: 0 every file written, 2 bad arguments or an unreadable
settings file, 3 the font cannot be loaded, 4 a file cannot be written (the files before it stay),
5 --exact-font and the face would be replaced.
)";
}

int RunExportTool(const std::vector<std::string>& arguments, const TExportToolEnvironment& environment,
                  std::ostream& out, std::ostream& err) {
  TExportToolOptions options;
  TRenderingState state;
  try {
    options = ParseExportToolArguments(arguments, environment.Utf8Arguments);
    if (options.Help) {
      out << ExportToolHelp();
      return kExitDone;
    }
    if (options.Version) {
      out << kProgramName << ' ' << kVersion << '\n';
      return kExitDone;
    }
    if (options.Settings) {
      state = ReadRenderingStateFile(*options.Settings, options.Resolution);
    } else if (!options.NoSettings && environment.DefaultSettingsFile &&
               os::FileExists(*environment.DefaultSettingsFile)) {
      try {
        state = ReadRenderingStateFile(*environment.DefaultSettingsFile, options.Resolution);
      } catch (const EUsageError&) {
        err << kProgramName << ": warning: Letrana's settings file '" << *environment.DefaultSettingsFile
            << "' cannot be read; its defaults are used\n";
      }
    }
  } catch (const EUsageError& error) {
    err << kProgramName << ": " << error.what() << '\n';
    return kExitBadArguments;
  }

  ui::Font font{.name = state.FontName,
                .size = options.Size.value_or(state.FontSize),
                .color = options.Color.value_or(state.FontColor)};
  const TColor background = options.Background.value_or(state.Background);
  ui::RenderOptions renderOptions{.antialias = options.Antialias};
  std::string asked = state.FontName;
  if (options.Font) {
    asked = *options.Font;
    if (LooksLikeFontFile(*options.Font)) {
      if (!os::FileExists(*options.Font)) {
        err << kProgramName << ": --font: the font file '" << *options.Font << "' does not exist\n";
        return kExitFontUnavailable;
      }
      renderOptions.fontFile = *options.Font;
    } else {
      font.name = *options.Font;
    }
  }

  std::optional<ui::TextRenderer> renderer;
  // The bytes of the font drawn with, for the kerning; nothing where the system cannot give them.
  std::optional<ui::FontFileData> fontFile;
  try {
    renderer.emplace(font, options.Resolution, renderOptions);
    // A font file's face is asked for by the family its own name table gives (not by what the
    // system realised, which may be a substitute).
    if (!renderOptions.fontFile.empty())
      font.name = ui::ReadFontFaceInfo(FileBytes(renderOptions.fontFile)).family;
  } catch (const std::invalid_argument& error) {
    err << kProgramName << ": --size: " << error.what() << '\n';
    return kExitBadArguments;
  } catch (const std::exception& error) {
    err << kProgramName << ": the font '" << asked << "' cannot be loaded: " << error.what() << '\n';
    return kExitFontUnavailable;
  }
  // The fallback font, at the same size and in the same colour.
  std::optional<ui::TextRenderer> fallback;
  ui::Font fallbackFont = font;
  ui::RenderOptions fallbackOptions = renderOptions;
  if (options.Fallback) {
    fallbackOptions.fontFile.clear();
    if (!LooksLikeFontFile(*options.Fallback)) {
      fallbackFont.name = *options.Fallback;
    } else if (os::FileExists(*options.Fallback)) {
      fallbackOptions.fontFile = *options.Fallback;
    } else {
      err << kProgramName << ": --fallback: the font file '" << *options.Fallback << "' does not exist\n";
      return kExitFontUnavailable;
    }
    try {
      fallback.emplace(fallbackFont, options.Resolution, fallbackOptions);
    } catch (const std::exception& error) {
      err << kProgramName << ": the fallback font '" << *options.Fallback
          << "' cannot be loaded: " << error.what() << '\n';
      return kExitFontUnavailable;
    }
  }
  const std::string used = renderer->FaceName();
  out << "font: " << used;
  if (!renderOptions.fontFile.empty()) out << " (" << renderOptions.fontFile << ')';
  out << '\n';
  const std::string& expected = font.name;
  if (!SameFaceName(used, expected)) {
    if (options.ExactFont) {
      err << kProgramName << ": the font '" << expected << "' is not available; the system would draw with '"
          << used << "' instead (--exact-font)\n";
      return kExitFontMismatch;
    }
    err << kProgramName << ": warning: the font '" << expected << "' is not available; drawing with '" << used
        << "' instead\n";
  }
  if (fallback) {
    out << "fallback: " << fallback->FaceName();
    if (!fallbackOptions.fontFile.empty()) out << " (" << fallbackOptions.fontFile << ')';
    out << '\n';
  }

  const int pixelSize = ui::MulDivRounded(font.size, options.Resolution, 72);
  const std::string folderless = FileNamePart(options.Output);
  std::ostringstream glyphs;
  // The kerning the atlas found among the characters written (else read below).
  std::optional<TCharactersKerning> atlasKerning;
  std::string atlasKerningError;
  // The characters written, those of them drawn with the fallback font, and those left out.
  std::vector<TGlyphCharacter> written, fellBack, skipped;
  const auto characterJson = [&](const TGlyphCharacter& c) {
    return "{\"code\": " + std::to_string(c.Code) + ", \"character\": " + JsonString(CharacterUtf8(c)) +
           (std::find(fellBack.begin(), fellBack.end(), c) != fellBack.end() ? ", \"fallback\": true" : "");
  };
  // The same font eight times as large, for distance fields.
  std::optional<ui::TextRenderer> fine, fallbackFine;
  if (options.DistanceFieldSpread > 0) {
    ui::Font large = font, largeFallback = fallbackFont;
    large.size *= kDistanceFieldScale;
    largeFallback.size *= kDistanceFieldScale;
    try {
      fine.emplace(large, options.Resolution, renderOptions);
      if (fallback) fallbackFine.emplace(largeFallback, options.Resolution, fallbackOptions);
    } catch (const std::invalid_argument&) {
      err << kProgramName << ": --sdf: the font cannot be drawn " << kDistanceFieldScale
          << " times as large as its size\n";
      return kExitBadArguments;
    }
  }
  if (options.Atlas) {
    TAtlasOptions atlasOptions{.PageWidth = options.PageWidth,
                               .PageHeight = options.PageHeight,
                               .PowerOfTwo = options.PowerOfTwo,
                               .Padding = options.Padding,
                               .Spacing = options.Spacing,
                               .DistanceFieldSpread = options.DistanceFieldSpread,
                               .Fine = fine ? &*fine : nullptr,
                               .Fallback = fallback ? &*fallback : nullptr,
                               .FallbackFine = fallbackFine ? &*fallbackFine : nullptr};
    TAtlas atlas;
    try {
      atlas = BuildAtlas(*renderer, options.Characters, atlasOptions, folderless);
    } catch (const std::invalid_argument& error) {
      err << kProgramName << ": --page-size: " << error.what() << '\n';
      return kExitBadArguments;
    }
    skipped = atlas.Skipped;
    atlasKerning = atlas.Kerning;
    atlasKerningError = atlas.KerningError;
    try {
      WriteAtlasFiles(atlas, options.Output, options.Descriptor,
                      options.FormGiven ? std::optional<TExportForm>(options.Form) : std::nullopt, font.color,
                      background);
    } catch (const std::exception& error) {
      err << kProgramName << ": " << error.what() << '\n';
      return kExitWriteFailed;
    }
    fellBack = atlas.FromFallback;
    std::map<std::uint32_t, TGlyphCharacter> byId;
    for (const TGlyphCharacter& g : options.Characters) byId.emplace(DescriptorId(*renderer, g), g);
    for (const TBitmapFontChar& c : atlas.Font.Chars) {
      const auto found = byId.find(c.Id);
      if (found == byId.end()) continue;
      const TGlyphCharacter* character = &found->second;
      written.push_back(*character);
      glyphs << (written.size() == 1 ? "\n" : ",\n") << "    " << characterJson(*character) << ", \"file\": "
             << JsonString(ui::AnsiToUtf8(atlas.Font.Pages[static_cast<std::size_t>(c.Page)]))
             << ", \"x\": " << c.X << ", \"y\": " << c.Y << ", \"width\": " << c.Width
             << ", \"height\": " << c.Height << ", \"xoffset\": " << c.XOffset
             << ", \"yoffset\": " << c.YOffset << ", \"advance\": " << c.XAdvance << '}';
    }
  } else {
    // The window's cell height: the height of a one-line text in the font.
    const int cellHeight = renderer->Measure("a").height;
    const std::size_t total = options.Characters.size();
    std::size_t done = 0;
    try {
      for (const TGlyphCharacter& character : options.Characters) {
        if (environment.ShowProgress)
          err << '\r' << kProgramName << ": " << ++done << '/' << total << std::flush;
        // The font's own glyph, else the fallback's.
        const bool own = FontHasCharacter(*renderer, character);
        const bool fromFallback = !own && fallback && FontHasCharacter(*fallback, character);
        const ui::TextRenderer& drawer = fromFallback ? *fallback : *renderer;
        const std::optional<ui::TextRenderer>& fineDrawer = fromFallback ? fallbackFine : fine;
        if (!(own || fromFallback) || !(options.DistanceFieldSpread > 0
                                            ? ExportDistanceField(drawer, *fineDrawer, character, cellHeight,
                                                                  options, ColorToRGB(font.color))
                                            : ExportGlyph(drawer, background, cellHeight, character,
                                                          options.Form, options.Output, options.Padding))) {
          skipped.push_back(character);
          continue;
        }
        written.push_back(character);
        if (fromFallback) fellBack.push_back(character);
        const ui::CharMetrics metrics = CharacterMetricsOf(drawer, character);
        glyphs << (written.size() == 1 ? "\n" : ",\n") << "    " << characterJson(character) << ", \"file\": "
               << JsonString(ui::AnsiToUtf8(
                      folderless + ExportNumber(character.Code) +
                      (options.DistanceFieldSpread > 0 ? ".png" : ExportExtension(options.Form))))
               << ", \"width\": " << metrics.advance + 2 * options.Padding
               << ", \"height\": " << cellHeight + 2 * options.Padding << ", \"advance\": " << metrics.advance
               << ", \"left_bearing\": " << metrics.leftBearing << ", \"padding\": " << options.Padding
               << '}';
      }
    } catch (const std::exception& error) {
      if (environment.ShowProgress) err << '\n';
      err << kProgramName << ": " << error.what() << '\n';
      return kExitWriteFailed;
    }
    if (environment.ShowProgress) err << '\n';
  }

  std::string kerning;
  try {
    if (!fontFile) fontFile = renderer->FontFile();
    if (!atlasKerning) {
      std::vector<TGlyphCharacter> own;
      for (const TGlyphCharacter& c : written)
        if (std::find(fellBack.begin(), fellBack.end(), c) == fellBack.end()) own.push_back(c);
      atlasKerning = KerningAmong(*renderer, *fontFile, own, pixelSize);
    }
    if (!atlasKerningError.empty()) throw std::runtime_error(atlasKerningError);
    kerning = KerningJson(*atlasKerning);
  } catch (const std::exception& error) {
    // A font without readable tables (a raster font, a damaged file) has no kerning to report.
    err << kProgramName << ": warning: no kerning: " << error.what() << '\n';
    kerning = "null";
  }

  std::ostringstream json;
  json << "{\n  \"font\": {\"asked\": " << JsonString(ui::AnsiToUtf8(asked))
       << ", \"used\": " << JsonString(ui::AnsiToUtf8(used)) << ", \"file\": ";
  const std::string file = fontFile ? fontFile->path : std::string();
  json << (file.empty() ? std::string("null") : JsonString(ui::AnsiToUtf8(file))) << "},\n"
       << "  \"size\": " << font.size << ",\n  \"resolution\": " << options.Resolution
       << ",\n  \"pixel_size\": " << pixelSize << ",\n  \"line_height\": " << renderer->LineHeight()
       << ",\n  \"ascent\": " << renderer->Ascent()
       << ",\n  \"descent\": " << renderer->LineHeight() - renderer->Ascent() << ",\n  \"form\": "
       << JsonString(options.Atlas && !options.FormGiven ? "atlas" : FormatInfo(options.Form).CommandLineName)
       << ",\n  \"antialias\": " << (options.Antialias ? "true" : "false")
       << ",\n  \"padding\": " << options.Padding << ",\n  \"glyphs\": [" << glyphs.str()
       << (written.empty() ? "]" : "\n  ]") << ",\n  \"skipped\": [";
  for (std::size_t i = 0; i < skipped.size(); ++i) json << (i == 0 ? "" : ", ") << skipped[i].Code;
  json << "],\n  \"kerning\": " << kerning << "\n}\n";
  const std::string metricsFile = options.Output + ".json";
  if (!os::WriteFileReplacing(metricsFile, json.str())) {
    err << kProgramName << ": " << EFCreateError(metricsFile).what() << '\n';
    return kExitWriteFailed;
  }
  return kExitDone;
}

}  // namespace letrana_export
