// The program and storage directories and the first-run record, run against a temporary folder tree
// that stands in for the program's folder and the two application-data folders.

#include "common/StorageLocation.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <iterator>
#include <optional>
#include <regex>
#include <string>

#include "platform/os/Os.h"
#include "tests/support/TestSupport.h"

namespace {

namespace fs = std::filesystem;
using testing_support::ReadFileText;
using testing_support::TempDir;
using testing_support::WriteFileBytes;

const std::string d(1, os::PathDelimiter());

const char* const kVersion = "Version 1.630 (21.07.2017)";

std::string LocalStamp(std::time_t stamp) {
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", std::localtime(&stamp));
  return text;
}

class StorageLocationTest : public ::testing::Test {
 protected:
  StorageLocationTest()
      : programDirectory(temp.File("Program") + d),
        local(temp.File("Local")),
        common(temp.File("Common")),
        folders{local, common} {
    fs::create_directory(temp.Path() / "Program");
    fs::create_directory(temp.Path() / "Local");
    fs::create_directory(temp.Path() / "Common");
  }
  void SetUp() override { savedDirectory = os::CurrentDirectory(); }
  // The storage code moves the current directory into the temporary tree; it must be back out before
  // the tree is removed.
  void TearDown() override { os::ChangeCurrentDirectory(savedDirectory); }

  void WriteSavePath(const std::string& content) {
    WriteFileBytes(programDirectory + "SavePath.ini", content);
  }
  // (Without the trailing delimiter: the Windows C library's stat refuses a folder written with one.)
  bool CurrentIsProgramDirectory() const {
    return fs::equivalent(os::CurrentDirectory(), temp.Path() / "Program");
  }
  std::string DefaultDirectory(const char* programFolder) const {
    return local + d + "Norvane" + d + programFolder + d;
  }
  std::string RecordFolder() const { return common + d + "Norvane" + d + "Letrana" + d; }
  std::string RecordFile() const { return RecordFolder() + "Installation.ini"; }

  // The record as a default start of this version writes it; only the date may differ.
  void ExpectFreshRecord(std::time_t before, std::time_t after) const {
    ASSERT_TRUE(fs::is_regular_file(RecordFile()));
    const std::string text = ReadFileText(RecordFile());
    const std::string head = "InstallationDirectory=\"" + programDirectory +
                             "\"\r\n"
                             "LanguageFile=\"Letrana_Languages.ini\"\r\n"
                             "IniFile=\"Letrana.ini\"\r\n"
                             "Version=\"Version 1.630 (21.07.2017)\"\r\n"
                             "InstallDate=\"";
    ASSERT_EQ(text.substr(0, head.size()), head) << text;
    const std::string rest = text.substr(head.size());
    ASSERT_TRUE(std::regex_match(rest, std::regex("\\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}:\\d{2}\"\r\n")))
        << rest;
    // This format sorts like time: the date lies between the clock readings around the call.
    const std::string date = rest.substr(0, 19);
    EXPECT_LE(LocalStamp(before - 1), date);
    EXPECT_LE(date, LocalStamp(after + 1));
  }

  TempDir temp;
  const std::string programDirectory, local, common;
  const TStorageFolders folders;
  std::string savedDirectory;
};

TEST_F(StorageLocationTest, ProgramDirectoryIsTheAbsoluteFolderOfTheExecutable) {
  ASSERT_TRUE(os::ChangeCurrentDirectory(temp.Path().string()));
  const std::string current = os::CurrentDirectory();
  EXPECT_EQ(ProgramDirectoryOf("bin" + d + "Letrana.exe", 1024), current + d + "bin" + d);
  EXPECT_EQ(ProgramDirectoryOf(current + d + "a" + d + ".." + d + "b" + d + "Snapora.exe", 4096),
            current + d + "b" + d);
  // A name that cannot be made absolute within the buffer leaves the current directory.
  EXPECT_EQ(ProgramDirectoryOf("bin" + d + "Letrana.exe", 8), current + d);
  EXPECT_EQ(ProgramDirectoryOf("", 1024), current + d);

  // The running executable: this test itself.
  const std::string own = DetermineProgramDirectory(LetranaStorage);
  ASSERT_FALSE(own.empty());
  EXPECT_EQ(own.back(), d[0]);
#ifdef _WIN32
  EXPECT_TRUE(os::FileExists(own + "common_StorageLocationTest.exe")) << own;
#else
  EXPECT_TRUE(os::FileExists(own + "common_StorageLocationTest")) << own;
#endif
  EXPECT_EQ(DetermineProgramDirectory(SnaporaStorage), own);
}

TEST_F(StorageLocationTest, WithoutSavePathTheDefaultFolderIsMadeAndTheRecordWritten) {
  const std::string before = os::CurrentDirectory();
  const std::time_t start = std::time(nullptr);
  const TStorageLocation location = DetermineStorageDirectory(LetranaStorage, programDirectory, folders);
  const std::time_t end = std::time(nullptr);

  EXPECT_EQ(location.StorageDirectory, DefaultDirectory("Letrana"));
  EXPECT_FALSE(location.StorageRedirected);
  EXPECT_TRUE(os::DirectoryExists(local + d + "Norvane"));
  EXPECT_TRUE(os::DirectoryExists(location.StorageDirectory));
  ExpectFreshRecord(start, end);
  // Without SavePath.ini the current directory stays where it was.
  EXPECT_EQ(os::CurrentDirectory(), before);

  // A second start finds everything in place and changes nothing.
  const std::string record = ReadFileText(RecordFile());
  const TStorageLocation again = DetermineStorageDirectory(LetranaStorage, programDirectory, folders);
  EXPECT_EQ(again.StorageDirectory, location.StorageDirectory);
  EXPECT_EQ(ReadFileText(RecordFile()), record);
}

// The folders the programs start with are the system's, each in its place: the settings under the
// user's own folder, the record under the one common to all users. Read here independently of the
// code under test: the environment Windows (and Wine) give every process, where the settings have
// always been (nothing former); or, natively, the configuration folder XDG_CONFIG_HOME this test sets,
// the data folder XDG_DATA_HOME earlier versions used, and /var/lib.
TEST_F(StorageLocationTest, SystemFoldersAreTheUsersAndTheCommonOne) {
#ifdef _WIN32
  const char* localAppData = std::getenv("LOCALAPPDATA");
  const char* programData = std::getenv("ProgramData");
  ASSERT_NE(localAppData, nullptr);
  ASSERT_NE(programData, nullptr);
  const TStorageFolders system = SystemStorageFolders();
  ASSERT_TRUE(system.UserSettings && system.CommonAppData);
  EXPECT_TRUE(fs::equivalent(*system.UserSettings, localAppData)) << *system.UserSettings;
  EXPECT_TRUE(fs::equivalent(*system.CommonAppData, programData)) << *system.CommonAppData;
  EXPECT_EQ(system.FormerUserSettings, std::nullopt);
#else
  std::optional<std::string> saved[2];
  const char* names[2] = {"XDG_CONFIG_HOME", "XDG_DATA_HOME"};
  for (int i = 0; i < 2; ++i)
    if (const char* value = std::getenv(names[i])) saved[i] = value;
  ASSERT_EQ(setenv("XDG_CONFIG_HOME", local.c_str(), 1), 0);
  ASSERT_EQ(setenv("XDG_DATA_HOME", temp.File("Data").c_str(), 1), 0);
  const TStorageFolders system = SystemStorageFolders();
  for (int i = 0; i < 2; ++i) saved[i] ? setenv(names[i], saved[i]->c_str(), 1) : unsetenv(names[i]);
  EXPECT_EQ(system.UserSettings, std::optional<std::string>(local));
  EXPECT_EQ(system.CommonAppData, std::optional<std::string>("/var/lib"));
  EXPECT_EQ(system.FormerUserSettings, std::optional<std::string>(temp.File("Data")));
#endif
}

// A settings file under the former per-user folder: a default start copies it into the new folder
// when that has none (the old one stays); finding the folder without a start points at the file to
// read. Both programs alike.
TEST_F(StorageLocationTest, SettingsUnderTheFormerFolderAreCarriedOverOnce) {
  const std::string former = temp.File("Former");
  const TStorageFolders withFormer{local, common, former};
  struct Case {
    const char* name;
    std::optional<std::string> formerText, newText;  // the files before the start; nothing: none
    bool redirected;
    std::optional<std::string> carried;  // the new folder's file after the start
    bool findsFormer;                    // FindStorageDirectory before the start gives the former folder
  };
  const Case cases[] = {
      {"carried over", "<former/>", std::nullopt, false, "<former/>", true},
      {"the new one wins", "<former/>", "<new/>", false, "<new/>", false},
      {"nothing to carry", std::nullopt, std::nullopt, false, std::nullopt, false},
      {"an empty file is a file", "", std::nullopt, false, "", true},
      {"redirected: nothing carried", "<former/>", std::nullopt, true, std::nullopt, true},
  };
  for (const auto& program : {LetranaStorage, SnaporaStorage}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(program.SettingsFileName) + ": " + c.name);
      fs::remove_all(former);
      fs::remove_all(local);
      fs::remove(programDirectory + "SavePath.ini");
      fs::create_directory(local);
      const std::string formerFolder = former + d + "Norvane" + d + program.ProgramFolder + d;
      const std::string newFolder = DefaultDirectory(program.ProgramFolder);
      if (c.formerText) {
        fs::create_directories(formerFolder);
        WriteFileBytes(formerFolder + program.SettingsFileName, *c.formerText);
      }
      if (c.newText) {
        fs::create_directories(newFolder);
        WriteFileBytes(newFolder + program.SettingsFileName, *c.newText);
      }
      if (c.redirected) {
        fs::create_directories(programDirectory + "Portable");
        WriteSavePath("ApplicationStorage=\"Portable\"\r\n");
      }
      const std::optional<std::string> expectedFound = c.redirected    ? programDirectory + "Portable" + d
                                                       : c.findsFormer ? formerFolder
                                                       : c.newText     ? std::optional<std::string>(newFolder)
                                                                       : std::nullopt;
      EXPECT_EQ(FindStorageDirectory(program, programDirectory, withFormer), expectedFound);

      DetermineStorageDirectory(program, programDirectory, withFormer);
      const std::string newFile = newFolder + program.SettingsFileName;
      const auto text = [](const std::string& file) {
        return fs::exists(file) ? std::optional<std::string>(ReadFileText(file)) : std::nullopt;
      };
      EXPECT_EQ(text(newFile), c.carried);
      EXPECT_EQ(text(formerFolder + program.SettingsFileName), c.formerText) << "the old file stays";
      if (!c.redirected) {
        EXPECT_EQ(std::distance(fs::directory_iterator(newFolder), fs::directory_iterator()),
                  c.carried ? 1 : 0)
            << "no temporary file left";
        EXPECT_EQ(FindStorageDirectory(program, programDirectory, withFormer), newFolder);
      }
      ASSERT_TRUE(os::ChangeCurrentDirectory(savedDirectory));
    }
  }
}

// The data directory: beside the executable when the language list lies there, else the installation's
// share/ folder when that holds it, else beside the executable all the same.
TEST_F(StorageLocationTest, DataDirectoryIsBesideTheProgramOrInItsInstallationsShareFolder) {
  const std::string bin = temp.File("usr") + d + "bin" + d;
  const std::string share = temp.File("usr") + d + "share" + d + "letrana" + d;
  struct Case {
    bool besideProgram, inShare;
    std::string expected;
  };
  for (const Case& c :
       {Case{true, false, bin}, Case{true, true, bin}, Case{false, true, share}, Case{false, false, bin}}) {
    SCOPED_TRACE(std::to_string(c.besideProgram) + std::to_string(c.inShare));
    fs::remove_all(temp.Path() / "usr");
    fs::create_directories(bin);
    fs::create_directories(share);
    if (c.besideProgram) WriteFileBytes(bin + "Letrana_Languages.ini", "x");
    if (c.inShare) WriteFileBytes(share + "Letrana_Languages.ini", "x");
    EXPECT_EQ(ProgramDataDirectoryOf(LetranaStorage, bin), c.expected);
  }
  // Each program looks for its own list under its own folder.
  EXPECT_EQ(ProgramDataDirectoryOf(SnaporaStorage, bin), bin);
}

TEST_F(StorageLocationTest, CaptureToolUsesTheViewersFolderAndNeverWritesARecord) {
  TStorageLocation location = DetermineStorageDirectory(SnaporaStorage, programDirectory, folders);
  EXPECT_EQ(location.StorageDirectory, DefaultDirectory("Pixolan"));
  EXPECT_FALSE(location.StorageRedirected);
  EXPECT_TRUE(os::DirectoryExists(location.StorageDirectory));
  EXPECT_FALSE(fs::exists(local + d + "Norvane" + d + "Letrana"));

  WriteSavePath("ApplicationStorage=\"NoSuchFolder\"\r\n");
  location = DetermineStorageDirectory(SnaporaStorage, programDirectory, folders);
  EXPECT_EQ(location.StorageDirectory, DefaultDirectory("Pixolan"));

  EXPECT_TRUE(fs::is_empty(common)) << "nothing under the common application-data folder";
}

TEST_F(StorageLocationTest, RelativeRedirectionIsTakenFromTheProgramDirectory) {
  fs::create_directory(fs::path(programDirectory) / "Data");
  // A folder of the same name beside the current directory must not be the one found.
  fs::create_directories(temp.Path() / "Elsewhere" / "Data");
  ASSERT_TRUE(os::ChangeCurrentDirectory(temp.File("Elsewhere")));

  WriteSavePath("ApplicationStorage=\"Data\"\r\n");
  TStorageLocation location = DetermineStorageDirectory(LetranaStorage, programDirectory, folders);
  EXPECT_EQ(location.StorageDirectory, programDirectory + "Data" + d);
  EXPECT_TRUE(location.StorageRedirected);
  EXPECT_TRUE(CurrentIsProgramDirectory());
  EXPECT_TRUE(fs::is_empty(local)) << "no per-user folder on a redirected start";
  EXPECT_TRUE(fs::is_empty(common)) << "no first-run record on a redirected start";

  // Written with a trailing delimiter or a "." part, the value names the same folder.
  for (const std::string& value : {"Data" + d, "." + d + "Data"}) {
    WriteSavePath("ApplicationStorage=\"" + value + "\"\r\n");
    location = DetermineStorageDirectory(LetranaStorage, programDirectory, folders);
    EXPECT_EQ(location.StorageDirectory, programDirectory + "Data" + d) << value;
    EXPECT_TRUE(location.StorageRedirected);
  }
  EXPECT_TRUE(fs::is_empty(local));
}

TEST_F(StorageLocationTest, AbsoluteRedirectionIsKeptInItsAbsoluteForm) {
  const std::string portable = temp.File("Portable Storage");
  ASSERT_TRUE(os::MakeDirectory(portable));

  WriteSavePath("Comment=\"the stick\"\r\nApplicationStorage=\"" + portable + "\"\r\n");
  TStorageLocation location = DetermineStorageDirectory(LetranaStorage, programDirectory, folders);
  EXPECT_EQ(location.StorageDirectory, portable + d);
  EXPECT_TRUE(location.StorageRedirected);
  EXPECT_TRUE(CurrentIsProgramDirectory());

  // ".." parts are resolved.
  WriteSavePath("ApplicationStorage=\"" + programDirectory + ".." + d + "Portable Storage\"\r\n");
  location = DetermineStorageDirectory(SnaporaStorage, programDirectory, folders);
  EXPECT_EQ(location.StorageDirectory, portable + d);
  EXPECT_TRUE(location.StorageRedirected);

  EXPECT_TRUE(fs::is_empty(local));
  EXPECT_TRUE(fs::is_empty(common));
  EXPECT_TRUE(fs::is_empty(portable)) << "a redirected folder is used as it is";
}

TEST_F(StorageLocationTest, RedirectionToNoFolderFallsBackButStillMovesTheCurrentDirectory) {
  WriteFileBytes(programDirectory + "NotAFolder.txt", "x");
  for (const std::string& value :
       {std::string("NoSuchFolder"), std::string("NotAFolder.txt"), temp.File("Gone") + d}) {
    SCOPED_TRACE(value);
    ASSERT_TRUE(os::ChangeCurrentDirectory(temp.Path().string()));
    fs::remove(RecordFile());
    WriteSavePath("ApplicationStorage=\"" + value + "\"\r\n");
    const std::time_t start = std::time(nullptr);
    const TStorageLocation location = DetermineStorageDirectory(LetranaStorage, programDirectory, folders);
    const std::time_t end = std::time(nullptr);
    EXPECT_EQ(location.StorageDirectory, DefaultDirectory("Letrana"));
    EXPECT_FALSE(location.StorageRedirected);
    EXPECT_TRUE(os::DirectoryExists(location.StorageDirectory));
    EXPECT_TRUE(CurrentIsProgramDirectory());
    ExpectFreshRecord(start, end);
  }
}

TEST_F(StorageLocationTest, SavePathWithoutAValueStillMovesTheCurrentDirectory) {
  for (const std::string content :
       {"ApplicationStorage=\"\"\r\n", "Other=\"Data\"\r\n", "\r\n", "ApplicationStorage=Data\r\n"}) {
    SCOPED_TRACE(content);
    ASSERT_TRUE(os::ChangeCurrentDirectory(temp.Path().string()));
    WriteSavePath(content);
    const TStorageLocation location = DetermineStorageDirectory(LetranaStorage, programDirectory, folders);
    EXPECT_EQ(location.StorageDirectory, DefaultDirectory("Letrana"));
    EXPECT_FALSE(location.StorageRedirected);
    EXPECT_TRUE(CurrentIsProgramDirectory());
  }

  // A file of zero bytes does not load, so it is as if there were none.
  ASSERT_TRUE(os::ChangeCurrentDirectory(temp.Path().string()));
  const std::string before = os::CurrentDirectory();
  WriteSavePath("");
  const TStorageLocation location = DetermineStorageDirectory(LetranaStorage, programDirectory, folders);
  EXPECT_EQ(location.StorageDirectory, DefaultDirectory("Letrana"));
  EXPECT_EQ(os::CurrentDirectory(), before);
}

TEST_F(StorageLocationTest, RecordOfThisVersionIsLeftUntouched) {
  fs::create_directories(RecordFolder());
  const std::string old = "InstallationDirectory=\"C:\\Old Place\\\"\r\nVersion=\"" + std::string(kVersion) +
                          "\"\r\nInstallDate=\"2017-07-21 14:03:09\"\r\nNote=\"kept\"";
  WriteFileBytes(RecordFile(), old);
  const auto stamp = fs::last_write_time(RecordFile());

  WriteFirstRunRecord(programDirectory, folders);
  EXPECT_EQ(ReadFileText(RecordFile()), old);
  EXPECT_EQ(fs::last_write_time(RecordFile()), stamp);

  DetermineStorageDirectory(LetranaStorage, programDirectory, folders);
  EXPECT_EQ(ReadFileText(RecordFile()), old);
}

TEST_F(StorageLocationTest, RecordOfAnotherOrNoVersionIsRewrittenWhole) {
  fs::create_directories(RecordFolder());
  const std::string others[] = {
      "InstallationDirectory=\"C:\\Old\\\"\r\nVersion=\"Version 1.620 (01.02.2016)\"\r\nExtra=\"old\"\r\n",
      "Version=\"Version 1.630 (21.07.2017) \"\r\n",
      "Version=\"version 1.630 (21.07.2017)\"\r\n",
      "InstallDate=\"2017-07-21 14:03:09\"\r\n",
      "",
      "garbage without any entry",
  };
  for (const std::string& other : others) {
    SCOPED_TRACE(other);
    WriteFileBytes(RecordFile(), other);
    const std::time_t start = std::time(nullptr);
    WriteFirstRunRecord(programDirectory, folders);
    const std::time_t end = std::time(nullptr);
    ExpectFreshRecord(start, end);
  }
}

TEST_F(StorageLocationTest, MissingApplicationDataFoldersAreSurvived) {
  // A path of folders made level by level, the existing ones kept; a path under a file cannot be made.
  const std::string nested = temp.File("New") + d + "Config" + d;
  EXPECT_TRUE(MakeDirectoryPath(nested));
  EXPECT_TRUE(MakeDirectoryPath(nested));
  EXPECT_TRUE(fs::is_directory(temp.Path() / "New" / "Config"));
  ASSERT_TRUE(os::WriteFileReplacing(temp.File("Plain"), "x"));
  EXPECT_FALSE(MakeDirectoryPath(temp.File("Plain") + d + "Below"));
  fs::remove_all(temp.Path() / "New");
  fs::remove(temp.Path() / "Plain");

  // The system names folders that are not there: both creations fail and nothing is written.
  const TStorageFolders missing{temp.File("NoLocal"), temp.File("NoCommon")};
  TStorageLocation location = DetermineStorageDirectory(LetranaStorage, programDirectory, missing);
  EXPECT_EQ(location.StorageDirectory, temp.File("NoLocal") + d + "Norvane" + d + "Letrana" + d);
  EXPECT_FALSE(location.StorageRedirected);
  EXPECT_FALSE(fs::exists(temp.Path() / "NoLocal"));
  EXPECT_FALSE(fs::exists(temp.Path() / "NoCommon"));

  // The system names no folders at all: the settings stay beside the program, no record is written.
  const std::string before = os::CurrentDirectory();
  for (const auto& program : {LetranaStorage, SnaporaStorage}) {
    location = DetermineStorageDirectory(program, programDirectory, TStorageFolders{});
    EXPECT_EQ(location.StorageDirectory, programDirectory);
    EXPECT_FALSE(location.StorageRedirected);
  }
  WriteFirstRunRecord(programDirectory, TStorageFolders{});
  WriteFirstRunRecord(programDirectory, TStorageFolders{"", ""});
  EXPECT_TRUE(fs::is_empty(temp.Path() / "Program"));
  EXPECT_EQ(os::CurrentDirectory(), before);
  EXPECT_TRUE(fs::is_empty(local));
  EXPECT_TRUE(fs::is_empty(common));
}

}  // namespace

namespace {

// Finding the storage folder for a program that only reads the settings (letrana-export): the same
// folder as a start would use, but nothing is created, written or moved.
TEST_F(StorageLocationTest, FindingTheStorageFolderChangesNothing) {
  fs::create_directories(temp.Path() / "Elsewhere" / "Data");
  ASSERT_TRUE(os::ChangeCurrentDirectory(temp.File("Elsewhere")));
  const std::string current = os::CurrentDirectory();

  // No default folder yet: nothing found, and nothing made.
  EXPECT_EQ(FindStorageDirectory(LetranaStorage, programDirectory, folders), std::nullopt);
  EXPECT_TRUE(fs::is_empty(local));
  EXPECT_TRUE(fs::is_empty(common)) << "no first-run record";
  // Once a start has made it, it is found.
  DetermineStorageDirectory(LetranaStorage, programDirectory, folders);
  ASSERT_TRUE(os::ChangeCurrentDirectory(current));
  EXPECT_EQ(FindStorageDirectory(LetranaStorage, programDirectory, folders), DefaultDirectory("Letrana"));
  // Without a per-user folder, the program's own folder.
  EXPECT_EQ(FindStorageDirectory(LetranaStorage, programDirectory, {}), programDirectory);

  // A relative redirection is relative to the program, not to the current directory, which stays.
  fs::create_directory(fs::path(programDirectory) / "Data");
  WriteSavePath("ApplicationStorage=\"Data\"\r\n");
  EXPECT_EQ(FindStorageDirectory(LetranaStorage, programDirectory, folders), programDirectory + "Data" + d);
  EXPECT_EQ(os::CurrentDirectory(), current);
  const std::string portable = temp.File("Portable");
  fs::create_directory(portable);
  WriteSavePath("ApplicationStorage=\"" + portable + "\"\r\n");
  EXPECT_EQ(FindStorageDirectory(LetranaStorage, programDirectory, folders), portable + d);
  // A redirection to no folder falls back to the default folder, as a start does.
  WriteSavePath("ApplicationStorage=\"Missing\"\r\n");
  EXPECT_EQ(FindStorageDirectory(LetranaStorage, programDirectory, folders), DefaultDirectory("Letrana"));
  EXPECT_EQ(os::CurrentDirectory(), current);
}

}  // namespace
