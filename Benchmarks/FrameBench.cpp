// What one frame costs: a tick that moves a view, and the redraw and present that follow,
// with a screen of 14 views like the soundboard's, on SDL's headless software renderer.
#include <benchmark/benchmark.h>

#include "Engine/Platform/Platform.h"
#include "Engine/Win.h"

static uint64_t fake_now = 0;

static void BM_TickMoveAndPresent(benchmark::State& state) {
  PlatConfig config{nullptr, true};
  if (!plat_init(&config)) {
    state.SkipWithError(plat_error());
    return;
  }
  plat_clock_set_source([] { return fake_now; });
  PlatWindow* window = plat_window_create();
  PlatView* root = plat_view_create(plat_screen_application_frame());
  plat_view_set_background(root, {0, 0, 0, 255});
  plat_window_add_subview(window, root);
  plat_window_make_key_and_visible(window);
  PlatPicture* picture = plat_picture_named(kReservedPicture);
  PlatView* views[14];
  for (int i = 0; i < 14; i++) {
    views[i] = plat_view_create({float(i * 20), float(i * 30), 70, 40});
    plat_view_set_picture(views[i], picture);
    plat_view_add_subview(root, views[i]);
  }
  static int x = 0;
  plat_timer_schedule(1.0 / 30, [](void* v) {
    x = (x + 2) % 280;
    plat_view_set_frame(static_cast<PlatView*>(v), {float(x), 200, 40, 30});
  }, views[1]);
  uint64_t tick = 0;
  for (auto _ : state) {
    fake_now = ++tick * 33400000ull;
    plat_loop_step(false);
  }
  plat_shutdown();
}
BENCHMARK(BM_TickMoveAndPresent)->Unit(benchmark::kMicrosecond);
