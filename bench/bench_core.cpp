// Figures for the paths that run while the user works: one layer rebuild
// (a slot icon changes), one composition (every pointer move of a drag), one
// icon write to memory (Save), one merge, and a paste of a clipboard picture
// from its DIB bytes to the slot's icon (the user waits for both).
#include <benchmark/benchmark.h>

#include "imaging/clipboard_image.h"
#include "imaging/icon_writer.h"
#include "imaging/keysplit.h"
#include "imaging/layers.h"
#include "imaging/merge.h"

namespace {

pg::Icon PatternIcon(int seed) {
  pg::Icon icon{pg::Image(32, 32), pg::Image(32, 32, pg::kWhite)};
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) {
      if ((x * 7 + y * 3 + seed) % 5 == 0) continue;  // transparent here
      icon.mask.SetPixel(x, y, pg::kBlack);
      icon.colour.SetPixel(x, y, pg::Rgb(static_cast<std::uint8_t>(x * 8 + seed),
                                         static_cast<std::uint8_t>(y * 8), 200));
    }
  return icon;
}

pg::LayerModel FilledModel() {
  pg::LayerModel model;
  model.SetIcon(pg::Slot::kUpper, PatternIcon(1));
  model.SetIcon(pg::Slot::kLower, PatternIcon(2));
  model.SetOffset(pg::Slot::kUpper, {5, -3});
  return model;
}

void BM_LayerRebuild(benchmark::State& state) {
  pg::LayerModel model = FilledModel();
  for (auto _ : state) {
    model.Rebuild();
    benchmark::DoNotOptimize(model.Composite().Pixels().data());
  }
}
BENCHMARK(BM_LayerRebuild);

void BM_ComposeLayers(benchmark::State& state) {
  pg::LayerModel model = FilledModel();
  model.Rebuild();
  int step = 0;
  for (auto _ : state) {
    model.ComposeLayers({step % 9 - 4, 2}, {0, step % 5});
    benchmark::DoNotOptimize(model.Zoomed().Pixels().data());
    ++step;
  }
}
BENCHMARK(BM_ComposeLayers);

void BM_WriteIconFile(benchmark::State& state) {
  pg::LayerModel model = FilledModel();
  model.Rebuild();
  const pg::Icon split = pg::SplitKeyColour(model.Composite());
  pg::PaletteTable table;
  const int depth = static_cast<int>(state.range(0));
  for (auto _ : state) {
    auto file = pg::WriteIconFile(split, depth, table);
    benchmark::DoNotOptimize(file.bytes.data());
  }
}
BENCHMARK(BM_WriteIconFile)->Arg(8)->Arg(24);

void BM_MergeIcons(benchmark::State& state) {
  pg::PaletteTable table;
  for (auto _ : state) {
    state.PauseTiming();
    pg::LayerModel model = FilledModel();
    model.Rebuild();
    state.ResumeTiming();
    benchmark::DoNotOptimize(pg::MergeIcons(model, table));
  }
}
BENCHMARK(BM_MergeIcons);

// A screen-sized picture pasted: width x height, 24 bits.
void BM_PasteDib(benchmark::State& state) {
  const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
  pg::Image picture(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      picture.SetPixel(x, y, pg::Rgb(static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y), 90));
  const std::vector<std::uint8_t> dib = pg::ClipboardDib(picture);
  for (auto _ : state) {
    auto decoded = pg::ReadClipboardDib(dib);
    benchmark::DoNotOptimize(pg::PastedIcon(*decoded).colour.Pixels().data());
  }
}
BENCHMARK(BM_PasteDib)->Args({640, 480})->Args({3840, 2160})->Unit(benchmark::kMillisecond);

}  // namespace
