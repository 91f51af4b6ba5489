#pragma once
// The main window of Letrana: the 256 codes of the single-byte character set drawn in a chosen font,
// font colour and background colour as a grid of equal cells, an enlarged preview of the clicked
// character, and the export of the selected characters as image files of their own.
//
// The sample label LblFont holds the rendering state: its font is the rendering font (the font's
// colour is the font colour) and its background colour is the background colour. Every rendering
// reads it at the moment it runs.

#include <memory>
#include <string>
#include <vector>

#include "common/class_init.h"
#include "imaging/Graphics.h"
#include "letrana/UnitInfo.h"
#include "letrana/UnitProgress.h"
#include "platform/Text.h"
#include "platform/Ui.h"

class TFrmLetrana : public ui::Form {
 public:
  explicit TFrmLetrana(ui::Application& app);
  ~TFrmLetrana() override;

  // ---- Menus, dialogs and the other non-visual parts ----
  ui::MainMenu MenMain;
  ui::MenuItem MenFile, MenExport, MenGenerateImages, MenFileLine01, MenExit;
  ui::MenuItem MenEdit, MenSelectFont, MenSelectFontColor, MenSelectBackgroundColor, N1, MenSelectAll,
      MenInvertSelection, MenEditLine02, MenCopyCharacter, MenCopyImage;
  ui::MenuItem MenHelp, MenUsage, MenLicense, MenReadMe, MenCheckUpdate, MenHelpLine, MenInfo;
  ui::PopupMenu PopMain;
  ui::MenuItem PopCopyCharacter, PopCopyImage;
  ui::ImageList ImlCharacters;
  ui::FontDialog FodFont;
  ui::SaveDialog SvdSave;
  ui::ColorDialog CldColor;
  // The key bindings of the window's action list.
  ui::Action ActExport, ActGenerateImages, ActQuit, ActSelectAll, ActInvert, ActCopyCharacters, ActCopyImage,
      ActUsage;
  ui::Timer TimInit;

  // ---- Controls ----
  ui::Panel PnlTop;
  ui::Label LblFontName, LblFontNameVal, LblFontSize, LblFontSizeVal, LblPreview, LblFont;
  ui::Image ImgPreview;
  ui::Label LblCharValue;
  ui::Button BtnSelectFont, BtnSelectFontColor, BtnSelectBackgroundColor;
  ui::ListView LisCharacters;
  ui::Panel Panel1;
  ui::Button BtnCopyImage, BtnExport;

  // ---- The other windows of the program (created after this one, set by the program start) ----
  TFrmInfo* FrmInfo = nullptr;
  TFrmProgress* FrmProgress = nullptr;

  // ---- Window state ----
  std::string ProgramDirectory;  // ends with the path delimiter
  std::string LicensePath, ReadMePath;
  std::string StorageDirectory;  // ends with the path delimiter
  bool StorageRedirected = false;
  std::string LanguageFile, LanguageName;
  // Progress box texts of the grid build and the export; empty until a language sets them.
  std::string m_aMGeneratingPreview, m_aMSaving;
  std::unique_ptr<class_init> LanguageDocument;  // owned for the run, discarded at close
  std::unique_ptr<ui::Font> PreviewFont;         // owned; a 30-point copy of the rendering font

  // ---- Window events ----
  void FormCreate();
  void FormShow();
  void FormResize();
  void FormClose();
  void TimInitTimer();

  // ---- Commands ----
  void MenExportClick();
  void MenGenerateImagesClick();
  void MenExitClick();
  void MenSelectFontClick();
  void MenSelectFontColorClick();
  void MenSelectBackgroundColorClick();
  void MenSelectAllClick();
  void MenInvertSelectionClick();
  void MenInfoClick();

  // ---- The grid and the preview ----
  void LisCharactersClick();
  void LisCharactersSelectItem(int index, bool selected);

  // Renders the one-byte string of the code into the bitmap (fresh, owned by the caller): as wide as
  // the character's advance width and `height` pixels high, the background colour with the glyph in
  // the font's colour; rows below the font's line height keep the contrast colour (black on an exactly
  // white background, else white). True when the result is at least 1 x 1 pixels.
  bool RenderCharacter(const ui::Font& font, TColor background, int height, TBitmap& bitmap, int code);
  // The line height of the font in pixels.
  int GetCellHeight(const ui::Font& font);
  // The largest advance width of the 256 one-byte strings in the font (0 when all measure 0).
  int GetCellWidth(const ui::Font& font);
  // Replaces all 256 cells with the codes rendered in the current rendering state.
  void BuildCharacterGrid();

  // A distance designed at 96 pixels per inch, at this window's resolution.
  int ScaleForDpi(int n) const { return ui::ScaleForDpi(n, PixelsPerInch()); }

 private:
  // A realised font for this window's resolution. The last few are kept: a build measures and draws
  // with one font 512 times, and realising a font costs far more than drawing a character.
  const ui::TextRenderer& Renderer(const ui::Font& font);
  void CloseProgress();

  std::vector<std::unique_ptr<ui::TextRenderer>> renderers_;  // most recently used first
  bool shown_ = false;
  // Counts the grid builds begun; a build that sees it change while it processes messages was
  // replaced by a newer one (a command run meanwhile) and stops.
  unsigned buildGeneration_ = 0;
};

// The three windows of the program, created in this order; they live until the program ends.
struct TLetranaWindows {
  explicit TLetranaWindows(ui::Application& app);
  TFrmLetrana FrmLetrana;
  TFrmInfo FrmInfo;
  TFrmProgress FrmProgress;
};

// The program: sets the application title, creates the windows and runs the message loop until the
// main window closes. An error that escapes is shown in the error box; the result (the exit code) is 0.
int RunLetrana(ui::Application& app);
