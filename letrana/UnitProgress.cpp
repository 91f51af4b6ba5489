#include "letrana/UnitProgress.h"

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
  ScaleForScreen();
}
