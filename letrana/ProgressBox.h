#pragma once
// The progress box: a small modeless window that the grid build and the export show while they run.
// Its callers set the message, show it (which also brings it to the front) and close it.

#include "platform/ui/Ui.h"

class TFrmProgress : public ui::Form {
 public:
  explicit TFrmProgress(ui::Application& app);

  ui::Label LblMessage;

  // Takes the main window's font over, at every show.
  void FormShow();
  // Gives the box the main window's face and size, when its own differs in name, character set or size.
  void ApplyInterfaceFont(const ui::Font& mainFont);
};
