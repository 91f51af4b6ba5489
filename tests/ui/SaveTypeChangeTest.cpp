// A save dialog whose file type the user changes while it is open, answered through the headless
// backend: the handler reads the name in the dialog and writes a new one into its name box.

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "platform/os/Os.h"
#include "platform/ui/Ui.h"
#include "platform/ui/UiTesting.h"

namespace {

class SaveTypeChangeTest : public ::testing::Test {
 protected:
  void SetUp() override { ui::testing::Reset(); }
  void TearDown() override { ui::testing::Reset(); }
};

struct SaveForm : ui::Form {
  explicit SaveForm(ui::Application& app) : Form(app, {.caption = "Viewer", .bounds = {0, 0, 400, 300}}) {
    Dialog.Create(*this, {.filter = "BMP|*.bmp|JPG|*.jpg", .defaultExt = "bmp", .overwritePrompt = true});
    // As a handler does it: the name in the dialog with the extension of the type picked.
    Dialog.OnTypeChange = [this] {
      const std::string path = Dialog.DialogFilePath();
      seen.push_back(std::to_string(Dialog.FilterIndex()) + " " + path);
      if (fail) throw std::runtime_error("Type change failed");
      const std::string name = path.substr(path.find_last_of('/') + 1);
      const std::string stem = name.substr(0, name.find_last_of('.'));
      Dialog.SetDialogFileNameText(stem + (Dialog.FilterIndex() == 1 ? ".bmp" : ".jpg"));
    };
  }
  ui::SaveDialog Dialog;
  std::vector<std::string> seen;
  bool fail = false;
};

TEST_F(SaveTypeChangeTest, TheHandlerSeesTheTypedNameAndItsNameBecomesTheAnswer) {
  ui::Application app;
  SaveForm form(app);
  const std::string folder = os::CurrentDirectory();
  form.Dialog.SetFileName("/tmp/start.bmp");

  ui::testing::AnswerSaveWithTypeChange(form.Dialog, "shot.bmp", 2, true);
  ASSERT_TRUE(form.Dialog.Execute());
  EXPECT_EQ(form.seen, (std::vector<std::string>{"2 " + folder + "/shot.bmp"}));
  EXPECT_EQ(form.Dialog.FileName(), folder + "/shot.jpg");
  EXPECT_EQ(form.Dialog.FilterIndex(), 2);
  EXPECT_EQ(ui::testing::DialogOpenings().back().nameBoxTexts, (std::vector<std::string>{"shot.jpg"}));
  EXPECT_EQ(ui::testing::DialogOpenings().back().fileName, "/tmp/start.bmp");
  // Outside the handler there is no dialog to ask or to write to.
  EXPECT_EQ(form.Dialog.DialogFilePath(), "");
  form.Dialog.SetDialogFileNameText("ignored");
  EXPECT_FALSE(form.Dialog.TypeChanging());

  // An empty name box names the folder; the handler's name is the extension alone. A name typed with a
  // folder is reported with it, and the box then holds what the handler wrote, the name alone, which the
  // dialog's folder (here the current directory) completes.
  form.seen.clear();
  ui::testing::AnswerSaveWithTypeChange(form.Dialog, "", 1, true);
  ui::testing::AnswerSaveWithTypeChange(form.Dialog, "/data/shots/win.jpg", 1, true);
  ASSERT_TRUE(form.Dialog.Execute());
  EXPECT_EQ(form.Dialog.FileName(), folder + "/.bmp");
  ASSERT_TRUE(form.Dialog.Execute());
  EXPECT_EQ(form.Dialog.FileName(), folder + "/win.bmp");
  EXPECT_EQ(form.seen, (std::vector<std::string>{"1 " + folder + "/", "1 /data/shots/win.jpg"}));
}

TEST_F(SaveTypeChangeTest, ACancelOrAFailedHandlerLeavesTheLastAnswerAsItWas) {
  ui::Application app;
  SaveForm form(app);
  form.Dialog.SetFileName("/tmp/last.bmp");
  ui::testing::AnswerSaveWithTypeChange(form.Dialog, "shot.bmp", 2, false);
  EXPECT_FALSE(form.Dialog.Execute());
  EXPECT_EQ(form.seen.size(), 1u);
  EXPECT_EQ(form.Dialog.FileName(), "/tmp/last.bmp");
  EXPECT_EQ(form.Dialog.FilterIndex(), 1);

  // An error in the handler goes to the error box; the name box keeps what was typed.
  form.fail = true;
  ui::testing::AnswerSaveWithTypeChange(form.Dialog, "/tmp/typed.bmp", 2, true);
  ASSERT_TRUE(form.Dialog.Execute());
  ASSERT_EQ(ui::testing::ErrorBoxes().size(), 1u);
  EXPECT_EQ(ui::testing::ErrorBoxes()[0].text, "Type change failed.");
  EXPECT_EQ(form.Dialog.FileName(), "/tmp/typed.bmp");
  EXPECT_FALSE(form.Dialog.TypeChanging());

  // With nothing in the name box, OK cannot close the dialog.
  form.Dialog.OnTypeChange = nullptr;
  ui::testing::AnswerSaveWithTypeChange(form.Dialog, "", 2, true);
  EXPECT_FALSE(form.Dialog.Execute());
  EXPECT_EQ(form.Dialog.FileName(), "/tmp/typed.bmp");
}

}  // namespace
