// Files on Windows: whole-file replacement through a temporary file and MoveFileExA.

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <string>

#include "platform/Os.h"

namespace {

// Owns a file handle; Close() reports whether the system accepted the closing.
class FileHandle {
 public:
  FileHandle() = default;
  explicit FileHandle(HANDLE handle) : handle_(handle) {}
  ~FileHandle() {
    if (Valid()) ::CloseHandle(handle_);
  }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  FileHandle& operator=(FileHandle&& other) noexcept {
    std::swap(handle_, other.handle_);
    return *this;
  }

  HANDLE Get() const { return handle_; }
  bool Valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  bool Close() {
    const HANDLE handle = handle_;
    handle_ = INVALID_HANDLE_VALUE;
    return handle != INVALID_HANDLE_VALUE && ::CloseHandle(handle) != 0;
  }

 private:
  HANDLE handle_ = INVALID_HANDLE_VALUE;
};

// Deletes the temporary file unless it has been moved into place; the handle must be closed first,
// which is why the handle is declared after this guard.
class TemporaryFile {
 public:
  TemporaryFile() = default;
  ~TemporaryFile() {
    if (!path_.empty() && !kept_) ::DeleteFileA(path_.c_str());
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  void Set(std::string path) { path_ = std::move(path); }
  const std::string& Path() const { return path_; }
  void Keep() { kept_ = true; }

 private:
  std::string path_;
  bool kept_ = false;
};

bool WriteAll(HANDLE handle, std::string_view bytes) {
  constexpr std::size_t kPiece = 1u << 24;
  while (!bytes.empty()) {
    const DWORD piece = static_cast<DWORD>(std::min(bytes.size(), kPiece));
    DWORD written = 0;
    if (!::WriteFile(handle, bytes.data(), piece, &written, nullptr) || written == 0) return false;
    bytes.remove_prefix(written);
  }
  return true;
}

// The folder part of a file name, delimiter included ("" for a bare name).
std::string FolderOf(const std::string& fileName) {
  const std::size_t last = fileName.find_last_of("\\/:");
  return last == std::string::npos ? std::string() : fileName.substr(0, last + 1);
}

}  // namespace

namespace os {

bool WriteFileReplacing(const std::string& fileName, std::string_view bytes) {
  if (fileName.empty()) return false;
  const DWORD existing = ::GetFileAttributesA(fileName.c_str());
  // A folder is never replaced, and a read-only file keeps its content as it would when written in
  // place (the move alone would not refuse it everywhere).
  if (existing != INVALID_FILE_ATTRIBUTES &&
      (existing & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY))) {
    return false;
  }
  // A hidden or system settings file stays so.
  const DWORD kept =
      existing == INVALID_FILE_ATTRIBUTES ? 0 : existing & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
  const DWORD attributes = kept != 0 ? kept : FILE_ATTRIBUTE_NORMAL;

  // A fresh, short name in the target's folder, so that the move stays on one volume and the path
  // stays within the classic length limit as far as the target does.
  static std::atomic<unsigned> counter{0};
  const std::string folder = FolderOf(fileName);
  TemporaryFile temp;
  FileHandle file;
  for (int attempt = 0; attempt < 100 && !file.Valid(); ++attempt) {
    char name[32];
    std::snprintf(name, sizeof name, "~%lx-%x.tmp", static_cast<unsigned long>(::GetCurrentProcessId()),
                  counter++);
    const std::string candidate = folder + name;
    file = FileHandle(
        ::CreateFileA(candidate.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, attributes, nullptr));
    if (file.Valid()) {
      temp.Set(candidate);
    } else if (const DWORD error = ::GetLastError();
               error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) {
      return false;
    }
  }
  if (!file.Valid()) return false;

  if (!WriteAll(file.Get(), bytes)) return false;
  // The content must be on the disk before the move makes it the file.
  if (!::FlushFileBuffers(file.Get())) return false;
  if (!file.Close()) return false;
  if (!::MoveFileExA(temp.Path().c_str(), fileName.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return false;
  }
  temp.Keep();
  return true;
}

}  // namespace os

namespace os {

bool StandardErrorIsTerminal() {
  // Only a console has a console mode; a redirected handle (file or pipe) has none.
  DWORD mode = 0;
  const HANDLE handle = GetStdHandle(STD_ERROR_HANDLE);
  return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) != 0;
}

}  // namespace os
