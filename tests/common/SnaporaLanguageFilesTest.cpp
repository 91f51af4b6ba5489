// The language list and language files that ship beside the capture tool: the list reaches every
// language it names and each of their files exists; each file holds every key of the capture tool's
// texts exactly once, nothing else, in well-formed CR LF lines that the settings document reads back.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "common/Localisation.h"
#include "common/SettingsDocument.h"
#include "imaging/Errors.h"
#include "letrana/Texts.h"
#include "platform/os/Os.h"
#include "snapora/Texts.h"
#include "tests/support/TestSupport.h"

namespace {

using testing_support::ReadFileText;

// snapora/dist in the source tree, ended by the path delimiter.
std::string DistDirectory() {
  const auto folder =
      std::filesystem::path(__FILE__).parent_path().parent_path().parent_path() / "snapora" / "dist";
  return folder.string() + std::string(1, os::PathDelimiter());
}

// The lines of a plain-form file as key/value pairs, in file order. Every line must be key="value"
// ended by CR LF, with no quote inside the value and no bare line feed.
std::vector<std::pair<std::string, std::string>> LinesOf(const std::string& text, const std::string& name) {
  std::vector<std::pair<std::string, std::string>> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find("\r\n", start);
    EXPECT_NE(end, std::string::npos) << name << ": last line without CR LF";
    if (end == std::string::npos) break;
    const std::string line = text.substr(start, end - start);
    start = end + 2;
    const std::size_t equals = line.find("=\"");
    const bool wellFormed = equals != std::string::npos && equals > 0 && line.size() >= equals + 3 &&
                            line.back() == '"' && line.find('"', equals + 2) == line.size() - 1 &&
                            line.find('\n') == std::string::npos;
    EXPECT_TRUE(wellFormed) << name << ": " << line;
    if (wellFormed)
      lines.emplace_back(line.substr(0, equals), line.substr(equals + 2, line.size() - equals - 3));
  }
  return lines;
}

// Every key of the capture tool with its built-in text.
std::map<std::string, std::string> SnaporaKeys() {
  std::map<std::string, std::string> keys;
  const auto add = [&keys](const auto& texts) {
    for (const TLanguageText& text : texts) keys.emplace(FullKey(text), text.BuiltIn);
  };
  add(kSnaporaMainTexts);
  add(kSnaporaViewerTexts);
  add(kSnaporaFileNameTexts);
  for (const TErrorText& text : kErrorTexts)
    keys.emplace(std::string(kErrorSection) + "." + text.Key, text.English);
  return keys;
}

// The languages of the list as the program reads them: the first LanguageName and LanguageFile, then
// the next of each, up to the first pair with an empty name or file.
std::vector<std::pair<std::string, std::string>> ListedLanguages(TSettingsDocument& list) {
  std::vector<std::pair<std::string, std::string>> languages;
  std::string name = list.GetString("LanguageName", "");
  std::string file = list.GetString("LanguageFile", "");
  while (!name.empty() && !file.empty()) {
    languages.emplace_back(name, file);
    name = list.GetNext("LanguageName");
    file = list.GetNext("LanguageFile");
  }
  return languages;
}

// Loads a shipped language file and checks that it names every key of the capture tool once, each
// with a non-empty value that the settings document reads back, and no other key. Returns its values.
std::map<std::string, std::string> ExpectCompleteLanguageFile(const std::string& path) {
  const std::map<std::string, std::string> expected = SnaporaKeys();
  std::map<std::string, std::string> values;
  TSettingsDocument document(0);
  EXPECT_TRUE(document.Load(path)) << path;
  for (const auto& [key, value] : LinesOf(ReadFileText(path), path)) {
    EXPECT_TRUE(expected.contains(key)) << path << ": " << key << " is no key of the capture tool";
    EXPECT_TRUE(values.emplace(key, value).second) << path << ": " << key << " twice";
    EXPECT_FALSE(value.empty()) << path << ": " << key << " is empty";
    EXPECT_EQ(document.GetString(key, "<missing>"), value) << path << ": " << key;
  }
  for (const auto& [key, builtIn] : expected)
    EXPECT_TRUE(values.contains(key)) << path << ": " << key << " missing";
  return values;
}

TEST(SnaporaLanguageFiles, TheListNamesEnglishAsDefaultAndEveryListedFileExists) {
  const std::string dist = DistDirectory();
  const std::string listPath = dist + kSnaporaLanguageList;
  const auto lines = LinesOf(ReadFileText(listPath), listPath);
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0], std::make_pair(std::string("LanguageDefault"), std::string("English")));
  for (std::size_t i = 1; i + 1 < lines.size(); i += 2) {
    EXPECT_EQ(lines[i].first, "LanguageName");
    EXPECT_EQ(lines[i + 1].first, "LanguageFile");
  }

  // The program's own reading reaches every pair of the file, and each file is there.
  TSettingsDocument list(0);
  ASSERT_TRUE(list.Load(listPath));
  const auto languages = ListedLanguages(list);
  ASSERT_EQ(languages.size(), 2u);
  EXPECT_EQ(languages[0], std::make_pair(std::string("English"), std::string("Snapora_English.lng")));
  EXPECT_EQ(languages[1], std::make_pair(std::string("Deutsch"), std::string("Snapora_Deutsch.lng")));
  for (const auto& [name, file] : languages) EXPECT_TRUE(os::FileExists(dist + file)) << name << ": " << file;

  const auto byDefault = FindInLanguageList(dist, kSnaporaLanguageList, "");
  ASSERT_TRUE(byDefault);
  EXPECT_EQ(byDefault->Name, "English");
  EXPECT_EQ(byDefault->File, dist + "Snapora_English.lng");
}

TEST(SnaporaLanguageFiles, TheEnglishFileRepeatsEveryBuiltInText) {
  const auto english = FindInLanguageList(DistDirectory(), kSnaporaLanguageList, "English");
  ASSERT_TRUE(english);
  EXPECT_EQ(ExpectCompleteLanguageFile(english->File), SnaporaKeys());
}

TEST(SnaporaLanguageFiles, TheGermanFileTranslatesEveryKeyInTheAnsiCodePage) {
  const auto german = FindInLanguageList(DistDirectory(), kSnaporaLanguageList, "Deutsch");
  ASSERT_TRUE(german);
  const auto values = ExpectCompleteLanguageFile(german->File);
  const auto builtIn = SnaporaKeys();
  int translated = 0;
  for (const auto& [key, value] : values) {
    translated += value != builtIn.at(key);
    // A unit hint in brackets stays a bracketed hint after the text.
    if (builtIn.at(key).ends_with("]")) {
      EXPECT_TRUE(value.ends_with("]")) << key << ": " << value;
    }
  }
  // Only the two OK buttons, Desktop and the GIF writer's own messages (%1) are the same in both
  // languages.
  EXPECT_EQ(translated, static_cast<int>(builtIn.size()) - 4);
  EXPECT_EQ(values.at("FrmFull.m_aMenScCtrl"), "Strg");
  EXPECT_EQ(values.at("FrmFull.MenSaveAs"), "Speichern unter...");
  EXPECT_EQ(values.at("FrmSnap.PopSaveAs"), values.at("FrmFull.MenSaveAs"));
  EXPECT_EQ(values.at("FrmSnap.LblHeight"), "H\xF6he:");
  // Windows-1252 bytes, not UTF-8: the umlauts are single bytes with no UTF-8 lead byte before them.
  const std::string bytes = ReadFileText(german->File);
  EXPECT_NE(bytes.find('\xE4'), std::string::npos);
  EXPECT_EQ(bytes.find('\xC3'), std::string::npos);
}

}  // namespace
