#include "tests/support/TestSupport.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <system_error>

#ifndef _WIN32
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>
#endif

namespace testing_support {

TempDir::TempDir() {
  static std::atomic<unsigned> counter{0};
  const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  const auto base = std::filesystem::temp_directory_path();
  for (int attempt = 0; attempt < 100; ++attempt) {
    auto candidate = base / ("gct-" + std::to_string(stamp) + "-" + std::to_string(counter++));
    if (std::filesystem::create_directory(candidate)) {
      path_ = candidate;
      return;
    }
  }
  throw std::runtime_error("cannot create a temporary folder");
}

TempDir::~TempDir() {
  std::error_code ec;
  // Read-only files made by fault-path tests must not keep the folder alive.
  for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
  }
  std::filesystem::remove_all(path_, ec);
}

std::string TempDir::File(const std::string& name) const { return (path_ / name).string(); }

std::vector<std::uint8_t> ReadFileBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot open " + path.string());
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string ReadFileText(const std::filesystem::path& path) {
  const auto bytes = ReadFileBytes(path);
  return {bytes.begin(), bytes.end()};
}

void WriteFileBytes(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) throw std::runtime_error("cannot create " + path.string());
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string NativePath(const std::string& path) {
#ifdef _WIN32
  if (!path.empty() && path[0] == '/') {
    std::string windows = "Z:" + path;
    for (char& c : windows)
      if (c == '/') c = '\\';
    return windows;
  }
#endif
  return path;
}

bool SetupPromised() {
  const char* value = std::getenv("TEST_REQUIRE_SETUP");
  return value != nullptr && std::string(value) == "1";
}

namespace {

// Whether this process may write the file (append mode, so the content stays).
bool Writable(const std::string& path) {
  if (std::FILE* file = std::fopen(path.c_str(), "ab")) {
    std::fclose(file);
    return true;
  }
  return false;
}

#ifndef _WIN32
// Sets or clears the immutable attribute; false with errno when the file system or the user cannot.
bool SetImmutable(const std::string& path, bool on) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  int flags = 0;
  bool done = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
  if (done) {
    flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
    done = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
  }
  const int saved = errno;
  ::close(fd);
  errno = saved;
  return done;
}
#endif

}  // namespace

UnwritableFile::UnwritableFile(const TempDir& dir, const std::string& name) : path_(dir.File(name)) {
  namespace fs = std::filesystem;
  WriteFileBytes(path_, "keep");
  fs::permissions(path_, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read,
                  fs::perm_options::replace);
  if (!Writable(path_)) return;
#ifdef _WIN32
  const char* prepared = std::getenv("TEST_IMMUTABLE_FILE");
  if (prepared != nullptr && *prepared != '\0') {
    const std::string path = NativePath(prepared);
    if (!Writable(path) && fs::is_regular_file(path) && ReadFileText(path) == "keep") {
      path_ = path;
      return;
    }
    why_ = "the file TEST_IMMUTABLE_FILE names (" + path + ") is writable, missing or does not hold keep";
  } else {
    why_ =
        "read-only files are writable for this user, and no immutable file was prepared "
        "(TEST_IMMUTABLE_FILE; scripts/test.sh makes one)";
  }
#else
  if (SetImmutable(path_, true)) {
    if (!Writable(path_)) {
      immutable_ = true;
      return;
    }
    SetImmutable(path_, false);
    why_ = "even an immutable file is writable here";
  } else {
    why_ =
        std::string("read-only files are writable for this user, and the file cannot be made immutable: ") +
        std::strerror(errno);
  }
#endif
  path_.clear();
}

UnwritableFile::~UnwritableFile() {
#ifndef _WIN32
  if (immutable_) SetImmutable(path_, false);
#endif
}

}  // namespace testing_support
