#include "snapora/Capture.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <functional>
#include <optional>
#include <stdexcept>

#include "common/FileNames.h"
#include "common/PersistedSettings.h"
#include "imaging/Errors.h"
#include "platform/ui/Clipboard.h"

namespace {

// The largest side of a user rectangle: far beyond any display, and small enough that the picture can
// always be made and written.
constexpr int kMaxCaptureSide = 32767;

}  // namespace

int TextToIntDef(const std::string& text, int fallback) { return ReadDecimalInt(text).value_or(fallback); }

TThumbnailPlace ThumbnailPlace(int imageWidth, int imageHeight) {
  constexpr int W = TCapture::ThumbnailWidth, H = TCapture::ThumbnailHeight;
  int dw = imageWidth, dh = imageHeight;
  if (!(imageHeight <= H - 2 && imageWidth <= W - 2)) {
    // Shrunk to the inner width with the proportions kept; when that is too high, to the inner height.
    dw = W - 2;
    dh = static_cast<int>(imageHeight / (static_cast<double>(imageWidth) / (W - 2)));
    if (dh > H - 2) {
      dh = H - 2;
      dw = static_cast<int>(imageWidth / (static_cast<double>(imageHeight) / (H - 2)));
    }
  }
  return {(W - dw - 2) / 2 + 1, (H - dh - 2) / 2 + 1, dw, dh};
}

std::string StampedFileName(const std::string& base, const os::LocalTime& moment) {
  const std::string extension = FileExtension(base);
  char stamp[64];
  std::snprintf(stamp, sizeof stamp, "%04d%02d%02d-%02d%02d%02d_%03d", moment.year, moment.day, moment.month,
                moment.hour, moment.minute, moment.second, moment.milliseconds);
  return base.substr(0, base.size() - extension.size()) + stamp + extension;
}

namespace {

enum class TNameAnswer { Take, Next, GiveUp };

// The stamped name, else the first of stem + "-2" + extension, "-3", ... that ask takes; nothing when
// ask gives up or no number is left. A folder cannot hold that many files with one stamp; the bound only
// keeps a system that answers "exists" to every name from holding the program here for ever.
std::optional<std::string> FirstNumberedName(const std::string& stamped,
                                             const std::function<TNameAnswer(const std::string&)>& ask) {
  const std::string extension = FileExtension(stamped);
  const std::string stem = stamped.substr(0, stamped.size() - extension.size());
  for (int number = 1; number < 1000000; ++number) {
    std::string candidate = number == 1 ? stamped : stem + "-" + std::to_string(number) + extension;
    const TNameAnswer answer = ask(candidate);
    if (answer == TNameAnswer::Take) return candidate;
    if (answer == TNameAnswer::GiveUp) break;
  }
  return std::nullopt;
}

bool NameTaken(const std::string& name) { return os::FileExists(name) || os::DirectoryExists(name); }

}  // namespace

std::string UnusedStampedFileName(const std::string& base, const os::LocalTime& moment) {
  const std::string stamped = StampedFileName(base, moment);
  return FirstNumberedName(
             stamped,
             [](const std::string& name) { return NameTaken(name) ? TNameAnswer::Next : TNameAnswer::Take; })
      .value_or(stamped);
}

std::string RegionText(const os::ScreenRect& region) {
  return std::to_string(region.left) + ";" + std::to_string(region.top) + ";" +
         std::to_string(region.Width()) + ";" + std::to_string(region.Height());
}

std::optional<os::ScreenRect> RegionFromText(const std::string& text) {
  long long values[4] = {};
  std::size_t start = 0;
  for (int i = 0; i < 4; ++i) {
    const std::size_t end = i < 3 ? text.find(';', start) : text.size();
    if (end == std::string::npos) return std::nullopt;
    const std::string part = text.substr(start, end - start);
    // INT_MIN, no sensible coordinate, marks a field that is no number.
    const int value = TextToIntDef(part, INT_MIN);
    if (value == INT_MIN) return std::nullopt;
    values[i] = value;
    start = end + 1;
  }
  if (values[2] <= 0 || values[3] <= 0 || values[0] + values[2] > INT_MAX || values[1] + values[3] > INT_MAX)
    return std::nullopt;
  return os::ScreenRect{static_cast<int>(values[0]), static_cast<int>(values[1]),
                        static_cast<int>(values[0] + values[2]), static_cast<int>(values[1] + values[3])};
}

os::ScreenRect UserRectangle(const std::string& leftText, const std::string& topText,
                             const std::string& widthText, const std::string& heightText) {
  int left = TextToIntDef(leftText, 0);
  if (left < 0) left = 0;
  int top = TextToIntDef(topText, 0);
  if (top < 0) top = 0;
  // Sums in 64 bits: a width of 2147483647 must not wrap around to a rectangle left of its start.
  long long right = static_cast<long long>(left) + TextToIntDef(widthText, 300);
  if (right <= left || right > INT_MAX) right = left + 300LL;
  long long bottom = static_cast<long long>(top) + TextToIntDef(heightText, 200);
  if (bottom <= top || bottom > INT_MAX) bottom = top + 200LL;
  return {left, top, static_cast<int>(right), static_cast<int>(bottom)};
}

TTargetPreparation::TTargetPreparation(os::WindowHandle window, bool prepare) : window_(window) {
  if (window == 0 || !prepare) return;
  placement_ = os::GetPlacement(window);
  os::BringToTop(window);
  os::ShowWindowAs(window, os::show::Restore);
  os::ShowWindowAs(window, placement_ && placement_->showCmd == os::show::ShowMaximized
                               ? os::show::ShowMaximized
                               : os::show::Show);
}

void TTargetPreparation::Restore() {
  if (placement_) os::SetPlacement(window_, *placement_);
  placement_.reset();
}

// ---- The capture -------------------------------------------------------------------------------------

bool TCapture::GrabRect(const os::ScreenRect& rect) {
  if (rect.Empty()) return false;
  const os::ScreenRect screens = os::VirtualScreen();
  const int left = std::max(rect.left, screens.left);
  const int top = std::max(rect.top, screens.top);
  const int right = std::min(rect.right, screens.right);
  const int bottom = std::min(rect.bottom, screens.bottom);
  image_ = os::GrabDisplay(left, top, right - left, bottom - top);
  width_ = image_.Width();
  height_ = image_.Height();
  return true;
}

bool TCapture::GrabTarget(os::WindowHandle window, bool clientOnly, const os::ScreenRect& userRect,
                          bool useUserRect) {
  std::optional<os::ScreenRect> windowRect, clientRect;
  if (window != 0) {
    windowRect = os::WindowFrameRect(window);
    clientRect = os::ClientRectOnScreen(window);
  } else {
    windowRect = os::WindowRect(os::DesktopWindow());
    clientRect = os::WindowRect(os::DesktopWindow());
  }
  if (!clientRect || !windowRect) return false;

  const bool ok = GrabRect(*windowRect);
  if (ok && clientOnly) GrabRect(*clientRect);
  if (useUserRect) CropToUserRect(userRect);
  return ok;
}

bool TCapture::GrabAllScreens(const os::ScreenRect& userRect, bool useUserRect) {
  const bool ok = GrabRect(os::VirtualScreen());
  if (useUserRect) CropToUserRect(userRect);
  return ok;
}

void TCapture::TakeDesktopScreenshot(bool interactive, const os::ScreenRect& userRect, bool useUserRect,
                                     os::ScreenStream* stream) {
  ReplaceWith(stream != nullptr ? stream->Picture() : os::DesktopScreenshot(interactive));
  if (useUserRect) CropToUserRect(userRect);
}

bool TCapture::TakeFromScreenPicture(const TBitmap& screen, const os::ScreenRect& userRect) {
  if (screen.Empty()) return false;
  ReplaceWith(screen);
  CropToUserRect(userRect);
  return true;
}

void TCapture::CropToUserRect(const os::ScreenRect& userRect) {
  // The user rectangle counts from the grabbed image's top-left corner; what it reaches beyond the
  // image stays black.
  TBitmap cropped;
  CopyTo(cropped);
  const int width = userRect.right - userRect.left, height = userRect.bottom - userRect.top;
  if (width > kMaxCaptureSide || height > kMaxCaptureSide) {
    throw ELocalisedError(TErrorKind::CaptureTooLarge,
                          {std::to_string(width), std::to_string(height), std::to_string(kMaxCaptureSide)});
  }
  TBitmap area;
  area.SetSize(width, height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const int sx = userRect.left + x, sy = userRect.top + y;
      area.SetPixel(x, y, sx < cropped.Width() && sy < cropped.Height() ? cropped.Pixel(sx, sy) : clBlack);
    }
  }
  ReplaceWith(area);
}

TClaimedName ClaimStampedFileName(const std::string& stamped) {
  const std::optional<std::string> claimed = FirstNumberedName(stamped, [](const std::string& name) {
    if (os::CreateNewFile(name)) return TNameAnswer::Take;
    // Not taken, yet not created: the folder does not take the file, and no other name would help.
    return NameTaken(name) ? TNameAnswer::Next : TNameAnswer::GiveUp;
  });
  return claimed ? TClaimedName{*claimed, true} : TClaimedName{stamped, false};
}

void TCapture::CopyToClipboard() const {
  // Every capture replaces what the clipboard held, one of nothing (a window beyond every monitor, a
  // user rectangle of no width) too.
  if (image_.Empty())
    os::EmptyClipboard();
  else
    os::PutClipboardPicture(image_);
}

void TCapture::CopyTo(TBitmap& bitmap) const { bitmap = image_; }

void TCapture::ReplaceWith(const TBitmap& bitmap) {
  image_ = bitmap;
  width_ = image_.Width();
  height_ = image_.Height();
}

bool TCapture::DrawThumbnail(TBitmap& target) const {
  constexpr int W = ThumbnailWidth, H = ThumbnailHeight;
  target.SetSize(W, H);
  const TColor frame = ColorToRGB(FrameColor), fill = ColorToRGB(FillColor);
  for (int y = 0; y < H; ++y) {
    for (int x = 0; x < W; ++x) {
      const bool inner = x >= 1 && x < W - 1 && y >= 1 && y < H - 1;
      target.SetPixel(x, y, inner ? fill : frame);
    }
  }
  if (image_.Width() <= 0 || image_.Height() <= 0) return false;
  const TThumbnailPlace place = ThumbnailPlace(image_.Width(), image_.Height());
  if (place.width <= 0 || place.height <= 0) return true;
  // Each target pixel takes the image pixel at the centre of the area it stands for.
  for (int y = 0; y < place.height; ++y) {
    const int sy =
        static_cast<int>((static_cast<long long>(y) * 2 + 1) * image_.Height() / (2LL * place.height));
    for (int x = 0; x < place.width; ++x) {
      const int sx =
          static_cast<int>((static_cast<long long>(x) * 2 + 1) * image_.Width() / (2LL * place.width));
      target.SetPixel(place.x + x, place.y + y, image_.Pixel(sx, sy));
    }
  }
  return true;
}
