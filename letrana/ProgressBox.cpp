#include "letrana/ProgressBox.h"

#include "common/PersistedSettings.h"

TFrmProgress::TFrmProgress(ui::Application& app)
    : Form(app, {.caption = "Letrana",
                 .bounds = {0, 0, 0, 0},
                 .clientWidth = 287,
                 .clientHeight = 54,
                 .borderStyle = ui::BorderStyle::Dialog,
                 .captionButtons = false,
                 .position = ui::FormPosition::MainFormCenter,
                 .font = {.name = "MS Sans Serif", .size = 9},
                 .showIcon = false}) {
  LblMessage.Create(*this, {.bounds = {8, 16, 0, 0}, .caption = "LblMessage"});
  OnShow = [this] { FormShow(); };
  ScaleForScreen();
}

void TFrmProgress::FormShow() {
  if (const ui::Form* main = App().MainForm(); main != nullptr && main != this)
    ApplyInterfaceFont(main->GetFont());
}

void TFrmProgress::ApplyInterfaceFont(const ui::Font& mainFont) {
  const ui::Font& own = GetFont();
  if (own.name == mainFont.name && own.charset == mainFont.charset && own.size == mainFont.size) return;
  ui::Font font = own;
  TakeFontFace(font, mainFont);
  font.size = mainFont.size;
  SetFont(font);
}
