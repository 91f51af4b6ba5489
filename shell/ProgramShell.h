#pragma once
// What both programs' main windows stand on: the program's folders (where it lies, where its settings
// go), the language in force, the interface-font switches kept from load to save, and the window's
// placement in the settings. A main window is given its shell: the program start makes it from the
// running executable (StartFolders), a test from a sandbox folder of its own.

#include <cstdint>
#include <optional>
#include <string>

#include "common/Localisation.h"
#include "common/PersistedSettings.h"
#include "common/SettingsDocument.h"
#include "common/StorageLocation.h"
#include "platform/ui/Forms.h"

// The folders of a run. Each ends with the path delimiter.
struct TProgramFolders {
  std::string Program;             // the program's data folder: language files and documents lie there
                                   // (beside the executable, or its installation's share/ folder)
  std::string Storage;             // the folder of the settings file
  bool StorageRedirected = false;  // true when SavePath.ini named the storage folder
};

// The folders as a start finds them (DetermineStorageDirectory: SavePath.ini beside the program, else
// the per-user folder, created, and the glyph exporter's first-run record): of the running executable,
// or of the given folder of the executable; the data folder is found from there (ProgramDataDirectoryOf).
TProgramFolders StartFolders(const TStorageConstants& program);
TProgramFolders StartFolders(const TStorageConstants& program, const std::string& programDirectory);

class TProgramShell {
 public:
  // languageList: the language list's file name beside the program.
  TProgramShell(const TStorageConstants& program, const char* languageList, TProgramFolders folders);

  const std::string& ProgramDirectory() const { return folders_.Program; }
  const std::string& StorageDirectory() const { return folders_.Storage; }
  bool StorageRedirected() const { return folders_.StorageRedirected; }
  // The settings file in the storage folder.
  std::string SettingsPath() const;

  // The language in force.
  TLanguage Language;
  // The wanted language in the program's language list ("" asks for the list's default), its file
  // with the full path; nothing when the list cannot be read or does not name it.
  std::optional<TListedLanguage> FindLanguage(const std::string& wanted) const;

  // Makes the application's error box word the errors users meet (imaging/Errors.h) in the language
  // in force, from the section "Errors" of its language file.
  void WordErrorsIn(ui::Application& app);

  // The window's placement as the settings give it: maximised, or the bounds read (the designed size
  // of the window as created is the default, centred on the screen). A minimised window is written as
  // it will be restored.
  static void LoadPlacement(ui::Form& form, TSettingsDocument& settings);
  static void SavePlacement(const ui::Form& form, TSettingsDocument& settings);

  // Reads the interface-font switches (kept for SaveInterfaceFont) and the interface font the window
  // takes (ReadInterfaceFont of the window's font and the system's icon-title font).
  ui::Font LoadInterfaceFont(const ui::Form& form, TSettingsDocument& settings);
  void SaveInterfaceFont(const ui::Form& form, TSettingsDocument& settings) const;
  const TInterfaceFontSwitches& FontSwitches() const { return fontSwitches_; }
  std::int32_t DesignFontHeight() const { return designFontHeight_; }

 private:
  const TStorageConstants& program_;
  const char* languageList_;
  TProgramFolders folders_;
  TInterfaceFontSwitches fontSwitches_;
  std::int32_t designFontHeight_ = 0;
};
