// Snapora's start: the application, its three windows and the message loop.

#include <string>
#include <vector>

#include "platform/ui/Ui.h"
#include "snapora/MainWindow.h"

int main(int argc, char** argv) {
  ui::Application app;
  std::vector<std::string> arguments;
  for (int i = 1; i < argc; ++i) arguments.emplace_back(argv[i]);
  return RunSnapora(app, StartFolders(SnaporaStorage), arguments);
}
