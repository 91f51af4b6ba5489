#pragma once
// The three windows of Snapora, created in this order and wired to each other; they live until the
// program ends.

#include "snapora/UnitFilename.h"
#include "snapora/UnitFullscreen.h"
#include "snapora/UnitSnapora.h"

struct TSnaporaWindows {
  TSnaporaWindows(ui::Application& app, TProgramShell& shell);
  TFrmSnapora FrmSnapora;
  TFrmFullscreen FrmFullscreen;
  TFrmFileName FrmFileName;
};
