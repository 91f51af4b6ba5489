#pragma once
// The parts of the settings file that both programs share: how values are encoded, the window
// placement (WindowPos) and the interface font (UseBuildInFont, UseFontSettings, UseFontHeight and the
// FontDef keys). The settings file itself is an XML-form settings document in the storage directory;
// each program reads and writes its own keys around these.
//
// Fonts are ui::Font values, sized in points. The settings file speaks of font heights in pixels at the
// window's resolution (negative = character height, as a window's font height); the two are converted
// with FontHeightForSize / FontSizeForHeight at the window's pixels per inch, so MS Sans Serif 9 pt at
// 96 pixels per inch is stored as FontDefHeight -12 and FontDefSize 9. A height that is no whole number
// of points at that resolution comes back as the nearest size (at 96 pixels per inch -14 reads as
// 11 pt, which is written back as -15).
// Nothing here reports an error: unreadable values fall back to their defaults.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "common/SettingsDocument.h"
#include "imaging/Geometry.h"
#include "imaging/Graphics.h"
#include "platform/text/Text.h"

// ---- Value encodings --------------------------------------------------------------------------------
// Colours are stored as the signed decimal of the 32-bit colour value: RGB values as they are, a system
// colour (top bit set, such as 0x80000008) as a negative number (-2147483640). Booleans are 1 or 0
// (SetBool / GetBool), pitches 0 (default), 1 (variable) or 2 (fixed), character sets 0 to 255.

constexpr std::int32_t ColorToSetting(TColor color) { return static_cast<std::int32_t>(color); }
constexpr TColor ColorFromSetting(std::int32_t value) { return static_cast<TColor>(value); }

void SetColorSetting(TSettingsDocument& settings, const std::string& key, TColor color);
TColor GetColorSetting(TSettingsDocument& settings, const std::string& key, TColor defaultColor);

// A whole text as a decimal integer: optional blanks, an optional sign, at least one digit, optional
// blanks. Nothing for anything else, and for numbers beyond the 32-bit range.
std::optional<int> ReadDecimalInt(std::string_view text);

// ---- Window placement -------------------------------------------------------------------------------
// WindowPos holds "MAX" for a maximised window, else "left;top;width;height" in pixels.

// What the settings say about the window: maximise it (its restored bounds then stay as they are, and
// Bounds only repeats the default), or give it Bounds.
struct TWindowPos {
  bool Maximized = false;
  ui::Rect Bounds;
  bool operator==(const TWindowPos&) const = default;
};

// Coordinates and sizes beyond this many pixels are refused when read: no desktop is that large, and
// a window placed there (Windows parks minimised windows at -32000) could never be reached again.
inline constexpr int kMaxWindowCoordinate = 16384;

// The default placement: the window's designed size (at 96 pixels per inch) scaled with ScaleForDpi,
// centred on the screen; left and top divided with truncation toward zero and raised to 0 when
// negative, so a window larger than the screen starts at its top-left corner.
ui::Rect DefaultWindowBounds(int screenWidth, int screenHeight, int designWidth, int designHeight,
                             int pixelsPerInch);

// Reads a WindowPos value. "MAX" (exactly) maximises. Otherwise up to four integers separated by ";"
// are taken as left, top, width and height; a field that is missing or no decimal integer (after
// optional blanks, an optional sign and digits, then optional blanks), a left or top beyond
// ±kMaxWindowCoordinate, and a width or height below 1 or above kMaxWindowCoordinate each keep their
// value from defaults. Positions that are merely off the screen are kept.
TWindowPos ParseWindowPos(const std::string& value, const ui::Rect& defaults);

// "MAX" when maximised, else "%d;%d;%d;%d" of the bounds.
std::string FormatWindowPos(bool maximized, const ui::Rect& bounds);

// GetString of WindowPos with the default placement's text as default, read as ParseWindowPos does.
TWindowPos ReadWindowPos(TSettingsDocument& settings, int screenWidth, int screenHeight, int designWidth,
                         int designHeight, int pixelsPerInch);
// SetString of WindowPos.
void WriteWindowPos(TSettingsDocument& settings, bool maximized, const ui::Rect& bounds);

// ---- Interface font ---------------------------------------------------------------------------------

// The three switches, kept from load to save; no command changes them, only an edit of the file.
struct TInterfaceFontSwitches {
  bool UseBuildInFont = false;  // start from the window's own font instead of the icon-title font
  bool UseFontSettings = true;  // let the FontDef keys replace name, colour, pitch and character set
  bool UseFontHeight = false;   // ... and the height
  bool operator==(const TInterfaceFontSwitches&) const = default;
};

struct TInterfaceFont {
  TInterfaceFontSwitches Switches;
  // Height in pixels of the window's font when the settings were read (negative = character height).
  std::int32_t DesignFontHeight = 0;
  ui::Font Font;
};

// Font heights read from FontDefHeight are limited to this many pixels either way, the most a text
// renderer accepts.
inline constexpr int kMaxInterfaceFontHeight = ui::kMaxFontHeight;

// Reads the switches and builds the interface font: a copy of windowFont when UseBuildInFont, else of
// systemFont (the system's icon-title font); its height set to the design height of windowFont; then,
// with UseFontSettings, FontDefName, FontDefColor (default 0), FontDefHeight (only with UseFontHeight),
// FontDefPitch and FontDefCharset, each defaulting to the font's current value. A pitch other than 0,
// 1 or 2 reads as the default pitch, a character set outside 0 to 255 as the default character set.
TInterfaceFont ReadInterfaceFont(TSettingsDocument& settings, const ui::Font& windowFont, int pixelsPerInch,
                                 const ui::Font& systemFont);

// Writes UseBuildInFont, UseFontSettings and UseFontHeight, then FontDefName, FontDefColor,
// FontDefHeight, FontDefSize, FontDefPitch and FontDefCharset of windowFont.
void WriteInterfaceFont(TSettingsDocument& settings, const TInterfaceFontSwitches& switches,
                        const ui::Font& windowFont, int pixelsPerInch);

// Gives a font the face of another: name, character set and pitch (its size, style and colour stay).
void TakeFontFace(ui::Font& font, const ui::Font& from);
