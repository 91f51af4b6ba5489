#pragma once
// The font the system uses for icon titles, which the programs take as the starting point of their
// interface font. Implemented by each backend: SystemParametersInfoA(SPI_GETICONTITLELOGFONT) on
// Windows (the stock system font if that fails), fontconfig's default sans-serif face at 9 points in
// the native backend (freetype/).

#include <algorithm>
#include <string>

#include "platform/text/Text.h"

namespace ui {

Font IconTitleFont();

// A font as the system describes it (the fields of a LOGFONT that a Font keeps).
struct SystemFontDescription {
  std::string faceName;  // cut at its first zero byte and at 31 bytes
  int height = 0;        // pixels; negative = character height
  int weight = 400;      // 700 and more is bold
  bool italic = false;
  bool underline = false;
  bool strikeOut = false;
  int charset = kDefaultCharset;  // taken as a byte
  int pitchAndFamily = 0;         // the low two bits: 0 default, 1 fixed, 2 variable pitch
};

// The Font of a description at a resolution (non-positive resolutions count as 96): the size in
// points from the height (FontSizeForHeight), bold from the weight, the pitch from the low two bits.
inline Font FontFromSystemDescription(const SystemFontDescription& description, int pixelsPerInch) {
  constexpr int kBoldWeight = 700;
  constexpr std::size_t kMaxFaceName = 31;
  Font font;
  const std::string& face = description.faceName;
  font.name = face.substr(0, std::min({face.find('\0'), face.size(), kMaxFaceName}));
  font.size = FontSizeForHeight(description.height, pixelsPerInch > 0 ? pixelsPerInch : 96);
  font.bold = description.weight >= kBoldWeight;
  font.italic = description.italic;
  font.underline = description.underline;
  font.strikeOut = description.strikeOut;
  font.charset = description.charset & 0xFF;
  switch (description.pitchAndFamily & 3) {
    case 1:
      font.pitch = FontPitch::Fixed;
      break;
    case 2:
      font.pitch = FontPitch::Variable;
      break;
    default:
      font.pitch = FontPitch::Default;
  }
  font.color = clBlack;
  return font;
}

}  // namespace ui
