// The soundboard's own latencies, measured on the real program: the whole soundboard running
// (the sprite moving) on SDL with its real audio device, pressed from another thread through
// SDL's event queue; and its frame clock against the wall.
//
// usage: LatencyBench touch PRESSES [PREFIX [WARMUP_MS]]   touch to sound and to screen
//        LatencyBench clock SECONDS            the frame clock's lateness and drift
//        LatencyBench play SECONDS [PREFIX [REMOVE]]   plays Coin every 250 ms (for an audio
//                                              server); with PREFIX, prints its longest silence,
//                                              and the device switch after REMOVE runs
#include <algorithm>
#include <cstdlib>
#include <string>
#include <thread>

#include "App/App.h"
#include "Benchmarks/Latency/Measure.h"
#include "Engine/DorvelAppDelegate.h"
#include "Engine/Platform/FrameClock.h"
#include "Engine/Platform/Platform.h"
#include "Engine/Touch.h"
#include "Engine/Win.h"

static Presser presser;
static std::vector<int16_t> coin;
// When the first buffers were mixed: how soon the device began, and whether it then stalled.
static constexpr int kEarlyBuffers = 400;
static uint64_t buffer_at[kEarlyBuffers];
static std::atomic<int> buffers{0};

// ctx: the clip to listen for, handed over by setting the tap again once it is loaded (the
// platform publishes a tap and its context together).
static void Tap(void* ctx, const int16_t* out, int frames) {
  int n = buffers.load(std::memory_order_relaxed);
  if (n < kEarlyBuffers) {
    buffer_at[n] = NowNs();
    buffers.store(n + 1, std::memory_order_release);
  }
  const auto* clip = static_cast<const std::vector<int16_t>*>(ctx);
  if (clip && StartsWithClip(out, frames, *clip)) presser.Heard();
}

static bool StartSoundboard() {
  if (plat_application_start(nullptr, &kDorvelAppHooks)) return true;
  fprintf(stderr, "LatencyBench: %s\n", plat_error());
  return false;
}

static int MeasureTouches(int presses, const std::string& prefix, int warmup_ms) {
  plat_audio_set_tap(Tap, nullptr);  // before the device opens, to see its first buffer
  uint64_t opened_at = NowNs();
  if (!StartSoundboard()) return 1;
  PlatAudioInfo audio = plat_audio_info();
  coin = LoadMonoClip(std::string(plat_bundle_path()) + "/Coin.wav", audio.rate);
  if (!audio.device_open || coin.empty()) {
    fprintf(stderr, "LatencyBench: no audio device at the clip's rate\n");
    return 1;
  }
  plat_audio_set_tap(Tap, &coin);
  PlatPicture* pressed = Win.images[Button[5].image2];  // Coin, as the soundboard makes it
  PlatView* coin_view = Win.views[Button[5].view];
  presser.track_screen = true;
  std::thread thread([presses, warmup_ms] {
    std::this_thread::sleep_for(std::chrono::milliseconds(warmup_ms));
    presser.Run(presses, 40, 255, 7);
  });
  // The program's own loop; after each pass, whether the pressed picture has been presented.
  while (plat_loop_step(true))
    if (plat_view_picture(coin_view) == pressed) presser.Seen();
  thread.join();
  Print(prefix + "touch_to_sound_p50_ms", Percentile(presser.to_sound_ms, 50));
  Print(prefix + "touch_to_sound_p99_ms", Percentile(presser.to_sound_ms, 99));
  Print(prefix + "audio_period_ms", 1000.0 * audio.buffer_frames / audio.rate);
  int early = buffers.load(std::memory_order_acquire);
  double stall = 0;
  for (int i = 1; i < early; i++) stall = std::max(stall, (buffer_at[i] - buffer_at[i - 1]) / 1e6);
  Print(prefix + "audio_first_buffer_ms", early ? (buffer_at[0] - opened_at) / 1e6 : -1);
  Print(prefix + "audio_start_stall_ms", stall);
  if (prefix.empty()) {
    Print("touch_to_screen_p50_ms", Percentile(presser.to_screen_ms, 50));
    Print("touch_to_screen_p99_ms", Percentile(presser.to_screen_ms, 99));
  }
  Print(prefix + "presses_heard", static_cast<double>(presser.to_sound_ms.size()));
  plat_shutdown();
  return 0;
}

// While playing: the longest time between two buffers (the sound's longest break, as when its
// device goes and another takes over), when it ended, and how many presses were heard after.
static std::atomic<uint64_t> last_buffer_at{0}, longest_gap_ns{0}, gap_end_at{0};
static std::atomic<int> heard_after_gap{0};

static void GapTap(void* ctx, const int16_t* out, int frames) {
  uint64_t now = NowNs(), last = last_buffer_at.exchange(now);
  if (last && now - last > longest_gap_ns.load()) {
    longest_gap_ns = now - last;
    gap_end_at = now;
    heard_after_gap = 0;
  }
  const auto* clip = static_cast<const std::vector<int16_t>*>(ctx);
  if (clip && StartsWithClip(out, frames, *clip)) heard_after_gap++;
}

// Presses Coin every 250 ms for `seconds`. With a prefix, halfway through runs `remove` (a
// command that takes the output device away) and prints how long the sound then broke.
static int KeepPlaying(int seconds, const std::string& prefix, const std::string& remove) {
  if (!StartSoundboard()) return 1;
  coin = LoadMonoClip(std::string(plat_bundle_path()) + "/Coin.wav", plat_audio_info().rate);
  plat_audio_set_tap(GapTap, &coin);
  std::atomic<uint64_t> removed_at{0};
  std::thread remover([&] {
    if (remove.empty()) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(seconds * 500));
    removed_at = NowNs();
    if (system(remove.c_str()) != 0) fprintf(stderr, "LatencyBench: %s failed\n", remove.c_str());
  });
  uint64_t until = NowNs() + static_cast<uint64_t>(seconds) * 1000000000ull, next = 0;
  while (NowNs() < until && plat_loop_step(true))
    if (NowNs() >= next) {
      plat_touch_inject(kPlatTouchBegan, {40, 255});
      plat_touch_inject(kPlatTouchEnded, {40, 255});
      next = NowNs() + 250000000ull;
    }
  remover.join();
  plat_shutdown();
  if (prefix.empty()) return 0;
  Print(prefix + "longest_silence_ms", longest_gap_ns / 1e6);
  if (removed_at && gap_end_at > removed_at)  // from the removal to the first buffer after it
    Print(prefix + "device_switch_ms", (gap_end_at - removed_at) / 1e6);
  Print(prefix + "presses_heard_after", heard_after_gap);
  return 0;
}

// Each tick against start + n/30 s, as the engine's clock schedules it.
static uint64_t tick_start = 0;
static std::vector<double> lateness_ms;

static void OnTick(void*) {
  uint64_t n = lateness_ms.size() + 1;
  PlatFrameClock schedule(tick_start, kFrameInterval);
  lateness_ms.push_back((static_cast<double>(plat_clock_now_ns()) - schedule.due_ns(n)) / 1e6);
}

static int MeasureClock(int seconds) {
  PlatConfig config{nullptr, true};
  if (!plat_init(&config)) return 1;
  tick_start = plat_clock_now_ns();
  plat_timer_schedule(kFrameInterval, OnTick, nullptr);
  size_t ticks = static_cast<size_t>(seconds * kFrameRate);
  while (lateness_ms.size() < ticks && plat_loop_step(true)) {
  }
  plat_shutdown();
  int early = 0;
  for (double late : lateness_ms) early += late < 0;
  Print("tick_late_p50_ms", Percentile(lateness_ms, 50));
  Print("tick_late_p99_ms", Percentile(lateness_ms, 99));
  Print("tick_late_max_ms", Percentile(lateness_ms, 100));
  Print("ticks_early", early);
  Print("drift_ms", lateness_ms.size() >= 300 ? lateness_ms[299] : 0);
  // The loop a program without a schedule would write: a fixed sleep per frame.
  uint64_t start = NowNs();
  for (int i = 0; i < 300; i++) SDL_Delay(33);
  Print("naive_drift_ms", (NowNs() - start) / 1e6 - 300 * 1000.0 / kFrameRate);
  return 0;
}

int main(int argc, char** argv) {
  setenv("SDL_VIDEODRIVER", "offscreen", 0);
  std::string mode = argc > 1 ? argv[1] : "";
  int n = argc > 2 ? atoi(argv[2]) : 0;
  if (mode == "touch" && n > 0) return MeasureTouches(n, argc > 3 ? argv[3] : "", argc > 4 ? atoi(argv[4]) : 0);
  if (mode == "clock" && n > 0) return MeasureClock(n);
  if (mode == "play" && n > 0) return KeepPlaying(n, argc > 3 ? argv[3] : "", argc > 4 ? argv[4] : "");
  fprintf(stderr, "usage: LatencyBench touch PRESSES [PREFIX] | clock SECONDS | play SECONDS [PREFIX [REMOVE]]\n");
  return 2;
}
