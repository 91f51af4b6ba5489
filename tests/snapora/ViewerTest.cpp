// The viewer and the saving around the preview: opening the viewer from the preview and the thumbnail,
// its scroll bars and menu, "Save as..." from the viewer (menu, pop-up, Ctrl+S) and from the preview's
// menu with the format by extension, the save dialog's type change, and the file-name dialog with the
// application window kept in front while it is open.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/imaging/ImageReaders.h"
#include "tests/imaging/PngReader.h"
#include "tests/snapora/SnaporaFixture.h"

namespace {

namespace fs = std::filesystem;
using snapora_testing::Count;
using snapora_testing::SnaporaTest;

bool IsJpegFile(const fs::path& path) {
  return fs::exists(path) && image_readers::DecodeJpeg(testing_support::ReadFileBytes(path)).ok;
}
bool IsBmpFile(const fs::path& path) {
  const auto bytes = testing_support::ReadFileBytes(path);
  return bytes.size() > 2 && bytes[0] == 'B' && bytes[1] == 'M';
}

TEST_F(SnaporaTest, TheViewerShowsTheLastCaptureFromPreviewOrThumbnail) {
  PaintDisplay();
  TFrmSnapora& frm = OpenShown();
  TFrmFullscreen& viewer = windows->FrmFullscreen;
  int opened = 0;
  ui::testing::OnModal([&](ui::Form& form) {
    ASSERT_EQ(&form, &viewer);
    ++opened;
    form.Close();
  });
  // The placeholder is no capture: a double-click does nothing.
  frm.ImgCapture.NativeDblClick();
  frm.ImgThumbNail.NativeDblClick();
  EXPECT_EQ(opened, 0);

  frm.BtnCapture.Click();
  ui::testing::OnModal([&](ui::Form& form) {
    ASSERT_EQ(&form, &viewer);
    ++opened;
    EXPECT_EQ(viewer.ImgFullscreen.Picture().Width(), 1280);
    EXPECT_EQ(viewer.ImgFullscreen.Picture().Pixel(300, 200), frm.ImgCapture.Picture().Pixel(300, 200));
    EXPECT_EQ(viewer.ImgFullscreen.Hint(), "1280 x 1024 px");
    EXPECT_EQ(viewer.Caption(), frm.Caption());
    EXPECT_EQ(viewer.GetWindowState(), ui::WindowState::Maximized);
    EXPECT_FALSE(viewer.MinimizeButton());
    EXPECT_TRUE(viewer.MaximizeButton());
    // The picture is larger than the maximised window: both scroll bars, over the whole picture.
    EXPECT_EQ(viewer.HorzScrollRange(), 1280);
    EXPECT_EQ(viewer.VertScrollRange(), 1024);
    viewer.ScrollTo(100000, 100000);
    EXPECT_EQ(viewer.HorzScrollPos(), 1280 - viewer.ClientWidth());
    EXPECT_EQ(viewer.VertScrollPos(), 1024 - viewer.ClientHeight());
    EXPECT_EQ(viewer.MenSaveAs.Caption(), "Save as...\tCtrl+S");
    EXPECT_EQ(viewer.PopSaveAs.Caption(), "Save as...");
    // A double-click on the picture closes the viewer.
    viewer.ImgFullscreen.NativeDblClick();
    EXPECT_FALSE(viewer.Showing());
  });
  frm.ImgCapture.NativeDblClick();
  frm.ImgThumbNail.NativeDblClick();
  EXPECT_EQ(opened, 2);
  // The viewer holds a copy: a smaller capture later does not change it until it is opened again.
  frm.ChbDefineRect.SetChecked(true);
  frm.BtnCapture.Click();
  EXPECT_EQ(viewer.ImgFullscreen.Picture().Width(), 1280);
  ui::testing::OnModal([&](ui::Form& form) {
    EXPECT_EQ(viewer.ImgFullscreen.Picture().Width(), 300);
    EXPECT_EQ(viewer.HorzScrollRange(), 0) << "no scroll bar for a picture that fits";
    form.Close();
  });
  frm.ImgCapture.NativeDblClick();
}

TEST_F(SnaporaTest, SavingFromViewerAndPreviewWritesBmpOnlyForBmpNames) {
  TFrmSnapora& frm = OpenShown();
  TFrmFullscreen& viewer = windows->FrmFullscreen;
  const fs::path out = storage.Path();
  EXPECT_TRUE(viewer.SvdSave.OverwritePrompt());
  EXPECT_FALSE(frm.SvdSave.OverwritePrompt());
  EXPECT_EQ(viewer.SvdSave.Filter(), "BMP|*.bmp|JPG|*.jpg|PNG|*.png");
  EXPECT_EQ(frm.SvdSave.Filter(), "(*.BMP)|*.bmp|(*:JPG)|*.jpg|(*.PNG)|*.png");

  // Before any capture the preview's "Save as..." writes an empty file and leaves the preview empty.
  ui::testing::AnswerSave(viewer.SvdSave, (out / "empty.bmp").string(), 1);
  frm.PopSaveAs.Click();
  EXPECT_EQ(fs::file_size(out / "empty.bmp"), 0u);
  EXPECT_EQ(frm.ImgCapture.Picture().Width(), 0);

  frm.BtnCapture.Click();
  ui::testing::AnswerSave(viewer.SvdSave, (out / "preview.gif").string(), 1);
  frm.PopSaveAs.Click();
  EXPECT_TRUE(IsJpegFile(out / "preview.gif")) << "a name not ending in .bmp or .png is written as JPEG";
  ui::testing::AnswerSave(viewer.SvdSave, (out / "preview.PNG").string(), 3);
  frm.PopSaveAs.Click();
  EXPECT_TRUE(png_reader::ReadPngWithLibrary((out / "preview.PNG").string()).ok);
  ui::testing::AnswerSave(viewer.SvdSave, (out / "preview.BMP").string(), 2);
  frm.PopSaveAs.Click();
  EXPECT_TRUE(IsBmpFile(out / "preview.BMP"));

  // In the viewer: its menu, its pop-up menu and Ctrl+S all save its picture.
  ui::testing::OnModal([&](ui::Form&) {
    ui::testing::AnswerSave(viewer.SvdSave, (out / "menu.bmp").string(), 1);
    viewer.MenSaveAs.Click();
    ui::testing::AnswerSave(viewer.SvdSave, (out / "popup").string(), 1);
    viewer.PopSaveAs.Click();
    ui::testing::AnswerSave(viewer.SvdSave, (out / "keys.jpg").string(), 2);
    EXPECT_TRUE(viewer.ExecuteShortCut({.key = 'S', .ctrl = true}));
    // Cancelled: nothing is written.
    viewer.MenSaveAs.Click();
    viewer.Close();
  });
  frm.ImgCapture.NativeDblClick();
  EXPECT_TRUE(IsBmpFile(out / "menu.bmp"));
  EXPECT_TRUE(IsJpegFile(out / "popup"));
  EXPECT_TRUE(IsJpegFile(out / "keys.jpg"));
  EXPECT_EQ(ui::testing::UnansweredDialogs(), 1);

  // A write that fails: the writer's error in the box, nothing else changed.
  ui::testing::AnswerSave(viewer.SvdSave, (out / "missing" / "x.bmp").string(), 1);
  Run([&] { frm.PopSaveAs.Click(); });
  ASSERT_EQ(ui::testing::ErrorBoxes().size(), 1u);
  EXPECT_EQ(ui::testing::ErrorBoxes()[0].caption, "Snapora");
  EXPECT_EQ(frm.ImgCapture.Picture().Width(), 1280);
}

TEST_F(SnaporaTest, TheSaveDialogsTypeChangeGivesTheNameTheTypesExtension) {
  TFrmSnapora& frm = OpenShown();
  TFrmFullscreen& viewer = windows->FrmFullscreen;
  frm.BtnCapture.Click();
  const std::string d(1, os::PathDelimiter());
  const fs::path out = storage.Path();
  const std::string previous = os::CurrentDirectory();
  ASSERT_TRUE(os::ChangeCurrentDirectory(out.string()));
  ui::testing::OnModal([&](ui::Form&) {
    // "shot.bmp" and the JPG entry: the box holds shot.jpg, which is what OK writes, as JPEG.
    ui::testing::AnswerSaveWithTypeChange(viewer.SvdSave, "shot.bmp", 2, true);
    viewer.MenSaveAs.Click();
    // An empty box: ".jpg" alone; a name without extension gets one; the BMP entry gives .bmp. Only the
    // last element goes into the box, never a folder.
    ui::testing::AnswerSaveWithTypeChange(viewer.SvdSave, "", 2, false);
    viewer.MenSaveAs.Click();
    ui::testing::AnswerSaveWithTypeChange(viewer.SvdSave, "sub.d" + d + "noext", 1, false);
    viewer.MenSaveAs.Click();
    // The PNG entry: .png, and the file written is a PNG.
    ui::testing::AnswerSaveWithTypeChange(viewer.SvdSave, "lossless.jpg", 3, true);
    viewer.MenSaveAs.Click();
    viewer.Close();
  });
  frm.ImgCapture.NativeDblClick();
  os::ChangeCurrentDirectory(previous);
  std::vector<std::vector<std::string>> boxTexts;
  for (const auto& opening : ui::testing::DialogOpenings())
    if (opening.dialog == &viewer.SvdSave) boxTexts.push_back(opening.nameBoxTexts);
  EXPECT_EQ(boxTexts,
            (std::vector<std::vector<std::string>>{{"shot.jpg"}, {".jpg"}, {"noext.bmp"}, {"lossless.png"}}));
  EXPECT_TRUE(png_reader::ReadPngWithLibrary((out / "lossless.png").string()).ok);
  EXPECT_TRUE(IsJpegFile(out / "shot.jpg"));
  EXPECT_FALSE(fs::exists(out / "shot.bmp"));
}

TEST_F(SnaporaTest, TheFileNameDialogKeepsTheProgramInFrontWhileItAsks) {
  TFrmSnapora& frm = OpenShown();
  TFrmFileName& dialog = windows->FrmFileName;
  const std::string application = std::to_string(app->Handle());
  ASSERT_NE(app->Handle(), 0);
  frm.ChbToFile.SetChecked(true);
  frm.ChbAskName.SetChecked(true);
  frm.EdtFile.SetText((storage.Path() / "proposed.bmp").string());
  const std::string browsed = (storage.Path() / "browsed.jpg").string();
  os::testing::ClearWindowCalls();
  ui::testing::OnModal([&](ui::Form&) {
    // Shown: the focus in the name, the main window's caption, the application window topmost and shown.
    EXPECT_EQ(dialog.FocusedControl(), &dialog.EdtFileName);
    EXPECT_EQ(dialog.Caption(), frm.Caption());
    EXPECT_EQ(Count("SetWindowZOrder " + application + " Topmost show"), 1);
    EXPECT_EQ(Count("RedrawNow " + application), 1);
    EXPECT_EQ(Count("ShowWindow " + application + " 5"), 1);
    EXPECT_EQ(Count("ShowWindow " + application + " 9"), 1);
    // "...": the main window's dialog picks the name; topmost again afterwards, also when cancelled.
    ui::testing::AnswerSave(frm.SvdSave, browsed, 2);
    dialog.BtnBrowse.Click();
    EXPECT_EQ(dialog.EdtFileName.Text(), browsed);
    dialog.BtnBrowse.Click();
    EXPECT_EQ(dialog.EdtFileName.Text(), browsed);
    EXPECT_EQ(Count("SetWindowZOrder " + application + " Topmost show"), 3);
    EXPECT_EQ(Count("ShowWindow " + application + " 5"), 1);
    dialog.BtnOk.Click();
  });
  frm.BtnCapture.Click();
  EXPECT_EQ(Count("SetWindowZOrder " + application + " NoTopmost show"), 1);
  EXPECT_TRUE(IsJpegFile(browsed));
  // The capture kept the application window's placement: read before, written back after.
  EXPECT_EQ(Count("SetPlacement " + application), 1);

  // Escape, or the close box: Cancel, no file.
  fs::remove(browsed);
  ui::testing::OnModal([&](ui::Form&) { dialog.Close(); });
  frm.BtnCapture.Click();
  EXPECT_FALSE(fs::exists(storage.Path() / "proposed.bmp"));
  EXPECT_FALSE(frm.AskingName);
}

}  // namespace
