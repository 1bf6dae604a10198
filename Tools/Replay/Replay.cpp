// Replay: runs the soundboard without waiting for anything, on a clock of its own, with
// scripted touches; writes what was on the screen at the end and everything it played.
// The same arguments give the same picture and the same samples on every run.
//
// usage: Replay [--ticks N] [--size WxH] [--touch TICK:down|move|up:X:Y]... [--png FILE] [--wav FILE]
//   TICK counts from 1, the first frame; X and Y are in points; WxH in window pixels.
//   Run it headless with SDL_VIDEODRIVER=offscreen.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "Engine/DorvelAppDelegate.h"
#include "Engine/Limits.h"
#include "Engine/Platform/FrameClock.h"
#include "Engine/Platform/Platform.h"
#include "Tools/Media/Media.h"

struct ScriptedTouch {
  int tick;
  PlatTouchPhase phase;
  PlatPoint point;
};

struct Options {
  int ticks = 60;
  int width = 0, height = 0;
  std::vector<ScriptedTouch> touches;
  std::string png, wav;
};

static uint64_t now_ns = 1000000000;
static uint64_t ReplayClock() { return now_ns; }

static bool SaveScreen(PlatWindow* window, const char* path) {
  int w = 0, h = 0;
  plat_window_read_pixels(window, nullptr, 0, &w, &h);
  std::vector<uint8_t> pixels(static_cast<size_t>(w) * h * 4);
  return plat_window_read_pixels(window, pixels.data(), pixels.size(), &w, &h) &&
         WritePng(path, w, h, pixels.data());
}

static bool ParseTouch(const char* text, ScriptedTouch* touch) {
  char phase[8];
  float x, y;
  if (sscanf(text, "%d:%7[a-z]:%f:%f", &touch->tick, phase, &x, &y) != 4 || touch->tick < 1)
    return false;
  if (!strcmp(phase, "down")) touch->phase = kPlatTouchBegan;
  else if (!strcmp(phase, "move")) touch->phase = kPlatTouchMoved;
  else if (!strcmp(phase, "up")) touch->phase = kPlatTouchEnded;
  else return false;
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
      ScriptedTouch touch;
      if (!ParseTouch(value, &touch)) return false;
      o->touches.push_back(touch);
    } else if (arg == "--png") {
      o->png = value;
    } else if (arg == "--wav") {
      o->wav = value;
    } else {
      return false;
    }
  }
  return true;
}

int main(int argc, char** argv) {
  Options options;
  if (!ParseOptions(argc, argv, &options)) {
    fprintf(stderr,
            "usage: Replay [--ticks N] [--size WxH] [--touch TICK:down|move|up:X:Y]... "
            "[--png FILE] [--wav FILE]\n");
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
  const PlatFrameClock schedule(now_ns, kFrameInterval);  // the frame clock's own
  delegate->applicationDidFinishLaunching();

  int rate = plat_audio_info().rate;
  std::vector<int16_t> sound;
  for (int tick = 1; tick <= options.ticks; tick++) {
    for (const ScriptedTouch& t : options.touches)
      if (t.tick == tick) plat_touch_inject(t.phase, t.point);
    now_ns = schedule.due_ns(static_cast<uint64_t>(tick));
    plat_loop_step(false);
    // The sound of this frame: up to the frame's end, in step with the clock.
    size_t frames = static_cast<size_t>(tick) * rate / kFrameRate - sound.size() / 2;
    sound.resize(sound.size() + frames * 2);
    plat_audio_render(sound.data() + sound.size() - frames * 2, static_cast<int>(frames));
  }

  int status = 0;
  if (!options.png.empty() && !SaveScreen(delegate->window(), options.png.c_str())) {
    fprintf(stderr, "Replay: cannot write %s\n", options.png.c_str());
    status = 1;
  }
  if (!options.wav.empty() &&
      !WriteWav(options.wav.c_str(), rate, 2, sound.data(), sound.size() / 2)) {
    fprintf(stderr, "Replay: cannot write %s\n", options.wav.c_str());
    status = 1;
  }
  plat_shutdown();
  return status;
}
