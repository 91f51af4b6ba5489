// Copying the first selected cell: its character as text and its glyph as a picture, from every
// trigger, and what happens when nothing is selected, the glyph is empty or the clipboard is held.

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "glyphs/GlyphExport.h"
#include "platform/ui/Clipboard.h"
#include "tests/imaging/PngReader.h"
#include "tests/letrana/LetranaFixture.h"

namespace {

using namespace letrana_testing;

class CopyTest : public LetranaTest {
 protected:
  CopyTest() {
    Open();
    ui::testing::AdvanceTime(500);
  }
  void Select(std::initializer_list<int> codes) {
    for (int i = 0; i < 256; ++i) Frm().LisCharacters.SetSelected(i, false);
    for (int code : codes) Frm().LisCharacters.SetSelected(code, true);
  }
  // Runs a command as the message loop does: an escaping error goes to the error box.
  void Run(const std::function<void()>& command) {
    try {
      command();
    } catch (const std::exception& error) {
      app->HandleException(error);
    }
  }
  static std::optional<std::string> Text() { return os::testing::ClipboardTextBlock(); }
};

TEST_F(CopyTest, CopyCharacterPutsTheFirstSelectedCodeAsOneByteFromEveryTrigger) {
  TFrmLetrana& frm = Frm();
  os::PutClipboardText("kept");
  frm.MenCopyCharacter.Click();
  EXPECT_EQ(Text(), std::string("kept\0", 5)) << "nothing selected: the clipboard keeps its text";

  Select({200, 66, 65});
  frm.MenCopyCharacter.Click();
  EXPECT_EQ(Text(), std::string("A\0", 2));
  Select({200});
  frm.PopCopyCharacter.Click();
  EXPECT_EQ(Text(), std::string("\xC8\0", 2));
  Select({0, 1});
  EXPECT_TRUE(frm.ExecuteShortCut({.key = 'C', .ctrl = true, .shift = true}));
  EXPECT_EQ(Text(), std::string(1, '\0')) << "code 0 leaves an empty text";
  EXPECT_FALSE(os::testing::ClipboardHasFormat(os::ClipboardFormat::Bitmap));
  // A rebuild clears the selection: nothing more is copied.
  frm.MenGenerateImages.Click();
  os::testing::ClearClipboard();
  frm.MenCopyCharacter.Click();
  frm.MenCopyImage.Click();
  EXPECT_FALSE(os::testing::ClipboardHasFormat(os::ClipboardFormat::Text));
  EXPECT_FALSE(os::testing::ClipboardHasFormat(os::ClipboardFormat::Bitmap));
}

TEST_F(CopyTest, CopyImagePutsTheGlyphAsExportWritesItFromEveryTrigger) {
  TFrmLetrana& frm = Frm();
  PickBackground(kGreen);
  const ui::TextRenderer font = Measured();
  std::vector<std::function<void()>> triggers = {
      [&] { frm.MenCopyImage.Click(); }, [&] { frm.PopCopyImage.Click(); }, [&] { frm.BtnCopyImage.Click(); },
      [&] { frm.ExecuteShortCut({.key = 'C', .ctrl = true}); }, [&] { frm.LisCharacters.NativeDblClick(); }};
  for (std::size_t i = 0; i < triggers.size(); ++i) {
    SCOPED_TRACE(i);
    os::testing::ClearClipboard();
    Select({i % 2 == 0 ? 'W' : 'i', 'z'});
    triggers[i]();
    const auto picture = os::testing::ClipboardBitmap();
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->Width(), font.Measure(i % 2 == 0 ? "W" : "i").width);
    EXPECT_EQ(picture->Height(), font.LineHeight());
    TBitmap rendered;
    frm.RenderCharacter(frm.LblFont.GetFont(), kGreen, font.LineHeight(), rendered, i % 2 == 0 ? 'W' : 'i');
    for (int y = 0; y < rendered.Height(); ++y)
      for (int x = 0; x < rendered.Width(); ++x) ASSERT_EQ(picture->Pixel(x, y), rendered.Pixel(x, y));
    EXPECT_FALSE(os::testing::ClipboardHasFormat(os::ClipboardFormat::Text));
  }
  EXPECT_LT(font.Measure("i").width, font.Measure("W").width);

  // A code that renders empty leaves the clipboard as it was.
  PickFont({.name = "Liberation Serif", .size = 1});
  int empty = 0;
  while (empty < 256 && Measured().Measure(Byte(empty)).width != 0) ++empty;
  ASSERT_LT(empty, 256) << "Liberation Serif at 1 point has no code of zero width";
  os::PutClipboardText("kept");
  Select({empty});
  frm.MenCopyImage.Click();
  EXPECT_EQ(Text(), std::string("kept\0", 5));
}

TEST_F(CopyTest, CopyImageAddsThePngWithAlphaExportWritesOnlyWhenThatIsTheExportForm) {
  TFrmLetrana& frm = Frm();
  PickBackground(kGreen);
  const testing_support::TempDir temp;
  Select({'W'});
  const int forms = static_cast<int>(GlyphFormats().size());
  for (int index = 1; index <= forms; ++index) {
    SCOPED_TRACE(index);
    frm.SvdSave.SetFilterIndex(index);
    os::testing::ClearClipboard();
    frm.MenCopyImage.Click();
    EXPECT_TRUE(os::testing::ClipboardBitmap());
    const auto png = os::testing::ClipboardBlock(os::ClipboardFormat::Png);
    if (ExportFormOfFilterIndex(index) != TExportForm::PngWithAlpha) {
      EXPECT_FALSE(png);
      continue;
    }
    // The bytes of the file export writes; a glyph with transparent and opaque pixels both.
    frm.ExportCells((temp.Path() / "g.png").string(), index);
    ASSERT_TRUE(png);
    EXPECT_EQ(*png, testing_support::ReadFileBytes(temp.Path() / "g087.png"));
    const png_reader::DecodedPng decoded = png_reader::DecodePngBytes(*png);
    ASSERT_TRUE(decoded.ok);
    EXPECT_EQ(decoded.colorType, PNG_COLOR_TYPE_RGB_ALPHA);
    bool clear = false, opaque = false;
    for (std::size_t at = 3; at < decoded.pixels.size(); at += 4) {
      clear |= decoded.pixels[at] == 0;
      opaque |= decoded.pixels[at] == 255;
    }
    EXPECT_TRUE(clear && opaque);
  }
}

TEST_F(CopyTest, AHeldClipboardShowsTheErrorAndStaysUnchanged) {
  TFrmLetrana& frm = Frm();
  os::PutClipboardText("kept");
  Select({'A'});
  {
    const os::testing::ClipboardHolder holder;
    ASSERT_TRUE(holder.Holding());
    Run([&] { frm.MenCopyCharacter.Click(); });
    Run([&] { frm.MenCopyImage.Click(); });
  }
  ASSERT_EQ(ui::testing::ErrorBoxes().size(), 2u);
  for (const auto& box : ui::testing::ErrorBoxes()) {
    EXPECT_EQ(box.caption, "Letrana");
    EXPECT_EQ(box.text, "The clipboard cannot be opened.");
  }
  EXPECT_EQ(Text(), std::string("kept\0", 5));
  frm.MenCopyCharacter.Click();
  EXPECT_EQ(Text(), std::string("A\0", 2)) << "usable again once the other program lets go";
}

}  // namespace
