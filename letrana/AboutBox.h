#pragma once
// The about box, shown modally from the "?" menu: the program's icon and name, the maker's logo, web
// and mail address, the version, the rights notice, and the translators' credits. A double click on a
// credit field opens its address. Only the OK button takes a language text.

#include <string>

#include "common/ProgramVersion.h"
#include "platform/ui/Ui.h"

class TFrmLetrana;

// The maker and this version.
inline constexpr const char* kMakerWebAddress = "www.norvane.example";
inline constexpr const char* kMakerMailAddress = "info@norvane.example";
inline constexpr const char* kProgramVersion = LETRANA_VERSION;
inline constexpr const char* kVersionText = "Version " LETRANA_VERSION " (" LETRANA_VERSION_DATE ")";

class TFrmInfo : public ui::Form {
 public:
  explicit TFrmInfo(ui::Application& app);

  ui::Panel PnlAbout;
  ui::Image ImgIcon, ImgLogo;
  ui::Edit EdtWeb, EdtMail;
  ui::Label LblApplicationName, LblVersion, LblCopyright, LblComment;
  ui::Label LblHungarian, LblJapanese, LblSwedish, LblArabic, LblGreek, LblItalian, LblPortuguese;
  ui::Edit EdtHungarian, EdtJapanese, EdtSwedish, EdtArabic, EdtGreek, EdtItalian, EdtPortuguese;
  ui::Button BtnOK;
  ui::Action ActOK;  // Enter, as for a default button

  // The main window, whose language and font the box takes over at each show (set by the program
  // start).
  TFrmLetrana* FrmLetrana = nullptr;

  void FormShow();
  void BtnOKClick();
  void EdtWebDblClick();
  void EdtMailDblClick();
  void EdtHungarianDblClick();
  void EdtJapaneseDblClick();
  void EdtSwedishDblClick();
  void EdtArabicDblClick();
  void EdtGreekDblClick();
  void EdtItalianDblClick();
  void EdtPortugueseDblClick();

  // Takes the face of the main window's font over into the box's labels and fields.
  void ApplyInterfaceFont(const ui::Font& mainFont);

 private:
  void Open(const std::string& target);
};

// The maker's logo, drawn at the given size: a tile with the maker's mark and name.
TBitmap DrawMakerLogo(int width, int height, int pixelsPerInch);
