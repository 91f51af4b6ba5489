#pragma once
// The sandbox a test gives a program's windows: a program folder of its own (where the windows look for
// SavePath.ini, the language files and the documents) whose SavePath.ini sends the storage folder to a
// temporary folder of its own, so that no per-user or common folder is touched and tests run side by
// side. The application and the shell the windows stand on live here too.

#include <filesystem>
#include <memory>
#include <string>
#include <system_error>

#include "platform/ui/UiTesting.h"
#include "shell/ProgramShell.h"
#include "tests/support/TestSupport.h"

namespace testing_support {

class ProgramSandbox {
 public:
  // dist: the program's folder of shipped files in the source tree ("letrana/dist").
  ProgramSandbox(const TStorageConstants& program, const char* languageList, const char* title,
                 std::string dist)
      : program_(program), languageList_(languageList), dist_(std::move(dist)) {
    ui::testing::Reset();
    Place("SavePath.ini", "ApplicationStorage=\"" + storage.Path().string() + "\"\r\n");
    app->SetTitle(title);
  }
  virtual ~ProgramSandbox() {
    // A SavePath.ini makes the program folder the current directory: the test's own goes back.
    std::filesystem::current_path(startDirectory);
  }

  // Puts a file beside the program, or takes it away again.
  void Place(const std::string& name, const std::string& bytes) {
    WriteFileBytes(programDirectory / name, bytes);
  }
  void Unplace(const std::string& name) {
    std::error_code ignored;
    std::filesystem::remove(programDirectory / name, ignored);
  }
  // Copies a file of the shipped ones beside the program.
  void PlaceShipped(const std::string& name) {
    const std::filesystem::path source =
        std::filesystem::path(__FILE__).parent_path().parent_path().parent_path() / dist_ / name;
    std::filesystem::copy_file(source, programDirectory / name,
                               std::filesystem::copy_options::overwrite_existing);
  }
  // The settings file of the storage folder.
  std::filesystem::path SettingsFile() const { return storage.Path() / program_.SettingsFileName; }
  // The folders of the test's program, found as a start finds them.
  TProgramFolders Folders() const { return StartFolders(program_, programDirectory.string() + "/"); }
  // A new shell on those folders, for the next windows.
  TProgramShell& NewShell() {
    shell = std::make_unique<TProgramShell>(program_, languageList_, Folders());
    return *shell;
  }

 private:
  const TStorageConstants& program_;
  const char* languageList_;
  std::string dist_;

 protected:
  const std::filesystem::path startDirectory = std::filesystem::current_path();
  TempDir program;
  const std::filesystem::path programDirectory = program.Path();
  TempDir storage;
  std::unique_ptr<ui::Application> app = std::make_unique<ui::Application>();
  std::unique_ptr<TProgramShell> shell;
};

}  // namespace testing_support
