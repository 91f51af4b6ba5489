// Edit fields, the screen's size and the program's icon in the Win32 backend, checked through the
// system's own calls. Runs under Wine on an X display.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/ui/Ui.h"
#include "platform/win32/UiWin32.h"

namespace {

HWND HandleOf(const ui::Control& control) { return static_cast<HWND>(control.Native()->WindowHandle()); }

std::string WindowText(HWND window) {
  char text[256] = {};
  GetWindowTextA(window, text, sizeof text);
  return text;
}

struct EditForm : ui::Form {
  explicit EditForm(ui::Application& app) : Form(app, {.caption = "Edit", .bounds = {10, 20, 400, 200}}) {
    Panel.Create(*this, {.align = ui::Align::Top, .height = 120, .color = clWhite});
    Credit.Create(Panel, {.bounds = {8, 8, 200, 17},
                          .text = "credit",
                          .readOnly = true,
                          .border = false,
                          .font = ui::Font{.name = "Arial", .size = 9, .color = RGB(0, 0, 255)},
                          .color = clWhite,
                          .handCursor = true,
                          .tabOrder = 0});
    Field.Create(Panel, {.bounds = {8, 40, 200, 21}, .text = "field", .tabOrder = 1});
    Credit.OnChange = [this] { events.push_back("credit " + Credit.Text()); };
    Field.OnChange = [this] { events.push_back("field " + Field.Text()); };
    Credit.OnDblClick = [this] { events.push_back("double click"); };
    ScaleForScreen();
  }
  ui::Panel Panel;
  ui::Edit Credit, Field;
  std::vector<std::string> events;
};

TEST(Win32Edit, FieldsMirrorTheirClassAndReportTheUserOnce) {
  ui::Application app;
  EditForm form(app);
  const HWND credit = HandleOf(form.Credit), field = HandleOf(form.Field);
  char windowClass[16] = {};
  GetClassNameA(credit, windowClass, sizeof windowClass);
  EXPECT_STRCASEEQ(windowClass, "Edit");
  EXPECT_EQ(WindowText(credit), "credit");
  EXPECT_NE(GetWindowLongA(credit, GWL_STYLE) & ES_READONLY, 0);
  EXPECT_EQ(GetWindowLongA(credit, GWL_EXSTYLE) & WS_EX_CLIENTEDGE, 0);
  EXPECT_EQ(GetWindowLongA(field, GWL_STYLE) & ES_READONLY, 0);
  EXPECT_NE(GetWindowLongA(field, GWL_EXSTYLE) & WS_EX_CLIENTEDGE, 0);

  form.Credit.SetText("new");  // the field's own change notice must not count a second time
  EXPECT_EQ(WindowText(credit), "new");
  SetWindowTextA(field, "typed");  // as the user's typing changes the text
  EXPECT_EQ(form.Field.Text(), "typed");
  SendMessageA(credit, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(3, 3));
  SendMessageA(credit, WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
  EXPECT_EQ(form.events, (std::vector<std::string>{"credit new", "field typed", "double click"}));

  // The hand over the credit, and its colours from its parent: blue on white, as its class holds them.
  EXPECT_EQ(SendMessageA(credit, WM_SETCURSOR, reinterpret_cast<WPARAM>(credit),
                         MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)),
            TRUE);
  EXPECT_EQ(GetCursor(), LoadCursorA(nullptr, MAKEINTRESOURCEA(32649)));
  const ui::win32::WindowDc dc(credit);
  EXPECT_NE(SendMessageA(HandleOf(form.Panel), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc.Get()),
                         reinterpret_cast<LPARAM>(credit)),
            0);
  EXPECT_EQ(GetTextColor(dc.Get()), RGB(0, 0, 255));
  EXPECT_EQ(GetBkColor(dc.Get()), RGB(255, 255, 255));
  form.Field.SetFont({.name = "Arial", .size = 9, .color = RGB(0, 128, 0)});
  EXPECT_NE(SendMessageA(HandleOf(form.Panel), WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc.Get()),
                         reinterpret_cast<LPARAM>(field)),
            0);
  EXPECT_EQ(GetTextColor(dc.Get()), RGB(0, 128, 0));
}

TEST(Win32Edit, ScreenSizeAndIconComeFromTheSystem) {
  EXPECT_EQ(ui::ScreenWidth(), GetSystemMetrics(SM_CXSCREEN));
  EXPECT_EQ(ui::ScreenHeight(), GetSystemMetrics(SM_CYSCREEN));
  EXPECT_GT(ui::ScreenWidth(), 0);
  // This executable carries no icon resource.
  EXPECT_TRUE(ui::ProgramIconPicture(32, 32, clWhite).Empty());
}

}  // namespace
