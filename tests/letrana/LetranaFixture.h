#pragma once
// Letrana's windows on the headless backend, wired as the program start wires them, with a clean test
// state for each test and a few helpers for what the windows show and write.
//
// Each test gives the windows a sandbox: a program folder of its own (where the windows look for
// SavePath.ini, the language list and files, and the documents), with a SavePath.ini that sends the
// storage directory to a temporary folder of its own, so that no per-user or common folder is ever
// touched and tests can run side by side.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

#include "letrana/MainWindow.h"
#include "platform/ui/ClipboardTesting.h"
#include "platform/ui/ShellTesting.h"
#include "platform/ui/UiTesting.h"
#include "tests/support/ProgramSandbox.h"
#include "tests/support/TestSupport.h"

namespace letrana_testing {

constexpr TColor kRed = RGB(255, 0, 0), kGreen = RGB(0, 160, 0);

class LetranaTest : public ::testing::Test, public testing_support::ProgramSandbox {
 protected:
  LetranaTest() : ProgramSandbox(LetranaStorage, kLetranaLanguageList, "Letrana", "letrana/dist") {
    os::testing::ClearShellCalls();
    os::testing::ClearClipboard();
  }
  ~LetranaTest() override {
    windows.reset();
    shell.reset();
    ui::testing::Reset();
  }

  // Creates the windows, after the test has set the screen's resolution if it wants another, on a shell
  // whose folders are found as a start finds them.
  TFrmLetrana& Open() {
    // The old windows go first, so that the new main window is the application's main form.
    windows.reset();
    windows = std::make_unique<TLetranaWindows>(*app, NewShell());
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
  // Runs a command as the message loop does: an escaping error goes to the error box.
  void AsTheMessageLoop(const std::function<void()>& command) {
    try {
      command();
    } catch (const std::exception& error) {
      app->HandleException(error);
    }
  }
  // The item of a Unicode block in the Characters menu.
  ui::MenuItem& BlockItem(const std::string& name) {
    const auto& blocks = UnicodeBlocks();
    for (std::size_t i = 0; i < blocks.size(); ++i)
      if (name == blocks[i].Name) return *Frm().MenBlocks.at(i);
    throw std::invalid_argument("no block " + name);
  }

  std::unique_ptr<TLetranaWindows> windows;
};

// The glyph's own cell as the text renderer draws it, independently of the window: advance width x
// line height, the background with the glyph on it in the font's colour.
inline TBitmap DrawnGlyphCell(const ui::TextRenderer& font, int code, TColor background) {
  const std::string text(1, static_cast<char>(code));
  TBitmap cell;
  cell.SetSize(font.Measure(text).width, font.LineHeight());
  font.DrawOpaque(cell, 0, 0, text, background);
  return cell;
}

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
