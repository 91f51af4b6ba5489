#include "imaging/FileStream.h"

#include <cerrno>
#include <cstdio>
#include <string>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>
#else
#include <filesystem>
#include <system_error>
#endif

#include "imaging/Errors.h"

EFCreateError::EFCreateError(const std::string& fileName)
    : EImageError("Datei " + fileName + " kann nicht erstellt werden") {}

EWriteError::EWriteError() : EImageError("Stream-Write-Fehler") {}

EJPEGError::EJPEGError(int messageCode)
    : EImageError("JPEG-Fehler #" + std::to_string(messageCode)), messageCode_(messageCode) {}

namespace {

// How many numbered names are tried for a temporary file before giving up.
constexpr int kNameAttempts = 1000;

// What a name stands for.
enum class TKind { None, Folder, File, Other };

// The file a name stands for: its name (at the end of a chain of symbolic links), its kind and, on
// POSIX systems, its permission bits.
struct TTarget {
  std::string name;
  TKind kind = TKind::None;
  int permissions = 0;
};

#ifdef _WIN32
// The C library's 64-bit file information, so that a file beyond 2 GB is still seen as a file. For a
// name it tells folders and files only: a device (NUL, or /dev/full through Wine's Z: drive) is either
// not found or passes for a file. An open file's information tells devices and pipes apart.
constexpr bool kNamesHideDevices = true;

TKind KindOf(unsigned mode) {
  if ((mode & _S_IFMT) == _S_IFDIR) return TKind::Folder;
  return (mode & _S_IFMT) == _S_IFREG ? TKind::File : TKind::Other;
}

TTarget FindTarget(const std::string& fileName) {
  struct _stat64 info {};
  if (_stat64(fileName.c_str(), &info) != 0) return {fileName};
  return {fileName, KindOf(info.st_mode)};
}

TKind KindOfOpen(std::FILE* file) {
  struct _stat64 info {};
  return _fstat64(_fileno(file), &info) == 0 ? KindOf(info.st_mode) : TKind::File;
}
#else
constexpr bool kNamesHideDevices = false;

TKind KindOf(const std::filesystem::file_status& status) {
  namespace fs = std::filesystem;
  if (!fs::exists(status)) return TKind::None;
  if (fs::is_directory(status)) return TKind::Folder;
  return fs::is_regular_file(status) ? TKind::File : TKind::Other;
}

// Follows symbolic links to the file at the end of the chain, so that a link stays and its file is
// replaced. A chain that goes on and on (a loop) is refused, as opening it is.
TTarget FindTarget(const std::string& fileName) {
  namespace fs = std::filesystem;
  constexpr int kMaxLinks = 40;
  fs::path path = fileName;
  std::error_code error;  // a name that cannot be looked up counts as no file
  fs::file_status status = fs::symlink_status(path, error);
  for (int link = 0; fs::is_symlink(status); ++link) {
    const fs::path next = fs::read_symlink(path, error);
    if (error || link == kMaxLinks) throw EFCreateError(fileName);
    path = next.is_absolute() ? next : path.parent_path() / next;
    status = fs::symlink_status(path, error);
  }
  return {path.string(), KindOf(status), static_cast<int>(status.permissions() & fs::perms::all)};
}

// A name has told devices and pipes from files already.
TKind KindOfOpen(std::FILE*) { return TKind::File; }
#endif

std::string NumberedName(const std::string& target, int number) {
  return target + ".~" + std::to_string(number) + ".tmp";
}

// Creates the file for writing only if no file of that name exists; null with errno EEXIST when one
// does.
std::FILE* CreateNew(const std::string& name) {
#ifdef _WIN32
  // The C library of Windows knows no exclusive mode of fopen; its low-level open does.
  const int handle =
      _sopen(name.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _SH_DENYNO, _S_IREAD | _S_IWRITE);
  if (handle < 0) return nullptr;
  std::FILE* file = _fdopen(handle, "wb");
  if (file == nullptr) {
    _close(handle);
    std::remove(name.c_str());
  }
  return file;
#else
  return std::fopen(name.c_str(), "wbx");
#endif
}

#ifdef _WIN32
// A name beside the target that no file has, for moving the old file aside; empty when none is found.
std::string UnusedName(const std::string& target) {
  for (int number = 1; number <= kNameAttempts; ++number) {
    const std::string name = NumberedName(target, number);
    if (FindTarget(name).kind == TKind::None) return name;
  }
  return {};
}
#endif

// Puts the written file in the target's place; false, with both files as they were, when it cannot.
bool Replace(const std::string& temporary, const std::string& target) {
  // On POSIX systems this replaces an existing target in one step: at every moment the name holds
  // either the old file or the new one.
  if (std::rename(temporary.c_str(), target.c_str()) == 0) return true;
#ifdef _WIN32
  // The C library of Windows refuses to rename onto an existing file, and the Windows form of
  // std::filesystem would not take the programs' 8-bit (ANSI code page) names as they are. So the old
  // file moves aside first and is deleted only once the new one has its name; if the new one cannot
  // take it, the old one moves back.
  const std::string aside = UnusedName(target);
  if (aside.empty() || std::rename(target.c_str(), aside.c_str()) != 0) return false;
  if (std::rename(temporary.c_str(), target.c_str()) != 0) {
    std::rename(aside.c_str(), target.c_str());
    return false;
  }
  std::remove(aside.c_str());
  return true;
#else
  return false;
#endif
}

// Gives the new file the old one's permissions, so that a private file stays private. (On Windows the
// only one, read-only, never applies: a read-only file is refused before.)
void KeepPermissions([[maybe_unused]] const std::string& temporary, [[maybe_unused]] int permissions) {
#ifndef _WIN32
  std::error_code ignored;  // the file is written all the same
  std::filesystem::permissions(temporary, static_cast<std::filesystem::perms>(permissions), ignored);
#endif
}

}  // namespace

TFileStream::TFileStream(const std::string& fileName) : fileName_(fileName) {
  if (fileName.empty()) throw EFCreateError(fileName);
  const TTarget target = FindTarget(fileName);
  target_ = target.name;
  if (target.kind == TKind::Folder) throw EFCreateError(fileName_);
  if (target.kind == TKind::Other) {
    OpenInPlace();
    return;
  }

  // An existing file must be one this process may write: opening it for update changes nothing and
  // fails where writing would (read-only, immutable, locked by another program).
  if (target.kind == TKind::File || kNamesHideDevices) {
    if (std::FILE* probe = std::fopen(target_.c_str(), "r+b")) {
      const bool device = KindOfOpen(probe) != TKind::File;
      std::fclose(probe);
      if (device) {
        OpenInPlace();
        return;
      }
    } else if (target.kind == TKind::File) {
      throw EFCreateError(fileName_);
    }
  }

  for (int number = 1; number <= kNameAttempts && file_ == nullptr; ++number) {
    const std::string name = NumberedName(target_, number);
    file_ = CreateNew(name);
    if (file_ != nullptr) {
      temporary_ = name;
    } else if (errno != EEXIST) {
      break;  // the folder is missing or cannot be written
    }
  }
  if (file_ == nullptr) throw EFCreateError(fileName_);
  if (target.kind == TKind::File) KeepPermissions(temporary_, target.permissions);
}

TFileStream::~TFileStream() { Discard(); }

void TFileStream::OpenInPlace() {
  file_ = std::fopen(target_.c_str(), "wb");
  if (file_ == nullptr) throw EFCreateError(fileName_);
}

void TFileStream::Discard() noexcept {
  if (file_ != nullptr) std::fclose(file_);
  file_ = nullptr;
  if (!temporary_.empty()) std::remove(temporary_.c_str());
  temporary_.clear();
}

void TFileStream::Write(const void* data, std::size_t size) {
  if (size == 0) return;
  if (file_ == nullptr || std::fwrite(data, 1, size, file_) != size) throw EWriteError();
}

void TFileStream::Close() {
  if (file_ == nullptr) return;
  const bool flushed = std::fflush(file_) == 0;
  const bool closed = std::fclose(file_) == 0;
  file_ = nullptr;
  if (!flushed || !closed) {
    Discard();
    throw EWriteError();
  }
  if (temporary_.empty()) return;
  if (!Replace(temporary_, target_)) {
    Discard();
    throw EFCreateError(fileName_);
  }
  temporary_.clear();
}
