#pragma once
// Places and sizes on a screen: a rectangle, and distances designed at 96 pixels per inch scaled for a
// screen of another resolution. Shared by the windows, the settings (window placement) and the
// capture tool's rectangles; no window needed.

namespace ui {

struct Rect {
  int left = 0, top = 0, width = 0, height = 0;
  bool operator==(const Rect&) const = default;
};

// A distance n designed at 96 pixels per inch, for a window of the given pixels per inch: n at 96 or
// less, else n * pixelsPerInch / 96 truncated.
constexpr int ScaleForDpi(int n, int pixelsPerInch) {
  return pixelsPerInch <= 96 ? n : n * pixelsPerInch / 96;
}

}  // namespace ui
