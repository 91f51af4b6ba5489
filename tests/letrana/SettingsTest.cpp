// The settings file: the first start's defaults, the placement, the rendering state, the interface
// font and the language, read at the first show and written at close, and values that are broken.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/text/SystemFont.h"
#include "tests/letrana/LetranaFixture.h"

namespace {

using namespace letrana_testing;

class SettingsTest : public LetranaTest {
 protected:
  // Starts the program with a settings file of these entries ("<Key>value</Key>" lines).
  TFrmLetrana& Start(const std::string& entries) {
    testing_support::WriteFileBytes(
        SettingsFile(),
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<InitFile>\r\n" + entries + "</InitFile>\r\n");
    return StartAsIs();
  }
  TFrmLetrana& StartAsIs() {
    TFrmLetrana& frm = Open();
    frm.Show();
    return frm;
  }
  std::string Written() {
    Frm().Close();
    return testing_support::ReadFileText(SettingsFile());
  }
  // The value written for a key.
  std::string WrittenValue(const std::string& key) {
    const std::string text = Written();
    const std::size_t start = text.find("<" + key + ">") + key.size() + 2;
    return text.substr(start, text.find("</" + key + ">") - start);
  }
};

TEST_F(SettingsTest, FirstStartCentresTheWindowAtItsDesignedSizeWithArialBlackOnSilver) {
  TFrmLetrana& frm = StartAsIs();
  EXPECT_EQ(frm.Bounds(), (ui::Rect{(1280 - 708) / 2, (1024 - 462) / 2, 708, 462}));
  EXPECT_EQ(frm.GetWindowState(), ui::WindowState::Normal);
  EXPECT_EQ(frm.LblFont.GetFont().name, "Arial");
  EXPECT_EQ(frm.LblFont.GetFont().size, 12);
  EXPECT_EQ(frm.LblFont.GetFont().color, clBlack);
  EXPECT_EQ(frm.LblFont.Color(), clSilver);
  EXPECT_EQ(frm.LblFontNameVal.Caption(), "Arial");
  EXPECT_EQ(frm.LblFontSizeVal.Caption(), "12");
  // The interface font: the icon-title face at the window's design height (12 pixels, 9 points).
  EXPECT_EQ(frm.Shell.DesignFontHeight(), -12);
  EXPECT_EQ(frm.GetFont().name, ui::IconTitleFont().name);
  EXPECT_EQ(frm.GetFont().size, 9);
  EXPECT_EQ(frm.LblFontNameVal.GetFont().name, ui::IconTitleFont().name);
  EXPECT_TRUE(frm.LblFontNameVal.GetFont().bold) << "the value labels stay bold";
  EXPECT_EQ(frm.LblFontSizeVal.GetFont(), frm.LblFontNameVal.GetFont());
  EXPECT_EQ(frm.LblFont.GetFont().name, "Arial") << "the sample keeps its own font";
  EXPECT_EQ(frm.BtnExport.GetFont().name, ui::IconTitleFont().name) << "controls follow the window";
  frm.FrmProgress->Show();
  EXPECT_EQ(frm.FrmProgress->GetFont().name, ui::IconTitleFont().name);
  EXPECT_EQ(frm.FrmProgress->LblMessage.GetFont().size, 9);
  EXPECT_EQ(WrittenValue("WindowPos"), "286;281;708;462");
}

TEST_F(SettingsTest, DefaultPlacementScalesTheWindowOnceAndStaysOnTheScreen) {
  ui::testing::SetScreenPixelsPerInch(144);
  TFrmLetrana& frm = Open();
  const ui::Rect created = frm.Bounds();
  ASSERT_GT(created.width, 708);
  frm.Show();
  EXPECT_EQ(frm.Width(), created.width) << "already scaled at creation";
  EXPECT_EQ(frm.Height(), created.height);
  EXPECT_EQ(frm.Left(), (1280 - created.width) / 2);
  windows.reset();
  ui::testing::SetScreenPixelsPerInch(96);
  ui::testing::SetScreenSize(600, 300);  // a screen smaller than the window: its top-left corner
  EXPECT_EQ(StartAsIs().Bounds(), (ui::Rect{0, 0, 708, 462}));
}

TEST_F(SettingsTest, PlacementIsReadAndWrittenMaximisedOrAsBounds) {
  TFrmLetrana& frm = Start("  <WindowPos>MAX</WindowPos>\r\n");
  EXPECT_EQ(frm.GetWindowState(), ui::WindowState::Maximized);
  EXPECT_EQ(frm.Bounds(), (ui::Rect{208, 129, 708, 462})) << "the restored bounds stay";
  EXPECT_EQ(WrittenValue("WindowPos"), "MAX");

  EXPECT_EQ(Start("  <WindowPos>10;20</WindowPos>\r\n").Bounds(), (ui::Rect{10, 20, 708, 462}));
  EXPECT_EQ(Start("  <WindowPos>-5;7;900;600</WindowPos>\r\n").Bounds(), (ui::Rect{-5, 7, 900, 600}));
  // A minimised window is written as it returns: its normal bounds, or maximised.
  Frm().NativeWindowStateChanged(ui::WindowState::Minimized);
  Frm().NativeBoundsChanged({-32000, -32000, 160, 28});
  EXPECT_EQ(WrittenValue("WindowPos"), "-5;7;900;600");
  Start("  <WindowPos>MAX</WindowPos>\r\n").NativeWindowStateChanged(ui::WindowState::Minimized);
  EXPECT_EQ(WrittenValue("WindowPos"), "MAX");
}

TEST_F(SettingsTest, AKnownStateIsWrittenByteForByteWithTheKeysInTheirOrder) {
  for (const char* name : {"Letrana_Languages.ini", "Letrana_English.lng", "Letrana_Deutsch.lng"})
    PlaceShipped(name);
  const std::string entries =
      "  <WindowPos>30;40;800;500</WindowPos>\r\n  <FontName>Liberation Serif</FontName>\r\n"
      "  <FontSize>20</FontSize>\r\n  <FontColor>255</FontColor>\r\n"
      "  <BackgroundColor>-2147483633</BackgroundColor>\r\n  <UseBuildInFont>1</UseBuildInFont>\r\n"
      "  <UseFontSettings>1</UseFontSettings>\r\n  <UseFontHeight>1</UseFontHeight>\r\n"
      "  <FontDefName>Liberation Mono</FontDefName>\r\n  <FontDefColor>0</FontDefColor>\r\n"
      "  <FontDefHeight>-16</FontDefHeight>\r\n  <FontDefSize>12</FontDefSize>\r\n"
      "  <FontDefPitch>2</FontDefPitch>\r\n  <FontDefCharset>0</FontDefCharset>\r\n"
      "  <LanguageName>Deutsch</LanguageName>\r\n";
  TFrmLetrana& frm = Start("  <Unknown>1</Unknown>\r\n" + entries);
  EXPECT_EQ(frm.LblFont.Color(), clBtnFace);
  EXPECT_EQ(frm.LblFont.GetFont().color, RGB(255, 0, 0));
  EXPECT_EQ(frm.LblFontSizeVal.Caption(), "20");
  EXPECT_EQ(frm.GetFont(),
            (ui::Font{.name = "Liberation Mono", .size = 12, .charset = 0, .pitch = ui::FontPitch::Fixed}));
  EXPECT_EQ(frm.MenFile.Caption(), "Datei");
  EXPECT_FALSE(frm.NoStoredLanguage);
  EXPECT_EQ(Written(),
            "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<InitFile>\r\n" + entries + "</InitFile>\r\n");
}

TEST_F(SettingsTest, TheFontKeysCountOnlyWithTheirSwitches) {
  const std::string keys =
      "  <FontDefName>Liberation Mono</FontDefName>\r\n  <FontDefHeight>-30</FontDefHeight>\r\n"
      "  <FontDefColor>255</FontDefColor>\r\n";
  TFrmLetrana& frm = Start("  <UseFontSettings>0</UseFontSettings>\r\n" + keys);
  EXPECT_EQ(frm.GetFont().name, ui::IconTitleFont().name);
  EXPECT_EQ(WrittenValue("FontDefName"), ui::IconTitleFont().name) << "written from the window's font";
  EXPECT_EQ(WrittenValue("UseFontSettings"), "0");

  EXPECT_EQ(Start(keys).GetFont().name, "Liberation Mono");
  EXPECT_EQ(Frm().GetFont().size, 9) << "the design height, without UseFontHeight";
  EXPECT_EQ(Frm().GetFont().color, clBlack) << "FontDefColor changes nothing";
  EXPECT_EQ(WrittenValue("FontDefHeight"), "-12");
  EXPECT_EQ(Start("  <UseFontHeight>1</UseFontHeight>\r\n" + keys).GetFont().size,
            ui::FontSizeForHeight(-30, 96));
  // With UseBuildInFont the window's own face is the start.
  EXPECT_EQ(Start("  <UseBuildInFont>1</UseBuildInFont>\r\n  <UseFontSettings>0</UseFontSettings>\r\n")
                .GetFont()
                .name,
            "MS Sans Serif");
}

TEST_F(SettingsTest, AStoredLanguageIsAppliedAndOnlyAStoredNameIsWrittenBack) {
  for (const char* name : {"Letrana_Languages.ini", "Letrana_English.lng", "Letrana_Deutsch.lng"})
    PlaceShipped(name);
  EXPECT_EQ(Start("  <LanguageName></LanguageName>\r\n").Shell.Language.Name, "English");
  EXPECT_EQ(WrittenValue("LanguageName"), "");
  // A name the list lacks leaves the default in force, and that is what is written.
  EXPECT_EQ(Start("  <LanguageName>Klingon</LanguageName>\r\n").Shell.Language.Name, "English");
  EXPECT_EQ(Frm().MenFile.Caption(), "File");
  EXPECT_EQ(WrittenValue("LanguageName"), "English");
}

TEST_F(SettingsTest, BrokenValuesFallBackAndNeverHideTheWindowOrStopTheGrid) {
  const ui::Rect centred{286, 281, 708, 462};
  struct Case {
    std::string entries;
    ui::Rect bounds;
    int fontSize;
  };
  for (const Case& c : std::vector<Case>{
           {"  <WindowPos>abc</WindowPos>\r\n", centred, 12},
           {"  <WindowPos>99999999999;-40000;100000;0</WindowPos>\r\n", centred, 12},
           {"  <WindowPos>;;;;;</WindowPos>\r\n  <FontSize>0</FontSize>\r\n", centred, 0},
           {"  <WindowPos>1;2;3;4</WindowPos>\r\n  <FontSize>-5</FontSize>\r\n", {1, 2, 690, 400}, -5},
           {"  <FontSize>2147483647</FontSize>\r\n  <FontColor>-2147483640</FontColor>\r\n", centred, 12},
           {"  <FontSize>x</FontSize>\r\n  <UseFontHeight>1</UseFontHeight>\r\n"
            "  <FontDefHeight>2147483647</FontDefHeight>\r\n  <FontDefPitch>7</FontDefPitch>\r\n"
            "  <FontDefCharset>300</FontDefCharset>\r\n  <FontDefName></FontDefName>\r\n",
            centred, 0},
       }) {
    SCOPED_TRACE(c.entries);
    TFrmLetrana& frm = Start(c.entries);
    EXPECT_EQ(frm.Bounds(), c.bounds);
    EXPECT_EQ(frm.LblFont.GetFont().size, c.fontSize);
    ui::testing::AdvanceTime(500);
    EXPECT_EQ(frm.LisCharacters.Count(), 256);
    frm.LisCharacters.SetSelected('A', true);
    EXPECT_TRUE(ui::testing::ErrorBoxes().empty());
    Written();
  }
  // Not a settings document at all: every default, and a complete file at close.
  testing_support::WriteFileBytes(SettingsFile(), std::string("\0<InitFile>", 11));
  EXPECT_EQ(StartAsIs().Bounds(), centred);
  EXPECT_NE(Written().find("<LanguageName></LanguageName>\r\n</InitFile>"), std::string::npos);
}

TEST_F(SettingsTest, TheCharacterChoiceAndTheAtlasOptionsAreKeptAfterTheOtherKeys) {
  testing_support::TempDir folder;
  const std::string file = folder.File("chars.txt");
  std::string text;
  for (char32_t c = 0x100; c < 0x100 + 300; ++c) text += CharacterUtf8(TGlyphCharacter::CodePoint(c));
  testing_support::WriteFileBytes(file, text);
  TFrmLetrana& frm = StartAsIs();
  ui::testing::AnswerOpen(frm.OpdTextFile, file);
  frm.MenTextFile.Click();
  frm.MenNextPage.Click();
  const TAtlasChoice atlas{.PageWidth = 1024,
                           .PageHeight = 256,
                           .PowerOfTwo = true,
                           .Padding = 2,
                           .Spacing = 0,
                           .Descriptor = TDescriptorForm::Binary,
                           .DistanceFieldSpread = 6,
                           .PictureForm = TImageFormat::PngWithAlpha};
  frm.AtlasChoice = atlas;
  const std::string written = Written();
  const std::string keys =
      "  <CharacterSet>TextFile</CharacterSet>\r\n  <CharacterFile>" + file +
      "</CharacterFile>\r\n  <CharacterPage>2</CharacterPage>\r\n"
      "  <AtlasPageSize>1024x256</AtlasPageSize>\r\n  <AtlasPowerOfTwo>1</AtlasPowerOfTwo>\r\n"
      "  <AtlasPadding>2</AtlasPadding>\r\n  <AtlasSpacing>0</AtlasSpacing>\r\n"
      "  <AtlasDescriptor>binary</AtlasDescriptor>\r\n"
      "  <AtlasDistanceField>6</AtlasDistanceField>\r\n"
      "  <AtlasPictures>png-alpha</AtlasPictures>\r\n";
  EXPECT_NE(written.find("</LanguageName>\r\n" + keys + "</InitFile>\r\n"), std::string::npos) << written;

  // Read back: the same page of the same file, the same options, opened in the same folder.
  StartAsIs();
  EXPECT_EQ(Frm().Caption(), "Letrana - chars.txt (page 2 of 2)");
  EXPECT_EQ(Frm().AtlasChoice, atlas);
  EXPECT_EQ(Frm().OpdTextFile.FileName(), file);
  ui::testing::AdvanceTime(500);
  ASSERT_EQ(Frm().LisCharacters.Count(), 44);
  EXPECT_EQ(Frm().CellCharacter(0).Code, 0x200u);
  EXPECT_TRUE(ui::testing::ErrorBoxes().empty());

  // Values the window cannot use give the defaults; a file that went gives the code page and its error.
  struct Case {
    std::string entries;
    std::string caption;
  };
  for (const Case& c : std::vector<Case>{
           {"  <CharacterSet>Klingon</CharacterSet>\r\n  <AtlasPageSize>9x9</AtlasPageSize>\r\n", "Letrana"},
           {"  <CharacterSet>TextFile</CharacterSet>\r\n  <AtlasDescriptor>json</AtlasDescriptor>\r\n",
            "Letrana"},
           {"  <CharacterSet>Cyrillic</CharacterSet>\r\n  <CharacterPage>99</CharacterPage>\r\n"
            "  <AtlasPadding>-1</AtlasPadding>\r\n  <AtlasPictures>tiff</AtlasPictures>\r\n",
            "Letrana - Cyrillic (page 1 of 1)"},
       }) {
    SCOPED_TRACE(c.entries);
    EXPECT_EQ(Start(c.entries).Caption(), c.caption);
    EXPECT_EQ(Frm().AtlasChoice, TAtlasChoice{});
  }
  std::filesystem::remove(file);
  Start(keys);
  EXPECT_EQ(Frm().Caption(), "Letrana");
  ui::testing::AdvanceTime(500);
  EXPECT_EQ(Frm().LisCharacters.Count(), 256);
  ASSERT_EQ(ui::testing::ErrorBoxes().size(), 1u);
  EXPECT_EQ(ui::testing::ErrorBoxes()[0].text, "The file " + file + " cannot be read.");
  EXPECT_EQ(Written().find("Character"), std::string::npos) << "the code page writes no keys of its own";
}

}  // namespace
