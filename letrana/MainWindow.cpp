#include "letrana/MainWindow.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <utility>

#include "common/FileNames.h"
#include "common/Localisation.h"
#include "common/PersistedSettings.h"
#include "glyphs/GlyphExport.h"
#include "glyphs/RenderingSettings.h"
#include "platform/os/Os.h"
#include "platform/ui/Clipboard.h"
#include "platform/ui/Shell.h"

namespace {

constexpr int kCodeCount = 256;
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

// "%d (%02x)": decimal, then two lower-case hexadecimal digits in parentheses.
std::string CodeValueText(int code) {
  char text[32];
  std::snprintf(text, sizeof text, "%d (%02x)", code, static_cast<unsigned>(code));
  return text;
}

}  // namespace

TFrmLetrana::TFrmLetrana(ui::Application& app, TProgramShell& shell)
    : Form(app, {.caption = "Letrana",
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
  ActExport.Create(*this, {.key = 'S', .ctrl = true});
  ActGenerateImages.Create(*this, {.key = 'G', .ctrl = true});
  ActQuit.Create(*this, {.key = 'Q', .ctrl = true});
  ActSelectAll.Create(*this, {.key = 'A', .ctrl = true});
  ActInvert.Create(*this, {.key = 'I', .ctrl = true});
  ActCopyCharacters.Create(*this, {.key = 'C', .ctrl = true, .shift = true});
  ActCopyImage.Create(*this, {.key = 'C', .ctrl = true});
  ActUsage.Create(*this, {.key = ui::key::F1});
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
  LisCharacters.OnClick = [this] { LisCharactersClick(); };
  LisCharacters.OnSelectItem = [this](int index, bool selected) { LisCharactersSelectItem(index, selected); };
  TimInit.OnTimer = [this] { TimInitTimer(); };
  OnShow = [this] { FormShow(); };
  OnResize = [this] { FormResize(); };
  OnClose = [this] { FormClose(); };

  ScaleForScreen();
  FormCreate();
  FormResize();
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
      const int code = LisCharacters.ItemImageIndex(index);
      ExportGlyph(Renderer(LblFont.GetFont()), LblFont.Color(), cellHeight, code, form, base);
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

// Only the first selected cell is copied, as the one byte of its code.
void TFrmLetrana::MenCopyCharacterClick() {
  const int first = LisCharacters.FirstSelected();
  if (first < 0) return;
  os::PutClipboardText(CodeText(LisCharacters.ItemImageIndex(first)));
}

// The first selected cell's glyph, exactly as export writes it; a code that renders empty copies
// nothing.
void TFrmLetrana::MenCopyImageClick() {
  const int cellHeight = GetCellHeight(LblFont.GetFont());
  const int first = LisCharacters.FirstSelected();
  if (first < 0) return;
  TBitmap glyph;
  if (RenderCharacter(LblFont.GetFont(), LblFont.Color(), cellHeight, glyph,
                      LisCharacters.ItemImageIndex(first))) {
    os::PutClipboardBitmap(glyph);
  }
}

// The help file of the language in force, else the English one (which the shell may not find either).
void TFrmLetrana::MenUsageClick() {
  std::string help =
      Shell.ProgramDirectory() + "Letrana_" + HelpLanguagePart(Shell.Language.FilePath) + ".chm";
  if (!os::FileExists(help)) help = Shell.ProgramDirectory() + "Letrana_English.chm";
  os::ShellOpen(this, help);
}

void TFrmLetrana::MenLicenseClick() { os::ShellOpen(this, LicensePath); }

void TFrmLetrana::MenReadMeClick() { os::ShellOpen(this, ReadMePath); }

void TFrmLetrana::MenCheckUpdateClick() { os::ShellOpen(this, UpdatePageAddress(), std::string()); }

void TFrmLetrana::MenInfoClick() {
  if (FrmInfo != nullptr) FrmInfo->ShowModal();
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
}

std::string TFrmLetrana::LookupText(const std::string& key, const std::string& builtIn) const {
  return Shell.Language.LookupText(key, builtIn);
}

void TFrmLetrana::AddShortcutTexts() {
  const TShortcutWords words{.Shift = m_aMenScShift,
                             .Ctrl = m_aMenScCtrl,
                             .Alt = m_aMenScAlt,
                             .Del = m_aMenScDelete,
                             .F = m_aMenScF};
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
}

void TFrmLetrana::SaveSettings(const std::string& path) {
  TSettingsDocument settings(kXmlSettingsForm);
  TProgramShell::SavePlacement(*this, settings);
  const ui::Font& font = LblFont.GetFont();
  WriteRenderingState(settings, {font.name, font.size, font.color, LblFont.Color()});
  Shell.SaveInterfaceFont(*this, settings);
  settings.SetString("LanguageName", NoStoredLanguage ? std::string() : Shell.Language.Name);
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
  const int code = LisCharacters.ItemImageIndex(first);

  TBitmap preview;
  preview.SetSize(ImgPreview.Width(), ImgPreview.Height());
  *PreviewFont = LblFont.GetFont();
  PreviewFont->size = kPreviewPoints;
  TBitmap glyph;
  RenderCharacter(*PreviewFont, LblFont.Color(), ImgPreview.Height(), glyph, code);
  DrawBitmap(preview, (preview.Width() - glyph.Width()) / 2, (preview.Height() - glyph.Height()) / 2, glyph);
  ImgPreview.SetPicture(preview);
  LblCharValue.SetCaption(CodeValueText(code));
}

void TFrmLetrana::LisCharactersSelectItem(int /*index*/, bool /*selected*/) { LisCharactersClick(); }

bool TFrmLetrana::RenderCharacter(const ui::Font& font, TColor background, int height, TBitmap& bitmap,
                                  int code) {
  return RenderGlyph(Renderer(font), background, height, bitmap, code);
}

int TFrmLetrana::GetCellHeight(const ui::Font& font) { return Renderer(font).Measure("a").height; }

int TFrmLetrana::GetCellWidth(const ui::Font& font) {
  const ui::TextRenderer& renderer = Renderer(font);
  int widest = -1;
  for (int code = 0; code < kCodeCount; ++code)
    widest = std::max(widest, renderer.Measure(CodeText(code)).width);
  return widest;
}

void TFrmLetrana::BuildCharacterGrid() {
  const unsigned generation = ++buildGeneration_;
  if (FrmProgress != nullptr) FrmProgress->LblMessage.SetCaption(m_aMGeneratingPreview);
  LisCharacters.BeginUpdate();
  try {
    LisCharacters.Clear();
    ImlCharacters.Clear();
    const int cellWidth = GetCellWidth(LblFont.GetFont());
    const int cellHeight = GetCellHeight(LblFont.GetFont());
    ImlCharacters.SetSize(cellWidth, cellHeight);

    for (int code = 0; code < kCodeCount; ++code) {
      if (FrmProgress != nullptr) FrmProgress->Show();
      TBitmap cell;  // white
      cell.SetSize(cellWidth, cellHeight);
      TBitmap glyph;
      if (RenderCharacter(LblFont.GetFont(), LblFont.Color(), cellHeight, glyph, code)) {
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
      {"m_aMenScShift", &m_aMenScShift}, {"m_aMenScCtrl", &m_aMenScCtrl},
      {"m_aMenScAlt", &m_aMenScAlt},     {"m_aMenScDelete", &m_aMenScDelete},
      {"m_aMenScF", &m_aMenScF},         {"m_aMGeneratingPreview", &m_aMGeneratingPreview},
      {"m_aMSaving", &m_aMSaving},       {"m_aMPngWithAlpha", &m_aMPngWithAlpha}};
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
      {"PopCopyImage", &PopCopyImage}};
  for (const auto& [itemName, item] : items) {
    if (itemName == name) return *item;
  }
  // The text tables and this window name the same controls; a name missing here is a fault of the
  // program, not of any input.
  throw std::logic_error("Letrana's main window has no control named " + std::string(name));
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
