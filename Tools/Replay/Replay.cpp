// Replay: runs the soundboard without waiting for anything, on a clock of its own, with
// scripted touches; writes what was on the screen at the end and everything it played.
// The same arguments give the same picture and the same samples on every run.
//
// usage: Replay [--ticks N] [--size WxH] [--touch TICK:down|move|up:X:Y]...
//               [--random-presses SEED] [--png FILE] [--wav FILE] [--memory FILE]
//   TICK counts from 1, the first frame; X and Y are in points; WxH in window pixels.
//   --random-presses: a press every second or two, mostly on a button, from that seed.
//   --memory: the resident memory after the first frame and at the end, in KiB.
//   Run it headless with SDL_VIDEODRIVER=offscreen.
//
// Time runs from the launch (0, the first sample of the sound); tick n comes at n/30 s. A touch
// of tick n is delivered at (n - 1)/30 s, once the sound up to that moment has been rendered,
// so that what it plays starts at that sample.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "Engine/DorvelAppDelegate.h"
#include "Engine/Limits.h"
#include "Engine/Platform/FrameClock.h"
#include "Engine/Platform/Platform.h"
#include "Engine/Touch.h"
#include "Tools/Media/Media.h"

// ---------------------------------------------------------------------------------------------
// Options and the timeline

struct TimedTouch {
  uint64_t at_ns;  // from the launch
  PlatTouchPhase phase;
  PlatPoint point;
};

struct Options {
  int ticks = 60;
  int width = 0, height = 0;
  std::vector<TimedTouch> touches;
  bool random_presses = false;
  uint64_t seed = 0;
  std::string png, wav, memory;
};

static constexpr uint64_t kLaunchNs = 1000000000;  // the clock's reading at the launch
static uint64_t now_ns = kLaunchNs;
static uint64_t ReplayClock() { return now_ns; }

static const PlatFrameClock kSchedule(kLaunchNs, kFrameInterval);  // the frame clock's own

static uint64_t TickNs(int tick) { return kSchedule.due_ns(static_cast<uint64_t>(tick)) - kLaunchNs; }

static bool ParseTouch(const char* text, TimedTouch* touch) {
  char phase[8];
  int tick;
  float x, y;
  if (sscanf(text, "%d:%7[a-z]:%f:%f", &tick, phase, &x, &y) != 4 || tick < 1) return false;
  if (!strcmp(phase, "down")) touch->phase = kPlatTouchBegan;
  else if (!strcmp(phase, "move")) touch->phase = kPlatTouchMoved;
  else if (!strcmp(phase, "up")) touch->phase = kPlatTouchEnded;
  else return false;
  touch->at_ns = TickNs(tick - 1);
  touch->point = {x, y};
  return true;
}

static bool ParseOptions(int argc, char** argv, Options* o) {
  for (int i = 1; i < argc; i++) {
    std::string arg = argv[i];
    const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
    if (!value) return false;
    i++;
    if (arg == "--ticks") {
      o->ticks = atoi(value);
      if (o->ticks < 0) return false;
    } else if (arg == "--size") {
      if (sscanf(value, "%dx%d", &o->width, &o->height) != 2 || o->width <= 0 || o->height <= 0)
        return false;
    } else if (arg == "--touch") {
      TimedTouch touch;
      if (!ParseTouch(value, &touch)) return false;
      o->touches.push_back(touch);
    } else if (arg == "--random-presses") {
      o->random_presses = true;
      o->seed = strtoull(value, nullptr, 10);
    } else if (arg == "--png") {
      o->png = value;
    } else if (arg == "--wav") {
      o->wav = value;
    } else if (arg == "--memory") {
      o->memory = value;
    } else {
      return false;
    }
  }
  return true;
}

// ---------------------------------------------------------------------------------------------
// Random presses: the same seed gives the same presses on every machine.

static uint64_t NextRandom(uint64_t* state) {  // xorshift64*
  uint64_t x = *state;
  x ^= x >> 12;
  x ^= x << 25;
  x ^= x >> 27;
  *state = x;
  return x * 0x2545F4914F6CDD1Dull;
}

// A press every 1 to 2 s until the end: three in four inside a touch region (a button), the
// rest anywhere in the frame; held for up to two thirds of a second, with a move half-way.
static void AddRandomPresses(uint64_t seed, int ticks, std::vector<TimedTouch>* touches) {
  uint64_t state = seed * 2 + 1;  // never zero
  PlatRect frame = plat_screen_application_frame();
  for (int tick = 1 + static_cast<int>(NextRandom(&state) % 30); tick < ticks;) {
    PlatPoint p;
    int region = TouchLen > 1 ? 1 + static_cast<int>(NextRandom(&state) % (TouchLen - 1)) : 0;
    if (region && NextRandom(&state) % 4) {
      p = {static_cast<float>(Touch.x[region] + NextRandom(&state) % std::max(Touch.w[region], 1)),
           static_cast<float>(Touch.y[region] + NextRandom(&state) % std::max(Touch.h[region], 1))};
    } else {
      p = {static_cast<float>(NextRandom(&state) % static_cast<uint64_t>(frame.w)),
           static_cast<float>(NextRandom(&state) % static_cast<uint64_t>(frame.h))};
    }
    int held = 1 + static_cast<int>(NextRandom(&state) % 20);
    touches->push_back({TickNs(tick - 1), kPlatTouchBegan, p});
    touches->push_back({TickNs(tick - 1 + held / 2), kPlatTouchMoved, {p.x + 1, p.y + 1}});
    touches->push_back({TickNs(tick - 1 + held), kPlatTouchEnded, {p.x + 1, p.y + 1}});
    tick += held + 30 + static_cast<int>(NextRandom(&state) % 30);
  }
}

// ---------------------------------------------------------------------------------------------
// Outputs

static bool SaveScreen(PlatWindow* window, const char* path) {
  int w = 0, h = 0;
  plat_window_read_pixels(window, nullptr, 0, &w, &h);
  std::vector<uint8_t> pixels(static_cast<size_t>(w) * h * 4);
  return plat_window_read_pixels(window, pixels.data(), pixels.size(), &w, &h) &&
         WritePng(path, w, h, pixels.data());
}

static long ResidentKiB() {
  FILE* f = fopen("/proc/self/statm", "r");
  long pages = 0, resident = 0;
  if (f) {
    if (fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
    fclose(f);
  }
  return resident * 4;  // 4 KiB pages
}

// The sound from the last frame rendered up to the moment t, written as it goes: no more than
// one frame's worth is ever held.
// With no file, the sound is still rendered (the mixer runs as it would) and then dropped.
class SoundTrack {
 public:
  bool Open(const std::string& path, int rate) {
    rate_ = rate;
    writing_ = !path.empty();
    ok_ = !writing_ || wav_.Open(path.c_str(), rate, 2);
    return ok_;
  }
  void RenderUntil(uint64_t t_ns) {
    uint64_t until = t_ns * static_cast<uint64_t>(rate_) / 1000000000ull;
    while (rendered_ < until) {
      int n = static_cast<int>(std::min<uint64_t>(until - rendered_, kChunkFrames));
      plat_audio_render(chunk_, n);
      rendered_ += static_cast<uint64_t>(n);
      if (writing_ && !wav_.Write(chunk_, static_cast<size_t>(n))) ok_ = false;
    }
  }
  bool Close() { return !writing_ || (wav_.Close() && ok_); }

 private:
  static constexpr int kChunkFrames = 4096;
  WavWriter wav_;
  int rate_ = 0;
  uint64_t rendered_ = 0;
  bool writing_ = false, ok_ = true;
  int16_t chunk_[kChunkFrames * 2];
};

// ---------------------------------------------------------------------------------------------
// The run

int main(int argc, char** argv) {
  Options options;
  if (!ParseOptions(argc, argv, &options)) {
    fprintf(stderr,
            "usage: Replay [--ticks N] [--size WxH] [--touch TICK:down|move|up:X:Y]... "
            "[--random-presses SEED] [--png FILE] [--wav FILE] [--memory FILE]\n");
    return 2;
  }
  PlatConfig config{nullptr, true};
  if (!plat_init(&config)) {
    fprintf(stderr, "Replay: cannot open a window: %s\n", plat_error());
    return 1;
  }
  plat_clock_set_source(ReplayClock);
  DorvelAppDelegate* delegate = DorvelLoadMainInterface();
  if (!delegate->window()) {
    fprintf(stderr, "Replay: cannot open a window: %s\n", plat_error());
    return 1;
  }
  if (options.width) plat_window_set_size(delegate->window(), options.width, options.height);
  delegate->applicationDidFinishLaunching();

  std::vector<TimedTouch>& touches = options.touches;
  if (options.random_presses) AddRandomPresses(options.seed, options.ticks, &touches);
  std::stable_sort(touches.begin(), touches.end(),
                   [](const TimedTouch& a, const TimedTouch& b) { return a.at_ns < b.at_ns; });

  int status = 0;
  static SoundTrack sound;
  if (!sound.Open(options.wav, plat_audio_info().rate)) {
    fprintf(stderr, "Replay: cannot write %s\n", options.wav.c_str());
    status = 1;
  }
  long rss_start = 0;
  size_t next_touch = 0;
  // A touch at the moment a tick is due comes after that tick, as on the real loop.
  for (int tick = 1; tick <= options.ticks; tick++) {
    uint64_t tick_ns = TickNs(tick);
    for (; next_touch < touches.size() && touches[next_touch].at_ns < tick_ns; next_touch++) {
      const TimedTouch& t = touches[next_touch];
      sound.RenderUntil(t.at_ns);
      now_ns = kLaunchNs + std::max(t.at_ns, TickNs(tick - 1));
      plat_touch_inject(t.phase, t.point);
    }
    sound.RenderUntil(tick_ns);
    now_ns = kLaunchNs + tick_ns;
    plat_loop_step(false);
    if (tick == 1) rss_start = ResidentKiB();
  }

  if (!options.png.empty() && !SaveScreen(delegate->window(), options.png.c_str())) {
    fprintf(stderr, "Replay: cannot write %s\n", options.png.c_str());
    status = 1;
  }
  if (!sound.Close()) {
    fprintf(stderr, "Replay: cannot write %s\n", options.wav.c_str());
    status = 1;
  }
  if (!options.memory.empty()) {
    FILE* f = fopen(options.memory.c_str(), "w");
    if (!f || fprintf(f, "rss_start_kb %ld\nrss_end_kb %ld\n", rss_start, ResidentKiB()) < 0) {
      fprintf(stderr, "Replay: cannot write %s\n", options.memory.c_str());
      status = 1;
    }
    if (f) fclose(f);
  }
  plat_shutdown();
  return status;
}
