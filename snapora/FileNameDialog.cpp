#include "snapora/FileNameDialog.h"

#include "platform/ui/WindowSystem.h"
#include "snapora/MainWindow.h"
#include "snapora/Texts.h"
#include "snapora/Viewer.h"

TFrmFileName::TFrmFileName(ui::Application& app)
    : Form(app, {.caption = "FrmFileName",
                 .bounds = {0, 0, 0, 0},
                 .clientWidth = 420,
                 .clientHeight = 145,
                 .borderStyle = ui::BorderStyle::Dialog,
                 .position = ui::FormPosition::ScreenCenter,
                 .font = {.name = "MS Sans Serif", .size = 9},
                 .color = clBtnFace}) {
  Panel1.Create(*this, {.align = ui::Align::Top, .height = 105, .color = clWhite, .bevelOuter = false});
  LblFileName.Create(Panel1, {.bounds = {8, 28, 0, 0}, .caption = "Select a filename"});
  EdtFileName.Create(Panel1, {.bounds = {8, 48, 369, 22}, .tabOrder = 0});
  BtnBrowse.Create(Panel1, {.bounds = {384, 48, 25, 25}, .caption = "...", .tabOrder = 1});
  BtnOk.Create(*this, {.bounds = {116, 112, 90, 25}, .caption = "OK", .tabOrder = 1, .isDefault = true});
  BtnCancel.Create(*this, {.bounds = {214, 112, 90, 25}, .caption = "Cancel", .tabOrder = 2});
  ActOk.Create(*this, {.key = ui::key::Return});
  ActCancel.Create(*this, {.key = ui::key::Escape});

  BtnOk.OnClick = [this] {
    accepted_ = true;
    Close();
  };
  // Enter presses the button that has the focus (Cancel, "..."), anywhere else the default button OK.
  ActOk.OnExecute = [this] {
    auto* focused = dynamic_cast<ui::Button*>(FocusedControl());
    (focused != nullptr ? *focused : BtnOk).Click();
  };
  BtnCancel.OnClick = ActCancel.OnExecute = [this] { Close(); };
  BtnBrowse.OnClick = [this] { BtnBrowseClick(); };
  OnShow = [this] { FormShow(); };
  OnClose = [this] { FormClose(); };

  ScaleForScreen();
}

bool TFrmFileName::Ask() {
  accepted_ = false;
  ShowModal();
  return accepted_;
}

void TFrmFileName::KeepApplicationOnTop(bool showIt) {
  const os::WindowHandle application = App().Handle();
  if (application == 0) return;
  os::SetWindowZOrder(application, os::ZOrder::Topmost, true);
  if (!showIt) return;
  os::RedrawNow(application);
  os::ShowWindowAs(application, os::show::Show);
  os::ShowWindowAs(application, os::show::Restore);
}

void TFrmFileName::FormShow() {
  EdtFileName.SetFocus();
  if (FrmSnapora != nullptr) TakeMainWindowFont(*this, FrmSnapora->GetFont());
  KeepApplicationOnTop(true);
  if (FrmSnapora == nullptr) return;
  SetCaption(FrmSnapora->Caption());
  for (const TLanguageText& text : kSnaporaFileNameTexts) {
    const std::string value = FrmSnapora->LookupText(FullKey(text), text.BuiltIn);
    for (const char* target : text.Targets) {
      if (target == nullptr) continue;
      const std::string_view name = target;
      if (name == "BtnCancel") BtnCancel.SetCaption(value);
      if (name == "BtnOk") BtnOk.SetCaption(value);
      if (name == "LblFileName") LblFileName.SetCaption(value);
    }
  }
}

void TFrmFileName::FormClose() {
  const os::WindowHandle application = App().Handle();
  if (application != 0) os::SetWindowZOrder(application, os::ZOrder::NoTopmost, true);
}

void TFrmFileName::BtnBrowseClick() {
  if (FrmSnapora != nullptr && FrmSnapora->SvdSave.Execute())
    EdtFileName.SetText(FrmSnapora->SvdSave.FileName());
  KeepApplicationOnTop(false);
}
