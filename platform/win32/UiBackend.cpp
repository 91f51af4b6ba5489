// The application side of the Win32 backend: the window classes, the hidden application window (owner of
// the main form, carrier of the message timers, the topmost state the forms follow), the message loop
// and modal forms, the error box, the screen's resolution and colours.

#include <algorithm>
#include <cstring>
#include <iterator>
#include <utility>

#include "platform/win32/UiWin32.h"

namespace ui {
namespace win32 {

const char* const kFormClass = "UiForm";
const char* const kPanelClass = "UiPanel";
const char* const kImageClass = "UiImage";

LRESULT CALLBACK OwnWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

namespace {

const char* const kApplicationClass = "UiApplication";
const char* const kAnchorClass = "UiTopmostAnchor";
// Posted to the application window when it became active: the activation goes on to a form.
constexpr UINT kPassActivation = WM_APP + 1;
// Where the application window and the anchor stand: out of sight, should the system ever draw a window
// of no size.
constexpr int kHiddenPosition = -32000;

struct ModalFrame {
  Form* form = nullptr;
  std::vector<HWND> disabled;  // the windows this modal form disabled, enabled again when it ends
};

struct Backend {
  HINSTANCE instance = nullptr;
  OwnedWindow applicationWindow;
  OwnedWindow anchor;               // see FormsFollowTopmost
  bool applicationTopmost = false;  // the state the forms were last given
  bool followingTopmost = false;    // the forms are being given it now
  bool leavingTopmost = false;      // the application window is leaving the topmost band now
  HWND lastActiveForm = nullptr;
  std::unordered_map<UINT_PTR, Timer*> timers;
  UINT_PTR nextTimerId = 1;
  std::vector<ModalFrame> modal;
  int loops = 0;  // message loops running (the program's, modal forms' and the screen overlay's)
};

Backend& B() {
  static Backend backend;
  return backend;
}

// The forms take the application window's topmost state when it changes.
//
// The system keeps an owned window above its owner, and when it moves a window it moves the window's
// owned windows first and puts the window just behind them. Wine then keeps the window topmost (or
// makes it so) only when the window behind it is topmost too, and when it is asked to end the topmost
// state of an owned window whose owner stands just behind it in the topmost band, it puts the window
// back where it was. So the forms go one by one, owners before their owned forms (from the back of the
// z-order to the front, which also keeps their order among themselves), with the anchor, a hidden
// window of no size that owns nothing and belongs to no one, standing where it helps: at the front of
// the topmost band while the forms become topmost (so that each form lands in front of it and stays
// topmost), and at the front of the other windows while they leave the band (so that a form's own
// owner is never found just behind it there).
void FormsFollowTopmost(bool topmost) {
  Backend& backend = B();
  if (backend.followingTopmost || topmost == backend.applicationTopmost) return;
  backend.applicationTopmost = topmost;
  backend.followingTopmost = true;
  std::vector<HWND> forms;
  for (HWND window = GetTopWindow(nullptr); window != nullptr; window = GetWindow(window, GW_HWNDNEXT)) {
    if (FindFormNative(window) != nullptr) forms.push_back(window);
  }
  constexpr UINT kFlags = SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE;
  const HWND anchor = backend.anchor.get();
  if (!topmost) SetWindowPos(anchor, HWND_NOTOPMOST, 0, 0, 0, 0, kFlags);
  for (auto it = forms.rbegin(); it != forms.rend(); ++it) {
    SetWindowPos(anchor, topmost ? HWND_TOPMOST : HWND_TOP, 0, 0, 0, 0, kFlags);
    SetWindowPos(*it, topmost ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0, kFlags);
  }
  backend.followingTopmost = false;
}

// The form that the activation goes to when the application window got it: the modal form that runs,
// else the form active last; null when none of them can take it.
HWND ActivationTarget() {
  Backend& backend = B();
  std::vector<HWND> candidates;
  for (auto it = backend.modal.rbegin(); it != backend.modal.rend(); ++it) {
    if (it->form->Native() != nullptr)
      candidates.push_back(static_cast<HWND>(it->form->Native()->WindowHandle()));
  }
  candidates.push_back(backend.lastActiveForm);
  for (HWND candidate : candidates) {
    if (candidate != nullptr && FindFormNative(candidate) != nullptr && IsWindowVisible(candidate) &&
        IsWindowEnabled(candidate)) {
      return candidate;
    }
  }
  return nullptr;
}

LRESULT CALLBACK ApplicationProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_TIMER: {
      const auto it = B().timers.find(wParam);
      if (it != B().timers.end()) {
        Timer* timer = it->second;
        Guard(timer->Owner()->App(), [timer] { timer->NativeFire(); });
        return 0;
      }
      break;
    }
    case WM_WINDOWPOSCHANGING: {
      auto* position = reinterpret_cast<WINDOWPOS*>(lParam);
      // Nothing to see and nothing to type into: the window keeps no size and takes no activation.
      position->flags |= SWP_NOACTIVATE;
      if ((position->flags & SWP_NOSIZE) == 0) position->cx = position->cy = 0;
      if ((position->flags & SWP_NOZORDER) != 0) break;
      if (position->hwndInsertAfter == HWND_TOPMOST) {
        // The forms become topmost first: the system then moves them with this window as they are.
        FormsFollowTopmost(true);
      } else if (position->hwndInsertAfter == HWND_NOTOPMOST || position->hwndInsertAfter == HWND_BOTTOM) {
        // Out of the topmost band to the very back, where it can stand in no form's way; the forms
        // follow once it has left the band.
        position->hwndInsertAfter = HWND_BOTTOM;
        if ((GetWindowLongA(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0) {
          B().leavingTopmost = true;
        } else {
          FormsFollowTopmost(false);
        }
      }
      break;
    }
    case WM_WINDOWPOSCHANGED:
      if (std::exchange(B().leavingTopmost, false)) FormsFollowTopmost(false);
      break;
    case WM_ACTIVATE:
      // Activated all the same (SetActiveWindow, a show command): a form takes the activation over, once
      // the system has finished activating this window.
      if (LOWORD(wParam) != WA_INACTIVE) PostMessageA(hwnd, kPassActivation, 0, 0);
      break;
    case kPassActivation:
      if (GetActiveWindow() == hwnd) {
        if (const HWND target = ActivationTarget()) SetActiveWindow(target);
      }
      return 0;
    default:
      break;
  }
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

HICON ProgramIcon(int width, int height) {
  // The icon of resource id 1 in the executable, when it has one; shared icons need no release.
  if (auto* icon = static_cast<HICON>(
          LoadImageA(Instance(), MAKEINTRESOURCEA(1), IMAGE_ICON, width, height, LR_SHARED))) {
    return icon;
  }
  return static_cast<HICON>(LoadImageA(nullptr, MAKEINTRESOURCEA(32512) /* IDI_APPLICATION */, IMAGE_ICON,
                                       width, height, LR_SHARED));
}

void RegisterWindowClass(const char* name, UINT style, WNDPROC proc, bool withIcon) {
  WNDCLASSEXA windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.style = style;
  windowClass.lpfnWndProc = proc;
  windowClass.hInstance = Instance();
  windowClass.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512) /* IDC_ARROW */);
  windowClass.lpszClassName = name;
  if (withIcon) {
    windowClass.hIcon = ProgramIcon(GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON));
    windowClass.hIconSm = ProgramIcon(GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON));
  }
  if (RegisterClassExA(&windowClass) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
    throw std::runtime_error(std::string("The window class ") + name + " cannot be registered");
  }
}

// Removes a request to end the message loop that is still waiting (one left by an earlier Terminate).
void DropQuitRequests() {
  MSG message;
  while (PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
  }
}

HWND FormHwnd(const Form& form) {
  const NativeData* native = form.Native();
  return native != nullptr ? static_cast<HWND>(native->WindowHandle()) : nullptr;
}

}  // namespace

HINSTANCE Instance() {
  if (B().instance == nullptr) B().instance = GetModuleHandleA(nullptr);
  return B().instance;
}

void EnsureBackend() {
  Backend& backend = B();
  if (backend.applicationWindow && backend.anchor) return;
  INITCOMMONCONTROLSEX controls{};
  controls.dwSize = sizeof(controls);
  controls.dwICC = ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES;
  InitCommonControlsEx(&controls);
  RegisterWindowClass(kApplicationClass, 0, ApplicationProc, false);
  RegisterWindowClass(kAnchorClass, 0, DefWindowProcA, false);
  RegisterWindowClass(kFormClass, CS_DBLCLKS, OwnWindowProc, true);
  RegisterWindowClass(kPanelClass, CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW, OwnWindowProc, false);
  RegisterWindowClass(kImageClass, CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW, OwnWindowProc, false);
  backend.anchor.reset(CreateWindowExA(WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, kAnchorClass, "", WS_POPUP,
                                       kHiddenPosition, kHiddenPosition, 0, 0, nullptr, nullptr, Instance(),
                                       nullptr));
  // A hidden top-level window of no size, out of sight: it owns the main form and so the program's
  // windows, and as a tool window it has no task-bar button of its own (the main form has that).
  backend.applicationWindow.reset(CreateWindowExA(WS_EX_TOOLWINDOW, kApplicationClass, "", WS_POPUP,
                                                  kHiddenPosition, kHiddenPosition, 0, 0, nullptr, nullptr,
                                                  Instance(), nullptr));
  if (!backend.anchor || !backend.applicationWindow) {
    throw std::runtime_error("The application window cannot be created");
  }
}

HWND ApplicationWindow() {
  EnsureBackend();
  return B().applicationWindow.get();
}

void FollowApplicationTopmost(HWND form) {
  Backend& backend = B();
  if (!backend.applicationTopmost || backend.followingTopmost) return;
  if ((GetWindowLongA(form, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0) return;
  // As FormsFollowTopmost does it, for this form alone.
  constexpr UINT kFlags = SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE;
  SetWindowPos(backend.anchor.get(), HWND_TOPMOST, 0, 0, 0, 0, kFlags);
  SetWindowPos(form, HWND_TOPMOST, 0, 0, 0, 0, kFlags);
}

void FormActivated(HWND form) { B().lastActiveForm = form; }

// ---- Conversions ------------------------------------------------------------------------------------

COLORREF ToColorRef(TColor color) { return static_cast<COLORREF>(ColorToRGB(color) & 0xFFFFFFu); }

FontHandle CreateFontHandle(const Font& font, int pixelsPerInch) {
  const LOGFONTA logFont = MakeLogFont(font, pixelsPerInch);
  FontHandle handle(CreateFontIndirectA(&logFont));
  if (!handle) throw std::runtime_error("The font \"" + font.name + "\" cannot be created");
  return handle;
}

BrushHandle CreateSolidBrushHandle(TColor color) {
  BrushHandle brush(CreateSolidBrush(ToColorRef(color)));
  if (!brush) throw std::runtime_error("A brush cannot be created");
  return brush;
}

BitmapHandle CreateBitmapHandle(const TBitmap& picture, int width, int height, TColor fill) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = std::max(width, 1);
  info.bmiHeader.biHeight = -std::max(height, 1);  // top-down: row y of the picture is row y here
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  BitmapHandle bitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!bitmap || bits == nullptr) {
    throw std::runtime_error("A bitmap of " + std::to_string(width) + " x " + std::to_string(height) +
                             " pixels cannot be created");
  }
  const int w = std::max(width, 1), h = std::max(height, 1);
  auto* pixels = static_cast<std::uint32_t*>(bits);
  // Opaque: the top byte is the alpha channel of a 32-bit image.
  constexpr std::uint32_t kOpaque = 0xFF000000u;
  std::fill(pixels, pixels + static_cast<std::size_t>(w) * h, TBitmap::ToPixel32(ColorToRGB(fill)) | kOpaque);
  const int copyWidth = std::min(w, picture.Width()), copyHeight = std::min(h, picture.Height());
  for (int y = 0; y < copyHeight; ++y) {
    const TBitmap::Pixel32* source = picture.ScanLine(y);
    std::uint32_t* target = pixels + static_cast<std::size_t>(y) * w;
    for (int x = 0; x < copyWidth; ++x) target[x] = (source[x] & 0xFFFFFFu) | kOpaque;
  }
  GdiFlush();
  return bitmap;
}

void ReportError(Application& app, const std::exception& error) noexcept {
  try {
    app.HandleException(error);
  } catch (...) {
    // The error box itself failed (no memory for its text): nothing more can be shown.
  }
}

// ---- Timers -----------------------------------------------------------------------------------------

namespace {

// A running message timer of the application window; stopped when the timer goes.
class TimerNative : public NativeData {
 public:
  explicit TimerNative(Timer& timer) : timer_(timer) {}
  ~TimerNative() override { Stop(); }
  TimerNative(const TimerNative&) = delete;
  TimerNative& operator=(const TimerNative&) = delete;

  void Arm() {
    Stop();
    if (!timer_.Enabled() || timer_.Interval() <= 0) return;
    Backend& backend = B();
    UINT_PTR id = backend.nextTimerId;
    while (id == 0 || backend.timers.count(id) != 0) ++id;
    backend.nextTimerId = id + 1;
    if (SetTimer(ApplicationWindow(), id, static_cast<UINT>(timer_.Interval()), nullptr) == 0) {
      throw std::runtime_error("A timer cannot be started");
    }
    backend.timers[id] = &timer_;
    id_ = id;
  }

  void Stop() {
    if (id_ == 0) return;
    KillTimer(B().applicationWindow.get(), id_);
    B().timers.erase(id_);
    id_ = 0;
  }

 private:
  Timer& timer_;
  UINT_PTR id_ = 0;
};

}  // namespace

void CreateTimerNative(Timer& timer) {
  EnsureBackend();
  auto native = std::make_unique<TimerNative>(timer);
  native->Arm();
  timer.SetNative(std::move(native));
}

void UpdateTimer(Timer& timer) {
  if (auto* native = dynamic_cast<TimerNative*>(timer.Native())) native->Arm();
}

// ---- The message loop -------------------------------------------------------------------------------

bool PreTranslate(MSG& message) {
  if (message.hwnd == nullptr) return false;
  const HWND root = GetAncestor(message.hwnd, GA_ROOT);
  FormNative* native = FindFormNative(root);
  if (native == nullptr) return false;
  if ((message.message == WM_KEYDOWN || message.message == WM_SYSKEYDOWN) && IsWindowEnabled(root)) {
    const ShortCut shortCut{static_cast<int>(message.wParam), GetKeyState(VK_CONTROL) < 0,
                            GetKeyState(VK_SHIFT) < 0, GetKeyState(VK_MENU) < 0};
    Form& form = native->GetForm();
    const auto& actions = form.Actions();
    if (shortCut && std::any_of(actions.begin(), actions.end(),
                                [&](const Action* action) { return action->GetShortCut() == shortCut; })) {
      Guard(form.App(), [&] { form.ExecuteShortCut(shortCut); });
      return true;
    }
  }
  // Tab and the arrow keys move between the controls, as in a dialog.
  return IsDialogMessageA(root, &message) != FALSE;
}

void HandleMessage(MSG& message) {
  if (PreTranslate(message)) return;
  TranslateMessage(&message);
  DispatchMessageA(&message);
}

LoopScope::LoopScope() { ++B().loops; }
LoopScope::~LoopScope() { --B().loops; }

void EndModal(Form& form) {
  for (ModalFrame& frame : B().modal) {
    if (frame.form != &form) continue;
    for (HWND window : frame.disabled) {
      if (IsWindow(window)) EnableWindow(window, TRUE);
    }
    frame.disabled.clear();
  }
}

}  // namespace win32

namespace native {

using namespace win32;

void RunMessageLoop(Application& app) {
  EnsureBackend();
  DropQuitRequests();
  const LoopScope loop;
  MSG message;
  while (!app.Terminated()) {
    const BOOL got = GetMessageA(&message, nullptr, 0, 0);
    if (got == 0 || got == -1) break;
    HandleMessage(message);
  }
  DropQuitRequests();
}

void ProcessMessages(Application& app) {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      // The loop that runs the program is to end; it sees that when this handler returns.
      if (!app.Terminated()) app.Terminate();
      return;
    }
    HandleMessage(message);
  }
}

void Terminate(Application&) {
  // Wakes the loops that wait for a message; each of them ends as it sees the application terminated.
  // With no loop running there is nobody to wake, and a request left waiting would end a later loop.
  if (B().loops > 0) PostQuitMessage(0);
}

void RunModal(Form& form) {
  if (!form.Showing()) return;
  Application& app = form.App();
  ModalFrame frame{&form, {}};
  const HWND self = FormHwnd(form);
  for (Form* other : app.Forms()) {
    const HWND window = FormHwnd(*other);
    if (other == &form || window == nullptr || window == self || !IsWindowEnabled(window)) continue;
    EnableWindow(window, FALSE);
    frame.disabled.push_back(window);
  }
  B().modal.push_back(std::move(frame));
  const LoopScope loop;
  MSG message;
  while (form.Showing() && !app.Terminated()) {
    const BOOL got = GetMessageA(&message, nullptr, 0, 0);
    if (got == 0 || got == -1) {
      if (!app.Terminated()) app.Terminate();
      break;
    }
    HandleMessage(message);
  }
  EndModal(form);
  auto& modal = B().modal;
  for (auto it = modal.rbegin(); it != modal.rend(); ++it) {
    if (it->form == &form) {
      modal.erase(std::next(it).base());
      break;
    }
  }
}

void ShowErrorBox(const std::string& caption, const std::string& text) {
  const HWND owner = GetActiveWindow();
  MessageBoxA(owner, text.c_str(), caption.c_str(),
              MB_OK | MB_ICONSTOP | (owner == nullptr ? MB_TASKMODAL : 0));
}

void SetApplicationTitle(Application&, const std::string& title) {
  SetWindowTextA(ApplicationWindow(), title.c_str());
}

int ScreenPixelsPerInch() {
  const WindowDc screen(nullptr);
  const int pixelsPerInch = GetDeviceCaps(screen.Get(), LOGPIXELSY);
  return pixelsPerInch > 0 ? pixelsPerInch : 96;
}

}  // namespace native
}  // namespace ui
