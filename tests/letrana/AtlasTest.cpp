// "Export atlas...": the dialog's options and the files the window writes, byte for byte those of
// letrana-export --atlas for the same font, colours, characters and options; values out of bounds and
// a page too small for a glyph.

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "letrana/ExportTool.h"
#include "tests/letrana/LetranaFixture.h"

namespace {

using namespace letrana_testing;
namespace fs = std::filesystem;

// What a user types and picks in the atlas dialog.
struct TDialogInput {
  std::string width = "512", height = "512";
  bool powerOfTwo = false;
  std::string padding = "0", spacing = "1";
  int descriptor = 0;  // Text, XML, Binary
  bool distanceField = false;
  std::string spread = "4";
  int pictures = 0;  // PNG white on transparent, then the export forms
};

class AtlasTest : public LetranaTest {
 protected:
  AtlasTest() {
    Open();
    ui::testing::AdvanceTime(500);
  }
  // Runs Export atlas... with the input, OK and the save dialog's answer; the dialog's errors go to the
  // error box, and then the dialog is cancelled.
  void ExportAtlas(const TDialogInput& in, const std::string& path) {
    ui::testing::OnModal([&](ui::Form& form) {
      auto& dialog = dynamic_cast<TFrmAtlas&>(form);
      dialog.EdtPageWidth.SetText(in.width);
      dialog.EdtPageHeight.SetText(in.height);
      dialog.ChkPowerOfTwo.SetChecked(in.powerOfTwo);
      dialog.EdtPadding.SetText(in.padding);
      dialog.EdtSpacing.SetText(in.spacing);
      dialog.CmbDescriptor.SetItemIndex(in.descriptor);
      dialog.ChkDistanceField.SetChecked(in.distanceField);
      dialog.EdtSpread.SetText(in.spread);
      dialog.CmbPictures.SetItemIndex(in.pictures);
      AsTheMessageLoop([&] { dialog.BtnOk.Click(); });
      if (dialog.Showing()) dialog.BtnCancel.Click();
    });
    ui::testing::AnswerSave(Frm().SvdAtlas, path, 1);
    AsTheMessageLoop([&] { Frm().MenExportAtlas.Click(); });
    ui::testing::OnModal(nullptr);
  }
  testing_support::TempDir temp;
};

TEST_F(AtlasTest, TheWindowWritesWhatLetranaExportWritesForTheSameOptions) {
  TFrmLetrana& frm = Frm();
  PickFont({.name = "Arial", .size = 12, .color = kRed});
  PickBackground(kGreen);
  const std::string text = temp.File("text.txt");
  testing_support::WriteFileBytes(text, "Hello, \xD0\x96!\nHej");
  const std::vector<std::string> common = {"--no-settings", "--font",  "Arial",        "--size",  "12",
                                           "--color",       "#FF0000", "--background", "#00A000", "--atlas"};
  struct Case {
    std::function<void()> choose;
    TDialogInput input;
    std::vector<std::string> tool;
  };
  for (const Case& c : std::vector<Case>{
           {[&] { frm.MenCodePage.Click(); }, {}, {}},
           {[&] { BlockItem("Cyrillic").Click(); },
            {.width = "200",
            .height = "300",
            .powerOfTwo = true,
            .padding = "2",
            .spacing = "0",
            .descriptor = 1,
            .pictures = 5},
            {"--codes", "U+0400-U+04FF", "--page-size", "200x300", "--pot", "--padding", "2", "--spacing",
             "0", "--descriptor", "xml", "--form", "png-alpha"}},
           {[&] {
              ui::testing::AnswerOpen(frm.OpdTextFile, text);
              frm.MenTextFile.Click();
            },
            {.width = "256",
            .height = "128",
            .padding = "1",
            .spacing = "2",
            .descriptor = 2,
            .distanceField = true,
            .spread = "3",
            .pictures = 1},
            {"--charset-file", text, "--page-size", "256x128", "--padding", "1", "--spacing", "2",
             "--descriptor", "binary", "--sdf", "3", "--form", "bmp"}},
       }) {
    SCOPED_TRACE(c.tool.empty() ? "code page" : c.tool[0]);
    c.choose();
    testing_support::TempDir window, tool;
    ExportAtlas(c.input, window.File("font.fnt"));
    std::vector<std::string> arguments = common;
    arguments.insert(arguments.end(), c.tool.begin(), c.tool.end());
    arguments.insert(arguments.end(), {"--output", tool.File("font")});
    std::ostringstream out, err;
    ASSERT_EQ(letrana_export::RunExportTool(arguments, {}, out, err), 0) << err.str();
    fs::remove(tool.Path() / "font.json");
    ASSERT_EQ(FileNames(window.Path()), FileNames(tool.Path()));
    EXPECT_GE(FileNames(window.Path()).size(), 2u);
    for (const std::string& name : FileNames(tool.Path()))
      EXPECT_EQ(testing_support::ReadFileBytes(window.Path() / name),
                testing_support::ReadFileBytes(tool.Path() / name))
          << name;
  }
  EXPECT_TRUE(ui::testing::ErrorBoxes().empty());
}

TEST_F(AtlasTest, ValuesOutOfBoundsAndAPageTooSmallAreToldAndWriteNothing) {
  TFrmLetrana& frm = Frm();
  PickFont({.name = "Arial", .size = 40});
  struct Case {
    TDialogInput input;
    std::string error;
  };
  for (const Case& c : std::vector<Case>{
           {{.width = "8193"}, "Page size must be a whole number from 16 to 8192."},
           {{.padding = " 1"}, "Padding must be a whole number from 0 to 4096."},
           {{.spacing = "x"}, "Spacing must be a whole number from 0 to 4096."},
           {{.distanceField = true, .spread = "0"},
            "Distance field, spread must be a whole number from 1 to 4096."},
           {{.width = "16", .height = "16"}, "A glyph does not fit a page of 16 x 16 pixels."},
       }) {
    SCOPED_TRACE(c.error);
    ExportAtlas(c.input, temp.File("font"));
    ASSERT_FALSE(ui::testing::ErrorBoxes().empty());
    EXPECT_EQ(ui::testing::ErrorBoxes().back().text, c.error);
    EXPECT_TRUE(FileNames(temp.Path()).empty());
  }
  EXPECT_EQ(ui::testing::ErrorBoxes().size(), 5u);
  // Only values within bounds are kept, and the next dialog opens with them.
  EXPECT_EQ(frm.AtlasChoice, (TAtlasChoice{.PageWidth = 16, .PageHeight = 16}));
  std::string shown;
  ui::testing::OnModal([&](ui::Form& form) {
    shown = dynamic_cast<TFrmAtlas&>(form).EdtPageWidth.Text();
    form.Close();
  });
  frm.MenExportAtlas.Click();
  EXPECT_EQ(shown, "16");
}

}  // namespace
