#pragma once
// The three windows of Snapora, created in this order and wired to each other; they live until the
// program ends.

#include "snapora/FileNameDialog.h"
#include "snapora/MainWindow.h"
#include "snapora/Viewer.h"

struct TSnaporaWindows {
  TSnaporaWindows(ui::Application& app, TProgramShell& shell);
  TFrmSnapora FrmSnapora;
  TFrmFullscreen FrmFullscreen;
  TFrmFileName FrmFileName;
};
