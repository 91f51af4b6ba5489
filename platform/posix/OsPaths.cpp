// Paths, folders, special folders and the local time on a POSIX system. The Windows
// folders map as follows: the local application-data folder is $XDG_DATA_HOME (by default
// ~/.local/share), the folder common to all users is /var/lib, and the delimiter is '/'. The user's
// settings go to the configuration folder, $XDG_CONFIG_HOME (by default ~/.config). The local time
// is the system's, unless a test fixed it (platform/os/OsTesting.h).

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "platform/os/Os.h"
#include "platform/os/OsTesting.h"

namespace os {

namespace {

// A text with a NUL byte inside would name a different path than it spells; such input is refused.
bool IsCallable(const std::string& path) { return !path.empty() && path.find('\0') == std::string::npos; }

// Makes an absolute path of '/'-separated parts canonical without touching the disk, the way the
// Windows full-path call does: empty and "." parts go, ".." removes the part before it (never above
// the root). A trailing delimiter of the input is kept.
std::string NormaliseAbsolute(const std::string& path) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    const std::string part = path.substr(start, end - start);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    start = end + 1;
  }
  std::string result;
  for (const auto& part : parts) result += "/" + part;
  if (result.empty() || path.back() == '/') result += '/';
  return result;
}

// A directory named by an environment variable, used only when it is set to an absolute path.
std::optional<std::string> AbsoluteFromEnvironment(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr || value[0] != '/') return std::nullopt;
  return std::string(value);
}

// The local time a test fixed, if any.
std::optional<LocalTime>& FixedTime() {
  static std::optional<LocalTime> time;
  return time;
}

std::string WithoutTrailingDelimiter(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

}  // namespace

char PathDelimiter() { return '/'; }

std::string ExecutableFileName(std::size_t bufferSize) {
  if (bufferSize == 0) return {};
  std::vector<char> buffer(bufferSize);
  const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
  // readlink does not terminate the text; a name that fills the whole buffer may be cut off.
  if (length <= 0 || static_cast<std::size_t>(length) >= bufferSize) return {};
  return std::string(buffer.data(), static_cast<std::size_t>(length));
}

std::string FullPathName(const std::string& path, std::size_t bufferSize) {
  if (!IsCallable(path)) return {};
  std::string absolute;
  if (path.front() == '/') {
    absolute = path;
  } else {
    const std::string current = CurrentDirectory();
    if (current.empty()) return {};
    absolute = current + "/" + path;
  }
  std::string result = NormaliseAbsolute(absolute);
  if (result.size() >= bufferSize) return {};
  return result;
}

std::string CurrentDirectory() {
  std::vector<char> buffer(256);
  while (buffer.size() <= (1u << 20)) {
    if (getcwd(buffer.data(), buffer.size()) != nullptr) return std::string(buffer.data());
    if (errno != ERANGE) return {};
    buffer.resize(buffer.size() * 2);
  }
  return {};
}

bool ChangeCurrentDirectory(const std::string& path) { return IsCallable(path) && chdir(path.c_str()) == 0; }

bool DirectoryExists(const std::string& path) {
  struct stat status {};
  return IsCallable(path) && stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

bool FileExists(const std::string& path) {
  struct stat status {};
  return IsCallable(path) && stat(path.c_str(), &status) == 0 && !S_ISDIR(status.st_mode);
}

bool MakeDirectory(const std::string& path) { return IsCallable(path) && mkdir(path.c_str(), 0777) == 0; }

bool CreateNewFile(const std::string& path) {
  if (!IsCallable(path)) return false;
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  ::close(fd);
  return true;
}

bool RemoveFile(const std::string& path) { return IsCallable(path) && ::unlink(path.c_str()) == 0; }

std::optional<std::string> GetSpecialFolder(SpecialFolder folder, void* /*owner*/) {
  if (folder == SpecialFolder::CommonAppData) return std::string("/var/lib");
  // The freedesktop.org base directories: the variable when it names an absolute
  // path, else its default under the home folder.
  const bool settings = folder == SpecialFolder::UserSettings;
  if (auto own = AbsoluteFromEnvironment(settings ? "XDG_CONFIG_HOME" : "XDG_DATA_HOME"))
    return WithoutTrailingDelimiter(*own);
  if (auto home = AbsoluteFromEnvironment("HOME")) {
    std::string base = WithoutTrailingDelimiter(*home);
    if (base == "/") base.clear();
    return base + (settings ? "/.config" : "/.local/share");
  }
  return std::nullopt;
}

LocalTime Now() {
  if (const auto& fixed = FixedTime()) return *fixed;
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  std::tm local{};
  if (localtime_r(&now.tv_sec, &local) == nullptr) return {};
  return LocalTime{local.tm_year + 1900,
                   local.tm_mon + 1,
                   local.tm_mday,
                   local.tm_hour,
                   local.tm_min,
                   local.tm_sec,
                   static_cast<int>(now.tv_nsec / 1000000)};
}

}  // namespace os

namespace os::testing {

void SetLocalTime(std::optional<LocalTime> time) { FixedTime() = time; }

}  // namespace os::testing
