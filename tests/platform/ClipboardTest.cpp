// The clipboard of the backend: the real one under Windows (Wine), the virtual one natively.

#include "platform/ui/Clipboard.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/ui/ClipboardTesting.h"
#include "tests/platform/ClipboardPictures.h"

#ifdef _WIN32
// After the platform headers: <windows.h> defines RGB and GetRValue as macros, which Graphics.h
// declares as functions.
#include <windows.h>
#endif

namespace {

using os::ClipboardFormat;
using os::testing::ClipboardHasFormat;
using os::testing::ClipboardTextBlock;

const std::string kOpenError = "The clipboard cannot be opened";

TEST(Clipboard, TextIsAZeroTerminatedBlockOfTheBytesGiven) {
  os::PutClipboardText("A");
  EXPECT_TRUE(ClipboardHasFormat(ClipboardFormat::Text));
  EXPECT_EQ(ClipboardTextBlock(), std::string("A\0", 2));

  // Code 200 goes as the single byte, whatever a font would make of it.
  os::PutClipboardText("\xC8");
  EXPECT_EQ(ClipboardTextBlock(), std::string("\xC8\0", 2));

  // Code 0 leaves the zero byte alone: an empty text.
  os::PutClipboardText(std::string(1, '\0'));
  EXPECT_EQ(ClipboardTextBlock(), std::string(1, '\0'));
  os::PutClipboardText("");
  EXPECT_EQ(ClipboardTextBlock(), std::string(1, '\0'));

  // A zero byte ends the text, as it ends a C string.
  os::PutClipboardText(std::string("AB\0C", 4));
  EXPECT_EQ(ClipboardTextBlock(), std::string("AB\0", 3));
}

TEST(Clipboard, UnicodeTextIsAZeroTerminatedUtf16BlockUpToTheFirstZeroCharacter) {
  struct Case {
    std::u32string text;
    std::u16string block;
  };
  for (const Case& c : std::vector<Case>{{U"\u0416", u"\u0416"},
                                         {U"A\U0001F600", u"A\xD83D\xDE00"},
                                         {U"\U0010FFFF", u"\xDBFF\xDFFF"},
                                         {std::u32string(U"B\0C", 3), u"B"},
                                         {U"", u""}}) {
    os::PutClipboardUnicodeText(c.text);
    EXPECT_TRUE(ClipboardHasFormat(ClipboardFormat::UnicodeText));
    EXPECT_EQ(os::testing::ClipboardUnicodeTextBlock(), c.block + u'\0');
  }
}

TBitmap Pattern(int width, int height) {
  TBitmap bitmap;
  bitmap.SetSize(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) bitmap.SetPixel(x, y, RGB(40 * x, 60 * y, 255 - 20 * x - 30 * y));
  return bitmap;
}

TEST(Clipboard, BitmapReplacesTheTextAndCarriesNoPaletteOnATrueColourDisplay) {
  os::PutClipboardText("A");
  const TBitmap picture = Pattern(5, 3);
  os::PutClipboardBitmap(picture);
  EXPECT_TRUE(ClipboardHasFormat(ClipboardFormat::Bitmap));
  EXPECT_FALSE(ClipboardHasFormat(ClipboardFormat::Palette));
  EXPECT_FALSE(ClipboardHasFormat(ClipboardFormat::Text));
  const auto copy = os::testing::ClipboardBitmap();
  ASSERT_TRUE(copy);
  ASSERT_EQ(copy->Width(), 5);
  ASSERT_EQ(copy->Height(), 3);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) EXPECT_EQ(copy->Pixel(x, y), picture.Pixel(x, y)) << x << "," << y;

  // Text after a bitmap replaces the bitmap.
  os::PutClipboardText("W");
  EXPECT_FALSE(ClipboardHasFormat(ClipboardFormat::Bitmap));
  EXPECT_EQ(ClipboardTextBlock(), std::string("W\0", 2));

  // An empty picture puts nothing and leaves the clipboard as it was.
  os::PutClipboardBitmap(TBitmap());
  EXPECT_EQ(ClipboardTextBlock(), std::string("W\0", 2));
  EXPECT_FALSE(ClipboardHasFormat(ClipboardFormat::Bitmap));
}

TEST(Clipboard, APictureGoesAsDibDerivedBitmapAndPngReplacingWhatWasThere) {
  os::PutClipboardText("A");
  // An odd width: the DIB's rows are padded.
  const TBitmap picture = Pattern(5, 3);
  os::PutClipboardPicture(picture);
  EXPECT_FALSE(ClipboardHasFormat(ClipboardFormat::Text));
  clipboard_testing::ExpectClipboardOffersPicture(picture);
  // An empty picture puts nothing and leaves the clipboard as it was.
  os::PutClipboardPicture(TBitmap());
  clipboard_testing::ExpectClipboardOffersPicture(picture);

  // A bitmap put alone replaces the picture's formats; one put with a PNG carries that PNG as given.
  os::PutClipboardBitmap(picture);
  EXPECT_FALSE(ClipboardHasFormat(ClipboardFormat::Png));
  const std::vector<std::uint8_t> png = {0x89, 'P', 'N', 'G', 1, 2, 3};
  os::PutClipboardBitmap(picture, png);
  EXPECT_EQ(os::testing::ClipboardBlock(ClipboardFormat::Png), png);
  EXPECT_TRUE(ClipboardHasFormat(ClipboardFormat::Bitmap));
}

TEST(Clipboard, AClipboardHeldByAnotherProgramRaisesTheErrorAndKeepsItsContents) {
  os::PutClipboardText("K");
  {
    os::testing::ClipboardHolder holder;
    ASSERT_TRUE(holder.Holding());
    try {
      os::PutClipboardText("X");
      ADD_FAILURE() << "no error";
    } catch (const std::runtime_error& error) {
      EXPECT_EQ(error.what(), kOpenError);
    }
    for (const auto& put :
         std::vector<std::function<void()>>{[] { os::PutClipboardBitmap(Pattern(2, 2)); },
                                            [] {
                                              os::PutClipboardBitmap(Pattern(2, 2), {1, 2});
                                            },
                                            [] { os::PutClipboardPicture(Pattern(2, 2)); }}) {
      try {
        put();
        ADD_FAILURE() << "no error";
      } catch (const std::runtime_error& error) {
        EXPECT_EQ(error.what(), kOpenError);
      }
    }
  }
  EXPECT_EQ(ClipboardTextBlock(), std::string("K\0", 2));
  for (const ClipboardFormat format : {ClipboardFormat::Bitmap, ClipboardFormat::Dib, ClipboardFormat::Png})
    EXPECT_FALSE(ClipboardHasFormat(format)) << static_cast<int>(format);
  // Once released, it can be used again.
  os::PutClipboardText("L");
  EXPECT_EQ(ClipboardTextBlock(), std::string("L\0", 2));
  os::testing::ClearClipboard();
  EXPECT_FALSE(ClipboardHasFormat(ClipboardFormat::Text));
}

#ifdef _WIN32

// ---- The system's clipboard (Wine) ------------------------------------------------------------------

// A picture whose every pixel differs from the one below it and from the one beside it.
constexpr int kWidth = 7, kHeight = 4;

// Handles the messages for this thread's windows until the thread ends: a program that empties the
// clipboard sends its owner, the test's own window, a message and waits until it is handled.
void WaitPumping(HANDLE thread) {
  while (::MsgWaitForMultipleObjects(1, &thread, FALSE, 10000, QS_ALLINPUT) == WAIT_OBJECT_0 + 1) {
    MSG message;
    while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageA(&message);
  }
}

// What another program does when it copies a text: opens the clipboard with a window of its own,
// empties it and puts the text. Run on a thread of its own, as another program's thread would.
DWORD WINAPI CopyTextAsAnotherProgram(void* text) {
  const HWND window =
      ::CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  if (window == nullptr || !::OpenClipboard(window)) return 1;
  ::EmptyClipboard();
  const char* bytes = static_cast<const char*>(text);
  const HGLOBAL block = ::GlobalAlloc(GMEM_MOVEABLE, std::strlen(bytes) + 1);
  std::memcpy(::GlobalLock(block), bytes, std::strlen(bytes) + 1);
  ::GlobalUnlock(block);
  ::SetClipboardData(CF_TEXT, block);
  ::CloseClipboard();
  ::DestroyWindow(window);
  return 0;
}

void CopyTextInAnotherProgram(const char* text) {
  const HANDLE thread =
      ::CreateThread(nullptr, 0, CopyTextAsAnotherProgram, const_cast<char*>(text), 0, nullptr);
  ASSERT_NE(thread, nullptr);
  WaitPumping(thread);
  DWORD code = 1;
  ::GetExitCodeThread(thread, &code);
  ::CloseHandle(thread);
  EXPECT_EQ(code, 0u);
}

// The pixels of the clipboard's bitmap as the system shows them, one by one at device coordinates
// (y = 0 the top row), without any conversion of the program's own.
void ExpectClipboardShows(const TBitmap& picture) {
  ASSERT_TRUE(::OpenClipboard(nullptr));
  const auto bitmap = static_cast<HBITMAP>(::GetClipboardData(CF_BITMAP));
  BITMAP description{};
  const bool described = bitmap != nullptr && ::GetObjectA(bitmap, sizeof description, &description) != 0;
  if (described) {
    EXPECT_EQ(description.bmWidth, picture.Width());
    EXPECT_EQ(description.bmHeight, picture.Height());
    const HDC dc = ::CreateCompatibleDC(nullptr);
    const HGDIOBJ old = ::SelectObject(dc, bitmap);
    for (int y = 0; y < picture.Height(); ++y) {
      for (int x = 0; x < picture.Width(); ++x)
        EXPECT_EQ(::GetPixel(dc, x, y), static_cast<COLORREF>(picture.Pixel(x, y))) << x << "," << y;
    }
    ::SelectObject(dc, old);
    ::DeleteDC(dc);
  }
  ::CloseClipboard();
  EXPECT_TRUE(described) << "no bitmap on the clipboard";
}

TEST(Win32Clipboard, BitmapsGoAndComeTheRightWayUp) {
  // Put by the program, read by the system's own calls.
  const TBitmap picture = Pattern(kWidth, kHeight);
  os::PutClipboardBitmap(picture);
  ExpectClipboardShows(picture);

  // Put by another program through the system's own calls, read by the program: a top band red, a
  // bottom band blue.
  const HDC screen = ::GetDC(nullptr);
  const HBITMAP bitmap = ::CreateCompatibleBitmap(screen, kWidth, kHeight);
  ::ReleaseDC(nullptr, screen);
  ASSERT_NE(bitmap, nullptr);
  const HDC dc = ::CreateCompatibleDC(nullptr);
  const HGDIOBJ old = ::SelectObject(dc, bitmap);
  const RECT top{0, 0, kWidth, 1}, rest{0, 1, kWidth, kHeight};
  const HBRUSH red = ::CreateSolidBrush(RGB(255, 0, 0)), blue = ::CreateSolidBrush(RGB(0, 0, 255));
  ::FillRect(dc, &top, red);
  ::FillRect(dc, &rest, blue);
  ::SelectObject(dc, old);
  ::DeleteDC(dc);
  ::DeleteObject(red);
  ::DeleteObject(blue);
  ASSERT_TRUE(::OpenClipboard(nullptr));
  ::EmptyClipboard();
  EXPECT_NE(::SetClipboardData(CF_BITMAP, bitmap), nullptr);
  ::CloseClipboard();
  const auto copy = os::testing::ClipboardBitmap();
  ASSERT_TRUE(copy);
  ASSERT_EQ(copy->Width(), kWidth);
  ASSERT_EQ(copy->Height(), kHeight);
  for (int x = 0; x < kWidth; ++x) {
    EXPECT_EQ(copy->Pixel(x, 0), RGB(255, 0, 0)) << x;
    EXPECT_EQ(copy->Pixel(x, kHeight - 1), RGB(0, 0, 255)) << x;
  }
}

TEST(Win32Clipboard, APictureIsKeptUntilItIsAskedForOrTheClipboardIsEmptied) {
  const TBitmap picture = Pattern(kWidth, kHeight);
  os::PutClipboardBitmap(picture);
  EXPECT_TRUE(os::testing::ClipboardPictureKept());
  EXPECT_TRUE(os::testing::ClipboardHasFormat(os::ClipboardFormat::Bitmap));
  // Asked for: the bitmap is made, and then it is the clipboard's.
  ExpectClipboardShows(picture);
  EXPECT_FALSE(os::testing::ClipboardPictureKept());
  ExpectClipboardShows(picture);

  // Another program that empties the clipboard takes the picture's place; the copy goes.
  os::PutClipboardBitmap(picture);
  ASSERT_TRUE(os::testing::ClipboardPictureKept());
  CopyTextInAnotherProgram("other");
  EXPECT_FALSE(os::testing::ClipboardPictureKept());
  EXPECT_FALSE(os::testing::ClipboardHasFormat(os::ClipboardFormat::Bitmap));
  EXPECT_EQ(ClipboardTextBlock(), std::string("other\0", 6));

  // So does a text of this program's own.
  os::PutClipboardBitmap(picture);
  os::PutClipboardText("T");
  EXPECT_FALSE(os::testing::ClipboardPictureKept());

  // A second picture of the same size replaces the first; one the clipboard refuses (held by another
  // program) leaves the one before on it, still to be made when asked for.
  TBitmap second = Pattern(kWidth, kHeight);
  second.FillRect(0, 0, kWidth, 1, RGB(1, 2, 3));
  os::PutClipboardBitmap(second);
  os::PutClipboardBitmap(picture);
  {
    os::testing::ClipboardHolder holder;
    ASSERT_TRUE(holder.Holding());
    EXPECT_THROW(os::PutClipboardBitmap(second), std::runtime_error);
  }
  EXPECT_TRUE(os::testing::ClipboardPictureKept());
  ExpectClipboardShows(picture);
  os::PutClipboardBitmap(second);
  ExpectClipboardShows(second);

  // A picture put as DIB and PNG is kept until both have been asked for.
  os::PutClipboardPicture(picture);
  ASSERT_TRUE(os::testing::ClipboardBlock(ClipboardFormat::Dib));
  EXPECT_TRUE(os::testing::ClipboardPictureKept());
  ASSERT_TRUE(os::testing::ClipboardBlock(ClipboardFormat::Png));
  EXPECT_FALSE(os::testing::ClipboardPictureKept());
  clipboard_testing::ExpectClipboardOffersPicture(picture);
}

// Run only as the programs of the next test, each in a process of its own (disabled otherwise).
TEST(Win32ClipboardProgram, DISABLED_PutsThePatternAndEnds) {
  os::PutClipboardBitmap(Pattern(kWidth, kHeight));
}
TEST(Win32ClipboardProgram, DISABLED_PutsThePatternAsPictureAndEnds) {
  os::PutClipboardPicture(Pattern(kWidth, kHeight));
}

// Runs the program of that name and handles this thread's messages until it has ended.
void RunClipboardProgram(const std::string& name) {
  char path[MAX_PATH] = {};
  ASSERT_GT(::GetModuleFileNameA(nullptr, path, MAX_PATH), 0u);
  std::string command = std::string("\"") + path +
                        "\" --gtest_also_run_disabled_tests"
                        " --gtest_filter=Win32ClipboardProgram.DISABLED_" +
                        name;
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  ASSERT_TRUE(::CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &startup, &process));
  ::CloseHandle(process.hThread);
  WaitPumping(process.hProcess);
  DWORD code = 1;
  ::GetExitCodeProcess(process.hProcess, &code);
  ::CloseHandle(process.hProcess);
  ASSERT_EQ(code, 0u);
}

TEST(Win32Clipboard, APictureStaysOnTheClipboardAfterTheProgramThatPutItHasEnded) {
  // Put as DIB and PNG: both are there when the program is gone.
  os::PutClipboardText("before");
  RunClipboardProgram("PutsThePatternAsPictureAndEnds");
  clipboard_testing::ExpectClipboardOffersPicture(Pattern(kWidth, kHeight));

  os::PutClipboardText("before");
  RunClipboardProgram("PutsThePatternAndEnds");
  // The program is gone; its picture is on the clipboard, the right way up, as a bitmap of its own.
  EXPECT_FALSE(os::testing::ClipboardPictureKept());
  ExpectClipboardShows(Pattern(kWidth, kHeight));
  const auto copy = os::testing::ClipboardBitmap();
  ASSERT_TRUE(copy);
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) EXPECT_EQ(copy->Pixel(x, y), Pattern(kWidth, kHeight).Pixel(x, y));
  os::testing::ClearClipboard();
}

#endif

}  // namespace
