// A region chosen on the frozen screen and captured through the capture routine: by the button (the
// frozen picture's pixels, whatever the screen shows meanwhile), with one monitor or two; Escape
// captures nothing; the command line with its exit codes; automatic capture chooses once and then
// takes the same region of the screen at each tick; the hot key; the region kept in the settings and offered again.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

#include "tests/snapora/SnaporaFixture.h"

namespace {

namespace fs = std::filesystem;
using snapora_testing::DisplayPart;
using snapora_testing::ExpectSamePixels;
using snapora_testing::SnaporaTest;

constexpr int kEnter = 0x0D, kEscape = 0x1B;

// What the user does on the overlay: a drag between two pixels of the picture, or one key; the screen
// is painted over meanwhile, so that only the frozen picture still shows what was there.
void OnOverlay(std::function<void(ui::ScreenOverlay&)> act, int* runs = nullptr) {
  ui::testing::OnOverlay([act, runs](ui::ScreenOverlay& overlay) {
    if (runs != nullptr) ++*runs;
    TBitmap& display = os::testing::DisplayPixels();
    for (int y = 0; y < display.Height(); ++y)
      for (int x = 0; x < display.Width(); ++x) display.SetPixel(x, y, clBlack);
    act(overlay);
  });
}
std::function<void(ui::ScreenOverlay&)> Drag(int x1, int y1, int x2, int y2) {
  return [=](ui::ScreenOverlay& overlay) {
    overlay.NativeMouseDown(x1, y1);
    overlay.NativeMouseMove(x2, y2);
    overlay.NativeMouseUp(x2, y2);
  };
}
std::function<void(ui::ScreenOverlay&)> Key(int key) {
  return [key](ui::ScreenOverlay& overlay) { overlay.NativeKeyDown(key, false); };
}

}  // namespace

TEST_F(SnaporaTest, ARegionDraggedOnTheFrozenScreenIsCapturedExactly) {
  struct Case {
    bool secondMonitor;
    int x1, y1, x2, y2;       // the drag, in the picture of every monitor
    os::ScreenRect expected;  // screen coordinates
    const char* fields[4];    // left, top, width, height from the virtual screen's corner
  };
  for (const Case& c :
       {Case{false, 300, 200, 250, 150, {250, 150, 301, 201}, {"250", "150", "51", "51"}},
        Case{true, 100, 50, 1930, 230, {-1820, -150, 11, 31}, {"100", "50", "1831", "181"}}}) {
    SCOPED_TRACE(c.secondMonitor);
    windows.reset();
    ui::testing::Reset();
    os::testing::ClearClipboard();
    if (c.secondMonitor) os::testing::AddMonitor({-1920, -200, 0, 880}, 144);
    PaintDisplay();
    const TBitmap frozen =
        DisplayPart(c.expected.left, c.expected.top, c.expected.Width(), c.expected.Height());
    TFrmSnapora& frm = OpenShown();
    EXPECT_EQ(EntryOf(frm.RegionLabel), c.secondMonitor ? 3 : 2);  // after the entries that were there
    SelectEntry(frm.RegionLabel);
    OnOverlay(Drag(c.x1, c.y1, c.x2, c.y2));
    frm.BtnCapture.Click();
    ExpectSamePixels(frm.ImgCapture.Picture(), frozen);
    ASSERT_TRUE(os::testing::ClipboardBitmap().has_value());
    ExpectSamePixels(*os::testing::ClipboardBitmap(), frozen);
    EXPECT_TRUE(frm.ChbDefineRect.Checked());
    const ui::Edit* edits[] = {&frm.EdtLeft, &frm.EdtTop, &frm.EdtWidth, &frm.EdtHeight};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(edits[i]->Text(), c.fields[i]);
    EXPECT_EQ(frm.LisWindows.ItemCaption(frm.LisWindows.FirstSelected()), frm.RegionLabel);
  }
}

TEST_F(SnaporaTest, EscapeCapturesNothingAndTheLastRegionIsOfferedAgainAfterARestart) {
  PaintDisplay();
  const TBitmap frozen = DisplayPart(250, 150, 51, 51);
  TFrmSnapora& frm = OpenShown();
  SelectEntry(frm.RegionLabel);
  OnOverlay(Key(kEscape));
  frm.BtnCapture.Click();
  EXPECT_TRUE(frm.ImgCapture.Center()) << "no capture";
  EXPECT_FALSE(os::testing::ClipboardBitmap().has_value());
  EXPECT_FALSE(frm.ChbDefineRect.Checked());
  EXPECT_TRUE(frm.Showing());

  PaintDisplay();
  OnOverlay(Drag(250, 150, 300, 200));
  frm.BtnCapture.Click();
  frm.Close();
  TSettingsDocument stored(1);
  ASSERT_TRUE(stored.Load(SettingsFile().string()));
  EXPECT_EQ(stored.GetString("LastRegion", ""), "250;150;51;51");

  // After a restart Enter takes the region offered: from the command line, Escape writes nothing.
  const fs::path out = storage.Path();
  auto run = [&](const std::string& file, int key) {
    windows.reset();
    ui::testing::Reset();
    PaintDisplay();
    OnOverlay(Key(key));
    return RunSnapora(*app, Folders(), {(out / file).string(), "REGION"});
  };
  EXPECT_EQ(run("none.png", kEscape), capture_exit::NotWritten);
  EXPECT_FALSE(fs::exists(out / "none.png"));
  EXPECT_EQ(run("part.bmp", kEnter), capture_exit::Written);
  EXPECT_EQ(fs::file_size(out / "part.bmp"), 54u + 51u * 51u * 4u);
}

TEST_F(SnaporaTest, AutomaticCaptureChoosesTheRegionOnceAndTakesItFromTheScreenAtEachTick) {
  PaintDisplay();
  TFrmSnapora& frm = OpenShown();
  frm.TimKeyProc.SetEnabled(false);
  SelectEntry(frm.RegionLabel);
  frm.CbbSeconds.SetText("100");
  frm.ChbAutoCapture.SetChecked(true);
  int overlays = 0;
  OnOverlay(Drag(10, 20, 49, 39), &overlays);
  frm.BtnCapture.Click();
  EXPECT_TRUE(frm.TimCapture.Enabled());
  // The screen now shows black where the pattern was, and a new pattern is painted in part of it.
  TBitmap& display = os::testing::DisplayPixels();
  for (int y = 25; y < 30; ++y)
    for (int x = 15; x < 45; ++x) display.SetPixel(x, y, RGB(255, 0, 0));
  ui::testing::AdvanceTime(100);
  EXPECT_EQ(overlays, 1);
  ExpectSamePixels(frm.ImgCapture.Picture(), DisplayPart(10, 20, 40, 20));
  frm.BtnStop.Click();

  // Cancelled at the start, the run does not begin.
  frm.ChbAutoCapture.SetChecked(true);
  OnOverlay(Key(kEscape), &overlays);
  frm.BtnCapture.Click();
  EXPECT_EQ(overlays, 2);
  EXPECT_FALSE(frm.TimCapture.Enabled());
  EXPECT_FALSE(frm.BtnStop.Visible());

  // The hot key (F9) chooses a region too, with the main window left where it is.
  frm.ChbKeyboard.SetChecked(true);
  frm.CbbFKey.SetItemIndex(8);
  frm.TimKeyProc.SetEnabled(true);
  OnOverlay(Drag(0, 0, 9, 4), &overlays);
  os::testing::SetKeyDown(0x78, true);
  ui::testing::AdvanceTime(100);
  os::testing::SetKeyDown(0x78, false);
  EXPECT_EQ(overlays, 3);
  EXPECT_EQ(frm.ImgCapture.Picture().Width(), 10);
  EXPECT_EQ(frm.ImgCapture.Picture().Height(), 5);
  EXPECT_TRUE(frm.Showing());
}
