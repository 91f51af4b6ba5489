// Letrana's start: the application, its three windows and the message loop.

#include "letrana/MainWindow.h"
#include "platform/ui/Ui.h"

int main() {
  ui::Application app;
  return RunLetrana(app, StartFolders(LetranaStorage));
}
