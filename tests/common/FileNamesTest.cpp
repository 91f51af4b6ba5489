// The extension rule both programs use to choose an image format and to strip a chosen name.

#include "common/FileNames.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/os/Os.h"

TEST(FileNames, TheExtensionIsThePartFromTheLastDotOfTheLastElement) {
  const std::string d(1, os::PathDelimiter());
  EXPECT_EQ(FileExtension("shot.Jpg"), ".Jpg");
  EXPECT_EQ(FileExtension("a.b.bmp"), ".bmp");
  EXPECT_EQ(FileExtension("noext"), "");
  EXPECT_EQ(FileExtension("dir.d" + d + "noext"), "");
  EXPECT_EQ(FileExtension("dir" + d + ".hidden"), ".hidden");
  EXPECT_EQ(FileExtension("trailing."), ".");
  EXPECT_EQ(FileExtension(""), "");
  EXPECT_EQ(WithoutExtension("dir.d" + d + "glyph.gif"), "dir.d" + d + "glyph");
  EXPECT_EQ(WithoutExtension("dir.d" + d + "glyph"), "dir.d" + d + "glyph");
  EXPECT_EQ(WithoutExtension("a.b.c"), "a.b");
#ifdef _WIN32
  // Windows also ends a path element at "/" and at the drive's ":".
  EXPECT_EQ(FileExtension("C:\\shots.d/noext"), "");
  EXPECT_EQ(FileExtension("C:noext"), "");
  EXPECT_EQ(FileExtension("C:.bmp"), ".bmp");
  EXPECT_EQ(WithoutExtension("D:\\Shots\\win.bmp"), "D:\\Shots\\win");
#endif
}

TEST(FileNames, ChangingTheExtensionAndTakingTheLastElement) {
  const std::string d(1, os::PathDelimiter());
  EXPECT_EQ(ChangeFileExtension("shot.bmp", ".jpg"), "shot.jpg");
  EXPECT_EQ(ChangeFileExtension("", ".jpg"), ".jpg");
  EXPECT_EQ(ChangeFileExtension("dir.d" + d + "shot", ".bmp"), "dir.d" + d + "shot.bmp");
  EXPECT_EQ(ChangeFileExtension("a.tar.gz", ".jpg"), "a.tar.jpg");
  EXPECT_EQ(FileNamePart("dir" + d + "sub" + d + "shot.bmp"), "shot.bmp");
  EXPECT_EQ(FileNamePart("dir" + d), "");
  EXPECT_EQ(FileNamePart("shot.bmp"), "shot.bmp");
#ifdef _WIN32
  EXPECT_EQ(FileNamePart("C:shot.jpg"), "shot.jpg");
  EXPECT_EQ(FileNamePart("C:\\a/b.jpg"), "b.jpg");
#endif
}
