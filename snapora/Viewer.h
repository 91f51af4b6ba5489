#pragma once
// Snapora's viewer: the last capture at full size in a maximised window, with scroll bars when it is
// larger than the window, and "Save as..." from its menu, its pop-up menu and Ctrl+S.

#include <string>

#include "platform/ui/Ui.h"

class TFrmSnapora;

class TFrmFullscreen : public ui::Form {
 public:
  explicit TFrmFullscreen(ui::Application& app);

  ui::MainMenu MenMain;
  ui::MenuItem MenFile, MenSaveAs;
  ui::PopupMenu PopImage;
  ui::MenuItem PopSaveAs;
  ui::Action ActSaveAs;
  ui::SaveDialog SvdSave;
  ui::Image ImgFullscreen;

  // The main window (set by the program start).
  TFrmSnapora* FrmSnapora = nullptr;
  // The localised word for the Ctrl key in the menu's shortcut text.
  std::string m_aMenScCtrl = "Ctrl";

  // Caption, font and menu texts from the main window, at every show.
  void FormShow();
  // Writes the viewer's picture under a chosen name: BMP for a .bmp name, PNG for a .png name, JPEG for
  // any other.
  void MenSaveAsClick();
  // The save dialog's type changed: the name in its name box gets the type's extension (".bmp", ".jpg"
  // or ".png" for the first, second and third entry).
  void SvdSaveTypeChange();
  void ImgFullscreenDblClick();
};

// The main window's font for another window of the program, when the two differ in name or character
// set: name, pitch, character set and size.
void TakeMainWindowFont(ui::Form& form, const ui::Font& mainFont);

// Writes the picture under the name in the form its extension names, in any case: BMP for ".bmp", PNG
// for ".png", JPEG for ".jpg"; any other extension writes JPEG when jpegForOtherNames (the viewer's
// saves), else nothing (a capture). True when a file was written.
bool SavePictureByName(const TBitmap& picture, const std::string& fileName, bool jpegForOtherNames);
