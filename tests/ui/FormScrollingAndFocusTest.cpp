// Forms that scroll their content, the caption buttons, the keyboard focus and the answer of a modal
// form, acted on through the headless backend.

#include <gtest/gtest.h>

#include <memory>

#include "platform/ui/Ui.h"
#include "platform/ui/UiTesting.h"
#include "platform/ui/WindowSystemTesting.h"

namespace {

class FormScrollingAndFocusTest : public ::testing::Test {
 protected:
  void SetUp() override { ui::testing::Reset(); }
  void TearDown() override { ui::testing::Reset(); }
};

TBitmap Picture(int width, int height) {
  TBitmap picture;
  picture.SetSize(width, height);
  return picture;
}

// A viewer: an auto-sized image at the corner of a form that scrolls; no minimise button.
struct Viewer : ui::Form {
  explicit Viewer(ui::Application& app)
      : Form(app, {.caption = "Viewer",
                   .bounds = {217, 165, 696, 480},
                   .minimizeButton = false,
                   .autoScroll = true}) {
    Image.Create(*this, {.bounds = {0, 0, 105, 105}, .autoSize = true});
    OnResize = [this] { ++resizes; };
    ScaleForScreen();
  }
  ui::Image Image;
  int resizes = 0;
};

TEST_F(FormScrollingAndFocusTest, ScrollBarsComeWithAPictureLargerThanTheClientArea) {
  ui::Application app;
  Viewer viewer(app);
  // The standard frame (16 x 39) around a client area of 680 x 441; bars of 17 pixels.
  ASSERT_EQ(viewer.ClientWidth(), 680);
  ASSERT_EQ(viewer.ClientHeight(), 441);
  EXPECT_EQ(viewer.HorzScrollRange(), 0);
  EXPECT_FALSE(viewer.MinimizeButton());
  EXPECT_TRUE(viewer.MaximizeButton());

  viewer.resizes = 0;
  viewer.Image.SetPicture(Picture(2000, 1500));
  EXPECT_EQ(viewer.HorzScrollRange(), 2000);
  EXPECT_EQ(viewer.VertScrollRange(), 1500);
  EXPECT_EQ(viewer.ClientWidth(), 680 - 17);
  EXPECT_EQ(viewer.ClientHeight(), 441 - 17);
  EXPECT_EQ(viewer.resizes, 1) << "the bars took room from the client area";
  viewer.ScrollTo(100, 5000);
  EXPECT_EQ(viewer.HorzScrollPos(), 100);
  EXPECT_EQ(viewer.VertScrollPos(), 1500 - (441 - 17)) << "no further than the end";
  viewer.ScrollTo(-5, 0);
  EXPECT_EQ(viewer.HorzScrollPos(), 0);
  EXPECT_EQ(viewer.Image.Bounds(), (ui::Rect{0, 0, 2000, 1500})) << "the children keep their bounds";

  // Only as wide as the client area, but higher: the vertical bar takes the room that makes the
  // horizontal one needed too.
  viewer.Image.SetPicture(Picture(670, 1000));
  EXPECT_EQ(viewer.VertScrollRange(), 1000);
  EXPECT_EQ(viewer.HorzScrollRange(), 670);
  viewer.Image.SetPicture(Picture(660, 1000));
  EXPECT_EQ(viewer.HorzScrollRange(), 0);
  EXPECT_EQ(viewer.ClientHeight(), 441);

  // A picture that fits: no bars, the position back at 0, the client area whole again.
  viewer.ScrollTo(0, 300);
  viewer.Image.SetPicture(Picture(100, 80));
  EXPECT_EQ(viewer.VertScrollRange(), 0);
  EXPECT_EQ(viewer.VertScrollPos(), 0);
  EXPECT_EQ(viewer.ClientWidth(), 680);
  // A larger window makes room: the bar goes.
  viewer.Image.SetPicture(Picture(100, 600));
  EXPECT_EQ(viewer.VertScrollRange(), 600);
  viewer.SetBounds({0, 0, 696, 700});
  EXPECT_EQ(viewer.VertScrollRange(), 0);
}

TEST_F(FormScrollingAndFocusTest, TheMinimiseAllLeavesFormsWithoutTheButton) {
  ui::Application app;
  Viewer viewer(app);
  ui::Form plain(app, {.caption = "Plain", .bounds = {0, 0, 300, 200}});
  viewer.Show();
  plain.Show();
  ASSERT_TRUE(os::MinimizeAllWindows());
  EXPECT_EQ(plain.GetWindowState(), ui::WindowState::Minimized);
  EXPECT_EQ(viewer.GetWindowState(), ui::WindowState::Normal);
}

struct NameDialog : ui::Form {
  explicit NameDialog(ui::Application& app)
      : Form(app, {.caption = "Name",
                   .clientWidth = 420,
                   .clientHeight = 145,
                   .borderStyle = ui::BorderStyle::Dialog}) {
    First.Create(*this, {.bounds = {8, 48, 369, 22}, .tabOrder = 0});
    Second = std::make_unique<ui::Edit>();
    Second->Create(*this, {.bounds = {8, 80, 369, 22}, .tabOrder = 1});
    Ok.Create(*this, {.bounds = {116, 112, 90, 25}, .caption = "OK"});
    Ok.OnClick = [this] {
      accepted = true;
      Close();
    };
    OnShow = [this] { Second->SetFocus(); };
  }
  ui::Edit First;
  std::unique_ptr<ui::Edit> Second;
  ui::Button Ok;
  bool accepted = false;
};

TEST_F(FormScrollingAndFocusTest, TheFocusIsWhereTheProgramPutItAndAModalFormTellsOkFromClose) {
  ui::Application app;
  ui::Form main(app, {.caption = "Main", .bounds = {0, 0, 600, 400}});
  NameDialog dialog(app);
  EXPECT_EQ(dialog.FocusedControl(), nullptr);

  // The user closes the dialog with its close box: Cancel.
  ui::Control* focused = nullptr;
  ui::testing::OnModal([&](ui::Form& form) {
    focused = form.FocusedControl();
    os::testing::CloseWindow(form.Handle());
  });
  dialog.ShowModal();
  EXPECT_EQ(focused, dialog.Second.get());
  EXPECT_FALSE(dialog.Showing());
  EXPECT_FALSE(dialog.accepted);
  // The user presses OK.
  ui::testing::OnModal([](ui::Form& form) { static_cast<NameDialog&>(form).Ok.Click(); });
  dialog.ShowModal();
  EXPECT_TRUE(dialog.accepted);

  dialog.First.SetFocus();
  EXPECT_EQ(dialog.FocusedControl(), &dialog.First);
  // A control that goes takes the focus with it.
  dialog.Second->SetFocus();
  dialog.Second.reset();
  EXPECT_EQ(dialog.FocusedControl(), nullptr);
}

}  // namespace
