// The mixer: sums the clips that are playing into 16-bit stereo, with saturation. The same code
// runs in the audio device's callback and offline (tests, replays), so what is heard and what is
// rendered offline are the same samples. Shared by every backend; no allocation when mixing.
//
// Threads: the main thread adds voices and sends stop, rewind and play; one other thread (the
// device's, or the offline caller) renders. They meet only through atomics: the main thread
// publishes a voice's cue (play flag, position to start from and a rewind count) as one word,
// and the renderer follows it. Nothing waits on either side.
#pragma once

#include <atomic>
#include <cstdint>

#include "Engine/Limits.h"

constexpr int kMixerVoices = kTableSlots;  // one voice per player: one for every sound slot
constexpr int kMixerChannels = 2;          // interleaved left, right
constexpr int kMixerBlockFrames = 512;     // frames summed at a time

struct PlatMixerVoice {
  const int16_t* samples = nullptr;
  uint32_t frames = 0;
  std::atomic<uint64_t> cue{0};                      // written by the main thread
  std::atomic<uint32_t> finished_epoch{0xffffffffu};  // written by the renderer
  // The main thread's own copy of what it last published.
  uint32_t epoch = 0;
  bool playing = false;
  uint32_t start = 0;
  // The renderer's own state.
  uint32_t seen_epoch = 0;
  uint32_t position = 0;
  bool done = false;
};

struct PlatMixer {
  PlatMixerVoice voices[kMixerVoices];
  std::atomic<int> count{0};
  int32_t sum[kMixerBlockFrames * kMixerChannels];  // the renderer's
};

// Main thread. A clip of `frames` interleaved stereo frames, whose samples must outlive the
// mixer's use of them: its voice number, or -1 when every voice is taken.
int mixer_add_voice(PlatMixer* mixer, const int16_t* samples, uint32_t frames);
void mixer_stop(PlatMixer* mixer, int voice);  // silent from the next render; keeps the position
void mixer_set_position(PlatMixer* mixer, int voice, uint32_t frame);
void mixer_play(PlatMixer* mixer, int voice);  // from the position; from the start after the end

// Renderer: writes `frames` stereo frames of the mix into out.
void mixer_render(PlatMixer* mixer, int16_t* out, int frames);
// Renderer: moves every clip on by `frames` as a render would, mixing nothing (time kept while
// no device is there to hear it).
void mixer_advance(PlatMixer* mixer, uint32_t frames);

// Forgets every voice; only while nothing renders.
void mixer_clear(PlatMixer* mixer);
