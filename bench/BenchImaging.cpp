// Times the image writers on the benchmark pictures: BMP (32 and 24 bits per pixel), JPEG, GIF and
// PNG, each writing a real file into a fresh folder under the temporary folder (TMPDIR). Reports the
// wall time per file and megapixels per second, and for PNG the file's size ("bytes").
//   bench_imaging [Google Benchmark options]
//   bench_imaging --dump DIR   writes the pictures as PPM files for the peer programs:
//                              screenshot.ppm, photo.ppm and glyphs.ppm (the 256 glyphs stacked
//                              top to bottom, code 0 first)

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <exception>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "bench/BenchPictures.h"
#include "imaging/Gifimage.h"
#include "imaging/Png.h"

namespace {

namespace fs = std::filesystem;

const TBitmap& Screenshot() {
  static const TBitmap picture = bench_pictures::Screenshot();
  return picture;
}
const TBitmap& Photo() {
  static const TBitmap picture = bench_pictures::Photo();
  return picture;
}
const std::vector<TBitmap>& Glyphs() {
  static const std::vector<TBitmap> glyphs = bench_pictures::Glyphs();
  return glyphs;
}

// The folder the benchmarks write into, removed at the end of the run.
class OutputFolder {
 public:
  OutputFolder() {
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    path_ = fs::temp_directory_path() / ("bench_imaging-" + std::to_string(stamp));
    fs::create_directories(path_);
  }
  ~OutputFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  fs::path path_;
};

OutputFolder& Output() {
  static OutputFolder folder;
  return folder;
}

// Times one round of file writes per iteration and reports, besides the library's own columns, the
// wall time per round in milliseconds ("ms"), the processor time per round ("cpu_ms": this process,
// user and system, which is steadier than the wall time on a busy machine) and the megapixels written
// per second of wall time ("Mpx/s"). The files of the previous round are removed before the clocks
// start, so that every timed file is a new one and the times do not include the file system freeing
// the replaced file's blocks.
template <typename WriteRound>
void Run(benchmark::State& state, const std::vector<std::string>& files, double pixelsPerRound,
         WriteRound&& writeRound) {
  using Clock = std::chrono::steady_clock;
  double wallSeconds = 0, cpuSeconds = 0;
  for (auto _ : state) {
    std::error_code ignored;
    for (const std::string& file : files) fs::remove(file, ignored);
    const std::clock_t cpuStart = std::clock();
    const auto start = Clock::now();
    writeRound();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    cpuSeconds += static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    state.SetIterationTime(seconds);
    wallSeconds += seconds;
  }
  using benchmark::Counter;
  state.counters["ms"] = Counter(wallSeconds * 1e3, Counter::kAvgIterations);
  state.counters["cpu_ms"] = Counter(cpuSeconds * 1e3, Counter::kAvgIterations);
  state.counters["Mpx/s"] = Counter(
      wallSeconds > 0 ? pixelsPerRound * static_cast<double>(state.iterations()) / wallSeconds / 1e6 : 0);
}

double Pixels(const TBitmap& bitmap) { return static_cast<double>(bitmap.Width()) * bitmap.Height(); }

using Picture = const TBitmap& (*)();

void Bmp32(benchmark::State& state, Picture picture) {
  const TBitmap& bitmap = picture();
  const std::string file = Output().File("picture.bmp");
  Run(state, {file}, Pixels(bitmap), [&] { SaveBitmapAsBmp(bitmap, file); });
}

// The same picture at 24 bits per pixel, as a display of that depth gives it: packed into the file's
// 3-byte pixels.
void Bmp24(benchmark::State& state, Picture picture) {
  TBitmap bitmap = picture();
  bitmap.SetBitsPerPixel(24);
  const std::string file = Output().File("picture24.bmp");
  Run(state, {file}, Pixels(bitmap), [&] { SaveBitmapAsBmp(bitmap, file); });
}

void Jpeg(benchmark::State& state, Picture picture) {
  const TBitmap& bitmap = picture();
  const std::string file = Output().File("picture.jpg");
  Run(state, {file}, Pixels(bitmap), [&] { SaveBitmapAsJpeg(bitmap, file); });
}

void Gif(benchmark::State& state, Picture picture) {
  const TBitmap& bitmap = picture();
  const std::string file = Output().File("picture.gif");
  Run(state, {file}, Pixels(bitmap), [&] { SaveBitmapAsGif(bitmap, file); });
}

void Png(benchmark::State& state, Picture picture) {
  const TBitmap& bitmap = picture();
  const std::string file = Output().File("picture.png");
  Run(state, {file}, Pixels(bitmap), [&] { SaveBitmapAsPng(bitmap, file); });
  state.counters["bytes"] = static_cast<double>(fs::file_size(file));
}

// One export of 256 characters: one GIF file per glyph, as the glyph exporter writes them. An
// iteration is the whole set.
void Gif256Glyphs(benchmark::State& state) {
  const std::vector<TBitmap>& glyphs = Glyphs();
  std::vector<std::string> files;
  for (std::size_t code = 0; code < glyphs.size(); ++code) {
    files.push_back(Output().File("glyph" + std::to_string(code) + ".gif"));
  }
  Run(state, files, Pixels(glyphs[0]) * static_cast<double>(glyphs.size()), [&] {
    for (std::size_t code = 0; code < glyphs.size(); ++code) SaveBitmapAsGif(glyphs[code], files[code]);
  });
}

BENCHMARK_CAPTURE(Bmp32, screenshot, &Screenshot)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK_CAPTURE(Bmp32, photo, &Photo)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK_CAPTURE(Bmp24, screenshot, &Screenshot)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK_CAPTURE(Jpeg, screenshot, &Screenshot)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK_CAPTURE(Jpeg, photo, &Photo)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK_CAPTURE(Gif, screenshot, &Screenshot)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK_CAPTURE(Gif, photo, &Photo)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK_CAPTURE(Png, screenshot, &Screenshot)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK_CAPTURE(Png, photo, &Photo)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(Gif256Glyphs)->Unit(benchmark::kMillisecond)->UseManualTime();

int Dump(const fs::path& folder) {
  fs::create_directories(folder);
  const TBitmap& screenshot = Screenshot();
  const TBitmap& photo = Photo();
  bench_pictures::WritePpm(screenshot, (folder / "screenshot.ppm").string());
  bench_pictures::WritePpm(photo, (folder / "photo.ppm").string());
  const std::vector<TBitmap>& glyphs = Glyphs();
  TBitmap strip;
  strip.SetSize(bench_pictures::kGlyphWidth, bench_pictures::kGlyphHeight * static_cast<int>(glyphs.size()));
  for (std::size_t code = 0; code < glyphs.size(); ++code) {
    for (int y = 0; y < bench_pictures::kGlyphHeight; ++y) {
      for (int x = 0; x < bench_pictures::kGlyphWidth; ++x) {
        strip.SetPixel(x, static_cast<int>(code) * bench_pictures::kGlyphHeight + y,
                       glyphs[code].Pixel(x, y));
      }
    }
  }
  bench_pictures::WritePpm(strip, (folder / "glyphs.ppm").string());
  std::printf("screenshot.ppm %d x %d, %zu colours\n", screenshot.Width(), screenshot.Height(),
              bench_pictures::CountColours(screenshot));
  std::printf("photo.ppm %d x %d, %zu colours\n", photo.Width(), photo.Height(),
              bench_pictures::CountColours(photo));
  std::printf("glyphs.ppm %zu glyphs of %d x %d\n", glyphs.size(), bench_pictures::kGlyphWidth,
              bench_pictures::kGlyphHeight);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && std::string(argv[1]) == "--dump") {
    if (argc != 3) {
      std::fprintf(stderr, "usage: bench_imaging --dump DIR\n");
      return 2;
    }
    try {
      return Dump(argv[2]);
    } catch (const std::exception& error) {
      std::fprintf(stderr, "bench_imaging: %s\n", error.what());
      return 1;
    }
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
