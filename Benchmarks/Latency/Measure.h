// What the latency benchmarks share: a presser that touches a button from another thread at
// random moments, as a person would, with the moment each touch entered SDL's event queue, the
// detection of a clip's first frames in a mixed buffer, and the figures printed as
// `name value` lines.
#pragma once

#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "Tests/Support/Readers.h"

inline uint64_t NowNs() {
  return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                   std::chrono::steady_clock::now().time_since_epoch())
                                   .count());
}

// The value below which `p` percent of the samples lie (nearest rank).
inline double Percentile(std::vector<double> v, double p) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  size_t rank = static_cast<size_t>(std::ceil(p / 100 * v.size()));
  return v[std::min(v.size() - 1, rank > 0 ? rank - 1 : 0)];
}

inline void Print(const std::string& name, double value) { printf("%s %.3f\n", name.c_str(), value); }

// True when the buffer starts with the clip's first frames (a mono clip, on both sides): the
// buffer that carries its first sample, as a restart always begins at a buffer's start.
inline bool StartsWithClip(const int16_t* out, int frames, const std::vector<int16_t>& clip) {
  int n = std::min<int>(frames, static_cast<int>(clip.size()));
  if (n < 16) return false;
  for (int i = 0; i < n; i++)
    if (out[2 * i] != clip[i] || out[2 * i + 1] != clip[i]) return false;
  return true;
}

// Presses a point of the window again and again from its own thread, at random moments, through
// SDL's event queue; each press is released once it has been seen and heard, or after a second.
class Presser {
 public:
  std::atomic<uint64_t> pressed_at{0};  // when the current press was queued; 0: none pending
  std::atomic<uint64_t> heard_at{0}, seen_at{0};
  std::vector<double> to_sound_ms, to_screen_ms;

  void Run(int presses, int x, int y, unsigned seed) {
    std::mt19937 random(seed);
    for (int i = 0; i < presses; i++) {
      std::this_thread::sleep_for(std::chrono::microseconds(150000 + random() % 250000));
      heard_at = seen_at = 0;
      Push(SDL_MOUSEBUTTONDOWN, x, y);  // stamped just before it enters the queue
      uint64_t deadline = NowNs() + 1000000000ull;
      while ((!heard_at || (track_screen && !seen_at)) && NowNs() < deadline)
        std::this_thread::sleep_for(std::chrono::microseconds(200));
      uint64_t at = pressed_at.exchange(0);
      if (heard_at) to_sound_ms.push_back((heard_at - at) / 1e6);
      if (seen_at) to_screen_ms.push_back((seen_at - at) / 1e6);
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      Push(SDL_MOUSEBUTTONUP, x, y);
    }
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    SDL_PushEvent(&quit);
  }

  // On the thread that sees it: the first time after the press.
  void Heard() {
    uint64_t expected = 0;
    if (pressed_at.load()) heard_at.compare_exchange_strong(expected, NowNs());
  }
  void Seen() {
    uint64_t expected = 0;
    if (pressed_at.load()) seen_at.compare_exchange_strong(expected, NowNs());
  }

  bool track_screen = false;

 private:
  void Push(Uint32 type, int x, int y) {
    SDL_Event e{};
    e.type = type;
    e.button.button = SDL_BUTTON_LEFT;
    e.button.state = type == SDL_MOUSEBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
    e.button.x = x;
    e.button.y = y;
    if (type == SDL_MOUSEBUTTONDOWN) pressed_at = NowNs();
    SDL_PushEvent(&e);
  }
};

// A mono clip of the bundle at the given rate; empty when the file is not that.
inline std::vector<int16_t> LoadMonoClip(const std::string& path, int rate) {
  WavFile wav = LoadWav(path);
  return wav.channels == 1 && wav.rate == rate ? wav.samples : std::vector<int16_t>{};
}
