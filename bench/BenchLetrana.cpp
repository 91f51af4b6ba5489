// Letrana's long operations on the headless backend: building the 256-cell grid, and exporting all
// 256 cells in each of the four forms. Target: a transparent-GIF export of 256 cells at 72 points
// well under a second.

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>

#include "letrana/MainWindow.h"
#include "platform/ui/UiTesting.h"

namespace {

// The program's windows with the rendering font set to Arial at a size, the grid built once.
class Letrana {
 public:
  explicit Letrana(int points) {
    ui::testing::Reset();
    app_ = std::make_unique<ui::Application>();
    // The windows are not shown: no settings are read or written, so the system's temporary folder
    // stands in for both folders.
    const std::string temporary = std::filesystem::temp_directory_path().string() + "/";
    shell_ = std::make_unique<TProgramShell>(LetranaStorage, kLetranaLanguageList,
                                             TProgramFolders{temporary, temporary});
    windows_ = std::make_unique<TLetranaWindows>(*app_, *shell_);
    Frm().LblFont.SetFont({.name = "Arial", .size = points});
    Frm().BuildCharacterGrid();
  }
  ~Letrana() {
    windows_.reset();
    app_.reset();
    ui::testing::Reset();
  }
  TFrmLetrana& Frm() { return windows_->FrmLetrana; }

 private:
  std::unique_ptr<ui::Application> app_;
  std::unique_ptr<TProgramShell> shell_;
  std::unique_ptr<TLetranaWindows> windows_;
};

// A folder for the exported files, removed afterwards.
class Folder {
 public:
  Folder() {
    static std::atomic<unsigned> counter{0};
    path_ = std::filesystem::temp_directory_path() /
            ("bench-letrana-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()) +
             "-" + std::to_string(counter++));
    std::filesystem::create_directories(path_);
  }
  ~Folder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

void BM_BuildCharacterGrid(benchmark::State& state) {
  Letrana letrana(static_cast<int>(state.range(0)));
  for (auto _ : state) letrana.Frm().BuildCharacterGrid();
  state.SetItemsProcessed(state.iterations() * 256);
}
BENCHMARK(BM_BuildCharacterGrid)->Arg(12)->Arg(72)->Unit(benchmark::kMillisecond);

// range(0): the filter index of the save dialog (1 BMP, 2 JPEG, 3 GIF, 4 transparent GIF).
void BM_Export256(benchmark::State& state) {
  Letrana letrana(72);
  Folder folder;
  TFrmLetrana& frm = letrana.Frm();
  frm.MenSelectAllClick();
  const int filterIndex = static_cast<int>(state.range(0));
  for (auto _ : state) {
    ui::testing::AnswerSave(frm.SvdSave, folder.File("glyph"), filterIndex);
    frm.MenExportClick();
  }
  state.SetItemsProcessed(state.iterations() * 256);
  static const char* const kForms[] = {"", "bmp", "jpeg", "gif", "transparent gif"};
  state.SetLabel(std::string(kForms[filterIndex]) + ", 72 pt");
}
BENCHMARK(BM_Export256)->DenseRange(1, 4)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
