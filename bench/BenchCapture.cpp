// Snapora's capture of the whole screen, timed from the call of CaptureTarget until the file is closed:
// the grab from the display, the copies to the clipboard, the preview and the thumbnail, and the BMP or
// JPEG file. The 350 ms wait that gives a raised window time to paint is left out (PrepareTarget off):
// it is a fixed pause, not work. Built for Windows (the real display under Wine, bench/run_capture_bench.sh),
// for the native desktop (UI_BACKEND=qt: the real X display through the X11 window system,
// BENCH_REAL_DISPLAY) and natively headless (the headless backend's virtual screen of the same size).
//
//   bench_capture FOLDER [RUNS] [WIDTH HEIGHT]   files go to FOLDER; RUNS timed runs per form after one
//                                                untimed one (default 10); WIDTH x HEIGHT is the virtual
//                                                screen's size in the headless build (default 1280 x 1024)
//
// Prints one line per form: the median, the fastest and the slowest run in milliseconds; the grab and
// the BMP file alone (what a screenshot tool does: no clipboard, no preview); then the median of each
// step on its own.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/BenchTiming.h"
#include "imaging/Bmp.h"
#include "imaging/Jpeg.h"
#include "platform/os/Os.h"
#include "platform/ui/Clipboard.h"
#include "platform/ui/Ui.h"
#include "platform/ui/WindowSystem.h"
#include "snapora/SnaporaWindows.h"
#if !defined(_WIN32) && !defined(BENCH_REAL_DISPLAY)
#define BENCH_VIRTUAL_SCREEN 1
#include "platform/ui/UiTesting.h"
#include "platform/ui/WindowSystemTesting.h"
#endif
#if defined(_WIN32) || defined(BENCH_VIRTUAL_SCREEN)
#define BENCH_CLIPBOARD_READ 1  // the backend reads the clipboard back for tests
#include "platform/ui/ClipboardTesting.h"
#endif

using bench_timing::Measure;
using bench_timing::Times;

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: bench_capture FOLDER [RUNS] [WIDTH HEIGHT]\n");
    return 2;
  }
  const std::string folder = argv[1];
  const int runs = argc >= 3 ? std::max(1, std::atoi(argv[2])) : 10;
#ifdef BENCH_VIRTUAL_SCREEN
  const int width = argc >= 5 ? std::atoi(argv[3]) : 1280;
  const int height = argc >= 5 ? std::atoi(argv[4]) : 1024;
  ui::testing::Reset();
  ui::testing::SetScreenSize(width, height);
  TBitmap& display = os::testing::DisplayPixels();
  for (int y = 0; y < display.Height(); ++y)
    for (int x = 0; x < display.Width(); ++x)
      display.SetPixel(x, y, RGB(x * 7 & 0xFF, y * 3 & 0xFF, (x ^ y) & 0xFF));
#endif
  try {
    ui::Application app;
    app.SetTitle("Snapora");
    TProgramShell shell(SnaporaStorage, kSnaporaLanguageList, StartFolders(SnaporaStorage));
    TSnaporaWindows windows(app, shell);
    TFrmSnapora& frm = windows.FrmSnapora;
    const char delimiter = os::PathDelimiter();
    std::printf("Capture of the whole %d x %d display, %d runs per form:\n", os::DisplayWidth(),
                os::DisplayHeight(), runs);
    for (const char* extension : {"bmp", "jpg"}) {
      const std::string file = folder + delimiter + "capture." + extension;
      const Times times = Measure(runs, [&] {
        frm.PrepareTarget = false;
        if (!frm.CaptureTarget(frm.ScreenLabel, 0, file))
          throw std::runtime_error("the capture grabbed nothing");
      });
      std::printf("capture to %s   median %8.1f ms   fastest %8.1f ms   slowest %8.1f ms\n", extension,
                  times.median, times.fastest, times.slowest);
      std::fflush(stdout);
    }
    const Times alone = Measure(runs, [&] {
      SaveBitmapAsBmp(os::GrabDisplay(0, 0, os::DisplayWidth(), os::DisplayHeight()),
                      folder + delimiter + "grabbed.bmp");
    });
    std::printf("grab + write bmp median %8.1f ms   fastest %8.1f ms   slowest %8.1f ms\n", alone.median,
                alone.fastest, alone.slowest);
    // Where the time goes: each step of a capture on its own.
    const TBitmap grabbed = os::GrabDisplay(0, 0, os::DisplayWidth(), os::DisplayHeight());
    const auto report = [](const char* step, const Times& times) {
      std::printf("  step: %-22s median %8.1f ms\n", step, times.median);
    };
    report("grab", Measure(runs, [&] { os::GrabDisplay(0, 0, os::DisplayWidth(), os::DisplayHeight()); }));
    report("clipboard", Measure(runs, [&] { os::PutClipboardBitmap(grabbed); }));
#ifdef BENCH_CLIPBOARD_READ
    // What a program that pastes the capture costs on top (where the clipboard makes its bitmap only
    // when asked for it): the put and the bitmap read back in full.
    report("clipboard + paste", Measure(runs, [&] {
             os::PutClipboardBitmap(grabbed);
             if (!os::testing::ClipboardBitmap()) throw std::runtime_error("nothing to paste");
           }));
#endif
    report("preview", Measure(runs, [&] { frm.ImgCapture.SetPicture(grabbed); }));
    report("thumbnail", Measure(runs, [&] {
             TCapture picture;
             picture.ReplaceWith(grabbed);
             TBitmap thumbnail;
             picture.DrawThumbnail(thumbnail);
             frm.ImgThumbNail.SetPicture(thumbnail);
           }));
    report("write bmp", Measure(runs, [&] { SaveBitmapAsBmp(grabbed, folder + delimiter + "step.bmp"); }));
    report("write jpg", Measure(runs, [&] { SaveBitmapAsJpeg(grabbed, folder + delimiter + "step.jpg"); }));
  } catch (const std::exception& error) {
    std::fprintf(stderr, "bench_capture: %s\n", error.what());
    return 1;
  }
  return 0;
}
