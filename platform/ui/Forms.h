#pragma once
// Forms (the windows themselves) and the application with its message loop and error box, of the window
// classes (platform/ui/Controls.h).

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/ui/Controls.h"
#include "platform/ui/Dialogs.h"
#include "platform/ui/ListView.h"
#include "platform/ui/Menus.h"

namespace ui {
// ---- Forms and the application ----------------------------------------------------------------------

enum class BorderStyle { Sizeable, Dialog };
enum class FormPosition { Designed, MainFormCenter, ScreenCenter };

struct FormProps {
  std::string caption;
  Rect bounds;  // outer bounds; with clientWidth/clientHeight only left and top count
  int clientWidth = -1, clientHeight = -1;
  int minWidth = 0, minHeight = 0;  // outer size constraints
  BorderStyle borderStyle = BorderStyle::Sizeable;
  // The buttons of the caption bar: captionButtons gives the system menu and, with a sizeable border,
  // the minimise and maximise buttons that minimizeButton and maximizeButton leave switched on (a dialog
  // border has the system menu only). Without captionButtons the caption bar has none of them.
  bool captionButtons = true;
  bool minimizeButton = true;
  bool maximizeButton = true;
  FormPosition position = FormPosition::Designed;
  Font font;
  TColor color = clBtnFace;
  bool showIcon = true;  // the program's icon in the caption bar
  // Scroll bars appear when the form's children reach beyond its client area, and scroll them.
  bool autoScroll = false;
};

enum class WindowState { Normal, Minimized, Maximized };

class Form : public Control {
 public:
  // Creates the window hidden, with its designed properties; controls follow in the subclass.
  Form(Application& app, const FormProps& props);
  ~Form() override;

  Application& App() const { return app_; }
  int ClientWidth() const override;
  int ClientHeight() const override;
  void SetClientSize(int width, int height);
  int MinWidth() const { return minWidth_; }
  int MinHeight() const { return minHeight_; }
  BorderStyle GetBorderStyle() const { return borderStyle_; }
  bool CaptionButtons() const { return captionButtons_; }
  // The minimise and maximise buttons the caption bar shows (see FormProps).
  bool MinimizeButton() const {
    return captionButtons_ && minimizeButton_ && borderStyle_ == BorderStyle::Sizeable;
  }
  bool MaximizeButton() const {
    return captionButtons_ && maximizeButton_ && borderStyle_ == BorderStyle::Sizeable;
  }
  FormPosition Position() const { return position_; }
  WindowState GetWindowState() const { return windowState_; }
  void SetWindowState(WindowState state);
  // Where a minimised window returns to when it is restored: the state it had before it was minimised
  // (normal or maximised) and, for the normal state, the bounds it had then (the system parks a
  // minimised window's bounds out of sight). For a window that is not minimised: its state and bounds.
  WindowState RestoreState() const;
  Rect RestoreBounds() const;
  // The form's pixels per inch: the screen's, once the form scaled itself at creation; its monitor's
  // after it moved to a monitor of another resolution (NativeDpiChanged).
  int PixelsPerInch() const { return pixelsPerInch_; }
  // Whether ScaleForScreen ran: the form follows the resolution of its monitor.
  bool ScaledForScreen() const { return scaled_; }
  bool DoubleBuffered() const { return doubleBuffered_; }
  void SetDoubleBuffered(bool on);
  MainMenu* Menu() const { return menu_; }
  // The form's window in the window system (0 before the native window exists).
  os::WindowHandle Handle() const;

  // The control that has the keyboard focus while the form is active, or that gets it when the form
  // becomes active; null when there is none (or the backend cannot tell).
  Control* FocusedControl() const;

  // Scrolling (forms with autoScroll). The content is what the visible children cover, from the
  // client area's top-left corner to the farthest right and bottom edge of a child. A scroll bar shows
  // while the content is wider (higher) than the client area, which then loses the bar's room; the
  // range of a bar is the content's width (height), 0 while the bar is hidden. The position is the
  // content's pixel shown at the client area's left (top) edge, from 0 to the range less the client
  // area's width (height). The children keep their bounds; the backend shows each one moved by the
  // position. ClientWidth and ClientHeight are the client area without the scroll bars.
  bool AutoScroll() const { return autoScroll_; }
  int HorzScrollRange() const { return horzRange_; }
  int VertScrollRange() const { return vertRange_; }
  int HorzScrollPos() const { return horzPos_; }
  int VertScrollPos() const { return vertPos_; }
  // Scrolls to the position (as the user does with the bars and the mouse wheel), kept within the
  // ranges; does nothing without autoScroll.
  void ScrollTo(int horzPos, int vertPos);

  // Scales the form and every control created so far from 96 pixels per inch to the screen's, once,
  // and gives the client area its designed size at that resolution (the outer size follows the
  // system's frame); the subclass calls it at the end of its constructor.
  void ScaleForScreen();

  // Shows the form (its OnShow runs at every show; a shown form comes to the front).
  void Show();
  void Hide();
  // Shows the form modally; returns when it is hidden or closed (by the program, or by the user with
  // the close box, which runs Close like any other close). The form tells OK from Cancel itself: a
  // button that accepts sets the form's own result before it closes the form.
  void ShowModal();
  bool Showing() const { return showing_; }
  // Closes the form: OnClose runs, the form hides; closing the main form ends the message loop.
  void Close();

  std::function<void()> OnCreate, OnShow, OnResize, OnClose;

  // Backend use.
  void NativeClientResized();  // the client area changed size: realign and OnResize
  void NativeCloseRequested() { Close(); }
  void NativeWindowStateChanged(WindowState state) { TakeWindowState(state); }
  // The window now stands on a monitor of another resolution (moved there, or the monitor's own
  // changed). The form takes the layout it would have had, had it been created at that resolution:
  // the minimum size and every control's place, size, inner border and column widths scaled from their
  // design at 96 pixels per inch, every font realised anew, PixelsPerInch the new value. Then the form
  // takes the bounds the system suggests (nothing: it keeps its bounds, as when the program itself
  // moved it there), lays its controls out and runs OnResize.
  void NativeDpiChanged(int pixelsPerInch, std::optional<Rect> suggested);
  // Registered parts, for the backend to mirror.
  const std::vector<Action*>& Actions() const { return actions_; }
  const std::vector<Timer*>& Timers() const { return timers_; }
  // Runs the action bound to this key, if any; true when one ran.
  bool ExecuteShortCut(ShortCut shortCut);
  // The control that SetFocus chose last (null after it went), which the backend reports where it does
  // not follow the focus itself.
  Control* RequestedFocus() const { return focusRequest_; }

 private:
  friend class Control;
  friend class MainMenu;
  friend class Action;
  friend class Timer;
  void TakeWindowState(WindowState state);
  // Every control's font realised anew at the form's resolution (own fonts and inherited ones).
  void RealiseFonts();
  // Measures the content anew and shows or hides the scroll bars (autoScroll).
  void UpdateScrollBars();
  Application& app_;
  int minWidth_ = 0, minHeight_ = 0;
  BorderStyle borderStyle_ = BorderStyle::Sizeable;
  bool captionButtons_ = true;
  bool minimizeButton_ = true, maximizeButton_ = true;
  bool autoScroll_ = false;
  int horzRange_ = 0, vertRange_ = 0, horzPos_ = 0, vertPos_ = 0;
  int scrollPageWidth_ = -1, scrollPageHeight_ = -1;  // the client area the ranges were measured for
  bool updatingScroll_ = false;
  Control* focusRequest_ = nullptr;
  FormPosition position_ = FormPosition::Designed;
  WindowState windowState_ = WindowState::Normal;
  WindowState restoreState_ = WindowState::Normal;  // while minimised: the state before
  Rect restoreBounds_;                              // while minimised: the bounds before
  int pixelsPerInch_ = 96;
  int designClientWidth_ = -1, designClientHeight_ = -1;  // client size given at creation, if any
  bool scaled_ = false;
  bool doubleBuffered_ = false;
  bool showing_ = false;
  MainMenu* menu_ = nullptr;
  std::vector<Action*> actions_;
  std::vector<Timer*> timers_;
};

class Application {
 public:
  Application();
  ~Application();
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;

  // The task-bar text and the caption of every error box.
  const std::string& Title() const { return title_; }
  void SetTitle(const std::string& title);

  // The first form created is the main form; closing it ends Run.
  Form* MainForm() const { return mainForm_; }
  // Runs the message loop until the main form closes.
  void Run();
  // Handles the window messages waiting now, then returns.
  void ProcessMessages();
  // Ends the message loop.
  void Terminate();
  bool Terminated() const { return terminated_; }
  // The program's application window: the hidden top-level window that stands for the program and owns
  // its windows (0 where the backend has none). It owns the main form, which owns the other forms and
  // has the task-bar button; it carries the timers and the program's title. It never shows by itself and
  // never takes the activation; shown by the program (os::ShowWindowAs, os::SetWindowZOrder with show)
  // it is still nothing to see: no size, no task-bar button. While it is topmost (os::SetWindowZOrder
  // with os::ZOrder::Topmost) all of the program's forms are topmost too, also those shown meanwhile,
  // so that they stay in front of other programs' windows; os::ZOrder::NoTopmost ends that for all of
  // them. os::GetPlacement and os::SetPlacement work on it as on any window.
  os::WindowHandle Handle() const;

  // Shows an error in the error box: the title as caption, the message (with a full stop appended
  // when its last character sorts after ".") as text, a stop icon and an OK button.
  void ShowError(const std::string& message);
  // What the message loop does with an exception that escaped a handler: the error box shows its text.
  void HandleException(const std::exception& error);
  // How an error is worded: by default as what() says it; a program gives the texts of its language.
  void SetErrorText(std::function<std::string(const std::exception&)> errorText) {
    errorText_ = std::move(errorText);
  }
  // The text the error box shows for a message.
  static std::string ErrorBoxText(const std::string& message);
  // Whether a box of the program (the error box) is open now. The box's own message loop keeps the
  // program's timers running behind it: a handler that must not act while the user is being told
  // something asks this. OnBoxesClosed runs each time the last open box has closed.
  bool BoxOpen() const { return boxesOpen_ > 0; }
  std::function<void()> OnBoxesClosed;

  // The screen's pixels per inch.
  int ScreenPixelsPerInch() const;

  // Backend use.
  void RegisterForm(Form& form);
  void UnregisterForm(Form& form);
  const std::vector<Form*>& Forms() const { return forms_; }

 private:
  std::string title_;
  std::function<std::string(const std::exception&)> errorText_;
  Form* mainForm_ = nullptr;
  std::vector<Form*> forms_;
  bool terminated_ = false;
  int boxesOpen_ = 0;
};

// A program's whole run: sets the application's title, then runs body (which creates the windows and
// runs the message loop). An error that escapes is shown in the error box; the result, the exit code,
// is 0.
int RunProgram(Application& app, const std::string& title, const std::function<void()>& body);

// The size of the primary screen in pixels.
int ScreenWidth();
int ScreenHeight();

// The program's icon drawn at width x height pixels on the background colour; an empty picture when
// the program has no icon.
TBitmap ProgramIconPicture(int width, int height, TColor background);

// The frame of a window (outer size minus client size) on the standard Windows theme at 96 pixels per
// inch: the frame the window layouts are designed against.
void StandardFrameSize(BorderStyle borderStyle, bool hasMenu, int& extraWidth, int& extraHeight);

}  // namespace ui
