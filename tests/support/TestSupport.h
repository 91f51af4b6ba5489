#pragma once
// Small helpers shared by the test executables: a temporary folder that removes itself, whole-file
// reads and writes, a file this process cannot write, and the rule for what the set-up promises.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace testing_support {

// A fresh, empty folder under the system's temporary folder; removed with everything in it when the
// object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  // The path of a file in this folder, as the programs spell file names (8-bit, native delimiters).
  std::string File(const std::string& name) const;

 private:
  std::filesystem::path path_;
};

std::vector<std::uint8_t> ReadFileBytes(const std::filesystem::path& path);
std::string ReadFileText(const std::filesystem::path& path);
void WriteFileBytes(const std::filesystem::path& path, const std::string& bytes);

// A path that the scripts give in their own (Unix) form, as this process spells it: under Wine, "/a/b"
// is "Z:\a\b" (the drive that maps the Unix root); natively it stays as it is.
std::string NativePath(const std::string& path);

// True when the tests run from the test command (scripts/test.sh sets TEST_REQUIRE_SETUP=1): what
// scripts/setup.sh installs must then be there, and its absence is a failure, not a skip.
bool SetupPromised();

// A file holding "keep" that this process cannot write. It is made read-only; where that does not bind
// this user (root may write read-only files, natively and under Wine), natively it is made immutable
// (which needs CAP_LINUX_IMMUTABLE, and is undone when the object goes), and under Wine the immutable
// file that scripts/test.sh prepares and names in TEST_IMMUTABLE_FILE is used instead. Path() is
// empty when none of this is possible here; Why() then says why.
class UnwritableFile {
 public:
  UnwritableFile(const TempDir& dir, const std::string& name);
  ~UnwritableFile();
  UnwritableFile(const UnwritableFile&) = delete;
  UnwritableFile& operator=(const UnwritableFile&) = delete;

  const std::string& Path() const { return path_; }
  const std::string& Why() const { return why_; }

 private:
  std::string path_;
  std::string why_;
  bool immutable_ = false;
};

}  // namespace testing_support

// Skips the running test with REASON, or fails it when the set-up promises what is missing.
#define SKIP_OR_FAIL_WHERE_PROMISED(reason)                                  \
  do {                                                                       \
    if (::testing_support::SetupPromised()) {                                \
      FAIL() << (reason) << " (scripts/setup.sh installs it for this test)"; \
    }                                                                        \
    GTEST_SKIP() << (reason);                                                \
  } while (false)

namespace testing_support {}  // namespace testing_support
