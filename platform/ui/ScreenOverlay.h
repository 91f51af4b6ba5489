#pragma once
// A window over a part of the screen (for a region to capture: the whole virtual screen), above every
// other window, without frame or caption, that shows a picture the program draws: pixel for pixel at
// the monitors' own pixels, the picture's top-left pixel at the area's top-left corner. It shows the
// cross-hair pointer, reports the left mouse button and the keys in the picture's coordinates, and runs
// modal until it is closed.

#include <functional>

#include "imaging/Graphics.h"
#include "platform/ui/Controls.h"
#include "platform/ui/WindowSystem.h"

namespace ui {

class Application;

class ScreenOverlay : public Component {
 public:
  explicit ScreenOverlay(Application& app) : app_(app) {}
  ~ScreenOverlay() override;

  Application& App() const { return app_; }
  // The area covered, in screen coordinates (set by Run).
  const os::ScreenRect& Area() const { return area_; }
  // The picture shown, of the area's size. Draw into it, then Invalidate the part changed.
  TBitmap& Picture() { return picture_; }
  const TBitmap& Picture() const { return picture_; }
  // The part of the picture (its coordinates) changed and is painted again.
  void Invalidate(const os::ScreenRect& part);

  // Shows the overlay over the area with the picture (of the area's size), in front of every window,
  // with the keyboard and the mouse, and runs the messages until Close; hidden again when it returns.
  // An error of a handler goes to the error box, and the overlay runs on.
  void Run(const os::ScreenRect& area, TBitmap picture);
  // Ends Run (from a handler); nothing when it does not run.
  void Close();
  bool Running() const { return running_; }
  // Moves the mouse pointer onto the pixel of the picture.
  void MovePointer(int x, int y);

  // The left button went down, the pointer moved (with the button down or not), the button went up: at
  // the pixel of the picture under the pointer (outside the picture when the mouse is captured and
  // leaves the area).
  std::function<void(int x, int y)> OnMouseDown, OnMouseMove, OnMouseUp;
  // A key went down: its virtual-key code and whether Shift is held.
  std::function<void(int key, bool shift)> OnKeyDown;

  // Backend use: what the user did, in picture coordinates.
  void NativeMouseDown(int x, int y);
  void NativeMouseMove(int x, int y);
  void NativeMouseUp(int x, int y);
  void NativeKeyDown(int key, bool shift);

 private:
  Application& app_;
  os::ScreenRect area_;
  TBitmap picture_;
  bool running_ = false;
};

}  // namespace ui
