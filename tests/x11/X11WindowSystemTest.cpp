// The X11 window system (platform/x11) on an X display with a window manager (openbox; with_display.sh
// starts both): windows the test makes on a connection of its own, with known titles, sizes and a
// painted pattern, read and changed through the os:: functions as the capture tool uses them. The
// manager acts on its own time: every state is waited for with a bounded poll.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>
#include <xcb/xtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/ui/WindowSystem.h"

namespace os {
inline void PrintTo(const ScreenRect& r, std::ostream* out) {
  *out << "{" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << "}";
}
}  // namespace os

namespace {

using namespace os;

// Polls until the condition holds (true) or 20 seconds have passed (false): the display and its manager
// share the machine with whatever else runs.
bool Eventually(const std::function<bool()>& condition) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

struct FreeDeleter {
  void operator()(void* p) const { std::free(p); }
};

// The pattern painted into every test window: four quadrants of these colours (0xRRGGBB).
constexpr std::uint32_t kQuadrants[4] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00};
std::uint32_t PatternAt(int x, int y, int width, int height) {
  return kQuadrants[(x >= width / 2 ? 1 : 0) + (y >= height / 2 ? 2 : 0)];
}

// The test's own connection to the display, and the windows it made there.
class TestDisplay {
 public:
  TestDisplay() : c_(xcb_connect(nullptr, nullptr)) {
    screen_ = xcb_setup_roots_iterator(xcb_get_setup(c_)).data;
  }
  ~TestDisplay() { xcb_disconnect(c_); }

  bool Ok() const { return xcb_connection_has_error(c_) == 0; }
  xcb_connection_t* C() const { return c_; }

  xcb_atom_t Atom(const char* name) {
    std::unique_ptr<xcb_intern_atom_reply_t, FreeDeleter> reply(
        xcb_intern_atom_reply(c_, xcb_intern_atom(c_, 0, std::strlen(name), name), nullptr));
    return reply ? reply->atom : XCB_NONE;
  }

  void SetProperty(xcb_window_t window, const char* name, xcb_atom_t type, int format, const void* data,
                   std::size_t count) {
    xcb_change_property(c_, XCB_PROP_MODE_REPLACE, window, Atom(name), type, format,
                        static_cast<std::uint32_t>(count), data);
  }

  // A window with the pattern as its background (the server paints it itself), the UTF-8 title as
  // _NET_WM_NAME (or, legacy, the Latin-1 title as WM_NAME only), this process's id, mapped at the
  // position and size, and waited for until the manager lists and frames it.
  WindowHandle MakeWindow(const std::string& title, bool legacyTitle, int x, int y, int width, int height) {
    const xcb_window_t window = xcb_generate_id(c_);
    const xcb_pixmap_t pattern = xcb_generate_id(c_);
    xcb_create_pixmap(c_, screen_->root_depth, pattern, screen_->root, width, height);
    const xcb_gcontext_t gc = xcb_generate_id(c_);
    xcb_create_gc(c_, gc, pattern, 0, nullptr);
    for (int quadrant = 0; quadrant < 4; ++quadrant) {
      xcb_change_gc(c_, gc, XCB_GC_FOREGROUND, &kQuadrants[quadrant]);
      const xcb_rectangle_t part{static_cast<std::int16_t>(quadrant % 2 ? width / 2 : 0),
                                 static_cast<std::int16_t>(quadrant / 2 ? height / 2 : 0),
                                 static_cast<std::uint16_t>(width - width / 2),
                                 static_cast<std::uint16_t>(height - height / 2)};
      xcb_poly_fill_rectangle(c_, pattern, gc, 1, &part);
    }
    xcb_free_gc(c_, gc);
    const std::uint32_t values[] = {pattern};
    xcb_create_window(c_, XCB_COPY_FROM_PARENT, window, screen_->root, static_cast<std::int16_t>(x),
                      static_cast<std::int16_t>(y), static_cast<std::uint16_t>(width),
                      static_cast<std::uint16_t>(height), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                      screen_->root_visual, XCB_CW_BACK_PIXMAP, values);
    xcb_free_pixmap(c_, pattern);
    if (legacyTitle) {
      SetProperty(window, "WM_NAME", XCB_ATOM_STRING, 8, title.data(), title.size());
    } else {
      SetProperty(window, "_NET_WM_NAME", Atom("UTF8_STRING"), 8, title.data(), title.size());
    }
    // Placed where asked (a program-specified position), not where the manager would.
    std::uint32_t hints[18] = {};
    hints[0] = 1 | 2 | 4 | 8;  // USPosition, USSize, PPosition, PSize
    hints[1] = static_cast<std::uint32_t>(x), hints[2] = static_cast<std::uint32_t>(y);
    hints[3] = static_cast<std::uint32_t>(width), hints[4] = static_cast<std::uint32_t>(height);
    SetProperty(window, "WM_NORMAL_HINTS", XCB_ATOM_WM_SIZE_HINTS, 32, hints, 18);
    const std::uint32_t pid = static_cast<std::uint32_t>(getpid());
    SetProperty(window, "_NET_WM_PID", XCB_ATOM_CARDINAL, 32, &pid, 1);
    xcb_map_window(c_, window);
    xcb_flush(c_);
    const auto handle = static_cast<WindowHandle>(window);
    EXPECT_TRUE(Eventually([&] {
      return Listed(handle) && WindowVisible(handle) && FrameExtents(handle).size() == 4;
    })) << title;
    return handle;
  }

  // The manager's list, topmost first, as the test reads it itself.
  std::vector<WindowHandle> Stacking() {
    std::vector<WindowHandle> windows;
    for (const std::uint32_t w : Cardinals(screen_->root, "_NET_CLIENT_LIST_STACKING", XCB_ATOM_WINDOW))
      windows.insert(windows.begin(), static_cast<WindowHandle>(w));
    return windows;
  }
  bool Listed(WindowHandle window) {
    const std::vector<WindowHandle> windows = Stacking();
    return std::find(windows.begin(), windows.end(), window) != windows.end();
  }
  WindowHandle Active() {
    const std::vector<std::uint32_t> active = Cardinals(screen_->root, "_NET_ACTIVE_WINDOW", XCB_ATOM_WINDOW);
    return active.empty() ? 0 : static_cast<WindowHandle>(active[0]);
  }
  std::vector<std::uint32_t> FrameExtents(WindowHandle window) {
    return Cardinals(static_cast<xcb_window_t>(window), "_NET_FRAME_EXTENTS", XCB_ATOM_CARDINAL);
  }
  bool HasState(WindowHandle window, const char* state) {
    const std::vector<std::uint32_t> states =
        Cardinals(static_cast<xcb_window_t>(window), "_NET_WM_STATE", XCB_ATOM_ATOM);
    return std::find(states.begin(), states.end(), Atom(state)) != states.end();
  }

  // Presses or releases the key of the key symbol through the server's test extension.
  void Key(xcb_keysym_t symbol, bool press) {
    std::unique_ptr<xcb_key_symbols_t, void (*)(xcb_key_symbols_t*)> symbols(xcb_key_symbols_alloc(c_),
                                                                             xcb_key_symbols_free);
    std::unique_ptr<xcb_keycode_t, FreeDeleter> codes(xcb_key_symbols_get_keycode(symbols.get(), symbol));
    ASSERT_TRUE(codes && *codes != XCB_NO_SYMBOL) << std::hex << symbol;
    xcb_test_fake_input(c_, press ? XCB_KEY_PRESS : XCB_KEY_RELEASE, *codes, XCB_CURRENT_TIME, XCB_NONE, 0, 0,
                        0);
    xcb_flush(c_);
    std::unique_ptr<xcb_get_input_focus_reply_t, FreeDeleter> sync(
        xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr));
  }

  xcb_keycode_t KeyCode(xcb_keysym_t symbol) {
    std::unique_ptr<xcb_key_symbols_t, void (*)(xcb_key_symbols_t*)> symbols(xcb_key_symbols_alloc(c_),
                                                                             xcb_key_symbols_free);
    std::unique_ptr<xcb_keycode_t, FreeDeleter> codes(xcb_key_symbols_get_keycode(symbols.get(), symbol));
    return codes ? *codes : XCB_NO_SYMBOL;
  }
  void Tap(xcb_keysym_t symbol) {
    Key(symbol, true);
    Key(symbol, false);
  }

  // Grabs the key with the modifier bits on the root for this connection (XCB_MOD_MASK_ANY: with every
  // combination, which the server refuses while another client holds any); true when granted.
  bool GrabKey(xcb_keysym_t symbol, std::uint16_t modifiers) {
    std::unique_ptr<xcb_generic_error_t, FreeDeleter> error(
        xcb_request_check(c_, xcb_grab_key_checked(c_, 0, screen_->root, modifiers, KeyCode(symbol),
                                                   XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC)));
    return !error;
  }
  void UngrabKey(xcb_keysym_t symbol, std::uint16_t modifiers) {
    xcb_ungrab_key(c_, KeyCode(symbol), screen_->root, modifiers);
    std::unique_ptr<xcb_get_input_focus_reply_t, FreeDeleter> sync(
        xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr));
  }

  // The window's key presses come to this connection.
  void SelectKeyPresses(WindowHandle window) {
    const std::uint32_t mask = XCB_EVENT_MASK_KEY_PRESS;
    xcb_change_window_attributes(c_, static_cast<xcb_window_t>(window), XCB_CW_EVENT_MASK, &mask);
    xcb_flush(c_);
  }
  // The key presses that came to this connection until one of the symbol's key (that one included),
  // as key code and modifier state; empty when none of that key came.
  std::vector<std::pair<xcb_keycode_t, std::uint16_t>> PressesUntil(xcb_keysym_t symbol) {
    std::vector<std::pair<xcb_keycode_t, std::uint16_t>> presses;
    const xcb_keycode_t last = KeyCode(symbol);
    const bool came = Eventually([&] {
      while (xcb_generic_event_t* next = xcb_poll_for_event(c_)) {
        std::unique_ptr<xcb_generic_event_t, FreeDeleter> event(next);
        if ((event->response_type & 0x7F) != XCB_KEY_PRESS) continue;
        const auto* press = reinterpret_cast<const xcb_key_press_event_t*>(event.get());
        presses.emplace_back(press->detail, press->state);
        if (press->detail == last) return true;
      }
      return false;
    });
    return came ? presses : decltype(presses){};
  }

  void ShowDesktop(bool show) {
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = screen_->root;
    message.type = Atom("_NET_SHOWING_DESKTOP");
    message.data.data32[0] = show ? 1 : 0;
    xcb_send_event(c_, 0, screen_->root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&message));
    xcb_flush(c_);
  }

 private:
  std::vector<std::uint32_t> Cardinals(xcb_window_t window, const char* name, xcb_atom_t type) {
    std::unique_ptr<xcb_get_property_reply_t, FreeDeleter> reply(
        xcb_get_property_reply(c_, xcb_get_property(c_, 0, window, Atom(name), type, 0, 4096), nullptr));
    if (!reply || reply->format != 32) return {};
    const auto* items = static_cast<const std::uint32_t*>(xcb_get_property_value(reply.get()));
    return {items, items + xcb_get_property_value_length(reply.get()) / 4};
  }

  xcb_connection_t* c_;
  xcb_screen_t* screen_ = nullptr;
};

class X11WindowSystemTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    display_ = new TestDisplay;
    if (!display_->Ok()) return;
    alpha_ = display_->MakeWindow("Alpha \xC3\x9C\xE2\x82\xAC", false, 100, 100, 200, 120);  // "Alpha Ü€"
    beta_ = display_->MakeWindow("Beta \xE9", true, 400, 200, 160, 100);  // Latin-1 "Beta é"
    gamma_ = display_->MakeWindow(std::string(5000, 'g'), false, 600, 400, 100, 80);
  }
  static void TearDownTestSuite() {
    delete display_;
    display_ = nullptr;
  }
  void SetUp() override {
    if (!display_->Ok()) GTEST_SKIP() << "no X display (run through with_display.sh)";
  }

  static TestDisplay* display_;
  static WindowHandle alpha_, beta_, gamma_;
};
TestDisplay* X11WindowSystemTest::display_ = nullptr;
WindowHandle X11WindowSystemTest::alpha_ = 0, X11WindowSystemTest::beta_ = 0, X11WindowSystemTest::gamma_ = 0;

// The windows top-down through TopWindow and NextWindow.
std::vector<WindowHandle> Walk() {
  std::vector<WindowHandle> windows;
  for (WindowHandle w = TopWindow(); w != 0 && windows.size() < 1000; w = NextWindow(w)) windows.push_back(w);
  return windows;
}

TEST_F(X11WindowSystemTest, ListsTheManagersWindowsTopDownAndRaisesAndLowersThem) {
  struct Step {
    const char* what;
    std::function<void()> act;
    WindowHandle* expectedTop;
    WindowHandle* expectedBottom;
  };
  const Step steps[] = {
      {"alpha raised", [] { BringToTop(alpha_); }, &alpha_, nullptr},
      {"beta to the top", [] { SetWindowZOrder(beta_, ZOrder::Top); }, &beta_, nullptr},
      {"beta to the bottom", [] { SetWindowZOrder(beta_, ZOrder::Bottom); }, nullptr, &beta_},
      {"gamma raised", [] { BringToTop(gamma_); }, &gamma_, &beta_},
  };
  for (const Step& step : steps) {
    step.act();
    EXPECT_TRUE(Eventually([&] {
      const std::vector<WindowHandle> walked = Walk();
      return !walked.empty() && (step.expectedTop == nullptr || walked.front() == *step.expectedTop) &&
             (step.expectedBottom == nullptr || walked.back() == *step.expectedBottom);
    })) << step.what;
    EXPECT_EQ(Walk(), display_->Stacking()) << step.what;
  }
  EXPECT_EQ(NextWindow(Walk().back()), 0);
  EXPECT_EQ(NextWindow(0x7FFFFFF0), 0);
}

TEST_F(X11WindowSystemTest, ReadsTitlesInTheAnsiCodePageAndExistenceAndVisibility) {
  const struct {
    WindowHandle window;
    std::string title;
    bool exists;
  } cases[] = {
      {alpha_, "Alpha \xDC\x80", true},        // UTF-8 _NET_WM_NAME: Ü and the euro sign of Windows-1252
      {beta_, "Beta \xE9", true},              // Latin-1 WM_NAME
      {gamma_, std::string(4095, 'g'), true},  // cut to what a 4096-byte buffer holds
      {DesktopWindow(), "", true},             // the root has no title
      {0x7FFFFFF0, "", false},                 // no such window
  };
  for (const auto& c : cases) {
    EXPECT_EQ(WindowTitle(c.window), c.title) << c.window;
    EXPECT_EQ(WindowExists(c.window), c.exists) << c.window;
  }
  EXPECT_TRUE(WindowVisible(alpha_));
  EXPECT_FALSE(WindowVisible(0x7FFFFFF0));
}

TEST_F(X11WindowSystemTest, RectanglesHoldTheManagersFrameAndTheScreenIsTheMonitors) {
  const struct {
    WindowHandle window;
    int width, height;
  } cases[] = {{alpha_, 200, 120}, {beta_, 160, 100}, {gamma_, 100, 80}};
  for (const auto& c : cases) {
    const std::optional<ScreenRect> client = ClientRectOnScreen(c.window);
    const std::optional<ScreenRect> frame = WindowRect(c.window);
    ASSERT_TRUE(client && frame) << c.window;
    EXPECT_EQ(client->Width(), c.width);
    EXPECT_EQ(client->Height(), c.height);
    // openbox draws a title bar above and borders around: the frame holds the client, by the extents it
    // reports (left, right, top, bottom).
    const std::vector<std::uint32_t> extents = display_->FrameExtents(c.window);
    ASSERT_EQ(extents.size(), 4u);
    EXPECT_GT(extents[2], extents[0]);
    EXPECT_EQ(*frame, (ScreenRect{client->left - static_cast<int>(extents[0]),
                                  client->top - static_cast<int>(extents[2]),
                                  client->right + static_cast<int>(extents[1]),
                                  client->bottom + static_cast<int>(extents[3])}));
    EXPECT_EQ(WindowFrameRect(c.window), frame);
  }
  const ScreenRect screen{0, 0, 1024, 768};
  EXPECT_EQ(VirtualScreen(), screen);
  EXPECT_EQ(WindowRect(DesktopWindow()), screen);
  EXPECT_EQ(DisplayWidth(), 1024);
  EXPECT_EQ(DisplayHeight(), 768);
  EXPECT_FALSE(WindowRect(0x7FFFFFF0));
  EXPECT_FALSE(ClientRectOnScreen(0x7FFFFFF0));
  EXPECT_FALSE(GetPlacement(0x7FFFFFF0));
}

TEST_F(X11WindowSystemTest, MinimisesRestoresMaximisesAndPlacesThroughPlacement) {
  const std::optional<ScreenRect> normal = WindowRect(beta_);
  ASSERT_TRUE(normal);
  const ScreenRect moved{300, 250, 300 + normal->Width() + 40, 250 + normal->Height() + 20};
  struct Step {
    const char* what;
    std::function<void()> act;
    int showCmd;
    bool visible;
    std::optional<ScreenRect> rect;  // the frame's, when known
  };
  const Step steps[] = {
      {"minimised", [] { ShowWindowAs(beta_, show::Minimize); }, show::ShowMinimized, false, std::nullopt},
      {"restored", [] { ShowWindowAs(beta_, show::Restore); }, show::ShowNormal, true, normal},
      {"maximised", [] { ShowWindowAs(beta_, show::ShowMaximized); }, show::ShowMaximized, true,
       std::nullopt},
      {"restored from maximised", [] { ShowWindowAs(beta_, show::Restore); }, show::ShowNormal, true, normal},
      {"placed elsewhere",
       [&] {
         WindowPlacement placement;
         placement.normal = moved;
         EXPECT_TRUE(SetPlacement(beta_, placement));
       },
       show::ShowNormal, true, moved},
      {"hidden", [] { ShowWindowAs(beta_, show::Hide); }, show::ShowNormal, false, std::nullopt},
      // (Mapped again, the window is the manager's anew: it frames it where it finds it.)
      {"shown", [] { ShowWindowAs(beta_, show::Show); }, show::ShowNormal, true, std::nullopt},
  };
  for (const Step& step : steps) {
    step.act();
    EXPECT_TRUE(Eventually([&] {
      const std::optional<WindowPlacement> placement = GetPlacement(beta_);
      return placement && placement->showCmd == step.showCmd && WindowVisible(beta_) == step.visible &&
             (!step.rect || WindowRect(beta_) == step.rect);
    })) << step.what
        << ": show " << GetPlacement(beta_).value_or(WindowPlacement{}).showCmd << ", visible "
        << WindowVisible(beta_) << ", rect "
        << testing::PrintToString(WindowRect(beta_).value_or(ScreenRect{}));
    EXPECT_TRUE(WindowExists(beta_)) << step.what;
  }
  // Maximised, the frame covers the screen's width; restored, it is where it was.
  const std::optional<ScreenRect> shown = WindowRect(beta_);
  EXPECT_EQ(shown.value_or(ScreenRect{}).Width(), moved.Width());
  ShowWindowAs(beta_, show::ShowMaximized);
  EXPECT_TRUE(Eventually([] { return WindowRect(beta_).value_or(ScreenRect{}).Width() == 1024; }));
  ShowWindowAs(beta_, show::Restore);
  EXPECT_TRUE(Eventually([&] { return WindowRect(beta_) == shown; }));
}

TEST_F(X11WindowSystemTest, TopmostWindowStaysAboveARaisedOneUntilNoLonger) {
  SetWindowZOrder(gamma_, ZOrder::Topmost);
  EXPECT_TRUE(Eventually([] { return display_->HasState(gamma_, "_NET_WM_STATE_ABOVE"); }));
  BringToTop(alpha_);
  EXPECT_TRUE(Eventually([] { return Walk().size() >= 2 && Walk()[1] == alpha_; }));
  EXPECT_EQ(TopWindow(), gamma_);
  SetWindowZOrder(gamma_, ZOrder::NoTopmost);
  EXPECT_TRUE(Eventually([] { return !display_->HasState(gamma_, "_NET_WM_STATE_ABOVE"); }));
  BringToTop(alpha_);
  EXPECT_TRUE(Eventually([] { return TopWindow() == alpha_; }));
}

TEST_F(X11WindowSystemTest, ActivatesItsOwnWindowsAndAnswersOnlyThose) {
  // beta stands for another program's window: another process's id.
  const std::uint32_t otherPid = 1, ownPid = static_cast<std::uint32_t>(getpid());
  display_->SetProperty(static_cast<xcb_window_t>(beta_), "_NET_WM_PID", XCB_ATOM_CARDINAL, 32, &otherPid, 1);
  const struct {
    WindowHandle window;
    WindowHandle answer;
  } cases[] = {{alpha_, alpha_}, {beta_, 0}, {gamma_, gamma_}};
  for (const auto& c : cases) {
    ActivateWindow(c.window);
    EXPECT_TRUE(Eventually([&] { return display_->Active() == c.window; })) << c.window;
    EXPECT_EQ(ActiveWindow(), c.answer) << c.window;
  }
  display_->SetProperty(static_cast<xcb_window_t>(beta_), "_NET_WM_PID", XCB_ATOM_CARDINAL, 32, &ownPid, 1);
}

TEST_F(X11WindowSystemTest, GrabsTheDisplaysPixels) {
  BringToTop(alpha_);
  ASSERT_TRUE(Eventually([] { return TopWindow() == alpha_; }));
  const std::optional<ScreenRect> client = ClientRectOnScreen(alpha_);
  ASSERT_TRUE(client);
  // The window's pixels as the server painted them, once it has; a grab reaching out of the screen
  // reads black there.
  const struct {
    const char* what;
    int left, top, width, height;
  } cases[] = {
      {"the client area", client->left, client->top, client->Width(), client->Height()},
      {"a part left of and above the screen", -7, -5, 30, 20},
      {"a part beyond the bottom right", 1000, 750, 40, 30},
  };
  for (const auto& c : cases) {
    TBitmap grab;
    EXPECT_TRUE(Eventually([&] {
      grab = GrabDisplay(c.left, c.top, c.width, c.height);
      const bool painted = c.left != client->left || grab.Pixel(c.width / 4, c.height / 4) != RGB(0, 0, 0);
      return grab.Width() == c.width && grab.Height() == c.height && painted;
    })) << c.what;
    ASSERT_EQ(grab.Width(), c.width) << c.what;
    ASSERT_EQ(grab.Height(), c.height) << c.what;
    EXPECT_EQ(grab.BitsPerPixel(), 32);
    int wrong = 0;
    for (int y = 0; y < c.height; ++y) {
      for (int x = 0; x < c.width; ++x) {
        const int screenX = c.left + x, screenY = c.top + y;
        const bool off = screenX < 0 || screenY < 0 || screenX >= 1024 || screenY >= 768;
        if (c.left == client->left) {
          wrong += TBitmap::ToPixel32(grab.Pixel(x, y)) != PatternAt(x, y, c.width, c.height);
        } else if (off) {
          wrong += grab.Pixel(x, y) != RGB(0, 0, 0);
        }
      }
    }
    EXPECT_EQ(wrong, 0) << c.what;
  }
  EXPECT_TRUE(GrabDisplay(0, 0, 0, 10).Empty());
  EXPECT_TRUE(GrabDisplay(0, 0, 10, -1).Empty());
}

TEST_F(X11WindowSystemTest, KeyStateOfKeysPressedThroughTheServer) {
  const struct {
    int virtualKey;
    xcb_keysym_t symbol;
  } cases[] = {{'A', 'a'},
               {'7', '7'},
               {0x74, 0xFFC2 /* F5 */},
               {0x2C, 0xFF61 /* Print */},
               {0x1B, 0xFF1B /* Escape */},
               {0x10, 0xFFE1 /* Shift: left */},
               {0xA0, 0xFFE1},
               {0x25, 0xFF51 /* Left */}};
  for (const auto& c : cases) {
    EXPECT_EQ(AsyncKeyState(c.virtualKey), 0) << c.virtualKey;
    display_->Key(c.symbol, true);
    // Down, and newly so at the first question only.
    EXPECT_EQ(AsyncKeyState(c.virtualKey), 0x8001) << c.virtualKey;
    EXPECT_EQ(AsyncKeyState(c.virtualKey), 0x8000) << c.virtualKey;
    display_->Key(c.symbol, false);
    EXPECT_EQ(AsyncKeyState(c.virtualKey), 0) << c.virtualKey;
  }
  EXPECT_EQ(AsyncKeyState(0xA1), 0);  // the right Shift was never down
  EXPECT_EQ(AsyncKeyState(-1), 0);
  EXPECT_EQ(AsyncKeyState(256), 0);
}

TEST_F(X11WindowSystemTest, AGrabbedHotKeyComesHereWhateverTheLocksAndATapIsNotMissed) {
  // Another client's window has the focus and reads its key presses; Ctrl+F5 is grabbed here.
  constexpr xcb_keysym_t kF5 = 0xFFC2, kControl = 0xFFE3, kNumLock = 0xFF7F, kCapsLock = 0xFFE5;
  display_->SelectKeyPresses(alpha_);
  ActivateWindow(alpha_);
  ASSERT_TRUE(Eventually([] { return display_->Active() == alpha_; }));
  HotKeyGrab grab;
  ASSERT_TRUE(grab.Grab(0x74, hot_key::Control));
  const struct {
    const char* locks;
    xcb_keysym_t lockKey;    // tapped before and after (0: none)
    std::uint16_t lockBits;  // of the modifier state that the focused window's next key press must show
  } cases[] = {{"no lock", 0, 0},
               {"Num Lock", kNumLock,
                XCB_MOD_MASK_1 | XCB_MOD_MASK_2 | XCB_MOD_MASK_3 | XCB_MOD_MASK_4 | XCB_MOD_MASK_5},
               {"Caps Lock", kCapsLock, XCB_MOD_MASK_LOCK}};
  for (const auto& c : cases) {
    if (c.lockKey != 0) display_->Tap(c.lockKey);
    EXPECT_EQ(AsyncKeyState(0x74), 0) << c.locks;
    // Ctrl held, F5 tapped, Ctrl let go, all between two questions; then an 'a' for the focused window.
    display_->Key(kControl, true);
    display_->Tap(kF5);
    display_->Key(kControl, false);
    display_->Tap('a');
    const auto presses = display_->PressesUntil('a');
    ASSERT_FALSE(presses.empty()) << c.locks << ": the focused window got no 'a'";
    EXPECT_TRUE(c.lockBits == 0 || (presses.back().second & c.lockBits) != 0) << c.locks << " is not on";
    for (const auto& [code, state] : presses) EXPECT_NE(code, display_->KeyCode(kF5)) << c.locks;
    EXPECT_EQ(AsyncKeyState(0x74), 0x0001) << c.locks;
    EXPECT_EQ(AsyncKeyState(0xA2), 0x0001) << c.locks;  // Ctrl, held at the press
    EXPECT_EQ(AsyncKeyState(0x74), 0) << c.locks;
    if (c.lockKey != 0) display_->Tap(c.lockKey);
  }
  // F5 without Ctrl is not the hot key: the focused window gets it.
  display_->Tap(kF5);
  EXPECT_FALSE(display_->PressesUntil(kF5).empty());
}

TEST_F(X11WindowSystemTest, AHotKeyHeldElsewhereIsRefusedWithNothingKeptAndAReleasedOneIsFree) {
  constexpr xcb_keysym_t kF6 = 0xFFC3, kF7 = 0xFFC4;
  // Another client holds Ctrl+F6 with Caps Lock only: the grab is refused, and once that client lets
  // go, the key is free in every combination (nothing of the refused grab stayed here).
  ASSERT_TRUE(display_->GrabKey(kF6, XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_LOCK));
  HotKeyGrab grab;
  EXPECT_FALSE(grab.Grab(0x75, hot_key::Control));
  EXPECT_FALSE(grab.Held());
  display_->UngrabKey(kF6, XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_LOCK);
  EXPECT_TRUE(display_->GrabKey(kF6, XCB_MOD_MASK_ANY));
  display_->UngrabKey(kF6, XCB_MOD_MASK_ANY);
  // Held here, it is refused to another client; released, it is granted.
  ASSERT_TRUE(grab.Grab(0x76, hot_key::Shift | hot_key::Alt));
  EXPECT_FALSE(display_->GrabKey(kF7, XCB_MOD_MASK_ANY));
  grab.Release();
  EXPECT_TRUE(display_->GrabKey(kF7, XCB_MOD_MASK_ANY));
  display_->UngrabKey(kF7, XCB_MOD_MASK_ANY);
}

TEST_F(X11WindowSystemTest, MinimisesAllWindowsByShowingTheDesktop) {
  ASSERT_TRUE(MinimizeAllWindows());
  EXPECT_TRUE(
      Eventually([] { return !WindowVisible(alpha_) && !WindowVisible(beta_) && !WindowVisible(gamma_); }));
  display_->ShowDesktop(false);
  EXPECT_TRUE(
      Eventually([] { return WindowVisible(alpha_) && WindowVisible(beta_) && WindowVisible(gamma_); }));
}

}  // namespace
