#include "letrana/MainWindow.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "common/FileNames.h"
#include "common/Localisation.h"
#include "common/PersistedSettings.h"
#include "glyphs/Atlas.h"
#include "glyphs/DistanceField.h"
#include "glyphs/GlyphExport.h"
#include "glyphs/RenderingSettings.h"
#include "imaging/Errors.h"
#include "imaging/Png.h"
#include "platform/os/Os.h"
#include "platform/ui/Clipboard.h"
#include "platform/ui/Shell.h"

namespace {

constexpr const char* kWindowCaption = "Letrana";
constexpr int kPreviewPoints = 30;
// Realised fonts kept per window: the rendering font, the preview font and a spare.
constexpr std::size_t kRendererCacheSize = 3;

// "MS Sans Serif" 12 pixels high at 96 pixels per inch, plain and bold.
ui::Font WindowFont() { return {.name = "MS Sans Serif", .size = 9}; }
ui::Font ValueFont() { return {.name = "MS Sans Serif", .size = 9, .bold = true}; }

// The export dialog's file types, in the order of the export forms; a form with a label of its own is
// named in the language in force (translate: its label key to the language's text, or the built-in
// label).
template <typename Translate>
std::string ExportFilter(Translate translate) {
  std::vector<TDialogType> types;
  for (const TImageFormat form : GlyphFormats()) {
    const TImageFormatInfo& info = FormatInfo(form);
    types.push_back(
        {form, ParenthesisedLabel(form, info.LabelKey != nullptr ? translate(info) : info.Label)});
  }
  return DialogFilter(types);
}

// Copies the source onto the target with its top-left corner at (x, y); what falls outside the
// target is clipped.
void DrawBitmap(TBitmap& target, int x, int y, const TBitmap& source) {
  const int left = std::max(x, 0), top = std::max(y, 0);
  const int right = std::min(x + source.Width(), target.Width());
  const int bottom = std::min(y + source.Height(), target.Height());
  if (left >= right || top >= bottom) return;
  for (int row = top; row < bottom; ++row) {
    if (source.BitsPerPixel() == target.BitsPerPixel()) {
      const TBitmap::Pixel32* from = source.ScanLine(row - y) + (left - x);
      std::copy(from, from + (right - left), target.ScanLine(row) + left);
    } else {
      for (int column = left; column < right; ++column) {
        target.SetPixel(column, row, source.Pixel(column - x, row - y));
      }
    }
  }
}

constexpr const char* kSettingsFileName = "Letrana.ini";

// "%d (%02x)": decimal, then at least two lower-case hexadecimal digits in parentheses.
std::string CodeValueText(std::uint32_t code) {
  char text[32];
  std::snprintf(text, sizeof text, "%lu (%02lx)", static_cast<unsigned long>(code),
                static_cast<unsigned long>(code));
  return text;
}

// The name a block's menu item has in the text table: "MenBlock" and the block's first code point as
// at least four upper-case hexadecimal digits.
std::string BlockItemName(const TUnicodeBlock& block) {
  char text[32];
  std::snprintf(text, sizeof text, "MenBlock%04lX", static_cast<unsigned long>(block.First));
  return text;
}

// The advance width of the character as the grid measures it: a code page byte as its one-byte
// string, a Unicode character the font lacks as 0.
int CharacterWidth(const ui::TextRenderer& renderer, const TGlyphCharacter& character) {
  if (!character.Unicode) return renderer.Measure(CodeText(static_cast<int>(character.Code))).width;
  if (!FontHasCharacter(renderer, character)) return 0;
  return renderer.Measure(std::u32string(1, static_cast<char32_t>(character.Code))).width;
}

}  // namespace

TFrmLetrana::TFrmLetrana(ui::Application& app, TProgramShell& shell)
    : Form(app, {.caption = kWindowCaption,
                 .bounds = {208, 129, 708, 462},
                 .minWidth = 690,
                 .minHeight = 400,
                 .font = WindowFont(),
                 .color = clBtnFace}),
      Shell(shell) {
  Shell.WordErrorsIn(app);
  // Menus.
  MenMain.Create(*this);
  MenFile.Create(MenMain, "File");
  MenExport.Create(MenFile, "Export font...");
  MenGenerateImages.Create(MenFile, "Generate images");
  MenFileLine01.Create(MenFile, "-");
  MenExit.Create(MenFile, "Exit");
  MenEdit.Create(MenMain, "Edit");
  MenSelectFont.Create(MenEdit, "Select font");
  MenSelectFontColor.Create(MenEdit, "Select font color");
  MenSelectBackgroundColor.Create(MenEdit, "Select background color");
  N1.Create(MenEdit, "-");
  MenSelectAll.Create(MenEdit, "Select All");
  MenInvertSelection.Create(MenEdit, "InvertSelection");
  MenEditLine02.Create(MenEdit, "-");
  MenCopyCharacter.Create(MenEdit, "Copy Character");
  MenCopyImage.Create(MenEdit, "Copy image");
  MenHelp.Create(MenMain, "?");
  MenUsage.Create(MenHelp, "Help");
  MenLicense.Create(MenHelp, "License");
  MenReadMe.Create(MenHelp, "Changes");
  MenCheckUpdate.Create(MenHelp, "Check for update");
  MenHelpLine.Create(MenHelp, "-");
  MenInfo.Create(MenHelp, "Info");
  MenCharacters.Create(MenMain, "Characters");
  MenCodePage.Create(MenCharacters, "Code page");
  MenUnicodeBlocks.Create(MenCharacters, "Unicode block");
  for (const TUnicodeBlock& block : UnicodeBlocks()) {
    MenBlocks.push_back(std::make_unique<ui::MenuItem>());
    MenBlocks.back()->Create(MenUnicodeBlocks, block.Name);
    MenBlocks.back()->SetRadioItem(true);
  }
  MenTextFile.Create(MenCharacters, "Characters of a text file...");
  MenCharactersLine01.Create(MenCharacters, "-");
  MenPreviousPage.Create(MenCharacters, "Previous page");
  MenNextPage.Create(MenCharacters, "Next page");
  MenCharactersLine02.Create(MenCharacters, "-");
  MenExportAtlas.Create(MenCharacters, "Export atlas...");
  MenCodePage.SetRadioItem(true);
  MenTextFile.SetRadioItem(true);
  PopMain.Create(*this);
  PopCopyCharacter.Create(PopMain, "Copy character");
  PopCopyImage.Create(PopMain, "Copy image");

  // Non-visual parts.
  ImlCharacters.Create(*this, {});
  FodFont.Create(*this, {.name = "MS Sans Serif", .size = 8});
  SvdSave.Create(
      *this, {.filter = ExportFilter([](const TImageFormatInfo& info) { return std::string(info.Label); }),
              .defaultExt = "bmp",
              .overwritePrompt = false});
  CldColor.Create(*this);
  OpdTextFile.Create(*this, {.filter = "Text files (*.txt)|*.txt|All files (*.*)|*.*"});
  SvdAtlas.Create(*this,
                  {.filter = "Bitmap font (*.fnt)|*.fnt", .defaultExt = "fnt", .overwritePrompt = false});
  ActExport.Create(*this, {.key = 'S', .ctrl = true});
  ActGenerateImages.Create(*this, {.key = 'G', .ctrl = true});
  ActQuit.Create(*this, {.key = 'Q', .ctrl = true});
  ActSelectAll.Create(*this, {.key = 'A', .ctrl = true});
  ActInvert.Create(*this, {.key = 'I', .ctrl = true});
  ActCopyCharacters.Create(*this, {.key = 'C', .ctrl = true, .shift = true});
  ActCopyImage.Create(*this, {.key = 'C', .ctrl = true});
  ActUsage.Create(*this, {.key = ui::key::F1});
  ActPreviousPage.Create(*this, {.key = ui::key::PageUp, .ctrl = true});
  ActNextPage.Create(*this, {.key = ui::key::PageDown, .ctrl = true});
  TimInit.Create(*this, {.interval = 500, .enabled = true});

  // Controls, top to bottom.
  PnlTop.Create(*this, {.align = ui::Align::Top, .height = 153, .color = clWhite});
  LblFontName.Create(PnlTop, {.bounds = {7, 5, 0, 0}, .caption = "Font name:"});
  LblFontNameVal.Create(PnlTop, {.bounds = {207, 5, 0, 0}, .caption = "Font name", .font = ValueFont()});
  LblFontSize.Create(PnlTop, {.bounds = {343, 5, 0, 0}, .caption = "Font size:"});
  LblFontSizeVal.Create(PnlTop, {.bounds = {491, 5, 0, 0}, .caption = "Font size", .font = ValueFont()});
  LblPreview.Create(PnlTop, {.bounds = {207, 26, 0, 0}, .caption = "Preview:"});
  LblFont.Create(PnlTop, {.bounds = {208, 51, 409, 94},
                          .caption = "ABCDEFGHIJKLMNOPQRSTUVWXYZ1234567890abcdefghijklmnopqrstuxyz",
                          .autoSize = false,
                          .wordWrap = false,
                          .font = ui::Font{.name = "Arial", .size = 9, .color = clBlack},
                          .color = clWhite});
  ImgPreview.Create(PnlTop, {.bounds = {630, 53, 60, 60}});
  LblCharValue.Create(PnlTop, {.bounds = {630, 120, 59, 15},
                               .caption = "...",
                               .autoSize = false,
                               .alignment = ui::TextAlign::Center});
  BtnSelectFont.Create(PnlTop, {.bounds = {7, 62, 186, 25}, .caption = "Select font", .tabOrder = 0});
  BtnSelectFontColor.Create(PnlTop,
                            {.bounds = {7, 92, 186, 25}, .caption = "Select font color", .tabOrder = 1});
  BtnSelectBackgroundColor.Create(
      PnlTop, {.bounds = {7, 121, 186, 25}, .caption = "Select background color", .tabOrder = 2});
  LisCharacters.Create(*this, {.align = ui::Align::Client,
                               .viewStyle = ui::ViewStyle::Icon,
                               .multiSelect = true,
                               .hideSelection = false,
                               .autoArrange = true,
                               .largeImages = &ImlCharacters,
                               .popupMenu = &PopMain});
  Panel1.Create(*this, {.align = ui::Align::Bottom, .height = 41, .bevelOuter = false});
  BtnCopyImage.Create(Panel1, {.bounds = {200, 6, 137, 27}, .caption = "Copy image", .tabOrder = 0});
  BtnExport.Create(Panel1, {.bounds = {344, 6, 137, 27}, .caption = "Export font", .tabOrder = 1});

  // Commands.
  MenExport.OnClick = BtnExport.OnClick = ActExport.OnExecute = [this] { MenExportClick(); };
  MenGenerateImages.OnClick = ActGenerateImages.OnExecute = [this] { MenGenerateImagesClick(); };
  MenExit.OnClick = ActQuit.OnExecute = [this] { MenExitClick(); };
  MenSelectFont.OnClick = BtnSelectFont.OnClick = [this] { MenSelectFontClick(); };
  MenSelectFontColor.OnClick = BtnSelectFontColor.OnClick = [this] { MenSelectFontColorClick(); };
  MenSelectBackgroundColor.OnClick =
      BtnSelectBackgroundColor.OnClick = [this] { MenSelectBackgroundColorClick(); };
  MenSelectAll.OnClick = ActSelectAll.OnExecute = [this] { MenSelectAllClick(); };
  MenInvertSelection.OnClick = ActInvert.OnExecute = [this] { MenInvertSelectionClick(); };
  MenCopyCharacter.OnClick = PopCopyCharacter.OnClick =
      ActCopyCharacters.OnExecute = [this] { MenCopyCharacterClick(); };
  MenCopyImage.OnClick = PopCopyImage.OnClick = BtnCopyImage.OnClick = ActCopyImage.OnExecute =
      LisCharacters.OnDblClick = [this] { MenCopyImageClick(); };
  MenUsage.OnClick = ActUsage.OnExecute = [this] { MenUsageClick(); };
  MenLicense.OnClick = [this] { MenLicenseClick(); };
  MenReadMe.OnClick = [this] { MenReadMeClick(); };
  MenCheckUpdate.OnClick = [this] { MenCheckUpdateClick(); };
  MenInfo.OnClick = [this] { MenInfoClick(); };
  MenCodePage.OnClick = [this] { MenCodePageClick(); };
  for (std::size_t block = 0; block < MenBlocks.size(); ++block)
    MenBlocks[block]->OnClick = [this, block] { MenBlockClick(block); };
  MenTextFile.OnClick = [this] { MenTextFileClick(); };
  MenPreviousPage.OnClick = ActPreviousPage.OnExecute = [this] { MenPreviousPageClick(); };
  MenNextPage.OnClick = ActNextPage.OnExecute = [this] { MenNextPageClick(); };
  MenExportAtlas.OnClick = [this] { MenExportAtlasClick(); };
  LisCharacters.OnClick = [this] { LisCharactersClick(); };
  LisCharacters.OnSelectItem = [this](int index, bool selected) { LisCharactersSelectItem(index, selected); };
  TimInit.OnTimer = [this] { TimInitTimer(); };
  OnShow = [this] { FormShow(); };
  OnResize = [this] { FormResize(); };
  OnClose = [this] { FormClose(); };

  ScaleForScreen();
  FormCreate();
  FormResize();
  ShowCharacterChoice();
}

TFrmLetrana::~TFrmLetrana() = default;

// ---- Window events ----------------------------------------------------------------------------------

void TFrmLetrana::FormCreate() {
  SetDoubleBuffered(true);
  PreviewFont = std::make_unique<ui::Font>();
}

void TFrmLetrana::FormShow() {
  // The start-up steps belong to the first show only.
  if (shown_) return;
  shown_ = true;

  // Documents that are missing take their commands out of the menu.
  LicensePath = Shell.ProgramDirectory() + "Letrana_License.txt";
  if (!os::FileExists(LicensePath)) MenLicense.SetVisible(false);
  ReadMePath = Shell.ProgramDirectory() + "Letrana_ReadMe.txt";
  if (!os::FileExists(ReadMePath)) {
    MenReadMe.SetVisible(false);
    MenCheckUpdate.SetVisible(false);
  }

  SelectLanguage("");
  LoadSettings(Shell.SettingsPath());
}

void TFrmLetrana::FormResize() {
  // The two bottom buttons sit symmetrically about the centre; the preview keeps its right margin
  // and the sample label stretches up to it.
  BtnCopyImage.SetLeft(ClientWidth() / 2 - (ScaleForDpi(5) + BtnCopyImage.Width()));
  BtnExport.SetLeft(ScaleForDpi(5) + ClientWidth() / 2);
  ImgPreview.SetLeft(PnlTop.Width() - (ScaleForDpi(6) + ImgPreview.Width()));
  LblCharValue.SetLeft(ImgPreview.Left());
  LblFont.SetWidth(ImgPreview.Left() - (ScaleForDpi(12) + LblFont.Left()));
}

void TFrmLetrana::FormClose() {
  // A window that was never shown read no settings, and has nothing of its own to keep.
  if (shown_) SaveSettings(Shell.SettingsPath());
}

void TFrmLetrana::TimInitTimer() {
  // Fires once, after the window is on screen.
  TimInit.SetEnabled(false);
  LblFontNameVal.SetCaption(LblFont.GetFont().name);
  LblFontSizeVal.SetCaption(std::to_string(LblFont.GetFont().size));
  BuildCharacterGrid();
  if (!startError_.empty()) throw std::runtime_error(std::exchange(startError_, std::string()));
}

// ---- Commands ---------------------------------------------------------------------------------------

void TFrmLetrana::MenExportClick() {
  if (!SvdSave.Execute()) return;
  ExportCells(SvdSave.FileName(), SvdSave.FilterIndex());
}

void TFrmLetrana::ExportCells(const std::string& chosenPath, int filterIndex) {
  const std::string base = WithoutExtension(chosenPath);
  const int cellHeight = GetCellHeight(LblFont.GetFont());
  const TExportForm form = ExportFormOfFilterIndex(filterIndex);
  if (LisCharacters.SelCount() == 0) MenSelectAllClick();

  if (FrmProgress != nullptr) FrmProgress->LblMessage.SetCaption(m_aMSaving);
  try {
    // The count is read again at every cell: a command run while messages are processed may have
    // rebuilt the grid.
    for (int index = 0; index < LisCharacters.Count(); ++index) {
      if (FrmProgress != nullptr) FrmProgress->Show();
      if (!LisCharacters.Selected(index)) continue;
      // A character the font lacks has an empty cell, and no file.
      const TGlyphCharacter character = CellCharacter(index);
      const ui::TextRenderer& renderer = Renderer(LblFont.GetFont());
      if (!FontHasCharacter(renderer, character)) continue;
      ExportGlyph(renderer, LblFont.Color(), cellHeight, character, form, base);
      App().ProcessMessages();
      // The main window was closed meanwhile: the program ends, and so does the export.
      if (App().Terminated()) break;
    }
  } catch (...) {
    // The error ends the export at this cell; the message loop shows it.
    CloseProgress();
    throw;
  }
  CloseProgress();
}

void TFrmLetrana::MenGenerateImagesClick() { BuildCharacterGrid(); }

void TFrmLetrana::MenExitClick() { Close(); }

void TFrmLetrana::MenSelectFontClick() {
  FodFont.SetFont(LblFont.GetFont());
  if (!FodFont.Execute()) return;
  LblFont.SetFont(FodFont.GetFont());
  LblFontNameVal.SetCaption(FodFont.GetFont().name);
  LblFontSizeVal.SetCaption(std::to_string(FodFont.GetFont().size));
  BuildCharacterGrid();
}

// The colour dialog is not loaded with the current colour: it opens on the colour last picked in it.
void TFrmLetrana::MenSelectFontColorClick() {
  if (!CldColor.Execute()) return;
  ui::Font font = LblFont.GetFont();
  font.color = CldColor.Color();
  LblFont.SetFont(font);
  BuildCharacterGrid();
}

void TFrmLetrana::MenSelectBackgroundColorClick() {
  if (!CldColor.Execute()) return;
  LblFont.SetColor(CldColor.Color());
  BuildCharacterGrid();
}

void TFrmLetrana::MenSelectAllClick() {
  for (int index = 0; index < LisCharacters.Count(); ++index) LisCharacters.SetSelected(index, true);
}

void TFrmLetrana::MenInvertSelectionClick() {
  for (int index = 0; index < LisCharacters.Count(); ++index) {
    LisCharacters.SetSelected(index, !LisCharacters.Selected(index));
  }
}

// Only the first selected cell is copied: a code page byte as that one byte, a Unicode character as
// Unicode text.
void TFrmLetrana::MenCopyCharacterClick() {
  const int first = LisCharacters.FirstSelected();
  if (first < 0) return;
  const TGlyphCharacter character = CellCharacter(first);
  if (character.Unicode) {
    os::PutClipboardUnicodeText(std::u32string(1, static_cast<char32_t>(character.Code)));
  } else {
    os::PutClipboardText(CodeText(static_cast<int>(character.Code)));
  }
}

// The first selected cell's glyph, exactly as export writes it; a code that renders empty copies
// nothing. When the export form is PNG with alpha, that PNG goes with it.
void TFrmLetrana::MenCopyImageClick() {
  const int cellHeight = GetCellHeight(LblFont.GetFont());
  const int first = LisCharacters.FirstSelected();
  if (first < 0) return;
  const TGlyphCharacter character = CellCharacter(first);
  TBitmap glyph;
  if (!RenderCharacter(LblFont.GetFont(), LblFont.Color(), cellHeight, glyph, character)) return;
  std::vector<std::uint8_t> png;
  if (ExportFormOfFilterIndex(SvdSave.FilterIndex()) == TExportForm::PngWithAlpha) {
    TBitmap colour;
    std::vector<std::uint8_t> alpha;
    if (RenderGlyphWithAlpha(Renderer(LblFont.GetFont()), LblFont.Color(), cellHeight, character, colour,
                             alpha))
      png = PngWithAlphaBytes(colour, alpha);
  }
  os::PutClipboardBitmap(glyph, png);
}

// The help of the language in force, else the English one (which the shell may not find either). A
// language's help is its compiled help file beside the program (Windows), else the first of its HTML
// pages under help/<language>/, which the shell opens in the user's browser.
void TFrmLetrana::MenUsageClick() {
  const std::string& directory = Shell.ProgramDirectory();
  const auto helpOf = [&](const std::string& language) -> std::optional<std::string> {
    const std::string compiled = directory + "Letrana_" + language + ".chm";
    if (os::FileExists(compiled)) return compiled;
    const char d = os::PathDelimiter();
    const std::string pages = directory + "help" + d + language + d + "index.html";
    if (!language.empty() && os::FileExists(pages)) return pages;
    return std::nullopt;
  };
  const std::optional<std::string> help = helpOf(HelpLanguagePart(Shell.Language.FilePath));
  os::ShellOpen(this, help ? *help : helpOf("English").value_or(directory + "Letrana_English.chm"));
}

void TFrmLetrana::MenLicenseClick() { os::ShellOpen(this, LicensePath); }

void TFrmLetrana::MenReadMeClick() { os::ShellOpen(this, ReadMePath); }

void TFrmLetrana::MenCheckUpdateClick() { os::ShellOpen(this, UpdatePageAddress(), std::string()); }

void TFrmLetrana::MenInfoClick() {
  if (FrmInfo != nullptr) FrmInfo->ShowModal();
}

void TFrmLetrana::MenCodePageClick() { ChooseCharacters({}); }

void TFrmLetrana::MenBlockClick(std::size_t block) {
  ChooseCharacters({.Source = TCharacterSource::Block, .Block = UnicodeBlocks().at(block).Name});
}

void TFrmLetrana::MenTextFileClick() {
  if (!OpdTextFile.Execute()) return;
  ChooseCharacters({.Source = TCharacterSource::TextFile, .TextFile = OpdTextFile.FileName()});
}

void TFrmLetrana::MenPreviousPageClick() {
  if (Characters.Page <= 0) return;
  --Characters.Page;
  ShowCharacterChoice();
  BuildCharacterGrid();
}

void TFrmLetrana::MenNextPageClick() {
  if (Characters.Page + 1 >= PageCount(ChosenCharacters.size())) return;
  ++Characters.Page;
  ShowCharacterChoice();
  BuildCharacterGrid();
}

void TFrmLetrana::MenExportAtlasClick() {
  TFrmAtlas dialog(App(), [this](const char* name) { return Text(name); });
  if (!dialog.Ask(AtlasChoice)) return;
  if (!SvdAtlas.Execute()) return;
  ExportAtlas(SvdAtlas.FileName());
}

void TFrmLetrana::ExportAtlas(const std::string& chosenPath) {
  const std::string base = WithoutExtension(chosenPath);
  const ui::Font& font = LblFont.GetFont();
  const ui::TextRenderer& renderer = Renderer(font);
  if (Characters.Source != TCharacterSource::CodePage) CheckCharacterMap(renderer);
  // A distance field is measured on the same font drawn kDistanceFieldScale times as large.
  std::optional<ui::TextRenderer> fine;
  if (AtlasChoice.DistanceFieldSpread > 0) {
    ui::Font large = font;
    large.size *= kDistanceFieldScale;
    try {
      fine.emplace(large, PixelsPerInch());
    } catch (const std::invalid_argument&) {
      throw std::runtime_error(
          WithDetails(Text("ErrFieldFontTooLarge"), {std::to_string(kDistanceFieldScale)}));
    }
  }
  const TAtlasOptions options = AtlasOptionsOf(AtlasChoice, fine ? &*fine : nullptr);
  if (FrmProgress != nullptr) {
    FrmProgress->LblMessage.SetCaption(m_aMSaving);
    FrmProgress->Show();
  }
  try {
    TAtlas atlas;
    try {
      atlas = BuildAtlas(renderer, ChosenCharacters, options, FileNamePart(base));
    } catch (const std::invalid_argument&) {
      throw std::runtime_error(
          WithDetails(Text("ErrAtlasPageTooSmall"),
                      {std::to_string(options.PageWidth), std::to_string(options.PageHeight)}));
    }
    WriteAtlasFiles(atlas, base, AtlasChoice.Descriptor, AtlasChoice.PictureForm, font.color,
                    LblFont.Color());
  } catch (...) {
    CloseProgress();
    throw;
  }
  CloseProgress();
}

void TFrmLetrana::ChooseCharacters(const TCharacterChoice& choice) {
  std::vector<TGlyphCharacter> characters;
  try {
    characters = ChoiceCharacters(choice);
  } catch (const ECharacterFileError& error) {
    throw std::runtime_error(FileErrorText(error));
  }
  Characters = choice;
  ChosenCharacters = std::move(characters);
  Characters.Page = std::clamp(Characters.Page, 0, PageCount(ChosenCharacters.size()) - 1);
  ShowCharacterChoice();
  BuildCharacterGrid();
}

// ---- Language ---------------------------------------------------------------------------------------

void TFrmLetrana::SelectLanguage(const std::string& wanted) {
  // A language the list does not name leaves the one in force, applied anew.
  std::string path = Shell.Language.FilePath, name = Shell.Language.Name;
  if (auto found = Shell.FindLanguage(wanted)) {
    path = found->File;
    name = found->Name;
  }
  ApplyLanguage(path, name);
}

void TFrmLetrana::ApplyLanguage(std::string path, std::string name) {
  Shell.Language.Apply(path, name, kLetranaMainSection);
  for (const TLanguageText& text : kLetranaMainTexts) {
    for (const char* target : text.Targets) {
      if (target != nullptr) SetLanguageTarget(target, LookupText(text.Name, text.BuiltIn));
    }
  }
  AddShortcutTexts();
  SvdSave.SetFilter(
      ExportFilter([this](const TImageFormatInfo& info) { return LookupText(info.LabelKey, info.Label); }));
  OpdTextFile.SetFilter(Text("TextFileFilter"));
  SvdAtlas.SetFilter(Text("AtlasFilter"));
  ShowCharacterChoice();
}

std::string TFrmLetrana::LookupText(const std::string& key, const std::string& builtIn) const {
  return Shell.Language.LookupText(key, builtIn);
}

std::string TFrmLetrana::Text(std::string_view name) const {
  for (const TLanguageText& text : kLetranaMainTexts) {
    if (name == text.Name) return LookupText(text.Name, text.BuiltIn);
  }
  throw std::logic_error("Letrana's text table has no text named " + std::string(name));
}

void TFrmLetrana::AddShortcutTexts() {
  const TShortcutWords words{.Shift = m_aMenScShift,
                             .Ctrl = m_aMenScCtrl,
                             .Alt = m_aMenScAlt,
                             .Del = m_aMenScDelete,
                             .F = m_aMenScF,
                             .PageUp = m_aMenScPageUp,
                             .PageDown = m_aMenScPageDown};
  for (const TMenuShortcutText& entry : kLetranaMenuShortcuts) {
    ui::MenuItem& item = MenuItemNamed(entry.Item);
    item.SetCaption(CaptionWithShortcut(item.Caption(), entry.Shortcut, words));
  }
}

// ---- Settings ---------------------------------------------------------------------------------------

void TFrmLetrana::LoadSettings(const std::string& path) {
  TSettingsDocument settings(kXmlSettingsForm);
  settings.Load(path);  // a missing or unreadable file leaves every key at its default

  TProgramShell::LoadPlacement(*this, settings);

  const TRenderingState rendering = ReadRenderingState(settings, PixelsPerInch());
  ui::Font font = LblFont.GetFont();
  font.name = rendering.FontName;
  font.size = rendering.FontSize;
  font.color = rendering.FontColor;
  LblFont.SetFont(font);
  LblFont.SetColor(rendering.Background);
  LblFontNameVal.SetCaption(font.name);
  LblFontSizeVal.SetCaption(std::to_string(font.size));

  ApplyInterfaceFont(Shell.LoadInterfaceFont(*this, settings));

  NoStoredLanguage = true;
  const std::string language = settings.GetString("LanguageName", "");
  if (!language.empty()) {
    SelectLanguage(language);
    NoStoredLanguage = false;
  }

  // A text file that cannot be read any more gives the code page, and its error once the grid is built.
  TCharacterChoice choice = ReadCharacterChoice(settings);
  if (choice.Source == TCharacterSource::TextFile) OpdTextFile.SetFileName(choice.TextFile);
  try {
    ChosenCharacters = ChoiceCharacters(choice);
  } catch (const ECharacterFileError& error) {
    startError_ = FileErrorText(error);
    choice = {};
    ChosenCharacters = CodePageCharacters();
  }
  Characters = choice;
  Characters.Page = std::clamp(Characters.Page, 0, PageCount(ChosenCharacters.size()) - 1);
  ShowCharacterChoice();
  AtlasChoice = ReadAtlasChoice(settings);
}

void TFrmLetrana::SaveSettings(const std::string& path) {
  TSettingsDocument settings(kXmlSettingsForm);
  TProgramShell::SavePlacement(*this, settings);
  const ui::Font& font = LblFont.GetFont();
  WriteRenderingState(settings, {font.name, font.size, font.color, LblFont.Color()});
  Shell.SaveInterfaceFont(*this, settings);
  settings.SetString("LanguageName", NoStoredLanguage ? std::string() : Shell.Language.Name);
  WriteCharacterChoice(settings, Characters);
  WriteAtlasChoice(settings, AtlasChoice);
  settings.Save(path);  // a file that cannot be written is skipped
}

void TFrmLetrana::ApplyInterfaceFont(const ui::Font& font) {
  const ui::Font& current = GetFont();
  const int pixelsPerInch = PixelsPerInch();
  if (font.name == current.name && font.charset == current.charset &&
      ui::FontHeightForSize(font.size, pixelsPerInch) == ui::FontHeightForSize(current.size, pixelsPerInch)) {
    return;
  }
  ui::Font windowFont = current;
  TakeFontFace(windowFont, font);
  windowFont.size = font.size;
  SetFont(windowFont);
  // The value labels keep their bold style and colour.
  ui::Font valueFont = LblFontNameVal.GetFont();
  TakeFontFace(valueFont, font);
  valueFont.size = font.size;
  LblFontNameVal.SetFont(valueFont);
  LblFontSizeVal.SetFont(LblFontNameVal.GetFont());
}

// ---- The grid and the preview -----------------------------------------------------------------------

void TFrmLetrana::LisCharactersClick() {
  const int first = LisCharacters.FirstSelected();
  if (first < 0) return;
  const TGlyphCharacter character = CellCharacter(first);

  TBitmap preview;
  preview.SetSize(ImgPreview.Width(), ImgPreview.Height());
  *PreviewFont = LblFont.GetFont();
  PreviewFont->size = kPreviewPoints;
  TBitmap glyph;
  RenderCharacter(*PreviewFont, LblFont.Color(), ImgPreview.Height(), glyph, character);
  DrawBitmap(preview, (preview.Width() - glyph.Width()) / 2, (preview.Height() - glyph.Height()) / 2, glyph);
  ImgPreview.SetPicture(preview);
  LblCharValue.SetCaption(CodeValueText(character.Code));
}

void TFrmLetrana::LisCharactersSelectItem(int /*index*/, bool /*selected*/) { LisCharactersClick(); }

bool TFrmLetrana::RenderCharacter(const ui::Font& font, TColor background, int height, TBitmap& bitmap,
                                  TGlyphCharacter character) {
  const ui::TextRenderer& renderer = Renderer(font);
  if (!FontHasCharacter(renderer, character)) return false;
  return RenderGlyph(renderer, background, height, bitmap, character);
}

int TFrmLetrana::GetCellHeight(const ui::Font& font) { return Renderer(font).Measure("a").height; }

int TFrmLetrana::GetCellWidth(const ui::Font& font) {
  const ui::TextRenderer& renderer = Renderer(font);
  int widest = 0;
  for (const TGlyphCharacter& character : GridCharacters)
    widest = std::max(widest, CharacterWidth(renderer, character));
  return widest;
}

void TFrmLetrana::BuildCharacterGrid() {
  const unsigned generation = ++buildGeneration_;
  if (FrmProgress != nullptr) FrmProgress->LblMessage.SetCaption(m_aMGeneratingPreview);
  LisCharacters.BeginUpdate();
  try {
    LisCharacters.Clear();
    ImlCharacters.Clear();
    // The page's characters are kept for this build: a build begun meanwhile takes its own.
    const std::vector<TGlyphCharacter> cells = PageOf(ChosenCharacters, Characters.Page);
    GridCharacters = cells;
    if (Characters.Source != TCharacterSource::CodePage) CheckCharacterMap(Renderer(LblFont.GetFont()));
    const int cellWidth = GetCellWidth(LblFont.GetFont());
    const int cellHeight = GetCellHeight(LblFont.GetFont());
    ImlCharacters.SetSize(cellWidth, cellHeight);

    for (const TGlyphCharacter& character : cells) {
      if (FrmProgress != nullptr) FrmProgress->Show();
      TBitmap cell;  // white
      cell.SetSize(cellWidth, cellHeight);
      TBitmap glyph;
      if (RenderCharacter(LblFont.GetFont(), LblFont.Color(), cellHeight, glyph, character)) {
        // Centred; an odd difference leaves the left margin one pixel narrower.
        DrawBitmap(cell, (cellWidth - glyph.Width()) / 2, (cellHeight - glyph.Height()) / 2, glyph);
      }
      ImlCharacters.Add(cell);
      LisCharacters.AddItem(ImlCharacters.Count() - 1);
      App().ProcessMessages();
      // A command run meanwhile has built the grid anew, or the main window was closed: this build
      // is over.
      if (generation != buildGeneration_ || App().Terminated()) break;
    }
  } catch (...) {
    CloseProgress();
    LisCharacters.EndUpdate();
    throw;
  }
  CloseProgress();
  LisCharacters.EndUpdate();
}

TGlyphCharacter TFrmLetrana::CellCharacter(int index) const {
  return GridCharacters.at(static_cast<std::size_t>(LisCharacters.ItemImageIndex(index)));
}

// ---- Helpers ----------------------------------------------------------------------------------------

const ui::TextRenderer& TFrmLetrana::Renderer(const ui::Font& font) {
  const int pixelsPerInch = PixelsPerInch();
  const auto known = std::find_if(renderers_.begin(), renderers_.end(), [&](const auto& renderer) {
    return renderer->PixelsPerInch() == pixelsPerInch && renderer->GetFont() == font;
  });
  if (known != renderers_.end()) {
    std::rotate(renderers_.begin(), known, known + 1);
  } else {
    renderers_.insert(renderers_.begin(), std::make_unique<ui::TextRenderer>(font, pixelsPerInch));
    if (renderers_.size() > kRendererCacheSize) renderers_.pop_back();
  }
  return *renderers_.front();
}

void TFrmLetrana::CloseProgress() {
  if (FrmProgress != nullptr) FrmProgress->Close();
}

void TFrmLetrana::SetLanguageTarget(std::string_view target, const std::string& text) {
  const std::pair<std::string_view, std::string*> members[] = {
      {"m_aMenScShift", &m_aMenScShift},
      {"m_aMenScCtrl", &m_aMenScCtrl},
      {"m_aMenScAlt", &m_aMenScAlt},
      {"m_aMenScDelete", &m_aMenScDelete},
      {"m_aMenScF", &m_aMenScF},
      {"m_aMenScPageUp", &m_aMenScPageUp},
      {"m_aMenScPageDown", &m_aMenScPageDown},
      {"m_aMGeneratingPreview", &m_aMGeneratingPreview},
      {"m_aMSaving", &m_aMSaving},
      {"m_aMPngWithAlpha", &m_aMPngWithAlpha}};
  for (const auto& [name, member] : members) {
    if (name == target) {
      *member = text;
      return;
    }
  }
  const std::pair<std::string_view, ui::Control*> controls[] = {
      {"BtnExport", &BtnExport},
      {"BtnSelectFont", &BtnSelectFont},
      {"BtnSelectFontColor", &BtnSelectFontColor},
      {"BtnSelectBackgroundColor", &BtnSelectBackgroundColor},
      {"BtnCopyImage", &BtnCopyImage},
      {"LblPreview", &LblPreview},
      {"LblFontName", &LblFontName},
      {"LblFontSize", &LblFontSize}};
  for (const auto& [name, control] : controls) {
    if (name == target) {
      control->SetCaption(text);
      return;
    }
  }
  // A block's item: the table may name a block the glyphs library no longer offers.
  if (target.starts_with("MenBlock")) {
    const std::vector<TUnicodeBlock>& blocks = UnicodeBlocks();
    for (std::size_t block = 0; block < blocks.size(); ++block) {
      if (target == BlockItemName(blocks[block])) MenBlocks[block]->SetCaption(text);
    }
    return;
  }
  MenuItemNamed(target).SetCaption(text);
}

ui::MenuItem& TFrmLetrana::MenuItemNamed(std::string_view name) {
  const std::pair<std::string_view, ui::MenuItem*> items[] = {
      {"MenFile", &MenFile},
      {"MenExport", &MenExport},
      {"MenGenerateImages", &MenGenerateImages},
      {"MenExit", &MenExit},
      {"MenEdit", &MenEdit},
      {"MenSelectFont", &MenSelectFont},
      {"MenSelectFontColor", &MenSelectFontColor},
      {"MenSelectBackgroundColor", &MenSelectBackgroundColor},
      {"MenSelectAll", &MenSelectAll},
      {"MenInvertSelection", &MenInvertSelection},
      {"MenCopyCharacter", &MenCopyCharacter},
      {"MenCopyImage", &MenCopyImage},
      {"MenUsage", &MenUsage},
      {"MenLicense", &MenLicense},
      {"MenReadMe", &MenReadMe},
      {"MenCheckUpdate", &MenCheckUpdate},
      {"MenInfo", &MenInfo},
      {"PopCopyCharacter", &PopCopyCharacter},
      {"PopCopyImage", &PopCopyImage},
      {"MenCharacters", &MenCharacters},
      {"MenCodePage", &MenCodePage},
      {"MenUnicodeBlocks", &MenUnicodeBlocks},
      {"MenTextFile", &MenTextFile},
      {"MenPreviousPage", &MenPreviousPage},
      {"MenNextPage", &MenNextPage},
      {"MenExportAtlas", &MenExportAtlas}};
  for (const auto& [itemName, item] : items) {
    if (itemName == name) return *item;
  }
  // The text tables and this window name the same controls; a name missing here is a fault of the
  // program, not of any input.
  throw std::logic_error("Letrana's main window has no control named " + std::string(name));
}

void TFrmLetrana::ShowCharacterChoice() {
  const std::vector<TUnicodeBlock>& blocks = UnicodeBlocks();
  const bool block = Characters.Source == TCharacterSource::Block;
  MenCodePage.SetChecked(Characters.Source == TCharacterSource::CodePage);
  std::string name = FileNamePart(Characters.TextFile);
  for (std::size_t i = 0; i < blocks.size(); ++i) {
    const bool chosen = block && Characters.Block == blocks[i].Name;
    MenBlocks[i]->SetChecked(chosen);
    if (chosen) name = MenBlocks[i]->Caption();
  }
  MenTextFile.SetChecked(Characters.Source == TCharacterSource::TextFile);
  const int pages = PageCount(ChosenCharacters.size());
  MenPreviousPage.SetEnabled(Characters.Page > 0);
  MenNextPage.SetEnabled(Characters.Page + 1 < pages);
  if (Characters.Source == TCharacterSource::CodePage) {
    SetCaption(kWindowCaption);
  } else {
    SetCaption(std::string(kWindowCaption) + " - " + name + " (" +
               WithDetails(Text("PageOf"), {std::to_string(Characters.Page + 1), std::to_string(pages)}) +
               ")");
  }
}

void TFrmLetrana::CheckCharacterMap(const ui::TextRenderer& renderer) const {
  try {
    renderer.HasCharacter(U'A');
  } catch (const std::runtime_error&) {
    throw std::runtime_error(WithDetails(Text("ErrNoCharacterMap"), {renderer.FaceName()}));
  }
}

std::string TFrmLetrana::FileErrorText(const ECharacterFileError& error) const {
  const char* name = error.Reason() == ECharacterFileError::TReason::NotUtf8        ? "ErrFileNotUtf8"
                     : error.Reason() == ECharacterFileError::TReason::NoCharacters ? "ErrFileNoCharacters"
                                                                                    : "ErrFileUnreadable";
  return WithDetails(Text(name), {error.Path()});
}

// ---- The program ------------------------------------------------------------------------------------

std::string HelpLanguagePart(const std::string& languageFile) {
  // The file name without its folder ("\\", "/" and the drive's ":" on Windows, "/" elsewhere).
  const char* delimiters = os::PathDelimiter() == '\\' ? "\\/:" : "/";
  const std::size_t lastDelimiter = languageFile.find_last_of(delimiters);
  const std::string_view name =
      std::string_view(languageFile).substr(lastDelimiter == std::string::npos ? 0 : lastDelimiter + 1);
  std::size_t start = std::string_view::npos;
  for (std::size_t i = 0; i < name.size(); ++i) {
    if (name[i] == '_') {
      start = i + 1;
    } else if (name[i] == '.') {
      return start == std::string_view::npos ? std::string() : std::string(name.substr(start, i - start));
    }
  }
  return {};
}

std::string UpdatePageAddress() {
  return std::string("http://") + kMakerWebAddress +
         "/pages/c_letrana.php?lang=ENG&progvers=" + kProgramVersion;
}

TLetranaWindows::TLetranaWindows(ui::Application& app, TProgramShell& shell)
    : FrmLetrana(app, shell), FrmInfo(app), FrmProgress(app) {
  FrmLetrana.FrmInfo = &FrmInfo;
  FrmLetrana.FrmProgress = &FrmProgress;
  FrmInfo.FrmLetrana = &FrmLetrana;
}

int RunLetrana(ui::Application& app, const TProgramFolders& folders) {
  return ui::RunProgram(app, "Letrana", [&] {
    TProgramShell shell(LetranaStorage, kLetranaLanguageList, folders);
    TLetranaWindows windows(app, shell);
    app.Run();
  });
}
