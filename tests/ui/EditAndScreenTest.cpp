// Edit fields, the state a minimised form returns to, and the screen's size and the program's icon,
// acted on through the headless backend.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/ui/Ui.h"
#include "platform/ui/UiTesting.h"

namespace {

class EditAndScreenTest : public ::testing::Test {
 protected:
  void SetUp() override { ui::testing::Reset(); }
  void TearDown() override { ui::testing::Reset(); }
};

struct EditForm : ui::Form {
  explicit EditForm(ui::Application& app) : Form(app, {.caption = "Edit", .bounds = {10, 20, 300, 200}}) {
    Field.Create(*this, {.bounds = {8, 8, 120, 17}, .text = "first", .readOnly = true, .border = false});
    Field.OnChange = [this] { changes.push_back(Field.Text()); };
    Field.OnDblClick = [this] { changes.push_back("double click"); };
    ScaleForScreen();
  }
  ui::Edit Field;
  std::vector<std::string> changes;
};

TEST_F(EditAndScreenTest, AnEditFieldReportsEachChangeOfItsTextOnce) {
  ui::Application app;
  EditForm form(app);
  EXPECT_EQ(form.Field.Text(), "first");
  EXPECT_EQ(form.Field.Color(), clWindow);
  EXPECT_TRUE(form.Field.ReadOnly());
  form.Field.SetText("second");
  form.Field.SetText("second");
  form.Field.NativeTextChanged("typed");
  form.Field.NativeTextChanged("typed");  // the system repeating what the field holds: no change
  form.Field.NativeDblClick();
  EXPECT_EQ(form.changes, (std::vector<std::string>{"second", "typed", "double click"}));
  EXPECT_EQ(form.Field.GetFont(), form.GetFont()) << "the parent's font without one of its own";
}

TEST_F(EditAndScreenTest, AMinimisedFormReturnsToItsStateAndBoundsFromBefore) {
  ui::Application app;
  EditForm form(app);
  EXPECT_EQ(form.RestoreState(), ui::WindowState::Normal);
  EXPECT_EQ(form.RestoreBounds(), form.Bounds());
  form.NativeWindowStateChanged(ui::WindowState::Minimized);
  form.NativeBoundsChanged({-32000, -32000, 160, 28});  // where the system parks it
  EXPECT_EQ(form.RestoreState(), ui::WindowState::Normal);
  EXPECT_EQ(form.RestoreBounds(), (ui::Rect{10, 20, 300, 200}));
  form.NativeWindowStateChanged(ui::WindowState::Maximized);
  EXPECT_EQ(form.RestoreState(), ui::WindowState::Maximized);
  form.SetWindowState(ui::WindowState::Minimized);
  EXPECT_EQ(form.RestoreState(), ui::WindowState::Maximized);
  form.SetWindowState(ui::WindowState::Normal);
  EXPECT_EQ(form.RestoreState(), ui::WindowState::Normal);
}

TEST_F(EditAndScreenTest, TheScreenAndTheIconAreTheTestsToSet) {
  EXPECT_EQ(ui::ScreenWidth(), 1280);
  EXPECT_EQ(ui::ScreenHeight(), 1024);
  EXPECT_TRUE(ui::ProgramIconPicture(32, 32, clWhite).Empty()) << "no icon until one is set";
  ui::testing::SetScreenSize(800, 600);
  TBitmap icon;
  icon.SetFillColor(RGB(255, 0, 0));
  icon.SetSize(3, 2);
  ui::testing::SetProgramIcon(icon);
  EXPECT_EQ(ui::ScreenWidth(), 800);
  EXPECT_EQ(ui::ScreenHeight(), 600);
  const TBitmap picture = ui::ProgramIconPicture(6, 4, clSilver);
  ASSERT_EQ(picture.Width(), 6);
  EXPECT_EQ(picture.Pixel(0, 0), clSilver);
  EXPECT_EQ(picture.Pixel(1, 1), RGB(255, 0, 0)) << "centred, rounding to the left and top";
  EXPECT_EQ(picture.Pixel(3, 2), RGB(255, 0, 0));
  EXPECT_EQ(picture.Pixel(4, 1), clSilver);
  ui::testing::Reset();
  EXPECT_EQ(ui::ScreenWidth(), 1280);
  EXPECT_TRUE(ui::ProgramIconPicture(32, 32, clWhite).Empty());
}

}  // namespace
