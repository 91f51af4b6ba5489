// The application window, scrolling forms, the keyboard focus and the save dialog's type change of the
// Win32 backend, checked through the system's own calls; a timer of the test's thread acts as the user
// where a dialog runs its own loop. Runs under Wine on an X display.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/ui/ScreenOverlay.h"
#include "platform/ui/Ui.h"
#include "platform/ui/WindowSystem.h"
#include "platform/win32/UiWin32.h"
#include "tests/support/TestSupport.h"

// After UiWin32.h, which brings <windows.h>.
#include <dlgs.h>

namespace {

using namespace ui;

HWND H(const Component& component) { return static_cast<HWND>(component.Native()->WindowHandle()); }
HWND H(os::WindowHandle window) { return reinterpret_cast<HWND>(static_cast<std::intptr_t>(window)); }
LONG Style(HWND hwnd) { return GetWindowLongA(hwnd, GWL_STYLE); }
LONG ExStyle(HWND hwnd) { return GetWindowLongA(hwnd, GWL_EXSTYLE); }
bool Topmost(HWND hwnd) { return (ExStyle(hwnd) & WS_EX_TOPMOST) != 0; }

std::string TextOf(HWND hwnd) {
  char text[1024] = {};
  GetWindowTextA(hwnd, text, sizeof(text));
  return text;
}

// A child window's rectangle in its parent's client coordinates.
Rect ChildRect(HWND hwnd) {
  RECT r;
  GetWindowRect(hwnd, &r);
  MapWindowPoints(nullptr, GetParent(hwnd), reinterpret_cast<POINT*>(&r), 2);
  return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

TBitmap Picture(int width, int height) {
  TBitmap bitmap;
  bitmap.SetSize(width, height);
  return bitmap;
}

// Runs the loop until the condition holds (true) or 20 seconds have passed (false); with no condition,
// a fifth of a second, which lets Wine's late activations arrive before a test looks at the order.
bool ProcessUntil(Application& app, const std::function<bool()>& condition = {}) {
  const DWORD start = GetTickCount();
  while (!condition || !condition()) {
    if (GetTickCount() - start > (condition ? 20000u : 200u)) return !condition;
    app.ProcessMessages();
    Sleep(5);
  }
  return true;
}

bool InFront(HWND front, HWND back) {
  for (HWND walk = GetTopWindow(nullptr); walk != nullptr; walk = GetWindow(walk, GW_HWNDNEXT)) {
    if (walk == back) return false;
    if (walk == front) return true;
  }
  return false;
}

// Whether a capture tool that lists the visible, titled top-level windows of some size would list it.
bool Listed(os::WindowHandle window) {
  const auto rect = os::WindowRect(window);
  return os::WindowVisible(window) && !os::WindowTitle(window).empty() && rect && !rect->Empty();
}

// A window of another program, as far as the window system is concerned, that the user can raise.
struct OtherWindow {
  OtherWindow() {
    WNDCLASSA registered{};
    registered.lpfnWndProc = DefWindowProcA;
    registered.hInstance = GetModuleHandleA(nullptr);
    registered.lpszClassName = "Win32FormsOther";
    RegisterClassA(&registered);
    hwnd = CreateWindowExA(0, registered.lpszClassName, "Another program", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                           150, 150, 500, 400, nullptr, nullptr, registered.hInstance, nullptr);
  }
  ~OtherWindow() { DestroyWindow(hwnd); }
  void Raise() const {
    SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    SetForegroundWindow(hwnd);
  }
  HWND hwnd = nullptr;
};

TEST(Win32Forms, TheApplicationWindowOwnsTheFormsAndKeepsThemInFrontWhileTopmost) {
  Application app;
  app.SetTitle("Snapora");
  Form main(app, {.caption = "Snapora Version 1", .bounds = {100, 80, 500, 400}});
  Form dialog(app, {.caption = "Snapora Version 1",
                    .clientWidth = 420,
                    .clientHeight = 145,
                    .borderStyle = BorderStyle::Dialog,
                    .position = FormPosition::ScreenCenter});
  const os::WindowHandle application = app.Handle();
  // A hidden top-level tool window; it owns the main form, which owns the others and has the task-bar
  // button.
  EXPECT_EQ(GetAncestor(H(application), GA_PARENT), GetDesktopWindow());
  EXPECT_NE(ExStyle(H(application)) & WS_EX_TOOLWINDOW, 0);
  EXPECT_EQ(GetWindow(H(main), GW_OWNER), H(application));
  EXPECT_NE(ExStyle(H(main)) & WS_EX_APPWINDOW, 0);
  EXPECT_EQ(GetWindow(H(dialog), GW_OWNER), H(main));
  main.Show();
  ASSERT_TRUE(ProcessUntil(app, [&] { return GetActiveWindow() == H(main); }));

  // Its placement writes back; shown, it keeps no size, is never listed and takes no activation, and
  // activated all the same it hands the activation back.
  const auto placement = os::GetPlacement(application);
  ASSERT_TRUE(placement);
  os::WindowPlacement sized = *placement;
  sized.normal = {10, 10, 300, 200};
  EXPECT_TRUE(os::SetPlacement(application, sized));
  os::ShowWindowAs(application, os::show::Restore);
  ProcessUntil(app);
  EXPECT_TRUE(os::WindowVisible(application));
  EXPECT_TRUE(os::WindowRect(application)->Empty());
  EXPECT_TRUE(ProcessUntil(app, [&] { return GetActiveWindow() == H(main); }));
  SetActiveWindow(H(application));
  EXPECT_TRUE(ProcessUntil(app, [&] { return GetActiveWindow() == H(main); }));

  // The file-name dialog's calls as it shows and closes; meanwhile the user raises another program.
  const OtherWindow other;
  other.Raise();
  ProcessUntil(app);
  ASSERT_TRUE(InFront(other.hwnd, H(main)));
  dialog.OnShow = [&] {
    os::SetWindowZOrder(application, os::ZOrder::Topmost, true);
    os::RedrawNow(application);
    os::ShowWindowAs(application, os::show::Show);
    os::ShowWindowAs(application, os::show::Restore);
  };
  dialog.OnClose = [&] { os::SetWindowZOrder(application, os::ZOrder::NoTopmost, true); };
  std::vector<bool> seen;
  Timer look;
  look.Create(main, {.interval = 50});
  look.OnTimer = [&] {
    look.SetEnabled(false);
    other.Raise();
    ProcessUntil(app);
    seen = {Topmost(H(application)),
            Topmost(H(main)),
            Topmost(H(dialog)),
            InFront(H(dialog), other.hwnd),
            InFront(H(main), other.hwnd),
            Listed(application),
            GetActiveWindow() == H(application)};
    dialog.Close();
  };
  dialog.ShowModal();
  EXPECT_EQ(seen, (std::vector<bool>{true, true, true, true, true, false, false}));
  // Normal again: the other program's window comes in front when raised.
  EXPECT_FALSE(Topmost(H(application)) || Topmost(H(main)) || Topmost(H(dialog)));
  other.Raise();
  ProcessUntil(app);
  EXPECT_TRUE(InFront(other.hwnd, H(main)));

  // A form shown while the application window is topmost is topmost from the start.
  dialog.OnShow = dialog.OnClose = nullptr;
  os::SetWindowZOrder(application, os::ZOrder::Topmost, true);
  dialog.Show();
  other.Raise();
  ProcessUntil(app);
  EXPECT_TRUE(InFront(H(dialog), other.hwnd));
  os::SetWindowZOrder(application, os::ZOrder::NoTopmost, true);
  EXPECT_FALSE(Topmost(H(dialog)));
  dialog.Hide();
}

TEST(Win32Forms, AViewerScrollsItsPictureAndFocusGoesWhereTheProgramPutsIt) {
  Application app;
  Form viewer(
      app,
      {.caption = "Viewer", .bounds = {217, 165, 696, 480}, .minimizeButton = false, .autoScroll = true});
  Image image;
  image.Create(viewer, {.bounds = {0, 0, 105, 105}, .autoSize = true});
  Edit field;
  field.Create(viewer, {.bounds = {0, 0, 50, 21}, .tabOrder = 0});
  const HWND hwnd = H(viewer);
  EXPECT_EQ(Style(hwnd) & (WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX), WS_SYSMENU | WS_MAXIMIZEBOX);
  // Maximised and given its picture while hidden, as the viewer is; the focus asked for before the form
  // shows goes there when it does.
  viewer.SetWindowState(WindowState::Maximized);
  image.SetPicture(Picture(2000, 1500));
  field.SetFocus();
  viewer.Show();
  EXPECT_TRUE(IsZoomed(hwnd));
  EXPECT_EQ(viewer.GetWindowState(), WindowState::Maximized);
  EXPECT_TRUE(ProcessUntil(app, [&] { return GetFocus() == H(field); }));
  EXPECT_EQ(viewer.FocusedControl(), &field);
  EXPECT_EQ(Style(hwnd) & (WS_HSCROLL | WS_VSCROLL), WS_HSCROLL | WS_VSCROLL);
  RECT client;
  GetClientRect(hwnd, &client);
  EXPECT_EQ(viewer.ClientWidth(), client.right) << "the client area without the bars";
  SCROLLINFO info{};
  info.cbSize = sizeof(info);
  info.fMask = SIF_ALL;
  ASSERT_TRUE(GetScrollInfo(hwnd, SB_HORZ, &info));
  EXPECT_EQ(info.nMax, 1999);
  EXPECT_EQ(static_cast<LONG>(info.nPage), client.right);
  // The bars' arrows, pages and ends and the wheel move the picture; the class learns the position.
  SendMessageA(hwnd, WM_HSCROLL, SB_LINEDOWN, 0);
  EXPECT_EQ(viewer.HorzScrollPos(), 16);
  EXPECT_EQ(GetScrollPos(hwnd, SB_HORZ), 16);
  EXPECT_EQ(ChildRect(H(image)), (Rect{-16, 0, 2000, 1500}));
  SendMessageA(hwnd, WM_VSCROLL, SB_PAGEDOWN, 0);
  EXPECT_EQ(viewer.VertScrollPos(), std::min<int>(client.bottom, 1500 - client.bottom));
  SendMessageA(hwnd, WM_VSCROLL, SB_BOTTOM, 0);
  EXPECT_EQ(ChildRect(H(image)).top, client.bottom - 1500);
  UINT lines = 3;
  SystemParametersInfoA(SPI_GETWHEELSCROLLLINES, 0, &lines, 0);
  SendMessageA(hwnd, WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), MAKELPARAM(400, 400));
  EXPECT_EQ(viewer.VertScrollPos(), 1500 - client.bottom - static_cast<int>(lines) * 16);
  EXPECT_EQ(image.Bounds(), (Rect{0, 0, 2000, 1500})) << "the control keeps its bounds";

  // Restored and maximised again, the bars measure the client area, and the position stays within the
  // range.
  viewer.SetWindowState(WindowState::Normal);
  ProcessUntil(app);
  EXPECT_FALSE(IsZoomed(hwnd));
  GetClientRect(hwnd, &client);
  ASSERT_TRUE(GetScrollInfo(hwnd, SB_VERT, &info));
  EXPECT_EQ(static_cast<LONG>(info.nPage), client.bottom);
  SendMessageA(hwnd, WM_VSCROLL, SB_BOTTOM, 0);
  EXPECT_EQ(viewer.VertScrollPos(), 1500 - client.bottom);
  viewer.SetWindowState(WindowState::Maximized);
  ProcessUntil(app);
  GetClientRect(hwnd, &client);
  EXPECT_EQ(viewer.VertScrollPos(), 1500 - client.bottom);
  EXPECT_EQ(ChildRect(H(image)).top, client.bottom - 1500);
  // A picture that fits takes the bars away.
  image.SetPicture(Picture(100, 80));
  EXPECT_EQ(Style(hwnd) & (WS_HSCROLL | WS_VSCROLL), 0);
  EXPECT_EQ(ChildRect(H(image)), (Rect{0, 0, 100, 80}));
  viewer.Hide();
}

// ---- The save dialog --------------------------------------------------------------------------------

BOOL CALLBACK CollectBox(HWND hwnd, LPARAM found) {
  char name[16] = {};
  GetClassNameA(hwnd, name, sizeof(name));
  if (std::string(name) == "#32770" && IsWindowVisible(hwnd))
    reinterpret_cast<std::vector<HWND>*>(found)->push_back(hwnd);
  return TRUE;
}

// The visible dialog box of this thread that has the control, or null.
HWND BoxWith(int control) {
  std::vector<HWND> boxes;
  EnumThreadWindows(GetCurrentThreadId(), &CollectBox, reinterpret_cast<LPARAM>(&boxes));
  for (const HWND box : boxes) {
    if (GetDlgItem(box, control) != nullptr) return box;
  }
  return nullptr;
}

void Press(HWND box, int button) {
  PostMessageA(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(box, button)));
}

// The user's keys on the file-type list: the next or the previous entry.
void PickType(HWND box, WPARAM key) {
  SendMessageA(GetDlgItem(box, cmb1), WM_KEYDOWN, key, 0);
  SendMessageA(GetDlgItem(box, cmb1), WM_KEYUP, key, 0);
}

// Acts as the user: a timer of the thread runs the steps in order, each until it says it is done. After
// ten seconds every dialog box left is cancelled, so that no test hangs.
class User {
 public:
  explicit User(std::vector<std::function<bool()>> steps) : steps_(std::move(steps)) {
    self_ = this;
    start_ = GetTickCount();
    timer_ = SetTimer(nullptr, 0, 30, &User::Tick);
  }
  ~User() {
    KillTimer(nullptr, timer_);
    self_ = nullptr;
  }
  User(const User&) = delete;
  User& operator=(const User&) = delete;
  std::size_t Done() const { return next_; }

 private:
  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    if (self_ == nullptr || std::exchange(self_->busy_, true)) return;
    if (GetTickCount() - self_->start_ > 10000) {
      for (const int control : {cmb1, IDNO}) {
        if (const HWND box = BoxWith(control)) Press(box, IDCANCEL);
      }
    } else if (self_->next_ < self_->steps_.size() && self_->steps_[self_->next_]()) {
      ++self_->next_;
    }
    self_->busy_ = false;
  }

  static inline User* self_ = nullptr;
  std::vector<std::function<bool()>> steps_;
  std::size_t next_ = 0;
  DWORD start_ = 0;
  UINT_PTR timer_ = 0;
  bool busy_ = false;
};

// WM_DPICHANGED as the system sends it when the window reaches a monitor of 144 pixels per inch, and
// again when it comes back: the form takes the suggested rectangle and its controls the places made for
// that resolution, exactly those of before once back.
TEST(Win32Forms, AFormFollowsTheResolutionOfItsMonitor) {
  Application app;
  Form form(app, {.caption = "Scaled", .bounds = {100, 80, 500, 400}});
  Panel top;
  top.Create(form, {.align = Align::Top, .height = 41, .borderWidth = 3});
  Edit field;
  field.Create(top, {.bounds = {10, 7, 121, 21}});
  form.Show();
  ProcessUntil(app);
  const Rect before = ChildRect(H(field));
  const int topHeight = top.Height();
  struct Step {
    int pixelsPerInch;
    RECT suggested;
    Rect field;
    int topHeight;
  };
  for (const Step& step : {Step{144, {40, 30, 790, 630}, {15, 11, 182, 32}, 62},
                           Step{96, {100, 80, 600, 480}, before, topHeight}}) {
    SCOPED_TRACE(step.pixelsPerInch);
    SendMessageA(H(form), WM_DPICHANGED, MAKEWPARAM(step.pixelsPerInch, step.pixelsPerInch),
                 reinterpret_cast<LPARAM>(&step.suggested));
    EXPECT_EQ(form.PixelsPerInch(), step.pixelsPerInch);
    RECT shown;
    GetWindowRect(H(form), &shown);
    EXPECT_EQ((Rect{shown.left, shown.top, shown.right - shown.left, shown.bottom - shown.top}),
              (Rect{step.suggested.left, step.suggested.top, step.suggested.right - step.suggested.left,
                    step.suggested.bottom - step.suggested.top}));
    EXPECT_EQ(ChildRect(H(field)), step.field);
    EXPECT_EQ(top.Height(), step.topHeight);
    RECT client;
    GetClientRect(H(form), &client);
    EXPECT_EQ(top.Width(), client.right);
  }
}

// The window as it shows: where the desktop window manager reports no frame bounds (Wine answers
// E_NOTIMPL) the window rectangle, else a part of it; nothing for a window that is gone. The virtual
// screen holds the primary screen, and is it with one monitor.
TEST(Win32Forms, WindowFramesAndTheVirtualScreen) {
  os::WindowHandle window = 0;
  {
    const OtherWindow other;
    window = static_cast<os::WindowHandle>(reinterpret_cast<std::intptr_t>(other.hwnd));
    const std::optional<os::ScreenRect> frame = os::WindowFrameRect(window), rect = os::WindowRect(window);
    ASSERT_TRUE(frame && rect);
    EXPECT_FALSE(frame->Empty());
    EXPECT_TRUE(frame->left >= rect->left && frame->top >= rect->top && frame->right <= rect->right &&
                frame->bottom <= rect->bottom);
    if (GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr) {
      EXPECT_EQ(*frame, *rect);
    }
  }
  EXPECT_FALSE(os::WindowFrameRect(window));
  const os::ScreenRect screens = os::VirtualScreen();
  const os::ScreenRect primary{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  EXPECT_TRUE(screens.left <= 0 && screens.top <= 0 && screens.right >= primary.right &&
              screens.bottom >= primary.bottom);
  if (GetSystemMetrics(SM_CMONITORS) == 1) {
    EXPECT_EQ(screens, primary);
  }
}

TEST(Win32Forms, TheSaveDialogsTypeChangeReadsAndWritesItsNameBox) {
  Application app;
  Form form(app, {.caption = "Viewer", .bounds = {100, 100, 400, 300}});
  form.Show();
  testing_support::TempDir folder;
  testing_support::WriteFileBytes(folder.Path() / "exists.bmp", "keep");
  SaveDialog dialog;
  dialog.Create(form, {.filter = "BMP|*.bmp|JPG|*.jpg", .defaultExt = "bmp", .overwritePrompt = true});
  dialog.SetFileName(folder.File("start.bmp"));
  std::vector<std::pair<int, std::string>> changes;
  // As the viewer's handler does it: the name in the dialog with the extension of the type picked.
  dialog.OnTypeChange = [&] {
    const std::string path = dialog.DialogFilePath();
    changes.emplace_back(dialog.FilterIndex(), path);
    const std::string name = path.substr(path.find_last_of('\\') + 1);
    dialog.SetDialogFileNameText(name.substr(0, name.find_last_of('.')) +
                                 (dialog.FilterIndex() == 1 ? ".bmp" : ".jpg"));
  };
  // (The name box is edt1 or, as in Wine's dialog, the combo box cmb13.)
  const auto nameBox = [](HWND box) {
    return GetDlgItem(box, edt1) != nullptr ? GetDlgItem(box, edt1) : GetDlgItem(box, cmb13);
  };
  std::vector<std::string> names;
  HWND box = nullptr;
  {
    const User user({[&] {
      if ((box = BoxWith(cmb1)) == nullptr) return false;
      SetWindowTextA(nameBox(box), "shot.bmp");
      PickType(box, VK_DOWN);
      names.push_back(TextOf(nameBox(box)));
      SetWindowTextA(nameBox(box), "");
      PickType(box, VK_UP);
      names.push_back(TextOf(nameBox(box)));
      SetWindowTextA(nameBox(box), "shot.bmp");
      PickType(box, VK_DOWN);
      Press(box, IDOK);
      return true;
    }});
    ASSERT_TRUE(dialog.Execute());
  }
  // During the call the filter index is the entry picked and the name the typed one's full path; an
  // empty box reports the folder, whose name is never taken for the file's.
  EXPECT_EQ(changes, (std::vector<std::pair<int, std::string>>{
                         {2, folder.File("shot.bmp")}, {1, folder.File("")}, {2, folder.File("shot.bmp")}}));
  EXPECT_EQ(names, (std::vector<std::string>{"shot.jpg", ".bmp"}));
  EXPECT_EQ(dialog.FileName(), folder.File("shot.jpg"));
  EXPECT_EQ(dialog.FilterIndex(), 2);
  EXPECT_EQ(dialog.DialogFilePath(), "") << "no dialog to ask outside the call";

  // An existing file: the dialog asks, No keeps it open; a type picked and then cancelled is no choice.
  bool stillOpen = false;
  const User user({[&] {
                     if ((box = BoxWith(cmb1)) == nullptr) return false;
                     SetWindowTextA(nameBox(box), "exists.bmp");
                     Press(box, IDOK);
                     return true;
                   },
                   [&] {
                     const HWND question = BoxWith(IDNO);
                     if (question == nullptr) return false;
                     Press(question, IDNO);
                     return true;
                   },
                   [&] {
                     if (BoxWith(IDNO) != nullptr) return false;
                     stillOpen = BoxWith(cmb1) == box;
                     PickType(box, VK_UP);
                     Press(box, IDCANCEL);
                     return true;
                   }});
  EXPECT_FALSE(dialog.Execute());
  EXPECT_EQ(user.Done(), 3u);
  EXPECT_TRUE(stillOpen);
  EXPECT_EQ(dialog.FilterIndex(), 2);
  EXPECT_EQ(dialog.FileName(), folder.File("shot.jpg"));
  EXPECT_EQ(testing_support::ReadFileText(folder.Path() / "exists.bmp"), "keep");
}

// Whether the display shows the picture over the area, pixel for pixel.
bool Shows(const os::ScreenRect& area, const TBitmap& picture) {
  const TBitmap grab = os::GrabDisplay(area.left, area.top, area.Width(), area.Height());
  if (grab.Width() != picture.Width() || grab.Height() != picture.Height()) return false;
  for (int y = 0; y < picture.Height(); ++y) {
    for (int x = 0; x < picture.Width(); ++x) {
      if (grab.Pixel(x, y) != picture.Pixel(x, y)) return false;
    }
  }
  return true;
}

void SendKey(WORD key, DWORD flags) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = key;
  input.ki.dwFlags = flags;
  SendInput(1, &input, sizeof(input));
}

// The overlay over a part of the screen and in front of the program's form, driven by the system's own
// input: it shows the picture pixel for pixel, the pointer and the keys reach the handlers in picture
// coordinates (negative ones outside the area while the button is held), a part invalidated is painted
// again, and Close ends Run, as a request to end the program does (which the loop around it still sees).
TEST(Win32Forms, TheScreenOverlayShowsItsPictureAndPassesTheUserOnInPictureCoordinates) {
  Application app;
  Form form(app, {.caption = "Under the overlay", .bounds = {0, 0, 400, 300}});
  form.Show();
  ASSERT_TRUE(ProcessUntil(app, [&] { return GetActiveWindow() == H(form); }));
  const os::ScreenRect area{50, 60, 250, 210};
  // Every pixel of a colour of its own: a picture moved, turned over or cut by one pixel differs.
  TBitmap picture = Picture(area.Width(), area.Height());
  for (int y = 0; y < picture.Height(); ++y) {
    for (int x = 0; x < picture.Width(); ++x) picture.SetPixel(x, y, RGB(x, y, 255 - x));
  }
  ScreenOverlay overlay(app);
  std::vector<std::string> mouse, keys;
  const auto record = [&](const char* what) {
    return
        [&mouse, what](int x, int y) { mouse.push_back(what + std::to_string(x) + " " + std::to_string(y)); };
  };
  overlay.OnMouseDown = record("down ");
  overlay.OnMouseMove = record("move ");
  overlay.OnMouseUp = record("up ");
  overlay.OnKeyDown = [&](int key, bool shift) { keys.push_back(std::to_string(key) + (shift ? "+" : "")); };
  HWND window = nullptr;
  Timer act;
  act.Create(form, {.interval = 50});
  // Stops at the first input that would not reach the overlay: the form would get it, and a press on its
  // title bar would wait for the button to come up.
  const auto drive = [&] {
    window = H(overlay);
    RECT bounds;
    GetWindowRect(window, &bounds);
    ASSERT_EQ(os::ScreenRect(bounds.left, bounds.top, bounds.right, bounds.bottom), area);
    ASSERT_TRUE(Topmost(window));
    EXPECT_TRUE(ProcessUntil(app, [&] { return Shows(area, overlay.Picture()); }));

    // The pointer put onto a pixel, then nudged by the mouse (with or without the left button).
    struct Step {
      int x, y;
      DWORD button;
      std::string seen;
    };
    for (const Step& step :
         {Step{10, 20, MOUSEEVENTF_LEFTDOWN, "down 10 20"}, Step{199, 149, 0, "move 199 149"},
          Step{-7, 160, 0, "move -7 160"}, Step{-7, 160, MOUSEEVENTF_LEFTUP, "up -7 160"}}) {
      SCOPED_TRACE(step.seen);
      overlay.MovePointer(step.x, step.y);
      POINT at{};
      ASSERT_TRUE(GetCursorPos(&at) && at.x == area.left + step.x && at.y == area.top + step.y);
      INPUT input{};
      input.type = INPUT_MOUSE;
      input.mi.dwFlags = MOUSEEVENTF_MOVE | step.button;
      SendInput(1, &input, sizeof(input));
      EXPECT_TRUE(ProcessUntil(app, [&] { return !mouse.empty() && mouse.back() == step.seen; }));
      if (step.button == MOUSEEVENTF_LEFTDOWN) {
        EXPECT_EQ(GetCursor(), LoadCursorA(nullptr, MAKEINTRESOURCEA(32515) /* IDC_CROSS */));
      }
    }
    EXPECT_EQ(GetCapture(), nullptr);
    SendKey(VK_ESCAPE, 0);
    SendKey(VK_ESCAPE, KEYEVENTF_KEYUP);
    SendKey(VK_SHIFT, 0);
    SendKey(VK_RIGHT, KEYEVENTF_EXTENDEDKEY);
    SendKey(VK_RIGHT, KEYEVENTF_EXTENDEDKEY | KEYEVENTF_KEYUP);
    SendKey(VK_SHIFT, KEYEVENTF_KEYUP);
    EXPECT_TRUE(ProcessUntil(app, [&] { return keys.size() >= 3; }));

    overlay.Picture().FillRect(20, 30, 40, 25, clSilver);
    overlay.Invalidate({20, 30, 60, 55});
    EXPECT_TRUE(ProcessUntil(app, [&] { return Shows(area, overlay.Picture()); }));
  };
  act.OnTimer = [&] {
    act.SetEnabled(false);
    drive();
    overlay.Close();
  };
  overlay.Run(area, picture);
  EXPECT_FALSE(overlay.Running());
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(keys, (std::vector<std::string>{"27", "16+", "39+"}));
  EXPECT_TRUE(ProcessUntil(app, [&] { return GetActiveWindow() == H(form); })) << "the form active again";

  act.OnTimer = [&] {
    act.SetEnabled(false);
    PostQuitMessage(7);
  };
  act.SetEnabled(true);
  overlay.Run(area, picture);
  MSG quit{};
  EXPECT_TRUE(PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) && quit.wParam == 7);
}

}  // namespace
