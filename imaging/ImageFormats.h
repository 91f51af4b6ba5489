#pragma once
// The one table of the picture formats the programs write: for each its name on letrana-export's
// command line, its extension, the label a save dialog shows, its writer, and which program offers it.
// Letrana's export dialog and letrana-export's --form, Snapora's save dialogs and its rule "the
// extension of the name chooses the writer" are all derived from it: a new format is one row here and
// one writer.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "imaging/Graphics.h"

enum class TImageFormat {
  Bmp,
  Jpeg,
  Gif,
  TransparentGif,  // a GIF whose background colour is its transparent colour
  PngWithAlpha,    // every pixel in one colour, the alpha the glyph's coverage
  Png,
};

// Writes an opaque picture to a file, creating or replacing it.
using TPictureWriter = void (*)(const TBitmap& picture, const std::string& fileName);

struct TImageFormatInfo {
  TImageFormat Id;
  const char* CommandLineName;  // letrana-export's --form value
  const char* Extension;        // dot included, lower case
  const char* Label;            // the built-in English label of a dialog's file type
  const char* LabelKey;         // the language-file key (program's main section) of a translated
                                // label; null where the label is the same in every language
  TPictureWriter Write;         // null where a picture alone is not enough (transparency, alpha)
  bool Glyphs;                  // one of Letrana's export forms (dialog order = table order)
  bool Captures;                // written by Snapora for a name with its extension
};

// Every format, in the order of Letrana's export dialog.
const std::vector<TImageFormatInfo>& ImageFormats();
const TImageFormatInfo& FormatInfo(TImageFormat format);
// The formats a program offers, in table order.
std::vector<TImageFormat> GlyphFormats();
std::vector<TImageFormat> CaptureFormats();

// The glyph format of a command-line name; nothing for any other text. GlyphFormatNames: the names,
// "bmp, jpg, ..." as a usage message lists them.
std::optional<TImageFormat> GlyphFormatOfName(std::string_view name);
std::string GlyphFormatNames();

// The capture format of a file name's extension (dot included, case ignored); nothing for any other.
std::optional<TImageFormat> CaptureFormatOfExtension(const std::string& extension);

// One file type of a save dialog: the format and the text the dialog lists it by.
struct TDialogType {
  TImageFormat Format;
  std::string Label;
};
// "(*.BMP)" for a format labelled by its extension, "(*-GIF transparent)" for one with a name of its own
// (the label given, or the format's built-in one).
std::string ParenthesisedLabel(TImageFormat format, const std::string& label = {});
// The dialog's filter text: "label|*.ext" for each type, joined with "|".
std::string DialogFilter(const std::vector<TDialogType>& types);
