// The portable half of the screen overlay: its state, and the user's actions passed to the handlers.

#include "platform/ui/ScreenOverlay.h"

#include <exception>
#include <utility>

#include "platform/ui/Forms.h"
#include "platform/ui/UiNative.h"

namespace ui {

namespace {

// Runs a handler; an error goes to the error box, as errors of every other handler do.
template <typename Handler, typename... Args>
void RunHandler(Application& app, const Handler& handler, Args... args) {
  if (!handler) return;
  try {
    handler(args...);
  } catch (const std::exception& error) {
    app.HandleException(error);
  }
}

}  // namespace

ScreenOverlay::~ScreenOverlay() = default;

void ScreenOverlay::Invalidate(const os::ScreenRect& part) {
  if (running_ && !part.Empty()) native::OverlayInvalidated(*this, part);
}

void ScreenOverlay::Run(const os::ScreenRect& area, TBitmap picture) {
  if (running_) return;
  area_ = area;
  picture_ = std::move(picture);
  running_ = true;
  struct Ending {
    bool& running;
    ~Ending() { running = false; }
  } ending{running_};
  native::RunOverlay(*this);
}

void ScreenOverlay::Close() {
  if (!running_) return;
  running_ = false;
  native::OverlayClosed(*this);
}

void ScreenOverlay::MovePointer(int x, int y) {
  if (running_) native::OverlayMovePointer(*this, x, y);
}

void ScreenOverlay::NativeMouseDown(int x, int y) { RunHandler(app_, OnMouseDown, x, y); }
void ScreenOverlay::NativeMouseMove(int x, int y) { RunHandler(app_, OnMouseMove, x, y); }
void ScreenOverlay::NativeMouseUp(int x, int y) { RunHandler(app_, OnMouseUp, x, y); }
void ScreenOverlay::NativeKeyDown(int key, bool shift) { RunHandler(app_, OnKeyDown, key, shift); }

}  // namespace ui
