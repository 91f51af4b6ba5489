#pragma once
// Snapora's file-name dialog: asks for the name a capture is written to. While it is open the
// program's application window stays topmost, so that the dialog is not lost behind the window being
// captured.

#include "platform/ui/Ui.h"

class TFrmSnapora;

class TFrmFileName : public ui::Form {
 public:
  explicit TFrmFileName(ui::Application& app);

  ui::Panel Panel1;
  ui::Label LblFileName;
  ui::Edit EdtFileName;
  ui::Button BtnBrowse, BtnOk, BtnCancel;
  ui::Action ActOk, ActCancel;

  // The main window (set by the program start).
  TFrmSnapora* FrmSnapora = nullptr;

  // Shows the dialog modally; true when the user accepted it with OK (or Enter). The close box and
  // Escape cancel.
  bool Ask();

  void FormShow();
  void FormClose();
  void BtnBrowseClick();

 private:
  // Makes the application window topmost; with showIt also shown, drawn and restored.
  void KeepApplicationOnTop(bool showIt);
  bool accepted_ = false;
};
