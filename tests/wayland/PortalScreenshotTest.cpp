// The window system in a Wayland session (platform/wayland over sd-bus), against a stand-in for the
// Screenshot portal on a session bus of its own (with_fake_portal.sh), which answers each request as the
// test writes it into a file: every outcome of a request gives the picture or its error, never an
// empty picture, and the X display is never asked.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "imaging/Errors.h"
#include "imaging/Png.h"
#include "platform/ui/WindowSystem.h"
#include "tests/support/TestSupport.h"

namespace {

// The last line of a text file (empty when it has none).
std::string LastLine(const std::string& fileName) {
  std::ifstream in(fileName);
  std::string line, last;
  while (std::getline(in, line)) last = line;
  return last;
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

  // No session bus at all.
  setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus", 1);
  try {
    os::DesktopScreenshot(false);
    ADD_FAILURE() << "a picture without a bus";
  } catch (const ELocalisedError& error) {
    EXPECT_EQ(error.Kind(), TErrorKind::ScreenshotServiceMissing) << error.what();
  }
}

}  // namespace
