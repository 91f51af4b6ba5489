#include "snapora/UnitFullscreen.h"

#include <cctype>
#include <iterator>
#include <string>

#include "common/FileNames.h"
#include "common/Localisation.h"
#include "imaging/Bmp.h"
#include "imaging/Jpeg.h"
#include "imaging/Png.h"
#include "snapora/UnitSnapora.h"

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
  std::string extension = FileExtension(fileName);
  for (char& c : extension) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (extension == ".BMP") {
    SaveBitmapAsBmp(picture, fileName);
  } else if (extension == ".PNG") {
    SaveBitmapAsPng(picture, fileName);
  } else if (extension == ".JPG" || jpegForOtherNames) {
    SaveBitmapAsJpeg(picture, fileName);
  } else {
    return false;
  }
  return true;
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
  SvdSave.Create(*this,
                 {.filter = "BMP|*.bmp|JPG|*.jpg|PNG|*.png", .defaultExt = "bmp", .overwritePrompt = true});
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
  MenFile.SetCaption(FrmSnapora->LookupText("FrmFull.MenFile", "File"));
  MenSaveAs.SetCaption(FrmSnapora->LookupText("FrmFull.MenSaveAs", "Save as..."));
  m_aMenScCtrl = FrmSnapora->LookupText("FrmFull.m_aMenScCtrl", "Ctrl");
  PopSaveAs.SetCaption(MenSaveAs.Caption());
  MenSaveAs.SetCaption(MenSaveAs.Caption() + "\t" + m_aMenScCtrl + "+S");
}

void TFrmFullscreen::MenSaveAsClick() {
  if (!SvdSave.Execute()) return;
  SavePictureByName(ImgFullscreen.Picture(), SvdSave.FileName(), true);
}

void TFrmFullscreen::SvdSaveTypeChange() {
  // The name in the dialog as a full path, its extension made the chosen type's, and only its last
  // element written back into the name box (which holds no folder).
  static const char* const kTypeExtensions[] = {".bmp", ".jpg", ".png"};
  const int type = SvdSave.FilterIndex();
  if (type < 1 || type > static_cast<int>(std::size(kTypeExtensions))) return;
  const std::string name = ChangeFileExtension(SvdSave.DialogFilePath(), kTypeExtensions[type - 1]);
  SvdSave.SetDialogFileNameText(FileNamePart(name));
}

void TFrmFullscreen::ImgFullscreenDblClick() { Close(); }
