// The multi-size save: composing both layers at all eight sizes and writing
// the icon file to memory (the user waits for it), from sources with the
// images a typical icon group holds, so 20, 40 and 64 are scaled down and
// the rest are drawn as they are. Also the two parts alone and a merge at
// every size.
#include <benchmark/benchmark.h>

#include "imaging/icon_writer.h"
#include "imaging/layers.h"
#include "imaging/multi_size.h"

namespace {

pg::RgbaImage Picture(int size, int seed) {
  pg::RgbaImage im(size, size);
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      const int d = (x - size / 2) * (x - size / 2) + (y - size / 2) * (y - size / 2);
      const int r2 = size * size / 5;
      if (d > r2) continue;  // transparent outside a disc with a soft rim
      std::uint8_t* p = im.At(x, y);
      p[0] = static_cast<std::uint8_t>(x * 255 / size);
      p[1] = static_cast<std::uint8_t>(y * 255 / size + seed);
      p[2] = static_cast<std::uint8_t>(seed * 40);
      p[3] = static_cast<std::uint8_t>(d > r2 * 9 / 10 ? 128 : 255);
    }
  return im;
}

pg::SlotSource TypicalGroup(int seed) {
  pg::SlotSource s;
  for (int size : {16, 24, 32, 48, 256}) s.images.push_back({32, Picture(size, seed)});
  return s;
}

pg::LayerModel Model() {
  pg::LayerModel model;
  model.SetIcon(pg::Slot::kLower, pg::TransparentIcon(), TypicalGroup(1));
  model.SetIcon(pg::Slot::kUpper, pg::TransparentIcon(), TypicalGroup(2));
  model.SetOffset(pg::Slot::kUpper, {10, 9});
  return model;
}

void BM_MultiSizeComposeAndWrite(benchmark::State& state) {
  const pg::LayerModel model = Model();
  for (auto _ : state) {
    auto file = pg::WriteModelMultiSizeIcon(model);
    benchmark::DoNotOptimize(file.data());
  }
}
BENCHMARK(BM_MultiSizeComposeAndWrite)->Unit(benchmark::kMillisecond);

void BM_MultiSizeComposeOnly(benchmark::State& state) {
  const pg::LayerModel model = Model();
  for (auto _ : state)
    for (int size : pg::kIconSizes) {
      auto im = pg::ComposeModelAtSize(model, size);
      benchmark::DoNotOptimize(im.pixels.data());
    }
}
BENCHMARK(BM_MultiSizeComposeOnly)->Unit(benchmark::kMillisecond);

void BM_MultiSizeWriteOnly(benchmark::State& state) {
  const pg::LayerModel model = Model();
  std::vector<pg::RgbaImage> images;
  for (int size : pg::kIconSizes) images.push_back(pg::ComposeModelAtSize(model, size));
  for (auto _ : state) {
    auto file = pg::WriteMultiSizeIcon(images);
    benchmark::DoNotOptimize(file.data());
  }
}
BENCHMARK(BM_MultiSizeWriteOnly)->Unit(benchmark::kMillisecond);

}  // namespace
