#pragma once
// The operating-system services everything above builds on: files, folders, paths, special folders,
// the system's colours and the local time. No user interface and no pictures. Implemented for each
// system (platform/win32/, platform/posix/), chosen when linking; the one portable part is in Os.cpp.
// All texts are 8-bit strings in the system's ANSI code page.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace os {

// ---- Files ------------------------------------------------------------------------------------------

// A file written whole or not at all: the one way every writer of the programs (the pictures, the
// settings files, the metrics file) puts a file in place. The bytes go to a temporary file beside the
// target (the target's name + ".~<number>.tmp", a name no file has yet), which is flushed to the disk,
// closed and only then moved over the target. Whatever fails on the way, the file the target names
// stays exactly as it was and no temporary file is left behind. A symbolic link stays a link: the file
// it names is replaced, with its permissions (and a hidden or system file on Windows stays so). A
// device or pipe (NUL, /dev/full, a named pipe) cannot be replaced: it is written in place.
class ReplacingFile {
 public:
  enum class Result {
    Done,           // the new file has the target's name
    WriteFailed,    // the data did not all reach the disk (a full disk)
    CannotReplace,  // the written file could not take the target's place
  };

  ReplacingFile();
  // Without a Commit that succeeded: the temporary file is closed and removed.
  ~ReplacingFile();
  ReplacingFile(const ReplacingFile&) = delete;
  ReplacingFile& operator=(const ReplacingFile&) = delete;

  // Opens the temporary file (or the device). False, with nothing created, when the target cannot be
  // created or replaced: an empty name, a folder of that name, a file this process may not write
  // (read-only, immutable, locked by another program), or a folder that does not exist or cannot be
  // written.
  bool Open(const std::string& fileName);
  // Writes all the bytes; false when they did not all go (the file stays open for Discard).
  bool Write(const void* data, std::size_t size);
  // Flushes the data to the disk, closes the file and moves it over the target. On any failure the
  // target stays as it was and the temporary file is gone.
  Result Commit();
  // Closes and removes the temporary file, if any; never fails.
  void Discard() noexcept;

 private:
  struct State;  // the system's own handles (per system)
  // Per system: the bytes to the open file, unbuffered; and the flush, close and move of Commit.
  bool WriteThrough(const void* data, std::size_t size);
  Result Finish();
  // The bytes gathered by Write to the open file.
  bool FlushBuffer();

  std::unique_ptr<State> state_;
  std::vector<char> buffer_;  // small writes gathered into large ones
};

// The whole bytes as a ReplacingFile writes them. Returns false when anything failed (folder missing,
// no permission, disk full); the old file, if any, then stays exactly as it was.
bool WriteFileReplacing(const std::string& fileName, std::string_view bytes);
// A whole file's bytes; nothing when it cannot be opened or read.
std::optional<std::vector<std::uint8_t>> ReadWholeFile(const std::string& fileName);

// The program's command-line arguments (without its name) in UTF-8: on Windows, where a program's argv is
// in the ANSI code page, read again from the system's own Unicode command line; elsewhere argv as it is.
std::vector<std::string> Utf8Arguments(int argc, char** argv);

// True when the process's standard error stream is an interactive terminal (a console), not a file
// or a pipe: progress shown there goes over one line again and again, which is noise in a log.
bool StandardErrorIsTerminal();

// ---- Paths and folders ------------------------------------------------------------------------------

// The path delimiter of the platform: '\\' on Windows, '/' elsewhere.
char PathDelimiter();

// The full file name of the running executable; empty text on failure or when the name would not fit
// into bufferSize - 1 characters (a cut-off name would name another folder).
std::string ExecutableFileName(std::size_t bufferSize);

// The absolute form of a path, made against the current directory; empty text on failure or when it
// would not fit into bufferSize characters.
std::string FullPathName(const std::string& path, std::size_t bufferSize);

// The process's current directory (without a trailing delimiter, unless it is a root).
std::string CurrentDirectory();
bool ChangeCurrentDirectory(const std::string& path);

// True when the path names an existing directory / an existing file that is not a directory.
bool DirectoryExists(const std::string& path);
bool FileExists(const std::string& path);

// (Names differ from the Win32 calls on purpose: those are macros in <windows.h>.)
// Creates one directory level; false when it could not be created (for example it exists already).
bool MakeDirectory(const std::string& path);
// Creates the file, empty, only where nothing of that name exists, in one step: of two programs that
// ask for one name at once, one gets it. False when it exists already or cannot be created.
bool CreateNewFile(const std::string& path);
// Removes a file; false when it could not be removed.
bool RemoveFile(const std::string& path);

enum class SpecialFolder {
  LocalAppData,   // the signed-in user's local application-data folder
  CommonAppData,  // the application-data folder common to all users
  UserSettings,   // where the signed-in user's programs keep their settings: on Windows the local
                  // application-data folder itself, elsewhere the user's configuration folder
};

// The folder's path without a trailing delimiter, or nothing when the system cannot say. owner is the
// window on whose behalf the system is asked (a native window handle; may be null).
std::optional<std::string> GetSpecialFolder(SpecialFolder folder, void* owner = nullptr);

// ---- Colours ----------------------------------------------------------------------------------------

// The colour of a system colour (by its index, as the system numbers them: 15 the button face) in the
// system's present scheme, as 0x00BBGGRR; 0 for an index the system does not know. Where the system
// has no colour scheme (the POSIX backend), the colours of the standard Windows scheme.
std::uint32_t SystemColor(int index);

// ---- Time -------------------------------------------------------------------------------------------

struct LocalTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, milliseconds = 0;
};
LocalTime Now();

}  // namespace os
