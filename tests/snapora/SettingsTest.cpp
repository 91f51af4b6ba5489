// Snapora's stored settings and languages: what a start reads, what a close writes, and stored values
// that are out of range or name what is not there.

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "common/SettingsDocument.h"
#include "tests/snapora/SnaporaFixture.h"

namespace {

using snapora_testing::SnaporaTest;

// The keys of a settings file in the order they stand in it.
std::string KeysInOrder(const std::string& text) {
  std::string keys;
  std::size_t at = 0;
  while ((at = text.find("\r\n  <", at)) != std::string::npos) {
    at += 5;
    keys += text.substr(at, text.find('>', at) - at) + " ";
  }
  return keys;
}

TEST_F(SnaporaTest, SettingsAreReadAtTheFirstShowAndWrittenAtClose) {
  TSettingsDocument stored(1);
  stored.SetString("WindowPos", "10;20;640;480");
  stored.SetBool("ChbClient", true);
  stored.SetString("CbbSeconds", "250");
  stored.SetString("EdtFile", "/tmp/base.bmp");
  stored.SetBool("ChbToFile", true);
  stored.SetBool("ChbAskName", true);
  stored.SetBool("ChbKeyboard", true);
  stored.SetInt("CbbFKey", 11);
  stored.SetBool("ChbAlt", true);
  stored.SetBool("ChbCtrl", true);
  ASSERT_TRUE(stored.Save(SettingsFile().string()));

  TFrmSnapora& frm = Open();
  EXPECT_FALSE(frm.ChbClient.Checked());  // nothing is read before the first show
  frm.Show();
  EXPECT_EQ(frm.Bounds(), (ui::Rect{10, 20, 640, 480}));
  EXPECT_TRUE(frm.ChbClient.Checked());
  EXPECT_EQ(frm.CbbSeconds.Text(), "250");
  // Ticking the keyboard switch while loading stops automatic capture, which must not empty the field.
  EXPECT_EQ(frm.EdtFile.Text(), "/tmp/base.bmp");
  EXPECT_TRUE(frm.ChbToFile.Checked() && frm.EdtFile.Visible() && frm.ChbAskName.Visible());
  EXPECT_TRUE(frm.ChbAskName.Checked());
  EXPECT_TRUE(frm.ChbKeyboard.Checked() && frm.CbbFKey.Visible());
  EXPECT_EQ(frm.CbbFKey.Text(), "F12");
  EXPECT_TRUE(frm.ChbAlt.Checked() && frm.ChbCtrl.Checked());
  EXPECT_FALSE(frm.ChbShift.Checked());

  // A second show reads nothing again.
  frm.ChbClient.SetChecked(false);
  frm.Hide();
  frm.Show();
  EXPECT_FALSE(frm.ChbClient.Checked());

  frm.CbbSeconds.SetText("1000");
  frm.Close();
  const std::string text = testing_support::ReadFileText(SettingsFile());
  EXPECT_EQ(KeysInOrder(text),
            "WindowPos ChbClient CbbSeconds EdtFile ChbToFile ChbAskName ChbKeyboard CbbFKey ChbAlt ChbShift "
            "ChbCtrl "
            "UseBuildInFont UseFontSettings UseFontHeight FontDefName FontDefColor FontDefHeight FontDefSize "
            "FontDefPitch FontDefCharset LanguageName ");
  TSettingsDocument written(1);
  ASSERT_TRUE(written.Load(SettingsFile().string()));
  EXPECT_EQ(written.GetString("WindowPos", ""), "10;20;640;480");
  EXPECT_EQ(written.GetString("CbbSeconds", ""), "1000");
  EXPECT_EQ(written.GetInt("CbbFKey", -1), 11);
  EXPECT_EQ(written.GetString("EdtFile", ""), "/tmp/base.bmp");
}

// On a desktop that gives no program a global key the switch stays off, and the stored choice is kept for
// the desktop that does.
TEST_F(SnaporaTest, TheKeyboardSwitchIsKeptWhereTheDesktopGivesNoGlobalKeys) {
  TSettingsDocument stored(1);
  stored.SetBool("ChbKeyboard", true);
  ASSERT_TRUE(stored.Save(SettingsFile().string()));
  os::testing::SetHidingDesktop([](bool) { return TBitmap(); });
  TFrmSnapora& frm = OpenShown();
  EXPECT_FALSE(frm.ChbKeyboard.Checked());
  frm.Close();
  TSettingsDocument written(1);
  ASSERT_TRUE(written.Load(SettingsFile().string()));
  EXPECT_TRUE(written.GetBool("ChbKeyboard", false));
  EXPECT_TRUE(ui::testing::ErrorBoxes().empty());
}

TEST_F(SnaporaTest, StoredValuesOutOfRangeAreSurvived) {
  TSettingsDocument stored(1);
  stored.SetInt("CbbFKey", 99);
  stored.SetString("WindowPos", "MAX");
  stored.SetString("LanguageName", "Klingon");
  ASSERT_TRUE(stored.Save(SettingsFile().string()));
  PlaceShipped("Snapora_Languages.ini");
  PlaceShipped("Snapora_English.lng");
  PlaceShipped("Snapora_Deutsch.lng");
  TFrmSnapora& frm = OpenShown();
  // No hot key is chosen: the list selects nothing; the window is maximised; a language the list
  // lacks leaves the built-in texts and is written back as it was.
  EXPECT_EQ(frm.CbbFKey.ItemIndex(), -1);
  EXPECT_EQ(frm.GetWindowState(), ui::WindowState::Maximized);
  EXPECT_EQ(frm.BtnCapture.Caption(), "Capture");
  frm.Close();
  TSettingsDocument written(1);
  ASSERT_TRUE(written.Load(SettingsFile().string()));
  EXPECT_EQ(written.GetString("LanguageName", ""), "Klingon");
  EXPECT_EQ(written.GetString("WindowPos", ""), "MAX");
  EXPECT_TRUE(ui::testing::ErrorBoxes().empty());
}

TEST_F(SnaporaTest, ACorruptSettingsFileGivesTheDefaultsAndIsWrittenWholeAtClose) {
  // What a first start without a settings file writes at close: every key at its default.
  OpenShown().Close();
  const std::string defaults = testing_support::ReadFileText(SettingsFile());
  TSettingsDocument stored(1);
  stored.SetBool("ChbClient", true);
  stored.SetString("CbbSeconds", "250");
  ASSERT_TRUE(stored.Save(SettingsFile().string()));
  const std::string whole = testing_support::ReadFileText(SettingsFile());
  std::string noise(4096, '\0');
  unsigned state = 7;
  for (char& byte : noise) byte = static_cast<char>((state = state * 1103515245u + 12345u) >> 16);

  const std::pair<const char*, std::string> cases[] = {
      {"random bytes", noise},
      {"XML cut off in a value", whole.substr(0, whole.find("<CbbSeconds>2") + 13)},
      {"an empty file", ""}};
  for (const auto& [what, content] : cases) {
    SCOPED_TRACE(what);
    testing_support::WriteFileBytes(SettingsFile(), content);
    TFrmSnapora& frm = OpenShown();
    EXPECT_FALSE(frm.ChbClient.Checked());
    EXPECT_EQ(frm.CbbSeconds.Text(), "5");
    EXPECT_TRUE(ui::testing::ErrorBoxes().empty());
    frm.Close();
    EXPECT_EQ(testing_support::ReadFileText(SettingsFile()), defaults);
  }
}

TEST_F(SnaporaTest, TheListsDefaultLanguageAndAStoredOneSetEveryText) {
  PlaceShipped("Snapora_Languages.ini");
  PlaceShipped("Snapora_English.lng");
  PlaceShipped("Snapora_Deutsch.lng");
  TSettingsDocument stored(1);
  stored.SetString("LanguageName", "Deutsch");
  ASSERT_TRUE(stored.Save(SettingsFile().string()));

  TFrmSnapora& frm = Open();
  // The list's default (English) is in force from creation on.
  EXPECT_EQ(frm.BtnCapture.Caption(), "Capture");
  EXPECT_EQ(frm.ScreenLabel, "Screen");
  frm.Show();
  // The stored language replaces every text at the first show; the list's first entry follows.
  EXPECT_EQ(frm.BtnCapture.Caption(), "Aufnehmen");
  EXPECT_EQ(frm.LookupText("FrmSnap.BtnRefresh", "Refresh"), frm.BtnRefresh.Caption());
  EXPECT_NE(frm.BtnRefresh.Caption(), "Refresh");
  EXPECT_EQ(frm.PopSaveAs.Caption(), "Speichern unter...");
  EXPECT_EQ(frm.LisWindows.ItemCaption(0), frm.ScreenLabel);
  // The viewer and the file-name dialog take their texts from the main window's language at each show.
  windows->FrmFullscreen.Show();
  EXPECT_EQ(windows->FrmFullscreen.MenSaveAs.Caption(), "Speichern unter...\tStrg+S");
  windows->FrmFullscreen.Hide();
  windows->FrmFullscreen.Show();
  EXPECT_EQ(windows->FrmFullscreen.MenSaveAs.Caption(), "Speichern unter...\tStrg+S");
  EXPECT_EQ(windows->FrmFullscreen.PopSaveAs.Caption(), "Speichern unter...");
}

}  // namespace
