// The Characters menu: the code page, a Unicode block or a text file's characters in the grid a page at
// a time, their cells (empty for what the font lacks), selection, copy, preview and export of Unicode
// characters, text files that give no characters, and the menu in German.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/letrana/LetranaFixture.h"

namespace {

using namespace letrana_testing;
namespace fs = std::filesystem;

class CharactersTest : public LetranaTest {
 protected:
  CharactersTest() {
    Open();
    ui::testing::AdvanceTime(500);
  }
  // Chooses the text file through the open dialog.
  void ChooseFile(const std::string& path) {
    ui::testing::AnswerOpen(Frm().OpdTextFile, path);
    AsTheMessageLoop([&] { Frm().MenTextFile.Click(); });
  }
  std::vector<std::uint32_t> Cells() {
    std::vector<std::uint32_t> codes;
    for (int i = 0; i < Frm().LisCharacters.Count(); ++i) codes.push_back(Frm().CellCharacter(i).Code);
    return codes;
  }
  testing_support::TempDir temp;
};

// UTF-8 of the code points from..to, each followed by a line end.
std::string Utf8Lines(char32_t from, char32_t to) {
  std::string text;
  for (char32_t c = from; c <= to; ++c) text += CharacterUtf8(TGlyphCharacter::CodePoint(c)) + "\r\n";
  return text;
}

TEST_F(CharactersTest, TheMenuChoosesTheSetAndTheKeysStepThroughItsPages) {
  TFrmLetrana& frm = Frm();
  // 300 characters, every one twice: two pages.
  testing_support::WriteFileBytes(temp.Path() / "chars.txt",
                                  Utf8Lines(0x100, 0x22B) + Utf8Lines(0x100, 0x22B));
  struct Case {
    std::function<void()> choose;
    const ui::MenuItem* checked;
    std::string caption;  // of the first page
    int pages;
    std::uint32_t first;                        // the first page's first character
    int lastPageCells;                          // how many the last page holds
    std::string secondCaption = std::string();  // of the second page, when there is one
  };
  for (const Case& c : std::vector<Case>{
           {[&] { BlockItem("Cyrillic").Click(); }, &BlockItem("Cyrillic"),
            "Letrana - Cyrillic (page 1 of 1)", 1, 0x400, 256},
           {[&] { BlockItem("Basic Latin").Click(); }, &BlockItem("Basic Latin"),
            "Letrana - Basic Latin (page 1 of 1)", 1, 0, 128},
           {[&] { BlockItem("CJK Unified Ideographs").Click(); }, &BlockItem("CJK Unified Ideographs"),
            "Letrana - CJK Unified Ideographs (page 1 of 82)", 82, 0x4E00, 0x5200 % 256,
            "Letrana - CJK Unified Ideographs (page 2 of 82)"},
           {[&] { ChooseFile(temp.File("chars.txt")); }, &frm.MenTextFile,
            "Letrana - chars.txt (page 1 of 2)", 2, 0x100, 44, "Letrana - chars.txt (page 2 of 2)"},
           {[&] { frm.MenCodePage.Click(); }, &frm.MenCodePage, "Letrana", 1, 0, 256},
       }) {
    SCOPED_TRACE(c.caption);
    c.choose();
    EXPECT_EQ(frm.Caption(), c.caption);
    EXPECT_TRUE(c.checked->Checked());
    EXPECT_EQ(
        frm.MenCodePage.Checked() + frm.MenTextFile.Checked() +
            std::count_if(frm.MenBlocks.begin(), frm.MenBlocks.end(), [](auto& b) { return b->Checked(); }),
        1);
    ASSERT_EQ(frm.LisCharacters.Count(), c.pages == 1 ? c.lastPageCells : 256);
    EXPECT_EQ(frm.CellCharacter(0).Code, c.first);
    EXPECT_EQ(frm.CellCharacter(0).Unicode, c.checked != &frm.MenCodePage);
    EXPECT_EQ(frm.CellCharacter(frm.LisCharacters.Count() - 1).Code, c.first + frm.LisCharacters.Count() - 1);
    EXPECT_FALSE(frm.MenPreviousPage.Enabled());
    EXPECT_EQ(frm.MenNextPage.Enabled(), c.pages > 1);
    const int builds = ui::testing::ListUpdateSuspensions(frm.LisCharacters);
    EXPECT_TRUE(frm.ExecuteShortCut({.key = ui::key::PageUp, .ctrl = true}));
    EXPECT_EQ(ui::testing::ListUpdateSuspensions(frm.LisCharacters), builds) << "no page before the first";
    if (c.pages == 1) continue;
    EXPECT_TRUE(frm.ExecuteShortCut({.key = ui::key::PageDown, .ctrl = true}));
    EXPECT_EQ(frm.Caption(), c.secondCaption);
    EXPECT_EQ(frm.CellCharacter(0).Code, c.first + 256);
    EXPECT_TRUE(frm.MenPreviousPage.Enabled());
    EXPECT_EQ(frm.MenNextPage.Enabled(), c.pages > 2);
    if (c.pages == 2) {
      EXPECT_EQ(frm.LisCharacters.Count(), c.lastPageCells);
      frm.MenNextPage.Click();
      EXPECT_EQ(frm.Caption(), c.secondCaption) << "no page after the last";
    }
    frm.MenPreviousPage.Click();
    EXPECT_EQ(frm.Caption(), c.caption);
    EXPECT_EQ(frm.CellCharacter(0).Code, c.first);
  }
  EXPECT_TRUE(ui::testing::ErrorBoxes().empty());

  // In German: the block's name, the page and the keys' words.
  for (const char* name : {"Letrana_Languages.ini", "Letrana_English.lng", "Letrana_Deutsch.lng"})
    PlaceShipped(name);
  frm.SelectLanguage("Deutsch");
  BlockItem("Cyrillic").Click();
  EXPECT_EQ(frm.Caption(), "Letrana - Kyrillisch (Seite 1 von 1)");
  EXPECT_EQ(frm.MenNextPage.Caption(),
            "N\xE4"
            "chste Seite\tStrg+Bild ab");
  EXPECT_EQ(frm.MenCharacters.Caption(), "Zeichen");
}

TEST_F(CharactersTest, UnicodeCellsAreSelectedCopiedPreviewedAndExportedAsTheCodePagesAre) {
  TFrmLetrana& frm = Frm();
  PickBackground(kRed);
  BlockItem("Cyrillic").Click();
  const ui::TextRenderer font = Measured();
  // A character the font lacks has an empty (white) cell, one it has its glyph's red cell.
  int lacking = -1;
  for (int i = 0; i < 256; ++i) {
    const char32_t c = 0x400 + i;
    if (!font.HasCharacter(c)) lacking = i;
    EXPECT_EQ(AllWhite(frm.ImlCharacters.Picture(i)),
              !font.HasCharacter(c) || font.CharacterMetrics(c).advance == 0)
        << std::hex << static_cast<unsigned>(c);
  }
  ASSERT_GE(lacking, 0) << "the test font lacks no Cyrillic character";

  // Zhe: the preview's code, the copies, the export's name; the lacking character writes nothing.
  PickBackground(kGreen);
  frm.LisCharacters.SetSelected(0x16, true);
  EXPECT_EQ(frm.LblCharValue.Caption(), "1046 (416)");
  frm.MenCopyCharacter.Click();
  EXPECT_EQ(os::testing::ClipboardUnicodeTextBlock(), std::u16string(u"\u0416") + u'\0');
  frm.MenCopyImage.Click();
  TBitmap expected;
  ASSERT_TRUE(RenderGlyph(font, kGreen, font.LineHeight(), expected, TGlyphCharacter::CodePoint(0x416)));
  const auto copied = os::testing::ClipboardBitmap();
  ASSERT_TRUE(copied);
  ASSERT_EQ(copied->Width(), expected.Width());
  for (int y = 0; y < expected.Height(); ++y)
    for (int x = 0; x < expected.Width(); ++x) ASSERT_EQ(copied->Pixel(x, y), expected.Pixel(x, y));
  frm.LisCharacters.SetSelected(lacking, true);
  ui::testing::AnswerSave(frm.SvdSave, temp.File("cyr.bmp"), 1);
  frm.MenExport.Click();
  EXPECT_EQ(FileNames(temp.Path()), std::vector<std::string>{"cyr1046.bmp"});

  // The names: the code point with at least three digits, so those to 255 are named as the code page's.
  struct Case {
    const char* block;
    int cell;
    std::string name;
  };
  for (const Case& c : std::vector<Case>{{"Basic Latin", 'A', "n065.png"},
                                         {"Latin-1 Supplement", 0xE9 - 0x80, "n233.png"},
                                         {"Greek and Coptic", 0x3A9 - 0x370, "n937.png"},
                                         {"Cyrillic", 0x44F - 0x400, "n1103.png"}}) {
    testing_support::TempDir folder;
    BlockItem(c.block).Click();
    frm.LisCharacters.SetSelected(c.cell, true);
    ui::testing::AnswerSave(frm.SvdSave, folder.File("n"), 5);
    frm.MenExport.Click();
    EXPECT_EQ(FileNames(folder.Path()), std::vector<std::string>{c.name}) << c.block;
  }
}

TEST_F(CharactersTest, ATextFileGivesEachCharacterOnceInItsOrderAndABadOneAClearError) {
  TFrmLetrana& frm = Frm();
  const std::string good = temp.File("good.txt");
  testing_support::WriteFileBytes(good,
                                  "\xEF\xBB\xBF"
                                  "bab\r\n\xD0\x96"
                                  "a\n\xF0\x9F\x98\x80");
  ChooseFile(good);
  EXPECT_EQ(Cells(), (std::vector<std::uint32_t>{'b', 'a', 0x416, 0x1F600}));
  frm.LisCharacters.SetSelected(3, true);
  frm.MenCopyCharacter.Click();
  EXPECT_EQ(os::testing::ClipboardUnicodeTextBlock(), std::u16string(u"\xD83D\xDE00") + u'\0');

  struct Case {
    std::string file, bytes, error;
  };
  for (const Case& c : std::vector<Case>{
           {"latin1.txt", "caf\xE9", "The file " + temp.File("latin1.txt") + " is not a text in UTF-8."},
           {"empty.txt", "\r\n\n", "The file " + temp.File("empty.txt") + " holds no characters."},
           {"missing.txt", "", "The file " + temp.File("missing.txt") + " cannot be read."},
       }) {
    if (c.file != "missing.txt") testing_support::WriteFileBytes(temp.Path() / c.file, c.bytes);
    ChooseFile(temp.File(c.file));
    ASSERT_FALSE(ui::testing::ErrorBoxes().empty());
    EXPECT_EQ(ui::testing::ErrorBoxes().back().text, c.error);
    EXPECT_EQ(frm.Caption(), "Letrana - good.txt (page 1 of 1)") << "the choice stays";
    EXPECT_EQ(Cells().size(), 4u);
  }
  EXPECT_EQ(ui::testing::ErrorBoxes().size(), 3u);
}

}  // namespace
