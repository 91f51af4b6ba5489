#include "letrana/UnitInfo.h"

TFrmInfo::TFrmInfo(ui::Application& app)
    : Form(app, {.caption = "Info",
                 .bounds = {0, 0, 0, 0},
                 .clientWidth = 604,
                 .clientHeight = 289,
                 .borderStyle = ui::BorderStyle::Dialog,
                 .position = ui::FormPosition::ScreenCenter,
                 .font = {.name = "MS Sans Serif", .size = 9},
                 .showIcon = false}) {
  ScaleForScreen();
}
