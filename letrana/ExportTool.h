#pragma once
// letrana-export: Letrana's glyph export from the command line, for build pipelines. It renders and
// writes the glyphs exactly as the window's export does (GlyphExport: the same rendering, cell height,
// writers and names base + three-digit code + extension) and writes a metrics file beside them
// (base + ".json": the font, its line metrics, each glyph's size, advance and left bearing, and the
// kerning pairs among the exported characters).

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "glyphs/Atlas.h"
#include "glyphs/GlyphExport.h"
#include "imaging/Graphics.h"

namespace letrana_export {

// The program's exit codes.
enum ExitCode : int {
  kExitDone = 0,             // every file was written
  kExitBadArguments = 2,     // an option or its value is wrong, or the settings file cannot be read
  kExitFontUnavailable = 3,  // the font cannot be loaded
  kExitWriteFailed = 4,      // a file could not be written; the files before it stay
  kExitFontMismatch = 5,     // --exact-font, and the system would draw with another face
};

// A wrong command line; the message names the option.
class EUsageError : public std::runtime_error {
 public:
  explicit EUsageError(const std::string& message) : std::runtime_error(message) {}
};

// What the command line asks for; options not given are empty.
struct TExportToolOptions {
  bool Help = false;
  bool Version = false;
  std::optional<std::string> Font;      // a face name or a font file
  std::optional<std::string> Fallback;  // the same, for the characters Font lacks
  std::optional<int> Size;              // points
  std::optional<TColor> Color;
  std::optional<TColor> Background;
  TExportForm Form = TExportForm::Bmp;
  bool FormGiven = false;
  // The characters: the 256 bytes of the code page unless --codes, --text or --charset-file name
  // others (then, with a code list of bytes alone, bytes; else Unicode code points), ascending, each
  // once.
  std::vector<TGlyphCharacter> Characters;
  std::string Output;  // the base of the file names
  std::optional<std::string> Settings;
  bool NoSettings = false;
  bool Antialias = true;
  int Padding = 0;
  bool ExactFont = false;
  int Resolution = 96;
  // An atlas: pages of PageWidth x PageHeight (rounded down to powers of two with --pot), Spacing pixels
  // between glyphs, a descriptor in the form text, xml or binary, and a distance field of this spread.
  bool Atlas = false;
  int PageWidth = 512, PageHeight = 512;
  bool PowerOfTwo = false;
  int Spacing = 1;
  bool SpacingGiven = false;
  TDescriptorForm Descriptor = TDescriptorForm::Text;
  int DistanceFieldSpread = 0;
};

// Reads the arguments (without the program name). utf8Arguments, where given, are the same arguments as
// UTF-8 (Windows hands a program its arguments in the ANSI code page, which holds few characters): the
// value of --text is taken from them. A --charset-file is read here. Throws EUsageError.
TExportToolOptions ParseExportToolArguments(const std::vector<std::string>& arguments,
                                            const std::vector<std::string>& utf8Arguments = {});

// A colour as the settings file stores it (the signed decimal of the colour value, for example
// 12632256 for silver or -2147483640 for a system colour) or as "#RRGGBB". Nothing for anything else.
std::optional<TColor> ParseColorArgument(const std::string& text);

// A text as a JSON string literal (quotes included): the text is UTF-8; quotes, backslashes and
// control characters are escaped.
std::string JsonString(const std::string& utf8);

// What the program finds around it.
struct TExportToolEnvironment {
  // The window's settings file, used when no --settings is given and it exists.
  std::optional<std::string> DefaultSettingsFile;
  // Whether a progress line goes to the error stream.
  bool ShowProgress = false;
  // The arguments as UTF-8, where the system hands them over otherwise (see ParseExportToolArguments).
  std::vector<std::string> Utf8Arguments;
};

// Runs the program: parses the arguments, writes the pictures and the metrics file, prints the font
// used on `out` and messages on `err`; returns the exit code.
int RunExportTool(const std::vector<std::string>& arguments, const TExportToolEnvironment& environment,
                  std::ostream& out, std::ostream& err);

// The program's usage text.
std::string ExportToolHelp();

}  // namespace letrana_export
