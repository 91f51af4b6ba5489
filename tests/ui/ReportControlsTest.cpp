// Panels with an inner border, images, report-style list views and combo boxes as the capture window
// uses them, acted on through the headless backend.

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "platform/ui/Ui.h"
#include "platform/ui/UiTesting.h"

namespace {

class ReportControlsTest : public ::testing::Test {
 protected:
  void SetUp() override { ui::testing::Reset(); }
  void TearDown() override { ui::testing::Reset(); }
};

TBitmap Filled(int width, int height) {
  TBitmap bitmap;
  bitmap.SetSize(width, height);
  bitmap.Fill(clWhite);
  return bitmap;
}

// A list on the left, a right panel of 186 pixels whose lower part has an inner border, a hidden options
// panel at the bottom.
struct CaptureForm : ui::Form {
  explicit CaptureForm(ui::Application& app)
      : Form(app, {.caption = "Capture", .bounds = {352, 156, 708, 426}, .minWidth = 600, .minHeight = 425}) {
    Options.Create(*this, {.align = ui::Align::Bottom, .height = 195, .visible = false});
    Thumb.Create(*this, {.align = ui::Align::Right, .width = 186});
    ThumbTop.Create(Thumb, {.align = ui::Align::Top, .height = 33});
    ThumbMain.Create(Thumb, {.align = ui::Align::Client, .borderWidth = 4});
    Preview.Create(ThumbMain,
                   {.align = ui::Align::Client, .showHint = true, .center = true, .popupMenu = &Pop});
    Windows.Create(*this, {.align = ui::Align::Client,
                           .viewStyle = ui::ViewStyle::Report,
                           .hideSelection = false,
                           .columns = {{"Name", 338}, {"Size", 80, ui::TextAlign::Right}, {"ID", 0}},
                           .showColumnHeaders = false});
    Pop.Create(*this);
    SaveAs.Create(Pop, "Save as...");
    ScaleForScreen();
  }
  ui::Panel Options, Thumb, ThumbTop, ThumbMain;
  ui::Image Preview;
  ui::ListView Windows;
  ui::PopupMenu Pop;
  ui::MenuItem SaveAs;
};

TEST_F(ReportControlsTest, PanelsKeepTheirBorderAndGiveNoRoomWhileHidden) {
  ui::Application app;
  CaptureForm form(app);
  ASSERT_EQ(form.ClientHeight(), 387);
  // The hidden bottom panel takes no room: the others reach down to the bottom.
  EXPECT_FALSE(form.Options.Visible());
  EXPECT_EQ(form.Thumb.Bounds(), (ui::Rect{692 - 186, 0, 186, 387}));
  EXPECT_EQ(form.ThumbMain.Bounds(), (ui::Rect{0, 33, 186, 387 - 33}));
  // The border keeps the aligned picture 4 pixels from every edge of its panel.
  EXPECT_EQ(form.Preview.Bounds(), (ui::Rect{4, 4, 186 - 8, 387 - 33 - 8}));
  EXPECT_EQ(form.Windows.Bounds(), (ui::Rect{0, 0, 692 - 186, 387}));

  form.Options.SetVisible(true);
  EXPECT_EQ(form.Options.Bounds(), (ui::Rect{0, 387 - 195, 692, 195}));
  EXPECT_EQ(form.Preview.Bounds(), (ui::Rect{4, 4, 178, 387 - 195 - 33 - 8}));
  // The border holds through every resize.
  form.SetClientSize(800, 500);
  EXPECT_EQ(form.Preview.Bounds(), (ui::Rect{4, 4, 178, 500 - 195 - 33 - 8}));
}

TEST_F(ReportControlsTest, BorderAndColumnWidthsScaleWithTheForm) {
  ui::testing::SetScreenPixelsPerInch(144);
  ui::Application app;
  CaptureForm form(app);
  EXPECT_EQ(form.ThumbMain.BorderWidth(), 6);
  EXPECT_EQ(form.Thumb.Width(), 279);
  EXPECT_EQ(form.Preview.Bounds(), (ui::Rect{6, 6, 279 - 12, form.ThumbMain.Height() - 12}));
  ASSERT_EQ(form.Windows.Columns().size(), 3u);
  EXPECT_EQ(form.Windows.Columns()[0].width, 507);
  EXPECT_EQ(form.Windows.Columns()[1].width, 120);
  EXPECT_EQ(form.Windows.Columns()[2].width, 0);  // a hidden column stays hidden
  EXPECT_EQ(form.Windows.Columns()[1].alignment, ui::TextAlign::Right);
}

TEST_F(ReportControlsTest, ImageSizesItselfToEveryPictureAndOpensItsMenuOnRightClick) {
  ui::Application app;
  CaptureForm form(app);
  // Not auto-sized: the picture leaves the control's size alone.
  const ui::Rect bounds = form.Preview.Bounds();
  form.Preview.SetPicture(Filled(400, 300));
  EXPECT_EQ(form.Preview.Bounds(), bounds);

  ui::Image thumb;
  thumb.Create(form.ThumbTop, {.bounds = {6, 8, 10, 10}, .autoSize = true});
  thumb.SetPicture(Filled(170, 56));
  EXPECT_EQ(thumb.Bounds(), (ui::Rect{6, 8, 170, 56}));
  thumb.SetPicture(Filled(40, 20));  // smaller again: it follows every picture
  EXPECT_EQ(thumb.Bounds(), (ui::Rect{6, 8, 40, 20}));
  thumb.SetPicture(TBitmap());
  EXPECT_EQ(thumb.Bounds(), (ui::Rect{6, 8, 0, 0}));

  // A right-click opens the image's pop-up menu where the mouse is; a control without one opens its
  // nearest parent's, and none opens when no parent has one.
  EXPECT_EQ(ui::testing::RightClick(form.Preview, 500, 300), &form.Pop);
  ASSERT_EQ(ui::testing::PopupsShown().size(), 1u);
  EXPECT_EQ(ui::testing::PopupsShown()[0].menu, &form.Pop);
  EXPECT_EQ(ui::testing::PopupsShown()[0].x, 500);
  ui::Image inner;
  inner.Create(form.Preview, {.bounds = {0, 0, 5, 5}});
  EXPECT_EQ(ui::testing::RightClick(inner, 1, 2), &form.Pop);
  EXPECT_EQ(ui::testing::RightClick(thumb, 1, 2), nullptr);
  EXPECT_EQ(ui::testing::PopupsShown().size(), 2u);
}

TEST_F(ReportControlsTest, ReportListHoldsColumnsAndSubItems) {
  ui::Application app;
  CaptureForm form(app);
  ui::ListView& list = form.Windows;
  EXPECT_EQ(list.AddItem("Screen", {"1280 x 1024 px", ""}), 0);
  EXPECT_EQ(list.AddItem("Editor", {"800 x 600 px", "4242"}), 1);
  EXPECT_EQ(list.AddItem("Short", {}), 2);
  EXPECT_EQ(list.SubItem(1, 0), "Editor");
  EXPECT_EQ(list.SubItem(1, 1), "800 x 600 px");
  EXPECT_EQ(list.SubItem(1, 2), "4242");
  EXPECT_EQ(list.SubItem(1, 3), "");
  EXPECT_EQ(list.SubItem(2, 1), "");
  EXPECT_EQ(list.ItemImageIndex(0), -1);
  EXPECT_THROW(list.SubItem(3, 1), std::out_of_range);

  list.SetColumnWidth(0, 300);
  EXPECT_EQ(list.Columns()[0].width, 300);
  // A negative width would let the native view size the column itself: it is none.
  list.SetColumnWidth(2, -1);
  EXPECT_EQ(list.Columns()[2].width, 0);
  EXPECT_THROW(list.SetColumnWidth(3, 10), std::out_of_range);
  EXPECT_THROW(list.SetColumnWidth(-1, 10), std::out_of_range);

  // Captions edited in place reach only a list that is not read-only.
  list.NativeCaptionEdited(1, "Renamed");
  EXPECT_EQ(list.ItemCaption(1), "Editor");
  ui::ListView editable;
  editable.Create(form, {.bounds = {0, 0, 100, 100}, .viewStyle = ui::ViewStyle::Report, .readOnly = false});
  editable.AddItem("old", {});
  editable.NativeCaptionEdited(0, "new");
  editable.NativeCaptionEdited(5, "out of range");
  EXPECT_EQ(editable.ItemCaption(0), "new");
}

TEST_F(ReportControlsTest, ClientWidthLeavesOutTheBorderAndTheScrollBarOnceRowsOverflow) {
  using ui::testing::kListBorder;
  using ui::testing::kListRowHeight;
  using ui::testing::kScrollBarWidth;
  ui::Application app;
  ui::Form form(app, {.caption = "x", .bounds = {0, 0, 400, 300}});
  ui::ListView bare, headed;
  const int height = 2 * kListBorder + 5 * kListRowHeight;  // room for exactly five rows
  bare.Create(form, {.bounds = {0, 0, 300, height},
                     .viewStyle = ui::ViewStyle::Report,
                     .columns = {{"Name", 200}},
                     .showColumnHeaders = false});
  headed.Create(
      form, {.bounds = {0, 0, 300, height}, .viewStyle = ui::ViewStyle::Report, .columns = {{"Name", 200}}});
  const int inside = 300 - 2 * kListBorder;
  EXPECT_EQ(bare.ClientWidth(), inside);
  for (int i = 0; i < 5; ++i) {
    bare.AddItem("w" + std::to_string(i), {});
    headed.AddItem("w" + std::to_string(i), {});
  }
  EXPECT_EQ(bare.ClientWidth(), inside);
  // The header takes room from the rows.
  EXPECT_EQ(headed.ClientWidth(), inside - kScrollBarWidth);
  bare.AddItem("one too many", {});
  EXPECT_EQ(bare.ClientWidth(), inside - kScrollBarWidth);
  bare.Clear();
  EXPECT_EQ(bare.ClientWidth(), inside);
  // A taller list holds them again.
  bare.SetHeight(height + 2 * kListRowHeight);
  for (int i = 0; i < 7; ++i) bare.AddItem("w", {});
  EXPECT_EQ(bare.ClientWidth(), inside);

  // An icon view is measured inside its border.
  ui::ListView icons;
  icons.Create(form, {.bounds = {0, 0, 120, 10}});
  for (int i = 0; i < 50; ++i) icons.AddItem(i);
  EXPECT_EQ(icons.ClientWidth(), 120 - 2 * kListBorder);
}

TEST_F(ReportControlsTest, ClearIsOneUpdateAndADisabledListRefusesTheUser) {
  ui::Application app;
  CaptureForm form(app);
  ui::ListView& list = form.Windows;
  std::vector<std::string> events;
  list.OnKeyDown = [&](int key) { events.push_back("key " + std::to_string(key)); };
  list.OnDblClick = [&] { events.push_back("double click"); };
  list.OnClick = [&] { events.push_back("click"); };
  list.OnSelectItem = [&](int index, bool selected) {
    events.push_back("select " + std::to_string(index) + (selected ? " on" : " off"));
  };
  list.AddItem("Screen", {"1280 x 1024 px", ""});
  list.AddItem("Desktop", {"1280 x 1024 px", ""});

  list.NativeKeyDown(ui::key::F5);
  list.NativeSelectionChanged(1, true);
  list.NativeClick();
  list.NativeDblClick();
  EXPECT_EQ(events, (std::vector<std::string>{"key 116", "select 1 on", "click", "double click"}));

  events.clear();
  list.SetEnabled(false);
  list.NativeKeyDown(ui::key::F5);
  list.NativeSelectionChanged(0, true);
  list.NativeClick();
  list.NativeDblClick();
  EXPECT_TRUE(events.empty());
  EXPECT_EQ(list.FirstSelected(), 1);
  // The program still selects.
  list.SetSelected(0, true);
  EXPECT_EQ(events, (std::vector<std::string>{"select 1 off", "select 0 on"}));

  const int before = ui::testing::ListUpdateSuspensions(list);
  list.Clear();
  EXPECT_EQ(ui::testing::ListUpdateSuspensions(list), before + 1);
  EXPECT_FALSE(list.Updating());
  EXPECT_EQ(list.Count(), 0);
  // Inside an update of the program's own, it adds none.
  list.BeginUpdate();
  list.Clear();
  list.EndUpdate();
  EXPECT_EQ(ui::testing::ListUpdateSuspensions(list), before + 2);
}

TEST_F(ReportControlsTest, EditableComboTakesAnyTextAndFollowsTheItemWithIt) {
  ui::Application app;
  ui::Form form(app, {.caption = "x", .bounds = {0, 0, 400, 300}});
  ui::ComboBox seconds;
  seconds.Create(form, {.bounds = {265, 143, 57, 21},
                        .items = {"100", "250", "500", "5000", "60000"},
                        .text = "5000",
                        .tabOrder = 7});
  EXPECT_EQ(seconds.Style(), ui::ComboStyle::DropDown);
  EXPECT_EQ(seconds.Text(), "5000");
  EXPECT_EQ(seconds.ItemIndex(), 3);  // the initial text is an item's
  EXPECT_EQ(seconds.TabOrder(), 7);
  std::vector<std::string> changes;
  seconds.OnChange = [&] { changes.push_back(seconds.Text() + "@" + std::to_string(seconds.ItemIndex())); };

  seconds.SetText("1234");
  seconds.SetText("1234");  // no change, no event
  seconds.SetText("250");
  seconds.SetItemIndex(4);
  seconds.SetItemIndex(4);
  seconds.SetItemIndex(9);  // out of range: none, and an editable field empties
  EXPECT_EQ(changes, (std::vector<std::string>{"1234@-1", "250@1", "60000@4", "@-1"}));

  // What the user types and picks, once each; the system repeating the field's text is no change.
  changes.clear();
  seconds.NativeTextChanged("7");
  seconds.NativeTextChanged("75");
  seconds.NativeTextChanged("75");
  seconds.NativeTextChanged("500");
  seconds.NativeItemSelected(0);
  seconds.NativeItemSelected(0);
  seconds.SetCaption("5000");  // the caption is the text
  EXPECT_EQ(changes, (std::vector<std::string>{"7@-1", "75@-1", "500@2", "100@0", "5000@3"}));
}

TEST_F(ReportControlsTest, DropDownListShowsOnlyItsItems) {
  ui::Application app;
  ui::Form form(app, {.caption = "x", .bounds = {0, 0, 400, 300}});
  std::vector<std::string> keys;
  for (int i = 1; i <= 12; ++i) keys.push_back("F" + std::to_string(i));
  ui::ComboBox fkey, none, byText;
  fkey.Create(
      form,
      {.bounds = {265, 167, 57, 21}, .style = ui::ComboStyle::DropDownList, .items = keys, .itemIndex = 0});
  none.Create(form, {.style = ui::ComboStyle::DropDownList, .items = keys, .text = "F13"});
  byText.Create(form, {.style = ui::ComboStyle::DropDownList, .items = keys, .text = "F5"});
  EXPECT_EQ(fkey.Text(), "F1");
  EXPECT_EQ(fkey.ItemIndex(), 0);
  EXPECT_EQ(none.Text(), "");
  EXPECT_EQ(none.ItemIndex(), -1);
  EXPECT_EQ(byText.ItemIndex(), 4);
  EXPECT_EQ(fkey.Items().size(), 12u);

  int changes = 0;
  fkey.OnChange = [&] { ++changes; };
  fkey.SetText("F12");
  EXPECT_EQ(fkey.ItemIndex(), 11);
  fkey.SetText("Shift");  // no item has it: none selected, no text
  EXPECT_EQ(fkey.ItemIndex(), -1);
  EXPECT_EQ(fkey.Text(), "");
  fkey.SetText("");  // already so
  fkey.SetCaption("F3");
  EXPECT_EQ(fkey.ItemIndex(), 2);
  fkey.NativeItemSelected(5);
  EXPECT_EQ(fkey.Text(), "F6");
  fkey.NativeTextChanged("F7");  // a list is only picked from: the item with that text
  EXPECT_EQ(fkey.ItemIndex(), 6);
  fkey.NativeTextChanged("xyz");
  EXPECT_EQ(fkey.Text(), "F7");
  fkey.NativeItemSelected(-1);
  EXPECT_EQ(fkey.Text(), "");
  EXPECT_EQ(changes, 6);
}

}  // namespace
