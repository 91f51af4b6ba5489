// Files on a POSIX system: whole-file replacement through a temporary file and rename().

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <memory>
#include <string>

#include "platform/Os.h"

namespace {

// Owns a file descriptor; Close() reports whether the last buffered data reached the file.
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;

  int Get() const { return fd_; }
  bool Valid() const { return fd_ >= 0; }
  bool Close() {
    const int fd = fd_;
    fd_ = -1;
    // close() may report a deferred write error; on EINTR the descriptor is gone all the same.
    return fd >= 0 && ::close(fd) == 0;
  }

 private:
  int fd_;
};

// Removes the temporary file unless it has been renamed into place.
class TemporaryFile {
 public:
  explicit TemporaryFile(std::string path) : path_(std::move(path)) {}
  ~TemporaryFile() {
    if (!kept_) ::unlink(path_.c_str());
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  const std::string& Path() const { return path_; }
  void Keep() { kept_ = true; }

 private:
  std::string path_;
  bool kept_ = false;
};

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (written == 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

// The file that is really replaced: a symbolic link is followed, so that the link stays a link and
// its target gets the new content. Empty text when the link leads nowhere.
std::string ResolveTarget(const std::string& fileName) {
  struct stat link {};
  if (::lstat(fileName.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) return fileName;
  std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(fileName.c_str(), nullptr), &std::free);
  return resolved ? std::string(resolved.get()) : std::string();
}

}  // namespace

namespace os {

bool WriteFileReplacing(const std::string& fileName, std::string_view bytes) {
  if (fileName.empty()) return false;
  const std::string target = ResolveTarget(fileName);
  if (target.empty()) return false;

  // Only a regular file is replaced: renaming over a device, a pipe or a folder would destroy it
  // instead of writing to it.
  struct stat existing {};
  const bool exists = ::stat(target.c_str(), &existing) == 0;
  if (exists && !S_ISREG(existing.st_mode)) return false;
  if (!exists && errno != ENOENT) return false;
  // A file that may not be written keeps its content, as it would when written in place.
  if (exists && ::access(target.c_str(), W_OK) != 0) return false;

  // A fresh name beside the target, so that the rename stays within one file system.
  static std::atomic<unsigned> counter{0};
  const std::string prefix = target + ".tmp" + std::to_string(::getpid()) + "-";
  int fd = -1;
  std::string tempName;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    tempName = prefix + std::to_string(counter++);
    fd = ::open(tempName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) return false;
  }
  if (fd < 0) return false;
  FileDescriptor file(fd);
  TemporaryFile temp(tempName);

  // The new file keeps the permissions of the one it replaces.
  if (exists && ::fchmod(file.Get(), existing.st_mode & 07777) != 0) return false;
  if (!WriteAll(file.Get(), bytes)) return false;
  // The content must be on the disk before the rename makes it the file, or a crash could leave
  // an empty file under the target's name.
  if (::fsync(file.Get()) != 0) return false;
  if (!file.Close()) return false;
  if (::rename(temp.Path().c_str(), target.c_str()) != 0) return false;
  temp.Keep();
  return true;
}

}  // namespace os

namespace os {

bool StandardErrorIsTerminal() { return isatty(STDERR_FILENO) == 1; }

}  // namespace os
