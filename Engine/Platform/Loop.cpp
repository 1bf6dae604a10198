// The core's life cycle and loop: start and stop in order, the application's start-up chain,
// one pass of the loop (events, due timers, present), the timers and the clock they read,
// and the one error line.
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "Engine/Platform/Core.h"
#include "Engine/Platform/FrameClock.h"

// ---------------------------------------------------------------------------------------------
// State

static constexpr int kMaxTimers = 8;

namespace {
struct LoopState {
  bool started = false;
  bool quit = false;
  std::string program;  // the running program's name, for its window
  std::string error;
  PlatClockSource clock = nullptr;
  // What plat_init took from its config, for a second start to be held to.
  bool bundle_given = false;
  std::string bundle;
  bool offline_audio = false;
  PlatClockSource config_clock = nullptr;
  PlatFrameClock schedules[kMaxTimers];
  PlatTimerFn fns[kMaxTimers] = {};
  void* ctxs[kMaxTimers] = {};
  int timers = 0;
};
}  // namespace

static LoopState g;

// ---------------------------------------------------------------------------------------------
// Helpers

static uint64_t system_now_ns() {
  auto now = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count());
}

static void fire_due_timers() {
  uint64_t now = plat_clock_now_ns();
  for (int i = 0; i < g.timers; i++)
    if (g.schedules[i].poll(now)) g.fns[i](g.ctxs[i]);
}

bool loop_started(void) { return g.started; }

const char* loop_program_name(void) { return g.program.c_str(); }

// ---------------------------------------------------------------------------------------------
// Offered to backends

void core_quit(void) { g.quit = true; }

int64_t core_wait_ns(void) { return frame_clocks_wait_ns(g.schedules, g.timers, plat_clock_now_ns()); }

void core_set_error(const char* format, ...) {
  char line[512];
  va_list args;
  va_start(args, format);
  vsnprintf(line, sizeof line, format, args);
  va_end(args);
  g.error = line;
}

// ---------------------------------------------------------------------------------------------
// Public: life cycle

// What a second start asks of the platform that the first did not: a config given again must
// be the same in all that plat_init takes from it.
static bool same_start(const PlatConfig& config) {
  bool same_bundle = config.bundle_dir ? g.bundle_given && g.bundle == config.bundle_dir : !g.bundle_given;
  return same_bundle && config.offline_audio == g.offline_audio && config.clock == g.config_clock;
}

bool plat_init(const PlatConfig* config) {
  if (g.started) {
    if (!config || same_start(*config)) return true;
    core_set_error("the platform is started already, with another bundle, audio or clock; "
                   "plat_shutdown first");
    return false;
  }
  if (!backend_init()) return false;
  g.started = true;
  g.bundle_given = config && config->bundle_dir;
  g.bundle = g.bundle_given ? config->bundle_dir : "";
  g.offline_audio = config && config->offline_audio;
  g.clock = g.config_clock = config ? config->clock : nullptr;
  paths_start(config ? config->bundle_dir : nullptr);
  audio_start(!(config && config->offline_audio));
  return true;
}

// Players and the device go first, so that no callback reads a freed clip; then the pictures,
// whose textures belong to the window that the backend frees last.
void plat_shutdown(void) {
  if (!g.started) return;
  audio_stop();
  pictures_stop();
  touches_stop();
  elements_stop();
  views_stop();
  backend_shutdown();
  paths_stop();
  g = LoopState{};
}

const char* plat_error(void) { return g.error.c_str(); }

// ---------------------------------------------------------------------------------------------
// Public: application loop

bool plat_application_start(const PlatConfig* config, const PlatAppHooks* hooks) {
  if (!plat_init(config)) return false;
  if (config) views_set_opening_size(config->window_width, config->window_height);
  hooks->load_main_interface();
  if (!views_have_window()) {
    std::string error = g.error;  // the window's, not the shutdown's
    plat_shutdown();
    g.error = error;
    return false;
  }
  hooks->did_finish_launching();
  return true;
}

int plat_application_main(int argc, char** argv, const PlatAppHooks* hooks) {
  const char* name = argc > 0 && argv[0] ? argv[0] : "Soundboard";
  if (const char* slash = strrchr(name, '/')) name = slash + 1;
  g.program = name;
  if (!plat_application_start(nullptr, hooks)) {
    fprintf(stderr, "%s: cannot open a window: %s\n", name, plat_error());
    return 1;
  }
  if (backend_run_loop()) plat_shutdown();  // else the system goes on calling the loop
  return 0;
}

bool plat_loop_step(bool may_wait) {
  if (!g.started) return false;
  backend_pump_events(may_wait && !g.quit ? core_wait_ns() : 0);
  fire_due_timers();
  audio_keep_time();
  backend_pump_events(0);  // what came in while the tick ran is handled before any drawing
  views_present_if_dirty();
  elements_flush();
  return !g.quit;
}

// ---------------------------------------------------------------------------------------------
// Public: clock and timers

void plat_clock_set_source(PlatClockSource now_ns) { g.clock = now_ns; }

uint64_t plat_clock_now_ns(void) { return g.clock ? g.clock() : system_now_ns(); }

bool plat_timer_schedule(double interval_s, PlatTimerFn fn, void* ctx) {
  if (g.timers >= kMaxTimers || !fn || !(interval_s > 0)) return false;
  g.schedules[g.timers] = PlatFrameClock(plat_clock_now_ns(), interval_s);
  g.fns[g.timers] = fn;
  g.ctxs[g.timers] = ctx;
  g.timers++;
  return true;
}
