// Letrana's long operations on the Win32 backend, timed inside the Windows program itself (run under
// Wine by bench/run_win32_bench.sh): the grid build of 256 cells in Arial at 12 and at 72 points, and a
// 256-cell export at 72 points in each of the four forms. The windows are real and on screen, so the
// times include what the user waits for: GDI text, the image list, the list view and the progress box
// repainting after every cell.
//
// The export runs the loop the export command runs once its save dialog has answered: for each cell the
// progress box is shown, the code is rendered with RenderCharacter at the line height, the writer of
// the form writes it, and pending messages are processed.
//
//   bench_letrana_win32 [RUNS]     RUNS timed runs of each case after one untimed one (default 5)
//
// Prints one line per case: the median, the fastest and the slowest run in milliseconds.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <functional>
#include <string>
#include <system_error>
#include <vector>

#include "bench/BenchTiming.h"
#include "imaging/Gifimage.h"
#include "imaging/Graphics.h"
#include "letrana/MainWindow.h"
#include "platform/ui/Ui.h"

namespace {

constexpr int kCodes = 256;

using bench_timing::Measure;
using bench_timing::Times;

void Report(const std::string& name, const Times& times) {
  std::printf("%-48s median %9.1f ms   fastest %9.1f ms   slowest %9.1f ms\n", name.c_str(), times.median,
              times.fastest, times.slowest);
  std::fflush(stdout);
}

// A folder for the exported files, removed afterwards.
class Folder {
 public:
  Folder() : path_(std::filesystem::temp_directory_path() / "bench-letrana-win32") {
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~Folder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  Folder(const Folder&) = delete;
  Folder& operator=(const Folder&) = delete;
  std::string Base() const { return (path_ / "glyph").string(); }
  std::size_t Files(const std::string& extension) const {
    std::size_t count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(path_))
      count += entry.path().extension() == extension;
    return count;
  }

 private:
  std::filesystem::path path_;
};

int Run(int runs) {
  ui::Application app;
  app.SetTitle("Letrana");
  TProgramShell shell(LetranaStorage, kLetranaLanguageList, StartFolders(LetranaStorage));
  TLetranaWindows windows(app, shell);
  TFrmLetrana& frm = windows.FrmLetrana;
  // The first show loads the language and the settings, as at a start; the deferred first build is
  // left out, so that no build runs inside a measurement but the measured one.
  frm.TimInit.SetEnabled(false);
  frm.Show();
  app.ProcessMessages();

  for (const int points : {12, 72}) {
    frm.LblFont.SetFont({.name = "Arial", .size = points});
    const Times times = Measure(runs, [&] { frm.BuildCharacterGrid(); });
    if (frm.LisCharacters.Count() != kCodes) {
      std::fprintf(stderr, "the grid holds %d cells, not %d\n", frm.LisCharacters.Count(), kCodes);
      return 1;
    }
    Report("grid build, 256 cells, Arial " + std::to_string(points) + " pt", times);
  }

  frm.LblFont.SetFont({.name = "Arial", .size = 72});
  frm.BuildCharacterGrid();
  frm.MenSelectAllClick();  // outside the measurements: it refreshes the preview 256 times
  const Folder folder;
  static const char* const kForms[] = {"", "BMP", "JPEG", "GIF", "transparent GIF"};
  for (int form = 1; form <= 4; ++form) {
    const Times times = Measure(runs, [&] { frm.ExportCells(folder.Base(), form); });
    Report(std::string("export, 256 cells, Arial 72 pt, ") + kForms[form], times);
  }
  // The two GIF forms write the same names.
  std::printf("files written: %zu .bmp, %zu .jpg, %zu .gif\n", folder.Files(".bmp"), folder.Files(".jpg"),
              folder.Files(".gif"));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  try {
    return Run(runs);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s\n", error.what());
    return 1;
  }
}
