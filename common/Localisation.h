#pragma once
// The user-interface language of both programs.
//   language list: a plain-form settings document beside the program ("Letrana_Languages.ini",
//                  "Snapora_Languages.ini") with the key LanguageDefault once and LanguageName /
//                  LanguageFile pairs, one pair per language, in file order.
//   language file: a plain-form settings document beside the program with one entry per text, keyed
//                  section + "." + name ("FrmMain.MenFile"); an entry with an empty value counts as
//                  missing, and a missing text keeps its built-in English one.
// The tables below list every key of both programs with its built-in text, in the order the windows
// set them. Nothing here reports an error: every failure falls back to the built-in texts.

#include <array>
#include <cstddef>
#include <optional>
#include <string>

#include "common/class_init.h"

// ---- The language list ------------------------------------------------------------------------------

inline constexpr const char* kLetranaLanguageList = "Letrana_Languages.ini";
inline constexpr const char* kSnaporaLanguageList = "Snapora_Languages.ini";

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
std::optional<TListedLanguage> FindListedLanguage(class_init& list, std::string wanted);

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
void LoadLanguageFile(class_init& document, std::string& filePath, const std::string& path);

// What a main window holds of its language for the whole run.
class TLanguage {
 public:
  // The language file in force (plain form); empty until a file is applied.
  class_init Document{0};
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
};

enum class TShortcutKeyKind { Character, FunctionKey, DeleteKey };

// A key combination as a menu shows it: modifiers, the kind of key, and the key's own text ("S" for
// Ctrl+S, "1" for F1, "" for Delete).
struct TMenuShortcut {
  bool Ctrl = false;
  bool Shift = false;
  bool Alt = false;
  TShortcutKeyKind Kind = TShortcutKeyKind::Character;
  const char* KeyText = "";
};

// caption + tab + [Ctrl word "+"] [Shift word "+"] [Alt word "+"] [F word] [Del word] + key text.
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

inline constexpr const char* kLetranaMainSection = "FrmMain";
inline constexpr const char* kLetranaInfoSection = "FrmInfo";
inline constexpr const char* kSnaporaMainSection = "FrmSnap";
inline constexpr const char* kSnaporaViewerSection = "FrmFull";
inline constexpr const char* kSnaporaFileNameSection = "FrmSave";

// The glyph exporter's main window, in the order its texts are set.
inline constexpr TLanguageText kLetranaMainTexts[] = {
    {"FrmMain", "m_aMenScShift", "Shift", {"m_aMenScShift"}},
    {"FrmMain", "m_aMenScCtrl", "Ctrl", {"m_aMenScCtrl"}},
    {"FrmMain", "m_aMenScAlt", "Alt", {"m_aMenScAlt"}},
    {"FrmMain", "m_aMenScDelete", "Del", {"m_aMenScDelete"}},
    {"FrmMain", "m_aMenScF", "F", {"m_aMenScF"}},
    {"FrmMain", "MenFile", "File", {"MenFile"}},
    {"FrmMain", "MenGenerateImages", "Generate images", {"MenGenerateImages"}},
    {"FrmMain", "MenExport", "Export font...", {"MenExport", "BtnExport"}},
    {"FrmMain", "MenExit", "Exit", {"MenExit"}},
    {"FrmMain", "MenEdit", "Edit", {"MenEdit"}},
    {"FrmMain", "MenSelectFont", "Select font", {"MenSelectFont", "BtnSelectFont"}},
    {"FrmMain", "MenSelectFontColor", "Select font color", {"MenSelectFontColor", "BtnSelectFontColor"}},
    {"FrmMain",
     "MenSelectBackgroundColor",
     "Select background color",
     {"MenSelectBackgroundColor", "BtnSelectBackgroundColor"}},
    {"FrmMain", "MenSelectAll", "Select all", {"MenSelectAll"}},
    {"FrmMain", "MenInvertSelection", "Invert selection", {"MenInvertSelection"}},
    {"FrmMain", "MenCopyCharacter", "Copy character", {"MenCopyCharacter", "PopCopyCharacter"}},
    {"FrmMain", "MenCopyImage", "Copy image", {"MenCopyImage", "PopCopyImage", "BtnCopyImage"}},
    {"FrmMain", "MenUsage", "Help", {"MenUsage"}},
    {"FrmMain", "MenInfo", "Info", {"MenInfo"}},
    {"FrmMain", "MenLicense", "License", {"MenLicense"}},
    {"FrmMain", "MenReadMe", "Changes", {"MenReadMe"}},
    {"FrmMain", "MenCheckUpdate", "Check for update", {"MenCheckUpdate"}},
    {"FrmMain", "LblPreview", "Preview:", {"LblPreview"}},
    {"FrmMain", "LblFontName", "Font name:", {"LblFontName"}},
    {"FrmMain", "LblFontSize", "Font size:", {"LblFontSize"}},
    {"FrmMain", "m_aMGeneratingPreview", "Generating preview...", {"m_aMGeneratingPreview"}},
    {"FrmMain", "m_aMSaving", "Saving...", {"m_aMSaving"}},
    {"FrmMain", "m_aMPngWithAlpha", "PNG with alpha", {"m_aMPngWithAlpha"}},
};

// The glyph exporter's about box: only its OK button takes a language text.
inline constexpr TLanguageText kLetranaInfoTexts[] = {
    {"FrmInfo", "BtnOK", "OK", {"BtnOK"}},
};

// The glyph exporter's menu items that show a shortcut text, in the order the texts are appended.
struct TMenuShortcutText {
  const char* Item;
  TMenuShortcut Shortcut;
};
inline constexpr TMenuShortcutText kLetranaMenuShortcuts[] = {
    {"MenExport", {.Ctrl = true, .KeyText = "S"}},
    {"MenGenerateImages", {.Ctrl = true, .KeyText = "G"}},
    {"MenExit", {.Ctrl = true, .KeyText = "Q"}},
    {"MenSelectAll", {.Ctrl = true, .KeyText = "A"}},
    {"MenInvertSelection", {.Ctrl = true, .KeyText = "I"}},
    {"MenCopyCharacter", {.Ctrl = true, .Shift = true, .KeyText = "C"}},
    {"MenCopyImage", {.Ctrl = true, .KeyText = "C"}},
    {"MenUsage", {.Kind = TShortcutKeyKind::FunctionKey, .KeyText = "1"}},
};

// The capture tool's main window, in the order its texts are set.
inline constexpr TLanguageText kSnaporaMainTexts[] = {
    {"FrmSnap", "LblSelect", "Select window to be captured:", {"LblSelect"}},
    {"FrmSnap", "LblPreview", "Preview:", {"LblPreview"}},
    {"FrmSnap", "m_aMDesktop", "Desktop", {"DesktopLabel"}},
    {"FrmSnap", "m_aMScreen", "Screen", {"ScreenLabel"}},
    {"FrmSnap", "m_aMEnlarge", "Doubleclick to enlarge", {"EnlargeHint"}},
    {"FrmSnap", "m_aMNotAvailable", "No image available", {"NoImageHint"}},
    {"FrmSnap", "BtnRefresh", "Refresh", {"BtnRefresh"}},
    {"FrmSnap", "BtnCapture", "Capture", {"BtnCapture"}},
    {"FrmSnap", "ChbDefineRect", "Define rect to capture [pixel]", {"ChbDefineRect"}},
    {"FrmSnap", "LblLeft", "Left:", {"LblLeft"}},
    {"FrmSnap", "LblTop", "Top:", {"LblTop"}},
    {"FrmSnap", "LblWidth", "Width:", {"LblWidth"}},
    {"FrmSnap", "LblHeight", "Height:", {"LblHeight"}},
    {"FrmSnap", "ChbClient", "Capture client area only", {"ChbClient"}},
    {"FrmSnap", "ChbToFile", "Capture to file", {"ChbToFile"}},
    {"FrmSnap", "ChbAutoCapture", "Auto capture each [sec]", {"ChbAutoCapture"}},
    {"FrmSnap", "ChbKeyboard", "Use keyboard to capture", {"ChbKeyboard"}},
    {"FrmSnap", "ChbAskName", "Ask for filename before saving", {"ChbAskName"}},
    {"FrmSnap", "PopSaveAs", "Save as...", {"PopSaveAs"}},
    {"FrmSnap", "BtnOk", "OK", {"BtnOk"}},
};

// The capture tool's viewer, at each show: MenFile, then MenSaveAs (whose caption PopSaveAs takes
// over), then the Ctrl word, after which MenSaveAs gets tab + Ctrl word + "+S".
inline constexpr TLanguageText kSnaporaViewerTexts[] = {
    {"FrmFull", "MenFile", "File", {"MenFile"}},
    {"FrmFull", "MenSaveAs", "Save as...", {"MenSaveAs", "PopSaveAs"}},
    {"FrmFull", "m_aMenScCtrl", "Ctrl", {"m_aMenScCtrl"}},
};

// The capture tool's file-name dialog, at each show.
inline constexpr TLanguageText kSnaporaFileNameTexts[] = {
    {"FrmSave", "BtnCancel", "Cancel", {"BtnCancel"}},
    {"FrmSave", "BtnOk", "OK", {"BtnOk"}},
    {"FrmSave", "LblFileName", "Select a filename", {"LblFileName"}},
};
