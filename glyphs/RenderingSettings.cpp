#include "glyphs/RenderingSettings.h"

#include "common/PersistedSettings.h"
#include "platform/text/Text.h"

bool RenderableFontSize(int points, int pixelsPerInch) {
  const long long height = ui::MulDiv64(points, pixelsPerInch, 72);
  return height >= -ui::kMaxFontHeight && height <= ui::kMaxFontHeight;
}

TRenderingState ReadRenderingState(TSettingsDocument& settings, int pixelsPerInch) {
  TRenderingState state;
  state.FontName = settings.GetString("FontName", kDefaultGlyphFontName);
  state.FontSize = settings.GetInt("FontSize", kDefaultGlyphFontSize);
  if (!RenderableFontSize(state.FontSize, pixelsPerInch)) state.FontSize = kDefaultGlyphFontSize;
  state.FontColor = GetColorSetting(settings, "FontColor", clBlack);
  state.Background = GetColorSetting(settings, "BackgroundColor", kDefaultGlyphBackground);
  return state;
}

void WriteRenderingState(TSettingsDocument& settings, const TRenderingState& state) {
  settings.SetString("FontName", state.FontName);
  settings.SetInt("FontSize", state.FontSize);
  SetColorSetting(settings, "FontColor", state.FontColor);
  SetColorSetting(settings, "BackgroundColor", state.Background);
}
