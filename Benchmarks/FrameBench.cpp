// The tables at their limits: ImageAdd of a name already known with 999 images in the table
// (the name search's worst case), and a frame that draws 999 views, on the SDL backend.
#include <benchmark/benchmark.h>

#include <string>

#include "Engine/DorvelAppDelegate.h"
#include "Engine/Internal.h"
#include "Engine/Platform/Platform.h"
#include "Engine/Win.h"

static uint64_t fake_now = 1;

static bool StartEngine(benchmark::State& state) {
  PlatConfig config{nullptr, true, [] { return fake_now; }};
  if (!plat_application_start(&config, &kDorvelAppHooks)) {
    state.SkipWithError(plat_error());
    return false;
  }
  return true;
}

static void StopEngine() {
  plat_shutdown();
  EngineReset();
}

// The table filled by names of its own, all one picture: the last one added is found last.
static void BM_ImageAddKnownName(benchmark::State& state) {
  if (!StartEngine(state)) return;
  for (int i = 1; i < kTableSlots; i++) {
    Win.images[i] = Win.images[0];
    snprintf(Win.names[i], kNameBytes, "Picture%03d.png", i);
  }
  SysImageLen = kTableSlots - 1;  // 999 in use: the add still gets past the limit
  const char* last = Win.names[kTableSlots - 2];
  for (auto _ : state) benchmark::DoNotOptimize(ImageAdd(last));
  state.SetLabel("image_add_known_999_ns");
  StopEngine();
}
BENCHMARK(BM_ImageAddKnownName)->Unit(benchmark::kNanosecond);

// 999 views of the reserved picture across the frame, every one drawn again in each frame.
static void BM_Frame999Views(benchmark::State& state) {
  if (!StartEngine(state)) return;
  for (int i = 1; i < kTableSlots; i++) ViewAdd(0, (i * 7) % 300, (i * 13) % 440);
  int frame = 0;
  for (auto _ : state) {
    frame++;
    for (int i = 1; i < kTableSlots; i++) ViewSetxy(i, (i * 7 + frame) % 300, (i * 13) % 440);
    plat_loop_step(false);
  }
  state.SetLabel("frame_999_views_ms");
  StopEngine();
}
BENCHMARK(BM_Frame999Views)->Unit(benchmark::kMillisecond);
