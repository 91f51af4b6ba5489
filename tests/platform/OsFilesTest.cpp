#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/os/Os.h"
#include "tests/support/TestSupport.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

using testing_support::ReadFileText;
using testing_support::TempDir;
using testing_support::WriteFileBytes;

namespace {

std::size_t EntriesIn(const std::filesystem::path& folder) {
  std::size_t count = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder)) ++count;
  return count;
}

TEST(OsFiles, WriteFileReplacingWritesExactlyTheBytes) {
  TempDir dir;
  const std::string path = dir.File("a.ini");
  const std::string bytes("line\r\n\0\xff end\n", 13);
  ASSERT_TRUE(os::WriteFileReplacing(path, bytes));
  EXPECT_EQ(ReadFileText(path), bytes);

  // Replacing a longer file leaves nothing of its tail; empty content gives an empty file.
  WriteFileBytes(path, std::string(100000, 'x'));
  ASSERT_TRUE(os::WriteFileReplacing(path, "short"));
  EXPECT_EQ(ReadFileText(path), "short");
  ASSERT_TRUE(os::WriteFileReplacing(path, ""));
  EXPECT_EQ(ReadFileText(path), "");
  const std::string big(3 << 20, 'b');
  ASSERT_TRUE(os::WriteFileReplacing(path, big));
  EXPECT_EQ(ReadFileText(path), big);
  EXPECT_EQ(EntriesIn(dir.Path()), 1u);  // no temporary file left
}

TEST(OsFiles, WriteFileReplacingFailsCleanly) {
  TempDir dir;
  EXPECT_FALSE(os::WriteFileReplacing("", "x"));
  EXPECT_FALSE(os::WriteFileReplacing(dir.File("missing") + "/a.ini", "x"));
  EXPECT_FALSE(std::filesystem::exists(dir.Path() / "missing"));

  // A folder in the target's place stays a folder, with its content.
  std::filesystem::create_directory(dir.Path() / "sub");
  WriteFileBytes(dir.Path() / "sub" / "keep.txt", "keep");
  EXPECT_FALSE(os::WriteFileReplacing(dir.File("sub"), "x"));
  EXPECT_TRUE(std::filesystem::is_directory(dir.Path() / "sub"));
  EXPECT_EQ(ReadFileText(dir.Path() / "sub" / "keep.txt"), "keep");
  EXPECT_EQ(EntriesIn(dir.Path()), 1u);
}

#ifdef _WIN32
// A target that another handle holds open without sharing cannot be replaced: the old content stays
// and the temporary file goes again.
TEST(OsFiles, WriteFileReplacingKeepsLockedAndReadOnlyFiles) {
  TempDir dir;
  const std::string path = dir.File("locked.ini");
  WriteFileBytes(path, "old");
  const int fd = _sopen(path.c_str(), _O_RDONLY | _O_BINARY, _SH_DENYRW, _S_IREAD);
  ASSERT_GE(fd, 0);
  const bool written = os::WriteFileReplacing(path, "new content");
  _close(fd);
  EXPECT_FALSE(written);
  EXPECT_EQ(ReadFileText(path), "old");
  EXPECT_EQ(EntriesIn(dir.Path()), 1u);

  // A read-only file is not replaced either.
  const std::string readOnly = dir.File("readonly.ini");
  WriteFileBytes(readOnly, "old");
  ASSERT_EQ(_chmod(readOnly.c_str(), _S_IREAD), 0);
  EXPECT_FALSE(os::WriteFileReplacing(readOnly, "new"));
  _chmod(readOnly.c_str(), _S_IREAD | _S_IWRITE);
  EXPECT_EQ(ReadFileText(readOnly), "old");
  EXPECT_EQ(EntriesIn(dir.Path()), 2u);
}
#else
TEST(OsFiles, WriteFileReplacingKeepsModeLinksAndDevices) {
  TempDir dir;
  const std::string path = dir.File("a.ini");
  WriteFileBytes(path, "old");
  ASSERT_EQ(chmod(path.c_str(), 0640), 0);
  ASSERT_TRUE(os::WriteFileReplacing(path, "new"));
  struct stat info {};
  ASSERT_EQ(stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);

  // Through a symbolic link: the link stays, the file it names gets the content.
  const std::string link = dir.File("link.ini");
  ASSERT_EQ(symlink(path.c_str(), link.c_str()), 0);
  ASSERT_TRUE(os::WriteFileReplacing(link, "via link"));
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(ReadFileText(path), "via link");
  EXPECT_EQ(EntriesIn(dir.Path()), 2u);

  // A device is never replaced by a regular file.
  if (stat("/dev/full", &info) == 0 && S_ISCHR(info.st_mode)) {
    EXPECT_FALSE(os::WriteFileReplacing("/dev/full", "x"));
    ASSERT_EQ(stat("/dev/full", &info), 0);
    EXPECT_TRUE(S_ISCHR(info.st_mode));
  } else {
    ADD_FAILURE() << "no /dev/full to check against";
  }

  // A file this process cannot write keeps its content (read-only, or immutable for the superuser,
  // who may write read-only files), and no temporary file stays beside it.
  const testing_support::UnwritableFile unwritable(dir, "read-only.ini");
  if (unwritable.Path().empty())
    SKIP_OR_FAIL_WHERE_PROMISED("no file this process cannot write: " + unwritable.Why());
  EXPECT_FALSE(os::WriteFileReplacing(unwritable.Path(), "refused"));
  EXPECT_EQ(ReadFileText(unwritable.Path()), "keep");
  EXPECT_EQ(EntriesIn(dir.Path()), 3u);
}
#endif

}  // namespace
