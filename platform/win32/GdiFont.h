#pragma once
// The GDI description of a font, shared by the text renderer and the window controls.

#include <windows.h>

#include "platform/text/Text.h"

namespace ui {

// The LOGFONT of a font at a resolution: lfHeight from its size in points (negative: the character
// height), weight, style, character set, pitch and face name (cut at LF_FACESIZE - 1 bytes or at a
// zero byte, as the system reads it).
LOGFONTA MakeLogFont(const Font& font, int pixelsPerInch);

}  // namespace ui
