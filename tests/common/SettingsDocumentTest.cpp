#include "common/SettingsDocument.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "tests/support/TestSupport.h"

#ifndef _WIN32
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#endif

using testing_support::ReadFileText;
using testing_support::TempDir;
using testing_support::WriteFileBytes;

namespace {

constexpr std::uint8_t kXml = 1;
constexpr std::uint8_t kPlain = 0;
const std::string kDecl = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n";

// A document loaded from the given file content.
TSettingsDocument Loaded(std::uint8_t form, const std::string& content, bool expectLoaded = true) {
  TempDir dir;
  WriteFileBytes(dir.File("in.ini"), content);
  TSettingsDocument doc(form);
  EXPECT_EQ(doc.Load(dir.File("in.ini")), expectLoaded);
  return doc;
}

std::size_t EntriesIn(const std::filesystem::path& folder) {
  std::size_t count = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder)) ++count;
  return count;
}

TEST(SettingsDocument, WritesTheTwoFormsByteForByte) {
  TempDir dir;
  TSettingsDocument xml(kXml);
  EXPECT_EQ(xml.Cursor, 0);
  ASSERT_TRUE(xml.Save(dir.File("empty.ini")));
  EXPECT_EQ(ReadFileText(dir.File("empty.ini")), kDecl + "<InitFile>\r\n</InitFile>\r\n");

  xml.SetString("WindowPos", "208;129;708;462");
  xml.SetString("FontName", "Arial");
  xml.SetInt("FontSize", 12);
  ASSERT_TRUE(xml.Save(dir.File("Letrana.ini")));
  EXPECT_EQ(ReadFileText(dir.File("Letrana.ini")), kDecl +
                                                       "<InitFile>\r\n"
                                                       "  <WindowPos>208;129;708;462</WindowPos>\r\n"
                                                       "  <FontName>Arial</FontName>\r\n"
                                                       "  <FontSize>12</FontSize>\r\n"
                                                       "</InitFile>\r\n");

  TSettingsDocument plain(kPlain);
  EXPECT_EQ(plain.Header, "");
  EXPECT_EQ(plain.Footer, "");
  plain.SetString("LanguageFile", "Letrana_Languages.ini");
  plain.SetString("IniFile", "Letrana.ini");
  plain.SetInt("Min", INT32_MIN);
  plain.SetBool("On", true);
  plain.SetBool("Off", false);
  ASSERT_TRUE(plain.Save(dir.File("list.ini")));
  EXPECT_EQ(ReadFileText(dir.File("list.ini")),
            "LanguageFile=\"Letrana_Languages.ini\"\r\nIniFile=\"Letrana.ini\"\r\nMin=\"-2147483648\"\r\n"
            "On=\"1\"\r\nOff=\"0\"\r\n");

  // Saving again replaces the longer file whole; an empty plain document writes an empty file.
  plain.Clear();
  EXPECT_EQ(plain.Cursor, 0);
  ASSERT_TRUE(plain.Save(dir.File("list.ini")));
  EXPECT_EQ(ReadFileText(dir.File("list.ini")), "");
}

TEST(SettingsDocument, ReadsFirstEntryAndDefaults) {
  for (std::uint8_t form : {kXml, kPlain}) {
    SCOPED_TRACE(form);
    TSettingsDocument doc(form);
    doc.SetString("Empty", "");
    doc.SetString("A", "1");
    doc.SetString("A", "2");
    EXPECT_EQ(doc.GetString("Empty", "dflt"), "dflt");
    EXPECT_EQ(doc.GetInt("Empty", 42), 42);
    EXPECT_TRUE(doc.GetBool("Empty", true));
    EXPECT_EQ(doc.GetString("Missing", "dflt"), "dflt");
    EXPECT_FALSE(doc.GetBool("Missing", false));
    EXPECT_EQ(doc.GetInt("A", 0), 1);
    EXPECT_EQ(doc.Body, form == kXml ? "  <Empty></Empty>\r\n  <A>1</A>\r\n  <A>2</A>\r\n"
                                     : "Empty=\"\"\r\nA=\"1\"\r\nA=\"2\"\r\n");
  }
}

TEST(SettingsDocument, ConvertsNumbersLikeStrtolWithin32Bits) {
  const std::pair<const char*, std::int32_t> cases[] = {
      {"12abc", 12},
      {"abc", 0},
      {"0", 0},
      {"2147483647", 2147483647},
      {"2147483648", 2147483647},
      {"-2147483648", INT32_MIN},
      {"-2147483649", INT32_MIN},
      {"99999999999999999999", 2147483647},
      {"-99999999999999999999", INT32_MIN},
      {"4294967297", 2147483647},
      {"  -7", -7},
      {"\t\r\n\v\f3", 3},
      {"+5", 5},
      {"- 5", 0},
      {"+", 0},
      {"0000000000000000000042", 42},
  };
  for (const auto& [text, expected] : cases) {
    TSettingsDocument doc(kPlain);
    doc.SetString("N", text);
    EXPECT_EQ(doc.GetInt("N", -99), expected) << text;
  }
  const std::pair<const char*, bool> bools[] = {{"true", false}, {"1", true},  {"01", true},
                                                {" 1", true},    {"1x", true}, {"2", false},
                                                {"-1", false},   {"0", false}, {"4294967297", false}};
  for (const auto& [text, expected] : bools) {
    TSettingsDocument doc(kXml);
    doc.SetString("B", text);
    EXPECT_EQ(doc.GetBool("B", !expected), expected) << text;
  }
}

TEST(SettingsDocument, FindsBySubstringAndCutsAtTheEndDelimiter) {
  TSettingsDocument plain(kPlain);
  plain.SetString("LanguageName", "X");
  plain.SetString("Name", "Y");
  plain.SetString("Q", "a\"b");
  plain.SetString("Lines", "one\r\ntwo\nthree");
  EXPECT_EQ(plain.GetString("Name", ""), "X");  // a key matches the tail of a longer one
  EXPECT_EQ(plain.GetString("Q", ""), "a");
  EXPECT_EQ(plain.GetString("Lines", ""), "one\r\ntwo\nthree");

  TSettingsDocument xml(kXml);
  xml.SetString("LanguageName", "X");
  xml.SetString("Name", "Y");
  xml.SetString("V", "a</V>b");
  xml.SetString("W", "a\"<b>");
  EXPECT_EQ(xml.GetString("Name", ""), "Y");
  EXPECT_EQ(xml.GetString("V", ""), "a");
  EXPECT_EQ(xml.GetString("W", ""), "a\"<b>");
}

TEST(SettingsDocument, GetNextWalksEntriesAndStopsWithoutMovingCursor) {
  TSettingsDocument doc(kPlain);
  doc.SetString("K", "a");
  doc.SetString("Other", "z");
  doc.SetString("K", "b");
  doc.SetString("K", "c");
  EXPECT_EQ(doc.GetString("K", ""), "a");
  EXPECT_EQ(doc.Cursor, 5);
  EXPECT_EQ(doc.GetNext("K"), "b");
  EXPECT_EQ(doc.GetNext("K"), "c");
  const std::int32_t end = doc.Cursor;
  EXPECT_EQ(end, static_cast<std::int32_t>(doc.Body.size()) - 2);
  EXPECT_EQ(doc.GetNext("K"), "");
  EXPECT_EQ(doc.Cursor, end);
  // Missing keys and a failed read leave Cursor alone; GetString starts over from the beginning.
  EXPECT_EQ(doc.GetString("Missing", "d"), "d");
  EXPECT_EQ(doc.Cursor, end);
  EXPECT_EQ(doc.GetString("Other", ""), "z");
  EXPECT_EQ(doc.GetNext("K"), "b");

  // Offsets outside the body find nothing.
  for (std::int32_t offset : {-1, INT32_MIN, static_cast<std::int32_t>(doc.Body.size()) + 1, INT32_MAX}) {
    doc.Cursor = offset;
    EXPECT_EQ(doc.GetNext("K"), "") << offset;
    EXPECT_EQ(doc.Cursor, offset);
  }
}

TEST(SettingsDocument, ReadsNeverLeaveTheBody) {
  // Opening delimiters at the very end, or without their closing one.
  for (const char* body : {"A=\"", "A=\"1", "A", "x=\"1\"\r\nA=\"", "\""}) {
    TSettingsDocument doc(kPlain);
    doc.Body = body;
    doc.Cursor = 0;
    EXPECT_EQ(doc.GetString("A", "d"), "d") << body;
    EXPECT_EQ(doc.GetInt("A", 5), 5);
    EXPECT_EQ(doc.GetNext("A"), "");
    EXPECT_EQ(doc.Cursor, 0);
  }
  for (const char* body : {"<A>", "<A>1</A", "<A>1</", "<A", "  <A>1</B>\r\n"}) {
    TSettingsDocument doc(kXml);
    doc.Body = body;
    EXPECT_EQ(doc.GetString("A", "d"), "d") << body;
    EXPECT_EQ(doc.Cursor, 0);
  }
  TSettingsDocument doc(kXml);
  doc.Body = "<A>x</A>";
  EXPECT_EQ(doc.GetString("A", ""), "x");
  EXPECT_EQ(doc.Cursor, 8);
  EXPECT_EQ(doc.GetNext("A"), "");  // searching from the very end
  EXPECT_EQ(doc.Cursor, 8);
}

TEST(SettingsDocument, LoadsXmlFiles) {
  const std::string sample =
      kDecl + "<InitFile>\r\n  <FontName>Arial</FontName>\r\n  <Empty></Empty>\r\n</InitFile>\r\n";
  TSettingsDocument doc = Loaded(kXml, sample);
  EXPECT_EQ(doc.Body, "  <FontName>Arial</FontName>\r\n  <Empty></Empty>\r\n");
  EXPECT_EQ(doc.GetString("FontName", ""), "Arial");
  EXPECT_EQ(doc.GetString("Empty", "d"), "d");

  // Another root name: found, kept and written back; text after the end tag is ignored.
  TempDir dir;
  TSettingsDocument other =
      Loaded(kXml, "\xEF\xBB\xBF<?xml version=\"1.0\"?>\n<Settings>\n  <A>7</A>\n</Settings>\nrest");
  EXPECT_EQ(other.RootName, "Settings");
  EXPECT_EQ(other.Body, "  <A>7</A>\n");
  EXPECT_EQ(other.GetInt("A", 0), 7);
  ASSERT_TRUE(other.Save(dir.File("out.ini")));
  EXPECT_EQ(ReadFileText(dir.File("out.ini")), kDecl + "<Settings>\r\n  <A>7</A>\n</Settings>\r\n");
  TSettingsDocument again(kXml);
  ASSERT_TRUE(again.Load(dir.File("out.ini")));
  EXPECT_EQ(again.Body, other.Body);
  EXPECT_EQ(again.RootName, "Settings");

  // Only one CR and one LF are taken after the start tag, each only where it stands.
  EXPECT_EQ(Loaded(kXml, "?><R>\r\r\n<A>1</A></R>").Body, "\r\n<A>1</A>");
  EXPECT_EQ(Loaded(kXml, "?><R>\n\r<A>1</A></R>").Body, "\r<A>1</A>");
  EXPECT_EQ(Loaded(kXml, "?><R>\r<A>1</A></R>").Body, "<A>1</A>");
  EXPECT_EQ(Loaded(kXml, "?><R></R>").Body, "");
  // The file text ends at its first NUL byte.
  EXPECT_EQ(Loaded(kPlain, std::string("A=\"1\"\0B=\"2\"", 11)).Body, "A=\"1\"");
  EXPECT_EQ(Loaded(kPlain, "x").Body, "x");
}

TEST(SettingsDocument, FailedLoadsLeaveBodyAndCursor) {
  struct Case {
    std::uint8_t form;
    std::string content;
    std::string rootAfter;
  };
  const Case cases[] = {
      {kXml, "", "InitFile"},
      {kPlain, "", "InitFile"},
      {kXml, "<", "InitFile"},
      {kXml, "<InitFile>\r\n  <A>1</A>\r\n</InitFile>\r\n", "InitFile"},  // no declaration
      {kXml, kDecl + "<InitFile/>\r\n", "InitFile/"},                     // empty-element root
      {kXml, kDecl + "<Cfg>\r\n  <A>1</A>\r\n", "Cfg"},                   // no end tag
      {kXml, kDecl + "<Cfg>\r\n  <A>1</A>\r\n</cfg>\r\n", "Cfg"},         // case matters
      {kXml, kDecl + "<Cfg\r\n", "InitFile"},                             // start tag not closed
      {kXml, std::string("?><R>\0</R>", 10), "R"},                        // end tag after a NUL
      {kXml, "?>", "InitFile"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.content);
    TempDir dir;
    WriteFileBytes(dir.File("in.ini"), c.content);
    TSettingsDocument doc(c.form);
    doc.SetString("Kept", "yes");
    const std::string before = doc.Body;
    doc.GetString("Kept", "");
    const std::int32_t cursor = doc.Cursor;
    EXPECT_FALSE(doc.Load(dir.File("in.ini")));
    EXPECT_EQ(doc.Body, before);
    EXPECT_EQ(doc.Cursor, cursor);
    if (c.form == kXml) {
      EXPECT_EQ(doc.RootName, c.rootAfter);
      EXPECT_EQ(doc.Header, kDecl + "<" + c.rootAfter + ">\r\n");
      EXPECT_EQ(doc.Footer, "</" + c.rootAfter + ">\r\n");
    }
  }

  // A file that is missing or a folder.
  TempDir dir;
  for (std::uint8_t form : {kXml, kPlain}) {
    TSettingsDocument doc(form);
    doc.SetString("Kept", "yes");
    const std::string before = doc.Body;
    EXPECT_FALSE(doc.Load(dir.File("missing.ini")));
    EXPECT_FALSE(doc.Load(dir.Path().string()));
    EXPECT_EQ(doc.Body, before);
    EXPECT_EQ(doc.RootName, "InitFile");
  }
}

TEST(SettingsDocument, LoadKeepsCursorAndReplacesBody) {
  TempDir dir;
  WriteFileBytes(dir.File("a.ini"), "K=\"1\"\r\nK=\"2\"\r\n");
  TSettingsDocument doc(kPlain);
  ASSERT_TRUE(doc.Load(dir.File("a.ini")));
  EXPECT_EQ(doc.GetString("K", ""), "1");
  ASSERT_TRUE(doc.Load(dir.File("a.ini")));
  EXPECT_EQ(doc.Cursor, 5);
  EXPECT_EQ(doc.GetNext("K"), "2");
}

TEST(SettingsDocument, RoundTripsAndScalesToLargeFiles) {
  TempDir dir;
  TSettingsDocument doc(kXml);
  for (int i = 0; i < 200000; ++i) doc.SetInt("Entry" + std::to_string(i), i);
  doc.SetString("Lines", "a\r\nb\rc\nd");
  doc.SetString("Long", "123456789012345678901234567890");
  ASSERT_TRUE(doc.Save(dir.File("big.ini")));
  TSettingsDocument loaded(kXml);
  ASSERT_TRUE(loaded.Load(dir.File("big.ini")));
  EXPECT_EQ(loaded.Body, doc.Body);
  EXPECT_GT(loaded.Body.size(), std::size_t{5} << 20);
  EXPECT_EQ(loaded.GetInt("Entry199999", -1), 199999);
  EXPECT_EQ(loaded.GetString("Lines", ""), "a\r\nb\rc\nd");
  EXPECT_EQ(loaded.GetInt("Long", 0), 2147483647);
  EXPECT_EQ(loaded.GetNext("Entry0"), "");
  EXPECT_EQ(loaded.Cursor, static_cast<std::int32_t>(loaded.Body.size()) - 2);
}

TEST(SettingsDocument, SaveFailsWithoutTouchingAnything) {
  TempDir dir;
  TSettingsDocument doc(kXml);
  doc.SetString("A", "1");
  EXPECT_FALSE(doc.Save(dir.File("missing") + "/x.ini"));
  EXPECT_FALSE(doc.Save(dir.Path().string()));
  EXPECT_TRUE(std::filesystem::is_directory(dir.Path()));
  EXPECT_EQ(EntriesIn(dir.Path()), 0u);
}

#ifndef _WIN32
TEST(SettingsDocument, SaveOnAFullDeviceFails) {
  struct stat device {};
  if (stat("/dev/full", &device) != 0 || !S_ISCHR(device.st_mode))
    SKIP_OR_FAIL_WHERE_PROMISED("no /dev/full");
  TSettingsDocument doc(kPlain);
  doc.SetString("A", "1");
  EXPECT_FALSE(doc.Save("/dev/full"));
  ASSERT_EQ(stat("/dev/full", &device), 0);
  EXPECT_TRUE(S_ISCHR(device.st_mode));  // still the device, never replaced by a file
}

// A write that runs out of space: the file size limit of the process makes the write fail the way a
// full disk does, in a real folder and without root.
TEST(SettingsDocument, SaveThatCannotWriteWholeKeepsTheOldFile) {
  TempDir dir;
  const std::string path = dir.File("Letrana.ini");
  const std::string old = kDecl + "<InitFile>\r\n  <A>old</A>\r\n</InitFile>\r\n";
  WriteFileBytes(path, old);
  TSettingsDocument doc(kXml);
  doc.SetString("A", std::string(4096, 'x'));

  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  if (saved.rlim_max != RLIM_INFINITY && saved.rlim_max < 1024) GTEST_SKIP() << "limit already tight";
  const auto previous = std::signal(SIGXFSZ, SIG_IGN);
  rlimit tight = saved;
  tight.rlim_cur = 1024;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &tight), 0);
  const bool saved_ok = doc.Save(path);
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previous);

  EXPECT_FALSE(saved_ok);
  EXPECT_EQ(ReadFileText(path), old);
  EXPECT_EQ(EntriesIn(dir.Path()), 1u);  // no temporary file left behind
  EXPECT_TRUE(doc.Save(path));
  EXPECT_EQ(ReadFileText(path).size(), doc.Header.size() + doc.Body.size() + doc.Footer.size());
}
#endif

}  // namespace
