// The touch table's worst case: a down that scans every one of 999 regions and hits none.
#include <benchmark/benchmark.h>

#include "Engine/Touch.h"

static void BM_DownMissingAllRegions(benchmark::State& state) {
  TouchLen = 1;
  for (int i = 1; i < kTableSlots; i++) TouchAdd(i % 300, i % 400, 10, 10, nullptr, 0);
  for (auto _ : state) Touch.Down(1000, 1000);
  TouchLen = 1;
  state.SetLabel("touch_down_999_ns");
}
BENCHMARK(BM_DownMissingAllRegions)->Unit(benchmark::kNanosecond);
