// In-process benchmarks of the list machinery that MakeList runs on large inputs.
#include <benchmark/benchmark.h>

#include <random>

#include "common/QO_SortKeys.h"
#include "common/QO_Utils.h"
#include "platform/Console.h"
#include "tool/MakeList.h"

namespace {

std::u16string Words(size_t count) {
  std::mt19937_64 rng(42);
  std::u16string text;
  for (size_t i = 0; i < count; ++i) {
    if (i) text += u';';
    size_t length = 3 + rng() % 10;
    for (size_t k = 0; k < length; ++k) {
      char16_t c = char16_t(u'a' + rng() % 26);
      text += (rng() % 4 == 0) ? char16_t(c - 32) : c;
    }
  }
  return text;
}

void BM_SplitText(benchmark::State& state) {
  std::u16string text = Words(size_t(state.range(0)));
  std::vector<std::u16string_view> items;
  TSplitSettings settings;
  settings.SingleQuotesGroup = true;
  for (auto _ : state) {
    SplitText(text, items, settings);
    benchmark::DoNotOptimize(items.data());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_SplitText)->Arg(1 << 20)->Unit(benchmark::kMillisecond);

void BM_SortKeys(benchmark::State& state) {
  std::u16string text = Words(size_t(state.range(0)));
  std::vector<std::u16string_view> items;
  SplitText(text, items, TSplitSettings{});
  for (auto _ : state) {
    TSortKeys keys(items, true);
    benchmark::DoNotOptimize(keys.Size());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_SortKeys)->Arg(1 << 20)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ProcessListSortedUnique(benchmark::State& state) {
  std::u16string text = Words(size_t(state.range(0)));
  TSwitchInfo options;
  options.SortOrder = 1;
  options.OmitDuplicates = true;
  std::u16string sink;
  for (auto _ : state) {
    sink.clear();
    std::u16string* previous = Platform::CaptureStdOut(&sink);
    ProcessList(u"", u"", text, 0, options);
    Platform::CaptureStdOut(previous);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ProcessListSortedUnique)->Arg(1 << 20)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
