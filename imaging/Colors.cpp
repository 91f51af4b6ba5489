#include "imaging/Graphics.h"
#include "platform/os/Os.h"

TColor ColorToRGB(TColor color) {
  if ((color & 0x80000000u) == 0) return color;
  return static_cast<TColor>(os::SystemColor(static_cast<int>(color & 0xFF)));
}
