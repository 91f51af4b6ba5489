// The character grid: the deferred first build, the cells, empty glyphs, the preview, the selection
// commands and their events, the font and colour commands, and the build's progress and messages.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "tests/letrana/LetranaFixture.h"

namespace {

using namespace letrana_testing;
using GridTest = LetranaTest;

std::string CodeValue(int code) {
  char text[16];
  std::snprintf(text, sizeof text, "%d (%02x)", code, code);
  return text;
}

TEST_F(GridTest, GridIsEmptyUntilTheStartTimerBuildsItOnce) {
  TFrmLetrana& frm = Open();
  testing_support::TempDir temp;
  frm.MenSelectAll.Click();
  frm.MenInvertSelection.Click();
  ui::testing::AnswerSave(frm.SvdSave, temp.File("glyph.bmp"), 1);
  frm.MenExport.Click();
  EXPECT_EQ(ui::testing::DialogOpenings().at(0).dialog, &frm.SvdSave);
  EXPECT_TRUE(FileNames(temp.Path()).empty());
  EXPECT_EQ(frm.LisCharacters.Count(), 0);

  ui::testing::AdvanceTime(499);
  EXPECT_EQ(frm.LisCharacters.Count(), 0);
  ui::testing::AdvanceTime(1);
  ASSERT_EQ(frm.LisCharacters.Count(), 256);
  EXPECT_EQ(frm.LblFontNameVal.Caption(), "Arial");
  EXPECT_EQ(frm.LblFontSizeVal.Caption(), "9");
  for (int i = 0; i < 256; ++i) EXPECT_EQ(frm.LisCharacters.ItemImageIndex(i), i);
  ui::testing::AdvanceTime(10000);
  EXPECT_EQ(ui::testing::ListUpdateSuspensions(frm.LisCharacters), 1) << "the timer fires once";
}

TEST_F(GridTest, CellsHoldTheGlyphCellCentredInWhiteRoundingToTheLeft) {
  TFrmLetrana& frm = Open();
  PickBackground(kRed);  // the glyph's own cell is red (never white); the margins are white
  const ui::TextRenderer font = Measured();
  int widest = 0;
  for (int code = 0; code < 256; ++code) widest = std::max(widest, font.Measure(Byte(code)).width);
  ASSERT_EQ(frm.ImlCharacters.Width(), widest);
  ASSERT_EQ(frm.ImlCharacters.Height(), font.LineHeight());
  bool sawOdd = false;
  for (int code = 0; code < 256; ++code) {
    const int width = font.Measure(Byte(code)).width, left = (widest - width) / 2;
    sawOdd = sawOdd || (widest - width) % 2 == 1;
    for (int x = 0; x < widest; ++x) {
      EXPECT_EQ(ColumnIsWhite(frm.ImlCharacters.Picture(code), x), x < left || x >= left + width)
          << "code " << code << " column " << x;
    }
  }
  EXPECT_TRUE(sawOdd);
}

TEST_F(GridTest, CodesThatRenderEmptyGiveWhiteCellsKeepTheirItemsAndAreNotExported) {
  TFrmLetrana& frm = Open();
  PickBackground(kRed);
  PickFont({.name = "Liberation Serif", .size = 1});  // many characters without width at 1 point
  std::vector<int> empty, drawn;
  for (int code = 0; code < 256; ++code)
    (Measured().Measure(Byte(code)).width == 0 ? empty : drawn).push_back(code);
  ASSERT_FALSE(empty.empty());
  ASSERT_FALSE(drawn.empty());
  ASSERT_EQ(frm.LisCharacters.Count(), 256);
  for (int code : empty) EXPECT_TRUE(AllWhite(frm.ImlCharacters.Picture(code))) << code;
  for (int code : drawn) EXPECT_FALSE(AllWhite(frm.ImlCharacters.Picture(code))) << code;

  testing_support::TempDir temp;
  frm.LisCharacters.SetSelected(empty[0], true);
  frm.LisCharacters.SetSelected(drawn[0], true);
  ui::testing::AnswerSave(frm.SvdSave, temp.File("tiny"), 1);
  frm.MenExport.Click();
  ASSERT_EQ(FileNames(temp.Path()).size(), 1u);
  char expected[16];
  std::snprintf(expected, sizeof expected, "tiny%03d.bmp", drawn[0]);
  EXPECT_EQ(FileNames(temp.Path())[0], expected);
}

TEST_F(GridTest, PreviewIsAt30PointsWithAContrastStripBelowAndShowsTheCode) {
  TFrmLetrana& frm = Open();
  PickFont({.name = "Arial", .size = 8});  // the preview's size does not follow the chosen one
  const ui::TextRenderer at30({.name = "Arial", .size = 30}, 96);
  const int line = at30.LineHeight(), width = at30.Measure(" ").width, left = (60 - width) / 2;
  ASSERT_LT(line, 60);
  for (const auto& [background, strip] :
       {std::pair{clWhite, clBlack}, std::pair{TColor{0xFEFFFF}, clWhite}}) {
    PickBackground(background);
    frm.LisCharacters.SetSelected(' ', true);
    const TBitmap& shown = frm.ImgPreview.Picture();
    ASSERT_EQ(shown.Width(), 60);
    ASSERT_EQ(shown.Height(), 60);
    for (int x = 0; x < 60; ++x) {
      for (int y = 0; y < 60; ++y) {
        const TColor expected = x < left || x >= left + width ? clWhite : y < line ? background : strip;
        ASSERT_EQ(shown.Pixel(x, y), expected)
            << std::hex << background << " at " << std::dec << x << "," << y;
      }
    }
  }
  frm.LisCharacters.SetSelected(' ', false);
  for (int code : {0, 10, 255}) {
    frm.LisCharacters.SetSelected(code, true);
    EXPECT_EQ(frm.LblCharValue.Caption(), CodeValue(code));
    EXPECT_EQ(CodeValue(code), code == 0 ? "0 (00)" : code == 10 ? "10 (0a)" : "255 (ff)");
    frm.LisCharacters.SetSelected(code, false);
    frm.LisCharacters.NativeClick();  // nothing selected: the preview keeps what it showed
    EXPECT_EQ(frm.LblCharValue.Caption(), CodeValue(code));
  }
}

TEST_F(GridTest, SelectionCommandsRefreshThePreviewOncePerChangedItem) {
  TFrmLetrana& frm = Open();
  ui::testing::AdvanceTime(500);
  frm.LisCharacters.SetSelected(200, true);
  std::vector<std::string> shown;  // the code label right after each selection event
  auto handler = frm.LisCharacters.OnSelectItem;
  frm.LisCharacters.OnSelectItem = [&](int index, bool selected) {
    handler(index, selected);
    shown.push_back(frm.LblCharValue.Caption());
  };
  frm.MenSelectAll.Click();
  ASSERT_EQ(shown.size(), 255u) << "the cell already selected raises no event";
  EXPECT_EQ(shown[0], "0 (00)");
  shown.clear();
  frm.MenInvertSelection.Click();
  EXPECT_EQ(frm.LisCharacters.SelCount(), 0);
  ASSERT_EQ(shown.size(), 256u);
  for (int i = 0; i < 255; ++i)
    EXPECT_EQ(shown[i], CodeValue(i + 1)) << "each deselection moves the preview on";
  EXPECT_EQ(shown[255], "255 (ff)");
}

TEST_F(GridTest, ColourCommandsShareOneDialogAndAlwaysRebuild) {
  TFrmLetrana& frm = Open();
  int builds = 0;
  auto rebuilt = [&] {
    const int before = std::exchange(builds, ui::testing::ListUpdateSuspensions(frm.LisCharacters));
    return builds != before;
  };
  ui::testing::AnswerColor(frm.CldColor, kRed);
  frm.BtnSelectFontColor.Click();
  EXPECT_TRUE(rebuilt());
  EXPECT_EQ(frm.LblFont.GetFont().color, kRed);
  const TBitmap& w = frm.ImlCharacters.Picture('W');
  int inked = 0;
  for (int y = 0; y < w.Height(); ++y) {
    for (int x = 0; x < w.Width(); ++x) inked += w.Pixel(x, y) == kRed;
  }
  EXPECT_GT(inked, 0) << "the cells are drawn in the font colour";
  PickBackground(kGreen);
  EXPECT_TRUE(rebuilt());
  EXPECT_EQ(frm.LblFont.Color(), kGreen);
  PickBackground(kGreen);
  EXPECT_TRUE(rebuilt()) << "the same colour again still rebuilds";
  frm.LisCharacters.SetSelected(5, true);
  ui::testing::CancelNext(frm.CldColor);
  frm.MenSelectFontColor.Click();
  EXPECT_FALSE(rebuilt());
  EXPECT_EQ(frm.LisCharacters.SelCount(), 1);
  std::vector<TColor> openedOn;
  for (const auto& opening : ui::testing::DialogOpenings()) openedOn.push_back(opening.color);
  EXPECT_EQ(openedOn, (std::vector<TColor>{clBlack, kRed, kGreen, kGreen}));

  PickFont({.name = "Liberation Serif", .size = 8, .color = kRed});
  EXPECT_TRUE(rebuilt());
  EXPECT_EQ(ui::testing::DialogOpenings().back().font, (ui::Font{.name = "Arial", .size = 9, .color = kRed}));
  EXPECT_EQ(frm.LblFontNameVal.Caption(), "Liberation Serif");
  EXPECT_EQ(frm.LblFontSizeVal.Caption(), "8");
}

TEST_F(GridTest, CancelledFontDialogChangesNothingAndBuildsNothing) {
  TFrmLetrana& frm = Open();
  // Before the first build: the value labels keep their form texts and the grid stays empty.
  const std::string nameShown = frm.LblFontNameVal.Caption(), sizeShown = frm.LblFontSizeVal.Caption();
  ASSERT_NE(nameShown, frm.LblFont.GetFont().name);
  ui::testing::CancelNext(frm.FodFont);
  frm.BtnSelectFont.Click();
  EXPECT_EQ(frm.LblFontNameVal.Caption(), nameShown);
  EXPECT_EQ(frm.LblFontSizeVal.Caption(), sizeShown);
  EXPECT_EQ(frm.LisCharacters.Count(), 0);
  EXPECT_EQ(ui::testing::ListUpdateSuspensions(frm.LisCharacters), 0);

  // After a build: the rendering state, the labels, the cells and the selection stay as they were.
  ui::testing::AdvanceTime(500);
  const ui::Font chosen{.name = "Liberation Serif", .size = 8, .italic = true, .color = kRed};
  PickFont(chosen);
  PickBackground(kGreen);
  frm.LisCharacters.SetSelected('W', true);
  const int builds = ui::testing::ListUpdateSuspensions(frm.LisCharacters);
  ui::testing::CancelNext(frm.FodFont);
  frm.MenSelectFont.Click();
  EXPECT_EQ(ui::testing::DialogOpenings().back().dialog, &frm.FodFont);
  EXPECT_EQ(ui::testing::DialogOpenings().back().font, chosen) << "the dialog opens on the rendering font";
  EXPECT_EQ(frm.LblFont.GetFont(), chosen);
  EXPECT_EQ(frm.LblFont.Color(), kGreen);
  EXPECT_EQ(frm.LblFontNameVal.Caption(), "Liberation Serif");
  EXPECT_EQ(frm.LblFontSizeVal.Caption(), "8");
  EXPECT_EQ(ui::testing::ListUpdateSuspensions(frm.LisCharacters), builds);
  EXPECT_EQ(frm.LisCharacters.Count(), 256);
  EXPECT_EQ(frm.LisCharacters.SelCount(), 1);
  EXPECT_TRUE(frm.LisCharacters.Selected('W'));
}

TEST_F(GridTest, BuildShowsProgressProcessesMessagesPerCellAndSurvivesRebuildsAndErrors) {
  TFrmLetrana& frm = Open();
  frm.m_aMGeneratingPreview = "Generating preview...";
  std::vector<int> cells;
  ui::testing::OnProcessMessages([&] {
    cells.push_back(frm.LisCharacters.Count());
    EXPECT_TRUE(Progress().Showing());
    EXPECT_EQ(Progress().LblMessage.Caption(), "Generating preview...");
    EXPECT_TRUE(frm.LisCharacters.Updating());
    if (cells.size() == 100) frm.MenGenerateImages.Click();  // a rebuild chosen meanwhile
  });
  ui::testing::AdvanceTime(500);
  ASSERT_EQ(cells.size(), 100u + 256u);
  for (int i = 0; i < 100; ++i) EXPECT_EQ(cells[i], i + 1);
  EXPECT_EQ(cells.back(), 256);
  ASSERT_EQ(frm.LisCharacters.Count(), 256);
  for (int i = 0; i < 256; ++i) ASSERT_EQ(frm.LisCharacters.ItemImageIndex(i), i);
  EXPECT_FALSE(Progress().Showing());
  EXPECT_FALSE(frm.LisCharacters.Updating());

  ui::testing::OnProcessMessages(nullptr);
  EXPECT_THROW(PickFont({.name = "Arial", .size = 100000}), std::invalid_argument);
  EXPECT_FALSE(Progress().Showing());
  EXPECT_FALSE(frm.LisCharacters.Updating());
}

}  // namespace
