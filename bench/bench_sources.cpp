// Listing a large icon library: a library with 2,000 icon groups, opened
// once and every icon extracted, against the per-index way of the shell's
// ExtractIcon, which opens and parses the file again for every icon.
#include <benchmark/benchmark.h>

#include "../tests/core/exe_fixtures.h"
#include "imaging/icon_source.h"

namespace {

constexpr int kGroups = 2000;

const pgtest::Buf& Library() {
  static const pgtest::Buf bytes = [] {
    std::vector<pgtest::GroupSpec> groups;
    for (std::uint32_t i = 1; i <= kGroups; ++i)
      groups.push_back({i, u"", {{32, 32, 4, i * 0x010101u}}});
    return pgtest::BuildPe(pgtest::IconResources(groups), true).bytes;
  }();
  return bytes;
}

pg::Bytes View() { return pg::Bytes(Library().data(), Library().size()); }

void BM_OpenLibrary(benchmark::State& state) {
  for (auto _ : state) {
    auto src = pg::OpenIconSource(View());
    benchmark::DoNotOptimize(src);
  }
}
BENCHMARK(BM_OpenLibrary)->Unit(benchmark::kMillisecond);

void BM_ListEveryIconOpenOnce(benchmark::State& state) {
  for (auto _ : state) {
    auto src = pg::OpenIconSource(View());
    const pg::IconSource& s = **src;
    for (int i = 0; i < s.Count(); ++i) {
      benchmark::DoNotOptimize(s.Info(i));
      auto icon = s.Extract(i, pg::kCellSize);
      benchmark::DoNotOptimize(icon);
    }
  }
  state.SetItemsProcessed(state.iterations() * kGroups);
}
BENCHMARK(BM_ListEveryIconOpenOnce)->Unit(benchmark::kMillisecond);

void BM_ExtractOneIcon(benchmark::State& state) {
  auto src = pg::OpenIconSource(View());
  for (auto _ : state) {
    auto icon = (*src)->Extract(kGroups / 2, pg::kCellSize);
    benchmark::DoNotOptimize(icon);
  }
}
BENCHMARK(BM_ExtractOneIcon);

void BM_ListEveryIconReopenPerIndex(benchmark::State& state) {
  for (auto _ : state) {
    for (int i = 0; i < kGroups; ++i) {
      auto src = pg::OpenIconSource(View());
      auto icon = (*src)->Extract(i, pg::kCellSize);
      benchmark::DoNotOptimize(icon);
    }
  }
  state.SetItemsProcessed(state.iterations() * kGroups);
}
BENCHMARK(BM_ListEveryIconReopenPerIndex)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
