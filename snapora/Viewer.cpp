#include "snapora/Viewer.h"

#include <cctype>
#include <iterator>
#include <string>

#include "common/FileNames.h"
#include "imaging/ImageFormats.h"
#include "snapora/MainWindow.h"
#include "snapora/Texts.h"

void TakeMainWindowFont(ui::Form& form, const ui::Font& mainFont) {
  const ui::Font& own = form.GetFont();
  if (own.name == mainFont.name && own.charset == mainFont.charset) return;
  ui::Font font = own;
  font.name = mainFont.name;
  font.pitch = mainFont.pitch;
  font.charset = mainFont.charset;
  font.size = mainFont.size;
  form.SetFont(font);
}

bool SavePictureByName(const TBitmap& picture, const std::string& fileName, bool jpegForOtherNames) {
  std::optional<TImageFormat> format = CaptureFormatOfExtension(FileExtension(fileName));
  if (!format && jpegForOtherNames) format = TImageFormat::Jpeg;
  if (!format) return false;
  FormatInfo(*format).Write(picture, fileName);
  return true;
}

// The viewer's save dialog lists the capture formats by their labels.
std::string ViewerFilter() {
  std::vector<TDialogType> types;
  for (const TImageFormat format : CaptureFormats()) types.push_back({format, FormatInfo(format).Label});
  return DialogFilter(types);
}

TFrmFullscreen::TFrmFullscreen(ui::Application& app)
    : Form(app, {.caption = "FrmFullscreen",
                 .bounds = {217, 165, 696, 480},
                 .minimizeButton = false,
                 .font = {.name = "MS Sans Serif", .size = 9},
                 .color = clBtnFace,
                 .autoScroll = true}) {
  MenMain.Create(*this);
  MenFile.Create(MenMain, "File");
  MenSaveAs.Create(MenFile, "Save as...");
  PopImage.Create(*this);
  PopSaveAs.Create(PopImage, "Save as...");
  ActSaveAs.Create(*this, {.key = 'S', .ctrl = true});
  SvdSave.Create(*this, {.filter = ViewerFilter(), .defaultExt = "bmp", .overwritePrompt = true});
  ImgFullscreen.Create(
      *this, {.bounds = {0, 0, 105, 105}, .showHint = true, .autoSize = true, .popupMenu = &PopImage});

  MenSaveAs.OnClick = PopSaveAs.OnClick = ActSaveAs.OnExecute = [this] { MenSaveAsClick(); };
  ImgFullscreen.OnDblClick = [this] { ImgFullscreenDblClick(); };
  SvdSave.OnTypeChange = [this] { SvdSaveTypeChange(); };
  OnShow = [this] { FormShow(); };

  ScaleForScreen();
  SetWindowState(ui::WindowState::Maximized);
}

void TFrmFullscreen::FormShow() {
  if (FrmSnapora == nullptr) return;
  SetCaption(FrmSnapora->Caption());
  TakeMainWindowFont(*this, FrmSnapora->GetFont());
  // Every text of the viewer's table, into its targets in order; then the shortcut text after Save as.
  for (const TLanguageText& text : kSnaporaViewerTexts) {
    const std::string value = FrmSnapora->LookupText(FullKey(text), text.BuiltIn);
    for (const char* target : text.Targets) {
      if (target == nullptr) continue;
      const std::string_view name = target;
      if (name == "MenFile") MenFile.SetCaption(value);
      if (name == "MenSaveAs") MenSaveAs.SetCaption(value);
      if (name == "PopSaveAs") PopSaveAs.SetCaption(value);
      if (name == "m_aMenScCtrl") m_aMenScCtrl = value;
    }
  }
  MenSaveAs.SetCaption(MenSaveAs.Caption() + "\t" + m_aMenScCtrl + "+S");
}

void TFrmFullscreen::MenSaveAsClick() {
  if (!SvdSave.Execute()) return;
  SavePictureByName(ImgFullscreen.Picture(), SvdSave.FileName(), true);
}

void TFrmFullscreen::SvdSaveTypeChange() {
  // The name in the dialog as a full path, its extension made the chosen type's, and only its last
  // element written back into the name box (which holds no folder).
  const std::vector<TImageFormat> types = CaptureFormats();
  const int type = SvdSave.FilterIndex();
  if (type < 1 || type > static_cast<int>(types.size())) return;
  const std::string name = ChangeFileExtension(
      SvdSave.DialogFilePath(), FormatInfo(types[static_cast<std::size_t>(type - 1)]).Extension);
  SvdSave.SetDialogFileNameText(FileNamePart(name));
}

void TFrmFullscreen::ImgFullscreenDblClick() { Close(); }
