#pragma once
// Letrana's windows on the headless backend, wired as the program start wires them, with a clean test
// state for each test and a few helpers for what the windows show and write.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "letrana/UnitLetrana.h"
#include "platform/UiTesting.h"
#include "tests/support/TestSupport.h"

namespace letrana_testing {

constexpr TColor kRed = RGB(255, 0, 0), kGreen = RGB(0, 160, 0);

class LetranaTest : public ::testing::Test {
 protected:
  LetranaTest() {
    ui::testing::Reset();
    app->SetTitle("Letrana");
  }
  ~LetranaTest() override {
    windows.reset();
    ui::testing::Reset();
  }
  // Creates the windows, after the test has set the screen's resolution if it wants another.
  TFrmLetrana& Open() {
    windows = std::make_unique<TLetranaWindows>(*app);
    return windows->FrmLetrana;
  }
  TFrmLetrana& Frm() { return windows->FrmLetrana; }
  TFrmProgress& Progress() { return windows->FrmProgress; }
  void PickFont(const ui::Font& font) {
    ui::testing::AnswerFont(Frm().FodFont, font);
    Frm().MenSelectFont.Click();
  }
  void PickBackground(TColor color) {
    ui::testing::AnswerColor(Frm().CldColor, color);
    Frm().MenSelectBackgroundColor.Click();
  }
  // The rendering font as the platform measures it at the window's resolution.
  ui::TextRenderer Measured() { return {Frm().LblFont.GetFont(), Frm().PixelsPerInch()}; }
  static std::string Byte(int code) { return std::string(1, static_cast<char>(code)); }

  std::unique_ptr<ui::Application> app = std::make_unique<ui::Application>();
  std::unique_ptr<TLetranaWindows> windows;
};

inline bool ColumnIsWhite(const TBitmap& picture, int x) {
  for (int y = 0; y < picture.Height(); ++y) {
    if (picture.Pixel(x, y) != clWhite) return false;
  }
  return true;
}
inline bool AllWhite(const TBitmap& picture) {
  for (int x = 0; x < picture.Width(); ++x) {
    if (!ColumnIsWhite(picture, x)) return false;
  }
  return true;
}

inline std::vector<std::string> FileNames(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace letrana_testing
