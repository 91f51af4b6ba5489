// Times text measuring and opaque drawing on bitmaps as the character grid uses them, for a few
// point sizes of "Arial" at 96 pixels per inch:
//   Realise         creating the text renderer for a font
//   MeasureAll      measuring the 256 one-byte strings (the cell width of a grid)
//   DrawGlyph       drawing one glyph into a picture of 6 x 4 times the point size
//   CharacterGrid   a whole grid: realise, measure all, then for each code a fresh glyph picture,
//                   drawn and cut to its cell
//   bench_text [Google Benchmark options]

#include <benchmark/benchmark.h>

#include <algorithm>
#include <string>

#include "imaging/Graphics.h"
#include "platform/text/Text.h"

namespace {

ui::Font Arial(int size) {
  ui::Font font;
  font.name = "Arial";
  font.size = size;
  return font;
}

std::string Code(int code) { return std::string(1, static_cast<char>(code)); }

void Realise(benchmark::State& state) {
  const ui::Font font = Arial(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    ui::TextRenderer text(font, 96);
    benchmark::DoNotOptimize(text.LineHeight());
  }
}

void MeasureAll(benchmark::State& state) {
  const ui::TextRenderer text(Arial(static_cast<int>(state.range(0))), 96);
  for (auto _ : state) {
    int widest = -1;
    for (int code = 0; code < 256; ++code) widest = std::max(widest, text.Measure(Code(code)).width);
    benchmark::DoNotOptimize(widest);
  }
  state.SetItemsProcessed(state.iterations() * 256);
}

void DrawGlyph(benchmark::State& state) {
  const int size = static_cast<int>(state.range(0));
  const ui::TextRenderer text(Arial(size), 96);
  TBitmap bitmap;
  bitmap.SetSize(6 * size, 4 * size);
  for (auto _ : state) {
    text.DrawOpaque(bitmap, 0, 0, "W", clBlack, clSilver);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations());
}

void CharacterGrid(benchmark::State& state) {
  const int size = static_cast<int>(state.range(0));
  const ui::Font font = Arial(size);
  for (auto _ : state) {
    const ui::TextRenderer text(font, 96);
    int cellWidth = -1;
    for (int code = 0; code < 256; ++code) cellWidth = std::max(cellWidth, text.Measure(Code(code)).width);
    const int cellHeight = text.Measure("a").height;
    for (int code = 0; code < 256; ++code) {
      TBitmap glyph;
      glyph.SetFillColor(clWhite);
      glyph.SetSize(6 * size, 4 * size);
      text.DrawOpaque(glyph, 0, 0, Code(code), clBlack, clSilver);
      glyph.SetFillColor(clSilver);
      glyph.SetHeight(cellHeight);
      glyph.SetWidth(text.Measure(Code(code)).width);
      benchmark::DoNotOptimize(glyph.ScanLine(0));
    }
    benchmark::DoNotOptimize(cellWidth);
  }
  state.SetItemsProcessed(state.iterations() * 256);
}

BENCHMARK(Realise)->Arg(12)->Arg(72);
BENCHMARK(MeasureAll)->Arg(12)->Arg(72);
BENCHMARK(DrawGlyph)->Arg(9)->Arg(12)->Arg(30)->Arg(72);
BENCHMARK(CharacterGrid)->Arg(9)->Arg(12)->Arg(30)->Arg(72)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
