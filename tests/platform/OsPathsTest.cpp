// The backend's paths, folders and time, checked against the real file system.

#include <gtest/gtest.h>

#include <array>
#include <cctype>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "platform/os/Os.h"
#include "tests/support/TestSupport.h"

namespace {

using testing_support::TempDir;

const char kDelimiter = os::PathDelimiter();

#ifdef _WIN32
constexpr const char* kOwnName = "platform_OsPathsTest.exe";
bool SameName(std::string a, std::string b) {
  for (auto* text : {&a, &b})
    for (char& c : *text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return a == b;
}
bool IsAbsolute(const std::string& path) {
  return path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':' &&
         path[2] == '\\';
}
#else
constexpr const char* kOwnName = "platform_OsPathsTest";
bool SameName(const std::string& a, const std::string& b) { return a == b; }
bool IsAbsolute(const std::string& path) { return !path.empty() && path[0] == '/'; }
#endif

// Puts the process's current directory back when a test has moved it.
class OsPathsTest : public ::testing::Test {
 protected:
  void SetUp() override { saved_ = os::CurrentDirectory(); }
  void TearDown() override { os::ChangeCurrentDirectory(saved_); }
  std::string saved_;
};

TEST_F(OsPathsTest, ExecutableFileNameNamesTheRunningTestExecutable) {
  const std::string name = os::ExecutableFileName(4096);
  ASSERT_FALSE(name.empty());
  EXPECT_TRUE(IsAbsolute(name)) << name;
  const std::size_t last = name.rfind(kDelimiter);
  ASSERT_NE(last, std::string::npos) << name;
  EXPECT_TRUE(SameName(name.substr(last + 1), kOwnName)) << name;
  const std::string folder = name.substr(0, last);
  EXPECT_TRUE(os::DirectoryExists(folder)) << folder;
  EXPECT_TRUE(os::FileExists(name));

  // It is the executable itself: a PE image on Windows, an ELF image elsewhere.
  std::ifstream image(std::filesystem::path(name), std::ios::binary);
  char magic[4] = {};
  image.read(magic, sizeof magic);
#ifdef _WIN32
  EXPECT_EQ(std::string(magic, 2), "MZ");
#else
  EXPECT_EQ(std::string(magic, 4),
            "\x7f"
            "ELF");
#endif

  // The name and its terminating NUL must fit; a name that would be cut off is no name.
  EXPECT_EQ(os::ExecutableFileName(name.size() + 1), name);
  EXPECT_EQ(os::ExecutableFileName(name.size()), "");
  EXPECT_EQ(os::ExecutableFileName(0), "");
}

TEST_F(OsPathsTest, FullPathNameMakesAbsoluteAgainstTheCurrentDirectoryLexically) {
  TempDir temp;
  ASSERT_TRUE(os::ChangeCurrentDirectory(temp.Path().string()));
  const std::string current = os::CurrentDirectory();
  ASSERT_FALSE(current.empty());
  EXPECT_TRUE(IsAbsolute(current)) << current;
  EXPECT_NE(current.back(), kDelimiter);
  EXPECT_TRUE(std::filesystem::equivalent(current, temp.Path()));

  const std::string d(1, kDelimiter);
  // Nothing of these exists: the result comes from the text alone.
  EXPECT_EQ(os::FullPathName("Data", 4096), current + d + "Data");
  EXPECT_EQ(os::FullPathName("a" + d + "." + d + "b" + d + ".." + d + "c", 4096),
            current + d + "a" + d + "c");
  EXPECT_EQ(os::FullPathName("Data" + d, 4096), current + d + "Data" + d);
  EXPECT_EQ(os::FullPathName(".", 4096), current);

  const std::size_t cut = current.rfind(kDelimiter);
  ASSERT_NE(cut, std::string::npos);
  const std::string parent = current.substr(0, cut);
  EXPECT_EQ(os::FullPathName(".." + d + "x", 4096), parent + d + "x");

  // An absolute path keeps its place, with its "." and ".." parts resolved.
  const std::string absolute = current + d + "one" + d + ".." + d + "two";
  EXPECT_EQ(os::FullPathName(absolute, 4096), current + d + "two");

  // The result and its terminating NUL must fit into the buffer.
  const std::string full = current + d + "Data";
  EXPECT_EQ(os::FullPathName("Data", full.size() + 1), full);
  EXPECT_EQ(os::FullPathName("Data", full.size()), "");
  EXPECT_EQ(os::FullPathName("", 4096), "");
  EXPECT_EQ(os::FullPathName(std::string("Da\0ta", 5), 4096), "");
}

TEST_F(OsPathsTest, CurrentDirectoryFollowsChanges) {
  TempDir temp;
  const std::string inner = temp.File("inner");
  ASSERT_TRUE(os::MakeDirectory(inner));
  ASSERT_TRUE(os::ChangeCurrentDirectory(inner));
  EXPECT_TRUE(std::filesystem::equivalent(os::CurrentDirectory(), inner));
  // A path with a trailing delimiter is accepted as well.
  ASSERT_TRUE(os::ChangeCurrentDirectory(temp.Path().string() + kDelimiter));
  EXPECT_TRUE(std::filesystem::equivalent(os::CurrentDirectory(), temp.Path()));
  // A relative change is made from the current directory.
  ASSERT_TRUE(os::ChangeCurrentDirectory("inner"));
  EXPECT_TRUE(std::filesystem::equivalent(os::CurrentDirectory(), inner));

  EXPECT_FALSE(os::ChangeCurrentDirectory(temp.File("missing")));
  EXPECT_FALSE(os::ChangeCurrentDirectory(""));
  EXPECT_TRUE(std::filesystem::equivalent(os::CurrentDirectory(), inner));
}

TEST_F(OsPathsTest, ExistenceAndOneLevelCreation) {
  TempDir temp;
  const std::string folder = temp.File("folder");
  const std::string file = temp.File("file.ini");
  testing_support::WriteFileBytes(file, "x");

  EXPECT_TRUE(os::DirectoryExists(temp.Path().string()));
  EXPECT_TRUE(os::DirectoryExists(temp.Path().string() + kDelimiter));
  EXPECT_FALSE(os::FileExists(temp.Path().string()));
  EXPECT_TRUE(os::FileExists(file));
  EXPECT_FALSE(os::DirectoryExists(file));
  EXPECT_FALSE(os::DirectoryExists(folder));
  EXPECT_FALSE(os::DirectoryExists(""));
  EXPECT_FALSE(os::FileExists(""));

  EXPECT_TRUE(os::MakeDirectory(folder));
  EXPECT_TRUE(std::filesystem::is_directory(temp.Path() / "folder"));
  EXPECT_FALSE(os::MakeDirectory(folder)) << "exists already";
  EXPECT_FALSE(os::MakeDirectory(file)) << "a file of that name exists";

  // One level only: a missing parent is not made.
  const std::string deep = temp.File("a") + kDelimiter + "b";
  EXPECT_FALSE(os::MakeDirectory(deep));
  EXPECT_FALSE(std::filesystem::exists(temp.Path() / "a"));
  // A trailing delimiter is accepted.
  EXPECT_TRUE(os::MakeDirectory(temp.File("c") + kDelimiter));
  EXPECT_TRUE(os::DirectoryExists(temp.File("c")));

  // Relative names are taken against the current directory.
  ASSERT_TRUE(os::ChangeCurrentDirectory(temp.Path().string()));
  EXPECT_TRUE(os::DirectoryExists("folder"));
  EXPECT_TRUE(os::FileExists("file.ini"));
}

TEST_F(OsPathsTest, SpecialFoldersAreAbsoluteWithoutTrailingDelimiter) {
  for (auto folder :
       {os::SpecialFolder::LocalAppData, os::SpecialFolder::CommonAppData, os::SpecialFolder::UserSettings}) {
    const auto path = os::GetSpecialFolder(folder);
#ifdef _WIN32
    // Every Windows installation, Wine's included, has these folders.
    ASSERT_TRUE(path.has_value());
    EXPECT_TRUE(os::DirectoryExists(*path)) << *path;
#else
    if (!path) continue;  // no $XDG_DATA_HOME / $XDG_CONFIG_HOME and no $HOME
#endif
    EXPECT_TRUE(IsAbsolute(*path)) << *path;
    EXPECT_NE(path->back(), kDelimiter) << *path;
  }
  EXPECT_NE(os::GetSpecialFolder(os::SpecialFolder::LocalAppData),
            os::GetSpecialFolder(os::SpecialFolder::CommonAppData));
}

#ifndef _WIN32
// setenv/unsetenv for the duration of one scope.
class ScopedEnvironment {
 public:
  explicit ScopedEnvironment(const char* name) : name_(name) {
    if (const char* value = std::getenv(name)) saved_ = value;
  }
  ~ScopedEnvironment() {
    if (saved_) {
      setenv(name_, saved_->c_str(), 1);
    } else {
      unsetenv(name_);
    }
  }
  void Set(const char* value) { value ? setenv(name_, value, 1) : unsetenv(name_); }

 private:
  const char* name_;
  std::optional<std::string> saved_;
};

TEST_F(OsPathsTest, LinuxFoldersComeFromTheBaseDirectoriesOrTheHomeFolder) {
  ScopedEnvironment dataHome("XDG_DATA_HOME"), configHome("XDG_CONFIG_HOME"), home("HOME");
  // Each per-user folder, its own variable and its default under the home folder; the other variable is
  // set throughout and never taken.
  struct Case {
    os::SpecialFolder folder;
    ScopedEnvironment& own;
    ScopedEnvironment& other;
    const char* underHome;
  };
  for (const Case& c : {Case{os::SpecialFolder::LocalAppData, dataHome, configHome, "/.local/share"},
                        Case{os::SpecialFolder::UserSettings, configHome, dataHome, "/.config"}}) {
    SCOPED_TRACE(c.underHome);
    c.other.Set("/srv/other");
    home.Set("/home/someone");
    c.own.Set("/srv/own/");
    EXPECT_EQ(os::GetSpecialFolder(c.folder), "/srv/own");
    c.own.Set(nullptr);
    EXPECT_EQ(os::GetSpecialFolder(c.folder), std::string("/home/someone") + c.underHome);
    c.own.Set("relative/own");  // not absolute: ignored
    EXPECT_EQ(os::GetSpecialFolder(c.folder), std::string("/home/someone") + c.underHome);
    home.Set("/");
    EXPECT_EQ(os::GetSpecialFolder(c.folder), c.underHome);
    c.own.Set("");
    home.Set(nullptr);
    EXPECT_EQ(os::GetSpecialFolder(c.folder), std::nullopt);
  }
  EXPECT_EQ(os::GetSpecialFolder(os::SpecialFolder::CommonAppData), "/var/lib");
}
#endif

TEST_F(OsPathsTest, LocalTimeIsNowInRange) {
  const std::time_t before = std::time(nullptr);
  const os::LocalTime now = os::Now();
  const std::time_t after = std::time(nullptr);

  EXPECT_GE(now.year, 2000);
  EXPECT_LE(now.year, 9999);
  EXPECT_GE(now.month, 1);
  EXPECT_LE(now.month, 12);
  EXPECT_GE(now.day, 1);
  EXPECT_LE(now.day, 31);
  EXPECT_GE(now.hour, 0);
  EXPECT_LE(now.hour, 23);
  EXPECT_GE(now.minute, 0);
  EXPECT_LE(now.minute, 59);
  EXPECT_GE(now.second, 0);
  EXPECT_LE(now.second, 60);
  EXPECT_GE(now.milliseconds, 0);
  EXPECT_LE(now.milliseconds, 999);

  // The same moment as the C library's clock, read as local time: between the readings before and
  // after, to the second (a time-zone or daylight-saving fault is off by hours).
  const auto fieldsOf = [](std::time_t stamp) {
    const std::tm local = *std::localtime(&stamp);
    return std::array<int, 6>{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                              local.tm_hour,        local.tm_min,     local.tm_sec};
  };
  const std::array<int, 6> fields{now.year, now.month, now.day, now.hour, now.minute, now.second};
  EXPECT_LE(fieldsOf(before - 1), fields);
  EXPECT_LE(fields, fieldsOf(after + 1));
}

}  // namespace
