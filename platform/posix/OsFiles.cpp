// Files on a POSIX system: the whole-or-nothing replacement through a temporary file, fsync() and
// rename().

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <system_error>

#include "platform/os/Os.h"

namespace {

// How many numbered names are tried for a temporary file before giving up.
constexpr int kNameAttempts = 1000;
// How many symbolic links a name may pass through (as the system's own limit for opening it).
constexpr int kMaxLinks = 40;

enum class Kind { None, Folder, File, Other, Unreachable };

// The file a name stands for: its name at the end of a chain of symbolic links, its kind and its
// permission bits.
struct Target {
  std::string name;
  Kind kind = Kind::None;
  mode_t permissions = 0;
};

Kind KindOf(mode_t mode) {
  if (S_ISDIR(mode)) return Kind::Folder;
  return S_ISREG(mode) ? Kind::File : Kind::Other;
}

// Follows symbolic links to the file at the end of the chain, so that a link stays and its file is
// replaced. A name that cannot be looked up counts as no file (creating it then tells); a chain that
// goes on and on (a loop) is refused, as opening it is.
Target FindTarget(const std::string& fileName) {
  std::filesystem::path path = fileName;
  for (int link = 0;; ++link) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) return {path.string()};
    if (!S_ISLNK(info.st_mode)) return {path.string(), KindOf(info.st_mode), info.st_mode & 07777};
    std::error_code error;
    const std::filesystem::path next = std::filesystem::read_symlink(path, error);
    if (error || link == kMaxLinks) return {path.string(), Kind::Unreachable};
    path = next.is_absolute() ? next : path.parent_path() / next;
  }
}

}  // namespace

namespace os {

struct ReplacingFile::State {
  int fd = -1;
  std::string target;     // the file replaced: the name given, or the file a symbolic link names
  std::string temporary;  // the file written; empty when the target is written in place
};

ReplacingFile::ReplacingFile() : state_(std::make_unique<State>()) {}

ReplacingFile::~ReplacingFile() { Discard(); }

bool ReplacingFile::Open(const std::string& fileName) {
  Discard();
  if (fileName.empty()) return false;
  const Target target = FindTarget(fileName);
  if (target.kind == Kind::Folder || target.kind == Kind::Unreachable) return false;
  state_->target = target.name;
  if (target.kind == Kind::Other) {
    state_->fd = ::open(target.name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    return state_->fd >= 0;
  }
  // An existing file must be one this process may write: opening it for writing (not truncating)
  // changes nothing and fails where writing would (read-only, immutable).
  if (target.kind == Kind::File) {
    const int probe = ::open(target.name.c_str(), O_WRONLY | O_CLOEXEC);
    if (probe < 0) return false;
    ::close(probe);
  }
  for (int number = 1; number <= kNameAttempts; ++number) {
    const std::string name = target.name + ".~" + std::to_string(number) + ".tmp";
    state_->fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (state_->fd >= 0) {
      state_->temporary = name;
      // The new file keeps the permissions of the one it replaces, so that a private file stays
      // private (the file is written all the same where they cannot be given).
      if (target.kind == Kind::File) static_cast<void>(::fchmod(state_->fd, target.permissions));
      return true;
    }
    if (errno != EEXIST) return false;  // the folder is missing or cannot be written
  }
  return false;
}

bool ReplacingFile::WriteThrough(const void* data, std::size_t size) {
  const char* bytes = static_cast<const char*>(data);
  while (size > 0) {
    if (state_->fd < 0) return false;
    const ssize_t written = ::write(state_->fd, bytes, size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    bytes += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

ReplacingFile::Result ReplacingFile::Finish() {
  if (state_->fd < 0) return Result::WriteFailed;
  // The content must be on the disk before the rename makes it the file, or a crash could leave an
  // empty file under the target's name. (A device written in place has nothing to sync.)
  const bool synced = state_->temporary.empty() || ::fsync(state_->fd) == 0;
  // close() may report a deferred write error; on EINTR the descriptor is gone all the same.
  const bool closed = ::close(state_->fd) == 0;
  state_->fd = -1;
  if (!synced || !closed) {
    Discard();
    return Result::WriteFailed;
  }
  if (state_->temporary.empty()) return Result::Done;
  // Replaces an existing target in one step: at every moment the name holds the old file or the new.
  if (::rename(state_->temporary.c_str(), state_->target.c_str()) != 0) {
    Discard();
    return Result::CannotReplace;
  }
  state_->temporary.clear();
  return Result::Done;
}

void ReplacingFile::Discard() noexcept {
  buffer_.clear();
  if (!state_) return;
  if (state_->fd >= 0) ::close(state_->fd);
  state_->fd = -1;
  if (!state_->temporary.empty()) ::unlink(state_->temporary.c_str());
  state_->temporary.clear();
}

bool StandardErrorIsTerminal() { return isatty(STDERR_FILENO) == 1; }

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
  return argc > 1 ? std::vector<std::string>(argv + 1, argv + argc) : std::vector<std::string>{};
}

std::uint32_t SystemColor(int index) {
  // The colours of the standard Windows scheme, by system colour index.
  static constexpr std::uint32_t kColors[] = {
      0xC8C8C8, 0x000000, 0xD1B499, 0xDBCDBF, 0xF0F0F0, 0xFFFFFF, 0x646464, 0x000000,
      0x000000, 0x000000, 0xB4B4B4, 0xFCF7F4, 0xABABAB, 0xFF9933, 0xFFFFFF, 0xF0F0F0,
      0xA0A0A0, 0x6D6D6D, 0x000000, 0x000000, 0xFFFFFF, 0x696969, 0xE3E3E3, 0x000000,
      0xE1FFFF, 0x000000, 0xCC6600, 0xEAD1B9, 0xF2E4D7, 0xFF9933, 0xF0F0F0};
  return index >= 0 && index < static_cast<int>(std::size(kColors)) ? kColors[index] : 0;
}

}  // namespace os
