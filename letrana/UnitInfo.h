#pragma once
// The about box, shown modally from the "?" menu. Its contents come with the help menu; until then it
// is an empty dialog window.

#include "platform/Ui.h"

class TFrmInfo : public ui::Form {
 public:
  explicit TFrmInfo(ui::Application& app);
};
