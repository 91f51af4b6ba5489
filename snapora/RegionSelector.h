#pragma once
// Choosing a region of the screen on a frozen picture of it: the picture shown full-screen on a screen
// overlay, dimmed outside the selection, with a cross-hair through the pointer and a magnifier beside it
// that tells the pointer's screen coordinates, the colour under it and the selection's size and place. The
// user drags a rectangle, clicks a window, or works with the keyboard alone.

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "imaging/Graphics.h"
#include "platform/text/Text.h"
#include "platform/ui/ScreenOverlay.h"
#include "platform/ui/WindowSystem.h"

namespace ui {
class Application;
}

// Shows the frozen picture of the area (screen coordinates; the picture has the area's size) on a
// screen overlay and lets the user choose a region of it. Returns the region in screen coordinates,
// or nothing when the user cancelled with Escape. last, when it lies wholly inside the area, starts
// selected; the windows in excluded are never taken by a click. An empty area returns nothing at once;
// an error before the overlay shows goes to the error box and returns nothing.
std::optional<os::ScreenRect> SelectRegion(ui::Application& app, const os::ScreenRect& area,
                                           const TBitmap& frozen, const std::optional<os::ScreenRect>& last,
                                           const std::vector<os::WindowHandle>& excluded);

// The selection on one overlay, from its start to the region taken. What SelectRegion runs; a test
// builds one on an overlay of its own to watch the pointer, the selection and the label while it acts.
class TRegionSelector {
 public:
  // The virtual-key codes read besides Return and Escape (ui::key).
  static constexpr int KeySpace = 0x20;
  static constexpr int KeyLeft = 0x25, KeyUp = 0x26, KeyRight = 0x27, KeyDown = 0x28;
  // The magnifier shows a square of MagnifiedPixels x MagnifiedPixels pixels of the picture around the
  // pointer, each as Zoom x Zoom pixels, in a one-pixel frame.
  static constexpr int MagnifiedPixels = 15;
  static constexpr int Zoom = 8;
  // A press and release no farther apart than this (either direction) is a click, not a drag.
  static constexpr int ClickTolerance = 2;

  // Takes a snapshot of the windows a click can take (those of the z-order now, as the frozen picture
  // shows them). The frozen picture must outlive the selector; one of another size than the area is
  // read where the two overlap, black elsewhere.
  TRegionSelector(ui::ScreenOverlay& overlay, const os::ScreenRect& area, const TBitmap& frozen,
                  const std::optional<os::ScreenRect>& last, const std::vector<os::WindowHandle>& excluded);
  ~TRegionSelector();
  TRegionSelector(const TRegionSelector&) = delete;
  TRegionSelector& operator=(const TRegionSelector&) = delete;

  // Runs the overlay over the area until a region is taken (returned, screen coordinates) or the user
  // cancels (nothing). Nothing at once for an empty area.
  std::optional<os::ScreenRect> Run();

  // The pointer as the selector knows it, in picture coordinates. It starts at the centre of the last
  // region when that is offered, else at the centre of the area: the overlay cannot ask where the
  // mouse is before the mouse moves, and the first move over the overlay brings it where the mouse is.
  std::pair<int, int> Pointer() const { return {pointer_.x, pointer_.y}; }
  // The selection shown, in screen coordinates; nothing while there is none.
  std::optional<os::ScreenRect> Selection() const;
  // The lines of the label under the magnifier: the pointer's screen coordinates "x, y", the frozen
  // picture's colour there as "#RRGGBB", and while a selection exists its size as "W x H" and its
  // top-left corner in screen coordinates as "at x, y".
  std::vector<std::string> LabelLines() const;
  // Where the magnifier and its label stand, in picture coordinates.
  os::ScreenRect PanelRect() const { return panelRect_; }

 private:
  struct Point {
    int x = 0, y = 0;
    bool operator==(const Point&) const = default;
  };

  void MouseDown(int x, int y);
  void MouseMove(int x, int y);
  void MouseUp(int x, int y);
  void KeyPressed(int key, bool shift);

  // A press becomes a drag once the mouse is farther than ClickTolerance from where it went down.
  void NoteDrag(int x, int y);
  // The pointer moves to the pixel (clamped to the picture): a drag that has begun, or a fixed corner,
  // spans the selection to it. Everything that changed is drawn again.
  void PointerTo(Point point);
  // Draws again what differs between the state before (selection, pointer, panel) and now.
  void Refresh(const std::optional<os::ScreenRect>& selectionBefore, Point pointerBefore,
               const os::ScreenRect& panelBefore);
  // The region (screen coordinates) becomes the result and the overlay closes.
  void Take(const os::ScreenRect& region);
  // The window under the pointer, cut to the area, taken; false when no window holds that pixel.
  bool TakeWindowUnderPointer();

  Point Clamped(int x, int y) const;
  os::ScreenRect PanelPlace() const;
  // The magnifier and its label for the current pointer and selection, into panel_.
  void DrawPanel();
  // The part (picture coordinates) of the shown picture drawn anew from the state.
  void DrawPart(TBitmap& target, const os::ScreenRect& part) const;

  ui::ScreenOverlay& overlay_;
  os::ScreenRect area_;
  const TBitmap* frozen_;
  TBitmap fitted_;  // the frozen picture brought to the area's size, where it differs
  std::vector<os::ScreenRect> windowFrames_;  // front to back, screen coordinates
  std::unique_ptr<ui::TextRenderer> text_;    // none when no font could be realised
  int lineHeight_ = 13;

  Point pointer_;
  std::optional<os::ScreenRect> selection_;  // picture coordinates
  std::optional<Point> corner_;              // fixed with Space
  std::optional<Point> press_;               // where the left button went down
  bool dragging_ = false;                    // the pointer went beyond ClickTolerance from press_
  TBitmap panel_;
  os::ScreenRect panelRect_;
  std::optional<os::ScreenRect> result_;
};
