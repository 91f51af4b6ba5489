#pragma once
// Small helpers shared by the test executables: a temporary folder that removes itself, and whole-file
// reads and writes.

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

}  // namespace testing_support
