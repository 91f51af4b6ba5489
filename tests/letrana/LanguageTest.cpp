// The language: the list's search, the texts of the main window and the about box in their targets,
// the shortcut texts of the menus, and the shipped German language file.

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "tests/letrana/LetranaFixture.h"

namespace {

using namespace letrana_testing;
using LanguageTest = LetranaTest;

// Every caption the language sets, in one text, for comparing whole states.
std::vector<std::string> Captions(const TFrmLetrana& f) {
  return {f.MenFile.Caption(),
          f.MenExport.Caption(),
          f.MenGenerateImages.Caption(),
          f.MenExit.Caption(),
          f.MenEdit.Caption(),
          f.MenSelectFont.Caption(),
          f.MenSelectFontColor.Caption(),
          f.MenSelectBackgroundColor.Caption(),
          f.MenSelectAll.Caption(),
          f.MenInvertSelection.Caption(),
          f.MenCopyCharacter.Caption(),
          f.MenCopyImage.Caption(),
          f.MenUsage.Caption(),
          f.MenInfo.Caption(),
          f.MenLicense.Caption(),
          f.MenReadMe.Caption(),
          f.MenCheckUpdate.Caption(),
          f.PopCopyCharacter.Caption(),
          f.PopCopyImage.Caption(),
          f.BtnExport.Caption(),
          f.BtnSelectFont.Caption(),
          f.BtnSelectFontColor.Caption(),
          f.BtnSelectBackgroundColor.Caption(),
          f.BtnCopyImage.Caption(),
          f.LblPreview.Caption(),
          f.LblFontName.Caption(),
          f.LblFontSize.Caption(),
          f.m_aMGeneratingPreview,
          f.m_aMSaving};
}

const std::vector<std::string> kBuiltIn = {"File",
                                           "Export font...\tCtrl+S",
                                           "Generate images\tCtrl+G",
                                           "Exit\tCtrl+Q",
                                           "Edit",
                                           "Select font",
                                           "Select font color",
                                           "Select background color",
                                           "Select all\tCtrl+A",
                                           "Invert selection\tCtrl+I",
                                           "Copy character\tCtrl+Shift+C",
                                           "Copy image\tCtrl+C",
                                           "Help\tF1",
                                           "Info",
                                           "License",
                                           "Changes",
                                           "Check for update",
                                           "Copy character",
                                           "Copy image",
                                           "Export font...",
                                           "Select font",
                                           "Select font color",
                                           "Select background color",
                                           "Copy image",
                                           "Preview:",
                                           "Font name:",
                                           "Font size:",
                                           "Generating preview...",
                                           "Saving..."};

TEST_F(LanguageTest, WithoutAListEveryTextIsBuiltInAndAppliedOnceAtFirstShow) {
  TFrmLetrana& frm = Open();
  EXPECT_EQ(frm.MenSelectAll.Caption(), "Select All") << "the form's caption until the first show";
  EXPECT_EQ(frm.BtnExport.Caption(), "Export font");
  EXPECT_TRUE(frm.m_aMSaving.empty());
  frm.Show();
  EXPECT_EQ(Captions(frm), kBuiltIn);
  EXPECT_EQ(frm.Shell.Language.Name, "");
  EXPECT_EQ(frm.Shell.Language.FilePath, "");
  EXPECT_EQ(frm.Shell.Language.Section, "FrmMain");
  // Applying again sets every caption first, so the shortcut texts are never doubled.
  frm.SelectLanguage("");
  frm.ApplyLanguage("", "");
  EXPECT_EQ(Captions(frm), kBuiltIn);
  // The progress box shows the texts that the language set.
  std::vector<std::string> messages;
  ui::testing::OnProcessMessages([&] {
    if (messages.empty()) messages.push_back(Progress().LblMessage.Caption());
  });
  ui::testing::AdvanceTime(500);
  EXPECT_EQ(messages, std::vector<std::string>{"Generating preview..."});
}

TEST_F(LanguageTest, TheListIsSearchedInOrderUpToTheFirstIncompletePair) {
  Place("Letrana_A.lng", "FrmMain.MenFile=\"Akte\"\r\nFrmMain.m_aMenScCtrl=\"Strg\"\r\n");
  Place("Letrana_B.lng", "FrmMain.MenFile=\"Bestand\"\r\n");
  const std::string dir = programDirectory.string() + "/";
  struct Case {
    std::string list, wantedName, file, menFile;
  };
  for (const Case& c : std::vector<Case>{
           {"LanguageDefault=\"B\"\r\nLanguageName=\"A\"\r\nLanguageFile=\"Letrana_A.lng\"\r\n"
            "LanguageName=\"B\"\r\nLanguageFile=\"Letrana_B.lng\"\r\n",
            "B", "Letrana_B.lng", "Bestand"},
           // An empty file in the first pair ends the search before the matching second pair.
           {"LanguageDefault=\"B\"\r\nLanguageName=\"A\"\r\nLanguageFile=\"\"\r\n"
            "LanguageName=\"B\"\r\nLanguageFile=\"Letrana_B.lng\"\r\n",
            "", "", "File"},
           // An ampersand is part of the listed name, and is dropped from the name in force.
           {"LanguageDefault=\"&A\"\r\nLanguageName=\"&A\"\r\nLanguageFile=\"Letrana_A.lng\"\r\n", "A",
            "Letrana_A.lng", "Akte"},
           // A listed file that does not exist gives the built-in texts.
           {"LanguageDefault=\"C\"\r\nLanguageName=\"C\"\r\nLanguageFile=\"Letrana_C.lng\"\r\n", "C", "",
            "File"},
       }) {
    SCOPED_TRACE(c.list);
    Place("Letrana_Languages.ini", c.list);
    TFrmLetrana& frm = Open();
    frm.Show();
    EXPECT_EQ(frm.Shell.Language.Name, c.wantedName);
    EXPECT_EQ(frm.Shell.Language.FilePath, c.file.empty() ? "" : dir + c.file);
    EXPECT_EQ(frm.MenFile.Caption(), c.menFile);
    windows.reset();
  }
}

TEST_F(LanguageTest, MissingKeysKeepTheBuiltInTextsAndTheWordsBuildTheShortcuts) {
  TFrmLetrana& frm = Open();
  testing_support::TempDir folder;
  testing_support::WriteFileBytes(folder.Path() / "only.lng", "FrmMain.MenFile=\"Fichier\"\r\n");
  frm.ApplyLanguage(folder.File("only.lng"), "Only");
  std::vector<std::string> expected = kBuiltIn;
  expected[0] = "Fichier";
  EXPECT_EQ(Captions(frm), expected);

  testing_support::WriteFileBytes(folder.Path() / "strg.lng",
                                  "FrmMain.m_aMenScCtrl=\"Strg\"\r\nFrmMain.m_aMenScShift=\"\"\r\n"
                                  "FrmMain.m_aMenScF=\"Fn\"\r\nFrmMain.MenExport=\"Export\"\r\n");
  frm.ApplyLanguage(folder.File("strg.lng"), "Strg");
  EXPECT_EQ(frm.MenExport.Caption(), "Export\tStrg+S");
  EXPECT_EQ(frm.BtnExport.Caption(), "Export") << "buttons take their commands' texts without a shortcut";
  EXPECT_EQ(frm.MenCopyCharacter.Caption(), "Copy character\tStrg+Shift+C") << "an empty entry is missing";
  EXPECT_EQ(frm.MenUsage.Caption(), "Help\tFn1");
  EXPECT_EQ(frm.PopCopyCharacter.Caption(), "Copy character");

  // A file that cannot be loaded (empty) keeps the texts of the one before, but becomes the file in force.
  testing_support::WriteFileBytes(folder.Path() / "empty.lng", "");
  frm.ApplyLanguage(folder.File("empty.lng"), "Empty");
  EXPECT_EQ(frm.MenExport.Caption(), "Export\tStrg+S");
  EXPECT_EQ(frm.Shell.Language.FilePath, folder.File("empty.lng"));
  frm.ApplyLanguage(folder.File("missing.lng"), "Missing");
  EXPECT_EQ(Captions(frm), kBuiltIn);
  EXPECT_EQ(frm.Shell.Language.FilePath, "");
  EXPECT_EQ(frm.Shell.Language.Name, "Missing");
}

TEST_F(LanguageTest, TheShippedListGivesEnglishByDefaultAndGermanMenusWhenAsked) {
  for (const char* name : {"Letrana_Languages.ini", "Letrana_English.lng", "Letrana_Deutsch.lng"})
    PlaceShipped(name);
  TFrmLetrana& frm = Open();
  frm.SelectLanguage("");
  EXPECT_EQ(frm.Shell.Language.Name, "English");
  EXPECT_EQ(Captions(frm), kBuiltIn) << "the English file holds the built-in texts";

  frm.SelectLanguage("Deutsch");
  EXPECT_EQ(frm.Shell.Language.FilePath, frm.Shell.ProgramDirectory() + "Letrana_Deutsch.lng");
  EXPECT_EQ(frm.MenFile.Caption(), "Datei");
  EXPECT_EQ(frm.MenExport.Caption(), "Schriftart exportieren...\tStrg+S");
  EXPECT_EQ(frm.MenCopyCharacter.Caption(), "Zeichen kopieren\tStrg+Umschalt+C");
  EXPECT_EQ(frm.MenUsage.Caption(), "Hilfe\tF1");
  EXPECT_EQ(frm.LblFontSize.Caption(),
            "Schriftgr\xF6\xDF"
            "e:")
      << "the file's bytes, code page 1252";
  EXPECT_EQ(frm.m_aMSaving, "Speichern...");
  // The fifth file type of the export dialog is named in the language; the others are the same in all.
  EXPECT_EQ(
      frm.SvdSave.Filter(),
      "(*.BMP)|*.bmp|(*.JPG)|*.jpg|(*.GIF)|*.gif|(*-GIF transparent)|*.gif|(*-PNG mit Alphakanal)|*.png");
  frm.SelectLanguage("English");
  EXPECT_EQ(frm.SvdSave.Filter(),
            "(*.BMP)|*.bmp|(*.JPG)|*.jpg|(*.GIF)|*.gif|(*-GIF transparent)|*.gif|(*-PNG with alpha)|*.png");
  frm.SelectLanguage("Deutsch");
  // A language the list does not name keeps the one in force.
  frm.SelectLanguage("deutsch");
  EXPECT_EQ(frm.Shell.Language.Name, "Deutsch");
  EXPECT_EQ(frm.MenFile.Caption(), "Datei");
}

TEST_F(LanguageTest, TheAboutBoxTakesItsButtonTextFromItsOwnSection) {
  TFrmLetrana& frm = Open();
  testing_support::TempDir folder;
  testing_support::WriteFileBytes(folder.Path() / "info.lng",
                                  "FrmMain.BtnOK=\"Wrong\"\r\nFrmInfo.BtnOK=\"Schliessen\"\r\n"
                                  "FrmInfo.MenFile=\"Info file\"\r\n");
  TFrmInfo& info = windows->FrmInfo;
  frm.MenInfo.Click();
  EXPECT_EQ(info.BtnOK.Caption(), "OK");
  frm.ApplyLanguage(folder.File("info.lng"), "Info");
  frm.MenInfo.Click();
  EXPECT_EQ(info.BtnOK.Caption(), "Schliessen");
  EXPECT_EQ(info.LblVersion.Caption(), "Version 1.630 (21.07.2017)");
  // The section stays the about box's until the language is applied again.
  EXPECT_EQ(frm.Shell.Language.Section, "FrmInfo");
  EXPECT_EQ(frm.LookupText("MenFile", "File"), "Info file");
  frm.ApplyLanguage(folder.File("info.lng"), "Info");
  EXPECT_EQ(frm.LookupText("MenFile", "File"), "File");
}

}  // namespace
