// The Win32 backend of the window classes, checked through the system's own calls: the windows, menus,
// list views and dialogs must show what the classes hold, and what the user does must reach the
// classes exactly once. Runs under Wine on an X display.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "platform/ui/Ui.h"
#include "platform/win32/UiWin32.h"
#include "tests/support/TestSupport.h"
#include "tests/win32/MenuKeys.h"

namespace {

// Xvfb runs no window manager, and Wine waits two seconds for one whenever a window it leaves to the
// manager is hidden or destroyed. Under Wine this executable's windows are therefore not left to a
// window manager: a Wine setting for this executable alone, which counts from the executable's next
// start on (the display driver has read its settings by now). When the setting is new, the executable
// starts itself once more and hands that run's result on.
const bool kWindowsUnmanagedUnderWine = [] {
  if (GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") == nullptr) return false;
  char path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return false;
  const std::string exe(path);
  const std::string key =
      "Software\\Wine\\AppDefaults\\" + exe.substr(exe.find_last_of("\\/") + 1) + "\\X11 Driver";
  HKEY handle = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr,
                      &handle, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  const bool present =
      RegQueryValueExA(handle, "Managed", nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
  if (!present) RegSetValueExA(handle, "Managed", 0, REG_SZ, reinterpret_cast<const BYTE*>("N"), 2);
  RegCloseKey(handle);
  if (present || GetEnvironmentVariableA("WIN32UI_TEST_RESTARTED", nullptr, 0) != 0) return present;
  SetEnvironmentVariableA("WIN32UI_TEST_RESTARTED", "1");
  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  std::string commandLine = GetCommandLineA();
  if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                      &process)) {
    return false;  // runs here, only slower
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 1;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  ExitProcess(code);
}();

using namespace ui;
using ui::win32::MenuCommandOf;
using ui::win32::MenuHandleOf;

HWND H(const Component& component) { return static_cast<HWND>(component.Native()->WindowHandle()); }

std::string WindowText(HWND hwnd) {
  char text[1024] = {};
  GetWindowTextA(hwnd, text, sizeof(text));
  return text;
}

std::string ClassOf(HWND hwnd) {
  char name[256] = {};
  GetClassNameA(hwnd, name, sizeof(name));
  return name;
}

SIZE ClientSize(HWND hwnd) {
  RECT client;
  GetClientRect(hwnd, &client);
  return {client.right, client.bottom};
}

Rect ScreenRect(HWND hwnd) {
  RECT r;
  GetWindowRect(hwnd, &r);
  return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

// A child window's rectangle in its parent's client coordinates.
Rect ChildRect(HWND hwnd) {
  RECT r;
  GetWindowRect(hwnd, &r);
  MapWindowPoints(nullptr, GetParent(hwnd), reinterpret_cast<POINT*>(&r), 2);
  return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

std::string MenuText(HMENU menu, UINT position) {
  char text[256] = {};
  GetMenuStringA(menu, position, text, sizeof(text), MF_BYPOSITION);
  return text;
}

std::vector<std::string> MenuTexts(HMENU menu) {
  std::vector<std::string> texts;
  for (int i = 0; i < GetMenuItemCount(menu); ++i) {
    MENUITEMINFOA info{};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_FTYPE;
    GetMenuItemInfoA(menu, i, TRUE, &info);
    texts.push_back((info.fType & MFT_SEPARATOR) != 0 ? "-" : MenuText(menu, i));
  }
  return texts;
}

LOGFONTA FontOf(HWND hwnd) {
  LOGFONTA font{};
  const auto handle = reinterpret_cast<HFONT>(SendMessageA(hwnd, WM_GETFONT, 0, 0));
  GetObjectA(handle, sizeof(font), &font);
  return font;
}

// The colour of a pixel of a window as the screen shows it.
COLORREF PixelOf(HWND hwnd, int x, int y) {
  UpdateWindow(hwnd);
  const win32::WindowDc dc(hwnd);
  return GetPixel(dc.Get(), x, y);
}

COLORREF BrushColor(LRESULT brush) {
  LOGBRUSH logBrush{};
  GetObjectA(reinterpret_cast<HBRUSH>(brush), sizeof(logBrush), &logBrush);
  return logBrush.lbColor;
}

TBitmap Filled(int width, int height, TColor color) {
  TBitmap bitmap;
  bitmap.SetSize(width, height);
  bitmap.Fill(color);
  return bitmap;
}

// Runs the backend's loop until the condition holds or 20 seconds have passed.
bool ProcessUntil(Application& app, const std::function<bool()>& condition) {
  const DWORD start = GetTickCount();
  while (!condition()) {
    // Generous: the Wine test executables run side by side on a shared machine.
    if (GetTickCount() - start > 20000) return false;
    app.ProcessMessages();
    Sleep(5);
  }
  return true;
}

// Answers the dialog boxes of this thread as a user would: a timer of the thread looks for a dialog box
// that shows, records its caption and texts, runs an optional step on it and presses a button. A box
// with no answer waiting is cancelled, so that no test can hang on it.
class DialogAnswerer {
 public:
  struct Box {
    std::string caption;
    std::vector<std::string> texts;
    HICON icon = nullptr;
  };

  DialogAnswerer() {
    self_ = this;
    timer_ = SetTimer(nullptr, 0, 30, &DialogAnswerer::Tick);
  }
  ~DialogAnswerer() {
    KillTimer(nullptr, timer_);
    self_ = nullptr;
  }
  DialogAnswerer(const DialogAnswerer&) = delete;
  DialogAnswerer& operator=(const DialogAnswerer&) = delete;

  void Answer(int button, std::function<void(HWND)> step = {}) {
    answers_.push_back({button, std::move(step)});
  }
  const std::vector<Box>& Boxes() const { return boxes_; }

 private:
  struct Reply {
    int button;
    std::function<void(HWND)> step;
  };

  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    if (self_ != nullptr) self_->Look();
  }

  static BOOL CALLBACK FindBox(HWND hwnd, LPARAM found) {
    if (ClassOf(hwnd) == "#32770" && IsWindowVisible(hwnd) && IsWindowEnabled(hwnd)) {
      *reinterpret_cast<HWND*>(found) = hwnd;
      return FALSE;
    }
    return TRUE;
  }

  static BOOL CALLBACK CollectTexts(HWND hwnd, LPARAM box) {
    auto& record = *reinterpret_cast<Box*>(box);
    if (ClassOf(hwnd) == "Static") {
      if (const auto icon = reinterpret_cast<HICON>(SendMessageA(hwnd, STM_GETICON, 0, 0)))
        record.icon = icon;
      const std::string text = WindowText(hwnd);
      if (!text.empty()) record.texts.push_back(text);
    }
    return TRUE;
  }

  void Look() {
    HWND box = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), &DialogAnswerer::FindBox, reinterpret_cast<LPARAM>(&box));
    // A box is answered once (its handle may come again for the next box, its mark not).
    if (box == nullptr || GetPropA(box, "answered") != nullptr) return;
    SetPropA(box, "answered", reinterpret_cast<HANDLE>(1));
    Box record;
    record.caption = WindowText(box);
    EnumChildWindows(box, &DialogAnswerer::CollectTexts, reinterpret_cast<LPARAM>(&record));
    boxes_.push_back(record);
    Reply reply{IDCANCEL, {}};
    if (!answers_.empty()) {
      reply = std::move(answers_.front());
      answers_.erase(answers_.begin());
    }
    if (reply.step) reply.step(box);
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(reply.button, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(box, reply.button)));
  }

  static inline DialogAnswerer* self_ = nullptr;
  UINT_PTR timer_ = 0;
  std::vector<Reply> answers_;
  std::vector<Box> boxes_;
};

BOOL CALLBACK FindTooltip(HWND hwnd, LPARAM found) {
  if (ClassOf(hwnd) == TOOLTIPS_CLASSA) *reinterpret_cast<HWND*>(found) = hwnd;
  return TRUE;
}

int CALLBACK FaceFound(const LOGFONTA*, const TEXTMETRICA*, DWORD, LPARAM found) {
  *reinterpret_cast<bool*>(found) = true;
  return 0;
}

// A scalable face the system has: Arial, or the free face with its metrics.
std::string InstalledFace() {
  const win32::WindowDc screen(nullptr);
  LOGFONTA wanted{};
  wanted.lfCharSet = DEFAULT_CHARSET;
  strcpy(wanted.lfFaceName, "Arial");
  bool found = false;
  EnumFontFamiliesExA(screen.Get(), &wanted, &FaceFound, reinterpret_cast<LPARAM>(&found), 0);
  return found ? "Arial" : "Liberation Sans";
}

FormProps MainProps() {
  return {.caption = "Letrana", .bounds = {208, 129, 708, 462}, .minWidth = 690, .minHeight = 400};
}

// ---- Forms, panels, labels, buttons -------------------------------------------------------------------

TEST(Win32Ui, FormAndAlignedPanelsFollowTheClassesAndTheUser) {
  Application app;
  Form form(app, MainProps());
  Panel top, bottom;
  top.Create(form, {.align = Align::Top, .height = 153, .color = clWhite});
  bottom.Create(form, {.align = Align::Bottom, .height = 41, .bevelOuter = false});
  int resized = 0;
  form.OnResize = [&] { ++resized; };
  const HWND hwnd = H(form);

  EXPECT_EQ(WindowText(hwnd), "Letrana");
  EXPECT_EQ(ClassOf(H(top)), win32::kPanelClass);
  EXPECT_EQ(GetParent(H(top)), hwnd);
  EXPECT_EQ(ScreenRect(hwnd), (Rect{208, 129, 708, 462}));
  const DWORD style = static_cast<DWORD>(GetWindowLongA(hwnd, GWL_STYLE));
  EXPECT_EQ(style & WS_OVERLAPPEDWINDOW, static_cast<DWORD>(WS_OVERLAPPEDWINDOW));
  // The frame is what the system gives a sizeable window (8 pixels each side on a standard theme).
  RECT frame{0, 0, 0, 0};
  AdjustWindowRectEx(&frame, style, FALSE, static_cast<DWORD>(GetWindowLongA(hwnd, GWL_EXSTYLE)));
  EXPECT_EQ(ClientSize(hwnd).cx, 708 - (frame.right - frame.left));
  EXPECT_EQ(form.ClientWidth(), ClientSize(hwnd).cx);
  EXPECT_EQ(form.ClientHeight(), ClientSize(hwnd).cy);
  EXPECT_EQ(ChildRect(H(top)), (Rect{0, 0, form.ClientWidth(), 153}));
  EXPECT_EQ(ChildRect(H(bottom)), (Rect{0, form.ClientHeight() - 41, form.ClientWidth(), 41}));

  // Sized by the program.
  form.SetBounds({100, 50, 900, 500});
  EXPECT_EQ(ScreenRect(hwnd), (Rect{100, 50, 900, 500}));
  EXPECT_EQ(ChildRect(H(top)), (Rect{0, 0, ClientSize(hwnd).cx, 153}));
  EXPECT_EQ(ChildRect(H(bottom)).top, ClientSize(hwnd).cy - 41);
  EXPECT_EQ(resized, 1);

  // Sized as by the user: the class learns the bounds and lays the panels out again.
  SetWindowPos(hwnd, nullptr, 0, 0, 800, 480, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  EXPECT_EQ(form.Bounds(), (Rect{100, 50, 800, 480}));
  EXPECT_EQ(top.Width(), ClientSize(hwnd).cx);
  EXPECT_EQ(ChildRect(H(top)).width, ClientSize(hwnd).cx);
  EXPECT_EQ(ChildRect(H(bottom)).top, ClientSize(hwnd).cy - 41);
  EXPECT_EQ(resized, 2);

  // Moved only: no resize.
  SetWindowPos(hwnd, nullptr, 10, 20, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  EXPECT_EQ(form.Bounds(), (Rect{10, 20, 800, 480}));
  EXPECT_EQ(resized, 2);

  // Never smaller than the minimum, however it is sized.
  MINMAXINFO limits{};
  SendMessageA(hwnd, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
  EXPECT_EQ(limits.ptMinTrackSize.x, 690);
  EXPECT_EQ(limits.ptMinTrackSize.y, 400);
  SetWindowPos(hwnd, nullptr, 0, 0, 300, 200, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  EXPECT_EQ(ScreenRect(hwnd).width, 690);
  EXPECT_EQ(ScreenRect(hwnd).height, 400);
  EXPECT_EQ(form.Width(), 690);
  EXPECT_EQ(form.Height(), 400);

  form.SetCaption("Other");
  EXPECT_EQ(WindowText(hwnd), "Other");
  top.SetVisible(false);
  EXPECT_FALSE(IsWindowVisible(H(top)));
  EXPECT_EQ(ChildRect(H(bottom)).top, ClientSize(hwnd).cy - 41);
}

TEST(Win32Ui, ControlsShowTheirTextFontAndColours) {
  Application app;
  Form form(app, MainProps());
  Panel top;
  top.Create(form, {.align = Align::Top, .height = 153, .color = clWhite});
  Label name, sample, value;
  name.Create(top, {.bounds = {7, 5}, .caption = "Font name:"});
  const Font bold{.name = "Tahoma", .size = 9, .bold = true};
  value.Create(top, {.bounds = {207, 5}, .caption = "Font name", .font = bold});
  sample.Create(top, {.bounds = {208, 51, 409, 94}, .caption = "ABC", .autoSize = false, .color = clSilver});
  Button button;
  button.Create(top, {.bounds = {7, 62, 186, 25}, .caption = "Select font", .tabOrder = 0});

  EXPECT_EQ(ClassOf(H(name)), "Static");
  EXPECT_EQ(WindowText(H(name)), "Font name:");
  EXPECT_EQ(WindowText(H(button)), "Select font");
  EXPECT_EQ(ChildRect(H(button)), (Rect{7, 62, 186, 25}));
  EXPECT_EQ(ChildRect(H(sample)), (Rect{208, 51, 409, 94}));
  EXPECT_NE(GetWindowLongA(H(name), GWL_STYLE) & SS_NOPREFIX, 0);

  // Each control has the font of its class at the form's resolution; a label sizes itself to its text in it.
  const LOGFONTA valueFont = FontOf(H(value));
  EXPECT_STREQ(valueFont.lfFaceName, "Tahoma");
  EXPECT_EQ(valueFont.lfHeight, FontHeightForSize(9, form.PixelsPerInch()));
  EXPECT_EQ(valueFont.lfWeight, FW_BOLD);
  {
    const win32::WindowDc dc(H(value));
    const win32::DcSelection selection(dc.Get(),
                                       reinterpret_cast<HGDIOBJ>(SendMessageA(H(value), WM_GETFONT, 0, 0)));
    SIZE extent{};
    GetTextExtentPoint32A(dc.Get(), "Font name", 9, &extent);
    EXPECT_EQ(value.Width(), extent.cx);
    EXPECT_EQ(ChildRect(H(value)).width, extent.cx);
  }
  value.SetFont({.name = "Tahoma", .size = 14});
  EXPECT_EQ(FontOf(H(value)).lfHeight, FontHeightForSize(14, form.PixelsPerInch()));
  EXPECT_EQ(FontOf(H(value)).lfWeight, FW_NORMAL);
  // A control that takes its parent's font follows a change of it.
  top.SetFont({.name = "Courier New", .size = 10});
  EXPECT_STREQ(FontOf(H(name)).lfFaceName, "Courier New");
  EXPECT_STREQ(FontOf(H(button)).lfFaceName, "Courier New");
  EXPECT_STREQ(FontOf(H(value)).lfFaceName, "Tahoma");

  // A label without a colour of its own shows its parent's; one with its own shows that.
  const win32::WindowDc dc(H(name));
  auto colors = [&](const Label& label) {
    return BrushColor(SendMessageA(H(top), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc.Get()),
                                   reinterpret_cast<LPARAM>(H(label))));
  };
  EXPECT_EQ(colors(name), RGB(255, 255, 255));
  EXPECT_EQ(colors(sample), RGB(192, 192, 192));
  top.SetColor(RGB(0, 0, 255));
  EXPECT_EQ(colors(name), RGB(0, 0, 255));
  EXPECT_EQ(colors(sample), RGB(192, 192, 192));
  sample.SetColor(RGB(1, 2, 3));
  EXPECT_EQ(colors(sample), RGB(1, 2, 3));
  EXPECT_EQ(GetBkColor(dc.Get()), RGB(1, 2, 3));

  name.SetCaption("Schriftart:");
  EXPECT_EQ(WindowText(H(name)), "Schriftart:");
  button.SetEnabled(false);
  EXPECT_FALSE(IsWindowEnabled(H(button)));
}

TEST(Win32Ui, PanelsAndImagesPaintWhatTheyHold) {
  Application app;
  Form form(app, MainProps());
  form.SetDoubleBuffered(true);
  Panel top, plain;
  top.Create(form, {.align = Align::Top, .height = 153, .color = clWhite});
  plain.Create(form, {.align = Align::Bottom, .height = 41, .color = RGB(0, 128, 0), .bevelOuter = false});
  Image image;
  image.Create(top, {.bounds = {630, 53, 60, 60}, .showHint = true});
  TBitmap picture = Filled(10, 8, RGB(255, 0, 0));
  picture.SetPixel(2, 3, RGB(0, 0, 255));
  image.SetPicture(picture);
  form.Show();

  EXPECT_EQ(PixelOf(H(top), 100, 100), RGB(255, 255, 255));
  // The raised outer bevel: light at the top left, shadow at the bottom right.
  EXPECT_EQ(PixelOf(H(top), 0, 0), GetSysColor(COLOR_BTNHIGHLIGHT));
  EXPECT_EQ(PixelOf(H(top), top.Width() - 1, 152), GetSysColor(COLOR_BTNSHADOW));
  EXPECT_EQ(PixelOf(H(plain), 0, 0), RGB(0, 128, 0));
  // The picture at the top left, not stretched, top row first; the rest shows the panel.
  EXPECT_EQ(PixelOf(H(image), 0, 0), RGB(255, 0, 0));
  EXPECT_EQ(PixelOf(H(image), 2, 3), RGB(0, 0, 255));
  EXPECT_EQ(PixelOf(H(image), 9, 7), RGB(255, 0, 0));
  EXPECT_EQ(PixelOf(H(image), 30, 30), RGB(255, 255, 255));

  picture.Fill(RGB(0, 255, 0));
  image.SetPicture(picture);
  EXPECT_EQ(PixelOf(H(image), 2, 3), RGB(0, 255, 0));

  // A hint is a tool tip of the form.
  image.SetHint("Doubleclick to enlarge");
  HWND tooltip = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), &FindTooltip, reinterpret_cast<LPARAM>(&tooltip));
  ASSERT_NE(tooltip, nullptr);
  EXPECT_EQ(SendMessageA(tooltip, TTM_GETTOOLCOUNT, 0, 0), 1);
  char text[80] = {};
  TOOLINFOA tool{};
  tool.cbSize = TTTOOLINFOA_V2_SIZE;
  tool.hwnd = H(top);
  tool.uId = reinterpret_cast<UINT_PTR>(H(image));
  tool.lpszText = text;
  SendMessageA(tooltip, TTM_GETTEXTA, sizeof(text), reinterpret_cast<LPARAM>(&tool));
  EXPECT_STREQ(text, "Doubleclick to enlarge");
  image.SetHint("");
  EXPECT_EQ(SendMessageA(tooltip, TTM_GETTOOLCOUNT, 0, 0), 0);
}

TEST(Win32Ui, CheckBoxReportsEachRealChangeOnce) {
  Application app;
  Form form(app, MainProps());
  CheckBox box;
  box.Create(form, {.bounds = {8, 4, 297, 17}, .caption = "Capture client area only"});
  int clicks = 0;
  box.OnClick = [&] { ++clicks; };
  form.Show();

  EXPECT_EQ(WindowText(H(box)), "Capture client area only");
  SendMessageA(H(box), BM_CLICK, 0, 0);
  EXPECT_TRUE(box.Checked());
  EXPECT_EQ(clicks, 1);
  box.SetChecked(false);
  EXPECT_EQ(SendMessageA(H(box), BM_GETCHECK, 0, 0), BST_UNCHECKED);
  EXPECT_EQ(clicks, 2);
  box.SetChecked(false);
  EXPECT_EQ(clicks, 2);
  SendMessageA(H(box), BM_CLICK, 0, 0);
  EXPECT_EQ(SendMessageA(H(box), BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_TRUE(box.Checked());
  EXPECT_EQ(clicks, 3);
}

TEST(Win32Ui, ControlsTakeTheirTabOrderAmongTheirSiblings) {
  Application app;
  Form form(app, MainProps());
  Panel panel;
  panel.Create(form, {.align = Align::Top, .height = 153});
  Label label;
  label.Create(panel, {.bounds = {7, 5}, .caption = "Preview:"});
  Button third, first, second;
  third.Create(panel, {.bounds = {7, 121, 186, 25}, .caption = "third", .tabOrder = 2});
  first.Create(panel, {.bounds = {7, 62, 186, 25}, .caption = "first", .tabOrder = 0});
  second.Create(panel, {.bounds = {7, 92, 186, 25}, .caption = "second", .tabOrder = 1});

  std::vector<std::string> order;
  for (HWND child = GetWindow(H(panel), GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    if (ClassOf(child) == "Button") order.push_back(WindowText(child));
  }
  EXPECT_EQ(order, (std::vector<std::string>{"first", "second", "third"}));
}

// ---- Menus ------------------------------------------------------------------------------------------

TEST(Win32Ui, MenuBarMirrorsItemsCaptionsVisibilityAndState) {
  Application app;
  Form form(app, MainProps());
  MainMenu menu;
  menu.Create(form);
  MenuItem file, exportFont, generate, line, exitItem, edit, selectAll;
  file.Create(menu, "File");
  exportFont.Create(file, "Export font...\tCtrl+S");
  generate.Create(file, "Generate images");
  line.Create(file, "-");
  exitItem.Create(file, "Exit");
  edit.Create(menu, "Edit");
  selectAll.Create(edit, "Select All");
  int exits = 0, exports = 0;
  exitItem.OnClick = [&] { ++exits; };
  exportFont.OnClick = [&] { ++exports; };

  const HMENU bar = GetMenu(H(form));
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(bar, MenuHandleOf(menu));
  EXPECT_EQ(MenuTexts(bar), (std::vector<std::string>{"File", "Edit"}));
  const HMENU fileMenu = GetSubMenu(bar, 0);
  EXPECT_EQ(fileMenu, MenuHandleOf(file));
  EXPECT_EQ(MenuTexts(fileMenu),
            (std::vector<std::string>{"Export font...\tCtrl+S", "Generate images", "-", "Exit"}));
  // The menu bar takes its height from the client area.
  EXPECT_EQ(form.ClientHeight(), ClientSize(H(form)).cy);

  // Hidden items leave the menu and come back at their place.
  generate.SetVisible(false);
  EXPECT_EQ(MenuTexts(fileMenu), (std::vector<std::string>{"Export font...\tCtrl+S", "-", "Exit"}));
  exitItem.SetVisible(false);
  generate.SetVisible(true);
  EXPECT_EQ(MenuTexts(fileMenu),
            (std::vector<std::string>{"Export font...\tCtrl+S", "Generate images", "-"}));
  exitItem.SetVisible(true);
  EXPECT_EQ(MenuTexts(fileMenu),
            (std::vector<std::string>{"Export font...\tCtrl+S", "Generate images", "-", "Exit"}));
  edit.SetVisible(false);
  EXPECT_EQ(MenuTexts(bar), (std::vector<std::string>{"File"}));
  MenuItem invert;
  invert.Create(edit, "InvertSelection");
  edit.SetVisible(true);
  EXPECT_EQ(MenuTexts(bar), (std::vector<std::string>{"File", "Edit"}));
  EXPECT_EQ(MenuTexts(GetSubMenu(bar, 1)), (std::vector<std::string>{"Select All", "InvertSelection"}));

  exportFont.SetCaption("Schrift exportieren...\tStrg+S");
  EXPECT_EQ(MenuText(fileMenu, 0), "Schrift exportieren...\tStrg+S");
  exportFont.SetEnabled(false);
  EXPECT_NE(GetMenuState(fileMenu, 0, MF_BYPOSITION) & MF_GRAYED, 0u);

  // A choice of an item runs it once; a disabled one does nothing.
  SendMessageA(H(form), WM_COMMAND, MAKEWPARAM(GetMenuItemID(fileMenu, 3), 0), 0);
  EXPECT_EQ(exits, 1);
  SendMessageA(H(form), WM_COMMAND, MAKEWPARAM(MenuCommandOf(exportFont), 0), 0);
  EXPECT_EQ(exports, 0);
  exportFont.SetEnabled(true);
  EXPECT_EQ(GetMenuState(fileMenu, 0, MF_BYPOSITION) & MF_GRAYED, 0u);
  // What the dialog manager sends for Enter and Escape is no menu choice.
  SendMessageA(H(form), WM_COMMAND, MAKEWPARAM(IDOK, 0), 0);
  SendMessageA(H(form), WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0);
  EXPECT_EQ(exits + exports, 1);
}

TEST(Win32Ui, MenusAndWindowsMayGoInAnyOrder) {
  Application app;
  auto form = std::make_unique<Form>(app, MainProps());
  auto label = std::make_unique<Label>();
  auto panel = std::make_unique<Panel>();
  panel->Create(*form, {.align = Align::Top, .height = 50});
  label->Create(*panel, {.bounds = {7, 5}, .caption = "child"});
  const HWND labelWindow = H(*label);
  // The parent goes first: its child window goes with it, and the child's object stays usable.
  panel.reset();
  EXPECT_FALSE(IsWindow(labelWindow));
  label.reset();

  auto menu = std::make_unique<MainMenu>();
  auto file = std::make_unique<MenuItem>();
  auto item = std::make_unique<MenuItem>();
  menu->Create(*form);
  file->Create(*menu, "File");
  item->Create(*file, "Exit");
  const HMENU fileMenu = MenuHandleOf(*file);
  menu.reset();
  EXPECT_EQ(GetMenu(H(*form)), nullptr);
  // The item's own menu outlived the menu bar it was part of.
  EXPECT_TRUE(IsMenu(fileMenu));
  item->SetCaption("Quit");
  EXPECT_EQ(MenuTexts(fileMenu), (std::vector<std::string>{"Quit"}));
  file.reset();
  EXPECT_FALSE(IsMenu(fileMenu));
  item.reset();

  auto images = std::make_unique<ImageList>();
  auto list = std::make_unique<ListView>();
  images->Create(*form, {});
  list->Create(*form, {.align = Align::Client, .largeImages = images.get()});
  EXPECT_NE(SendMessageA(H(*list), LVM_GETIMAGELIST, LVSIL_NORMAL, 0), 0);
  images.reset();
  EXPECT_EQ(SendMessageA(H(*list), LVM_GETIMAGELIST, LVSIL_NORMAL, 0), 0);
  list.reset();

  // A form that goes before the form it owns.
  auto second = std::make_unique<Form>(app, FormProps{.caption = "Info"});
  EXPECT_EQ(GetWindow(H(*second), GW_OWNER), H(*form));
  form.reset();
  second->SetCaption("still here");
  second.reset();
}

// ---- List views -------------------------------------------------------------------------------------

TEST(Win32Ui, ListViewMirrorsItemsImagesAndSelection) {
  Application app;
  Form form(app, MainProps());
  ImageList images;
  images.Create(form, {.width = 16, .height = 16});
  ListView list;
  list.Create(form, {.align = Align::Client, .hideSelection = false, .largeImages = &images});
  std::vector<std::pair<int, bool>> events;
  list.OnSelectItem = [&](int index, bool selected) { events.emplace_back(index, selected); };
  int clicks = 0, doubleClicks = 0;
  list.OnClick = [&] { ++clicks; };
  list.OnDblClick = [&] { ++doubleClicks; };
  for (int i = 0; i < 5; ++i) {
    TBitmap picture = Filled(16, 16, RGB(10 * i, 100, 200));
    picture.SetPixel(3, 4, RGB(255, 0, 0));
    images.Add(picture);
    list.AddItem(i);
  }
  const HWND view = H(list);

  EXPECT_EQ(ClassOf(view), WC_LISTVIEWA);
  const LONG style = GetWindowLongA(view, GWL_STYLE);
  EXPECT_EQ(style & LVS_TYPEMASK, LVS_ICON);
  EXPECT_NE(style & LVS_SINGLESEL, 0);
  EXPECT_NE(style & LVS_SHOWSELALWAYS, 0);
  EXPECT_NE(style & LVS_AUTOARRANGE, 0);
  EXPECT_EQ(ChildRect(view), (Rect{0, 0, form.ClientWidth(), form.ClientHeight()}));
  EXPECT_EQ(SendMessageA(view, LVM_GETITEMCOUNT, 0, 0), 5);
  LVITEMA item{};
  item.mask = LVIF_IMAGE;
  item.iItem = 3;
  SendMessageA(view, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
  EXPECT_EQ(item.iImage, 3);

  // The native image list holds the pictures, drawn opaque and the right way up.
  auto native = reinterpret_cast<HIMAGELIST>(SendMessageA(view, LVM_GETIMAGELIST, LVSIL_NORMAL, 0));
  ASSERT_EQ(native, win32::ImageListHandleOf(images));
  EXPECT_EQ(ImageList_GetImageCount(native), 5);
  {
    const win32::BitmapHandle target = win32::CreateBitmapHandle(TBitmap(), 16, 16, RGB(1, 1, 1));
    const win32::MemoryDcHandle dc(CreateCompatibleDC(nullptr));
    const win32::DcSelection selection(dc.get(), target.get());
    ImageList_Draw(native, 2, dc.get(), 0, 0, ILD_NORMAL);
    EXPECT_EQ(GetPixel(dc.get(), 3, 4), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(dc.get(), 0, 0), RGB(20, 100, 200));
    EXPECT_EQ(GetPixel(dc.get(), 15, 15), RGB(20, 100, 200));
  }

  // Selection from code: mirrored, one event per changed item, none for items already so.
  list.SetSelected(2, true);
  EXPECT_EQ(SendMessageA(view, LVM_GETITEMSTATE, 2, LVIS_SELECTED), LVIS_SELECTED);
  EXPECT_EQ(events, (std::vector<std::pair<int, bool>>{{2, true}}));
  list.SetSelected(2, true);
  list.SetSelected(3, true);
  EXPECT_EQ(SendMessageA(view, LVM_GETITEMSTATE, 2, LVIS_SELECTED), 0);
  EXPECT_EQ(SendMessageA(view, LVM_GETITEMSTATE, 3, LVIS_SELECTED), LVIS_SELECTED);
  EXPECT_EQ(events, (std::vector<std::pair<int, bool>>{{2, true}, {2, false}, {3, true}}));

  // Selection by the user: the class learns it, one event per change.
  events.clear();
  item = {};
  item.stateMask = LVIS_SELECTED;
  item.state = LVIS_SELECTED;
  SendMessageA(view, LVM_SETITEMSTATE, 4, reinterpret_cast<LPARAM>(&item));
  EXPECT_TRUE(list.Selected(4));
  EXPECT_FALSE(list.Selected(3));
  std::sort(events.begin(), events.end());
  EXPECT_EQ(events, (std::vector<std::pair<int, bool>>{{3, false}, {4, true}}));

  // Clicks reach the class once each.
  NMHDR header{view, static_cast<UINT_PTR>(GetDlgCtrlID(view)), static_cast<UINT>(NM_CLICK)};
  SendMessageA(H(form), WM_NOTIFY, header.idFrom, reinterpret_cast<LPARAM>(&header));
  header.code = static_cast<UINT>(NM_DBLCLK);
  SendMessageA(H(form), WM_NOTIFY, header.idFrom, reinterpret_cast<LPARAM>(&header));
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(doubleClicks, 1);

  // Cleared and rebuilt at another cell size: no events, the image list made anew.
  events.clear();
  list.BeginUpdate();
  list.Clear();
  images.SetSize(20, 10);
  EXPECT_EQ(SendMessageA(view, LVM_GETITEMCOUNT, 0, 0), 0);
  native = reinterpret_cast<HIMAGELIST>(SendMessageA(view, LVM_GETIMAGELIST, LVSIL_NORMAL, 0));
  int width = 0, height = 0;
  ImageList_GetIconSize(native, &width, &height);
  EXPECT_EQ(width, 20);
  EXPECT_EQ(height, 10);
  EXPECT_EQ(ImageList_GetImageCount(native), 0);
  images.Add(Filled(20, 10, clWhite));
  list.AddItem(0);
  list.EndUpdate();
  EXPECT_EQ(ImageList_GetImageCount(native), 1);
  EXPECT_EQ(SendMessageA(view, LVM_GETITEMCOUNT, 0, 0), 1);
  EXPECT_TRUE(events.empty());
  // The cells sit close: the icon spacing follows the image size.
  const auto spacing = static_cast<DWORD>(SendMessageA(view, LVM_GETITEMSPACING, FALSE, 0));
  EXPECT_LT(LOWORD(spacing), 20 + 16);
  EXPECT_LT(HIWORD(spacing), 10 + 16);

  list.SetColor(RGB(1, 2, 3));
  EXPECT_EQ(static_cast<COLORREF>(SendMessageA(view, LVM_GETBKCOLOR, 0, 0)), RGB(1, 2, 3));
  EXPECT_NE(SendMessageA(view, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0) & LVS_EX_DOUBLEBUFFER,
            LVS_EX_DOUBLEBUFFER);
  form.SetDoubleBuffered(true);
  EXPECT_EQ(SendMessageA(view, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0) & LVS_EX_DOUBLEBUFFER,
            LVS_EX_DOUBLEBUFFER);
}

TEST(Win32Ui, MultiSelectListReportsEveryItemTheUserSelectsAtOnce) {
  Application app;
  Form form(app, MainProps());
  ListView list;
  list.Create(form, {.align = Align::Client, .multiSelect = true});
  for (int i = 0; i < 4; ++i) list.AddItem(-1);
  std::vector<std::pair<int, bool>> events;
  list.OnSelectItem = [&](int index, bool selected) { events.emplace_back(index, selected); };
  EXPECT_EQ(GetWindowLongA(H(list), GWL_STYLE) & LVS_SINGLESEL, 0);

  LVITEMA item{};
  item.stateMask = LVIS_SELECTED;
  item.state = LVIS_SELECTED;
  SendMessageA(H(list), LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&item));
  EXPECT_EQ(list.SelCount(), 4);
  std::sort(events.begin(), events.end());
  EXPECT_EQ(events, (std::vector<std::pair<int, bool>>{{0, true}, {1, true}, {2, true}, {3, true}}));

  list.SetSelected(1, false);
  EXPECT_EQ(SendMessageA(H(list), LVM_GETITEMSTATE, 1, LVIS_SELECTED), 0);
  EXPECT_EQ(SendMessageA(H(list), LVM_GETITEMSTATE, 2, LVIS_SELECTED), LVIS_SELECTED);
  EXPECT_EQ(events.size(), 5u);
}

TEST(Win32Ui, PopupMenuOfAListViewRunsTheChosenItem) {
  Application app;
  Form form(app, MainProps());
  PopupMenu popup;
  popup.Create(form);
  MenuItem copyCharacter, copyImage;
  copyCharacter.Create(popup, "Copy character");
  copyImage.Create(popup, "Copy image");
  int characterCopies = 0, imageCopies = 0;
  copyCharacter.OnClick = [&] { ++characterCopies; };
  copyImage.OnClick = [&] { ++imageCopies; };
  ListView list;
  list.Create(form, {.align = Align::Client, .popupMenu = &popup});
  form.Show();
  EXPECT_EQ(MenuTexts(MenuHandleOf(popup)), (std::vector<std::string>{"Copy character", "Copy image"}));

  // While the menu is open, the keys choose its second item.
  const UINT_PTR keys = menu_keys::Start(H(form), {VK_DOWN, VK_DOWN, VK_RETURN});
  SendMessageA(H(list), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(H(list)), MAKELPARAM(300, 300));
  KillTimer(nullptr, keys);
  EXPECT_EQ(characterCopies, 0);
  EXPECT_EQ(imageCopies, 1);
}

// ---- The message loop, timers, keys -----------------------------------------------------------------

TEST(Win32Ui, TimersFireThroughTheMessageLoopUntilTheMainFormCloses) {
  Application app;
  Form form(app, MainProps());
  Timer tick, safety;
  tick.Create(form, {.interval = 20});
  safety.Create(form, {.interval = 3000});
  int fired = 0;
  bool timedOut = false;
  tick.OnTimer = [&] {
    if (++fired == 3) form.Close();
  };
  safety.OnTimer = [&] {
    timedOut = true;
    form.Close();
  };
  app.Run();
  EXPECT_EQ(fired, 3);
  EXPECT_FALSE(timedOut);
  EXPECT_FALSE(form.Showing());
  EXPECT_FALSE(IsWindowVisible(H(form)));

  // A stopped timer stays silent; started again it fires.
  tick.SetEnabled(false);
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < 100) {
    app.ProcessMessages();
    Sleep(5);
  }
  EXPECT_EQ(fired, 3);
  tick.SetInterval(10);
  tick.SetEnabled(true);
  EXPECT_TRUE(ProcessUntil(app, [&] { return fired > 3; }));
  // The loop can run again after it ended.
  tick.OnTimer = [&] {
    if (++fired == 6) app.Terminate();
  };
  app.Run();
  EXPECT_EQ(fired, 6);
}

TEST(Win32Ui, ProcessMessagesHandlesWhatWaitsAndReturns) {
  Application app;
  Form form(app, MainProps());
  MainMenu menu;
  menu.Create(form);
  MenuItem file, generate;
  file.Create(menu, "File");
  generate.Create(file, "Generate images");
  int generated = 0;
  generate.OnClick = [&] { ++generated; };
  PostMessageA(H(form), WM_COMMAND, MAKEWPARAM(MenuCommandOf(generate), 0), 0);
  PostMessageA(H(form), WM_COMMAND, MAKEWPARAM(MenuCommandOf(generate), 0), 0);
  app.ProcessMessages();
  EXPECT_EQ(generated, 2);
  app.ProcessMessages();
  EXPECT_EQ(generated, 2);
  // A request to end the program, seen while processing, ends the program's loop.
  PostQuitMessage(0);
  app.ProcessMessages();
  EXPECT_TRUE(app.Terminated());
}

TEST(Win32Ui, KeyBoundActionsRunOnTheirKeysOnly) {
  Application app;
  Form form(app, MainProps());
  Button button;
  button.Create(form, {.bounds = {7, 62, 186, 25}, .caption = "Export"});
  Action exportAction, copyCharacter, copyImage, help;
  exportAction.Create(form, {.key = 'S', .ctrl = true});
  copyCharacter.Create(form, {.key = 'C', .ctrl = true, .shift = true});
  copyImage.Create(form, {.key = 'C', .ctrl = true});
  help.Create(form, {.key = key::F1});
  std::vector<std::string> ran;
  exportAction.OnExecute = [&] { ran.push_back("export"); };
  copyCharacter.OnExecute = [&] { ran.push_back("character"); };
  copyImage.OnExecute = [&] { ran.push_back("image"); };
  help.OnExecute = [&] { ran.push_back("help"); };
  form.Show();

  BYTE saved[256];
  GetKeyboardState(saved);
  auto press = [&](int key, bool ctrl, bool shift) {
    BYTE state[256] = {};
    if (ctrl) state[VK_CONTROL] = 0x80;
    if (shift) state[VK_SHIFT] = 0x80;
    SetKeyboardState(state);
    PostMessageA(H(button), WM_KEYDOWN, key, 0);
    app.ProcessMessages();
  };
  press('S', true, false);
  press('S', false, false);
  press('C', true, true);
  press('C', true, false);
  press(VK_F1, false, false);
  press('Q', true, false);
  SetKeyboardState(saved);
  EXPECT_EQ(ran, (std::vector<std::string>{"export", "character", "image", "help"}));
}

// ---- Errors -----------------------------------------------------------------------------------------

TEST(Win32Ui, ErrorsOfHandlersGoToTheErrorBoxAndTheProgramCarriesOn) {
  Application app;
  app.SetTitle("Letrana");
  Form form(app, MainProps());
  Button button;
  button.Create(form, {.bounds = {7, 62, 186, 25}, .caption = "Export font"});
  int clicks = 0;
  button.OnClick = [&] {
    ++clicks;
    throw std::runtime_error("Datei C:\\out\\glyph065.bmp kann nicht erstellt werden");
  };
  Timer tick;
  tick.Create(form, {.interval = 20, .enabled = false});
  int ticks = 0;
  form.Show();
  DialogAnswerer answerer;
  tick.OnTimer = [&] {
    if (++ticks == 1) throw std::runtime_error("Stream-Write-Fehler!");
    // (The timer goes on while the box is open; the program ends once the box was answered.)
    if (answerer.Boxes().size() == 3) form.Close();
  };
  answerer.Answer(IDOK);
  answerer.Answer(IDOK);
  answerer.Answer(IDOK);

  // The box shows the application's title, the message with a full stop, a stop icon.
  SendMessageA(H(button), BM_CLICK, 0, 0);
  ASSERT_EQ(answerer.Boxes().size(), 1u);
  EXPECT_EQ(clicks, 1);
  const auto& box = answerer.Boxes()[0];
  EXPECT_EQ(box.caption, "Letrana");
  EXPECT_THAT(box.texts, ::testing::Contains("Datei C:\\out\\glyph065.bmp kann nicht erstellt werden."));
  EXPECT_EQ(box.icon, LoadIconA(nullptr, IDI_HAND));

  // From a resize by the user: the window still takes its new size.
  form.OnResize = [] { throw std::runtime_error("Color table overflow"); };
  SetWindowPos(H(form), nullptr, 0, 0, 750, 450, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  ASSERT_EQ(answerer.Boxes().size(), 2u);
  EXPECT_THAT(answerer.Boxes()[1].texts, ::testing::Contains("Color table overflow."));
  EXPECT_EQ(form.Width(), 750);
  form.OnResize = nullptr;

  // From a timer in the message loop, which goes on.
  tick.SetEnabled(true);
  app.Run();
  EXPECT_GE(ticks, 2);
  ASSERT_EQ(answerer.Boxes().size(), 3u);
  EXPECT_THAT(answerer.Boxes()[2].texts, ::testing::Contains("Stream-Write-Fehler!"));
}

// ---- Modal forms and dialogs ------------------------------------------------------------------------

TEST(Win32Ui, ModalDialogFormDisablesTheOthersUntilItCloses) {
  Application app;
  Form main(app, MainProps());
  Form box(app, {.caption = "Letrana",
                 .clientWidth = 287,
                 .clientHeight = 54,
                 .borderStyle = BorderStyle::Dialog,
                 .captionButtons = false,
                 .position = FormPosition::MainFormCenter});
  main.Show();
  EXPECT_EQ(ClientSize(H(box)).cx, 287);
  EXPECT_EQ(ClientSize(H(box)).cy, 54);
  EXPECT_EQ(box.ClientWidth(), 287);
  const LONG style = GetWindowLongA(H(box), GWL_STYLE);
  EXPECT_EQ(style & (WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX), 0);
  EXPECT_NE(style & WS_CAPTION, 0);
  EXPECT_EQ(GetWindow(H(box), GW_OWNER), H(main));

  Timer close;
  close.Create(main, {.interval = 30});
  bool mainEnabledWhileModal = true;
  close.OnTimer = [&] {
    close.SetEnabled(false);
    mainEnabledWhileModal = IsWindowEnabled(H(main)) != FALSE;
    box.Close();
  };
  box.ShowModal();
  EXPECT_FALSE(mainEnabledWhileModal);
  EXPECT_TRUE(IsWindowEnabled(H(main)));
  EXPECT_FALSE(IsWindowVisible(H(box)));
  // Shown centred over the main form.
  EXPECT_EQ(box.Left(), main.Left() + (main.Width() - box.Width()) / 2);
  EXPECT_EQ(box.Top(), main.Top() + (main.Height() - box.Height()) / 2);
  EXPECT_EQ(ScreenRect(H(box)).left, box.Left());
}

TEST(Win32Ui, StandardDialogsHandTheirAnswersToTheClasses) {
  Application app;
  Form form(app, MainProps());
  form.Show();
  DialogAnswerer answerer;

  FontDialog fontDialog;
  fontDialog.Create(form, {.name = "MS Sans Serif", .size = 8});
  const Font chosen{.name = InstalledFace(),
                    .size = 12,
                    .bold = true,
                    .underline = true,
                    .strikeOut = true,
                    .charset = kAnsiCharset,
                    .pitch = FontPitch::Fixed,
                    .color = RGB(255, 0, 0)};
  fontDialog.SetFont(chosen);
  answerer.Answer(IDOK);
  ASSERT_TRUE(fontDialog.Execute());
  EXPECT_EQ(fontDialog.GetFont(), chosen);
  answerer.Answer(IDCANCEL);
  EXPECT_FALSE(fontDialog.Execute());
  EXPECT_EQ(fontDialog.GetFont(), chosen);

  ColorDialog colorDialog;
  colorDialog.Create(form);
  colorDialog.SetColor(RGB(255, 0, 0));
  answerer.Answer(IDOK);
  ASSERT_TRUE(colorDialog.Execute());
  EXPECT_EQ(colorDialog.Color(), RGB(255, 0, 0));
  answerer.Answer(IDCANCEL);
  colorDialog.SetColor(RGB(0, 0, 255));
  EXPECT_FALSE(colorDialog.Execute());
  EXPECT_EQ(colorDialog.Color(), RGB(0, 0, 255));

  testing_support::TempDir folder;
  SaveDialog saveDialog;
  saveDialog.Create(form, {.filter = "(*.BMP)|*.bmp|(*.JPG)|*.jpg|(*.GIF)|*.gif|(*-GIF transparent)|*.gif",
                           .defaultExt = "bmp"});
  saveDialog.SetFileName(folder.File("glyph"));
  char before[MAX_PATH] = {}, after[MAX_PATH] = {};
  GetCurrentDirectoryA(MAX_PATH, before);
  answerer.Answer(IDOK);
  ASSERT_TRUE(saveDialog.Execute());
  GetCurrentDirectoryA(MAX_PATH, after);
  EXPECT_EQ(saveDialog.FileName(), folder.File("glyph.bmp"));
  EXPECT_EQ(saveDialog.FilterIndex(), 1);
  EXPECT_STREQ(after, before);
  // The filter chosen comes back; the next opening starts with the last name.
  saveDialog.SetFilterIndex(3);
  answerer.Answer(IDOK);
  ASSERT_TRUE(saveDialog.Execute());
  EXPECT_EQ(saveDialog.FilterIndex(), 3);
  EXPECT_EQ(saveDialog.FileName().rfind(folder.File("glyph"), 0), 0u);
  answerer.Answer(IDCANCEL);
  const std::string last = saveDialog.FileName();
  EXPECT_FALSE(saveDialog.Execute());
  EXPECT_EQ(saveDialog.FileName(), last);
  EXPECT_EQ(answerer.Boxes().size(), 7u);
}

}  // namespace
