// Files on Windows: the whole-or-nothing replacement through a temporary file, FlushFileBuffers and
// MoveFileExA; the system's colours.

#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <algorithm>
#include <string>

#include "platform/os/Os.h"

namespace {

// How many numbered names are tried for a temporary file before giving up.
constexpr int kNameAttempts = 1000;

bool Valid(HANDLE handle) { return handle != INVALID_HANDLE_VALUE; }

}  // namespace

namespace os {

struct ReplacingFile::State {
  HANDLE handle = INVALID_HANDLE_VALUE;
  std::string target;
  std::string temporary;  // the file written; empty when the target is written in place
};

ReplacingFile::ReplacingFile() : state_(std::make_unique<State>()) {}

ReplacingFile::~ReplacingFile() { Discard(); }

bool ReplacingFile::Open(const std::string& fileName) {
  Discard();
  if (fileName.empty()) return false;
  state_->target = fileName;
  const DWORD existing = ::GetFileAttributesA(fileName.c_str());
  // A folder is never replaced, and a read-only file keeps its content as it would when written in
  // place (the move alone would not refuse it everywhere, nor would an open by a privileged user).
  if (existing != INVALID_FILE_ATTRIBUTES &&
      (existing & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) != 0)
    return false;
  // An existing file must be one this process may write: opening it for writing changes nothing and
  // fails where writing would (read-only, locked by another program, no access). A device (NUL, or
  // /dev/full through Wine's drive Z:) is often not found by its name at all: it shows only when
  // opened, and is then written in place.
  const HANDLE probe = ::CreateFileA(fileName.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                     nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (Valid(probe)) {
    if (::GetFileType(probe) != FILE_TYPE_DISK) {
      state_->handle = probe;
      return true;
    }
    ::CloseHandle(probe);
  } else if (existing != INVALID_FILE_ATTRIBUTES) {
    return false;
  }
  // A hidden or system file stays so.
  const DWORD kept =
      existing == INVALID_FILE_ATTRIBUTES ? 0 : existing & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
  for (int number = 1; number <= kNameAttempts; ++number) {
    const std::string name = fileName + ".~" + std::to_string(number) + ".tmp";
    state_->handle = ::CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                   kept != 0 ? kept : FILE_ATTRIBUTE_NORMAL, nullptr);
    if (Valid(state_->handle)) {
      state_->temporary = name;
      return true;
    }
    const DWORD error = ::GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) return false;
  }
  return false;
}

bool ReplacingFile::WriteThrough(const void* data, std::size_t size) {
  constexpr std::size_t kPiece = 1u << 24;
  const char* bytes = static_cast<const char*>(data);
  while (size > 0) {
    const DWORD piece = static_cast<DWORD>(std::min(size, kPiece));
    DWORD written = 0;
    if (!Valid(state_->handle) || !::WriteFile(state_->handle, bytes, piece, &written, nullptr) ||
        written == 0)
      return false;
    bytes += written;
    size -= written;
  }
  return true;
}

ReplacingFile::Result ReplacingFile::Finish() {
  if (!Valid(state_->handle)) return Result::WriteFailed;
  // The content must be on the disk before the move makes it the file. (A device written in place
  // has nothing to flush.)
  const bool flushed = state_->temporary.empty() || ::FlushFileBuffers(state_->handle) != 0;
  const bool closed = ::CloseHandle(state_->handle) != 0;
  state_->handle = INVALID_HANDLE_VALUE;
  if (!flushed || !closed) {
    Discard();
    return Result::WriteFailed;
  }
  if (state_->temporary.empty()) return Result::Done;
  if (!::MoveFileExA(state_->temporary.c_str(), state_->target.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    Discard();
    return Result::CannotReplace;
  }
  state_->temporary.clear();
  return Result::Done;
}

void ReplacingFile::Discard() noexcept {
  buffer_.clear();
  if (!state_) return;
  if (Valid(state_->handle)) ::CloseHandle(state_->handle);
  state_->handle = INVALID_HANDLE_VALUE;
  if (!state_->temporary.empty()) ::DeleteFileA(state_->temporary.c_str());
  state_->temporary.clear();
}

std::uint32_t SystemColor(int index) { return static_cast<std::uint32_t>(::GetSysColor(index)); }

}  // namespace os

namespace os {

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == nullptr || count != argc) {
    if (wide != nullptr) LocalFree(wide);
    return argc > 1 ? std::vector<std::string>(argv + 1, argv + argc) : std::vector<std::string>{};
  }
  std::vector<std::string> arguments;
  for (int i = 1; i < count; ++i) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
    std::string text(size > 0 ? static_cast<std::size_t>(size) : 1, '\0');
    if (size > 0) WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, text.data(), size, nullptr, nullptr);
    text.resize(text.size() - 1);
    arguments.push_back(std::move(text));
  }
  LocalFree(wide);
  return arguments;
}

bool StandardErrorIsTerminal() {
  // Only a console has a console mode; a redirected handle (file or pipe) has none.
  DWORD mode = 0;
  const HANDLE handle = GetStdHandle(STD_ERROR_HANDLE);
  return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) != 0;
}

}  // namespace os
