#pragma once
// The failure cases every image writer goes through: a file in a folder that does not exist, a target
// that cannot be replaced, and a full disk. Used by the writers' tests.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <share.h>
#endif

#include "imaging/Errors.h"
#include "imaging/Graphics.h"
#include "tests/support/TestSupport.h"

namespace writer_faults {

using Writer = void (*)(const TBitmap&, const std::string&);

// A width x height picture of the colours, row by row from the top.
inline TBitmap Picture(int width, int height, const std::vector<TColor>& pixels) {
  TBitmap bitmap;
  bitmap.SetSize(width, height);
  for (int i = 0; i < width * height; ++i)
    bitmap.SetPixel(i % width, i / width, pixels[static_cast<std::size_t>(i)]);
  return bitmap;
}

// A picture big enough that its file does not fit a stdio buffer, so that a failing write shows in
// the write itself and not only when the file is closed.
inline TBitmap NoisyPicture(int width, int height) {
  TBitmap bitmap;
  bitmap.SetSize(width, height);
  unsigned state = 12345;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      state = state * 1103515245u + 12345u;
      bitmap.SetPixel(x, y, (state >> 8) & 0xFFFFFF);
    }
  }
  return bitmap;
}

inline TBitmap OnePixel() {
  TBitmap bitmap;
  bitmap.SetSize(1, 1);
  bitmap.SetPixel(0, 0, RGB(1, 2, 3));
  return bitmap;
}

template <typename Error>
void ExpectError(Writer write, const TBitmap& bitmap, const std::string& fileName,
                 const std::string& message) {
  try {
    write(bitmap, fileName);
    ADD_FAILURE() << "no error for " << fileName;
  } catch (const Error& error) {
    EXPECT_EQ(error.what(), message);
  } catch (const std::exception& error) {
    ADD_FAILURE() << "wrong error type for " << fileName << ": " << error.what();
  }
}

// The file name's folder does not exist: the exact creation error, and nothing is created.
inline void ExpectMissingFolderFails(Writer write) {
  testing_support::TempDir dir;
  const std::string fileName = (dir.Path() / "no-such-folder" / "picture.out").string();
  ExpectError<EFCreateError>(write, OnePixel(), fileName,
                             "The file " + fileName + " cannot be created");
  EXPECT_FALSE(std::filesystem::exists(dir.Path() / "no-such-folder"));
  // A bitmap without pixels still creates its (empty) file first, so it fails the same way.
  ExpectError<EFCreateError>(write, TBitmap(), fileName, "The file " + fileName + " cannot be created");
}

// A target that cannot be replaced: an existing folder of the target's name, a file this process
// cannot write (read-only, or immutable where read-only does not bind the user, as for root), and on
// Windows a file that another handle holds locked.
inline void ExpectUnwritableTargetFails(Writer write) {
  namespace fs = std::filesystem;
  testing_support::TempDir dir;

  const std::string folder = dir.File("folder.out");
  fs::create_directory(folder);
  ExpectError<EFCreateError>(write, NoisyPicture(7, 5), folder,
                             "The file " + folder + " cannot be created");
  EXPECT_TRUE(fs::is_directory(folder));

#ifdef _WIN32
  // A file another program holds open without sharing it, which Windows refuses to every user.
  const std::string locked = dir.File("locked.out");
  testing_support::WriteFileBytes(locked, "keep");
  struct Lock {
    int fd;
    ~Lock() {
      if (fd >= 0) _close(fd);
    }
  } lock{_sopen(locked.c_str(), _O_RDONLY | _O_BINARY, _SH_DENYRW)};
  ASSERT_GE(lock.fd, 0);
  ExpectError<EFCreateError>(write, NoisyPicture(7, 5), locked,
                             "The file " + locked + " cannot be created");
  _close(lock.fd);
  lock.fd = -1;
  EXPECT_EQ(testing_support::ReadFileText(locked), "keep");
#endif

  // Last, because a skip ends this check and marks the test skipped.
  const testing_support::UnwritableFile unwritable(dir, "read-only.out");
  if (unwritable.Path().empty())
    SKIP_OR_FAIL_WHERE_PROMISED("no file this process cannot write: " + unwritable.Why());
  ExpectError<EFCreateError>(write, NoisyPicture(7, 5), unwritable.Path(),
                             "The file " + unwritable.Path() + " cannot be created");
  EXPECT_EQ(testing_support::ReadFileText(unwritable.Path()), "keep");
}

// The device whose writes always fail with "no space left": /dev/full, which Wine reaches through the
// drive that maps the Unix root. Empty when the system has none.
inline std::string FullDevice() {
#ifdef _WIN32
  const std::string path = "Z:\\dev\\full";
#else
  const std::string path = "/dev/full";
#endif
  std::FILE* probe = std::fopen(path.c_str(), "wb");
  if (probe == nullptr) return {};
  std::fclose(probe);
  return path;
}

// A full disk: a small file fails when it is closed, a bigger one in the write itself; both raise the
// short-write error.
inline void ExpectFullDiskFails(Writer write, const std::string& device) {
  ExpectError<EWriteError>(write, OnePixel(), device, "Writing the file failed");
  ExpectError<EWriteError>(write, NoisyPicture(300, 200), device, "Writing the file failed");
}

}  // namespace writer_faults
