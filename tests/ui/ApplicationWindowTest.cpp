// The application window of the headless backend's virtual screen, which the programs' forms follow
// into and out of the topmost band, and the local time a test fixes.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/os/Os.h"
#include "platform/os/OsTesting.h"
#include "platform/ui/Ui.h"
#include "platform/ui/UiTesting.h"
#include "platform/ui/WindowSystemTesting.h"

namespace {

class ApplicationWindowTest : public ::testing::Test {
 protected:
  void SetUp() override { ui::testing::Reset(); }
  void TearDown() override { ui::testing::Reset(); }
};

long Place(os::WindowHandle window) {
  const auto z = os::testing::ZOrder();
  const auto it = std::find(z.begin(), z.end(), window);
  return it == z.end() ? -1 : static_cast<long>(it - z.begin());
}

bool InFront(os::WindowHandle front, os::WindowHandle back) {
  return Place(front) >= 0 && Place(back) >= 0 && Place(front) < Place(back);
}

// What a capture tool lists: the visible, titled windows of some size.
bool Listed(os::WindowHandle window) {
  const auto rect = os::WindowRect(window);
  return os::WindowVisible(window) && !os::WindowTitle(window).empty() && rect && !rect->Empty();
}

TEST_F(ApplicationWindowTest, TheFormsFollowItIntoTheTopmostBandAndOutAgain) {
  ui::Application app;
  app.SetTitle("Snapora");
  ui::Form main(app, {.caption = "Main", .bounds = {10, 10, 400, 300}});
  ui::Form dialog(
      app, {.caption = "Dialog", .bounds = {50, 50, 300, 150}, .borderStyle = ui::BorderStyle::Dialog});
  ui::Form viewer(app, {.caption = "Viewer", .bounds = {20, 20, 600, 400}});
  main.Show();
  const os::WindowHandle application = app.Handle();
  EXPECT_FALSE(os::WindowVisible(application));
  EXPECT_EQ(Place(application), -1) << "out of the z-order while hidden";

  // What the file-name dialog does as it shows.
  const os::WindowHandle other = os::testing::AddWindow("Other", {0, 0, 500, 500});
  os::SetWindowZOrder(application, os::ZOrder::Topmost, true);
  os::RedrawNow(application);
  os::ShowWindowAs(application, os::show::Show);
  os::ShowWindowAs(application, os::show::Restore);
  dialog.Show();
  EXPECT_TRUE(os::WindowVisible(application));
  EXPECT_GE(Place(application), 0);
  EXPECT_FALSE(Listed(application)) << "shown, it is still nothing to list";
  EXPECT_EQ(os::ActiveWindow(), dialog.Handle()) << "it never takes the activation";
  EXPECT_TRUE(InFront(dialog.Handle(), main.Handle()));
  EXPECT_TRUE(InFront(main.Handle(), other));
  // A window of another program raised, or a new one, stays behind the program's forms.
  os::BringToTop(other);
  const os::WindowHandle later = os::testing::AddWindow("Later", {0, 0, 200, 200});
  EXPECT_TRUE(InFront(dialog.Handle(), other));
  EXPECT_TRUE(InFront(main.Handle(), later));
  EXPECT_TRUE(InFront(viewer.Handle(), other)) << "hidden forms follow too";

  // Its placement reads and writes back (recorded like any window's).
  const auto placement = os::GetPlacement(application);
  ASSERT_TRUE(placement);
  EXPECT_EQ(placement->showCmd, os::show::ShowNormal);
  EXPECT_TRUE(os::SetPlacement(application, *placement));
  EXPECT_EQ(os::testing::WindowCalls().back(), "SetPlacement " + std::to_string(application));

  // Normal again: the forms return to the front of the other windows in their order, and the others can
  // pass them.
  os::SetWindowZOrder(application, os::ZOrder::NoTopmost, true);
  EXPECT_TRUE(InFront(dialog.Handle(), main.Handle()));
  EXPECT_TRUE(InFront(main.Handle(), later));
  os::BringToTop(other);
  EXPECT_TRUE(InFront(other, dialog.Handle()));

  // Reset hides it again and ends the topmost state.
  os::SetWindowZOrder(application, os::ZOrder::Topmost, true);
  ui::testing::Reset();
  EXPECT_FALSE(os::WindowVisible(application));
  EXPECT_EQ(Place(application), -1);
  const os::WindowHandle fresh = os::testing::AddWindow("Fresh", {0, 0, 100, 100});
  EXPECT_TRUE(InFront(fresh, main.Handle()));
}

TEST_F(ApplicationWindowTest, ALocalTimeSetStandsUntilItIsTakenBack) {
  os::testing::SetLocalTime(os::LocalTime{2017, 6, 5, 14, 3, 7, 45});
  ui::testing::AdvanceTime(5000);
  const os::LocalTime now = os::Now();
  EXPECT_EQ(
      (std::vector<int>{now.year, now.month, now.day, now.hour, now.minute, now.second, now.milliseconds}),
      (std::vector<int>{2017, 6, 5, 14, 3, 7, 45}));
  os::testing::SetLocalTime(std::nullopt);
  EXPECT_GE(os::Now().year, 2024) << "the system's clock again";
  os::testing::SetLocalTime(now);
  ui::testing::Reset();
  EXPECT_GE(os::Now().year, 2024);
}

}  // namespace
