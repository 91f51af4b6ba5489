// The "?" menu: the help file and its fallbacks, the documents, the update page, and the about box
// with its credits, pictures and fonts.

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "tests/letrana/LetranaFixture.h"

namespace {

using namespace letrana_testing;
using os::testing::ShellCall;
using os::testing::ShellCalls;
using HelpTest = LetranaTest;

TEST_F(HelpTest, TheLanguagePartOfTheHelpFileComesFromTheLanguageFilesName) {
  for (const auto& [file, part] :
       std::vector<std::pair<std::string, std::string>>{{"", ""},
                                                        {"/p/Letrana_Deutsch.lng", "Deutsch"},
                                                        {"/p/Letrana_x_Greek.txt.lng", "Greek"},
                                                        {"/p/Letrana.x_Deutsch.lng", ""},
                                                        {"/p/Letrana_Deutsch", ""},
                                                        {"/p_q/Letrana.lng", ""},
                                                        {"/p/_.lng", ""}}) {
    EXPECT_EQ(HelpLanguagePart(file), part) << file;
  }
}

TEST_F(HelpTest, HelpOpensTheLanguagesFileElseTheEnglishOne) {
  TFrmLetrana& frm = Open();
  frm.Show();
  const std::string dir = frm.Shell.ProgramDirectory();
  const auto help = [&](const std::string& languageFile) {
    frm.Shell.Language.FilePath = languageFile;
    os::testing::ClearShellCalls();
    frm.MenUsage.Click();
    EXPECT_EQ(ShellCalls().size(), 1u);
    return ShellCalls().empty() ? ShellCall{} : ShellCalls()[0];
  };
  EXPECT_EQ(help(""), (ShellCall{&frm, "open", dir + "Letrana_English.chm", std::nullopt}));
  EXPECT_EQ(help(dir + "Letrana_Deutsch.lng").target, dir + "Letrana_English.chm");
  Place("Letrana_Deutsch.chm", "d");
  Place("Letrana_.chm", "empty part");
  EXPECT_EQ(help(dir + "Letrana_Deutsch.lng").target, dir + "Letrana_Deutsch.chm");
  EXPECT_EQ(help(dir + "Letrana.x_y.lng").target, dir + "Letrana_.chm") << "the empty part is tried first";
  Unplace("Letrana_.chm");
  EXPECT_EQ(help(dir + "Letrana.x_y.lng").target, dir + "Letrana_English.chm");
  os::testing::ClearShellCalls();
  EXPECT_TRUE(frm.ExecuteShortCut({.key = ui::key::F1}));
  EXPECT_EQ(ShellCalls().at(0).target, dir + "Letrana_English.chm");

  // Where there is no compiled help (Linux), a language's HTML pages; the compiled file comes first.
  Unplace("Letrana_Deutsch.chm");
  for (const char* language : {"Deutsch", "English"}) {
    std::filesystem::create_directories(std::filesystem::path(dir) / "help" / language);
    Place(std::string("help/") + language + "/index.html", "<h1>");
  }
  const std::string german = dir + "help/Deutsch/index.html", english = dir + "help/English/index.html";
  for (const auto& [placed, unplaced, languageFile, target] :
       std::vector<std::tuple<std::string, std::string, std::string, std::string>>{
           {"", "", dir + "Letrana_Deutsch.lng", german},
           {"Letrana_Deutsch.chm", "", dir + "Letrana_Deutsch.lng", dir + "Letrana_Deutsch.chm"},
           {"Letrana_English.chm", "Letrana_Deutsch.chm", dir + "Letrana_Greek.lng",
            dir + "Letrana_English.chm"},
           {"", "Letrana_English.chm", dir + "Letrana_Greek.lng", english},
           {"", "", "", english},
           {"", "help/Deutsch/index.html", dir + "Letrana_Deutsch.lng", english},
           {"", "help/English/index.html", dir + "Letrana_Deutsch.lng", dir + "Letrana_English.chm"}}) {
    if (!placed.empty()) Place(placed, "c");
    if (!unplaced.empty()) Unplace(unplaced);
    EXPECT_EQ(help(languageFile).target, target) << languageFile;
  }
}

TEST_F(HelpTest, DocumentsAndTheUpdatePageAreHandedToTheShell) {
  Place("Letrana_License.txt", "l");
  Place("Letrana_ReadMe.txt", "r");
  PlaceShipped("Letrana_Languages.ini");
  PlaceShipped("Letrana_Deutsch.lng");
  testing_support::WriteFileBytes(
      SettingsFile(), "<?xml?>\r\n<InitFile>\r\n<LanguageName>Deutsch</LanguageName>\r\n</InitFile>\r\n");
  TFrmLetrana& frm = Open();
  frm.Show();
  ASSERT_EQ(frm.MenFile.Caption(), "Datei");
  frm.MenLicense.Click();
  frm.MenReadMe.Click();
  frm.MenCheckUpdate.Click();
  EXPECT_EQ(
      ShellCalls(),
      (std::vector<ShellCall>{
          {&frm, "open", frm.Shell.ProgramDirectory() + "Letrana_License.txt", std::nullopt},
          {&frm, "open", frm.Shell.ProgramDirectory() + "Letrana_ReadMe.txt", std::nullopt},
          {&frm, "open", "http://www.norvane.example/pages/c_letrana.php?lang=ENG&progvers=1.630", ""}}));
}

TEST_F(HelpTest, TheAboutBoxShowsItsCreditsAndOpensTheirAddressesOnADoubleClick) {
  TBitmap icon;
  icon.SetFillColor(kRed);
  icon.SetSize(16, 16);
  ui::testing::SetProgramIcon(icon);
  Open();
  TFrmInfo& info = windows->FrmInfo;
  EXPECT_EQ(info.ClientWidth(), 604);
  EXPECT_EQ(info.ClientHeight(), 289);
  EXPECT_EQ(info.ImgIcon.Picture().Width(), 32);
  EXPECT_EQ(info.ImgIcon.Picture().Pixel(7, 7), clWhite);
  EXPECT_EQ(info.ImgIcon.Picture().Pixel(8, 8), kRed) << "centred";
  EXPECT_EQ(info.ImgLogo.Picture().Width(), 160);
  EXPECT_EQ(info.ImgLogo.Picture().Height(), 99);
  EXPECT_FALSE(AllWhite(info.ImgLogo.Picture()));

  const std::vector<std::pair<ui::Edit*, int>> fields = {
      {&info.EdtHungarian, 0},  {&info.EdtJapanese, 1}, {&info.EdtSwedish, 2},
      {&info.EdtArabic, 3},     {&info.EdtGreek, 4},    {&info.EdtItalian, 5},
      {&info.EdtPortuguese, 6}, {&info.EdtWeb, 7},      {&info.EdtMail, 8}};
  for (const auto& [field, tabOrder] : fields) {
    SCOPED_TRACE(field->Text());
    EXPECT_EQ(field->TabOrder(), tabOrder);
    EXPECT_TRUE(field->ReadOnly());
    EXPECT_FALSE(field->Border());
    EXPECT_TRUE(field->HandCursor());
    EXPECT_EQ(field->Color(), clWhite);
    EXPECT_EQ(field->GetFont().color, RGB(0, 0, 255));
    os::testing::ClearShellCalls();
    field->NativeDblClick();
    ASSERT_EQ(ShellCalls().size(), 1u);
    EXPECT_EQ(ShellCalls()[0].owner, &info);
    // A translator's text is a name and the address in parentheses; mail addresses open as mailto.
    const std::string& target = ShellCalls()[0].target;
    const std::string& text = field->Text();
    const std::string address = text.find('(') == std::string::npos
                                    ? text
                                    : text.substr(text.find('(') + 1, text.size() - text.find('(') - 2);
    EXPECT_EQ(target, address.find('@') != std::string::npos ? "mailto:" + address : address);
    if (field != &info.EdtWeb && field != &info.EdtMail) {
      EXPECT_NE(text.find(" ("), std::string::npos);
      if (address.find('@') == std::string::npos) {
        EXPECT_EQ(target.rfind("http://", 0), 0u);
      }
    }
  }
  EXPECT_EQ(info.EdtWeb.Text(), "www.norvane.example");
  EXPECT_EQ(info.LblApplicationName.Caption(), "Norvane Letrana");
}

TEST_F(HelpTest, TheOtherWindowsTakeTheMainWindowsFontAtEveryShow) {
  testing_support::WriteFileBytes(
      SettingsFile(),
      "<?xml?>\r\n<InitFile>\r\n<UseFontHeight>1</UseFontHeight>"
      "<FontDefName>Liberation Mono</FontDefName><FontDefHeight>-16</FontDefHeight>"
      "<FontDefCharset>0</FontDefCharset><FontDefPitch>2</FontDefPitch>\r\n</InitFile>\r\n");
  TFrmLetrana& frm = Open();
  frm.Show();
  ASSERT_EQ(frm.GetFont().size, 12);
  frm.MenInfo.Click();
  const TFrmInfo& info = windows->FrmInfo;
  const auto face = [](const ui::Font& f) { return std::tuple(f.name, f.charset, f.pitch); };
  const auto mono = std::tuple(std::string("Liberation Mono"), 0, ui::FontPitch::Fixed);
  EXPECT_EQ(face(info.LblApplicationName.GetFont()), mono);
  EXPECT_EQ(info.LblApplicationName.GetFont().size, 12);
  EXPECT_TRUE(info.LblApplicationName.GetFont().bold);
  EXPECT_EQ(face(info.GetFont()), mono);
  EXPECT_EQ(info.GetFont().size, 9) << "the box keeps its size";
  EXPECT_EQ(info.LblVersion.GetFont(), info.GetFont());
  EXPECT_EQ(face(info.LblComment.GetFont()), mono);
  EXPECT_EQ(info.LblComment.GetFont().size, 9);
  EXPECT_EQ(info.LblComment.GetFont().color, TColor{0x9B9B9B});
  EXPECT_EQ(face(info.EdtMail.GetFont()), mono);
  EXPECT_EQ(info.EdtMail.GetFont().color, RGB(0, 0, 255));
  EXPECT_EQ(info.EdtGreek.GetFont(), info.EdtMail.GetFont());
  EXPECT_EQ(info.EdtWeb.GetFont(), info.EdtMail.GetFont());

  // The progress box takes face and size; only a difference in name, character set or size counts.
  frm.FrmProgress->Show();
  EXPECT_EQ(face(frm.FrmProgress->GetFont()), mono);
  EXPECT_EQ(frm.FrmProgress->GetFont().size, 12);
  frm.FrmProgress->Close();
  ui::Font pitchOnly = frm.GetFont();
  pitchOnly.pitch = ui::FontPitch::Variable;
  frm.SetFont(pitchOnly);
  frm.FrmProgress->Show();
  EXPECT_EQ(frm.FrmProgress->GetFont().pitch, ui::FontPitch::Fixed);
}

}  // namespace
