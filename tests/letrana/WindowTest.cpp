// The main window itself: the layout rule on resize at 96 and 144 pixels per inch, the keys, creation
// and close, the about box, the first show, and the program's start.
//
// The first show looks beside the running executable, where the fixture has put a SavePath.ini that
// sends the storage directory to a temporary folder.

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "tests/letrana/LetranaFixture.h"

namespace {

using namespace letrana_testing;
using WindowTest = LetranaTest;

// The four distances the resize rule keeps: BtnCopyImage to the centre, the centre to BtnExport,
// ImgPreview to the right edge, LblFont to ImgPreview.
std::vector<int> Margins(const TFrmLetrana& frm) {
  const int centre = frm.ClientWidth() / 2;
  return {centre - (frm.BtnCopyImage.Left() + frm.BtnCopyImage.Width()), frm.BtnExport.Left() - centre,
          frm.PnlTop.Width() - (frm.ImgPreview.Left() + frm.ImgPreview.Width()),
          frm.ImgPreview.Left() - (frm.LblFont.Left() + frm.LblFont.Width())};
}

TEST_F(WindowTest, ResizePlacesTheButtonsAboutTheCentreAndThePreviewAtTheRight) {
  TFrmLetrana& frm = Open();
  ASSERT_EQ(frm.ClientWidth(), 692);
  EXPECT_EQ(frm.BtnCopyImage.Left(), 204);
  EXPECT_EQ(frm.BtnExport.Left(), 351);
  EXPECT_EQ(frm.ImgPreview.Left(), 626);
  EXPECT_EQ(frm.LblCharValue.Left(), 626);
  EXPECT_EQ(frm.LblFont.Width(), 406);
  frm.SetClientSize(901, 500);
  EXPECT_EQ(Margins(frm), (std::vector<int>{5, 5, 6, 12}));
  EXPECT_EQ(frm.BtnExport.Left(), 455) << "half of 901 is truncated";
  EXPECT_EQ(frm.LisCharacters.Bounds(), (ui::Rect{0, 153, 901, 500 - 153 - 41}));
  frm.SetBounds({0, 0, 100, 100});
  EXPECT_EQ(frm.Width(), 690);
  EXPECT_EQ(frm.Height(), 400);
}

TEST_F(WindowTest, At144PixelsPerInchTheMarginsAreScaled) {
  ui::testing::SetScreenPixelsPerInch(144);
  TFrmLetrana& frm = Open();
  ASSERT_EQ(frm.PixelsPerInch(), 144);
  EXPECT_EQ(Margins(frm), (std::vector<int>{7, 7, 9, 18}));
  frm.SetClientSize(1201, 900);
  EXPECT_EQ(Margins(frm), (std::vector<int>{7, 7, 9, 18}));
  ui::testing::AdvanceTime(500);
  frm.LisCharacters.SetSelected('A', true);
  EXPECT_EQ(frm.ImgPreview.Picture().Width(), 90) << "the preview has the image's scaled size";
}

TEST_F(WindowTest, KeysRunTheirCommands) {
  TFrmLetrana& frm = Open();
  EXPECT_TRUE(frm.ExecuteShortCut({.key = 'G', .ctrl = true}));
  ASSERT_EQ(frm.LisCharacters.Count(), 256) << "Ctrl+G builds the grid";
  EXPECT_TRUE(frm.ExecuteShortCut({.key = 'A', .ctrl = true}));
  frm.LisCharacters.SetSelected(9, false);
  EXPECT_TRUE(frm.ExecuteShortCut({.key = 'I', .ctrl = true}));
  EXPECT_EQ(frm.LisCharacters.SelCount(), 1);
  EXPECT_TRUE(frm.LisCharacters.Selected(9));
  EXPECT_TRUE(frm.ExecuteShortCut({.key = 'S', .ctrl = true}));
  EXPECT_EQ(ui::testing::DialogOpenings().at(0).dialog, &frm.SvdSave);
  frm.Show();
  EXPECT_TRUE(frm.ExecuteShortCut({.key = 'Q', .ctrl = true}));
  EXPECT_FALSE(frm.Showing());
  EXPECT_TRUE(app->Terminated());
}

TEST_F(WindowTest, InfoShowsTheAboutBoxModally) {
  TFrmLetrana& frm = Open();
  EXPECT_TRUE(frm.DoubleBuffered());
  ui::Form* modal = nullptr;
  ui::testing::OnModal([&](ui::Form& form) {
    if (form.Showing()) modal = &form;
    form.Close();
  });
  frm.MenInfo.Click();
  EXPECT_EQ(modal, &windows->FrmInfo);
  EXPECT_FALSE(windows->FrmInfo.Showing());
}

using StartTest = LetranaTest;

TEST_F(StartTest, FirstShowFindsTheDirectoriesAndHidesTheCommandsOfMissingDocuments) {
  for (const auto& [license, readMe] :
       {std::pair{false, false}, {true, false}, {false, true}, {true, true}}) {
    SCOPED_TRACE(std::to_string(license) + std::to_string(readMe));
    license ? Place("Letrana_License.txt", "l") : Unplace("Letrana_License.txt");
    readMe ? Place("Letrana_ReadMe.txt", "r") : Unplace("Letrana_ReadMe.txt");
    TFrmLetrana& frm = Open();
    frm.Show();
    EXPECT_EQ(frm.Shell.ProgramDirectory(), programDirectory.string() + "/");
    EXPECT_EQ(frm.LicensePath, frm.Shell.ProgramDirectory() + "Letrana_License.txt");
    EXPECT_EQ(frm.MenLicense.Visible(), license);
    EXPECT_EQ(frm.MenReadMe.Visible(), readMe);
    EXPECT_EQ(frm.MenCheckUpdate.Visible(), readMe);
    EXPECT_EQ(frm.Shell.StorageDirectory(), storage.Path().string() + "/");
    // Only the first show looks: documents that come or go later change nothing.
    license ? Unplace("Letrana_License.txt") : Place("Letrana_License.txt", "l");
    frm.Hide();
    frm.Show();
    EXPECT_EQ(frm.MenLicense.Visible(), license);
    windows.reset();
  }
}

TEST_F(StartTest, ProgramCreatesItsThreeWindowsInOrderAndRunsUntilTheMainWindowCloses) {
  ui::Application program;
  std::optional<std::string> seen;  // what the program looked like while it built the grid
  ui::testing::OnProcessMessages([&] {
    if (seen) return;
    const auto& forms = program.Forms();
    const auto* main = forms.size() == 3 ? dynamic_cast<const TFrmLetrana*>(forms[0]) : nullptr;
    seen =
        program.Title() + (main != nullptr && main->Showing() ? " main" : "") +
        (main != nullptr && main->FrmInfo == forms[1] && dynamic_cast<TFrmInfo*>(forms[1]) ? " info" : "") +
        (main != nullptr && main->FrmProgress == forms[2] && dynamic_cast<TFrmProgress*>(forms[2])
             ? " progress"
             : "");
  });
  EXPECT_EQ(RunLetrana(program, Folders()), 0);
  EXPECT_EQ(seen, "Letrana main info progress");
  EXPECT_TRUE(ui::testing::ErrorBoxes().empty());
  EXPECT_TRUE(program.Forms().empty());

  // An error during start-up is shown and still ends with 0: no font can be made at this resolution.
  ui::testing::SetScreenPixelsPerInch(20000);
  EXPECT_EQ(RunLetrana(program, Folders()), 0);
  ASSERT_EQ(ui::testing::ErrorBoxes().size(), 1u);
  EXPECT_EQ(ui::testing::ErrorBoxes()[0].caption, "Letrana");
  EXPECT_TRUE(program.Forms().empty());
}

}  // namespace
