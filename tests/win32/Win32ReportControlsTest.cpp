// Panels with an inner border, images, report-style list views, combo boxes and the tab order in the
// Win32 backend, checked through the system's own calls. Runs under Wine on an X display, with the
// visual-style common controls the programs use.

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/ui/Ui.h"
#include "platform/win32/UiWin32.h"
#include "tests/win32/MenuKeys.h"

namespace {

using namespace ui;

HWND H(const Component& component) { return static_cast<HWND>(component.Native()->WindowHandle()); }

std::string WindowText(HWND hwnd) {
  char text[256] = {};
  GetWindowTextA(hwnd, text, sizeof(text));
  return text;
}

DWORD StyleOf(HWND hwnd) { return static_cast<DWORD>(GetWindowLongA(hwnd, GWL_STYLE)); }

// A child window's rectangle in its parent's client coordinates.
Rect ChildRect(HWND hwnd) {
  RECT r;
  GetWindowRect(hwnd, &r);
  MapWindowPoints(nullptr, GetParent(hwnd), reinterpret_cast<POINT*>(&r), 2);
  return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

std::string ItemText(HWND list, int item, int column) {
  char text[256] = {};
  LVITEMA info{};
  info.iSubItem = column;
  info.pszText = text;
  info.cchTextMax = sizeof(text);
  SendMessageA(list, LVM_GETITEMTEXTA, item, reinterpret_cast<LPARAM>(&info));
  return text;
}

int ColumnWidth(HWND list, int column) {
  return static_cast<int>(SendMessageA(list, LVM_GETCOLUMNWIDTH, column, 0));
}

COLORREF PixelOf(HWND hwnd, int x, int y) {
  RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  const win32::WindowDc dc(hwnd);
  return GetPixel(dc.Get(), x, y);
}

TBitmap Filled(int width, int height, TColor color) {
  TBitmap bitmap;
  bitmap.SetSize(width, height);
  bitmap.Fill(color);
  return bitmap;
}

struct TooltipSearch {
  HWND owner;
  HWND found = nullptr;
};

BOOL CALLBACK FindTooltip(HWND hwnd, LPARAM data) {
  auto& search = *reinterpret_cast<TooltipSearch*>(data);
  char name[64] = {};
  GetClassNameA(hwnd, name, sizeof(name));
  if (std::string(name) == TOOLTIPS_CLASSA && GetWindow(hwnd, GW_OWNER) == search.owner) search.found = hwnd;
  return TRUE;
}

// The tool-tip window of a form, or null.
HWND TooltipOf(const Form& form) {
  TooltipSearch search{H(form)};
  EnumThreadWindows(GetCurrentThreadId(), &FindTooltip, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::string ToolText(HWND tooltip, const Control& control) {
  char text[128] = {};
  TOOLINFOA tool{};
  tool.cbSize = TTTOOLINFOA_V2_SIZE;
  tool.hwnd = GetParent(H(control));
  tool.uId = reinterpret_cast<UINT_PTR>(H(control));
  tool.lpszText = text;
  SendMessageA(tooltip, TTM_GETTEXTA, sizeof(text), reinterpret_cast<LPARAM>(&tool));
  return text;
}

FormProps MainProps() {
  return {.caption = "Capture", .bounds = {352, 156, 708, 426}, .minWidth = 600, .minHeight = 425};
}

TEST(Win32ReportControls, ControlsCreatedHiddenNeverShowUntilAskedAndPanelsKeepTheirBorder) {
  Application app;
  Form form(app, MainProps());
  Panel bottom, right, inner;
  bottom.Create(form, {.align = Align::Bottom, .height = 195, .visible = false});
  right.Create(form, {.align = Align::Right, .width = 186});
  inner.Create(right, {.align = Align::Client, .borderWidth = 4});
  Image preview;
  preview.Create(inner, {.align = Align::Client});
  Button stop;
  CheckBox shift;
  Edit file;
  Image blank;
  ComboBox fkey;
  stop.Create(form, {.bounds = {9, 4, 102, 25}, .caption = "Stop", .visible = false});
  shift.Create(form, {.bounds = {329, 168, 49, 17}, .caption = "Shift", .visible = false});
  file.Create(form, {.bounds = {200, 86, 281, 21}, .visible = false});
  blank.Create(form, {.bounds = {528, 136, 49, 49}, .visible = false});
  fkey.Create(form, {.bounds = {265, 167, 57, 21}, .style = ComboStyle::DropDownList, .visible = false});
  form.Show();

  // Created without WS_VISIBLE: the window never showed.
  for (const Control* control : std::vector<const Control*>{&bottom, &stop, &shift, &file, &blank, &fkey}) {
    EXPECT_EQ(StyleOf(H(*control)) & WS_VISIBLE, 0u) << WindowText(H(*control));
  }
  RECT client;
  GetClientRect(H(form), &client);
  EXPECT_EQ(ChildRect(H(right)), (Rect{client.right - 186, 0, 186, client.bottom}));
  EXPECT_EQ(ChildRect(H(preview)), (Rect{4, 4, 186 - 8, client.bottom - 8}));

  bottom.SetVisible(true);
  stop.SetVisible(true);
  fkey.SetVisible(true);
  EXPECT_TRUE(IsWindowVisible(H(bottom)));
  EXPECT_TRUE(IsWindowVisible(H(stop)));
  EXPECT_TRUE(IsWindowVisible(H(fkey)));
  EXPECT_FALSE(IsWindowVisible(H(shift)));
  EXPECT_EQ(ChildRect(H(preview)), (Rect{4, 4, 178, client.bottom - 195 - 8}));
}

TEST(Win32ReportControls, TabMovesThroughTheControlsInTheirTabOrder) {
  Application app;
  Form form(app, MainProps());
  Panel options;
  options.Create(form, {.align = Align::Client, .bevelOuter = false});
  Panel rect;
  CheckBox client, defineRect, toFile;
  Edit file, left;
  Button browse;
  ComboBox seconds;
  Label label;
  // Made in another order than the one Tab takes.
  rect.Create(options, {.bounds = {25, 48, 560, 30}, .tabOrder = 6});
  left.Create(rect, {.bounds = {82, 3, 38, 21}, .text = "0", .tabOrder = 0});
  seconds.Create(options,
                 {.bounds = {265, 143, 57, 0}, .items = {"100", "5000"}, .text = "5000", .tabOrder = 5});
  browse.Create(options, {.bounds = {486, 86, 26, 25}, .caption = "...", .tabOrder = 4});
  label.Create(options, {.bounds = {8, 200}, .caption = "no stop"});
  client.Create(options, {.bounds = {8, 4, 297, 17}, .caption = "client", .tabOrder = 0});
  file.Create(options, {.bounds = {200, 86, 281, 21}, .tabOrder = 3});
  toFile.Create(options, {.bounds = {8, 87, 169, 17}, .caption = "to file", .tabOrder = 2});
  defineRect.Create(options, {.bounds = {8, 27, 297, 17}, .caption = "rect", .tabOrder = 1});
  form.Show();

  EXPECT_NE(StyleOf(H(seconds)) & WS_TABSTOP, 0u);
  EXPECT_NE(StyleOf(H(file)) & WS_TABSTOP, 0u);
  std::vector<HWND> order;
  HWND at = H(client);
  for (int i = 0; i < 8; ++i) {
    order.push_back(at);
    at = GetNextDlgTabItem(H(form), at, FALSE);
  }
  const std::vector<HWND> expected{H(client), H(defineRect), H(toFile), H(file),
                                   H(browse), H(seconds),    H(left),   H(client)};
  EXPECT_EQ(order, expected);
}

TEST(Win32ReportControls, ImageCentresItsPictureShowsItsHintAndReportsTheUser) {
  Application app;
  Form form(app, MainProps());
  form.SetDoubleBuffered(true);
  Panel panel;
  panel.Create(form, {.align = Align::Client, .color = clWhite});
  PopupMenu popup;
  popup.Create(form);
  MenuItem saveAs;
  saveAs.Create(popup, "Save as...");
  int saves = 0;
  saveAs.OnClick = [&] { ++saves; };
  Image preview, plain;
  preview.Create(panel, {.bounds = {10, 10, 60, 40},
                         .hint = "No image available",
                         .showHint = true,
                         .center = true,
                         .popupMenu = &popup});
  plain.Create(panel, {.bounds = {100, 10, 30, 30}, .hint = "never shown"});
  std::vector<std::string> events;
  preview.OnClick = [&] { events.push_back("click"); };
  preview.OnDblClick = [&] { events.push_back("double click"); };
  preview.SetPicture(Filled(20, 10, RGB(255, 0, 0)));
  form.Show();

  // Centred: (20, 15) to (39, 24); the rest shows the panel.
  EXPECT_EQ(PixelOf(H(preview), 20, 15), RGB(255, 0, 0));
  EXPECT_EQ(PixelOf(H(preview), 39, 24), RGB(255, 0, 0));
  EXPECT_EQ(PixelOf(H(preview), 19, 15), RGB(255, 255, 255));
  EXPECT_EQ(PixelOf(H(preview), 0, 0), RGB(255, 255, 255));
  preview.SetCenter(false);
  EXPECT_EQ(PixelOf(H(preview), 0, 0), RGB(255, 0, 0));
  EXPECT_EQ(PixelOf(H(preview), 30, 15), RGB(255, 255, 255));
  // A picture larger than the control, centred, is clipped on every side.
  preview.SetCenter(true);
  TBitmap large = Filled(100, 100, RGB(0, 0, 255));
  large.SetPixel(20, 30, RGB(0, 255, 0));  // the control's (0, 0): (100 - 60) / 2, (100 - 40) / 2
  preview.SetPicture(large);
  EXPECT_EQ(PixelOf(H(preview), 0, 0), RGB(0, 255, 0));

  // Only the image that shows its hint has a tool tip, and it follows the hint.
  const HWND tooltip = TooltipOf(form);
  ASSERT_NE(tooltip, nullptr);
  EXPECT_EQ(SendMessageA(tooltip, TTM_GETTOOLCOUNT, 0, 0), 1);
  EXPECT_EQ(ToolText(tooltip, preview), "No image available");
  preview.SetHint("Doubleclick to enlarge [1280 x 1024 px]");
  EXPECT_EQ(ToolText(tooltip, preview), "Doubleclick to enlarge [1280 x 1024 px]");
  plain.SetHint("still never shown");
  EXPECT_EQ(SendMessageA(tooltip, TTM_GETTOOLCOUNT, 0, 0), 1);

  // Clicks: a click, then a double click whose closing release is no click of its own.
  SendMessageA(H(preview), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  SendMessageA(H(preview), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  SendMessageA(H(preview), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(5, 5));
  SendMessageA(H(preview), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  EXPECT_EQ(events, (std::vector<std::string>{"click", "double click"}));

  // A right-click opens the image's pop-up menu; the keys choose its item.
  const UINT_PTR keys = menu_keys::Start(H(form), {VK_DOWN, VK_RETURN});
  POINT corner{0, 0};
  ClientToScreen(H(preview), &corner);
  SendMessageA(H(preview), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(H(preview)),
               MAKELPARAM(corner.x + 5, corner.y + 5));
  KillTimer(nullptr, keys);
  EXPECT_EQ(saves, 1);
}

TEST(Win32ReportControls, ReportListShowsColumnsAndSubItemsAndReportsKeys) {
  Application app;
  Form form(app, MainProps());
  ListView list;
  list.Create(form, {.bounds = {0, 0, 506, 120},
                     .viewStyle = ViewStyle::Report,
                     .hideSelection = false,
                     .columns = {{"Name", 338}, {"Size", 80, TextAlign::Right}, {"ID", 0}},
                     .showColumnHeaders = false});
  std::vector<int> keys;
  list.OnKeyDown = [&](int key) { keys.push_back(key); };
  int doubleClicks = 0;
  list.OnDblClick = [&] { ++doubleClicks; };
  list.AddItem("Screen", {"1280 x 1024 px", ""});
  list.AddItem("Editor", {"640 x 480 px", "65538"});
  form.Show();
  const HWND view = H(list);

  const DWORD style = StyleOf(view);
  EXPECT_EQ(style & LVS_TYPEMASK, static_cast<DWORD>(LVS_REPORT));
  EXPECT_NE(style & LVS_NOCOLUMNHEADER, 0u);
  EXPECT_NE(style & LVS_SHOWSELALWAYS, 0u);
  EXPECT_NE(style & LVS_SINGLESEL, 0u);
  EXPECT_EQ(style & LVS_EDITLABELS, 0u);
  EXPECT_EQ(ColumnWidth(view, 0), 338);
  EXPECT_EQ(ColumnWidth(view, 1), 80);
  EXPECT_EQ(ColumnWidth(view, 2), 0);
  LVCOLUMNA column{};
  column.mask = LVCF_FMT;
  SendMessageA(view, LVM_GETCOLUMNA, 1, reinterpret_cast<LPARAM>(&column));
  EXPECT_EQ(column.fmt & LVCFMT_JUSTIFYMASK, LVCFMT_RIGHT);
  EXPECT_EQ(ItemText(view, 1, 0), "Editor");
  EXPECT_EQ(ItemText(view, 1, 1), "640 x 480 px");
  EXPECT_EQ(ItemText(view, 1, 2), "65538");
  EXPECT_EQ(ItemText(view, 0, 2), "");

  list.SetColumnWidth(0, 300);
  list.SetColumnWidth(2, -1);  // no width the view would fill in itself
  EXPECT_EQ(ColumnWidth(view, 0), 300);
  EXPECT_EQ(ColumnWidth(view, 2), 0);

  // The client width is the view's own: inside the border, without a scroll bar while the rows fit.
  RECT client;
  GetClientRect(view, &client);
  EXPECT_EQ(list.ClientWidth(), client.right);
  EXPECT_EQ(list.ClientWidth(), 506 - 2 * GetSystemMetrics(SM_CXEDGE));
  list.BeginUpdate();
  for (int i = 0; i < 40; ++i) list.AddItem("window " + std::to_string(i), {"1 x 1 px", std::to_string(i)});
  list.EndUpdate();
  EXPECT_EQ(list.ClientWidth(), 506 - 2 * GetSystemMetrics(SM_CXEDGE) - GetSystemMetrics(SM_CXVSCROLL));
  list.Clear();
  EXPECT_EQ(SendMessageA(view, LVM_GETITEMCOUNT, 0, 0), 0);
  EXPECT_EQ(list.ClientWidth(), 506 - 2 * GetSystemMetrics(SM_CXEDGE));

  // A key pressed in the view reaches the class with its code; a disabled view takes none.
  list.AddItem("Screen", {"1280 x 1024 px", ""});
  SetFocus(view);
  SendMessageA(view, WM_KEYDOWN, VK_F5, 0);
  const NMHDR header{view, static_cast<UINT_PTR>(GetDlgCtrlID(view)), static_cast<UINT>(NM_DBLCLK)};
  SendMessageA(H(form), WM_NOTIFY, header.idFrom, reinterpret_cast<LPARAM>(&header));
  list.SetEnabled(false);
  EXPECT_FALSE(IsWindowEnabled(view));
  // A selection the view was made to take while disabled returns to the class's.
  LVITEMA item{};
  item.stateMask = LVIS_SELECTED;
  item.state = LVIS_SELECTED;
  SendMessageA(view, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&item));
  EXPECT_FALSE(list.Selected(0));
  EXPECT_EQ(SendMessageA(view, LVM_GETITEMSTATE, 0, LVIS_SELECTED), 0);
  list.SetEnabled(true);
  SendMessageA(view, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&item));
  EXPECT_TRUE(list.Selected(0));
  EXPECT_EQ(keys, (std::vector<int>{key::F5}));
  EXPECT_EQ(doubleClicks, 1);
}

TEST(Win32ReportControls, OnlyAnEditableListTakesCaptionsEditedInPlace) {
  Application app;
  Form form(app, MainProps());
  ListView fixed, editable;
  fixed.Create(form,
               {.bounds = {0, 0, 300, 100}, .viewStyle = ViewStyle::Report, .columns = {{"Name", 200}}});
  editable.Create(form, {.bounds = {0, 100, 300, 100},
                         .viewStyle = ViewStyle::Report,
                         .columns = {{"Name", 200}},
                         .readOnly = false});
  fixed.AddItem("old", {});
  editable.AddItem("old", {});
  EXPECT_NE(StyleOf(H(editable)) & LVS_EDITLABELS, 0u);

  auto notify = [&](const ListView& list, UINT code, const char* text) {
    char buffer[64] = {};
    if (text != nullptr) strcpy(buffer, text);
    NMLVDISPINFOA info{};
    info.hdr = {H(list), static_cast<UINT_PTR>(GetDlgCtrlID(H(list))), code};
    info.item.iItem = 0;
    info.item.pszText = text != nullptr ? buffer : nullptr;
    return SendMessageA(H(form), WM_NOTIFY, info.hdr.idFrom, reinterpret_cast<LPARAM>(&info));
  };
  EXPECT_EQ(notify(fixed, LVN_BEGINLABELEDITA, nullptr), TRUE);  // refused
  EXPECT_EQ(notify(editable, LVN_BEGINLABELEDITA, nullptr), FALSE);
  EXPECT_EQ(notify(editable, LVN_ENDLABELEDITA, nullptr), FALSE);  // cancelled
  EXPECT_EQ(editable.ItemCaption(0), "old");
  EXPECT_EQ(notify(editable, LVN_ENDLABELEDITA, "new"), TRUE);
  EXPECT_EQ(editable.ItemCaption(0), "new");
  EXPECT_EQ(notify(fixed, LVN_ENDLABELEDITA, "new"), FALSE);
  EXPECT_EQ(fixed.ItemCaption(0), "old");
}

TEST(Win32ReportControls, ComboBoxesMirrorTheirClassAndReportTypingAndPicking) {
  Application app;
  Form form(app, MainProps());
  Panel options;
  options.Create(form, {.align = Align::Client});
  const std::vector<std::string> keys{"F1", "F2", "F3", "F4",  "F5",  "F6",
                                      "F7", "F8", "F9", "F10", "F11", "F12"},
      intervals{"100", "250", "500", "750", "1000", "3000", "5000", "10000", "15000", "30000", "60000"};
  ComboBox seconds, fkey;
  seconds.Create(options, {.bounds = {265, 143, 57, 0}, .items = intervals, .text = "5000"});
  fkey.Create(
      options,
      {.bounds = {265, 167, 57, 0}, .style = ComboStyle::DropDownList, .items = keys, .itemIndex = 0});
  std::vector<std::string> changes;
  seconds.OnChange = [&] { changes.push_back(seconds.Text() + "@" + std::to_string(seconds.ItemIndex())); };
  fkey.OnChange = [&] { changes.push_back(fkey.Text() + "@" + std::to_string(fkey.ItemIndex())); };
  form.Show();
  const HWND secondsBox = H(seconds), fkeyBox = H(fkey);

  EXPECT_EQ(StyleOf(secondsBox) & 3u, static_cast<DWORD>(CBS_DROPDOWN));
  EXPECT_EQ(StyleOf(fkeyBox) & 3u, static_cast<DWORD>(CBS_DROPDOWNLIST));
  EXPECT_EQ(SendMessageA(secondsBox, CB_GETCOUNT, 0, 0), 11);
  EXPECT_EQ(SendMessageA(fkeyBox, CB_GETCOUNT, 0, 0), 12);
  EXPECT_EQ(WindowText(secondsBox), "5000");
  EXPECT_EQ(WindowText(fkeyBox), "F1");
  EXPECT_EQ(SendMessageA(fkeyBox, CB_GETCURSEL, 0, 0), 0);
  // The box has the system's height, and the class knows it.
  EXPECT_EQ(ChildRect(secondsBox), (Rect{265, 143, 57, seconds.Height()}));
  EXPECT_GT(seconds.Height(), 10);

  // From code: mirrored, and each change reported once.
  seconds.SetText("1234");
  EXPECT_EQ(WindowText(secondsBox), "1234");
  seconds.SetItemIndex(1);
  EXPECT_EQ(WindowText(secondsBox), "250");
  EXPECT_EQ(SendMessageA(secondsBox, CB_GETCURSEL, 0, 0), 1);
  fkey.SetText("F12");
  EXPECT_EQ(SendMessageA(fkeyBox, CB_GETCURSEL, 0, 0), 11);
  EXPECT_EQ(WindowText(fkeyBox), "F12");
  fkey.SetItemIndex(-1);
  EXPECT_EQ(SendMessageA(fkeyBox, CB_GETCURSEL, 0, 0), CB_ERR);
  EXPECT_EQ(changes, (std::vector<std::string>{"1234@-1", "250@1", "F12@11", "@-1"}));

  // Typed by the user into the field.
  changes.clear();
  COMBOBOXINFO info{};
  info.cbSize = sizeof(info);
  ASSERT_TRUE(GetComboBoxInfo(secondsBox, &info));
  ASSERT_NE(info.hwndItem, nullptr);
  SendMessageA(info.hwndItem, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(""));
  SendMessageA(info.hwndItem, WM_CHAR, '7', 0);
  SendMessageA(info.hwndItem, WM_CHAR, '5', 0);
  SendMessageA(info.hwndItem, WM_CHAR, '0', 0);
  EXPECT_EQ(seconds.Text(), "750");
  EXPECT_EQ(seconds.ItemIndex(), 3);
  // Picked by the user from the list.
  SendMessageA(fkeyBox, CB_SETCURSEL, 4, 0);
  SendMessageA(H(options), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(fkeyBox), CBN_SELCHANGE),
               reinterpret_cast<LPARAM>(fkeyBox));
  EXPECT_EQ(fkey.Text(), "F5");
  EXPECT_EQ(fkey.ItemIndex(), 4);
  ASSERT_GE(changes.size(), 2u);
  EXPECT_EQ(changes.back(), "F5@4");
  EXPECT_EQ(changes[changes.size() - 2], "750@3");

  // Dropped down, the list shows every one of its twelve items.
  SendMessageA(fkeyBox, CB_SHOWDROPDOWN, TRUE, 0);
  ASSERT_TRUE(GetComboBoxInfo(fkeyBox, &info));
  RECT dropped;
  GetClientRect(info.hwndList, &dropped);
  const auto itemHeight = static_cast<LONG>(SendMessageA(fkeyBox, CB_GETITEMHEIGHT, 0, 0));
  EXPECT_GE(dropped.bottom, 12 * itemHeight);
  SendMessageA(fkeyBox, CB_SHOWDROPDOWN, FALSE, 0);
}

}  // namespace
