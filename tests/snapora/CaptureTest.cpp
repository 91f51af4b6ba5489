// One capture on the virtual screen: what is grabbed for each kind of target, the user rectangle with
// its fallbacks, the preview, thumbnail and clipboard, the file by its extension, and what a failed
// grab or write leaves.

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "tests/imaging/ImageReaders.h"
#include "tests/imaging/PngReader.h"
#include "tests/platform/ClipboardPictures.h"
#include "tests/snapora/SnaporaFixture.h"

namespace {

namespace fs = std::filesystem;
using snapora_testing::Called;
using snapora_testing::DisplayPart;
using snapora_testing::ExpectSamePixels;
using snapora_testing::SnaporaTest;

// A BMP file read back by the independent reader; throws when it is no valid BMP.
TBitmap ReadBmpFile(const std::string& path) {
  const image_readers::DecodedBmp bmp = image_readers::ReadBmp(testing_support::ReadFileBytes(path));
  TBitmap picture;
  picture.SetSize(bmp.width, bmp.height);
  for (int y = 0; y < bmp.height; ++y)
    for (int x = 0; x < bmp.width; ++x) picture.SetPixel(x, y, bmp.At(x, y));
  return picture;
}

bool IsJpegFile(const std::string& path) {
  return fs::exists(path) && image_readers::DecodeJpeg(testing_support::ReadFileBytes(path)).ok;
}

TEST(ThumbnailPlace, ShrinksToFitKeepingProportionsAndNeverEnlarges) {
  EXPECT_EQ(ThumbnailPlace(1920, 1080), (TThumbnailPlace{1, 12, 98, 55}));
  EXPECT_EQ(ThumbnailPlace(800, 600), (TThumbnailPlace{1, 3, 98, 73}));
  EXPECT_EQ(ThumbnailPlace(300, 1000), (TThumbnailPlace{38, 1, 23, 78}));
  EXPECT_EQ(ThumbnailPlace(50, 40), (TThumbnailPlace{25, 20, 50, 40}));
  EXPECT_EQ(ThumbnailPlace(1280, 1024), (TThumbnailPlace{1, 1, 98, 78}));
  EXPECT_EQ(ThumbnailPlace(98, 78), (TThumbnailPlace{1, 1, 98, 78}));
  EXPECT_EQ(ThumbnailPlace(99, 1), (TThumbnailPlace{1, 40, 98, 0}));
}

TEST(TextToIntDef, ReadsWholeDecimalNumbersOnly) {
  EXPECT_EQ(TextToIntDef("42", 7), 42);
  EXPECT_EQ(TextToIntDef(" -5 ", 7), -5);
  EXPECT_EQ(TextToIntDef("+2147483647", 7), 2147483647);
  EXPECT_EQ(TextToIntDef("-2147483648", 7), -2147483647 - 1);
  EXPECT_EQ(TextToIntDef("2147483648", 7), 7);
  EXPECT_EQ(TextToIntDef("99999999999999999999", 7), 7);
  EXPECT_EQ(TextToIntDef("12px", 7), 7);
  EXPECT_EQ(TextToIntDef("", 7), 7);
  EXPECT_EQ(TextToIntDef("-", 7), 7);
}

TEST_F(SnaporaTest, AScreenCaptureGoesToPreviewThumbnailClipboardAndFile) {
  PaintDisplay();
  TFrmSnapora& frm = OpenShown();
  os::testing::ClearWindowCalls();
  const std::string file = (storage.Path() / "screen.bmp").string();
  frm.ChbToFile.SetChecked(true);
  frm.EdtFile.SetText(file);
  frm.BtnCapture.Click();

  const TBitmap whole = DisplayPart(0, 0, 1280, 1024);
  ExpectSamePixels(frm.ImgCapture.Picture(), whole);
  EXPECT_FALSE(frm.ImgCapture.Center());
  EXPECT_EQ(frm.ImgCapture.Hint(), "Doubleclick to enlarge [1280 x 1024 px]");
  // The thumbnail: a frame in the button face colour around the window colour, the picture inside.
  const TBitmap& thumb = frm.ImgThumbNail.Picture();
  ASSERT_EQ(thumb.Width(), 100);
  ASSERT_EQ(thumb.Height(), 80);
  EXPECT_EQ(thumb.Pixel(0, 0) & 0xFFFFFF, ColorToRGB(clBtnFace));
  EXPECT_EQ(thumb.Pixel(99, 79) & 0xFFFFFF, ColorToRGB(clBtnFace));
  EXPECT_EQ(thumb.Pixel(1, 1) & 0xFFFFFF, whole.Pixel(6, 6) & 0xFFFFFF);
  EXPECT_EQ(frm.ImgThumbNail.Width(), 100);
  // The clipboard holds the capture, as DIB, bitmap and PNG.
  clipboard_testing::ExpectClipboardOffersPicture(whole);
  // The file: a BMP of the same pixels, read back independently.
  ExpectSamePixels(ReadBmpFile(file), whole);
  // A screen capture neither minimises anything nor raises a window; it waits its 350 ms.
  EXPECT_FALSE(Called("MinimizeAll"));
  EXPECT_TRUE(Called("Sleep 350"));
  for (const std::string& call : os::testing::WindowCalls())
    EXPECT_NE(call.rfind("BringToTop", 0), 0u) << call;
}

TEST_F(SnaporaTest, TheDesktopCaptureMinimisesEveryWindowFirstEvenWhenThatFails) {
  TFrmSnapora& frm = OpenShown();
  os::testing::ClearWindowCalls();
  ASSERT_TRUE(frm.CaptureTarget("Desktop", 0, ""));
  EXPECT_TRUE(Called("MinimizeAll"));
  EXPECT_EQ(frm.ImgCapture.Picture().Width(), 1280);

  // The shell object cannot be had: the capture still takes place.
  os::testing::SetMinimizeAllFails(true);
  os::testing::ClearWindowCalls();
  ASSERT_TRUE(frm.CaptureTarget("Desktop", 0, ""));
  EXPECT_EQ(frm.ImgCapture.Picture().Width(), 1280);
  // The decision rests on the caption alone: a window titled like the Desktop entry is captured after
  // everything was minimised; the Screen entry never minimises.
  os::testing::SetMinimizeAllFails(false);
  os::testing::ClearWindowCalls();
  ASSERT_TRUE(frm.CaptureTarget("Screen", 0, ""));
  EXPECT_FALSE(Called("MinimizeAll"));
}

TEST_F(SnaporaTest, AWindowCaptureRaisesGrabsAndRestoresTheTarget) {
  PaintDisplay();
  const os::WindowHandle window = os::testing::AddWindow("Target", {100, 50, 500, 350});
  TFrmSnapora& frm = OpenShown();
  os::testing::ClearWindowCalls();
  ASSERT_TRUE(frm.CaptureTarget("Target", window, ""));
  const std::string h = std::to_string(window);
  const std::vector<std::string> expectedStart = {"BringToTop " + h, "ShowWindow " + h + " 9",
                                                  "ShowWindow " + h + " 5", "Sleep 350"};
  const auto& calls = os::testing::WindowCalls();
  ASSERT_GE(calls.size(), expectedStart.size());
  EXPECT_EQ(std::vector<std::string>(calls.begin(), calls.begin() + 4), expectedStart);
  EXPECT_TRUE(Called("SetPlacement " + h));
  ExpectSamePixels(frm.ImgCapture.Picture(), DisplayPart(100, 50, 400, 300));

  // The client area only: the window less its frame (4 at the sides and bottom, 30 at the top).
  frm.ChbClient.SetChecked(true);
  ASSERT_TRUE(frm.CaptureTarget("Target", window, ""));
  ExpectSamePixels(frm.ImgCapture.Picture(), DisplayPart(104, 80, 392, 266));
  // With the client switch, the Screen entry still gives the whole screen.
  ASSERT_TRUE(frm.CaptureTarget("Screen", 0, ""));
  EXPECT_EQ(frm.ImgCapture.Picture().Width(), 1280);

  // A window reaching past the right and bottom edges is captured up to them.
  frm.ChbClient.SetChecked(false);
  os::testing::MoveWindow(window, {1180, 1000, 1480, 1100});
  ASSERT_TRUE(frm.CaptureTarget("Target", window, ""));
  EXPECT_EQ(frm.ImgCapture.Picture().Width(), 100);
  EXPECT_EQ(frm.ImgCapture.Picture().Height(), 24);
}

// A window is captured as it shows: without the invisible borders the system leaves out of its frame
// bounds, and whole where the system reports none; the list's size text is the capture's size. The
// client area does not depend on them.
TEST_F(SnaporaTest, AWindowIsCapturedAsItsFrameShows) {
  PaintDisplay();
  const os::WindowHandle window = os::testing::AddWindow("Framed", {100, 50, 500, 350});
  TFrmSnapora& frm = OpenShown();
  struct Case {
    std::optional<os::testing::FrameBorders> borders;
    os::ScreenRect shown;
    const char* size;
  };
  for (const Case& c : {Case{std::nullopt, {100, 50, 500, 350}, "400 x 300 px"},
                        Case{os::testing::FrameBorders{7, 0, 7, 7}, {107, 50, 493, 343}, "386 x 293 px"}}) {
    SCOPED_TRACE(c.size);
    os::testing::SetFrameBorders(window, c.borders);
    frm.BtnRefresh.Click();
    EXPECT_EQ(frm.LisWindows.SubItem(EntryOf("Framed"), 1), c.size);
    frm.ChbClient.SetChecked(false);
    ASSERT_TRUE(frm.CaptureTarget("Framed", window, ""));
    ExpectSamePixels(frm.ImgCapture.Picture(),
                     DisplayPart(c.shown.left, c.shown.top, c.shown.Width(), c.shown.Height()));
    frm.ChbClient.SetChecked(true);
    ASSERT_TRUE(frm.CaptureTarget("Framed", window, ""));
    ExpectSamePixels(frm.ImgCapture.Picture(), DisplayPart(104, 80, 392, 266));
  }
}

// A second monitor left of and above the primary screen (negative coordinates): a window on it and one
// across both monitors come whole, "All screens" takes the union of the monitors, and "Screen" stays the
// primary screen.
TEST_F(SnaporaTest, EveryMonitorIsCapturedAndAllScreensTakesTheirUnion) {
  os::testing::AddMonitor({-1920, -200, 0, 880}, 144);
  PaintDisplay();
  const os::WindowHandle left = os::testing::AddWindow("Left", {-1800, -150, -1200, 300});
  const os::WindowHandle across = os::testing::AddWindow("Across", {-300, 100, 500, 400});
  TFrmSnapora& frm = OpenShown();
  frm.BtnRefresh.Click();
  // The entry, after Screen and Desktop, has the size of the union.
  ASSERT_EQ(EntryOf("All screens"), 2);
  EXPECT_EQ(frm.LisWindows.SubItem(2, 1), "3200 x 1224 px");
  EXPECT_EQ(frm.EntryTarget(2), 0);
  EXPECT_EQ(frm.LisWindows.SubItem(EntryOf("Left"), 1), "600 x 450 px");

  struct Case {
    const char* caption;
    os::WindowHandle window;
    os::ScreenRect expected;
  };
  for (const Case& c :
       {Case{"Left", left, {-1800, -150, -1200, 300}}, Case{"Across", across, {-300, 100, 500, 400}},
        Case{"All screens", 0, {-1920, -200, 1280, 1024}}, Case{"Screen", 0, {0, 0, 1280, 1024}}}) {
    SCOPED_TRACE(c.caption);
    ASSERT_TRUE(frm.CaptureTarget(c.caption, c.window, ""));
    ExpectSamePixels(frm.ImgCapture.Picture(),
                     DisplayPart(c.expected.left, c.expected.top, c.expected.Width(), c.expected.Height()));
  }

  // By the button, the entry stays selected across the rebuild after the capture, and the user rectangle
  // counts from the union's top-left corner.
  SelectEntry("All screens");
  frm.ChbDefineRect.SetChecked(true);
  frm.EdtLeft.SetText("10");
  frm.EdtTop.SetText("20");
  frm.EdtWidth.SetText("30");
  frm.EdtHeight.SetText("40");
  frm.BtnCapture.Click();
  ExpectSamePixels(frm.ImgCapture.Picture(), DisplayPart(-1910, -180, 30, 40));
  EXPECT_EQ(frm.LisWindows.ItemCaption(frm.LisWindows.FirstSelected()), "All screens");
}

TEST_F(SnaporaTest, TheUserRectangleCountsFromTheImageAndFallsBackOnBadFields) {
  PaintDisplay();
  const os::WindowHandle window = os::testing::AddWindow("Target", {100, 50, 500, 350});
  TFrmSnapora& frm = OpenShown();
  frm.ChbDefineRect.SetChecked(true);
  frm.EdtLeft.SetText("10");
  frm.EdtTop.SetText("20");
  frm.EdtWidth.SetText("30");
  frm.EdtHeight.SetText("40");
  ASSERT_TRUE(frm.CaptureTarget("Target", window, ""));
  ExpectSamePixels(frm.ImgCapture.Picture(), DisplayPart(110, 70, 30, 40));

  // Text, zero, negative and out-of-range widths give 300 (heights 200); a negative left or top starts
  // at 0.
  for (const char* width : {"abc", "0", "-5", "2147483648", ""}) {
    frm.EdtWidth.SetText(width);
    frm.EdtHeight.SetText(width);
    frm.EdtLeft.SetText("-7");
    frm.EdtTop.SetText("x");
    ASSERT_TRUE(frm.CaptureTarget("Screen", 0, "")) << width;
    ExpectSamePixels(frm.ImgCapture.Picture(), DisplayPart(0, 0, 300, 200));
  }
  // A rectangle no picture can be made of is refused with a clear error; the preview keeps the last
  // capture and the target gets its placement back.
  frm.EdtLeft.SetText("0");
  frm.EdtTop.SetText("0");
  frm.EdtWidth.SetText("2147483647");
  frm.EdtHeight.SetText("200");
  os::testing::ClearWindowCalls();
  Run([&] { frm.CaptureTarget("Target", window, ""); });
  ASSERT_EQ(ui::testing::ErrorBoxes().size(), 1u);
  EXPECT_EQ(ui::testing::ErrorBoxes()[0].text,
            "The rectangle to capture (2147483647 x 200 pixels) is too large: at most 32767 x 32767.");
  EXPECT_TRUE(Called("SetPlacement " + std::to_string(window)));
  EXPECT_EQ(frm.ImgCapture.Picture().Width(), 300);

  // The cropped image has exactly the rectangle's size even where it reaches beyond the grab.
  frm.EdtLeft.SetText("350");
  frm.EdtTop.SetText("250");
  frm.EdtWidth.SetText("100");
  frm.EdtHeight.SetText("100");
  ASSERT_TRUE(frm.CaptureTarget("Target", window, ""));
  EXPECT_EQ(frm.ImgCapture.Picture().Width(), 100);
  EXPECT_EQ(frm.ImgCapture.Picture().Height(), 100);
  EXPECT_EQ(frm.ImgCapture.Picture().Pixel(10, 10) & 0xFFFFFF,
            os::testing::DisplayPixels().Pixel(460, 310) & 0xFFFFFF);
  EXPECT_EQ(frm.ImgCapture.Picture().Pixel(99, 99) & 0xFFFFFF, 0u);
}

TEST_F(SnaporaTest, TheExtensionChoosesTheFormatAndOthersWriteNothing) {
  TFrmSnapora& frm = OpenShown();
  const auto file = [&](const char* name) { return (storage.Path() / name).string(); };
  ASSERT_TRUE(frm.CaptureTarget("Screen", 0, file("a.Jpg")));
  ASSERT_TRUE(frm.CaptureTarget("Screen", 0, file("b.BMP")));
  ASSERT_TRUE(frm.CaptureTarget("Screen", 0, file("c.jpeg")));
  ASSERT_TRUE(frm.CaptureTarget("Screen", 0, file("d")));
  ASSERT_TRUE(frm.CaptureTarget("Screen", 0, file("e.gif")));
  PaintDisplay();
  ASSERT_TRUE(frm.CaptureTarget("Screen", 0, file("f.Png")));
  EXPECT_TRUE(IsJpegFile(file("a.Jpg")));
  EXPECT_EQ(ReadBmpFile(file("b.BMP")).Width(), 1280);
  for (const char* name : {"c.jpeg", "d", "e.gif"}) EXPECT_FALSE(fs::exists(file(name))) << name;
  // A .png name: a lossless PNG of exactly the display's pixels.
  const png_reader::DecodedPng png = png_reader::ReadPngWithLibrary(file("f.Png"));
  ASSERT_TRUE(png.ok);
  ASSERT_EQ(png.width, 1280);
  ASSERT_EQ(png.height, 1024);
  ASSERT_EQ(png.colorType, PNG_COLOR_TYPE_RGB);
  const TBitmap& display = os::testing::DisplayPixels();
  for (int y = 0; y < 1024; y += 7)
    for (int x = 0; x < 1280; x += 5) {
      const std::uint8_t* p = &png.pixels[(static_cast<std::size_t>(y) * 1280 + x) * 3];
      ASSERT_EQ(RGB(p[0], p[1], p[2]), display.Pixel(x, y) & 0xFFFFFF) << x << "," << y;
    }
}

TEST_F(SnaporaTest, AFailedGrabOrWriteLeavesTheWindowUsable) {
  const os::WindowHandle window = os::testing::AddWindow("Doomed", {10, 10, 210, 210});
  TFrmSnapora& frm = OpenShown();
  // A capture fills the preview; the target then closes before the next capture: no image.
  frm.BtnCapture.Click();
  ASSERT_FALSE(frm.ImgCapture.Center());
  SelectEntry("Doomed");
  os::testing::CloseWindow(window);
  frm.BtnCapture.Click();
  EXPECT_TRUE(frm.ImgCapture.Center());
  EXPECT_EQ(frm.ImgCapture.Hint(), "No image available");
  EXPECT_EQ(frm.ImgThumbNail.Picture().Width(), 0);
  EXPECT_EQ(EntryOf("Doomed"), -1);  // the list was rebuilt
  EXPECT_TRUE(ui::testing::ErrorBoxes().empty());
  // A window beyond every monitor grabs nothing, and that capture too replaces what the clipboard held.
  const os::WindowHandle away = os::testing::AddWindow("Away", {-5000, -5000, -4800, -4800});
  os::PutClipboardText("before");
  frm.CaptureTarget("Away", away, "");
  EXPECT_FALSE(os::testing::ClipboardHasFormat(os::ClipboardFormat::Text));
  for (const auto format : {os::ClipboardFormat::Bitmap, os::ClipboardFormat::Dib, os::ClipboardFormat::Png})
    EXPECT_FALSE(os::testing::ClipboardHasFormat(format));
  EXPECT_TRUE(ui::testing::ErrorBoxes().empty());

  // A file in a folder that does not exist: the writer's error in the error box titled "Snapora",
  // the window still showing, the options as they were.
  SelectEntry("Screen");
  const std::string missing = (storage.Path() / "no-such-folder" / "shot.bmp").string();
  frm.ChbToFile.SetChecked(true);
  frm.EdtFile.SetText(missing);
  Run([&] { frm.BtnCapture.Click(); });
  ASSERT_EQ(ui::testing::ErrorBoxes().size(), 1u);
  EXPECT_EQ(ui::testing::ErrorBoxes()[0].caption, "Snapora");
  EXPECT_EQ(ui::testing::ErrorBoxes()[0].text, "The file " + missing + " cannot be created.");
  // In German, the German text.
  for (const char* name : {"Snapora_Languages.ini", "Snapora_English.lng", "Snapora_Deutsch.lng"})
    PlaceShipped(name);
  frm.SelectLanguage("Deutsch");
  Run([&] { frm.BtnCapture.Click(); });
  ASSERT_EQ(ui::testing::ErrorBoxes().size(), 2u);
  EXPECT_EQ(ui::testing::ErrorBoxes()[1].text, "Datei " + missing + " kann nicht erstellt werden.");
  EXPECT_TRUE(frm.Showing());
  EXPECT_EQ(frm.EdtFile.Text(), missing);
  EXPECT_TRUE(frm.ChbToFile.Checked());
  EXPECT_FALSE(fs::exists(storage.Path() / "no-such-folder"));
  // Nothing selected: the button does nothing at all.
  frm.LisWindows.SetSelected(frm.LisWindows.FirstSelected(), false);
  os::testing::ClearWindowCalls();
  frm.BtnCapture.Click();
  EXPECT_TRUE(os::testing::WindowCalls().empty());
  EXPECT_EQ(ui::testing::ErrorBoxes().size(), 2u);
}

TEST_F(SnaporaTest, TheFileNameQuestionCanNameCancelOrEmptyTheFile) {
  TFrmSnapora& frm = OpenShown();
  frm.ChbToFile.SetChecked(true);
  frm.ChbAskName.SetChecked(true);
  frm.EdtFile.SetText((storage.Path() / "proposed.bmp").string());
  const std::string chosen = (storage.Path() / "chosen.jpg").string();
  std::string proposed;
  bool askingSeen = false;
  ui::testing::OnModal([&](ui::Form& form) {
    auto& dialog = windows->FrmFileName;
    ASSERT_EQ(&form, &dialog);
    proposed = dialog.EdtFileName.Text();
    askingSeen = Frm().AskingName;
    dialog.EdtFileName.SetText(chosen);
    dialog.BtnOk.Click();
  });
  ASSERT_TRUE(frm.CaptureTarget("Screen", 0, frm.EdtFile.Text()));
  EXPECT_EQ(proposed, frm.EdtFile.Text());
  EXPECT_TRUE(askingSeen);
  EXPECT_FALSE(frm.AskingName);
  EXPECT_TRUE(IsJpegFile(chosen));
  EXPECT_FALSE(fs::exists(storage.Path() / "proposed.bmp"));
  EXPECT_EQ(frm.EdtFile.Text(), (storage.Path() / "proposed.bmp").string());

  // Cancelled, or accepted empty: no file, but the image stays in the preview and on the clipboard.
  fs::remove(chosen);
  for (int empty = 0; empty < 2; ++empty) {
    os::testing::ClearClipboard();
    ui::testing::OnModal([&](ui::Form&) {
      auto& dialog = windows->FrmFileName;
      // Enter presses the focused button (Cancel, with a name in the box), in the name box the default
      // button OK.
      dialog.EdtFileName.SetText(empty == 1 ? "" : chosen);
      if (empty == 1)
        dialog.EdtFileName.SetFocus();
      else
        dialog.BtnCancel.SetFocus();
      EXPECT_TRUE(dialog.BtnOk.IsDefault());
      EXPECT_TRUE(dialog.ExecuteShortCut({.key = ui::key::Return}));
    });
    ASSERT_TRUE(frm.CaptureTarget("Screen", 0, frm.EdtFile.Text()));
    EXPECT_FALSE(frm.AskingName);
    EXPECT_FALSE(frm.ImgCapture.Center());
    EXPECT_TRUE(os::testing::ClipboardBitmap().has_value());
    EXPECT_EQ(std::distance(fs::directory_iterator(storage.Path()), fs::directory_iterator()), 0) << empty;
  }
}

}  // namespace
