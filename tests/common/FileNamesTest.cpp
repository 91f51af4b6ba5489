// The extension rule both programs use to choose an image format and to strip a chosen name.

#include "common/FileNames.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/Os.h"

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
