// The portable half of forms and the application.

#include "platform/ui/Forms.h"

#include <algorithm>
#include <functional>
#include <stdexcept>

#include "platform/ui/Shared.h"
#include "platform/ui/UiNative.h"

namespace ui {

using namespace detail;

// ---- Form -------------------------------------------------------------------------------------------

Form::Form(Application& app, const FormProps& props) : app_(app) {
  minWidth_ = props.minWidth;
  minHeight_ = props.minHeight;
  borderStyle_ = props.borderStyle;
  captionButtons_ = props.captionButtons;
  minimizeButton_ = props.minimizeButton;
  maximizeButton_ = props.maximizeButton;
  autoScroll_ = props.autoScroll;
  position_ = props.position;
  SetFontDirect(props.font);
  SetColorDirect(props.color);
  SetVisibleDirect(false);
  app_.RegisterForm(*this);
  Attach(nullptr, props.bounds, Align::None, props.caption, -1);
  designClientWidth_ = props.clientWidth;
  designClientHeight_ = props.clientHeight;
  if (props.clientWidth >= 0 || props.clientHeight >= 0) {
    SetClientSize(props.clientWidth >= 0 ? props.clientWidth : ClientWidth(),
                  props.clientHeight >= 0 ? props.clientHeight : ClientHeight());
  }
}

Form::~Form() { app_.UnregisterForm(*this); }

int Form::ClientWidth() const {
  int extraWidth = 0, extraHeight = 0;
  native::NonClientSize(*this, extraWidth, extraHeight);
  return std::max(Width() - extraWidth, 0);
}

int Form::ClientHeight() const {
  int extraWidth = 0, extraHeight = 0;
  native::NonClientSize(*this, extraWidth, extraHeight);
  return std::max(Height() - extraHeight, 0);
}

void Form::SetClientSize(int width, int height) {
  int extraWidth = 0, extraHeight = 0;
  native::NonClientSize(*this, extraWidth, extraHeight);
  SetBounds({Left(), Top(), width + extraWidth, height + extraHeight});
}

void Form::SetWindowState(WindowState state) {
  if (state == windowState_) return;
  TakeWindowState(state);
  native::Changed(*this, native::Change::State);
}

void Form::TakeWindowState(WindowState state) {
  if (state == windowState_) return;
  if (state == WindowState::Minimized) {
    restoreState_ = windowState_;
    restoreBounds_ = Bounds();
  }
  windowState_ = state;
}

WindowState Form::RestoreState() const {
  return windowState_ == WindowState::Minimized ? restoreState_ : windowState_;
}

Rect Form::RestoreBounds() const {
  return windowState_ == WindowState::Minimized ? restoreBounds_ : Bounds();
}

void Form::SetDoubleBuffered(bool on) {
  doubleBuffered_ = on;
  native::Changed(*this, native::Change::DoubleBuffer);
}

void Form::ScaleForScreen() {
  if (scaled_) return;
  scaled_ = true;
  // The client size as designed: given at creation, or the designed outer size less the standard
  // frame it was designed with. The layout belongs to the client area, so the client area is what
  // keeps its designed size (scaled to the screen); a frame of another size (another theme, another
  // resolution, where it does not grow in proportion) changes only the outer size.
  int frameWidth = 0, frameHeight = 0;
  StandardFrameSize(GetBorderStyle(), menu_ != nullptr, frameWidth, frameHeight);
  const int clientWidth = designClientWidth_ >= 0 ? designClientWidth_ : Width() - frameWidth;
  const int clientHeight = designClientHeight_ >= 0 ? designClientHeight_ : Height() - frameHeight;
  const int designed = pixelsPerInch_;
  const int screen = app_.ScreenPixelsPerInch();
  if (screen != designed) {
    pixelsPerInch_ = screen;
    minWidth_ = MulDiv(minWidth_, screen, designed);
    minHeight_ = MulDiv(minHeight_, screen, designed);
    ScaleBy(screen, designed);
    RealiseFonts();
  }
  SetClientSize(MulDiv(clientWidth, screen, designed), MulDiv(clientHeight, screen, designed));
  Realign();
}

void Form::RealiseFonts() {
  const std::function<void(Control&)> notify = [&notify](Control& control) {
    control.NotifyFont();
    for (Control* child : control.Children()) notify(*child);
  };
  notify(*this);
}

void Form::NativeDpiChanged(int pixelsPerInch, std::optional<Rect> suggested) {
  constexpr int kDesigned = 96;
  const int old = pixelsPerInch_;
  if (pixelsPerInch > 0 && pixelsPerInch != old) {
    pixelsPerInch_ = pixelsPerInch;
    // Back to the design at 96 pixels per inch, then on to the new resolution: a distance scaled from
    // its design at creation (rounded to the nearest pixel) comes back exactly, so the layout is the
    // one of a form made at the new resolution however often the window changes monitors. (Scaled
    // straight from one resolution to the other, 144 to 120 say, the roundings would add up.)
    const auto rescale = [&](int n) { return MulDiv(MulDiv(n, kDesigned, old), pixelsPerInch, kDesigned); };
    minWidth_ = rescale(minWidth_);
    minHeight_ = rescale(minHeight_);
    if (old != kDesigned) ScaleBy(kDesigned, old);
    if (pixelsPerInch != kDesigned) ScaleBy(pixelsPerInch, kDesigned);
    RealiseFonts();
  }
  if (suggested) SetBounds(*suggested);
  NativeClientResized();
}

void Form::Show() {
  if (!Showing()) {
    showing_ = true;
    SetVisibleDirect(true);
    if (OnShow) OnShow();
  }
  native::ShowForm(*this);
}

void Form::Hide() {
  if (!showing_) return;
  showing_ = false;
  SetVisibleDirect(false);
  native::HideForm(*this);
}

void Form::ShowModal() {
  Show();
  native::RunModal(*this);
}

void Form::Close() {
  if (OnClose) OnClose();
  Hide();
  if (app_.MainForm() == this) app_.Terminate();
}

void Form::NativeClientResized() {
  Realign();
  if (OnResize) OnResize();
}

os::WindowHandle Form::Handle() const { return native::FormHandle(*this); }

Control* Form::FocusedControl() const { return native::FocusedControl(*this); }

void Form::UpdateScrollBars() {
  if (!autoScroll_ || updatingScroll_) return;
  // Showing a bar resizes the client area, which realigns and comes back here: that round is skipped.
  const FlagScope updating(updatingScroll_);
  int barWidth = 0, barHeight = 0;
  native::ScrollBarSize(*this, barWidth, barHeight);
  // The client area as it is without the bars that show now.
  const int fullWidth = ClientWidth() + (vertRange_ > 0 ? barWidth : 0);
  const int fullHeight = ClientHeight() + (horzRange_ > 0 ? barHeight : 0);
  int contentWidth = 0, contentHeight = 0;
  for (const Control* child : Children()) {
    if (!child->Visible()) continue;
    contentWidth = std::max(contentWidth, child->Left() + child->Width());
    contentHeight = std::max(contentHeight, child->Top() + child->Height());
  }
  bool horz = contentWidth > fullWidth, vert = contentHeight > fullHeight;
  // One bar takes room from the other direction, which may then need its bar too.
  if (horz && !vert) vert = contentHeight > fullHeight - barHeight;
  if (vert && !horz) horz = contentWidth > fullWidth - barWidth;
  const int visibleWidth = fullWidth - (vert ? barWidth : 0);
  const int visibleHeight = fullHeight - (horz ? barHeight : 0);
  const int horzRange = horz ? contentWidth : 0, vertRange = vert ? contentHeight : 0;
  const int horzPos = horz ? std::clamp(horzPos_, 0, std::max(contentWidth - visibleWidth, 0)) : 0;
  const int vertPos = vert ? std::clamp(vertPos_, 0, std::max(contentHeight - visibleHeight, 0)) : 0;
  // (The visible part is a bar's page: a new client size with the same ranges is a change too.)
  const bool pageChanged =
      (horz && visibleWidth != scrollPageWidth_) || (vert && visibleHeight != scrollPageHeight_);
  if (horzRange == horzRange_ && vertRange == vertRange_ && horzPos == horzPos_ && vertPos == vertPos_ &&
      !pageChanged) {
    return;
  }
  horzRange_ = horzRange;
  vertRange_ = vertRange;
  horzPos_ = horzPos;
  vertPos_ = vertPos;
  scrollPageWidth_ = visibleWidth;
  scrollPageHeight_ = visibleHeight;
  native::ScrollChanged(*this);
}

void Form::ScrollTo(int horzPos, int vertPos) {
  if (!autoScroll_) return;
  horzPos = horzRange_ > 0 ? std::clamp(horzPos, 0, std::max(horzRange_ - ClientWidth(), 0)) : 0;
  vertPos = vertRange_ > 0 ? std::clamp(vertPos, 0, std::max(vertRange_ - ClientHeight(), 0)) : 0;
  if (horzPos == horzPos_ && vertPos == vertPos_) return;
  horzPos_ = horzPos;
  vertPos_ = vertPos;
  native::ScrollChanged(*this);
}

bool Form::ExecuteShortCut(ShortCut shortCut) {
  if (!shortCut) return false;
  for (Action* action : actions_) {
    if (action->GetShortCut() == shortCut) {
      action->Execute();
      return true;
    }
  }
  return false;
}

// ---- Application ------------------------------------------------------------------------------------

Application::Application() = default;
Application::~Application() = default;

void Application::SetTitle(const std::string& title) {
  title_ = title;
  native::SetApplicationTitle(*this, title);
}

void Application::RegisterForm(Form& form) {
  if (mainForm_ == nullptr) {
    // A new main form: the program that a closed one had ended starts again.
    mainForm_ = &form;
    terminated_ = false;
  }
  forms_.push_back(&form);
}

void Application::UnregisterForm(Form& form) {
  std::erase(forms_, &form);
  if (mainForm_ == &form) mainForm_ = nullptr;
}

void Application::Run() {
  if (mainForm_ == nullptr) return;
  terminated_ = false;
  mainForm_->Show();
  native::RunMessageLoop(*this);
}

void Application::ProcessMessages() { native::ProcessMessages(*this); }

os::WindowHandle Application::Handle() const { return native::ApplicationHandle(*this); }

void Application::Terminate() {
  terminated_ = true;
  native::Terminate(*this);
}

std::string Application::ErrorBoxText(const std::string& message) {
  if (!message.empty() && static_cast<unsigned char>(message.back()) > static_cast<unsigned char>('.')) {
    return message + ".";
  }
  return message;
}

void Application::ShowError(const std::string& message) {
  {
    // Counted as open until the box returns, also when it ends by an error.
    struct OpenBox {
      int& open;
      explicit OpenBox(int& count) : open(count) { ++open; }
      ~OpenBox() { --open; }
    } openBox(boxesOpen_);
    native::ShowErrorBox(title_, ErrorBoxText(message));
  }
  if (boxesOpen_ == 0 && OnBoxesClosed) OnBoxesClosed();
}

void Application::HandleException(const std::exception& error) {
  ShowError(errorText_ ? errorText_(error) : std::string(error.what()));
}

void StandardFrameSize(BorderStyle borderStyle, bool hasMenu, int& extraWidth, int& extraHeight) {
  if (borderStyle == BorderStyle::Dialog) {
    extraWidth = 6;
    extraHeight = 29;
  } else {
    extraWidth = 16;
    extraHeight = 39;
  }
  if (hasMenu) extraHeight += 20;
}

int Application::ScreenPixelsPerInch() const { return native::ScreenPixelsPerInch(); }

int ScreenWidth() { return native::ScreenWidth(); }
int ScreenHeight() { return native::ScreenHeight(); }

TBitmap ProgramIconPicture(int width, int height, TColor background) {
  return native::ProgramIconPicture(width, height, background);
}

int RunProgram(Application& app, const std::string& title, const std::function<void()>& body) {
  try {
    app.SetTitle(title);
    body();
  } catch (const std::exception& error) {
    app.HandleException(error);
  } catch (...) {
    app.HandleException(std::runtime_error("Unexpected error"));
  }
  return 0;
}

}  // namespace ui
