#pragma once
// Letrana's rendering state, the font its glyphs are drawn in and their colours, as Letrana.ini stores
// it (FontName, FontSize, FontColor, BackgroundColor), read and written the same way by the window and
// by letrana-export.

#include <string>

#include "common/SettingsDocument.h"
#include "imaging/Graphics.h"

// What the settings file holds when it names nothing else.
inline constexpr const char* kDefaultGlyphFontName = "Arial";
inline constexpr int kDefaultGlyphFontSize = 12;
inline constexpr TColor kDefaultGlyphBackground = 12632256;  // silver

struct TRenderingState {
  std::string FontName = kDefaultGlyphFontName;
  int FontSize = kDefaultGlyphFontSize;  // points
  TColor FontColor = clBlack;
  TColor Background = kDefaultGlyphBackground;
  bool operator==(const TRenderingState&) const = default;
};

// True when a font of that size can be realised at the resolution: its height stays within what the
// text renderer accepts (a size of 0 leaves the height to the system, a negative one asks for a cell
// height).
bool RenderableFontSize(int points, int pixelsPerInch);

// The four keys, each defaulting as above; a size no font can be made in at the resolution reads as
// the default size, so that no rendering fails.
TRenderingState ReadRenderingState(TSettingsDocument& settings, int pixelsPerInch);
void WriteRenderingState(TSettingsDocument& settings, const TRenderingState& state);
