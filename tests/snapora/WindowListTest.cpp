// Snapora's main window and its list of capture targets on the virtual screen: what is listed, in which
// order, with which size text, which entry stays selected across rebuilds, and the layout rules.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "tests/snapora/SnaporaFixture.h"

namespace {

using snapora_testing::SnaporaTest;
using Names = std::vector<std::string>;
constexpr const char* kCaption = "Snapora Version 1.460 (06.06.2017)";
constexpr const char* kRegion = "Region...";

TEST_F(SnaporaTest, StartsWithItsWindowsAndTheScreenSelected) {
  const os::WindowHandle editor = os::testing::AddWindow("Editor", {100, 100, 500, 400});
  TFrmSnapora& frm = OpenShown();
  EXPECT_EQ(frm.Caption(), kCaption);
  EXPECT_EQ(app->Title(), "Snapora");
  EXPECT_EQ(app->MainForm(), &frm);
  // The three windows exist; only the main window shows.
  EXPECT_FALSE(windows->FrmFullscreen.Showing());
  EXPECT_FALSE(windows->FrmFileName.Showing());

  // Screen, Desktop and Region first, then the windows front to back. The list is filled while the window is
  // being shown, before it is visible: it lists itself from the next rebuild on, in front.
  EXPECT_EQ(Captions(), (Names{"Screen", "Desktop", kRegion, "Editor"}));
  frm.BtnRefresh.Click();
  EXPECT_EQ(Captions(), (Names{"Screen", "Desktop", kRegion, kCaption, "Editor"}));
  EXPECT_EQ(frm.LisWindows.FirstSelected(), 0);
  EXPECT_EQ(frm.LisWindows.SelCount(), 1);
  EXPECT_EQ(frm.LisWindows.SubItem(0, 1), "1280 x 1024 px");
  EXPECT_EQ(frm.LisWindows.SubItem(1, 1), "1280 x 1024 px");
  EXPECT_EQ(frm.LisWindows.SubItem(0, 2), "");
  EXPECT_EQ(frm.LisWindows.SubItem(4, 1), "400 x 300 px");
  EXPECT_EQ(frm.LisWindows.SubItem(4, 2), std::to_string(editor));
  EXPECT_EQ(frm.EntryTarget(4), editor);
  EXPECT_EQ(frm.EntryTarget(0), 0);

  // The options as designed: only the first switches, the interval and the buttons show.
  EXPECT_TRUE(frm.ChbClient.Visible() && frm.ChbDefineRect.Visible() && frm.ChbToFile.Visible());
  EXPECT_FALSE(frm.PnlRect.Visible() || frm.EdtFile.Visible() || frm.BtnBrowse.Visible() ||
               frm.ChbAskName.Visible() || frm.CbbFKey.Visible() || frm.ChbShift.Visible() ||
               frm.ChbAlt.Visible() || frm.ChbCtrl.Visible() || frm.BtnStop.Visible() ||
               frm.ImgBlank.Visible());
  // Without stored settings the interval reads "5", the stored default (the window was made with
  // "5000").
  EXPECT_EQ(frm.CbbSeconds.Text(), "5");
  EXPECT_EQ(frm.CbbSeconds.Items().size(), 11u);
  EXPECT_EQ(frm.CbbFKey.ItemIndex(), 0);
  EXPECT_EQ(frm.CbbFKey.Text(), "F1");
  EXPECT_EQ(frm.EdtWidth.Text(), "300");
  EXPECT_EQ(frm.EdtHeight.Text(), "200");
  EXPECT_TRUE(frm.TimKeyProc.Enabled());
  EXPECT_FALSE(frm.TimCapture.Enabled());
  // The tab order of the options.
  const std::vector<const ui::Control*> order = {
      &frm.ChbClient,  &frm.ChbDefineRect,  &frm.ChbToFile,  &frm.EdtFile,     &frm.BtnBrowse,
      &frm.ChbAskName, &frm.ChbAutoCapture, &frm.CbbSeconds, &frm.ChbKeyboard, &frm.CbbFKey,
      &frm.ChbShift,   &frm.ChbAlt,         &frm.ChbCtrl,    &frm.PnlRect};
  for (std::size_t i = 0; i < order.size(); ++i) EXPECT_EQ(order[i]->TabOrder(), static_cast<int>(i));

  // The preview starts without an image: the placeholder, centred, with its hint; no thumbnail.
  EXPECT_TRUE(frm.ImgCapture.Center());
  EXPECT_EQ(frm.ImgCapture.Hint(), "No image available");
  EXPECT_EQ(frm.ImgCapture.Picture().Width(), 48);
  EXPECT_EQ(frm.ImgThumbNail.Picture().Width(), 0);
}

TEST_F(SnaporaTest, ListsOnlyVisibleTitledWindowsWithASize) {
  os::testing::AddWindow("Hidden", {0, 0, 100, 100}, false);
  os::testing::AddWindow("", {0, 0, 100, 100});
  os::testing::AddWindow("Flat", {10, 10, 300, 10});
  os::testing::AddWindow("Thin", {10, 10, 10, 300});
  const os::WindowHandle minimised = os::testing::AddWindow("Minimised", {50, 50, 450, 350});
  os::testing::MinimizeWindow(minimised);
  os::testing::AddWindow("Left", {-50, 20, 150, 120});
  os::testing::AddWindow("Above", {20, -50, 120, 150});
  TFrmSnapora& frm = OpenShown();
  frm.BtnRefresh.Click();

  EXPECT_EQ(Captions(), (Names{"Screen", "Desktop", kRegion, kCaption, "Above", "Left", "Minimised"}));
  // A minimised window (far off at negative coordinates) has no size text; one that only reaches past
  // the left or top edge keeps its full size.
  EXPECT_EQ(frm.LisWindows.SubItem(EntryOf("Minimised"), 1), "");
  EXPECT_EQ(frm.LisWindows.SubItem(EntryOf("Left"), 1), "200 x 100 px");
  EXPECT_EQ(frm.LisWindows.SubItem(EntryOf("Above"), 1), "100 x 200 px");
}

TEST_F(SnaporaTest, RebuildsKeepTheSelectionWhileCaptionAndHandleStay) {
  const os::WindowHandle first = os::testing::AddWindow("Report", {0, 0, 200, 200});
  const os::WindowHandle second = os::testing::AddWindow("Report", {0, 0, 300, 200});
  TFrmSnapora& frm = OpenShown();
  frm.BtnRefresh.Click();
  ASSERT_EQ(Captions(), (Names{"Screen", "Desktop", kRegion, kCaption, "Report", "Report"}));

  // Two windows of one title: the handle tells them apart.
  int index = -1;
  for (int i = 0; i < frm.LisWindows.Count(); ++i)
    if (frm.EntryTarget(i) == first) index = i;
  ASSERT_GE(index, 0);
  frm.LisWindows.SetSelected(index, true);
  frm.BtnRefresh.Click();
  ASSERT_EQ(frm.LisWindows.SelCount(), 1);
  EXPECT_EQ(frm.EntryTarget(frm.LisWindows.FirstSelected()), first);

  // F5 rebuilds too; another key does not.
  os::testing::AddWindow("Newcomer", {0, 0, 50, 50});
  frm.LisWindows.NativeKeyDown('A');
  EXPECT_EQ(EntryOf("Newcomer"), -1);
  frm.LisWindows.NativeKeyDown(ui::key::F5);
  EXPECT_EQ(EntryOf("Newcomer"), 3);

  // A retitled window loses the selection, and nothing is selected then.
  os::testing::SetWindowTitle(first, "Report (changed)");
  frm.BtnRefresh.Click();
  EXPECT_EQ(frm.LisWindows.SelCount(), 0);

  // The Desktop entry is found again by its caption.
  SelectEntry("Desktop");
  frm.BtnRefresh.Click();
  EXPECT_EQ(frm.LisWindows.FirstSelected(), 1);
  // A window closed between two rebuilds goes from the list.
  os::testing::CloseWindow(second);
  frm.BtnRefresh.Click();
  for (int i = 0; i < frm.LisWindows.Count(); ++i) EXPECT_NE(frm.EntryTarget(i), second);
}

TEST_F(SnaporaTest, DoubleClickRaisesAWindowEntryAndNothingElse) {
  const os::WindowHandle back = os::testing::AddWindow("Back", {0, 0, 200, 200});
  os::testing::AddWindow("Front", {0, 0, 200, 200});
  TFrmSnapora& frm = OpenShown();
  frm.BtnRefresh.Click();
  os::testing::ClearWindowCalls();

  SelectEntry("Screen");
  frm.LisWindows.NativeDblClick();
  SelectEntry("Desktop");
  frm.LisWindows.NativeDblClick();
  EXPECT_TRUE(os::testing::WindowCalls().empty());

  SelectEntry("Back");
  frm.LisWindows.NativeDblClick();
  const std::string h = std::to_string(back);
  EXPECT_EQ(os::testing::WindowCalls(), (std::vector<std::string>{"BringToTop " + h, "ShowWindow " + h + " 9",
                                                                  "ShowWindow " + h + " 5"}));
  // The list was rebuilt: the raised window now stands first among the windows, still selected.
  EXPECT_EQ(Captions(), (Names{"Screen", "Desktop", kRegion, "Back", kCaption, "Front"}));
  EXPECT_EQ(frm.EntryTarget(frm.LisWindows.FirstSelected()), back);
}

TEST_F(SnaporaTest, TheWalkSurvivesWindowsThatGoLongTitlesAndThousandsOfWindows) {
  // A title of 4095 bytes is kept whole, a longer one is cut to 4095 (the system's buffer).
  const std::string longTitle(4095, 'T');
  os::testing::AddWindow(longTitle, {0, 0, 10, 10});
  os::testing::AddWindow(std::string(6000, 'U'), {0, 0, 10, 10});
  for (int i = 0; i < 3000; ++i) os::testing::AddWindow("W" + std::to_string(i), {0, 0, 20, 20});
  TFrmSnapora& frm = OpenShown();
  frm.BtnRefresh.Click();
  EXPECT_EQ(frm.LisWindows.Count(), 3 + 1 + 3000 + 2);
  EXPECT_EQ(EntryOf(std::string(4095, 'U')), frm.LisWindows.Count() - 2);
  EXPECT_GE(EntryOf(longTitle), 0);

  // A window that closes while the list is built ends the walk there, as the system's walk ends at a
  // window that is gone; the entry made for it just before stays until the next rebuild.
  int calls = 0;
  os::testing::OnNextWindow([&](os::WindowHandle window) {
    if (++calls == 7) os::testing::CloseWindow(window);
  });
  frm.BtnRefresh.Click();
  os::testing::OnNextWindow({});
  EXPECT_EQ(calls, 7);
  const int listed = frm.LisWindows.Count();
  ASSERT_GT(listed, 3);
  EXPECT_LT(listed, 3 + 7 + 1);
  EXPECT_FALSE(os::WindowExists(frm.EntryTarget(listed - 1)));
  for (int i = 3; i < listed - 1; ++i) EXPECT_TRUE(os::WindowExists(frm.EntryTarget(i))) << i;
}

// The layout rules: buttons centred about the middle, the file field and the name column stretched.
TEST_F(SnaporaTest, ResizeRulesAt96And120PixelsPerInch) {
  TFrmSnapora& frm = OpenShown();
  ASSERT_EQ(frm.ClientWidth(), 692);
  EXPECT_EQ(frm.PnlBottom.Width(), 692);
  EXPECT_EQ(frm.PnlListTop.Width(), 506);
  EXPECT_EQ(frm.BtnCapture.Left(), 241);
  EXPECT_EQ(frm.BtnOk.Left(), 349);
  EXPECT_EQ(frm.BtnRefresh.Left(), 403);
  EXPECT_EQ(frm.BtnBrowse.Left(), 660);
  EXPECT_EQ(frm.EdtFile.Width(), 454);
  EXPECT_EQ(frm.LisWindows.Columns().at(0).width,
            frm.LisWindows.ClientWidth() - (frm.LisWindows.Columns().at(1).width + 12));
  EXPECT_EQ(frm.BtnStop.Left(), 9);

  frm.SetClientSize(901, 500);
  const int half = frm.PnlBottom.Width() / 2;
  EXPECT_EQ(frm.BtnCapture.Left(), half - (3 + frm.BtnCapture.Width()));
  EXPECT_EQ(frm.BtnOk.Left(), half + 3);
  EXPECT_EQ(frm.EdtFile.Width(), frm.PnlBottom.Width() - (12 + frm.EdtFile.Left() + frm.BtnBrowse.Width()));

  // At 120 pixels per inch the margins are s(3) = 3, s(6) = 7 and s(12) = 15.
  windows.reset();
  ui::testing::Reset();
  ui::testing::SetScreenPixelsPerInch(120);
  TFrmSnapora& scaled = OpenShown();
  EXPECT_EQ(scaled.PixelsPerInch(), 120);
  EXPECT_EQ(scaled.ScaleForDpi(6), 7);
  const int w = scaled.PnlBottom.Width();
  EXPECT_EQ(scaled.BtnCapture.Left(), w / 2 - (3 + scaled.BtnCapture.Width()));
  EXPECT_EQ(scaled.BtnOk.Left(), w / 2 + 3);
  EXPECT_EQ(scaled.BtnBrowse.Left(), w - (7 + scaled.BtnBrowse.Width()));
  EXPECT_EQ(scaled.EdtFile.Width(), w - (15 + scaled.EdtFile.Left() + scaled.BtnBrowse.Width()));
  EXPECT_EQ(scaled.BtnRefresh.Left(), scaled.PnlListTop.Width() - (3 + scaled.BtnRefresh.Width()));
  EXPECT_EQ(scaled.LisWindows.Columns().at(0).width,
            scaled.LisWindows.ClientWidth() - (scaled.LisWindows.Columns().at(1).width + 15));
}

// The size column keeps its designed 80 pixels while every size fits in the list's font, and grows to
// the widest size (with the view's margins) when one does not; the name column takes what is left.
TEST_F(SnaporaTest, TheSizeColumnFitsItsWidestText) {
  struct Case {
    int fontSize;
    bool wideWindow;
  };
  for (const Case c : {Case{2, false}, Case{8, false}, Case{8, true}}) {
    SCOPED_TRACE(c.fontSize * 10 + c.wideWindow);
    windows.reset();
    ui::testing::Reset();
    if (c.wideWindow) os::testing::AddWindow("Wide", {0, 0, 123456, 123456});
    TFrmSnapora& frm = OpenShown();
    ui::Font font = frm.LisWindows.GetFont();
    font.size = c.fontSize;
    frm.LisWindows.SetFont(font);
    frm.BtnRefresh.Click();
    const ui::TextRenderer renderer(font, frm.PixelsPerInch());
    int widest = 0;
    for (int i = 0; i < frm.LisWindows.Count(); ++i)
      widest = std::max(widest, renderer.Measure(frm.LisWindows.SubItem(i, 1)).width);
    const int width = frm.LisWindows.Columns().at(1).width;
    EXPECT_EQ(width, std::max(widest + 12, 80));
    EXPECT_EQ(width > 80, c.fontSize == 8);
    EXPECT_EQ(frm.LisWindows.Columns().at(0).width, frm.LisWindows.ClientWidth() - (width + 12));
  }
}

// A switch whose caption is wider than its designed width in the chosen language and font grows as far
// as the control beside it allows, and is back at its designed width in a language where it fits.
TEST_F(SnaporaTest, SwitchesGrowForCaptionsWiderThanTheirDesign) {
  for (const char* name : {"Snapora_Languages.ini", "Snapora_English.lng", "Snapora_Deutsch.lng"})
    PlaceShipped(name);
  TFrmSnapora& frm = OpenShown();
  const int room = frm.EdtFile.Left() - 4 - frm.ChbToFile.Left();
  for (const char* language : {"Deutsch", "English", "Deutsch"}) {
    SCOPED_TRACE(language);
    frm.SelectLanguage(language);
    EXPECT_EQ(frm.ChbToFile.Width(), std::clamp(frm.ChbToFile.FittingWidth(), 169, room));
    EXPECT_EQ(frm.ChbAutoCapture.Width(),
              std::clamp(frm.ChbAutoCapture.FittingWidth(), 249, frm.CbbSeconds.Left() - 4 - 8));
  }
  EXPECT_GT(frm.ChbToFile.Width(), 169);
  frm.ChbToFile.SetCaption(std::string(60, 'W'));
  frm.SetClientSize(frm.ClientWidth() + 1, frm.ClientHeight());
  EXPECT_EQ(frm.ChbToFile.Width(), room);
  frm.SelectLanguage("English");
  EXPECT_EQ(frm.ChbToFile.Width(), 169);
}

// What the layout of the main window is made of: its resolution, minimum size and client size, and
// every control's bounds, the panels' inner borders and the list's column widths.
std::vector<int> LayoutOf(const TFrmSnapora& frm) {
  std::vector<int> values{frm.PixelsPerInch(), frm.MinWidth(), frm.MinHeight(), frm.ClientWidth(),
                          frm.ClientHeight()};
  const std::function<void(const ui::Control&)> add = [&](const ui::Control& control) {
    const ui::Rect b = control.Bounds();
    values.insert(values.end(), {b.left, b.top, b.width, b.height});
    if (const auto* panel = dynamic_cast<const ui::Panel*>(&control)) values.push_back(panel->BorderWidth());
    if (const auto* list = dynamic_cast<const ui::ListView*>(&control))
      for (const ui::ListColumn& column : list->Columns()) values.push_back(column.width);
    for (const ui::Control* child : control.Children()) add(*child);
  };
  for (const ui::Control* child : frm.Children()) add(*child);
  return values;
}

// Moved to a monitor of another resolution, there and back and from one scaled monitor to another, the
// window's client area is scaled with the resolution, and at the client size of a window made at that
// resolution it has exactly that window's layout.
TEST_F(SnaporaTest, OnAMonitorOfAnotherResolutionTheWindowHasTheLayoutMadeForIt) {
  std::map<int, std::vector<int>> made;
  for (const int pixelsPerInch : {96, 120, 144}) {
    windows.reset();
    ui::testing::Reset();
    ui::testing::SetScreenPixelsPerInch(pixelsPerInch);
    made[pixelsPerInch] = LayoutOf(OpenShown());
  }
  windows.reset();
  ui::testing::Reset();
  os::testing::AddMonitor({1280, 0, 3200, 1200}, 144);
  os::testing::AddMonitor({-1600, -300, 0, 900}, 120);
  TFrmSnapora& frm = OpenShown();

  struct Step {
    int left, top, pixelsPerInch;
  };
  for (const Step& step : {Step{1300, 20, 144}, Step{-1500, -200, 120}, Step{1400, 40, 144}, Step{10, 10, 96},
                           Step{-1590, 0, 120}, Step{20, 30, 96}}) {
    SCOPED_TRACE(step.left);
    os::testing::MoveWindow(frm.Handle(),
                            {step.left, step.top, step.left + frm.Width(), step.top + frm.Height()});
    const std::vector<int>& expected = made[step.pixelsPerInch];
    EXPECT_EQ(frm.Left(), step.left);
    EXPECT_EQ(frm.ClientWidth(), expected[3]);
    // (A window made at 120 or 144 pixels per inch is as high as its scaled minimum, which is the outer
    // height: its client area is lower than the scaled one the move suggests.)
    frm.SetClientSize(expected[3], expected[4]);
    EXPECT_EQ(LayoutOf(frm), expected);
    EXPECT_EQ(frm.ScaleForDpi(12), 12 * step.pixelsPerInch / 96);
  }
}

TEST_F(SnaporaTest, OptionSwitchesShowTheirFieldsAndExcludeEachOther) {
  TFrmSnapora& frm = OpenShown();
  frm.ChbDefineRect.Click();
  EXPECT_TRUE(frm.PnlRect.Visible());
  frm.ChbDefineRect.Click();
  EXPECT_FALSE(frm.PnlRect.Visible());

  frm.ChbToFile.Click();
  EXPECT_TRUE(frm.EdtFile.Visible() && frm.BtnBrowse.Visible() && frm.ChbAskName.Visible());

  frm.ChbKeyboard.Click();
  EXPECT_TRUE(frm.CbbFKey.Visible() && frm.ChbShift.Visible() && frm.ChbAlt.Visible() &&
              frm.ChbCtrl.Visible());
  frm.ChbAskName.Click();
  // Ticking automatic capture unticks the hot key (hiding its fields) and the name question.
  frm.ChbAutoCapture.Click();
  EXPECT_TRUE(frm.ChbAutoCapture.Checked());
  EXPECT_FALSE(frm.ChbKeyboard.Checked());
  EXPECT_FALSE(frm.ChbAskName.Checked());
  EXPECT_FALSE(frm.CbbFKey.Visible() || frm.ChbShift.Visible() || frm.ChbAlt.Visible() ||
               frm.ChbCtrl.Visible());
  // Ticking either of the others stops automatic capture and unticks it.
  frm.ChbKeyboard.Click();
  EXPECT_FALSE(frm.ChbAutoCapture.Checked());
  frm.ChbAutoCapture.Click();
  frm.ChbAskName.Click();
  EXPECT_FALSE(frm.ChbAutoCapture.Checked());
  // The hot key and the name question may be ticked together.
  EXPECT_TRUE(frm.ChbAskName.Checked());
  frm.ChbKeyboard.SetChecked(true);
  EXPECT_TRUE(frm.ChbAskName.Checked() && frm.ChbKeyboard.Checked());
  // None of this touched the file field.
  frm.EdtFile.SetText("kept.bmp");
  frm.ChbKeyboard.SetChecked(false);
  frm.ChbKeyboard.SetChecked(true);
  EXPECT_EQ(frm.EdtFile.Text(), "kept.bmp");

  // Browse puts the chosen name into the file field; a cancelled dialog changes nothing.
  ui::testing::AnswerSave(frm.SvdSave, "/tmp/shot.jpg", 2);
  frm.BtnBrowse.Click();
  EXPECT_EQ(frm.EdtFile.Text(), "/tmp/shot.jpg");
  ui::testing::CancelNext(frm.SvdSave);
  frm.BtnBrowse.Click();
  EXPECT_EQ(frm.EdtFile.Text(), "/tmp/shot.jpg");

  // OK closes the program.
  frm.BtnOk.Click();
  EXPECT_FALSE(frm.Showing());
}

}  // namespace
