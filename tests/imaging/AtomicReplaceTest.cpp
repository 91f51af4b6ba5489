// Every image writer replaces its file only with a whole one: a write that fails (full disk, failing
// encoder, target that cannot be replaced) leaves the old file byte for byte and no temporary file;
// one that succeeds leaves the new file alone in its folder.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <jerror.h>
#include <jpeglib.h>

#ifndef _WIN32
#include <csignal>

#include <sys/resource.h>
#endif

#include "imaging/Bmp.h"
#include "imaging/Errors.h"
#include "imaging/Gifimage.h"
#include "imaging/Jpeg.h"
#include "imaging/Png.h"
#include "tests/imaging/WriterFaults.h"
#include "tests/support/TestSupport.h"

namespace {

namespace fs = std::filesystem;
using testing_support::ReadFileText;
using testing_support::TempDir;
using testing_support::WriteFileBytes;
using writer_faults::NoisyPicture;
using writer_faults::OnePixel;

struct Format {
  std::string extension;
  writer_faults::Writer write;
};

const std::vector<Format>& Formats() {
  static const std::vector<Format> formats = {
      {"bmp", SaveBitmapAsBmp},
      {"jpg", SaveBitmapAsJpeg},
      {"gif", [](const TBitmap& bitmap, const std::string& fileName) { SaveBitmapAsGif(bitmap, fileName); }},
      {"png", SaveBitmapAsPng},
      // With an alpha channel (the name's extension only tells the rows apart).
      {"alpha.png", [](const TBitmap& bitmap, const std::string& fileName) {
         SaveBitmapAsPngWithAlpha(
             bitmap,
             std::vector<std::uint8_t>(static_cast<std::size_t>(bitmap.Width()) * bitmap.Height(), 128),
             fileName);
       }}};
  return formats;
}

// Every byte value, zeros included, so that a partial overwrite cannot pass for the old content.
std::string OldContent() {
  std::string bytes(3000, '\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7 % 256);
  return bytes;
}

std::vector<std::string> Entries(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// What the writer raised ("" when nothing), so that it can be checked after the fault is undone.
std::string ErrorOf(writer_faults::Writer write, const TBitmap& bitmap, const std::string& fileName) {
  try {
    write(bitmap, fileName);
    return "";
  } catch (const std::exception& error) {
    return error.what();
  }
}

// The bytes the writer gives for the picture when it writes a new file.
std::string FreshFile(writer_faults::Writer write, const TBitmap& bitmap, const std::string& extension) {
  const TempDir dir;
  write(bitmap, dir.File("fresh." + extension));
  return ReadFileText(dir.File("fresh." + extension));
}

TEST(AtomicReplace, TheWrittenFileReplacesTheOldOneAndNothingElseIsLeft) {
  const TBitmap picture = NoisyPicture(300, 200);
  for (const Format& format : Formats()) {
    SCOPED_TRACE(format.extension);
    const TempDir dir;
    const std::string name = "picture." + format.extension, target = dir.File(name);
    // Files already holding the first temporary names are somebody else's: they stay as they are.
    WriteFileBytes(target + ".~1.tmp", "stale");
    WriteFileBytes(target + ".~2.tmp", "stale");
    WriteFileBytes(target, OldContent());
#ifndef _WIN32
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::replace);
#endif
    format.write(picture, target);
    EXPECT_EQ(ReadFileText(target), FreshFile(format.write, picture, format.extension));
    EXPECT_EQ(Entries(dir.Path()), (std::vector<std::string>{name, name + ".~1.tmp", name + ".~2.tmp"}));
    EXPECT_EQ(ReadFileText(target + ".~1.tmp"), "stale");
    EXPECT_EQ(ReadFileText(target + ".~2.tmp"), "stale");
#ifndef _WIN32
    EXPECT_EQ(fs::status(target).permissions(), fs::perms::owner_read | fs::perms::owner_write);
#endif

    // A bitmap without pixels replaces it as well (with an empty BMP or JPEG file).
    format.write(TBitmap(), target);
    EXPECT_EQ(ReadFileText(target), FreshFile(format.write, TBitmap(), format.extension));
    EXPECT_EQ(Entries(dir.Path()).size(), 3u);
  }
}

TEST(AtomicReplace, FailingEncoderKeepsTheOldFile) {
  const TempDir dir;
  // The JPEG library refuses the width only after the file was opened.
  TBitmap wide;
  wide.SetSize(65501, 1);
  WriteFileBytes(dir.File("wide.jpg"), OldContent());
  EXPECT_EQ(ErrorOf(SaveBitmapAsJpeg, wide, dir.File("wide.jpg")), EJPEGError(JERR_IMAGE_TOO_BIG).what());
  EXPECT_EQ(ReadFileText(dir.File("wide.jpg")), OldContent());

  // The GIF encoder meets an index beyond the colour map at the last pixel, when the image data before
  // it has gone to the file in several parts (the writer passes its bytes on 64 KiB at a time).
  TGIFImage image;
  image.SetReductionBits(7);
  image.Assign(NoisyPicture(600, 300));
  TGIFSubImage& frame = *image.Images.front();
  ASSERT_EQ(frame.ColorMap.Count(), 128);
  image.SaveToFile(dir.File("valid.gif"));
  ASSERT_GT(ReadFileText(dir.File("valid.gif")).size(), 2u << 16);
  frame.Data.back() = 200;
  WriteFileBytes(dir.File("broken.gif"), OldContent());
  try {
    image.SaveToFile(dir.File("broken.gif"));
    ADD_FAILURE() << "no error";
  } catch (const GIFException& error) {
    EXPECT_STREQ(error.what(), "Color not in color table");
  }
  EXPECT_EQ(ReadFileText(dir.File("broken.gif")), OldContent());
  EXPECT_EQ(Entries(dir.Path()), (std::vector<std::string>{"broken.gif", "valid.gif", "wide.jpg"}));
}

TEST(AtomicReplace, RefusedTargetsLeaveNothingBehind) {
  for (const Format& format : Formats()) {
    SCOPED_TRACE(format.extension);
    const TempDir dir;
    const std::string missing = (dir.Path() / "missing" / ("picture." + format.extension)).string();
    EXPECT_EQ(ErrorOf(format.write, OnePixel(), missing), EFCreateError(missing).what());
    EXPECT_TRUE(Entries(dir.Path()).empty());

    const testing_support::UnwritableFile unwritable(dir, "read-only." + format.extension);
    if (unwritable.Path().empty())
      SKIP_OR_FAIL_WHERE_PROMISED("no file this process cannot write: " + unwritable.Why());
    EXPECT_EQ(ErrorOf(format.write, NoisyPicture(30, 20), unwritable.Path()),
              EFCreateError(unwritable.Path()).what());
    EXPECT_EQ(ReadFileText(unwritable.Path()), "keep");
    const fs::path path = unwritable.Path();
    for (const std::string& entry : Entries(path.parent_path()))
      EXPECT_NE(entry.rfind(path.filename().string() + ".~", 0), 0u) << entry << " left beside it";
  }
}

#ifndef _WIN32
// Files of this process may grow to the given size only: a write beyond it fails with EFBIG, as on
// a full disk (SIGXFSZ, which would end the process, is ignored meanwhile).
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) : oldHandler_(std::signal(SIGXFSZ, SIG_IGN)) {
    getrlimit(RLIMIT_FSIZE, &saved_);
    rlimit limit = saved_;
    limit.rlim_cur = std::min(bytes, saved_.rlim_max);
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &saved_);
    std::signal(SIGXFSZ, oldHandler_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  rlimit saved_{};
  void (*oldHandler_)(int);
};

TEST(AtomicReplace, FullDiskKeepsTheOldFileByteForByte) {
  for (const Format& format : Formats()) {
    // A small file fails when it is closed, a bigger one in the write itself.
    for (const TBitmap& picture : {OnePixel(), NoisyPicture(300, 200)}) {
      SCOPED_TRACE(format.extension + " " + std::to_string(picture.Width()));
      const TempDir dir;
      const std::string name = "picture." + format.extension, target = dir.File(name);
      WriteFileBytes(target, OldContent());
      std::string error;
      {
        const FileSizeLimit limit(16);
        error = ErrorOf(format.write, picture, target);
      }
      EXPECT_EQ(error, EWriteError().what());
      EXPECT_EQ(ReadFileText(target), OldContent());
      EXPECT_EQ(Entries(dir.Path()), std::vector<std::string>{name});
    }
  }
}

TEST(AtomicReplace, SymbolicLinkStaysAndItsFileIsReplaced) {
  const TBitmap picture = NoisyPicture(40, 30);
  for (const Format& format : Formats()) {
    SCOPED_TRACE(format.extension);
    const TempDir dir;
    const std::string name = "real." + format.extension;
    WriteFileBytes(dir.File(name), OldContent());
    fs::create_directory(dir.Path() / "links");
    const fs::path link = dir.Path() / "links" / ("link." + format.extension);
    fs::create_symlink(fs::path("..") / name, link);
    format.write(picture, link.string());
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(fs::read_symlink(link), fs::path("..") / name);
    EXPECT_EQ(ReadFileText(dir.File(name)), FreshFile(format.write, picture, format.extension));
    EXPECT_EQ(Entries(dir.Path()), (std::vector<std::string>{"links", name}));
    EXPECT_EQ(Entries(dir.Path() / "links"), std::vector<std::string>{link.filename().string()});
  }
}
#endif

}  // namespace
