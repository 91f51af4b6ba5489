#include "common/Localisation.h"

#include <utility>

#include "platform/os/Os.h"

std::optional<TListedLanguage> FindListedLanguage(TSettingsDocument& list, std::string wanted) {
  if (wanted.empty()) wanted = list.GetString("LanguageDefault", "");
  // The second read leaves the cursor just past the first LanguageFile value, so the pairs are then
  // walked forward from there.
  std::string name = list.GetString("LanguageName", "");
  std::string file = list.GetString("LanguageFile", "");
  while (!name.empty() && !file.empty()) {
    if (name == wanted) return TListedLanguage{std::move(file), std::move(name)};
    name = list.GetNext("LanguageName");
    file = list.GetNext("LanguageFile");
  }
  return std::nullopt;
}

std::optional<TListedLanguage> FindInLanguageList(const std::string& programDirectory,
                                                  const std::string& listFileName,
                                                  const std::string& wanted) {
  TSettingsDocument list(kPlainSettingsForm);
  if (!list.Load(programDirectory + listFileName)) return std::nullopt;
  auto found = FindListedLanguage(list, wanted);
  if (found) found->File = programDirectory + found->File;
  return found;
}

void LoadLanguageFile(TSettingsDocument& document, std::string& filePath, const std::string& path) {
  if (path.empty() || !os::FileExists(path)) {
    document.Clear();
    filePath.clear();
  } else {
    document.Load(path);
    filePath = path;
  }
}

std::string LanguageNameWithoutAmpersand(std::string name) {
  if (!name.empty() && name.front() == '&') name.erase(0, 1);
  return name;
}

void TLanguage::Apply(const std::string& path, const std::string& name, const std::string& section) {
  Name = LanguageNameWithoutAmpersand(name);
  Section = section;
  LoadLanguageFile(Document, FilePath, path);
}

std::string TLanguage::LookupText(const std::string& key, const std::string& builtIn) {
  return Document.GetString(Section + "." + key, builtIn);
}

std::string TLanguage::LookupFullKey(const std::string& fullKey, const std::string& builtIn) {
  return Document.GetString(fullKey, builtIn);
}

std::string CaptionWithShortcut(const std::string& caption, const TMenuShortcut& shortcut,
                                const TShortcutWords& words) {
  std::string text = caption + "\t";
  if (shortcut.Ctrl) text += words.Ctrl + "+";
  if (shortcut.Shift) text += words.Shift + "+";
  if (shortcut.Alt) text += words.Alt + "+";
  if (shortcut.Kind == TShortcutKeyKind::FunctionKey) text += words.F;
  if (shortcut.Kind == TShortcutKeyKind::DeleteKey) text += words.Del;
  if (shortcut.Kind == TShortcutKeyKind::PageUpKey) text += words.PageUp;
  if (shortcut.Kind == TShortcutKeyKind::PageDownKey) text += words.PageDown;
  if (shortcut.KeyText != nullptr) text += shortcut.KeyText;
  return text;
}

std::string FullKey(const TLanguageText& text) { return std::string(text.Section) + "." + text.Name; }
