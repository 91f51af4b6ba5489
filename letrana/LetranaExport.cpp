// letrana-export's start: the command line, Letrana's settings file as the default, and the exit code.

#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "common/StorageLocation.h"
#include "letrana/ExportTool.h"
#include "platform/os/Os.h"

int main(int argc, char** argv) {
  try {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    letrana_export::TExportToolEnvironment environment;
    environment.ShowProgress = os::StandardErrorIsTerminal();
    environment.Utf8Arguments = os::Utf8Arguments(argc, argv);
    // Letrana's own settings file, where the window keeps it; nothing is created to find it.
    const std::string programDirectory = DetermineProgramDirectory(LetranaStorage);
    if (const auto storage = FindStorageDirectory(LetranaStorage, programDirectory, SystemStorageFolders()))
      environment.DefaultSettingsFile = *storage + LetranaStorage.SettingsFileName;
    return letrana_export::RunExportTool(arguments, environment, std::cout, std::cerr);
  } catch (const std::exception& error) {
    std::cerr << "letrana-export: " << error.what() << '\n';
    return 1;
  }
}
