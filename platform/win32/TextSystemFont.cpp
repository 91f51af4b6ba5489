// The icon-title font on Windows: SystemParametersInfoA(SPI_GETICONTITLELOGFONT), or the stock system
// font when the system does not say; sized in points at the screen's pixels per inch.

#include "platform/text/SystemFont.h"

// After the platform headers: <windows.h> defines RGB and GetRValue as macros, which Graphics.h
// declares as functions.
#include <windows.h>

#include <cstring>

namespace {

int ScreenPixelsPerInch() {
  const HDC screen = ::GetDC(nullptr);
  if (screen == nullptr) return 96;
  const int pixelsPerInch = ::GetDeviceCaps(screen, LOGPIXELSY);
  ::ReleaseDC(nullptr, screen);
  return pixelsPerInch > 0 ? pixelsPerInch : 96;
}

ui::SystemFontDescription Describe(const LOGFONTA& font) {
  ui::SystemFontDescription description;
  description.faceName.assign(font.lfFaceName, ::strnlen(font.lfFaceName, LF_FACESIZE));
  description.height = font.lfHeight;
  description.weight = font.lfWeight;
  description.italic = font.lfItalic != 0;
  description.underline = font.lfUnderline != 0;
  description.strikeOut = font.lfStrikeOut != 0;
  description.charset = font.lfCharSet;
  description.pitchAndFamily = font.lfPitchAndFamily;
  return description;
}

}  // namespace

namespace ui {

Font IconTitleFont() {
  LOGFONTA font{};
  if (!::SystemParametersInfoA(SPI_GETICONTITLELOGFONT, sizeof font, &font, 0)) {
    font = LOGFONTA{};
    // Stock objects belong to the system and are not deleted.
    const HGDIOBJ stock = ::GetStockObject(SYSTEM_FONT);
    if (stock == nullptr || ::GetObjectA(stock, sizeof font, &font) == 0) return Font{};
  }
  return FontFromSystemDescription(Describe(font), ScreenPixelsPerInch());
}

}  // namespace ui
