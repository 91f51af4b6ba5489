#include "common/StorageLocation.h"

#include <cstdio>
#include <string_view>

#include "common/ProgramVersion.h"
#include "common/SettingsDocument.h"
#include "platform/os/Os.h"

namespace {

constexpr const char* kRedirectionFileName = "SavePath.ini";
constexpr const char* kRedirectionKey = "ApplicationStorage";

constexpr const char* kRecordFileName = "Installation.ini";
constexpr const char* kRecordVersion = "Version " LETRANA_VERSION " (" LETRANA_VERSION_DATE ")";

bool IsNamed(const std::optional<std::string>& folder) { return folder && !folder->empty(); }

std::string WithDelimiter(std::string directory) {
  const char delimiter = os::PathDelimiter();
  if (directory.empty() || directory.back() != delimiter) directory += delimiter;
  return directory;
}

// "yyyy-mm-dd hh:nn:ss"
std::string FormatInstallDate(const os::LocalTime& time) {
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", time.year, time.month, time.day,
                time.hour, time.minute, time.second);
  return text;
}

// Appends one folder level to a directory and creates it; a level that cannot be created (it exists
// already, or its parent is missing) is passed over.
std::string AppendAndCreate(const std::string& directory, const char* folder) {
  std::string result = directory + folder + os::PathDelimiter();
  os::MakeDirectory(result);
  return result;
}

// The program's default storage folder under a per-user folder.
std::string DefaultFolderUnder(const std::string& userFolder, const TStorageConstants& program) {
  const char d = os::PathDelimiter();
  return userFolder + d + program.MakerFolder + d + program.ProgramFolder + d;
}

// The settings file an earlier version kept under the former per-user folder, copied into a default
// storage folder that has none. Whole or not at all; the old file stays as it is.
void CarryOverFormerSettings(const TStorageConstants& program, const std::string& storageDirectory,
                             const TStorageFolders& folders) {
  if (!IsNamed(folders.FormerUserSettings)) return;
  const std::string target = storageDirectory + program.SettingsFileName;
  if (os::FileExists(target)) return;
  const auto bytes =
      os::ReadWholeFile(DefaultFolderUnder(*folders.FormerUserSettings, program) + program.SettingsFileName);
  if (!bytes) return;
  // A copy that cannot be written is left out: the program then starts with its defaults, as before.
  os::WriteFileReplacing(target,
                         std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()));
}

}  // namespace

TStorageFolders SystemStorageFolders(void* owner) {
  TStorageFolders folders{os::GetSpecialFolder(os::SpecialFolder::UserSettings, owner),
                          os::GetSpecialFolder(os::SpecialFolder::CommonAppData, owner),
                          os::GetSpecialFolder(os::SpecialFolder::LocalAppData, owner)};
  // Where the settings have always been under the local application-data folder, nothing is former.
  if (folders.FormerUserSettings == folders.UserSettings) folders.FormerUserSettings.reset();
  return folders;
}

std::string ProgramDirectoryOf(const std::string& executableFileName, std::size_t fullPathBuffer) {
  const std::string fullName = os::FullPathName(executableFileName, fullPathBuffer);
  const std::size_t last = fullName.rfind(os::PathDelimiter());
  if (last != std::string::npos) return fullName.substr(0, last + 1);
  // No usable name: the directory the program was started in is the best guess left.
  return WithDelimiter(os::CurrentDirectory());
}

bool MakeDirectoryPath(const std::string& path) {
  if (path.empty() || os::DirectoryExists(path)) return !path.empty();
  const std::string trimmed = path.back() == os::PathDelimiter() ? path.substr(0, path.size() - 1) : path;
  const std::size_t last = trimmed.rfind(os::PathDelimiter());
  if (last != std::string::npos && last > 0) MakeDirectoryPath(trimmed.substr(0, last));
  os::MakeDirectory(trimmed);
  return os::DirectoryExists(trimmed);
}

std::string DetermineProgramDirectory(const TStorageConstants& program) {
  return ProgramDirectoryOf(os::ExecutableFileName(program.FullPathBuffer), program.FullPathBuffer);
}

std::string ProgramDataDirectoryOf(const TStorageConstants& program, const std::string& programDirectory) {
  if (os::FileExists(programDirectory + program.LanguageList)) return programDirectory;
  const char d = os::PathDelimiter();
  const std::string shared = os::FullPathName(
      programDirectory + ".." + d + "share" + d + program.SharedDataFolder + d, program.FullPathBuffer);
  if (!shared.empty() && os::FileExists(shared + program.LanguageList)) return WithDelimiter(shared);
  return programDirectory;
}

TStorageLocation DetermineStorageDirectory(const TStorageConstants& program,
                                           const std::string& programDirectory,
                                           const TStorageFolders& folders) {
  TStorageLocation location;

  TSettingsDocument redirection(kPlainSettingsForm);
  if (redirection.Load(programDirectory + kRedirectionFileName)) {
    const std::string value = redirection.GetString(kRedirectionKey, "");
    // From here on a relative value, and every relative path of the run, is relative to the program.
    os::ChangeCurrentDirectory(programDirectory);
    if (os::DirectoryExists(value)) {
      const std::string absolute = os::FullPathName(value, program.FullPathBuffer);
      if (!absolute.empty()) {
        location.StorageDirectory = WithDelimiter(absolute);
        location.StorageRedirected = true;
      }
    }
  }

  if (!location.StorageRedirected) {
    if (IsNamed(folders.UserSettings)) {
      const std::string maker =
          AppendAndCreate(*folders.UserSettings + os::PathDelimiter(), program.MakerFolder);
      location.StorageDirectory = AppendAndCreate(maker, program.ProgramFolder);
      CarryOverFormerSettings(program, location.StorageDirectory, folders);
    } else {
      // Without a per-user folder the settings live beside the program, as on a portable drive.
      location.StorageDirectory = programDirectory;
    }
    if (program.WritesFirstRunRecord) WriteFirstRunRecord(programDirectory, folders);
  }
  return location;
}

std::optional<std::string> FindStorageDirectory(const TStorageConstants& program,
                                                const std::string& programDirectory,
                                                const TStorageFolders& folders) {
  TSettingsDocument redirection(kPlainSettingsForm);
  if (redirection.Load(programDirectory + kRedirectionFileName)) {
    const std::string value = redirection.GetString(kRedirectionKey, "");
    // Absolute: from the root, a drive ("C:") or a share; anything else is relative to the program.
    const bool absolute = !value.empty() && (value[0] == os::PathDelimiter() || value[0] == '/' ||
                                             (value.size() > 1 && value[1] == ':'));
    const std::string folder = absolute || value.empty() ? value : programDirectory + value;
    if (!value.empty() && os::DirectoryExists(folder)) {
      const std::string full = os::FullPathName(folder, program.FullPathBuffer);
      if (!full.empty()) return WithDelimiter(full);
    }
  }
  std::string directory = programDirectory;
  if (IsNamed(folders.UserSettings)) {
    directory = DefaultFolderUnder(*folders.UserSettings, program);
    // Not carried over yet: the former file is the one to read.
    if (IsNamed(folders.FormerUserSettings) && !os::FileExists(directory + program.SettingsFileName)) {
      const std::string former = DefaultFolderUnder(*folders.FormerUserSettings, program);
      if (os::FileExists(former + program.SettingsFileName)) return former;
    }
  }
  if (!os::DirectoryExists(directory)) return std::nullopt;
  return directory;
}

void WriteFirstRunRecord(const std::string& programDirectory, const TStorageFolders& folders) {
  if (!IsNamed(folders.CommonAppData)) return;
  const std::string maker =
      AppendAndCreate(*folders.CommonAppData + os::PathDelimiter(), LetranaStorage.MakerFolder);
  const std::string directory = AppendAndCreate(maker, LetranaStorage.ProgramFolder);
  const std::string record = directory + kRecordFileName;

  TSettingsDocument document(kPlainSettingsForm);
  if (os::FileExists(record) && document.Load(record) &&
      document.GetString("Version", "") == kRecordVersion) {
    return;
  }
  document.Clear();
  document.SetString("InstallationDirectory", programDirectory);
  document.SetString("LanguageFile", LetranaStorage.LanguageList);
  document.SetString("IniFile", LetranaStorage.SettingsFileName);
  document.SetString("Version", kRecordVersion);
  document.SetString("InstallDate", FormatInstallDate(os::Now()));
  // A record that cannot be written is left out; nothing depends on it during the run.
  document.Save(record);
}
