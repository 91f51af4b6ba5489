// The language list search, the language in force, text lookup and shortcut texts, and the language
// files that ship beside the glyph exporter.

#include "common/Localisation.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "imaging/Errors.h"
#include "letrana/Texts.h"
#include "platform/os/Os.h"
#include "snapora/Texts.h"
#include "tests/support/TestSupport.h"

namespace {

using testing_support::ReadFileText;
using testing_support::TempDir;
using testing_support::WriteFileBytes;

const std::string d(1, os::PathDelimiter());

// A plain-form document text from key/value pairs.
std::string Plain(const std::vector<std::pair<std::string, std::string>>& entries) {
  std::string text;
  for (const auto& [key, value] : entries) text += key + "=\"" + value + "\"\r\n";
  return text;
}

// Sets the main window's texts as the glyph exporter does: every row of its table into each of its
// targets, then the shortcut texts from the words just looked up.
std::map<std::string, std::string> ApplyMainTexts(TLanguage& language) {
  std::map<std::string, std::string> shown;
  for (const TLanguageText& text : kLetranaMainTexts)
    for (const char* target : text.Targets)
      if (target != nullptr) shown[target] = language.LookupText(text.Name, text.BuiltIn);
  const TShortcutWords words{shown["m_aMenScShift"], shown["m_aMenScCtrl"], shown["m_aMenScAlt"],
                             shown["m_aMenScDelete"], shown["m_aMenScF"]};
  for (const TMenuShortcutText& item : kLetranaMenuShortcuts)
    shown[item.Item] = CaptionWithShortcut(shown[item.Item], item.Shortcut, words);
  return shown;
}

class LocalisationTest : public ::testing::Test {
 protected:
  LocalisationTest() : programDirectory(temp.File("Program") + d) {
    std::filesystem::create_directory(temp.Path() / "Program");
  }
  void WriteProgramFile(const std::string& name, const std::string& content) {
    WriteFileBytes(programDirectory + name, content);
  }

  TempDir temp;
  std::string programDirectory;
};

TEST_F(LocalisationTest, WithoutALanguageListEveryTextIsBuiltIn) {
  EXPECT_FALSE(FindInLanguageList(programDirectory, kLetranaLanguageList, ""));
  EXPECT_FALSE(FindInLanguageList(programDirectory, kLetranaLanguageList, "Deutsch"));
  // An empty list file is no list either.
  WriteProgramFile(kLetranaLanguageList, "");
  EXPECT_FALSE(FindInLanguageList(programDirectory, kLetranaLanguageList, ""));

  TLanguage language;
  language.Apply("", "", kLetranaMainSection);
  EXPECT_EQ(language.FilePath, "");
  EXPECT_EQ(language.Name, "");
  const auto shown = ApplyMainTexts(language);
  EXPECT_EQ(shown.at("MenFile"), "File");
  EXPECT_EQ(shown.at("BtnCopyImage"), "Copy image");
  EXPECT_EQ(shown.at("m_aMSaving"), "Saving...");
  EXPECT_EQ(shown.at("MenExport"), "Export font...\tCtrl+S");
  EXPECT_EQ(shown.at("BtnExport"), "Export font...");
}

TEST_F(LocalisationTest, ListedDefaultAndWantedNamesAreFoundExactly) {
  WriteProgramFile(kLetranaLanguageList, Plain({{"LanguageDefault", "Deutsch"},
                                                {"LanguageName", "English"},
                                                {"LanguageFile", "Letrana_English.lng"},
                                                {"LanguageName", "Deutsch"},
                                                {"LanguageFile", "Letrana_Deutsch.lng"},
                                                {"LanguageName", "Svenska"},
                                                {"LanguageFile", "Letrana_Svenska.lng"}}));
  const TListedLanguage german{programDirectory + "Letrana_Deutsch.lng", "Deutsch"};
  EXPECT_EQ(FindInLanguageList(programDirectory, kLetranaLanguageList, ""), german);
  EXPECT_EQ(FindInLanguageList(programDirectory, kLetranaLanguageList, "Deutsch"), german);
  EXPECT_EQ(FindInLanguageList(programDirectory, kLetranaLanguageList, "English"),
            (TListedLanguage{programDirectory + "Letrana_English.lng", "English"}));
  // The last pair is reached too, and each name keeps its own file.
  EXPECT_EQ(FindInLanguageList(programDirectory, kLetranaLanguageList, "Svenska"),
            (TListedLanguage{programDirectory + "Letrana_Svenska.lng", "Svenska"}));
  EXPECT_FALSE(FindInLanguageList(programDirectory, kLetranaLanguageList, "deutsch"));
  EXPECT_FALSE(FindInLanguageList(programDirectory, kLetranaLanguageList, "Deutsch "));
  EXPECT_FALSE(FindInLanguageList(programDirectory, kLetranaLanguageList, "Klingon"));

  // A default that the list does not name finds nothing; so does a list without a default.
  TSettingsDocument list(0);
  list.Body = Plain({{"LanguageDefault", "Klingon"}, {"LanguageName", "English"}, {"LanguageFile", "e.lng"}});
  EXPECT_FALSE(FindListedLanguage(list, ""));
  list.Body = Plain({{"LanguageName", "English"}, {"LanguageFile", "e.lng"}});
  EXPECT_FALSE(FindListedLanguage(list, ""));
  EXPECT_EQ(FindListedLanguage(list, "English"), (TListedLanguage{"e.lng", "English"}));
}

TEST_F(LocalisationTest, AnEmptyNameOrFileEndsTheSearch) {
  TSettingsDocument list(0);
  list.Body = Plain({{"LanguageDefault", "Deutsch"},
                     {"LanguageName", "English"},
                     {"LanguageFile", ""},
                     {"LanguageName", "Deutsch"},
                     {"LanguageFile", "Letrana_Deutsch.lng"}});
  EXPECT_FALSE(FindListedLanguage(list, ""));
  EXPECT_FALSE(FindListedLanguage(list, "Deutsch"));

  list.Body = Plain({{"LanguageName", "English"},
                     {"LanguageFile", "Letrana_English.lng"},
                     {"LanguageName", ""},
                     {"LanguageFile", "x.lng"},
                     {"LanguageName", "Deutsch"},
                     {"LanguageFile", "Letrana_Deutsch.lng"}});
  EXPECT_FALSE(FindListedLanguage(list, "Deutsch"));
  EXPECT_EQ(FindListedLanguage(list, "English"), (TListedLanguage{"Letrana_English.lng", "English"}));
}

TEST_F(LocalisationTest, AnAmpersandNameIsFoundWithItAndKeptWithoutIt) {
  WriteProgramFile(kLetranaLanguageList, Plain({{"LanguageName", "English"},
                                                {"LanguageFile", "Letrana_English.lng"},
                                                {"LanguageName", "&Deutsch"},
                                                {"LanguageFile", "Letrana_Deutsch.lng"}}));
  WriteProgramFile("Letrana_Deutsch.lng", Plain({{"FrmMain.MenFile", "Datei"}}));
  EXPECT_FALSE(FindInLanguageList(programDirectory, kLetranaLanguageList, "Deutsch"));
  const auto found = FindInLanguageList(programDirectory, kLetranaLanguageList, "&Deutsch");
  ASSERT_TRUE(found);
  EXPECT_EQ(found->Name, "&Deutsch");

  TLanguage language;
  language.Apply(found->File, found->Name, kLetranaMainSection);
  EXPECT_EQ(language.Name, "Deutsch");
  EXPECT_EQ(language.FilePath, programDirectory + "Letrana_Deutsch.lng");
  EXPECT_EQ(language.LookupText("MenFile", "File"), "Datei");
  // Only one ampersand goes; one in the middle stays.
  EXPECT_EQ(LanguageNameWithoutAmpersand("&&x"), "&x");
  EXPECT_EQ(LanguageNameWithoutAmpersand("Fran&cais"), "Fran&cais");
  EXPECT_EQ(LanguageNameWithoutAmpersand(""), "");
}

TEST_F(LocalisationTest, MissingAndEmptyTextsKeepTheBuiltInOnes) {
  WriteProgramFile("Only.lng", Plain({{"FrmMain.MenFile", "Fichier"}, {"FrmMain.MenEdit", ""}}));
  TLanguage language;
  language.Apply(programDirectory + "Only.lng", "Test", kLetranaMainSection);
  const auto shown = ApplyMainTexts(language);
  EXPECT_EQ(shown.at("MenFile"), "Fichier");
  EXPECT_EQ(shown.at("MenEdit"), "Edit");  // empty counts as missing
  for (const TLanguageText& text : kLetranaMainTexts) {
    if (std::string(text.Name) == "MenFile") continue;
    for (const char* target : text.Targets) {
      if (target != nullptr) {
        EXPECT_EQ(shown.at(target).substr(0, std::string(text.BuiltIn).size()), text.BuiltIn);
      }
    }
  }
  // The shortcut texts are made of the built-in words.
  EXPECT_EQ(shown.at("MenExport"), "Export font...\tCtrl+S");
  EXPECT_EQ(shown.at("MenGenerateImages"), "Generate images\tCtrl+G");
  EXPECT_EQ(shown.at("MenExit"), "Exit\tCtrl+Q");
  EXPECT_EQ(shown.at("MenSelectAll"), "Select all\tCtrl+A");
  EXPECT_EQ(shown.at("MenInvertSelection"), "Invert selection\tCtrl+I");
  EXPECT_EQ(shown.at("MenCopyCharacter"), "Copy character\tCtrl+Shift+C");
  EXPECT_EQ(shown.at("MenCopyImage"), "Copy image\tCtrl+C");
  EXPECT_EQ(shown.at("MenUsage"), "Help\tF1");
  // The pop-up items and buttons get no shortcut text.
  EXPECT_EQ(shown.at("PopCopyImage"), "Copy image");
  EXPECT_EQ(shown.at("BtnCopyImage"), "Copy image");
  EXPECT_EQ(shown.at("PopCopyCharacter"), "Copy character");
}

TEST_F(LocalisationTest, LocalisedShortcutWordsMakeTheShortcutTexts) {
  WriteProgramFile("Strg.lng", Plain({{"FrmMain.m_aMenScCtrl", "Strg"},
                                      {"FrmMain.m_aMenScShift", "Umschalt"},
                                      {"FrmMain.m_aMenScF", "Taste F"},
                                      {"FrmMain.MenCopyCharacter", "Zeichen kopieren"}}));
  TLanguage language;
  language.Apply(programDirectory + "Strg.lng", "Deutsch", kLetranaMainSection);
  const auto shown = ApplyMainTexts(language);
  EXPECT_EQ(shown.at("MenExport"), "Export font...\tStrg+S");
  EXPECT_EQ(shown.at("MenCopyCharacter"), "Zeichen kopieren\tStrg+Umschalt+C");
  EXPECT_EQ(shown.at("MenCopyImage"), "Copy image\tStrg+C");
  EXPECT_EQ(shown.at("MenUsage"), "Help\tTaste F1");

  // Modifiers in the order Ctrl, Shift, Alt; then the F word or the Del word before the key text.
  const TShortcutWords words{"Umschalt", "Strg", "Menue", "Entf", "F"};
  EXPECT_EQ(CaptionWithShortcut("X", {.Ctrl = true, .Shift = true, .Alt = true, .KeyText = "K"}, words),
            "X\tStrg+Umschalt+Menue+K");
  EXPECT_EQ(CaptionWithShortcut("X", {.Alt = true, .Kind = TShortcutKeyKind::DeleteKey}, words),
            "X\tMenue+Entf");
  EXPECT_EQ(CaptionWithShortcut("X", {.Shift = true, .Kind = TShortcutKeyKind::FunctionKey, .KeyText = "12"},
                                words),
            "X\tUmschalt+F12");
  EXPECT_EQ(CaptionWithShortcut("", {.KeyText = nullptr}, TShortcutWords{}), "\t");
}

TEST_F(LocalisationTest, SectionsSeparateTheWindowsTexts) {
  WriteProgramFile("Info.lng", Plain({{"FrmMain.BtnOK", "Falsch"}, {"FrmInfo.BtnOK", "Schliessen"}}));
  TLanguage language;
  language.Apply(programDirectory + "Info.lng", "Deutsch", kLetranaMainSection);
  const TLanguageText& ok = kLetranaInfoTexts[0];
  language.Section = kLetranaInfoSection;
  EXPECT_EQ(language.LookupText(ok.Name, ok.BuiltIn), "Schliessen");
  EXPECT_EQ(language.LookupFullKey(FullKey(ok), ok.BuiltIn), "Schliessen");

  WriteProgramFile("NoInfo.lng", Plain({{"FrmMain.BtnOK", "Falsch"}}));
  language.Apply(programDirectory + "NoInfo.lng", "Deutsch", kLetranaInfoSection);
  EXPECT_EQ(language.LookupText(ok.Name, ok.BuiltIn), "OK");
  EXPECT_EQ(FullKey(ok), "FrmInfo.BtnOK");
}

TEST_F(LocalisationTest, ApplyingAFileThatIsGoneClearsButAnEmptyFileKeepsTheTexts) {
  WriteProgramFile("A.lng", Plain({{"FrmMain.MenFile", "Datei"}}));
  WriteProgramFile("Empty.lng", "");
  TLanguage language;
  language.Apply(programDirectory + "A.lng", "A", kLetranaMainSection);
  // A load that fails leaves the previous texts, though the new path is in force.
  language.Apply(programDirectory + "Empty.lng", "B", kLetranaMainSection);
  EXPECT_EQ(language.FilePath, programDirectory + "Empty.lng");
  EXPECT_EQ(language.LookupText("MenFile", "File"), "Datei");
  // A path that names no file clears the document and the path; the name stays as given.
  language.Apply(programDirectory + "Gone.lng", "&C", kLetranaMainSection);
  EXPECT_EQ(language.FilePath, "");
  EXPECT_EQ(language.Name, "C");
  EXPECT_EQ(language.LookupText("MenFile", "File"), "File");
  // A folder is no language file either.
  language.Apply(programDirectory + "A.lng", "A", kLetranaMainSection);
  language.Apply(temp.File("Program"), "A", kLetranaMainSection);
  EXPECT_EQ(language.FilePath, "");
  EXPECT_EQ(language.LookupText("MenFile", "File"), "File");
}

TEST(LanguageTables, NoKeyIsTheTailOfAnotherAndNoneRepeatsWithinAWindow) {
  // In the plain form a key also matches the end of a longer key, so such pairs would read each
  // other's texts.
  std::vector<std::string> keys;
  auto add = [&keys](const auto& table) {
    std::set<std::string> names;
    for (const TLanguageText& text : table) {
      EXPECT_TRUE(names.insert(text.Name).second) << text.Name;
      keys.push_back(FullKey(text));
    }
  };
  add(kLetranaMainTexts);
  add(kLetranaInfoTexts);
  add(kSnaporaMainTexts);
  add(kSnaporaViewerTexts);
  add(kSnaporaFileNameTexts);
  for (const std::string& a : keys)
    for (const std::string& b : keys)
      EXPECT_FALSE(b.size() > a.size() && b.ends_with(a)) << a << " inside " << b;
  EXPECT_EQ(std::string(kSnaporaMainTexts[0].Section), kSnaporaMainSection);
  EXPECT_EQ(std::string(kSnaporaViewerTexts[0].Section), kSnaporaViewerSection);
  EXPECT_EQ(std::string(kSnaporaFileNameTexts[0].Section), kSnaporaFileNameSection);
}

// ---- The files beside the program -------------------------------------------------------------------

std::string DistDirectory() {
  const auto folder =
      std::filesystem::path(__FILE__).parent_path().parent_path().parent_path() / "letrana" / "dist";
  return folder.string() + d;
}

// Every line of a file: key="value" ended by CR LF, no other text.
std::vector<std::pair<std::string, std::string>> EntriesOf(const std::string& text) {
  std::vector<std::pair<std::string, std::string>> entries;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find("\r\n", start);
    EXPECT_NE(end, std::string::npos) << "last line without CR LF";
    if (end == std::string::npos) break;
    const std::string line = text.substr(start, end - start);
    const std::size_t equals = line.find("=\"");
    EXPECT_TRUE(equals != std::string::npos && line.back() == '"' && line.size() >= equals + 3) << line;
    if (equals != std::string::npos && line.size() >= equals + 3)
      entries.emplace_back(line.substr(0, equals), line.substr(equals + 2, line.size() - equals - 3));
    EXPECT_EQ(line.find('\n'), std::string::npos) << line;
    start = end + 2;
  }
  return entries;
}

// Reading each entry's key through the settings document gives that entry's own value, and every key
// stands once.
void ExpectEveryEntryReadsBack(const std::string& fileName) {
  const std::string text = ReadFileText(DistDirectory() + fileName);
  TSettingsDocument document(0);
  ASSERT_TRUE(document.Load(DistDirectory() + fileName)) << fileName;
  std::set<std::string> seen;
  for (const auto& [key, value] : EntriesOf(text)) {
    EXPECT_TRUE(seen.insert(key).second) << fileName << ": " << key << " twice";
    EXPECT_EQ(document.GetString(key, "<missing>"), value) << fileName << ": " << key;
  }
}

TEST(ShippedFiles, TheLanguageListNamesEnglishAsDefaultAndGerman) {
  const std::string dist = DistDirectory();
  const auto english = FindInLanguageList(dist, kLetranaLanguageList, "");
  ASSERT_TRUE(english);
  EXPECT_EQ(english->Name, "English");
  EXPECT_TRUE(os::FileExists(english->File)) << english->File;
  const auto german = FindInLanguageList(dist, kLetranaLanguageList, "Deutsch");
  ASSERT_TRUE(german);
  EXPECT_TRUE(os::FileExists(german->File)) << german->File;
  // Well-formed lines, the default first, then the pairs with the name before the file.
  const auto entries = EntriesOf(ReadFileText(dist + kLetranaLanguageList));
  ASSERT_EQ(entries.size(), 5u);
  EXPECT_EQ(entries[0].first, "LanguageDefault");
  for (std::size_t i = 1; i < entries.size(); i += 2) {
    EXPECT_EQ(entries[i].first, "LanguageName");
    EXPECT_EQ(entries[i + 1].first, "LanguageFile");
  }
  EXPECT_TRUE(os::FileExists(dist + "Letrana_License.txt"));
  EXPECT_TRUE(os::FileExists(dist + "Letrana_ReadMe.txt"));
}

TEST(ShippedFiles, TheEnglishFileRepeatsTheBuiltInTexts) {
  const auto english = FindInLanguageList(DistDirectory(), kLetranaLanguageList, "English");
  ASSERT_TRUE(english);
  ExpectEveryEntryReadsBack(english->File.substr(DistDirectory().size()));
  TSettingsDocument document(0);
  ASSERT_TRUE(document.Load(english->File));
  for (const TLanguageText& text : kLetranaMainTexts)
    EXPECT_EQ(document.GetString(FullKey(text), "<missing>"), text.BuiltIn) << FullKey(text);
  for (const TLanguageText& text : kLetranaInfoTexts)
    EXPECT_EQ(document.GetString(FullKey(text), "<missing>"), text.BuiltIn) << FullKey(text);
  for (const TErrorText& text : kErrorTexts)
    EXPECT_EQ(document.GetString(std::string(kErrorSection) + "." + text.Key, "<missing>"), text.English);
  EXPECT_EQ(EntriesOf(ReadFileText(english->File)).size(),
            std::size(kLetranaMainTexts) + std::size(kLetranaInfoTexts) + std::size(kErrorTexts));
}

// Every error users meet, as the language files of both programs word it: in English the built-in
// text, in German the texts the programs always showed (the first six word for word).
TEST(ShippedFiles, EveryErrorReadsInTheLanguageOfBothPrograms) {
  struct Case {
    TErrorKind kind;
    std::vector<std::string> details;
    std::string english, german;
  };
  const Case cases[] = {
      {TErrorKind::FileCannotBeCreated,
       {"C:\\x.bmp"},
       "The file C:\\x.bmp cannot be created",
       "Datei C:\\x.bmp kann nicht erstellt werden"},
      {TErrorKind::WriteFailed, {}, "Writing the file failed", "Stream-Write-Fehler"},
      {TErrorKind::JpegFailed, {"12"}, "JPEG error #12", "JPEG-Fehler #12"},
      {TErrorKind::PngFailed, {"bad"}, "PNG error: bad", "PNG-Fehler: bad"},
      {TErrorKind::PictureTooLarge,
       {"9", "8", "32", "BMP"},
       "A picture of 9 x 8 pixels at 32 bits per pixel does not fit a BMP file",
       "Bitmap 9 x 8 mit 32 Bit pro Pixel passt nicht in eine BMP-Datei"},
      {TErrorKind::ClipboardBusy,
       {},
       "The clipboard cannot be opened",
       "Zwischenablage kann nicht ge\xF6"
       "ffnet werden"},
      {TErrorKind::GifTooLarge,
       {"70000", "1"},
       "Bitmap too large for GIF: 70000 x 1 pixels (at most 65535 x 65535)",
       "Bild zu gro\xDF f\xFCr GIF: 70000 x 1 Pixel (h\xF6"
       "chstens 65535 x 65535)"},
      {TErrorKind::GifFailed, {"Color table overflow"}, "Color table overflow", "Color table overflow"},
      {TErrorKind::CaptureTooLarge,
       {"40000", "2", "32767"},
       "The rectangle to capture (40000 x 2 pixels) is too large: at most 32767 x 32767",
       "Das aufzunehmende Rechteck (40000 x 2 Pixel) ist zu gro\xDF: h\xF6"
       "chstens 32767 x 32767"},
      {TErrorKind::HotKeyTaken,
       {"Ctrl+F5"},
       "Another program has taken the key Ctrl+F5: Snapora still watches it, but a quick press may be "
       "missed and that program gets the key as well. Choose another key to have it for Snapora alone",
       "Ein anderes Programm hat die Taste Ctrl+F5 belegt: Snapora achtet weiter auf sie, kann aber einen "
       "kurzen Druck verpassen, und jenes Programm bekommt die Taste ebenfalls. W\xE4hlen Sie eine andere "
       "Taste, damit sie nur Snapora geh\xF6rt"},
      {TErrorKind::ScreenshotServiceMissing,
       {"no answer"},
       "The desktop's screenshot service cannot be reached (no answer)",
       "Der Bildschirmfoto-Dienst des Desktops ist nicht erreichbar (no answer)"},
      {TErrorKind::ScreenshotRefused,
       {},
       "The desktop refused the screenshot",
       "Der Desktop hat das Bildschirmfoto verweigert"},
      {TErrorKind::ScreenshotCancelled,
       {},
       "The screenshot was cancelled",
       "Das Bildschirmfoto wurde abgebrochen"},
      {TErrorKind::ScreenshotUnreadable,
       {"file:///tmp/x.png"},
       "The desktop's screenshot file:///tmp/x.png cannot be read",
       "Das Bildschirmfoto file:///tmp/x.png des Desktops kann nicht gelesen werden"},
      {TErrorKind::NoGlobalKeys,
       {},
       "This desktop does not let programs have global keys: capture with the Capture button",
       "Dieser Desktop erlaubt Programmen keine globalen Tasten: Aufnahmen bitte mit der Schaltfl\xE4"
       "che Aufnehmen"},
      {TErrorKind::HotKeyRefused,
       {"Ctrl+F5"},
       "The desktop did not give Snapora the key Ctrl+F5: tick the keyboard again to ask once more, or "
       "capture with the Capture button",
       "Der Desktop hat Snapora die Taste Ctrl+F5 nicht \xFC"
       "berlassen: Tastatur erneut ankreuzen, um noch einmal zu fragen, oder die Schaltfl\xE4"
       "che Aufnehmen verwenden"},
  };
  ASSERT_EQ(std::size(cases), std::size(kErrorTexts)) << "a case for every kind";
  const std::filesystem::path root =
      std::filesystem::path(__FILE__).parent_path().parent_path().parent_path();
  for (const std::string program : {"Letrana", "Snapora"}) {
    const std::string dist = (root / (program == "Letrana" ? "letrana" : "snapora") / "dist").string() + d;
    for (const auto& [file, german] : {std::pair{"_English.lng", false}, std::pair{"_Deutsch.lng", true}}) {
      TLanguage language;
      language.Apply(dist + program + file, "", "");
      for (const Case& c : cases) {
        const ELocalisedError error(c.kind, c.details);
        EXPECT_EQ(error.what(), c.english);
        EXPECT_EQ(error.TextIn([&](const std::string& key, const std::string& english) {
          return language.LookupFullKey(key, english);
        }),
                  german ? c.german : c.english)
            << program << file << ": " << ErrorTextOf(c.kind).Key;
      }
    }
  }
}

TEST(ShippedFiles, TheGermanFileTranslatesEveryKeyInTheAnsiCodePage) {
  const auto german = FindInLanguageList(DistDirectory(), kLetranaLanguageList, "Deutsch");
  ASSERT_TRUE(german);
  ExpectEveryEntryReadsBack(german->File.substr(DistDirectory().size()));
  TSettingsDocument document(0);
  ASSERT_TRUE(document.Load(german->File));
  int translated = 0;
  for (const TLanguageText& text : kLetranaMainTexts) {
    const std::string value = document.GetString(FullKey(text), "");
    EXPECT_FALSE(value.empty()) << FullKey(text) << " missing";
    translated += value != text.BuiltIn;
  }
  EXPECT_FALSE(document.GetString("FrmInfo.BtnOK", "").empty());
  // Most texts differ from the English ones (a few, such as Info, Alt and F, are the same words).
  EXPECT_GE(translated, 22);
  EXPECT_EQ(document.GetString("FrmMain.MenFile", ""), "Datei");
  EXPECT_EQ(document.GetString("FrmMain.m_aMenScCtrl", ""), "Strg");
  EXPECT_EQ(document.GetString("FrmMain.MenSelectFont", ""), "Schriftart w\xE4hlen");
  EXPECT_EQ(document.GetString("FrmMain.LblFontSize", ""),
            "Schriftgr\xF6\xDF"
            "e:");
  EXPECT_EQ(document.GetString("FrmMain.MenReadMe", ""), "\xC4nderungen");
  // Windows-1252 bytes, not UTF-8: no lead byte of a two-byte UTF-8 sequence for these letters.
  const std::string bytes = ReadFileText(german->File);
  EXPECT_EQ(bytes.find('\xC3'), std::string::npos);

  TLanguage language;
  language.Apply(german->File, german->Name, kLetranaMainSection);
  const auto shown = ApplyMainTexts(language);
  EXPECT_EQ(shown.at("MenCopyCharacter"), "Zeichen kopieren\tStrg+Umschalt+C");
  EXPECT_EQ(shown.at("MenUsage"), "Hilfe\tF1");
}

}  // namespace
