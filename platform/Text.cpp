// What both text renderers check before they realise a font.

#include <stdexcept>
#include <string>

#include "platform/Text.h"

namespace ui {

int RendererFontHeight(const Font& font, int pixelsPerInch) {
  if (pixelsPerInch < 1 || pixelsPerInch > 10000) {
    throw std::invalid_argument("Invalid resolution of " + std::to_string(pixelsPerInch) +
                                " pixels per inch");
  }
  const long long height = -MulDiv64(font.size, pixelsPerInch, 72);
  if (height > kMaxFontHeight || height < -kMaxFontHeight) {
    throw std::invalid_argument("Font size " + std::to_string(font.size) + " is out of range");
  }
  return static_cast<int>(height);
}

}  // namespace ui
