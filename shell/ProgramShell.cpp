#include "shell/ProgramShell.h"

#include <utility>

#include "imaging/Errors.h"
#include "platform/text/SystemFont.h"

TProgramFolders StartFolders(const TStorageConstants& program) {
  return StartFolders(program, DetermineProgramDirectory(program));
}

TProgramFolders StartFolders(const TStorageConstants& program, const std::string& programDirectory) {
  const TStorageFolders folders = SystemStorageFolders();
  // The user's settings folder itself may not be there yet (a new account without ~/.config): a program
  // that keeps settings there makes it, as the base-directory rules ask.
  if (folders.UserSettings && !folders.UserSettings->empty()) MakeDirectoryPath(*folders.UserSettings);
  const TStorageLocation location = DetermineStorageDirectory(program, programDirectory, folders);
  return {ProgramDataDirectoryOf(program, programDirectory), location.StorageDirectory,
          location.StorageRedirected};
}

TProgramShell::TProgramShell(const TStorageConstants& program, const char* languageList,
                             TProgramFolders folders)
    : program_(program), languageList_(languageList), folders_(std::move(folders)) {}

std::string TProgramShell::SettingsPath() const { return folders_.Storage + program_.SettingsFileName; }

std::optional<TListedLanguage> TProgramShell::FindLanguage(const std::string& wanted) const {
  return FindInLanguageList(folders_.Program, languageList_, wanted);
}

void TProgramShell::WordErrorsIn(ui::Application& app) {
  app.SetErrorText([this](const std::exception& error) {
    const auto* localised = dynamic_cast<const ELocalisedError*>(&error);
    if (localised == nullptr) return std::string(error.what());
    return localised->TextIn([this](const std::string& key, const std::string& english) {
      return Language.LookupFullKey(key, english);
    });
  });
}

void TProgramShell::LoadPlacement(ui::Form& form, TSettingsDocument& settings) {
  // The window was scaled for the screen when it was created: its size now is the designed size at
  // this resolution, and is not scaled a second time.
  const TWindowPos placement =
      ReadWindowPos(settings, ui::ScreenWidth(), ui::ScreenHeight(), form.Width(), form.Height(), 96);
  if (placement.Maximized) {
    form.SetWindowState(ui::WindowState::Maximized);
  } else {
    form.SetBounds(placement.Bounds);
  }
}

void TProgramShell::SavePlacement(const ui::Form& form, TSettingsDocument& settings) {
  WriteWindowPos(settings, form.RestoreState() == ui::WindowState::Maximized, form.RestoreBounds());
}

ui::Font TProgramShell::LoadInterfaceFont(const ui::Form& form, TSettingsDocument& settings) {
  const TInterfaceFont font =
      ReadInterfaceFont(settings, form.GetFont(), form.PixelsPerInch(), ui::IconTitleFont());
  fontSwitches_ = font.Switches;
  designFontHeight_ = font.DesignFontHeight;
  return font.Font;
}

void TProgramShell::SaveInterfaceFont(const ui::Form& form, TSettingsDocument& settings) const {
  WriteInterfaceFont(settings, fontSwitches_, form.GetFont(), form.PixelsPerInch());
}
