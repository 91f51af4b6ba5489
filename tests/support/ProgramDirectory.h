#pragma once
// The program directory of the windows a native test shows: the folder of the running test executable.
// The programs look there for SavePath.ini and their language files. All test executables lie in one
// folder and CTest may run them side by side, so a test that puts files there holds a lock on the folder
// for its whole run; every program's tests take the same lock.

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

namespace testing_support {

inline std::filesystem::path ExecutableFolder() {
  return std::filesystem::canonical("/proc/self/exe").parent_path();
}

// An exclusive lock on the program directory, shared by every process that takes it there.
class ProgramDirectoryLock {
 public:
  explicit ProgramDirectoryLock(const std::filesystem::path& folder)
      : fd_(::open((folder / ".letrana-tests.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644)) {
    if (fd_ < 0 || ::flock(fd_, LOCK_EX) != 0)
      throw std::system_error(errno, std::generic_category(), "lock");
  }
  ~ProgramDirectoryLock() {
    ::flock(fd_, LOCK_UN);
    ::close(fd_);
  }
  ProgramDirectoryLock(const ProgramDirectoryLock&) = delete;
  ProgramDirectoryLock& operator=(const ProgramDirectoryLock&) = delete;

 private:
  int fd_;
};

}  // namespace testing_support
