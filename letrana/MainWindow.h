#pragma once
// The main window of Letrana: the 256 codes of the single-byte character set drawn in a chosen font,
// font colour and background colour as a grid of equal cells, an enlarged preview of the clicked
// character, and the export of the selected characters as image files of their own.
//
// The sample label LblFont holds the rendering state: its font is the rendering font (the font's
// colour is the font colour) and its background colour is the background colour. Every rendering
// reads it at the moment it runs.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/SettingsDocument.h"
#include "imaging/Graphics.h"
#include "letrana/AboutBox.h"
#include "letrana/ProgressBox.h"
#include "letrana/Texts.h"
#include "platform/text/Text.h"
#include "platform/ui/Ui.h"
#include "shell/ProgramShell.h"

class TFrmLetrana : public ui::Form {
 public:
  TFrmLetrana(ui::Application& app, TProgramShell& shell);
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
  // The program's folders, its language in force (the section LookupText reads is "FrmMain" after
  // each ApplyLanguage) and the interface-font switches of its settings.
  TProgramShell& Shell;
  std::string LicensePath, ReadMePath;
  // The localised names of the keys in the menus' shortcut texts.
  std::string m_aMenScShift, m_aMenScCtrl, m_aMenScAlt, m_aMenScDelete, m_aMenScF;
  // Progress box texts of the grid build and the export; empty until a language sets them.
  std::string m_aMGeneratingPreview, m_aMSaving;
  // The name of the fifth export form in the save dialog's file-type list; empty until a language sets
  // it (the list then shows the built-in name).
  std::string m_aMPngWithAlpha;
  std::unique_ptr<ui::Font> PreviewFont;  // owned; a 30-point copy of the rendering font

  // True when the settings named no language: the language name is then not written back.
  bool NoStoredLanguage = true;

  // ---- Window events ----
  void FormCreate();
  void FormShow();
  void FormResize();
  void FormClose();
  void TimInitTimer();

  // ---- Commands ----
  void MenExportClick();
  // Writes the selected cells (all of them, selected from then on, when none is) as base + "%03d" +
  // extension, base being the chosen path without its extension, in the form of the save dialog's
  // filter index: 1 BMP, 2 JPEG, 3 GIF, any other transparent GIF.
  void ExportCells(const std::string& chosenPath, int filterIndex);
  void MenGenerateImagesClick();
  void MenExitClick();
  void MenSelectFontClick();
  void MenSelectFontColorClick();
  void MenSelectBackgroundColorClick();
  void MenSelectAllClick();
  void MenInvertSelectionClick();
  void MenCopyCharacterClick();
  void MenCopyImageClick();
  void MenUsageClick();
  void MenLicenseClick();
  void MenReadMeClick();
  void MenCheckUpdateClick();
  void MenInfoClick();

  // ---- Language ----
  // Finds the wanted language in the language list beside the program (empty: the list's default) and
  // applies it; a language the list does not name leaves the one in force.
  void SelectLanguage(const std::string& wanted);
  // Loads the language file (none when the path is empty or names no file) and sets every text of the
  // window, then the menus' shortcut texts.
  void ApplyLanguage(std::string path, std::string name);
  // The language's text of key in the current section, or the built-in text.
  std::string LookupText(const std::string& key, const std::string& builtIn) const;
  // Appends a tab and the key to the captions of the menu items that have one.
  void AddShortcutTexts();

  // ---- Settings ----
  // Reads the settings file: window placement, rendering state, interface font, language.
  void LoadSettings(const std::string& path);
  // Writes the settings file anew from the window's state.
  void SaveSettings(const std::string& path);
  // Gives the window the interface font, when it differs from the window's font in name, character
  // set or height; the sample label keeps its own font.
  void ApplyInterfaceFont(const ui::Font& font);

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
  // The control or member a language text is set into, by its name.
  void SetLanguageTarget(std::string_view target, const std::string& text);
  ui::MenuItem& MenuItemNamed(std::string_view name);

  std::vector<std::unique_ptr<ui::TextRenderer>> renderers_;  // most recently used first
  bool shown_ = false;
  // Counts the grid builds begun; a build that sees it change while it processes messages was
  // replaced by a newer one (a command run meanwhile) and stops.
  unsigned buildGeneration_ = 0;
};

// The text between the last "_" and the first "." of the language file's name (without its folder);
// empty when the path is empty, when no "_" comes before the first ".", or when there is no ".".
std::string HelpLanguagePart(const std::string& languageFile);

// The maker's update page for this version, with the query in English whatever the interface
// language.
std::string UpdatePageAddress();

// The three windows of the program, created in this order; they live until the program ends.
struct TLetranaWindows {
  TLetranaWindows(ui::Application& app, TProgramShell& shell);
  TFrmLetrana FrmLetrana;
  TFrmInfo FrmInfo;
  TFrmProgress FrmProgress;
};

// The program: sets the application title, creates the windows and runs the message loop until the
// main window closes. An error that escapes is shown in the error box; the result (the exit code) is 0.
int RunLetrana(ui::Application& app, const TProgramFolders& folders);
