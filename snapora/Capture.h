#pragma once
// One capture, apart from the window that asks for it: the target window prepared for the grab and put
// back as it was, its pixels grabbed and cropped to the user's rectangle, the copies for the clipboard
// and the thumbnail, and the names of stamped files. Testable on the virtual screen without a window.

#include <optional>
#include <string>

#include "imaging/Graphics.h"
#include "platform/os/Os.h"
#include "platform/ui/WindowSystem.h"

// The text converted to an integer as the option fields are read: decimal digits with an optional sign
// (and blanks around them); anything else, or a number beyond 32 bits, gives the fallback.
int TextToIntDef(const std::string& text, int fallback);

// A region as the settings keep it: "left;top;width;height" in screen coordinates.
std::string RegionText(const os::ScreenRect& region);
// The region such a text names; nothing for a text that is not four integers with a positive width and
// height within the 32-bit range.
std::optional<os::ScreenRect> RegionFromText(const std::string& text);

// The user's rectangle as the four option fields give it (left, top, width, height): negative left and
// top count as 0, a width or height that is no positive number or reaches beyond the 32-bit range as
// 300 and 200.
os::ScreenRect UserRectangle(const std::string& left, const std::string& top, const std::string& width,
                             const std::string& height);

// The target window made ready for a grab (its placement kept, brought to the top, restored and shown
// as it was, maximised or not) when asked; put back to its kept placement by Restore or, at the latest,
// when this goes (also when an error ends the capture). Nothing for window 0 (the screen), nor for a
// target that is already gone (which has no placement).
class TTargetPreparation {
 public:
  TTargetPreparation(os::WindowHandle window, bool prepare);
  ~TTargetPreparation() { Restore(); }
  TTargetPreparation(const TTargetPreparation&) = delete;
  TTargetPreparation& operator=(const TTargetPreparation&) = delete;
  void Restore();

 private:
  os::WindowHandle window_;
  std::optional<os::WindowPlacement> placement_;
};

// The pixels of one capture while it is taken: grabbed from the display, cropped to the user's
// rectangle, then copied to the clipboard, the preview, the thumbnail and the file. Lives for one
// capture.
class TCapture {
 public:
  // The thumbnail's size and the system colours of its frame and its background.
  static constexpr int ThumbnailWidth = 100;
  static constexpr int ThumbnailHeight = 80;
  static constexpr TColor FrameColor = clBtnFace;
  static constexpr TColor FillColor = clWindow;

  // Takes the part of the display inside the rectangle (screen coordinates), cut to the virtual
  // screen: a window on any monitor, or across two, comes whole; false for an empty rectangle.
  bool GrabRect(const os::ScreenRect& rect);
  // Grabs the window as it shows (its frame as the system draws it, os::WindowFrameRect) or its client
  // area, or for window 0 the primary screen; then crops to the user rectangle when asked, measured
  // from the grabbed image's top-left corner. False when the window's rectangles cannot be read or the
  // first grab fails.
  bool GrabTarget(os::WindowHandle window, bool clientOnly, const os::ScreenRect& userRect, bool useUserRect);
  // Grabs the whole virtual screen (every monitor), then crops to the user rectangle when asked.
  bool GrabAllScreens(const os::ScreenRect& userRect, bool useUserRect);
  // Takes the picture of the desktop's screenshot service (os::DesktopScreenshot: the screen, or what the
  // user picks in the desktop's dialog), or the newest picture of a screen stream when one is given,
  // then crops to the user rectangle when asked. Raises the service's errors.
  void TakeDesktopScreenshot(bool interactive, const os::ScreenRect& userRect, bool useUserRect,
                             os::ScreenStream* stream = nullptr);
  // Takes the user rectangle of a picture of the virtual screen grabbed before (the frozen screen a
  // region was chosen on), measured from its top-left corner; false for an empty picture.
  bool TakeFromScreenPicture(const TBitmap& screen, const os::ScreenRect& userRect);
  // Empties the clipboard and puts the image on it as a bitmap (an empty image leaves it empty).
  void CopyToClipboard() const;
  // The bitmap receives the image's size and pixels.
  void CopyTo(TBitmap& bitmap) const;
  // The image becomes a copy of the bitmap.
  void ReplaceWith(const TBitmap& bitmap);
  // Draws the 100 x 80 thumbnail into the bitmap: a one-pixel frame, the background, and the image
  // shrunk to fit with its proportions kept (never enlarged), centred. False when there is no image.
  bool DrawThumbnail(TBitmap& target) const;

  const TBitmap& Image() const { return image_; }
  int Width() const { return width_; }
  int Height() const { return height_; }

 private:
  // The image becomes the part of it inside the user rectangle; what the rectangle reaches beyond the
  // image is black.
  void CropToUserRect(const os::ScreenRect& userRect);
  TBitmap image_;
  int width_ = 0, height_ = 0;
};

// Where the thumbnail draws an image of width x height: its size and top-left corner.
struct TThumbnailPlace {
  int x = 0, y = 0, width = 0, height = 0;
  bool operator==(const TThumbnailPlace&) const = default;
};
TThumbnailPlace ThumbnailPlace(int imageWidth, int imageHeight);

// base with the moment stamped in before its extension: stem + "yyyyddmm-hhnnss_zzz" + extension (the
// extension as FileExtension finds it; none for a base without one).
std::string StampedFileName(const std::string& base, const os::LocalTime& moment);
// The stamped name when nothing exists under it yet; otherwise the first of stem + stamp + "-2" +
// extension, "-3", ... under which nothing exists (file or folder), so that automatic capture never
// writes over an earlier file.
std::string UnusedStampedFileName(const std::string& base, const os::LocalTime& moment);
// Takes the stamped name at the moment of writing: creates it empty, only where nothing of that name
// exists, else the first free of stem + "-2" + extension, "-3", ... (as UnusedStampedFileName numbers),
// so that a file that appeared since the name was stamped (another Snapora writing on the same base
// name) is never overwritten. The name taken, and whether this call created it; the name unchanged and
// nothing created when the folder does not take the file (the writer then says why).
struct TClaimedName {
  std::string Name;
  bool Created = false;
};
TClaimedName ClaimStampedFileName(const std::string& stamped);
