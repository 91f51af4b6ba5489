#pragma once
// The operating-system services the shared foundation and the programs use: files, folders, paths,
// special folders and the local time. Implemented by each backend (win32/, headless/); the backend is
// chosen when linking. All texts are 8-bit strings in the system's ANSI code page.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace os {

// ---- Files ------------------------------------------------------------------------------------------

// Writes the bytes to the file, replacing it atomically: the bytes go to a temporary file in the same
// folder, which is then renamed over the target. Returns false when anything failed (folder missing,
// no permission, disk full); the old file, if any, then stays exactly as it was and no temporary file
// is left behind.
bool WriteFileReplacing(const std::string& fileName, std::string_view bytes);

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

enum class SpecialFolder {
  LocalAppData,   // the signed-in user's local application-data folder
  CommonAppData,  // the application-data folder common to all users
};

// The folder's path without a trailing delimiter, or nothing when the system cannot say. owner is the
// window on whose behalf the system is asked (a native window handle; may be null).
std::optional<std::string> GetSpecialFolder(SpecialFolder folder, void* owner = nullptr);

// ---- Time -------------------------------------------------------------------------------------------

struct LocalTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, milliseconds = 0;
};
LocalTime Now();

}  // namespace os
