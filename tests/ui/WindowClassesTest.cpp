// The behaviour the programs rely on from the window classes, acted on through the headless backend.

#include <gtest/gtest.h>

#include <stdexcept>

#include "platform/ui/Ui.h"
#include "platform/ui/UiTesting.h"

namespace {

class WindowClassesTest : public ::testing::Test {
 protected:
  void SetUp() override { ui::testing::Reset(); }
  void TearDown() override { ui::testing::Reset(); }
};

// A sizeable form with a top panel, a bottom panel and a client-aligned list between them.
struct TestForm : ui::Form {
  explicit TestForm(ui::Application& app)
      : Form(app, {.caption = "Test", .bounds = {208, 129, 708, 462}, .minWidth = 690, .minHeight = 400}) {
    Top.Create(*this, {.align = ui::Align::Top, .height = 153, .color = clWhite});
    Bottom.Create(*this, {.align = ui::Align::Bottom, .height = 41});
    List.Create(*this, {.align = ui::Align::Client, .multiSelect = true});
    Button.Create(Top, {.bounds = {7, 62, 186, 25}, .caption = "Select font", .tabOrder = 0});
    ScaleForScreen();
  }
  ui::Panel Top, Bottom;
  ui::ListView List;
  ui::Button Button;
};

TEST_F(WindowClassesTest, AlignedChildrenFollowTheClientArea) {
  ui::Application app;
  TestForm form(app);
  EXPECT_EQ(form.ClientWidth(), 692);
  EXPECT_EQ(form.ClientHeight(), 423);
  EXPECT_EQ(form.Top.Bounds(), (ui::Rect{0, 0, 692, 153}));
  EXPECT_EQ(form.Bottom.Bounds(), (ui::Rect{0, 382, 692, 41}));
  EXPECT_EQ(form.List.Bounds(), (ui::Rect{0, 153, 692, 229}));

  int resizes = 0;
  form.OnResize = [&] { ++resizes; };
  form.SetBounds({0, 0, 816, 600});
  EXPECT_EQ(resizes, 1);
  EXPECT_EQ(form.Top.Width(), 800);
  EXPECT_EQ(form.Bottom.Top(), 561 - 41);
  EXPECT_EQ(form.List.Bounds(), (ui::Rect{0, 153, 800, 561 - 41 - 153}));

  // The minimum outer size holds whatever is asked for.
  form.SetBounds({0, 0, 100, 100});
  EXPECT_EQ(form.Width(), 690);
  EXPECT_EQ(form.Height(), 400);

  // A hidden aligned control gives its room to the others.
  form.Bottom.SetVisible(false);
  EXPECT_EQ(form.List.Height(), form.ClientHeight() - 153);
}

TEST_F(WindowClassesTest, FormScalesOnceToTheScreenResolution) {
  ui::testing::SetScreenPixelsPerInch(144);
  ui::Application app;
  TestForm form(app);
  EXPECT_EQ(form.PixelsPerInch(), 144);
  EXPECT_EQ(form.ClientWidth(), 1038);
  EXPECT_EQ(form.Top.Height(), 230);  // 153 * 1.5 rounded
  EXPECT_EQ(form.Button.Bounds(), (ui::Rect{11, 93, 279, 38}));
  EXPECT_EQ(form.MinWidth(), 1035);
  form.ScaleForScreen();  // a second call changes nothing
  EXPECT_EQ(form.Button.Bounds(), (ui::Rect{11, 93, 279, 38}));
  EXPECT_EQ(ui::ScaleForDpi(5, 144), 7);
  EXPECT_EQ(ui::ScaleForDpi(6, 144), 9);
  EXPECT_EQ(ui::ScaleForDpi(12, 144), 18);
  EXPECT_EQ(ui::ScaleForDpi(12, 96), 12);
  EXPECT_EQ(ui::ScaleForDpi(12, 72), 12);
  EXPECT_EQ(ui::ScaleForDpi(5, 120), 6);
}

TEST_F(WindowClassesTest, EverySelectionChangeRaisesOneEvent) {
  ui::Application app;
  TestForm form(app);
  for (int i = 0; i < 5; ++i) form.List.AddItem(i);
  std::vector<std::pair<int, bool>> events;
  form.List.OnSelectItem = [&](int index, bool selected) { events.emplace_back(index, selected); };

  form.List.SetSelected(2, true);
  form.List.SetSelected(2, true);  // no change, no event
  form.List.SetSelected(4, true);
  EXPECT_EQ(events, (std::vector<std::pair<int, bool>>{{2, true}, {4, true}}));
  EXPECT_EQ(form.List.SelCount(), 2);
  EXPECT_EQ(form.List.FirstSelected(), 2);

  // What the user does is reported once too, and not again when the state did not change.
  events.clear();
  form.List.NativeSelectionChanged(0, true);
  form.List.NativeSelectionChanged(0, true);
  EXPECT_EQ(events, (std::vector<std::pair<int, bool>>{{0, true}}));

  // After Clear nothing is selected and the positions start again at 0.
  form.List.Clear();
  EXPECT_EQ(form.List.SelCount(), 0);
  EXPECT_EQ(form.List.FirstSelected(), -1);
  EXPECT_EQ(form.List.AddItem(7), 0);
  EXPECT_EQ(form.List.ItemImageIndex(0), 7);
}

TEST_F(WindowClassesTest, SingleSelectionDeselectsTheOthersFirst) {
  ui::Application app;
  ui::Form form(app, {.caption = "x", .bounds = {0, 0, 300, 300}});
  ui::ListView list;
  list.Create(form, {.align = ui::Align::Client});
  for (int i = 0; i < 3; ++i) list.AddItem(i);
  std::vector<std::pair<int, bool>> events;
  list.OnSelectItem = [&](int index, bool selected) { events.emplace_back(index, selected); };
  list.SetSelected(0, true);
  list.SetSelected(2, true);
  EXPECT_EQ(events, (std::vector<std::pair<int, bool>>{{0, true}, {0, false}, {2, true}}));
  EXPECT_EQ(list.SelCount(), 1);
}

TEST_F(WindowClassesTest, ErrorBoxAppendsAFullStopAfterLettersAndDigits) {
  EXPECT_EQ(ui::Application::ErrorBoxText("Datei C:\\x.bmp kann nicht erstellt werden"),
            "Datei C:\\x.bmp kann nicht erstellt werden.");
  EXPECT_EQ(ui::Application::ErrorBoxText("JPEG-Fehler #12"), "JPEG-Fehler #12.");
  EXPECT_EQ(ui::Application::ErrorBoxText("Stop!"), "Stop!");
  EXPECT_EQ(ui::Application::ErrorBoxText("(x)"), "(x)");
  EXPECT_EQ(ui::Application::ErrorBoxText("done."), "done.");
  EXPECT_EQ(ui::Application::ErrorBoxText("a/"), "a/.");  // '/' sorts after '.'
  EXPECT_EQ(ui::Application::ErrorBoxText("a-"), "a-");   // '-' sorts before '.'
  EXPECT_EQ(ui::Application::ErrorBoxText(""), "");
  EXPECT_EQ(ui::Application::ErrorBoxText("gr\xFC"), "gr\xFC.");  // bytes above 127 sort after '.'

  ui::Application app;
  app.SetTitle("Letrana");
  app.HandleException(std::runtime_error("Color table overflow"));
  ASSERT_EQ(ui::testing::ErrorBoxes().size(), 1u);
  EXPECT_EQ(ui::testing::ErrorBoxes()[0].caption, "Letrana");
  EXPECT_EQ(ui::testing::ErrorBoxes()[0].text, "Color table overflow.");
}

TEST_F(WindowClassesTest, TimersFireOnTheClockAndHandlerErrorsReachTheErrorBox) {
  ui::Application app;
  TestForm form(app);
  ui::Timer once, repeating;
  int onceFired = 0, repeatingFired = 0;
  once.Create(form, {.interval = 500, .enabled = true});
  once.OnTimer = [&] {
    once.SetEnabled(false);
    ++onceFired;
    throw std::runtime_error("boom");
  };
  repeating.Create(form, {.interval = 100, .enabled = true});
  repeating.OnTimer = [&] { ++repeatingFired; };

  ui::testing::AdvanceTime(499);
  EXPECT_EQ(onceFired, 0);
  EXPECT_EQ(repeatingFired, 4);
  ui::testing::AdvanceTime(1000);
  EXPECT_EQ(onceFired, 1);
  EXPECT_EQ(repeatingFired, 14);
  ASSERT_EQ(ui::testing::ErrorBoxes().size(), 1u);
  EXPECT_EQ(ui::testing::ErrorBoxes()[0].text, "boom.");
}

TEST_F(WindowClassesTest, DialogsRememberTheirLastAnswer) {
  ui::Application app;
  TestForm form(app);
  ui::SaveDialog save;
  save.Create(form, {.filter = "(*.BMP)|*.bmp|(*.JPG)|*.jpg", .defaultExt = "bmp"});
  ui::ColorDialog color;
  color.Create(form);

  EXPECT_FALSE(save.Execute());  // nobody answered: cancelled
  EXPECT_EQ(ui::testing::UnansweredDialogs(), 1);
  ui::testing::AnswerSave(save, "/tmp/glyph.png", 2);
  ASSERT_TRUE(save.Execute());
  EXPECT_EQ(save.FileName(), "/tmp/glyph.png");
  EXPECT_EQ(save.FilterIndex(), 2);
  ui::testing::CancelNext(save);
  EXPECT_FALSE(save.Execute());
  EXPECT_EQ(save.FileName(), "/tmp/glyph.png");  // a cancel keeps the last answer
  const auto& openings = ui::testing::DialogOpenings();
  ASSERT_EQ(openings.size(), 3u);
  EXPECT_EQ(openings[2].fileName, "/tmp/glyph.png");
  EXPECT_EQ(openings[2].filterIndex, 2);

  ui::testing::AnswerColor(color, 0x0000FF);
  ASSERT_TRUE(color.Execute());
  ui::testing::CancelNext(color);
  EXPECT_FALSE(color.Execute());
  EXPECT_EQ(ui::testing::DialogOpenings().back().color, 0x0000FFu);
}

TEST_F(WindowClassesTest, CheckBoxStateChangesRunTheClickHandler) {
  ui::Application app;
  TestForm form(app);
  ui::CheckBox box;
  box.Create(form.Top, {.bounds = {0, 0, 80, 17}, .caption = "Client"});
  int clicks = 0;
  box.OnClick = [&] { ++clicks; };
  box.SetChecked(true);
  box.SetChecked(true);
  box.Click();
  EXPECT_EQ(clicks, 2);
  EXPECT_FALSE(box.Checked());
}

TEST_F(WindowClassesTest, ShowCloseAndShortCuts) {
  ui::Application app;
  TestForm main(app);
  ui::Form second(app, {.caption = "Progress",
                        .clientWidth = 287,
                        .clientHeight = 54,
                        .borderStyle = ui::BorderStyle::Dialog,
                        .captionButtons = false,
                        .position = ui::FormPosition::MainFormCenter});
  EXPECT_EQ(app.MainForm(), &main);
  EXPECT_EQ(second.ClientWidth(), 287);
  EXPECT_EQ(second.ClientHeight(), 54);

  int shows = 0;
  second.OnShow = [&] { ++shows; };
  second.Show();
  second.Show();  // already showing: comes to the front, no second show event
  EXPECT_EQ(shows, 1);
  main.Show();
  EXPECT_EQ(ui::testing::ShowingForms().front(), &main);
  second.Show();
  EXPECT_EQ(ui::testing::ShowingForms().front(), &second);
  second.Close();
  EXPECT_FALSE(second.Showing());
  EXPECT_FALSE(app.Terminated());

  ui::Action quit;
  quit.Create(main, {.key = 'Q', .ctrl = true});
  quit.OnExecute = [&] { main.Close(); };
  EXPECT_FALSE(main.ExecuteShortCut({.key = 'Q'}));
  EXPECT_TRUE(main.ExecuteShortCut({.key = 'Q', .ctrl = true}));
  EXPECT_TRUE(app.Terminated());  // closing the main form ends the program
}

TEST_F(WindowClassesTest, ImageListKeepsCopiesAtItsSize) {
  ui::Application app;
  TestForm form(app);
  ui::ImageList images;
  images.Create(form, {.width = 4, .height = 3});
  TBitmap picture;
  picture.SetSize(2, 2);
  picture.Fill(clBlack);
  EXPECT_EQ(images.Add(picture), 0);
  picture.Fill(0x123456);  // the list holds its own copy
  EXPECT_EQ(images.Picture(0).Width(), 4);
  EXPECT_EQ(images.Picture(0).Height(), 3);
  EXPECT_EQ(images.Picture(0).Pixel(1, 1), clBlack);
  images.SetSize(8, 8);
  EXPECT_EQ(images.Count(), 0);
}

}  // namespace
