// The application side of the Qt backend: the message loops (the program's and those of modal forms),
// the message timers, the error box, the screen and the program's icon.

#include <QApplication>
#include <QEventLoop>
#include <QIcon>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <algorithm>
#include <memory>
#include <vector>

#include "platform/qt/UiQt.h"

namespace ui {
namespace qt {

namespace {

// A message loop that runs now: the program's (no form), or a modal form's.
struct RunningLoop {
  QEventLoop* loop = nullptr;
  const Form* form = nullptr;
};

std::vector<RunningLoop>& Loops() {
  static std::vector<RunningLoop> loops;
  return loops;
}

// Runs a loop until its condition no longer holds; Terminate and the modal form's hiding wake it to look.
template <typename Condition>
void RunLoop(const Form* form, Condition condition) {
  QEventLoop loop;
  Loops().push_back({&loop, form});
  struct Pop {
    QEventLoop* loop;
    ~Pop() {
      auto& loops = Loops();
      loops.erase(std::remove_if(loops.begin(), loops.end(),
                                 [this](const RunningLoop& running) { return running.loop == loop; }),
                  loops.end());
    }
  } pop{&loop};
  while (condition()) loop.exec();
}

// A window is modal only from its show on: a showing form that becomes modal (or stops being so) shows
// again.
void SetModal(QWidget& window, bool modal) {
  const Qt::WindowModality modality = modal ? Qt::ApplicationModal : Qt::NonModal;
  if (window.windowModality() == modality) return;
  const bool visible = window.isVisible();
  if (visible) window.hide();
  window.setWindowModality(modality);
  if (visible) {
    window.show();
    window.raise();
    window.activateWindow();
  }
}

// ---- Timers -----------------------------------------------------------------------------------------

// A running QTimer; stopped when the timer goes.
class TimerNative : public NativeData {
 public:
  explicit TimerNative(Timer& timer) : timer_(timer), qtimer_(new QTimer) {
    QObject::connect(qtimer_, &QTimer::timeout, qtimer_,
                     [this] { Guard(timer_.Owner()->App(), [this] { timer_.NativeFire(); }); });
  }

  ~TimerNative() override {
    qtimer_->stop();
    QObject::disconnect(qtimer_, nullptr, nullptr, nullptr);
    // Going from its own handler, the QTimer is still sending its timeout.
    if (detail::HandlersRunning() > 0) {
      qtimer_->deleteLater();
    } else {
      delete qtimer_;
    }
  }

  TimerNative(const TimerNative&) = delete;
  TimerNative& operator=(const TimerNative&) = delete;

  void Arm() {
    qtimer_->stop();
    if (timer_.Enabled() && timer_.Interval() > 0) qtimer_->start(timer_.Interval());
  }

 private:
  Timer& timer_;
  QTimer* qtimer_;
};

}  // namespace

void WakeModalLoops(const Form& form) {
  for (const RunningLoop& running : Loops()) {
    if (running.form == &form) running.loop->quit();
  }
}

void CreateTimerNative(Timer& timer) {
  EnsureApplication();
  auto native = std::make_unique<TimerNative>(timer);
  native->Arm();
  timer.SetNative(std::move(native));
}

void UpdateTimer(Timer& timer) {
  if (auto* native = dynamic_cast<TimerNative*>(timer.Native())) native->Arm();
}

}  // namespace qt

namespace native {

using namespace qt;

void RunMessageLoop(Application& app) {
  EnsureApplication();
  RunLoop(nullptr, [&app] { return !app.Terminated(); });
}

void ProcessMessages(Application&) {
  EnsureApplication();
  QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void Terminate(Application&) {
  // Wakes every loop; each of them ends as it sees the application terminated.
  for (const RunningLoop& running : Loops()) running.loop->quit();
}

void RunModal(Form& form) {
  Application& app = form.App();
  if (!form.Showing() || app.Terminated()) return;
  const QPointer<QWidget> window =
      form.Native() != nullptr ? static_cast<QWidget*>(form.Native()->WindowHandle()) : nullptr;
  // The other windows take no input while the form runs.
  if (window) SetModal(*window, true);
  RunLoop(&form, [&] { return form.Showing() && !app.Terminated(); });
  if (window) SetModal(*window, false);
}

void ShowErrorBox(const std::string& caption, const std::string& text) {
  EnsureApplication();
  // Over the active window; a handler that runs meanwhile (a timer's) may take that window away, and the
  // box with it.
  const QPointer<QMessageBox> box =
      new QMessageBox(QMessageBox::Critical, ToQString(caption), ToQString(text), QMessageBox::Ok,
                      QApplication::activeWindow());
  box->setTextFormat(Qt::PlainText);
  box->setWindowModality(Qt::ApplicationModal);
  box->exec();
  delete box.data();
}

void SetApplicationTitle(Application&, const std::string&) {
  // Qt has no window of the application to carry the title: the task bar shows the main form's caption.
  // (Qt's application display name would be appended to every window's title.) The error boxes take
  // the title from the application itself.
}

os::WindowHandle ApplicationHandle(const Application&) {
  // No hidden application window here: the forms are the program's windows.
  return 0;
}

int ScreenPixelsPerInch() {
  // Qt scales the widgets and the fonts to the display itself (see UiQt.h).
  return 96;
}

int ScreenWidth() {
  EnsureApplication();
  const QScreen* screen = QGuiApplication::primaryScreen();
  return screen != nullptr ? screen->geometry().width() : 0;
}

int ScreenHeight() {
  EnsureApplication();
  const QScreen* screen = QGuiApplication::primaryScreen();
  return screen != nullptr ? screen->geometry().height() : 0;
}

TBitmap ProgramIconPicture(int width, int height, TColor background) {
  if (width <= 0 || height <= 0) return {};
  EnsureApplication();
  // The application's icon: one the program set, else the icon theme's of the program's name (as
  // EnsureApplication looked it up).
  const QIcon icon = QApplication::windowIcon();
  if (icon.isNull()) return {};
  const QPixmap pixmap = icon.pixmap(QSize(width, height), 1.0);
  if (pixmap.isNull()) return {};
  QImage picture(width, height, QImage::Format_RGB32);
  picture.fill(ToQColor(background));
  {
    // Centred, no larger than asked for (an icon without that size is scaled to it).
    const QSize size = pixmap.size().scaled(QSize(width, height), Qt::KeepAspectRatio);
    const QRect target((width - size.width()) / 2, (height - size.height()) / 2, size.width(), size.height());
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(target, pixmap);
  }
  return FromQImage(picture);
}

}  // namespace native
}  // namespace ui
