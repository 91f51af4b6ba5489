#pragma once
// The main window of Letrana: the 256 codes of the single-byte character set (or a page of the Unicode
// characters chosen in the Characters menu) drawn in a chosen font, font colour and background colour as
// a grid of equal cells, an enlarged preview of the clicked character, the export of the selected
// characters as image files of their own, and the export of all the chosen characters as an atlas.
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
#include "glyphs/GlyphExport.h"
#include "imaging/Graphics.h"
#include "letrana/AboutBox.h"
#include "letrana/AtlasDialog.h"
#include "letrana/CharacterChoice.h"
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
  // After "?", so that the designed menus keep their places.
  ui::MenuItem MenCharacters, MenCodePage, MenUnicodeBlocks, MenTextFile, MenCharactersLine01,
      MenPreviousPage, MenNextPage, MenCharactersLine02, MenExportAtlas;
  // The items of MenUnicodeBlocks, one a block of UnicodeBlocks(), in its order.
  std::vector<std::unique_ptr<ui::MenuItem>> MenBlocks;
  ui::PopupMenu PopMain;
  ui::MenuItem PopCopyCharacter, PopCopyImage;
  ui::ImageList ImlCharacters;
  ui::FontDialog FodFont;
  ui::SaveDialog SvdSave;
  ui::ColorDialog CldColor;
  ui::OpenDialog OpdTextFile;
  ui::SaveDialog SvdAtlas;
  // The key bindings of the window's action list.
  ui::Action ActExport, ActGenerateImages, ActQuit, ActSelectAll, ActInvert, ActCopyCharacters, ActCopyImage,
      ActUsage, ActPreviousPage, ActNextPage;
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
  std::string m_aMenScShift, m_aMenScCtrl, m_aMenScAlt, m_aMenScDelete, m_aMenScF, m_aMenScPageUp,
      m_aMenScPageDown;
  // Progress box texts of the grid build and the export; empty until a language sets them.
  std::string m_aMGeneratingPreview, m_aMSaving;
  // The name of the fifth export form in the save dialog's file-type list; empty until a language sets
  // it (the list then shows the built-in name).
  std::string m_aMPngWithAlpha;
  std::unique_ptr<ui::Font> PreviewFont;  // owned; a 30-point copy of the rendering font

  // True when the settings named no language: the language name is then not written back.
  bool NoStoredLanguage = true;

  // The characters chosen (the code page until the settings or the Characters menu choose others), all of
  // them, and the page of them the grid shows, a cell each (a cell's image index is its place here).
  TCharacterChoice Characters;
  std::vector<TGlyphCharacter> ChosenCharacters = CodePageCharacters();
  std::vector<TGlyphCharacter> GridCharacters = CodePageCharacters();
  // The options of the last atlas export (or of the settings).
  TAtlasChoice AtlasChoice;

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
  void MenCodePageClick();
  // An item of MenBlocks: the block of that place in UnicodeBlocks().
  void MenBlockClick(std::size_t block);
  void MenTextFileClick();
  void MenPreviousPageClick();
  void MenNextPageClick();
  void MenExportAtlasClick();
  // Writes the atlas of all the chosen characters (every page) with the options of AtlasChoice: the
  // pages and base + ".fnt", base being the chosen path without its extension, as letrana-export
  // --atlas writes them for the same font, size, colours, characters and options.
  void ExportAtlas(const std::string& chosenPath);
  // Makes the choice the one in force from its page on and builds the grid: the characters are read
  // first (a text file's error leaves the choice in force as it was).
  void ChooseCharacters(const TCharacterChoice& choice);

  // ---- Language ----
  // Finds the wanted language in the language list beside the program (empty: the list's default) and
  // applies it; a language the list does not name leaves the one in force.
  void SelectLanguage(const std::string& wanted);
  // Loads the language file (none when the path is empty or names no file) and sets every text of the
  // window, then the menus' shortcut texts.
  void ApplyLanguage(std::string path, std::string name);
  // The language's text of key in the current section, or the built-in text.
  std::string LookupText(const std::string& key, const std::string& builtIn) const;
  // The language's text of a row of the window's text table (letrana/Texts.h), by its name.
  std::string Text(std::string_view name) const;
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

  // Renders the character (the one-byte string of a code page byte) into the bitmap (fresh, owned by
  // the caller): as wide as the character's advance width and `height` pixels high, the background
  // colour with the glyph in the font's colour; rows below the font's line height keep the contrast
  // colour (black on an exactly white background, else white). True when the result is at least 1 x 1
  // pixels; a character the font lacks renders nothing (false).
  bool RenderCharacter(const ui::Font& font, TColor background, int height, TBitmap& bitmap,
                       TGlyphCharacter character);
  // The line height of the font in pixels.
  int GetCellHeight(const ui::Font& font);
  // The largest advance width of the grid's characters in the font (0 when all measure 0; the 256
  // one-byte strings of the code page).
  int GetCellWidth(const ui::Font& font);
  // Replaces all cells with the page's characters rendered in the current rendering state (a
  // character the font lacks leaves its cell empty).
  void BuildCharacterGrid();
  // The character of the grid's item.
  TGlyphCharacter CellCharacter(int index) const;

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
  // The menu's marks and enabled page commands, and the caption ("Letrana", with the set and the page
  // for Unicode characters), for the choice in force.
  void ShowCharacterChoice();
  // The font can tell which Unicode characters it has; throws the language's error when it cannot.
  void CheckCharacterMap(const ui::TextRenderer& renderer) const;
  // An error of a text file in the language's words.
  std::string FileErrorText(const ECharacterFileError& error) const;

  std::vector<std::unique_ptr<ui::TextRenderer>> renderers_;  // most recently used first
  bool shown_ = false;
  // An error met while the settings were read (a text file that cannot be read any more), shown once
  // the grid is built.
  std::string startError_;
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
