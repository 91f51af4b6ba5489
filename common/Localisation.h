#pragma once
// The user-interface language of both programs.
//   language list: a plain-form settings document beside the program ("Letrana_Languages.ini",
//                  "Snapora_Languages.ini") with the key LanguageDefault once and LanguageName /
//                  LanguageFile pairs, one pair per language, in file order.
//   language file: a plain-form settings document beside the program with one entry per text, keyed
//                  section + "." + name ("FrmMain.MenFile"); an entry with an empty value counts as
//                  missing, and a missing text keeps its built-in English one.
// Each program lists the keys of its windows with their built-in texts in its own table
// (letrana/Texts.h, snapora/Texts.h). Nothing here reports an error: every failure falls back to the
// built-in texts.

#include <array>
#include <cstddef>
#include <optional>
#include <string>

#include "common/SettingsDocument.h"

// ---- The language list ------------------------------------------------------------------------------

// One language of the list: its file name as the list gives it (relative to the program directory)
// or, from FindInLanguageList, the full path; and its name as listed (a leading ampersand kept).
struct TListedLanguage {
  std::string File;
  std::string Name;
  bool operator==(const TListedLanguage&) const = default;
};

// Searches a loaded list for the wanted language; an empty wanted name asks for the list's
// LanguageDefault. The pairs are read in file order (GetString of the first LanguageName and
// LanguageFile, then GetNext of each) and compared exactly, case included; the search ends at the
// first pair whose name or file is empty, so later pairs are then never reached.
std::optional<TListedLanguage> FindListedLanguage(TSettingsDocument& list, std::string wanted);

// Loads programDirectory + listFileName as a plain-form document and searches it as above; a found
// language's File is programDirectory + its file name. Nothing when the list cannot be loaded or does
// not name the language.
std::optional<TListedLanguage> FindInLanguageList(const std::string& programDirectory,
                                                  const std::string& listFileName, const std::string& wanted);

// A language name as it is kept and written to the settings: without one leading ampersand.
std::string LanguageNameWithoutAmpersand(std::string name);

// ---- The language in force --------------------------------------------------------------------------

// Makes the file at path the language file in force in the document: a path that is empty or names no
// existing file clears the document and the file path; otherwise the file is loaded and becomes the
// file path (a load that fails, for example of an empty file, leaves the texts of the previous file).
void LoadLanguageFile(TSettingsDocument& document, std::string& filePath, const std::string& path);

// What a main window holds of its language for the whole run.
class TLanguage {
 public:
  // The language file in force (plain form); empty until a file is applied.
  TSettingsDocument Document{kPlainSettingsForm};
  // Full path of the language file in force; empty when none.
  std::string FilePath;
  // Name of the language in force, without a leading ampersand; empty when none.
  std::string Name;
  // The section LookupText reads from.
  std::string Section;

  // Makes a language the one in force: Name = name without its leading ampersand, Section = section;
  // a path that is empty or names no existing file clears the document and FilePath, otherwise the
  // file is loaded and becomes FilePath (a load that fails, for example of an empty file, leaves the
  // texts of the previous file in the document).
  void Apply(const std::string& path, const std::string& name, const std::string& section);

  // The text of key in the current section (Section + "." + key), or builtIn when the language has
  // none or an empty one.
  std::string LookupText(const std::string& key, const std::string& builtIn);
  // The same with the full key given by the caller ("FrmSnap.LblSelect").
  std::string LookupFullKey(const std::string& fullKey, const std::string& builtIn);
};

// ---- Shortcut texts ---------------------------------------------------------------------------------

// The localised names of the keys a shortcut text is made of; the built-in English words by default.
struct TShortcutWords {
  std::string Shift = "Shift";
  std::string Ctrl = "Ctrl";
  std::string Alt = "Alt";
  std::string Del = "Del";
  std::string F = "F";
  std::string PageUp = "PgUp";
  std::string PageDown = "PgDn";
};

enum class TShortcutKeyKind { Character, FunctionKey, DeleteKey, PageUpKey, PageDownKey };

// A key combination as a menu shows it: modifiers, the kind of key, and the key's own text ("S" for
// Ctrl+S, "1" for F1, "" for Delete).
struct TMenuShortcut {
  bool Ctrl = false;
  bool Shift = false;
  bool Alt = false;
  TShortcutKeyKind Kind = TShortcutKeyKind::Character;
  const char* KeyText = "";
};

// caption + tab + [Ctrl word "+"] [Shift word "+"] [Alt word "+"] [F word] [Del word] [page key's word]
// + key text.
// The tab puts the shortcut at the right edge of the menu.
std::string CaptionWithShortcut(const std::string& caption, const TMenuShortcut& shortcut,
                                const TShortcutWords& words);

// ---- The texts of both programs ---------------------------------------------------------------------

inline constexpr std::size_t kMaxTextTargets = 3;

// One translatable text: its section and name (the language file's key is Section + "." + Name), the
// built-in English text, and the members it is set into, in order (captions of the controls named, or
// the member of that name for texts kept in members); unused targets are null.
struct TLanguageText {
  const char* Section;
  const char* Name;
  const char* BuiltIn;
  std::array<const char*, kMaxTextTargets> Targets;
};

// Section + "." + Name.
std::string FullKey(const TLanguageText& text);

// A menu item that shows a shortcut text, by the item's name, and its shortcut.
struct TMenuShortcutText {
  const char* Item;
  TMenuShortcut Shortcut;
};
