// Paths, folders, special folders and the local time of the Windows backend (KERNEL32, SHELL32).

#include <windows.h>

#include <shlobj.h>

#include <limits>
#include <string>
#include <vector>

#include "platform/os/Os.h"

namespace os {

namespace {

// A text with a NUL byte inside would name a different path than it spells; such input is refused.
bool IsCallable(const std::string& path) { return path.find('\0') == std::string::npos; }

// Win32 takes buffer sizes as DWORD; larger requests are clamped, which only matters beyond 4 GiB.
DWORD ToDword(std::size_t size) {
  return size > std::numeric_limits<DWORD>::max() ? std::numeric_limits<DWORD>::max()
                                                  : static_cast<DWORD>(size);
}

}  // namespace

char PathDelimiter() { return '\\'; }

std::string ExecutableFileName(std::size_t bufferSize) {
  if (bufferSize == 0) return {};
  std::vector<char> buffer(bufferSize);
  const DWORD size = ToDword(bufferSize);
  const DWORD length = GetModuleFileNameA(nullptr, buffer.data(), size);
  // A name that fills the whole buffer was cut off (the call then returns the buffer size).
  if (length == 0 || length >= size) return {};
  return std::string(buffer.data(), length);
}

std::string FullPathName(const std::string& path, std::size_t bufferSize) {
  if (path.empty() || bufferSize == 0 || !IsCallable(path)) return {};
  std::vector<char> buffer(bufferSize);
  const DWORD size = ToDword(bufferSize);
  // On success the call returns the length without the terminating NUL; when the buffer is too small
  // it returns the size needed including it, which is at least the buffer size.
  const DWORD length = GetFullPathNameA(path.c_str(), size, buffer.data(), nullptr);
  if (length == 0 || length >= size) return {};
  return std::string(buffer.data(), length);
}

std::string CurrentDirectory() {
  DWORD needed = GetCurrentDirectoryA(0, nullptr);
  // The directory may change between the two calls; try again with the size then reported.
  for (int attempt = 0; attempt < 4 && needed != 0; ++attempt) {
    std::vector<char> buffer(needed);
    const DWORD length = GetCurrentDirectoryA(needed, buffer.data());
    if (length == 0) return {};
    if (length < needed) return std::string(buffer.data(), length);
    needed = length;
  }
  return {};
}

bool ChangeCurrentDirectory(const std::string& path) {
  return IsCallable(path) && SetCurrentDirectoryA(path.c_str()) != 0;
}

bool DirectoryExists(const std::string& path) {
  if (!IsCallable(path)) return false;
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool FileExists(const std::string& path) {
  if (!IsCallable(path)) return false;
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool MakeDirectory(const std::string& path) {
  return IsCallable(path) && CreateDirectoryA(path.c_str(), nullptr) != 0;
}

bool CreateNewFile(const std::string& path) {
  if (!IsCallable(path)) return false;
  const HANDLE file =
      CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  CloseHandle(file);
  return true;
}

bool RemoveFile(const std::string& path) { return IsCallable(path) && DeleteFileA(path.c_str()) != 0; }

std::optional<std::string> GetSpecialFolder(SpecialFolder folder, void* owner) {
  // The user's settings stay in the local application-data folder.
  const int csidl = folder == SpecialFolder::CommonAppData ? CSIDL_COMMON_APPDATA : CSIDL_LOCAL_APPDATA;
  char buffer[MAX_PATH + 1] = {};
  // No access token (the current user), flags 0: the folder's present path, nothing created.
  if (SHGetFolderPathA(static_cast<HWND>(owner), csidl, nullptr, 0, buffer) != S_OK) return std::nullopt;
  buffer[MAX_PATH] = '\0';
  std::string path(buffer);
  while (!path.empty() && (path.back() == '\\' || path.back() == '/')) path.pop_back();
  if (path.empty()) return std::nullopt;
  return path;
}

LocalTime Now() {
  SYSTEMTIME time{};
  GetLocalTime(&time);
  return LocalTime{time.wYear,   time.wMonth,  time.wDay,         time.wHour,
                   time.wMinute, time.wSecond, time.wMilliseconds};
}

}  // namespace os
