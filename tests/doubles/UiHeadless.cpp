// The headless backend of the window classes: no real windows (each form is a window of the virtual
// screen, tests/doubles/WindowSystem.cpp). The portable classes already hold every property; this
// backend keeps the few things a screen would (the clock and its timers, the dialogs' answers, the
// error boxes shown) and lets tests act as the user.

#include <algorithm>
#include <deque>
#include <iostream>
#include <map>
#include <stdexcept>
#include <variant>

#include "platform/os/Os.h"
#include "platform/os/OsTesting.h"
#include "platform/ui/UiNative.h"
#include "platform/ui/UiTesting.h"
#include "tests/doubles/VirtualScreen.h"

namespace ui {

namespace {

struct SaveAnswer {
  std::string fileName;
  int filterIndex;
};
// A user who types a name, picks another file type, then accepts or cancels.
struct SaveTypeChange {
  std::string typedName;
  int filterIndex;
  bool accept;
};
struct Cancel {};
using Answer = std::variant<SaveAnswer, SaveTypeChange, Font, TColor, Cancel>;

// A save dialog that is open while its answer runs: the text of its name box.
struct OpenSave {
  const SaveDialog* dialog = nullptr;
  std::string nameBox;
  std::size_t opening = 0;  // its entry in the openings
};

struct TimerState {
  long long due = 0;
  long long order = 0;  // creation order, which decides between timers due at the same moment
};

struct State {
  int screenPixelsPerInch = 96;
  int screenWidth = 1280, screenHeight = 1024;
  TBitmap programIcon;
  long long now = 0;
  long long sleptUntil = -1;  // the clock when the last sleep ended: timers due by then are overdue
  std::map<const Component*, std::deque<Answer>> answers;
  int unanswered = 0;
  std::vector<testing::DialogOpening> openings;
  std::function<void(Form&)> onModal;
  std::function<void()> onProcessMessages;
  int processMessagesCount = 0;
  std::vector<testing::ErrorBox> errorBoxes;
  std::function<void()> onErrorBox;
  bool inErrorBoxHandler = false;
  std::vector<testing::PopupShown> popups;
  std::map<const Timer*, TimerState> timers;     // the enabled timers
  std::map<const Timer*, long long> timerOrder;  // every timer, by creation
  long long timersCreated = 0;
  std::map<const ListView*, int> suspensions;
  std::vector<OpenSave> openSaves;  // the save dialogs open now, the last opened last
  std::function<void(ScreenOverlay&)> onOverlay;
  std::vector<os::ScreenRect> overlayInvalidations;
  std::vector<std::pair<int, int>> overlayPointerMoves;
};

// The scroll bars each form's window shows, by the window's handle (never reused, so that an entry of a
// form that went can never be taken for another's); kept across Reset, like the forms' windows.
std::map<os::WindowHandle, std::pair<bool, bool>>& ScrollBarsShown() {
  static std::map<os::WindowHandle, std::pair<bool, bool>> shown;
  return shown;
}

State& S() {
  static State state;
  return state;
}

// The next answer waiting for a dialog, or nothing (counted as unanswered, which cancels).
std::optional<Answer> NextAnswer(const Component& dialog) {
  auto it = S().answers.find(&dialog);
  if (it == S().answers.end() || it->second.empty()) {
    ++S().unanswered;
    return std::nullopt;
  }
  Answer answer = it->second.front();
  it->second.pop_front();
  return answer;
}

// Forgets a timer when it goes.
class TimerNative : public NativeData {
 public:
  explicit TimerNative(const Timer* timer) : timer_(timer) {}
  ~TimerNative() override {
    S().timers.erase(timer_);
    S().timerOrder.erase(timer_);
  }

 private:
  const Timer* timer_;
};

void ArmTimer(const Timer& timer) {
  if (timer.Enabled() && timer.Interval() > 0) {
    TimerState& state = S().timers[&timer];
    state.due = S().now + timer.Interval();
    state.order = S().timerOrder[&timer];
  } else {
    S().timers.erase(&timer);
  }
}

// Runs a handler as the message loop would: an escaping error goes to the error box.
template <typename F>
void Dispatch(Application& app, F&& handler) {
  try {
    handler();
  } catch (const std::exception& error) {
    app.HandleException(error);
  } catch (...) {
    app.HandleException(std::runtime_error("Unexpected error"));
  }
}

// The name in a save dialog's name box as the system reports it: a full path, a name without folder
// joined to the current directory, an empty box the current directory with a delimiter at its end.
std::string DialogPath(const std::string& name) {
  if (!name.empty()) {
    const std::string full = os::FullPathName(name, std::size_t{1} << 20);
    if (!full.empty()) return full;
  }
  std::string folder = os::CurrentDirectory();
  if (folder.empty() || folder.back() != os::PathDelimiter()) folder += os::PathDelimiter();
  return folder + name;
}

OpenSave* FindOpenSave(const SaveDialog& dialog) {
  for (OpenSave& open : S().openSaves) {
    if (open.dialog == &dialog) return &open;
  }
  return nullptr;
}

// Fires, once each and in time order, the timers that fell due while the thread slept.
void FireOverdueTimers() {
  for (;;) {
    const Timer* next = nullptr;
    long long due = S().sleptUntil + 1, order = 0;
    for (const auto& [timer, state] : S().timers) {
      if (state.due < due || (state.due == due && state.order < order)) {
        due = state.due;
        order = state.order;
        next = timer;
      }
    }
    if (next == nullptr) return;
    S().timers[next].due = S().now + next->Interval();
    Timer* timer = const_cast<Timer*>(next);
    Dispatch(timer->Owner()->App(), [timer] { timer->NativeFire(); });
  }
}

}  // namespace

namespace native {

void Created(Component& component) {
  // Every form is a window of the virtual screen (tests/doubles/WindowSystem.cpp).
  if (auto* form = dynamic_cast<Form*>(&component)) form->SetNative(os::headless::MakeFormWindow(*form));
  if (auto* timer = dynamic_cast<Timer*>(&component)) {
    timer->SetNative(std::make_unique<TimerNative>(timer));
    S().timerOrder[timer] = ++S().timersCreated;
    ArmTimer(*timer);
  }
}

void Changed(Component& component, Change what) {
  if (auto* timer = dynamic_cast<Timer*>(&component)) {
    if (what == Change::State) ArmTimer(*timer);
    return;
  }
  if (auto* form = dynamic_cast<Form*>(&component)) {
    if (what == Change::Bounds || what == Change::State) form->NativeClientResized();
  }
}

void ShowForm(Form& form) {
  os::headless::FormShown(form);
  if (form.Position() == FormPosition::MainFormCenter && form.App().MainForm() != nullptr &&
      form.App().MainForm() != &form) {
    const Form& main = *form.App().MainForm();
    form.NativeBoundsChanged({main.Left() + (main.Width() - form.Width()) / 2,
                              main.Top() + (main.Height() - form.Height()) / 2, form.Width(), form.Height()});
  }
}

void HideForm(Form& form) { os::headless::FormHidden(form); }

void RunModal(Form& form) {
  if (S().onModal) {
    S().onModal(form);
  }
  if (form.Showing()) form.Hide();
}

// The overlay runs while the test's function acts on it; it closes when the function returns.
void RunOverlay(ScreenOverlay& overlay) {
  if (S().onOverlay) S().onOverlay(overlay);
  overlay.Close();
}
void OverlayInvalidated(ScreenOverlay&, const os::ScreenRect& part) {
  S().overlayInvalidations.push_back(part);
}
void OverlayClosed(ScreenOverlay&) {}
void OverlayMovePointer(ScreenOverlay&, int x, int y) { S().overlayPointerMoves.emplace_back(x, y); }

void NonClientSize(const Form& form, int& extraWidth, int& extraHeight) {
  // The standard frame, at every resolution, and the scroll bars the form shows.
  StandardFrameSize(form.GetBorderStyle(), form.Menu() != nullptr, extraWidth, extraHeight);
  int barWidth = 0, barHeight = 0;
  ScrollBarSize(form, barWidth, barHeight);
  if (form.VertScrollRange() > 0) extraWidth += barWidth;
  if (form.HorzScrollRange() > 0) extraHeight += barHeight;
}

void ScrollBarSize(const Form& form, int& verticalWidth, int& horizontalHeight) {
  verticalWidth = horizontalHeight = ScaleForDpi(testing::kScrollBarWidth, form.PixelsPerInch());
}

void ScrollChanged(Form& form) {
  // A bar that comes or goes changes the client size, as the system's size message would tell.
  const std::pair<bool, bool> bars{form.HorzScrollRange() > 0, form.VertScrollRange() > 0};
  auto& shown = ScrollBarsShown()[form.Handle()];
  if (shown == bars) return;
  shown = bars;
  form.NativeClientResized();
}

// The class keeps the control SetFocus chose; there is no user here to move the focus elsewhere.
void FocusControl(Control&) {}
Control* FocusedControl(const Form& form) { return form.RequestedFocus(); }

void MenuChanged(MenuItem&) {}

void ShowPopup(PopupMenu& menu, int screenX, int screenY) { S().popups.push_back({&menu, screenX, screenY}); }

void ImageListChanged(ImageList&) {}
void ImageAdded(ImageList&, int) {}
void ListItemsAdded(ListView&, int) {}
void ListCleared(ListView&) {}
void ListItemSelected(ListView&, int) {}

void ListUpdating(ListView& view, bool suspended) {
  if (suspended) ++S().suspensions[&view];
}

// An edit field holds its text in its class; there is nothing more to keep.
void EditCreated(Edit&) {}

bool ExecuteFontDialog(FontDialog& dialog) {
  S().openings.push_back({.dialog = &dialog, .font = dialog.GetFont()});
  const auto answer = NextAnswer(dialog);
  if (!answer || !std::holds_alternative<Font>(*answer)) return false;
  dialog.SetFont(std::get<Font>(*answer));
  return true;
}

bool ExecuteColorDialog(ColorDialog& dialog) {
  S().openings.push_back({.dialog = &dialog, .color = dialog.Color()});
  const auto answer = NextAnswer(dialog);
  if (!answer || !std::holds_alternative<TColor>(*answer)) return false;
  dialog.SetColor(std::get<TColor>(*answer));
  return true;
}

bool ExecuteSaveDialog(SaveDialog& dialog) {
  S().openings.push_back(
      {.dialog = &dialog, .fileName = dialog.FileName(), .filterIndex = dialog.FilterIndex()});
  const std::size_t opening = S().openings.size() - 1;
  const auto answer = NextAnswer(dialog);
  if (answer && std::holds_alternative<SaveTypeChange>(*answer)) {
    const auto change = std::get<SaveTypeChange>(*answer);
    S().openSaves.push_back({&dialog, change.typedName, opening});
    // The dialog is open until the answer has run, also when OnTypeChange throws.
    struct Closing {
      const SaveDialog* dialog;
      ~Closing() {
        auto& open = S().openSaves;
        for (auto it = open.rbegin(); it != open.rend(); ++it) {
          if (it->dialog == dialog) {
            open.erase(std::next(it).base());
            break;
          }
        }
      }
    } closing{&dialog};
    Dispatch(dialog.Owner()->App(), [&] { dialog.NativeTypeChanged(change.filterIndex); });
    const OpenSave* open = FindOpenSave(dialog);
    const std::string name = open != nullptr ? open->nameBox : std::string();
    if (!change.accept || name.empty()) return false;
    dialog.SetFileName(DialogPath(name));
    dialog.SetFilterIndex(change.filterIndex);
    return true;
  }
  if (!answer || !std::holds_alternative<SaveAnswer>(*answer)) return false;
  const auto& save = std::get<SaveAnswer>(*answer);
  dialog.SetFileName(save.fileName);
  dialog.SetFilterIndex(save.filterIndex);
  return true;
}

bool ExecuteOpenDialog(OpenDialog& dialog) {
  S().openings.push_back(
      {.dialog = &dialog, .fileName = dialog.FileName(), .filterIndex = dialog.FilterIndex()});
  const auto answer = NextAnswer(dialog);
  if (!answer || !std::holds_alternative<SaveAnswer>(*answer)) return false;
  const auto& open = std::get<SaveAnswer>(*answer);
  dialog.SetFileName(open.fileName);
  dialog.SetFilterIndex(open.filterIndex);
  return true;
}

std::string SaveDialogFilePath(const SaveDialog& dialog) {
  const OpenSave* open = FindOpenSave(dialog);
  return open != nullptr ? DialogPath(open->nameBox) : std::string();
}

void SetSaveDialogFileNameText(SaveDialog& dialog, const std::string& text) {
  OpenSave* open = FindOpenSave(dialog);
  if (open == nullptr) return;
  open->nameBox = text;
  S().openings.at(open->opening).nameBoxTexts.push_back(text);
}

void ShowErrorBox(const std::string& caption, const std::string& text) {
  S().errorBoxes.push_back({caption, text});
  std::cerr << "[error box] " << caption << ": " << text << '\n';
  if (!S().onErrorBox || S().inErrorBoxHandler) return;
  S().inErrorBoxHandler = true;
  struct HandlerDone {
    ~HandlerDone() { S().inErrorBoxHandler = false; }
  } handlerDone;
  const std::function<void()> handler = S().onErrorBox;  // the handler may replace itself
  handler();
}

void SetApplicationTitle(Application&, const std::string& title) {
  os::headless::ApplicationTitleChanged(title);
}

void RunMessageLoop(Application& app) {
  // With no user, the only things that happen are timers: run them in time order until the program
  // ends or nothing is left that could ever fire.
  while (!app.Terminated() && !S().timers.empty()) {
    long long next = S().timers.begin()->second.due;
    for (const auto& [timer, state] : S().timers) next = std::min(next, state.due);
    testing::AdvanceTime(static_cast<int>(next - S().now));
  }
}

void ProcessMessages(Application&) {
  ++S().processMessagesCount;
  // Timers that fell due while the thread slept run now, once each.
  FireOverdueTimers();
  if (S().onProcessMessages) S().onProcessMessages();
}

void Terminate(Application&) {}

int ScreenPixelsPerInch() { return S().screenPixelsPerInch; }
int ScreenWidth() { return S().screenWidth; }
int ScreenHeight() { return S().screenHeight; }

TBitmap ProgramIconPicture(int width, int height, TColor background) {
  const TBitmap& icon = S().programIcon;
  TBitmap picture;
  if (icon.Empty() || width <= 0 || height <= 0) return picture;
  picture.SetFillColor(background);
  picture.SetSize(width, height);
  const int left = (width - icon.Width()) / 2, top = (height - icon.Height()) / 2;
  for (int y = 0; y < icon.Height(); ++y) {
    for (int x = 0; x < icon.Width(); ++x) picture.SetPixel(left + x, top + y, icon.Pixel(x, y));
  }
  return picture;
}

}  // namespace native

namespace testing {

void Reset() {
  S() = State{};
  os::headless::ResetScreen();
  os::testing::SetLocalTime(std::nullopt);
}

void SetScreenPixelsPerInch(int pixelsPerInch) { S().screenPixelsPerInch = pixelsPerInch; }
void SetScreenSize(int width, int height) {
  S().screenWidth = width;
  S().screenHeight = height;
}
void SetProgramIcon(const TBitmap& icon) { S().programIcon = icon; }

void AnswerSave(SaveDialog& dialog, const std::string& fileName, int filterIndex) {
  S().answers[&dialog].push_back(SaveAnswer{fileName, filterIndex});
}
void AnswerSaveWithTypeChange(SaveDialog& dialog, const std::string& typedName, int filterIndex,
                              bool accept) {
  S().answers[&dialog].push_back(SaveTypeChange{typedName, filterIndex, accept});
}
void AnswerOpen(OpenDialog& dialog, const std::string& fileName, int filterIndex) {
  S().answers[&dialog].push_back(SaveAnswer{fileName, filterIndex});
}
void AnswerFont(FontDialog& dialog, const Font& font) { S().answers[&dialog].push_back(font); }
void AnswerColor(ColorDialog& dialog, TColor color) { S().answers[&dialog].push_back(color); }
void CancelNext(Component& dialog) { S().answers[&dialog].push_back(Cancel{}); }
int UnansweredDialogs() { return S().unanswered; }
const std::vector<DialogOpening>& DialogOpenings() { return S().openings; }

void OnModal(std::function<void(Form&)> handler) { S().onModal = std::move(handler); }

void OnOverlay(std::function<void(ScreenOverlay&)> handler) { S().onOverlay = std::move(handler); }
const std::vector<os::ScreenRect>& OverlayInvalidations() { return S().overlayInvalidations; }
const std::vector<std::pair<int, int>>& OverlayPointerMoves() { return S().overlayPointerMoves; }

long long Now() { return S().now; }

void AdvanceTime(int milliseconds) {
  const long long end = S().now + std::max(milliseconds, 0);
  for (;;) {
    // The timer due first (ties: the one created first), if it is due by the end.
    const Timer* next = nullptr;
    long long due = end + 1, order = 0;
    for (const auto& [timer, state] : S().timers) {
      if (state.due < due || (state.due == due && state.order < order)) {
        due = state.due;
        order = state.order;
        next = timer;
      }
    }
    if (next == nullptr) break;
    // A timer that fell due while the thread slept fires once, now, and counts its interval from now.
    S().now = std::max(S().now, due);
    S().timers[next].due = S().now + next->Interval();
    Timer* timer = const_cast<Timer*>(next);
    Application& app = timer->Owner()->App();
    Dispatch(app, [timer] { timer->NativeFire(); });
  }
  S().now = std::max(S().now, end);  // a handler that slept may have moved the clock past the end
}

void OnProcessMessages(std::function<void()> handler) { S().onProcessMessages = std::move(handler); }
int ProcessMessagesCount() { return S().processMessagesCount; }

const std::vector<ErrorBox>& ErrorBoxes() { return S().errorBoxes; }
void OnErrorBox(std::function<void()> handler) { S().onErrorBox = std::move(handler); }
const std::vector<PopupShown>& PopupsShown() { return S().popups; }
std::vector<Form*> ShowingForms() { return os::headless::ShowingFormsFrontFirst(); }

int ListUpdateSuspensions(const ListView& view) {
  const auto it = S().suspensions.find(&view);
  return it == S().suspensions.end() ? 0 : it->second;
}

}  // namespace testing

namespace headless {

void PassTime(int milliseconds) {
  S().now += std::max(milliseconds, 0);
  S().sleptUntil = S().now;
}

}  // namespace headless

}  // namespace ui
