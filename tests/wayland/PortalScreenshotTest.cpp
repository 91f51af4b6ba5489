// The window system in a Wayland session (platform/wayland over sd-bus), against a stand-in for the
// Screenshot and GlobalShortcuts portals on a session bus of its own (with_fake_portal.sh), which answers
// each request as the test writes it into a file: every outcome of a request gives the picture or its
// error, never an empty picture, and the X display is never asked; the hot key is bound through the
// shortcuts portal where it is offered, and each activation is one press.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "imaging/Errors.h"
#include "imaging/Png.h"
#include "platform/ui/WindowSystem.h"
#include "tests/support/TestSupport.h"

namespace {

// The last line of a text file that starts with the prefix (empty when it has none).
std::string LastLine(const std::string& fileName, const std::string& prefix = "") {
  std::ifstream in(fileName);
  std::string line, last;
  while (std::getline(in, line))
    if (line.rfind(prefix, 0) == 0) last = line;
  return last;
}

// The words of a line.
std::vector<std::string> WordsOf(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> words;
  for (std::string word; in >> word;) words.push_back(word);
  return words;
}

// Calls a method of the stand-in's control interface ("Offer boolean:true") and waits for its answer.
void Control(const std::string& methodAndArgument) {
  const std::string command =
      "dbus-send --session --print-reply --dest=org.freedesktop.portal.Desktop "
      "/org/freedesktop/portal/desktop "
      "test.FakePortal." +
      methodAndArgument + " >/dev/null";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

// The key's state once it is not 0, or 0 after half a minute.
int AwaitKeyState(int virtualKey) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  int state = 0;
  while ((state = os::AsyncKeyState(virtualKey)) == 0 && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  return state;
}

TEST(PortalGlobalShortcuts, TheHotKeyIsBoundThroughThePortalAndEachActivationIsOnePress) {
  const char* answerFile = std::getenv("FAKE_PORTAL_ANSWER");
  ASSERT_NE(answerFile, nullptr) << "run through with_fake_portal.sh";
  const std::string asked = std::string(answerFile) + ".asked";
  EXPECT_FALSE(os::DesktopOffersGlobalKeys()) << "not offered yet";
  Control("Offer boolean:true");
  ASSERT_TRUE(os::DesktopOffersGlobalKeys());

  std::ofstream(answerFile) << "0\n";
  os::HotKeyGrab grab;
  const struct {
    int key;
    unsigned modifiers;
    std::string trigger;
  } keys[] = {
      {0x74, os::hot_key::Control, "CTRL+F5"},
      {0x7B, os::hot_key::Shift | os::hot_key::Control | os::hot_key::Alt, "CTRL+ALT+SHIFT+F12"},
      {0x70, 0, "F1"},
  };
  std::string session;  // bound before
  for (const auto& k : keys) {
    SCOPED_TRACE(k.trigger);
    ASSERT_TRUE(grab.Grab(k.key, k.modifiers));
    const std::vector<std::string> bind = WordsOf(LastLine(asked));
    ASSERT_GE(bind.size(), 4u);
    EXPECT_EQ(bind[0], "bind");
    EXPECT_EQ(bind[2], "capture");
    EXPECT_EQ(bind[3], k.trigger);
    // Another key: the session before is closed first, and the key bound in a new one.
    if (!session.empty()) {
      EXPECT_NE(bind[1], session);
      std::ifstream in(asked);
      std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      EXPECT_NE(text.find("close " + session + "\ncreate\n"), std::string::npos) << text;
    }
    session = bind[1];
    EXPECT_EQ(os::AsyncKeyState(k.key), 0) << "no press before the activation";
    for (int press = 0; press < 2; ++press) {
      Control("Activate string:capture");
      EXPECT_EQ(AwaitKeyState(k.key), 0x0001) << press;
      EXPECT_EQ(os::AsyncKeyState(k.key), 0) << "reported once";
    }
  }
  grab.Release();
  EXPECT_EQ(LastLine(asked), "close " + session);

  // The desktop refuses, the user cancels, the call fails: an error, nothing held, the session closed.
  const struct {
    std::string answer;
    TErrorKind error;
  } refusals[] = {{"2", TErrorKind::HotKeyRefused},
                  {"1", TErrorKind::HotKeyRefused},
                  {"error", TErrorKind::ScreenshotServiceMissing}};
  for (const auto& r : refusals) {
    SCOPED_TRACE(r.answer);
    std::ofstream(answerFile) << r.answer << "\n";
    try {
      grab.Grab(0x74, os::hot_key::Control | os::hot_key::Alt);
      ADD_FAILURE() << "held without the desktop's consent";
    } catch (const ELocalisedError& error) {
      EXPECT_EQ(error.Kind(), r.error) << error.what();
      if (r.error == TErrorKind::HotKeyRefused) {
        EXPECT_EQ(error.Details(), std::vector<std::string>{"Ctrl+Alt+F5"});
      }
    }
    EXPECT_FALSE(grab.Held());
    EXPECT_EQ(WordsOf(LastLine(asked)).at(0), "close");
  }

  Control("Offer boolean:false");
  EXPECT_FALSE(os::DesktopOffersGlobalKeys());
}

TEST(PortalScreenshot, EachAnswerOfThePortalGivesThePictureOrItsError) {
  const char* answerFile = std::getenv("FAKE_PORTAL_ANSWER");
  ASSERT_NE(answerFile, nullptr) << "run through with_fake_portal.sh";
  ASSERT_TRUE(os::DesktopHidesWindows());
  EXPECT_FALSE(os::DesktopOffersGlobalKeys());
  EXPECT_EQ(os::TopWindow(), 0);
  EXPECT_TRUE(os::GrabDisplay(0, 0, 10, 10).Empty());
  EXPECT_TRUE(os::VirtualScreen().Empty()) << "no size before the first picture";

  const testing_support::TempDir dir;
  TBitmap picture;
  picture.SetSize(37, 23);
  for (int y = 0; y < 23; ++y)
    for (int x = 0; x < 37; ++x) picture.SetPixel(x, y, RGB(x * 6, y * 11, (x ^ y) * 7));
  SaveBitmapAsPng(picture, dir.File("shot one.png"));
  const std::string folder = "file://" + dir.Path().string() + "/";

  const struct {
    std::string answer;
    bool interactive;
    std::optional<TErrorKind> error;
    std::string text;  // of the error
  } cases[] = {
      {"0 " + folder + "shot%20one.png", false, std::nullopt, ""},
      {"0 " + folder + "shot%20one.png", true, std::nullopt, ""},
      {"1", true, TErrorKind::ScreenshotCancelled, "The screenshot was cancelled"},
      {"2", false, TErrorKind::ScreenshotRefused, "The desktop refused the screenshot"},
      {"0", false, TErrorKind::ScreenshotUnreadable, "The desktop's screenshot  cannot be read"},
      {"0 " + folder + "missing.png", false, TErrorKind::ScreenshotUnreadable,
       "The desktop's screenshot " + folder + "missing.png cannot be read"},
      {"0 https://example.org/shot.png", false, TErrorKind::ScreenshotUnreadable,
       "The desktop's screenshot https://example.org/shot.png cannot be read"},
      {"error", false, TErrorKind::ScreenshotServiceMissing,
       "The desktop's screenshot service cannot be reached (denied by the test)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.answer);
    std::ofstream(answerFile) << c.answer << "\n";
    try {
      const TBitmap got = os::DesktopScreenshot(c.interactive);
      EXPECT_FALSE(c.error.has_value()) << "a picture instead of the error";
      ASSERT_EQ(got.Width(), 37);
      ASSERT_EQ(got.Height(), 23);
      for (int y = 0; y < 23; ++y)
        for (int x = 0; x < 37; ++x)
          ASSERT_EQ(got.Pixel(x, y) & 0xFFFFFF, picture.Pixel(x, y)) << x << "," << y;
    } catch (const ELocalisedError& error) {
      ASSERT_TRUE(c.error.has_value()) << error.what();
      EXPECT_EQ(error.Kind(), *c.error);
      EXPECT_EQ(error.what(), c.text);
    }
    EXPECT_EQ(LastLine(std::string(answerFile) + ".asked"),
              c.interactive ? "interactive=1" : "interactive=0");
  }
  // The screen's size is the last picture's of the whole screen.
  EXPECT_EQ(os::VirtualScreen(), (os::ScreenRect{0, 0, 37, 23}));
  EXPECT_EQ(os::DisplayWidth(), 37);
  EXPECT_EQ(os::DisplayHeight(), 23);

  // No session bus at all (the bus is given back for the tests after).
  const std::string busAddress = std::getenv("DBUS_SESSION_BUS_ADDRESS");
  setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus", 1);
  try {
    os::DesktopScreenshot(false);
    ADD_FAILURE() << "a picture without a bus";
  } catch (const ELocalisedError& error) {
    EXPECT_EQ(error.Kind(), TErrorKind::ScreenshotServiceMissing) << error.what();
  }
  setenv("DBUS_SESSION_BUS_ADDRESS", busAddress.c_str(), 1);
}

// A screen stream shows the pictures of the portal's PipeWire node, whichever of the two byte orders the
// node sends; the portal's restore token is kept in the token file and handed back at the next start;
// the session is closed when the stream goes; a refusal or cancel is an error and keeps the token.
TEST(PortalScreenCast, TheStreamShowsTheNodesPicturesAndKeepsThePermission) {
  const char* answerFile = std::getenv("FAKE_PORTAL_ANSWER");
  const char* nodes = std::getenv("FAKE_SCREEN_NODES");
  const char* frameFile = std::getenv("FAKE_SCREEN_FRAME");
  ASSERT_TRUE(answerFile != nullptr && nodes != nullptr && frameFile != nullptr)
      << "run through with_fake_portal.sh";
  const std::string asked = std::string(answerFile) + ".asked";
  std::ifstream frameIn(frameFile, std::ios::binary);
  const std::vector<unsigned char> frame((std::istreambuf_iterator<char>(frameIn)),
                                         std::istreambuf_iterator<char>());
  constexpr int kWidth = 333, kHeight = 197;
  ASSERT_EQ(frame.size(), std::size_t{kWidth} * kHeight * 4);

  const testing_support::TempDir dir;
  const std::string tokenFile = (dir.Path() / "settings" / "Snapora.screencast").string();
  int start = 0;
  for (const std::string& node : WordsOf(nodes)) {  // "BGRx:ID"
    SCOPED_TRACE(node);
    std::ofstream(answerFile) << "0 " << node.substr(node.find(':') + 1) << "\n";
    std::string session;
    {
      os::ScreenStream stream(tokenFile);
      ++start;
      const std::vector<std::string> select = WordsOf(LastLine(asked, "select"));
      const std::string handedBack = start == 1 ? "token=" : "token=token-" + std::to_string(start - 1);
      EXPECT_EQ(select,
                (std::vector<std::string>{"select", "types=1", "multiple=0", "persist=2", handedBack}));
      EXPECT_EQ(LastLine(tokenFile), "token-" + std::to_string(start));
      session = WordsOf(LastLine(asked)).at(1);
      const TBitmap got = stream.Picture();
      ASSERT_EQ(got.Width(), kWidth);
      ASSERT_EQ(got.Height(), kHeight);
      for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
          const unsigned char* p = &frame[(static_cast<std::size_t>(y) * kWidth + x) * 4];
          ASSERT_EQ(got.Pixel(x, y) & 0xFFFFFF, RGB(p[2], p[1], p[0])) << x << "," << y;
        }
      }
      EXPECT_EQ(os::VirtualScreen(), (os::ScreenRect{0, 0, kWidth, kHeight}));
    }
    EXPECT_EQ(LastLine(asked), "close " + session);
  }
  for (const auto& [answer, error] :
       {std::pair{"1", TErrorKind::ScreenshotCancelled}, std::pair{"2 1", TErrorKind::ScreenshotRefused}}) {
    std::ofstream(answerFile) << answer << "\n";
    try {
      os::ScreenStream stream(tokenFile);
      ADD_FAILURE() << "a stream without the user's consent";
    } catch (const ELocalisedError& e) {
      EXPECT_EQ(e.Kind(), error) << e.what();
    }
    EXPECT_EQ(LastLine(tokenFile), "token-" + std::to_string(start)) << "the permission given before stays";
  }
}

}  // namespace
