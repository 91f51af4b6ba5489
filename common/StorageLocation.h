#pragma once
// Where a program finds itself and keeps its settings.
//   program directory: the folder of the running executable; SavePath.ini is looked for there.
//   data directory:    where the language files and documents lie: the program directory when the
//                      language list lies there (a build folder, a portable copy, Windows), else
//                      <program directory>/../share/<shared data folder>/ when that holds it (a program
//                      installed as /usr/bin/letrana has its files in /usr/share/letrana/).
//   storage directory: the folder of the settings file. By default a per-user folder under the user's
//                      settings folder (maker folder, then program folder): the local application-data
//                      folder on Windows, the configuration folder elsewhere. A settings file that an
//                      earlier version kept under another per-user folder (the data folder, on Linux)
//                      is carried over once. A SavePath.ini beside the program can name any existing
//                      folder instead.
//   first-run record:  Installation.ini under the application-data folder common to all users,
//                      written by the glyph exporter on starts that use the default storage folder.
// Directory texts end with the platform's path delimiter; a file path is a directory + a file name.
// Nothing here reports an error: failures fall back to the defaults or are skipped silently.

#include <cstddef>
#include <optional>
#include <string>

// What differs between the two programs.
struct TStorageConstants {
  const char* MakerFolder;       // folder of the maker under the local application-data folder
  const char* ProgramFolder;     // folder of the program's settings under the maker folder
  const char* SettingsFileName;  // the settings file in the storage directory
  std::size_t FullPathBuffer;    // characters available for a full path, terminating NUL included
  bool WritesFirstRunRecord;     // whether a default start writes Installation.ini
  const char* LanguageList;      // the language list, in the data directory
  const char* SharedDataFolder;  // the data directory's name under share/ of an installation
};

// The glyph exporter.
inline constexpr TStorageConstants LetranaStorage{
    "Norvane", "Letrana", "Letrana.ini", 1024, true, "Letrana_Languages.ini", "letrana"};
// The capture tool keeps its settings under the folder of the maker's image viewer.
inline constexpr TStorageConstants SnaporaStorage{
    "Norvane", "Pixolan", "Snapora.ini", 4096, false, "Snapora_Languages.ini", "snapora"};

// The system's per-user and common folders, without trailing delimiters; nothing where the system
// cannot say.
struct TStorageFolders {
  std::optional<std::string> UserSettings;   // the per-user folder the settings go under
  std::optional<std::string> CommonAppData;  // the application-data folder common to all users
  // The per-user folder earlier versions kept the settings under, where it is another one.
  std::optional<std::string> FormerUserSettings;
};
// Asks the system for both folders; owner is the native handle of the asking window (may be null).
TStorageFolders SystemStorageFolders(void* owner = nullptr);

struct TStorageLocation {
  std::string StorageDirectory;
  bool StorageRedirected = false;  // true when SavePath.ini supplied the storage directory
};

// The folder of the given executable file name, made absolute against the current directory, ending
// with the delimiter. When the name cannot be made absolute within fullPathBuffer characters, the
// current directory stands in for it.
std::string ProgramDirectoryOf(const std::string& executableFileName, std::size_t fullPathBuffer);
// Creates the folder and every folder above it that is not there yet; false when it is still not there
// afterwards.
bool MakeDirectoryPath(const std::string& path);

// The program directory of the running executable.
std::string DetermineProgramDirectory(const TStorageConstants& program);
// The data directory of a program directory (see above), ending with the delimiter.
std::string ProgramDataDirectoryOf(const TStorageConstants& program, const std::string& programDirectory);

// Determines the storage directory. Whenever programDirectory + "SavePath.ini" loads, the program
// directory becomes the process's current directory for the rest of the run; an `ApplicationStorage`
// value naming an existing folder (relative values are relative to the program directory) is then
// the storage directory. Otherwise the default folder is created level by level under the local
// application-data folder (the program directory stands in when the system names none), and the
// glyph exporter writes its first-run record. A default folder without a settings file takes a copy of
// the one under the former per-user folder, if there is one (whole or not at all; the old one stays).
TStorageLocation DetermineStorageDirectory(const TStorageConstants& program,
                                           const std::string& programDirectory,
                                           const TStorageFolders& folders);

// The storage directory DetermineStorageDirectory would give, found without changing anything: no
// folder is created, no record written and the current directory stays (a relative ApplicationStorage
// value is taken relative to the program directory). Where the default folder has no settings file yet
// and the former per-user folder has one, that folder is given: its file is the one a start would take
// over. Nothing when the folder does not exist.
std::optional<std::string> FindStorageDirectory(const TStorageConstants& program,
                                                const std::string& programDirectory,
                                                const TStorageFolders& folders);

// Writes Installation.ini into the glyph exporter's folder under the common application-data folder,
// unless a record of this version is there already. Skipped when the system names no such folder.
void WriteFirstRunRecord(const std::string& programDirectory, const TStorageFolders& folders);
