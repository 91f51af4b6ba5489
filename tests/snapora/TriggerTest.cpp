// What starts a capture and what it does to the main window: the Capture button, automatic capture with
// its stamped file names, interval, stop and Escape, the hot key with its latches, the command line and
// its exit codes, the failures on the way (a write that fails during automatic capture, a target
// that closes, a stamped name that is taken), that no trigger captures behind an error box, and the
// captures on a desktop that hides its windows.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "imaging/Errors.h"
#include "platform/os/OsTesting.h"
#include "tests/snapora/SnaporaFixture.h"

namespace {

namespace fs = std::filesystem;
using snapora_testing::Count;
using snapora_testing::CountStartingWith;
using snapora_testing::SnaporaTest;

constexpr int kEscape = 0x1B, kF1 = 0x70, kF5 = 0x74, kLeftControl = 0xA2, kRightShift = 0xA1,
              kLeftAlt = 0xA4;

int Grabs() { return CountStartingWith("GrabDisplay"); }

// The files of the folder, by name, sorted.
std::vector<std::string> FilesIn(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(StampedFileName, PutsDayBeforeMonthAndKeepsTheExtension) {
  const os::LocalTime moment{2017, 6, 5, 14, 3, 7, 45};
  EXPECT_EQ(StampedFileName("D:\\Shots\\win.bmp", moment), "D:\\Shots\\win20170506-140307_045.bmp");
  EXPECT_EQ(StampedFileName("D:\\Shots\\", moment), "D:\\Shots\\20170506-140307_045");
  // A dot in a folder's name is no extension (the folders as this system writes them).
  const std::string d(1, os::PathDelimiter());
  EXPECT_EQ(StampedFileName("a.b" + d + "shot", moment), "a.b" + d + "shot20170506-140307_045");
  EXPECT_EQ(StampedFileName("", os::LocalTime{2026, 12, 31, 0, 0, 0, 999}), "20263112-000000_999");
  EXPECT_EQ(StampedFileName("x.tar.JPG", moment), "x.tar20170506-140307_045.JPG");
}

TEST(UnusedStampedFileName, NeverNamesAFileOrFolderThatExists) {
  testing_support::TempDir folder;
  const os::LocalTime moment{2017, 6, 5, 14, 3, 7, 45};
  const std::string base = (folder.Path() / "win.bmp").string();
  const std::string stamped = StampedFileName(base, moment);
  EXPECT_EQ(UnusedStampedFileName(base, moment), stamped);
  // The clock set back, or two captures in one millisecond: the stamped name is taken.
  testing_support::WriteFileBytes(stamped, "old capture");
  const std::string second = (folder.Path() / "win20170506-140307_045-2.bmp").string();
  EXPECT_EQ(UnusedStampedFileName(base, moment), second);
  fs::create_directory(second);  // a folder blocks a name as well
  EXPECT_EQ(UnusedStampedFileName(base, moment), (folder.Path() / "win20170506-140307_045-3.bmp").string());
  EXPECT_EQ(testing_support::ReadFileText(stamped), "old capture");
}

// Whether the main window was on the screen at each grab of the display, in order.
class GrabWatch {
 public:
  explicit GrabWatch(const TFrmSnapora& form) {
    os::testing::OnGrabDisplay([this, &form] { seen.push_back(os::WindowVisible(form.Handle())); });
  }
  ~GrabWatch() { os::testing::OnGrabDisplay(nullptr); }
  std::vector<bool> seen;
};

TEST_F(SnaporaTest, TheButtonHidesTheWindowOnlyWhereTheTargetNeedsIt) {
  const os::WindowHandle other = os::testing::AddWindow("Other", {10, 10, 310, 210});
  TFrmSnapora& frm = OpenShown();
  frm.TimKeyProc.SetEnabled(false);
  const std::string main = std::to_string(frm.Handle());
  GrabWatch watch(frm);

  // Screen by the button: out of sight for the grab, shown again afterwards with the list rebuilt and
  // the selection kept.
  frm.BtnCapture.Click();
  EXPECT_EQ(watch.seen, std::vector<bool>{false});
  EXPECT_TRUE(frm.Showing());
  EXPECT_TRUE(os::WindowVisible(frm.Handle()));
  EXPECT_EQ(frm.LisWindows.ItemCaption(frm.LisWindows.FirstSelected()), "Screen");

  // The Desktop entry: out of sight as well, and restored afterwards (minimise-all took it down too).
  SelectEntry("Desktop");
  os::testing::ClearWindowCalls();
  frm.BtnCapture.Click();
  EXPECT_EQ(watch.seen, (std::vector<bool>{false, false}));
  EXPECT_EQ(Count("MinimizeAll"), 1);
  EXPECT_EQ(Count("ShowWindow " + main + " 9"), 1);
  EXPECT_TRUE(frm.Showing());
  EXPECT_TRUE(os::WindowVisible(frm.Handle()));

  // A window entry: the main window stays as it is.
  SelectEntry("Other");
  os::testing::ClearWindowCalls();
  frm.BtnCapture.Click();
  EXPECT_EQ(watch.seen, (std::vector<bool>{false, false, true}));
  EXPECT_EQ(Count("BringToTop " + std::to_string(other)), 1);
  EXPECT_EQ(frm.TargetWindow, other);

  // The selected entry names the target; no selection names none.
  EXPECT_EQ(frm.FindSelectedTarget(), "Other");
  EXPECT_EQ(frm.TargetWindow, other);
  frm.LisWindows.SetSelected(frm.LisWindows.FirstSelected(), false);
  EXPECT_EQ(frm.FindSelectedTarget(), "");
  EXPECT_EQ(frm.TargetWindow, 0);
}

TEST_F(SnaporaTest, TheScreenShowsTheMainWindowOnlyByHotKeyOrAutomaticCapture) {
  TFrmSnapora& frm = OpenShown();
  GrabWatch watch(frm);
  // Hot key F5, held down for one poll: the main window stays in the picture, and is not moved.
  frm.ChbKeyboard.SetChecked(true);
  frm.CbbFKey.SetItemIndex(4);
  os::testing::ClearWindowCalls();
  os::testing::SetKeyDown(kF5, true);
  ui::testing::AdvanceTime(100);
  os::testing::SetKeyDown(kF5, false);
  EXPECT_EQ(watch.seen, std::vector<bool>{true});
  EXPECT_EQ(CountStartingWith("SetWindowZOrder " + std::to_string(frm.Handle())), 0);
  // Automatic capture: the first capture of the run and every tick keep it in the picture too.
  frm.CbbSeconds.SetText("100");
  frm.ChbAutoCapture.SetChecked(true);
  frm.BtnCapture.Click();
  ui::testing::AdvanceTime(200);
  EXPECT_GE(watch.seen.size(), 4u);
  EXPECT_EQ(std::count(watch.seen.begin(), watch.seen.end(), false), 0);
  // Stopped, the button takes it out of the picture again.
  frm.BtnStop.Click();
  frm.BtnCapture.Click();
  EXPECT_EQ(watch.seen.back(), false);
}

TEST_F(SnaporaTest, AutomaticCaptureWritesEachTickToItsOwnStampedFile) {
  TFrmSnapora& frm = OpenShown();
  frm.TimKeyProc.SetEnabled(false);
  const fs::path shots = storage.Path() / "shots";
  fs::create_directory(shots);
  const std::string base = (shots / "win.bmp").string();
  frm.ChbToFile.SetChecked(true);
  frm.EdtFile.SetText(base);
  frm.ChbAutoCapture.SetChecked(true);
  frm.CbbSeconds.SetText("100");

  // An Escape pressed before the run (the key state remembers it until asked) does not stop it.
  os::testing::TapKey(kEscape);
  frm.BtnCapture.Click();
  EXPECT_TRUE(frm.TimCapture.Enabled());
  EXPECT_EQ(frm.TimCapture.Interval(), 100);
  EXPECT_TRUE(frm.BtnStop.Visible());
  EXPECT_FALSE(frm.LisWindows.Enabled());
  EXPECT_TRUE(frm.AutoCaptureStarted);
  EXPECT_EQ(frm.AutoBaseName, base);
  EXPECT_FALSE(frm.PrepareTarget);  // only the first capture of a run waits
  const std::regex stamped(R"(win\d{8}-\d{6}_\d{3}(-\d+)?\.bmp)");
  EXPECT_TRUE(std::regex_match(fs::path(frm.EdtFile.Text()).filename().string(), stamped))
      << frm.EdtFile.Text();
  // The Screen entry during automatic capture keeps the main window on the picture.
  EXPECT_TRUE(frm.Showing());

  // Every tick a new stamped file, never one written over another (the clock of this test moves in
  // whole milliseconds, so several ticks may share a stamp).
  ui::testing::AdvanceTime(500);
  std::vector<std::string> files = FilesIn(shots);
  EXPECT_GE(files.size(), 5u);
  for (const std::string& name : files) EXPECT_TRUE(std::regex_match(name, stamped)) << name;
  // The field holds the name of the last file written.
  EXPECT_EQ(frm.EdtFile.Text(), frm.LastFileWritten);
  EXPECT_TRUE(fs::exists(frm.EdtFile.Text()));
  // A file that appears under the stamped name between the tick and the write (another Snapora on the
  // same base name) is kept: the capture takes the next free number.
  std::vector<std::string> others;
  os::testing::OnGrabDisplay([&] {
    others.push_back(frm.EdtFile.Text());
    testing_support::WriteFileBytes(others.back(), "another program's");
  });
  ui::testing::AdvanceTime(100);
  os::testing::OnGrabDisplay(nullptr);
  ASSERT_FALSE(others.empty());
  for (const std::string& other : others)
    EXPECT_TRUE(testing_support::ReadFileText(other) == "another program's") << other << " was written over";
  EXPECT_NE(frm.LastFileWritten, others.back());
  EXPECT_GT(fs::file_size(frm.LastFileWritten), 1280u * 1024u) << frm.LastFileWritten;

  // Escape seen by a tick: automatic capture stops, but that tick still writes one more stamped file
  // and leaves its name in the field.
  const std::size_t before = FilesIn(shots).size();
  os::testing::TapKey(kEscape);
  ui::testing::AdvanceTime(100);
  EXPECT_FALSE(frm.TimCapture.Enabled());
  EXPECT_FALSE(frm.BtnStop.Visible());
  EXPECT_TRUE(frm.LisWindows.Enabled());
  EXPECT_FALSE(frm.ChbAutoCapture.Checked());
  EXPECT_EQ(FilesIn(shots).size(), before + 1);
  EXPECT_NE(frm.EdtFile.Text(), base);
  EXPECT_TRUE(fs::exists(frm.EdtFile.Text()));
  ui::testing::AdvanceTime(1000);
  EXPECT_EQ(FilesIn(shots).size(), before + 1);

  // A new run starts with a fresh base name (the field as it is now); Stop puts that base name back.
  frm.EdtFile.SetText(base);
  frm.ChbAutoCapture.SetChecked(true);
  frm.BtnCapture.Click();
  EXPECT_TRUE(frm.TimCapture.Enabled());
  EXPECT_NE(frm.EdtFile.Text(), base);
  frm.BtnStop.Click();
  EXPECT_EQ(frm.EdtFile.Text(), base);
  EXPECT_FALSE(frm.AutoCaptureStarted);
  EXPECT_TRUE(frm.PrepareTarget);
  // A capture by the button now writes to the exact name, over and over.
  frm.BtnCapture.Click();
  frm.BtnCapture.Click();
  EXPECT_TRUE(fs::exists(base));

  // The clock stands still (set back, or several captures in one millisecond): the stamped name is
  // taken, so each capture gets the next free number instead of replacing the file before it.
  const fs::path still = storage.Path() / "still";
  fs::create_directory(still);
  os::testing::SetLocalTime(os::LocalTime{2017, 6, 5, 14, 3, 7, 45});
  frm.EdtFile.SetText((still / "win.bmp").string());
  frm.ChbAutoCapture.SetChecked(true);
  frm.BtnCapture.Click();
  ui::testing::AdvanceTime(200);
  frm.BtnStop.Click();
  EXPECT_EQ(FilesIn(still),
            (std::vector<std::string>{"win20170506-140307_045-2.bmp", "win20170506-140307_045-3.bmp",
                                      "win20170506-140307_045-4.bmp", "win20170506-140307_045.bmp"}));
}

TEST_F(SnaporaTest, TheIntervalComesFromTheFieldWithinItsLimits) {
  TFrmSnapora& frm = OpenShown();
  frm.TimKeyProc.SetEnabled(false);
  const struct {
    const char* text;
    int interval;
  } cases[] = {{"100", 100},  {"10", 10}, {"9", 5000},    {"1440000", 1440000}, {"1440001", 5000},
               {"abc", 5000}, {"", 5000}, {"-100", 5000}, {" 250 ", 250},       {"99999999999", 5000}};
  for (const auto& c : cases) {
    frm.CbbSeconds.SetText(c.text);
    frm.ChbAutoCapture.SetChecked(true);
    frm.BtnCapture.Click();
    EXPECT_EQ(frm.TimCapture.Interval(), c.interval) << '"' << c.text << '"';
    frm.BtnStop.Click();
  }
  // The ticks come at that interval: with "100", one grab every 100 ms.
  frm.CbbSeconds.SetText("100");
  frm.ChbAutoCapture.SetChecked(true);
  frm.BtnCapture.Click();
  os::testing::ClearWindowCalls();
  ui::testing::AdvanceTime(1000);
  EXPECT_EQ(Grabs(), 10);
  // Unticking the box, or ticking the keyboard or the file-name question, stops it.
  frm.ChbKeyboard.SetChecked(true);
  EXPECT_FALSE(frm.TimCapture.Enabled());
  EXPECT_FALSE(frm.ChbAutoCapture.Checked());
}

TEST_F(SnaporaTest, ATickDuringACaptureIsTakenOnceAfterItNotInsideIt) {
  TFrmSnapora& frm = OpenShown();
  frm.TimKeyProc.SetEnabled(false);
  frm.CbbSeconds.SetText("100");
  frm.ChbAutoCapture.SetChecked(true);
  // The first capture of the run waits 350 ms; the ticks that fell due meanwhile arrive while it
  // processes its messages at its end (twice: before and after it puts the application window's
  // placement back). A capture started there would run inside the first one, and with captures slower
  // than the interval nest deeper at every tick: each grab must come after the previous capture has
  // ended, both of its message processings included.
  std::string events;
  os::testing::OnGrabDisplay([&] { events += 'G'; });
  ui::testing::OnProcessMessages([&] { events += 'P'; });
  os::testing::ClearWindowCalls();
  frm.BtnCapture.Click();
  os::testing::OnGrabDisplay(nullptr);
  ui::testing::OnProcessMessages(nullptr);
  // One late tick, not the three that fell due, taken after the first capture.
  EXPECT_EQ(Grabs(), 2);
  const std::size_t first = events.find('G'), second = events.find('G', first + 1);
  ASSERT_NE(second, std::string::npos) << events;
  EXPECT_GE(std::count(events.begin() + first, events.begin() + second, 'P'), 2) << events;
  EXPECT_TRUE(frm.TimCapture.Enabled());
  ui::testing::AdvanceTime(100);
  EXPECT_EQ(Grabs(), 3);
}

TEST_F(SnaporaTest, AFailedWriteStopsAutomaticCaptureAndIsShownOnce) {
  TFrmSnapora& frm = OpenShown();
  frm.TimKeyProc.SetEnabled(false);
  const std::string base = (storage.Path() / "gone" / "shot.bmp").string();
  frm.ChbToFile.SetChecked(true);
  frm.EdtFile.SetText(base);
  frm.CbbSeconds.SetText("100");
  frm.ChbAutoCapture.SetChecked(true);
  SelectEntry("Desktop");  // hides the main window for every capture
  // The error box stays open while the timers run on (the backend's loop runs handlers' errors into
  // it); the failed write must have stopped automatic capture before it opened.
  Run([&] { frm.BtnCapture.Click(); });
  for (int tick = 0; tick < 10; ++tick) Run([&] { ui::testing::AdvanceTime(100); });
  ASSERT_EQ(ui::testing::ErrorBoxes().size(), 1u);
  EXPECT_EQ(ui::testing::ErrorBoxes()[0].caption, "Snapora");
  EXPECT_FALSE(frm.TimCapture.Enabled());
  EXPECT_FALSE(frm.BtnStop.Visible());
  EXPECT_TRUE(frm.LisWindows.Enabled());
  EXPECT_EQ(frm.EdtFile.Text(), base);
  // The main window is back, the list rebuilt with the Desktop still selected.
  EXPECT_TRUE(frm.Showing());
  EXPECT_TRUE(os::WindowVisible(frm.Handle()));
  EXPECT_EQ(frm.LisWindows.ItemCaption(frm.LisWindows.FirstSelected()), "Desktop");
  EXPECT_FALSE(fs::exists(storage.Path() / "gone"));
}

TEST_F(SnaporaTest, AutomaticCaptureSurvivesATargetThatClosesAndABaseThatIsAFolder) {
  const os::WindowHandle window = os::testing::AddWindow("Short-lived", {10, 10, 210, 210});
  TFrmSnapora& frm = OpenShown();
  frm.TimKeyProc.SetEnabled(false);
  SelectEntry("Short-lived");
  // The base name is a folder: the stamped names have no extension, so nothing is written.
  const fs::path folder = storage.Path() / "folder";
  fs::create_directory(folder);
  frm.ChbToFile.SetChecked(true);
  frm.EdtFile.SetText(folder.string() + "/");
  frm.CbbSeconds.SetText("100");
  frm.ChbAutoCapture.SetChecked(true);
  frm.BtnCapture.Click();
  EXPECT_FALSE(frm.ImgCapture.Center());
  os::testing::CloseWindow(window);
  ui::testing::AdvanceTime(100);
  // The grab failed: no image; the entry is gone from the list, so the next ticks take nothing but
  // still stamp the field.
  EXPECT_TRUE(frm.ImgCapture.Center());
  EXPECT_EQ(EntryOf("Short-lived"), -1);
  os::testing::ClearWindowCalls();
  const std::string stampedBefore = frm.EdtFile.Text();
  os::testing::SetLocalTime(os::LocalTime{2027, 1, 2, 3, 4, 5, 6});
  ui::testing::AdvanceTime(300);
  EXPECT_EQ(Grabs(), 0);
  EXPECT_NE(frm.EdtFile.Text(), stampedBefore);
  EXPECT_EQ(frm.EdtFile.Text(), (folder / "20270201-030405_006").string());
  EXPECT_TRUE(frm.TimCapture.Enabled());
  EXPECT_TRUE(fs::is_empty(folder));
  EXPECT_TRUE(ui::testing::ErrorBoxes().empty());
}

TEST_F(SnaporaTest, TheHotKeyLatchesItsModifiersUntilACapture) {
  TFrmSnapora& frm = OpenShown();
  frm.CbbFKey.SetItemIndex(0);  // F1
  frm.ChbCtrl.SetChecked(true);
  // Ctrl and F1 pressed before the hot key was switched on (in another program, minutes earlier): the key
  // state still remembers them, but they do not count.
  os::testing::TapKey(kLeftControl);
  os::testing::TapKey(kF1);
  ui::testing::AdvanceTime(1000);
  frm.ChbKeyboard.SetChecked(true);
  os::testing::ClearWindowCalls();

  // Each poll that takes a capture waits with it (a prepared capture), so the counts below are of
  // captures, not of 100 ms steps.
  int expected = 0;
  ui::testing::AdvanceTime(100);
  EXPECT_EQ(Grabs(), expected);
  // The function key alone: no capture while Ctrl was never seen.
  os::testing::TapKey(kF1);
  ui::testing::AdvanceTime(100);
  EXPECT_EQ(Grabs(), expected);
  // Ctrl pressed and released, the function key some polls later: a capture; then the latch is clear.
  os::testing::TapKey(kLeftControl);
  ui::testing::AdvanceTime(100);
  EXPECT_EQ(Grabs(), expected);
  ui::testing::AdvanceTime(300);
  os::testing::TapKey(kF1);
  ui::testing::AdvanceTime(100);
  EXPECT_EQ(Grabs(), ++expected);
  ui::testing::AdvanceTime(1000);
  os::testing::TapKey(kF1);
  ui::testing::AdvanceTime(100);
  EXPECT_EQ(Grabs(), expected);
  // Held down together: no edge detection, another capture at every poll. An unticked modifier is
  // neither needed nor in the way.
  os::testing::SetKeyDown(kLeftControl, true);
  os::testing::SetKeyDown(kRightShift, true);
  os::testing::SetKeyDown(kF1, true);
  ui::testing::AdvanceTime(2000);
  EXPECT_GE(Grabs(), expected + 4);
  os::testing::SetKeyDown(kF1, false);
  os::testing::SetKeyDown(kRightShift, false);
  os::testing::SetKeyDown(kLeftControl, false);
  ui::testing::AdvanceTime(1000);
  expected = Grabs();
  ui::testing::AdvanceTime(1000);
  EXPECT_EQ(Grabs(), expected);

  // Another key of the list, Alt required as well.
  frm.CbbFKey.SetItemIndex(11);  // F12
  frm.ChbAlt.SetChecked(true);
  os::testing::TapKey(kLeftControl);
  os::testing::TapKey(kF1 + 11);
  ui::testing::AdvanceTime(100);
  EXPECT_EQ(Grabs(), expected);
  os::testing::TapKey(kLeftAlt);
  os::testing::TapKey(kF1 + 11);
  ui::testing::AdvanceTime(100);
  EXPECT_EQ(Grabs(), ++expected);

  // While the file-name question is open, or with the box unticked, the poll does nothing.
  ui::testing::AdvanceTime(1000);
  frm.AskingName = true;
  os::testing::SetKeyDown(kLeftAlt, true);
  os::testing::SetKeyDown(kLeftControl, true);
  os::testing::SetKeyDown(kF1 + 11, true);
  ui::testing::AdvanceTime(500);
  EXPECT_EQ(Grabs(), expected);
  frm.AskingName = false;
  frm.ChbKeyboard.SetChecked(false);
  ui::testing::AdvanceTime(500);
  EXPECT_EQ(Grabs(), expected);
}

TEST_F(SnaporaTest, TheHotKeyIsGrabbedWhileTickedAndOneHeldElsewhereIsSaidOnceAndStillPolled) {
  using Grabbed = std::vector<std::pair<int, unsigned>>;
  os::testing::SetHotKeyTaken(kF5, os::hot_key::Control, true);
  TFrmSnapora& frm = OpenShown();
  EXPECT_EQ(os::testing::GrabbedHotKeys(), Grabbed{});
  frm.ChbKeyboard.SetChecked(true);
  EXPECT_EQ(os::testing::GrabbedHotKeys(), (Grabbed{{kF1, 0}}));
  frm.CbbFKey.SetItemIndex(4);
  EXPECT_EQ(os::testing::GrabbedHotKeys(), (Grabbed{{kF5, 0}}));
  // Ctrl+F5 is another program's: nothing stays grabbed, the box names the key once (not again when a
  // later box closes and the key is armed anew), the switch stays ticked and the poll still captures.
  frm.ChbCtrl.SetChecked(true);
  EXPECT_EQ(os::testing::GrabbedHotKeys(), Grabbed{});
  app->ShowError("Something else");
  ASSERT_EQ(ui::testing::ErrorBoxes().size(), 2u);
  EXPECT_NE(ui::testing::ErrorBoxes()[0].text.find("the key Ctrl+F5: Snapora still watches it"),
            std::string::npos)
      << ui::testing::ErrorBoxes()[0].text;
  EXPECT_TRUE(frm.ChbKeyboard.Checked());
  os::testing::ClearWindowCalls();
  os::testing::TapKey(kLeftControl);
  os::testing::TapKey(kF5);
  ui::testing::AdvanceTime(100);
  EXPECT_EQ(Grabs(), 1);
  // Free again, the next change takes it; unticked, or with the window gone, nothing is held.
  os::testing::SetHotKeyTaken(kF5, os::hot_key::Control, false);
  frm.ChbAlt.SetChecked(true);
  EXPECT_EQ(os::testing::GrabbedHotKeys(), (Grabbed{{kF5, os::hot_key::Control | os::hot_key::Alt}}));
  frm.ChbKeyboard.SetChecked(false);
  EXPECT_EQ(os::testing::GrabbedHotKeys(), Grabbed{});
  frm.ChbKeyboard.SetChecked(true);
  EXPECT_EQ(os::testing::GrabbedHotKeys().size(), 1u);
  windows.reset();
  EXPECT_EQ(os::testing::GrabbedHotKeys(), Grabbed{});
  EXPECT_EQ(ui::testing::ErrorBoxes().size(), 2u);
}

TEST_F(SnaporaTest, TheHotKeyPutsTheMainWindowBackBehindAfterAWindowlessCapture) {
  TFrmSnapora& frm = OpenShown();
  const std::string main = std::to_string(frm.Handle());
  frm.ChbKeyboard.SetChecked(true);
  frm.CbbFKey.SetItemIndex(1);  // F2
  SelectEntry("Desktop");
  GrabWatch watch(frm);
  os::testing::ClearWindowCalls();
  os::testing::TapKey(kF1 + 1);
  ui::testing::AdvanceTime(100);
  EXPECT_EQ(watch.seen, std::vector<bool>{false});
  EXPECT_EQ(Count("ShowWindow " + main + " 9"), 1);
  EXPECT_EQ(Count("SetWindowZOrder " + main + " Bottom"), 1);
  // The Screen entry by the hot key: the main window is neither hidden nor moved.
  SelectEntry("Screen");
  ui::testing::AdvanceTime(1000);
  os::testing::ClearWindowCalls();
  os::testing::TapKey(kF1 + 1);
  ui::testing::AdvanceTime(100);
  EXPECT_EQ(watch.seen, (std::vector<bool>{false, true}));
  EXPECT_EQ(Count("ShowWindow " + main + " 9"), 0);
  EXPECT_EQ(CountStartingWith("SetWindowZOrder " + main), 0);
}

TEST_F(SnaporaTest, NoTriggerCapturesBehindAnErrorBoxNorLateAfterIt) {
  // Each trigger is armed, then works at the program while an error box is open (nothing may be
  // captured), then once more after it closed: exactly one capture, from that last action only, so that
  // nothing done behind the box was kept for later.
  using Step = void (*)(TFrmSnapora&);
  const struct {
    const char* trigger;
    Step arm, behindTheBox, afterIt;
  } cases[] = {
      {"button", [](TFrmSnapora&) {},
       [](TFrmSnapora& frm) {
         frm.BtnCapture.Click();
         ui::testing::AdvanceTime(500);
       },
       [](TFrmSnapora& frm) { frm.BtnCapture.Click(); }},
      {"automatic capture",
       [](TFrmSnapora& frm) {
         frm.CbbSeconds.SetText("100");
         frm.ChbAutoCapture.SetChecked(true);
         frm.BtnCapture.Click();
       },
       [](TFrmSnapora&) { ui::testing::AdvanceTime(1000); },
       [](TFrmSnapora&) { ui::testing::AdvanceTime(100); }},
      {"hot key held through the box", [](TFrmSnapora& frm) { frm.ChbKeyboard.SetChecked(true); },
       [](TFrmSnapora&) {
         os::testing::SetKeyDown(kF1, true);
         ui::testing::AdvanceTime(2000);
       },
       [](TFrmSnapora&) {
         ui::testing::AdvanceTime(1000);
         os::testing::SetKeyDown(kF1, false);
         ui::testing::AdvanceTime(100);
         os::testing::TapKey(kF1);
         ui::testing::AdvanceTime(100);
       }},
      {"hot key with its modifier, Ctrl latched before the box and both tapped behind it",
       [](TFrmSnapora& frm) {
         frm.ChbKeyboard.SetChecked(true);
         frm.ChbCtrl.SetChecked(true);
         os::testing::TapKey(kLeftControl);
       },
       [](TFrmSnapora&) {
         os::testing::TapKey(kLeftControl);
         os::testing::TapKey(kF1);
       },
       [](TFrmSnapora&) {
         ui::testing::AdvanceTime(300);
         os::testing::TapKey(kF1);  // Ctrl, pressed before and behind the box, no longer counts
         ui::testing::AdvanceTime(100);
         os::testing::TapKey(kLeftControl);
         os::testing::TapKey(kF1);
         ui::testing::AdvanceTime(100);
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.trigger);
    windows.reset();
    ui::testing::Reset();
    TFrmSnapora& frm = OpenShown();
    c.arm(frm);
    ui::testing::AdvanceTime(1000);
    const int before = Grabs();
    ui::testing::OnErrorBox([&] {
      EXPECT_FALSE(frm.CaptureMayStart());
      c.behindTheBox(frm);
      EXPECT_EQ(Grabs(), before);
    });
    app->ShowError("Something went wrong");
    ui::testing::OnErrorBox(nullptr);
    EXPECT_TRUE(frm.CaptureMayStart());
    c.afterIt(frm);
    EXPECT_EQ(Grabs(), before + 1);
    EXPECT_EQ(ui::testing::ErrorBoxes().size(), 1u);
  }
}

TEST_F(SnaporaTest, TheCommandLineCapturesOnceClosesAndSaysHowItWent) {
  PaintDisplay();
  const fs::path out = storage.Path();
  auto run = [&](std::vector<std::string> arguments) {
    windows.reset();
    ui::testing::Reset();
    PaintDisplay();
    os::testing::ClearWindowCalls();
    return RunSnapora(*app, Folders(), arguments);
  };

  EXPECT_EQ(run({(out / "s.jpg").string(), "DESKTOP"}), capture_exit::Written);
  EXPECT_EQ(Count("MinimizeAll"), 1);
  EXPECT_TRUE(fs::exists(out / "s.jpg"));
  EXPECT_TRUE(fs::exists(SettingsFile())) << "the close saves the settings";

  EXPECT_EQ(run({(out / "s.bmp").string(), "screen"}), capture_exit::Written);
  EXPECT_EQ(Count("MinimizeAll"), 0);
  EXPECT_EQ(fs::file_size(out / "s.bmp"), 54u + 1280u * 1024u * 4u);

  EXPECT_EQ(run({(out / "s.png").string(), "x"}), capture_exit::Written);
  EXPECT_TRUE(fs::exists(out / "s.png"));
  os::testing::ClearWindowCalls();
  EXPECT_EQ(run({(out / "s.gif").string(), "x"}), capture_exit::NotWritten);
  EXPECT_FALSE(fs::exists(out / "s.gif"));
  EXPECT_EQ(Grabs(), 1);

  // A file in a missing folder: the writer's error in the box, then the end.
  EXPECT_EQ(run({(out / "none" / "s.bmp").string(), "x"}), capture_exit::Failed);
  ASSERT_EQ(ui::testing::ErrorBoxes().size(), 1u);
  EXPECT_EQ(ui::testing::ErrorBoxes()[0].caption, "Snapora");

  // One or three arguments: no capture; the program runs as usual until its window is closed.
  for (const std::vector<std::string>& arguments :
       {std::vector<std::string>{(out / "one.bmp").string()},
        std::vector<std::string>{(out / "three.bmp").string(), "x", "y"}}) {
    windows.reset();
    ui::testing::Reset();
    os::testing::ClearWindowCalls();
    TProgramShell programShell(SnaporaStorage, kSnaporaLanguageList, Folders());
    TSnaporaWindows program(*app, programShell);
    program.FrmSnapora.CommandLine = arguments;
    program.FrmSnapora.Show();
    EXPECT_TRUE(program.FrmSnapora.Showing());
    EXPECT_EQ(Grabs(), 0);
    EXPECT_EQ(program.FrmSnapora.ExitCode, 0);
    program.FrmSnapora.Close();
  }
  EXPECT_FALSE(fs::exists(out / "one.bmp"));
  EXPECT_FALSE(fs::exists(out / "three.bmp"));
}

TEST_F(SnaporaTest, TheCommandLineAsksForTheNameWhenTheStoredOptionsSaySo) {
  // The options as a run of the window stored them.
  {
    TFrmSnapora& frm = OpenShown();
    frm.ChbToFile.SetChecked(true);
    frm.ChbAskName.SetChecked(true);
    frm.Close();
    windows.reset();
  }
  const std::string chosen = (storage.Path() / "chosen.bmp").string();
  ui::testing::OnModal([&](ui::Form& form) {
    auto* dialog = dynamic_cast<TFrmFileName*>(&form);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->EdtFileName.Text(), "");
    dialog->EdtFileName.SetText(chosen);
    dialog->BtnOk.Click();
  });
  EXPECT_EQ(RunSnapora(*app, Folders(), {(storage.Path() / "given.bmp").string(), "screen"}),
            capture_exit::Written);
  EXPECT_TRUE(fs::exists(chosen));
  EXPECT_FALSE(fs::exists(storage.Path() / "given.bmp"));

  // Cancelled: nothing written, and the exit code says so.
  ui::testing::OnModal([&](ui::Form& form) { dynamic_cast<TFrmFileName&>(form).BtnCancel.Click(); });
  EXPECT_EQ(RunSnapora(*app, Folders(), {(storage.Path() / "given.bmp").string(), "screen"}),
            capture_exit::NotWritten);
  EXPECT_FALSE(fs::exists(storage.Path() / "given.bmp"));
}

// ---- A desktop that hides its windows (a Wayland session) ----------------------------------------------

constexpr const char* kNotListed = "(This desktop does not show other programs' windows)";

// Each entry asks the desktop's screenshot service as it should (the screen at once, a window or area
// through the desktop's dialog), never grabs the display; the entry that says why no window is listed
// takes nothing; so does the command line, whose region is the dialog's.
TEST_F(SnaporaTest, OnADesktopThatHidesItsWindowsEachEntryAsksTheDesktopsService) {
  os::testing::AddWindow("Editor", {100, 100, 500, 400});
  TBitmap picture;
  picture.SetSize(64, 48);
  for (int y = 0; y < 48; ++y)
    for (int x = 0; x < 64; ++x) picture.SetPixel(x, y, RGB(x * 4, y * 5, 200));
  std::vector<bool> asked;  // interactive, one a request
  os::testing::SetHidingDesktop([&](bool interactive) {
    asked.push_back(interactive);
    return picture;
  });
  TFrmSnapora& frm = OpenShown();
  EXPECT_EQ(Captions(), (std::vector<std::string>{"Screen", "Window or area...", kNotListed}));
  EXPECT_EQ(frm.LisWindows.FirstSelected(), 0);

  const struct {
    const char* entry;
    std::vector<bool> asks;
  } cases[] = {{"Screen", {false}}, {"Window or area...", {true}}, {kNotListed, {}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.entry);
    asked.clear();
    frm.ShowNoImage();
    SelectEntry(c.entry);
    Run([&] { frm.BtnCapture.Click(); });
    EXPECT_EQ(asked, c.asks);
    EXPECT_EQ(frm.ImgCapture.Center(), c.asks.empty()) << "a capture shows, nothing else does";
    if (!c.asks.empty()) snapora_testing::ExpectSamePixels(frm.ImgCapture.Picture(), picture);
    EXPECT_EQ(Captions().size(), 3u) << "the rebuilt list";
  }
  // The user's rectangle counts from the picture's corner.
  frm.ChbDefineRect.SetChecked(true);
  frm.EdtLeft.SetText("10");
  frm.EdtTop.SetText("20");
  frm.EdtWidth.SetText("30");
  frm.EdtHeight.SetText("5");
  SelectEntry("Screen");
  Run([&] { frm.BtnCapture.Click(); });
  EXPECT_EQ(frm.ImgCapture.Picture().Width(), 30);
  EXPECT_EQ(frm.ImgCapture.Picture().Pixel(0, 0), picture.Pixel(10, 20));
  // Automatic capture takes the screen at every tick: from one screen stream, started at the first tick
  // with its token file beside the settings and ended with the automatic capture, where the desktop
  // starts one; else each tick asks the screenshot service. The user's no to the stream stops it.
  frm.TimKeyProc.SetEnabled(false);
  frm.CbbSeconds.SetText("100");
  const std::string start = "ScreenStream " + (storage.Path() / "Snapora.screencast").string();
  const struct {
    std::optional<TErrorKind> streamFailure;
    std::vector<std::string> stream;  // its calls, repeats once
    std::size_t pictures;             // at least
    const char* errorBox;
  } autoCases[] = {
      {TErrorKind::ScreenshotServiceMissing, {start}, 4, nullptr},
      {TErrorKind::ScreenshotRefused, {start}, 4, nullptr},
      {std::nullopt, {start, "ScreenStream picture", "ScreenStream end"}, 4, nullptr},
      {TErrorKind::ScreenshotCancelled, {start}, 0, "The screenshot was cancelled."},
  };
  for (const auto& c : autoCases) {
    SCOPED_TRACE(c.stream.size());
    os::testing::SetScreenStreamFailure(c.streamFailure);
    asked.clear();
    os::testing::ClearWindowCalls();
    const std::size_t boxes = ui::testing::ErrorBoxes().size();
    frm.ChbAutoCapture.SetChecked(true);
    Run([&] { frm.BtnCapture.Click(); });
    ui::testing::AdvanceTime(300);
    EXPECT_EQ(frm.TimCapture.Enabled(), c.errorBox == nullptr);
    frm.BtnStop.Click();
    EXPECT_GE(asked.size(), c.pictures) << "the button's capture and three ticks";
    EXPECT_EQ(std::count(asked.begin(), asked.end(), true), 0);
    std::vector<std::string> stream;
    for (const std::string& call : os::testing::WindowCalls())
      if (call.rfind("ScreenStream", 0) == 0 && (stream.empty() || stream.back() != call))
        stream.push_back(call);
    EXPECT_EQ(stream, c.stream);
    ASSERT_EQ(ui::testing::ErrorBoxes().size(), boxes + (c.errorBox != nullptr ? 1 : 0));
    if (c.errorBox != nullptr) {
      EXPECT_EQ(ui::testing::ErrorBoxes().back().text, c.errorBox);
    }
  }
  EXPECT_EQ(Grabs(), 0);

  const fs::path out = storage.Path();
  for (const auto& [mode, interactive] : {std::pair{"screen", false}, std::pair{"region", true}}) {
    windows.reset();
    asked.clear();
    EXPECT_EQ(RunSnapora(*app, Folders(), {(out / "cli.png").string(), mode}), capture_exit::Written) << mode;
    EXPECT_EQ(asked, std::vector<bool>{interactive}) << mode;
  }
  EXPECT_EQ(Grabs(), 0);
}

// What the service refuses reaches the error box, in the words of its kind, and leaves the preview as
// it was; the keyboard switch says that the desktop gives no global keys and stays off.
TEST_F(SnaporaTest, OnADesktopThatHidesItsWindowsRefusalsAndTheKeyboardSwitchAreExplained) {
  std::optional<ELocalisedError> refusal;
  os::testing::SetHidingDesktop([&](bool) -> TBitmap { throw *refusal; });
  TFrmSnapora& frm = OpenShown();
  frm.TimKeyProc.SetEnabled(false);
  const struct {
    TErrorKind kind;
    std::vector<std::string> details;
    const char* text;
  } cases[] = {
      {TErrorKind::ScreenshotCancelled, {}, "The screenshot was cancelled."},
      {TErrorKind::ScreenshotRefused, {}, "The desktop refused the screenshot."},
      {TErrorKind::ScreenshotServiceMissing,
       {"no answer"},
       "The desktop's screenshot service cannot be reached (no answer)"},
      {TErrorKind::ScreenshotUnreadable, {"file:///x"}, "The desktop's screenshot file:///x cannot be read."},
  };
  for (const auto& c : cases) {
    refusal.emplace(c.kind, c.details);
    Run([&] { frm.BtnCapture.Click(); });
    ASSERT_FALSE(ui::testing::ErrorBoxes().empty());
    EXPECT_EQ(ui::testing::ErrorBoxes().back().text, c.text);
    EXPECT_TRUE(frm.ImgCapture.Center()) << c.text;
    EXPECT_TRUE(frm.Showing()) << c.text;
  }

  Run([&] { frm.ChbKeyboard.SetChecked(true); });
  EXPECT_EQ(ui::testing::ErrorBoxes().back().text,
            "This desktop does not let programs have global keys: capture with the Capture button.");
  EXPECT_FALSE(frm.ChbKeyboard.Checked());
  EXPECT_FALSE(frm.CbbFKey.Visible());
  EXPECT_EQ(ui::testing::ErrorBoxes().size(), std::size(cases) + 1);
}

}  // namespace
