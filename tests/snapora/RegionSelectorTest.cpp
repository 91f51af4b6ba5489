// Choosing a region on the frozen screen, acted on through the headless overlay: drags, clicks on
// windows and the keyboard give the regions a user expects to the pixel, on a virtual screen of two
// monitors one of which lies at negative coordinates; what the overlay shows, and what it paints again.

#include "snapora/RegionSelector.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <vector>

#include "platform/ui/Forms.h"
#include "platform/ui/UiTesting.h"
#include "platform/ui/WindowSystemTesting.h"

namespace {

using Act = std::function<void(ui::ScreenOverlay&, TRegionSelector&)>;
using Rect = os::ScreenRect;

bool Holds(const Rect& r, int x, int y) { return x >= r.left && x < r.right && y >= r.top && y < r.bottom; }
TColor Dimmed(TColor c) { return (c >> 1) & 0x7F7F7F; }

class RegionSelectorTest : public ::testing::Test {
 protected:
  RegionSelectorTest() {
    ui::testing::Reset();
    os::testing::AddMonitor({-800, -200, 0, 400}, 96);  // left of and above the primary 1280 x 1024
    area = os::VirtualScreen();
    // Every pixel differs from its neighbours, and neither it nor its dimmed colour is black or white.
    frozen.SetSize(area.Width(), area.Height());
    for (int y = 0; y < area.Height(); ++y)
      for (int x = 0; x < area.Width(); ++x)
        frozen.SetPixel(x, y, RGB(x & 0xFF, y & 0xFF, 0x80 | ((x >> 8) + (y >> 8) * 8)));
  }
  ~RegionSelectorTest() override { ui::testing::Reset(); }

  // Runs the selection while act plays the user.
  std::optional<Rect> Select(const Act& act, std::optional<Rect> last = std::nullopt,
                             std::vector<os::WindowHandle> excluded = {}) {
    ui::ScreenOverlay overlay(app);
    TRegionSelector selector(overlay, area, frozen, last, excluded);
    ui::testing::OnOverlay([&](ui::ScreenOverlay& shown) { act(shown, selector); });
    return selector.Run();
  }
  // The mouse at screen coordinates.
  void Down(ui::ScreenOverlay& o, int x, int y) { o.NativeMouseDown(x - area.left, y - area.top); }
  void Move(ui::ScreenOverlay& o, int x, int y) { o.NativeMouseMove(x - area.left, y - area.top); }
  void Up(ui::ScreenOverlay& o, int x, int y) { o.NativeMouseUp(x - area.left, y - area.top); }
  void Click(ui::ScreenOverlay& o, int x, int y) { Down(o, x, y), Up(o, x, y); }

  // The overlay shows the frozen picture over exactly the area: undimmed inside the selection and at
  // the pointer's pixel, dimmed elsewhere, the selection's border and the cross-hair in black and white.
  void ExpectShown(const ui::ScreenOverlay& overlay, const TRegionSelector& selector) {
    ASSERT_EQ(overlay.Area(), area);
    const TBitmap& shown = overlay.Picture();
    ASSERT_EQ(shown.Width(), area.Width());
    ASSERT_EQ(shown.Height(), area.Height());
    const auto [px, py] = selector.Pointer();
    std::optional<Rect> selection = selector.Selection();
    if (selection)
      *selection = {selection->left - area.left, selection->top - area.top, selection->right - area.left,
                    selection->bottom - area.top};
    int wrong = 0;
    for (int y = 0; y < shown.Height(); ++y)
      for (int x = 0; x < shown.Width(); ++x) {
        if (Holds(selector.PanelRect(), x, y)) continue;
        const bool inside = selection && Holds(*selection, x, y);
        const bool border = selection && !inside && x >= selection->left - 1 && x <= selection->right &&
                            y >= selection->top - 1 && y <= selection->bottom;
        const TColor pixel = shown.Pixel(x, y), source = frozen.Pixel(x, y);
        const bool right = (x == px) != (y == py) || border ? pixel == clBlack || pixel == clWhite
                                                            : pixel == (inside ? source : Dimmed(source));
        if (!right && ++wrong <= 5) ADD_FAILURE() << "pixel " << x << "," << y << ": " << std::hex << pixel;
      }
    EXPECT_EQ(wrong, 0);
  }

  ui::Application app;
  Rect area;
  TBitmap frozen;
};

TEST_F(RegionSelectorTest, DragTakesBothPixelsAndAllBetweenInAnyDirectionClampedToTheArea) {
  ASSERT_EQ(area, (Rect{-800, -200, 1280, 1024}));
  struct Case {
    int downX, downY, upX, upY;
    Rect region;
  };
  for (const Case& c : std::vector<Case>{
           {10, 20, 12, 25, {10, 20, 13, 26}},                  // down-right
           {12, 25, 10, 20, {10, 20, 13, 26}},                  // up-left
           {12, 20, 10, 25, {10, 20, 13, 26}},                  // down-left
           {10, 25, 12, 20, {10, 20, 13, 26}},                  // up-right
           {-5, -7, -8, -4, {-8, -7, -4, -3}},                  // on the monitor at negative coordinates
           {-100, -50, 100, 50, {-100, -50, 101, 51}},          // across both monitors
           {-800, -200, 1279, 1023, area},                      // corner to corner
           {1277, 1021, 1500, 1100, {1277, 1021, 1280, 1024}},  // the mouse leaves the area
       }) {
    const auto region = Select([&](ui::ScreenOverlay& o, TRegionSelector&) {
      Down(o, c.downX, c.downY);
      Move(o, (c.downX + c.upX) / 2, (c.downY + c.upY) / 2);
      Up(o, c.upX, c.upY);
    });
    EXPECT_EQ(region, c.region) << c.downX << "," << c.downY << " to " << c.upX << "," << c.upY;
  }
}

TEST_F(RegionSelectorTest, ShowsTheSelectionUndimmedAndPaintsAgainOnlyWhatChanged) {
  Select([&](ui::ScreenOverlay& o, TRegionSelector& selector) {
    ExpectShown(o, selector);  // nothing selected: all dimmed
    Down(o, -20, -10);
    Move(o, 30, 15);
    ExpectShown(o, selector);  // the corner at the pointer undimmed too
    for (const auto& [x, y] : std::vector<std::pair<int, int>>{{31, 15}, {31, 17}, {-25, -12}}) {
      const TBitmap before = o.Picture();
      const std::size_t painted = ui::testing::OverlayInvalidations().size();
      Move(o, x, y);
      const std::vector<Rect> parts(ui::testing::OverlayInvalidations().begin() + painted,
                                    ui::testing::OverlayInvalidations().end());
      long long paintedPixels = 0;
      for (const Rect& part : parts) paintedPixels += 1LL * part.Width() * part.Height();
      EXPECT_LT(paintedPixels, 1LL * area.Width() * area.Height() / 10) << x << "," << y;
      for (int py = 0; py < before.Height(); ++py)
        for (int px = 0; px < before.Width(); ++px)
          if (before.Pixel(px, py) != o.Picture().Pixel(px, py) &&
              std::none_of(parts.begin(), parts.end(), [&](const Rect& r) { return Holds(r, px, py); }))
            return ADD_FAILURE() << "changed but not painted again: " << px << "," << py;
      ExpectShown(o, selector);
    }
  });
}

TEST_F(RegionSelectorTest, MagnifierBesideThePointerTellsItsScreenPixel) {
  frozen.SetPixel(-3 - area.left, 5 - area.top, RGB(0x12, 0x34, 0x56));
  Select([&](ui::ScreenOverlay& o, TRegionSelector& selector) {
    Move(o, -3, 5);
    EXPECT_EQ(selector.LabelLines(), (std::vector<std::string>{"-3, 5", "#123456"}));
    // The pointer's pixel and its right neighbour, enlarged in the middle of the magnifier.
    const Rect panel = selector.PanelRect();
    const int middle = 1 + TRegionSelector::MagnifiedPixels / 2 * TRegionSelector::Zoom + 4;
    EXPECT_EQ(o.Picture().Pixel(panel.left + middle, panel.top + middle), RGB(0x12, 0x34, 0x56));
    EXPECT_EQ(o.Picture().Pixel(panel.left + middle + TRegionSelector::Zoom, panel.top + middle),
              frozen.Pixel(-2 - area.left, 5 - area.top));
    Down(o, -3, 5);
    Move(o, -1, 10);
    EXPECT_EQ(selector.LabelLines(), (std::vector<std::string>{"-1, 10", "#1FD283", "3 x 6", "at -3, 5"}));
    // Near every edge and corner the panel stays inside the area, off the pointer.
    for (const auto& [x, y] : std::vector<std::pair<int, int>>{
             {0, 0}, {-800, -200}, {1279, 1023}, {1279, -200}, {-800, 1023}, {1200, 500}, {100, 1000}}) {
      Move(o, x, y);
      const Rect place = selector.PanelRect();
      EXPECT_TRUE(place.left >= 0 && place.top >= 0 && place.right <= area.Width() &&
                  place.bottom <= area.Height() && !Holds(place, x - area.left, y - area.top))
          << x << "," << y;
    }
  });
}

TEST_F(RegionSelectorTest, KeyboardAloneMovesThePointerFixesACornerAndTakes) {
  // The pointer starts at the area's centre; Shift moves ten pixels; a second Space fixes the corner anew.
  const int cx = area.left + (area.Width() - 1) / 2, cy = area.top + (area.Height() - 1) / 2;
  constexpr int Space = TRegionSelector::KeySpace, Left = TRegionSelector::KeyLeft,
                Up = TRegionSelector::KeyUp, Right = TRegionSelector::KeyRight,
                Down = TRegionSelector::KeyDown;
  struct Press {
    int key;
    bool shift = false;
    int times = 1;
  };
  struct Case {
    std::vector<Press> keys;
    Rect region;
  };
  for (const Case& c : std::vector<Case>{
           {{{Space}, {Right}, {Right}, {Down}, {Space}, {Up, true}, {Left}},
            {cx + 1, cy - 9, cx + 3, cy + 2}},
           {{{Right, true, 300}, {Down, true, 300}, {Space}, {Left}, {Up}}, {1278, 1022, 1280, 1024}},
           {{{Left, true, 300}, {Up, true, 300}, {Space}, {Right, true}}, {-800, -200, -789, -199}},
       }) {
    const auto region = Select([&](ui::ScreenOverlay& o, TRegionSelector& selector) {
      for (const Press& press : c.keys)
        for (int i = 0; i < press.times; ++i) o.NativeKeyDown(press.key, press.shift);
      const auto& moves = ui::testing::OverlayPointerMoves();  // the real pointer follows
      EXPECT_TRUE(!moves.empty() && moves.back() == selector.Pointer());
      o.NativeKeyDown(ui::key::Return, false);
    });
    EXPECT_EQ(region, c.region) << c.keys.size();
  }
}

TEST_F(RegionSelectorTest, EscapeEmptyAreaOrUnfittingPictureNeverTakeWhatWasNotChosen) {
  struct Case {
    Rect area;
    TBitmap frozen;
    std::function<void(ui::ScreenOverlay&)> act;
    std::optional<Rect> region;
  };
  const auto escapeMidDrag = [](ui::ScreenOverlay& o) {
    o.NativeMouseDown(5, 5), o.NativeMouseMove(50, 50), o.NativeKeyDown(ui::key::Escape, false);
    o.NativeMouseUp(50, 50);  // the release after the overlay closed takes nothing
  };
  const auto drag = [](ui::ScreenOverlay& o) { o.NativeMouseDown(1, 1), o.NativeMouseUp(9, 4); };
  for (const Case& c : std::vector<Case>{{area, frozen, escapeMidDrag, std::nullopt},
                                         {{5, 5, 5, 50}, frozen, drag, std::nullopt},
                                         {{5, 5, 105, 55}, TBitmap{}, drag, Rect{6, 6, 15, 10}}}) {
    bool shown = false;
    ui::testing::OnOverlay([&](ui::ScreenOverlay& o) { shown = true, c.act(o); });
    EXPECT_EQ(SelectRegion(app, c.area, c.frozen, std::nullopt, {}), c.region);
    EXPECT_EQ(shown, !c.area.Empty());
  }
  EXPECT_TRUE(ui::testing::ErrorBoxes().empty());
}

TEST_F(RegionSelectorTest, ClickTakesTheTopVisibleWindowsFrameUnderThePointerCutToTheArea) {
  os::testing::AddWindow("below", {-900, -100, 600, 500});  // reaches beyond the area
  os::testing::AddWindow("hidden", {0, 0, 1280, 1024}, false);
  const auto framed = os::testing::AddWindow("framed", {100, 100, 400, 300});
  os::testing::SetFrameBorders(framed, os::testing::FrameBorders{7, 0, 7, 7});
  const auto own = os::testing::AddWindow("own", {150, 150, 300, 250});
  os::testing::MinimizeWindow(os::testing::AddWindow("minimised", {0, 0, 1280, 1024}));
  struct Case {
    int downX, downY, upX, upY;
    std::optional<Rect> region;  // nothing: the overlay stays open
  };
  for (const Case& c : std::vector<Case>{
           {200, 200, 200, 200, Rect{107, 100, 393, 293}},    // the excluded window skipped
           {200, 200, 202, 198, Rect{107, 100, 393, 293}},    // a slip of two pixels is still a click
           {103, 200, 103, 200, Rect{-800, -100, 600, 500}},  // the invisible border belongs to the one below
           {-700, 0, -700, 0, Rect{-800, -100, 600, 500}},
           {1000, 800, 1000, 800, std::nullopt},  // no window there
       }) {
    bool open = false;
    const auto region = Select(
        [&](ui::ScreenOverlay& o, TRegionSelector&) {
          Down(o, c.downX, c.downY), Up(o, c.upX, c.upY);
          open = o.Running();
        },
        std::nullopt, {own});
    EXPECT_EQ(region, c.region) << c.downX << "," << c.downY;
    EXPECT_EQ(open, !c.region) << c.downX << "," << c.downY;
  }
  // Enter without a selection takes the window under the pointer as a click does.
  EXPECT_EQ(Select([&](ui::ScreenOverlay& o, TRegionSelector&) {
              Move(o, 300, 120), o.NativeKeyDown(ui::key::Return, false);
            }),
            (Rect{107, 100, 393, 293}));
}

TEST_F(RegionSelectorTest, LastRegionInsideTheAreaIsOfferedAndTakenUnlessReplaced) {
  const Rect last{-50, -40, 70, 60};
  const auto enter = [](ui::ScreenOverlay& o) { o.NativeKeyDown(ui::key::Return, false); };
  struct Case {
    Rect last;
    std::function<void(ui::ScreenOverlay&)> act;
    std::optional<Rect> region;
  };
  for (const Case& c : std::vector<Case>{
           {last, enter, last},
           {last, [&](ui::ScreenOverlay& o) { Down(o, 0, 0), Up(o, 4, 3); }, Rect{0, 0, 5, 4}},
           {last, [&](ui::ScreenOverlay& o) { o.NativeKeyDown(TRegionSelector::KeySpace, false), enter(o); },
            Rect{-50 + 59, -40 + 49, -50 + 60, -40 + 50}},   // a corner at the region's centre
           {{1200, 1000, 1300, 1100}, enter, std::nullopt},  // reaches beyond the area: not offered
       }) {
    const auto region = Select(
        [&](ui::ScreenOverlay& o, TRegionSelector& selector) {
          if (c.last == last) {
            EXPECT_EQ(selector.Selection(), last);
            EXPECT_EQ(selector.LabelLines().at(2), "120 x 100");
            ExpectShown(o, selector);
          }
          c.act(o);
        },
        c.last);
    EXPECT_EQ(region, c.region);
  }
}

}  // namespace
