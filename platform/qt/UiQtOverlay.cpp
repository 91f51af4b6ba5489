// The screen overlay on the Qt desktop: a frameless window above every other one, exactly over the
// overlay's area, that the window manager leaves alone (it neither frames nor moves it), showing the
// overlay's picture pixel for pixel at the display's own pixels. It takes the keyboard and the mouse
// (X grabs: the pointer's moves of a drag come here wherever they go), shows the cross-hair pointer,
// passes the left button and the keys on in picture coordinates, and runs an event loop of its own
// until the overlay closes.

#include <QCursor>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPointer>
#include <QThread>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <algorithm>
#include <cmath>
#include <memory>

#include "platform/qt/UiQt.h"
#include "platform/ui/ScreenOverlay.h"
#include "platform/ui/UiNative.h"

namespace ui {
namespace qt {

namespace {

// The overlay's window. Picture pixels are device pixels: the window's logical coordinates are them
// divided by its device-pixel ratio.
class OverlayWidget : public QWidget {
 public:
  explicit OverlayWidget(ScreenOverlay& overlay)
      : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                             Qt::X11BypassWindowManagerHint),
        overlay_(overlay) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setCursor(Qt::CrossCursor);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
  }

  // Over the area: its device pixels in the logical coordinates of the screen at its top-left corner.
  void Place() {
    const os::ScreenRect& area = overlay_.Area();
    const QScreen* screen = QGuiApplication::screenAt(QPoint(area.left, area.top));
    const qreal ratio = screen != nullptr ? screen->devicePixelRatio() : 1.0;
    setGeometry(QRect(static_cast<int>(std::floor(area.left / ratio)),
                      static_cast<int>(std::floor(area.top / ratio)),
                      static_cast<int>(std::ceil(area.Width() / ratio)),
                      static_cast<int>(std::ceil(area.Height() / ratio))));
  }

  // The part of the picture (picture pixels) changed: copied into the image shown, and painted again.
  void Repaint(const os::ScreenRect& part) {
    if (Refresh(part)) {
      const qreal ratio = devicePixelRatioF();
      const int left = static_cast<int>(std::floor(part.left / ratio));
      const int top = static_cast<int>(std::floor(part.top / ratio));
      update(QRect(left, top, static_cast<int>(std::ceil(part.right / ratio)) - left,
                   static_cast<int>(std::ceil(part.bottom / ratio)) - top));
    } else {
      update();
    }
  }

  // Copies the part of the picture into the image shown (only that part: a drag changes little of a
  // picture of the whole screen at each move); all of it when the picture's size changed, which answers
  // false.
  bool Refresh(os::ScreenRect part) {
    const TBitmap& picture = overlay_.Picture();
    bool whole = false;
    if (image_.width() != picture.Width() || image_.height() != picture.Height()) {
      image_ = picture.Empty() ? QImage() : QImage(picture.Width(), picture.Height(), QImage::Format_RGB32);
      part = {0, 0, picture.Width(), picture.Height()};
      whole = true;
    }
    const int left = std::max(part.left, 0), right = std::min(part.right, picture.Width());
    for (int y = std::max(part.top, 0); y < std::min(part.bottom, picture.Height()); ++y) {
      const TBitmap::Pixel32* source = picture.ScanLine(y);
      auto* target = reinterpret_cast<QRgb*>(image_.scanLine(y));
      // (The picture's words are 0x00RRGGBB: the image's, opaque.)
      for (int x = left; x < right; ++x) target[x] = 0xFF000000u | source[x];
    }
    return !whole;
  }

 protected:
  void paintEvent(QPaintEvent* event) override {
    Guard(overlay_.App(), [&] {
      QPainter painter(this);
      // Black where the picture does not reach; the picture at its own pixels over it.
      painter.fillRect(event->rect(), Qt::black);
      image_.setDevicePixelRatio(devicePixelRatioF());
      painter.setClipRect(event->rect());
      painter.drawImage(QPointF(0, 0), image_);
    });
  }

  void mousePressEvent(QMouseEvent* event) override {
    if (event->button() != Qt::LeftButton) return;
    const QPoint at = PicturePoint(*event);
    Guard(overlay_.App(), [&] { overlay_.NativeMouseDown(at.x(), at.y()); });
  }
  void mouseMoveEvent(QMouseEvent* event) override {
    const QPoint at = PicturePoint(*event);
    Guard(overlay_.App(), [&] { overlay_.NativeMouseMove(at.x(), at.y()); });
  }
  void mouseReleaseEvent(QMouseEvent* event) override {
    if (event->button() != Qt::LeftButton) return;
    const QPoint at = PicturePoint(*event);
    Guard(overlay_.App(), [&] { overlay_.NativeMouseUp(at.x(), at.y()); });
  }
  void keyPressEvent(QKeyEvent* event) override {
    const int key = VirtualKeyOf(*event);
    const bool shift = event->modifiers().testFlag(Qt::ShiftModifier);
    if (key != 0) Guard(overlay_.App(), [&] { overlay_.NativeKeyDown(key, shift); });
  }
  // The program ends the overlay (ScreenOverlay::Close), not the window manager's close request.
  void closeEvent(QCloseEvent* event) override { event->ignore(); }
  // Tab and Backtab are keys like the others here, not a move of the focus.
  bool focusNextPrevChild(bool) override { return false; }

 private:
  // The picture pixel under the pointer (outside the picture, even negative, when the grabbed pointer
  // leaves the window).
  QPoint PicturePoint(const QMouseEvent& event) const {
    const qreal ratio = devicePixelRatioF();
    return {static_cast<int>(std::floor(event.position().x() * ratio)),
            static_cast<int>(std::floor(event.position().y() * ratio))};
  }

  ScreenOverlay& overlay_;
  QImage image_;  // the picture as shown
};

// The overlay's window and loop while it runs; the window goes with this object.
class OverlayNative : public NativeData {
 public:
  explicit OverlayNative(ScreenOverlay& overlay) : widget_(new OverlayWidget(overlay)) {}
  ~OverlayNative() override {
    if (widget_ != nullptr) {
      widget_->releaseKeyboard();
      widget_->releaseMouse();
      DisposeWidget(widget_.data());
    }
  }
  OverlayNative(const OverlayNative&) = delete;
  OverlayNative& operator=(const OverlayNative&) = delete;

  void* WindowHandle() const override { return widget_.data(); }
  OverlayWidget* Widget() const { return widget_.data(); }
  QEventLoop& Loop() { return loop_; }
  bool Closed() const { return closed_; }
  void Close() {
    closed_ = true;
    loop_.quit();
  }

 private:
  QPointer<OverlayWidget> widget_;
  QEventLoop loop_;
  bool closed_ = false;
};

OverlayNative* NativeOf(const ScreenOverlay& overlay) {
  return dynamic_cast<OverlayNative*>(overlay.Native());
}

// Waits (handling events) until the condition holds, at most the milliseconds given.
template <typename Condition>
bool WaitFor(int milliseconds, Condition condition) {
  QElapsedTimer clock;
  clock.start();
  while (!condition()) {
    if (clock.elapsed() > milliseconds) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QThread::msleep(2);
  }
  return true;
}

}  // namespace
}  // namespace qt

namespace native {

using namespace qt;

void RunOverlay(ScreenOverlay& overlay) {
  EnsureApplication();
  // The overlay holds its window while it runs; the window goes when this returns, however it returns.
  struct Holder {
    ScreenOverlay& overlay;
    ~Holder() { overlay.SetNative(nullptr); }
  } holder{overlay};
  auto owned = std::make_unique<OverlayNative>(overlay);
  OverlayNative& native = *owned;
  overlay.SetNative(std::move(owned));
  OverlayWidget* widget = native.Widget();
  widget->Place();
  widget->Refresh({});
  widget->show();
  widget->raise();
  widget->activateWindow();
  // The grabs need a window on the screen; another program may hold the keyboard for a moment.
  WaitFor(2000, [&] {
    return native.Closed() || (widget->windowHandle() != nullptr && widget->windowHandle()->isExposed());
  });
  if (QWindow* window = widget->windowHandle()) {
    WaitFor(1000, [&] { return native.Closed() || window->setKeyboardGrabEnabled(true); });
    WaitFor(1000, [&] { return native.Closed() || window->setMouseGrabEnabled(true); });
  }
  widget->grabKeyboard();
  widget->grabMouse(Qt::CrossCursor);
  widget->setFocus(Qt::ActiveWindowFocusReason);

  // The loop ends when the overlay closes; it also looks now and then whether the program is to end,
  // which the program's own loops learn through Terminate.
  Application& app = overlay.App();
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    if (app.Terminated()) native.Loop().quit();
  });
  watch.start(100);
  while (!native.Closed() && !app.Terminated()) native.Loop().exec();
}

void OverlayInvalidated(ScreenOverlay& overlay, const os::ScreenRect& part) {
  if (OverlayNative* native = NativeOf(overlay); native != nullptr && native->Widget() != nullptr) {
    native->Widget()->Repaint(part);
  }
}

void OverlayClosed(ScreenOverlay& overlay) {
  if (OverlayNative* native = NativeOf(overlay)) native->Close();
}

void OverlayMovePointer(ScreenOverlay& overlay, int x, int y) {
  // QCursor::setPos takes the screen's logical coordinates; the picture's pixels are the device's.
  const os::ScreenRect& area = overlay.Area();
  const QPoint device(area.left + x, area.top + y);
  QScreen* screen = QGuiApplication::screenAt(device);
  if (screen == nullptr) screen = QGuiApplication::primaryScreen();
  const qreal ratio = screen != nullptr ? screen->devicePixelRatio() : 1.0;
  QCursor::setPos(screen, QPoint(static_cast<int>(std::lround(device.x() / ratio)),
                                 static_cast<int>(std::lround(device.y() / ratio))));
}

}  // namespace native
}  // namespace ui
