// Snapora's start: the application, its three windows and the message loop.

#include "platform/Ui.h"
#include "snapora/UnitSnapora.h"

int main() {
  ui::Application app;
  return RunSnapora(app);
}
