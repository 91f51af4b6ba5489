#pragma once
// Snapora's windows on the headless backend's virtual screen, wired as the program start wires them,
// with a clean state for each test: the screen 1280 x 1024 at 96 pixels per inch, no other windows, an
// empty clipboard, and a program folder of the test's own whose SavePath.ini sends the storage directory
// to a temporary folder of its own.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>

#include "platform/ui/ClipboardTesting.h"
#include "platform/ui/UiTesting.h"
#include "platform/ui/WindowSystemTesting.h"
#include "snapora/SnaporaWindows.h"
#include "tests/support/ProgramSandbox.h"
#include "tests/support/TestSupport.h"

namespace snapora_testing {

class SnaporaTest : public ::testing::Test, public testing_support::ProgramSandbox {
 protected:
  SnaporaTest() : ProgramSandbox(SnaporaStorage, kSnaporaLanguageList, "Snapora", "snapora/dist") {
    os::testing::ClearClipboard();
  }
  ~SnaporaTest() override {
    windows.reset();
    shell.reset();
    ui::testing::Reset();
  }

  // Creates the windows (after the test has set the screen it wants).
  TFrmSnapora& Open() {
    windows.reset();
    windows = std::make_unique<TSnaporaWindows>(*app, NewShell());
    return windows->FrmSnapora;
  }
  // Creates and shows the main window, as the program start does.
  TFrmSnapora& OpenShown() {
    TFrmSnapora& frm = Open();
    frm.Show();
    return frm;
  }
  TFrmSnapora& Frm() { return windows->FrmSnapora; }

  // The list's captions, in order.
  std::vector<std::string> Captions() {
    std::vector<std::string> captions;
    for (int i = 0; i < Frm().LisWindows.Count(); ++i) captions.push_back(Frm().LisWindows.ItemCaption(i));
    return captions;
  }
  // The index of the entry with this caption, or -1.
  int EntryOf(const std::string& caption) {
    for (int i = 0; i < Frm().LisWindows.Count(); ++i)
      if (Frm().LisWindows.ItemCaption(i) == caption) return i;
    return -1;
  }
  // Selects the entry with the caption (it must be listed).
  void SelectEntry(const std::string& caption) {
    const int index = EntryOf(caption);
    ASSERT_GE(index, 0) << caption << " is not listed";
    Frm().LisWindows.SetSelected(index, true);
  }
  // Runs an action whose error reaches the message loop, as the backend does for a handler.
  template <typename F>
  void Run(F action) {
    try {
      action();
    } catch (const std::exception& error) {
      app->HandleException(error);
    }
  }
  // Paints the display with a pattern every pixel of which differs from its neighbours'.
  static void PaintDisplay() {
    TBitmap& display = os::testing::DisplayPixels();
    for (int y = 0; y < display.Height(); ++y)
      for (int x = 0; x < display.Width(); ++x)
        display.SetPixel(x, y, RGB(x & 0xFF, y & 0xFF, (x / 256 + y / 256 * 5) & 0xFF));
  }

  std::unique_ptr<TSnaporaWindows> windows;
};

// The display's pixels in the rectangle (screen coordinates), as a picture of its own.
inline TBitmap DisplayPart(int left, int top, int width, int height) {
  const TBitmap& display = os::testing::DisplayPixels();
  const os::ScreenRect screens = os::VirtualScreen();
  TBitmap part;
  part.SetSize(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const int sx = left + x - screens.left, sy = top + y - screens.top;
      const bool inside = sx >= 0 && sy >= 0 && sx < display.Width() && sy < display.Height();
      part.SetPixel(x, y, inside ? display.Pixel(sx, sy) : clBlack);
    }
  return part;
}

inline void ExpectSamePixels(const TBitmap& actual, const TBitmap& expected) {
  ASSERT_EQ(actual.Width(), expected.Width());
  ASSERT_EQ(actual.Height(), expected.Height());
  for (int y = 0; y < expected.Height(); ++y)
    for (int x = 0; x < expected.Width(); ++x)
      ASSERT_EQ(actual.Pixel(x, y) & 0xFFFFFF, expected.Pixel(x, y) & 0xFFFFFF) << x << "," << y;
}

// How often the window system was called with exactly this line, and with a line starting so.
inline int Count(const std::string& line) {
  const auto& calls = os::testing::WindowCalls();
  return static_cast<int>(std::count(calls.begin(), calls.end(), line));
}
inline int CountStartingWith(const std::string& prefix) {
  int count = 0;
  for (const std::string& call : os::testing::WindowCalls()) count += call.rfind(prefix, 0) == 0;
  return count;
}
inline bool Called(const std::string& line) { return Count(line) > 0; }

}  // namespace snapora_testing
