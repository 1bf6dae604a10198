// The mixer: voices, their cues, and the saturating sum. See Mixer.h for the threading rules.
#include "Engine/Platform/Mixer.h"

#include <algorithm>
#include <cstring>

// ---------------------------------------------------------------------------------------------
// Cue word: rewind count (31 bits) | playing (1 bit) | frame to start from after a rewind (32 bits)

static constexpr uint32_t kEpochMask = 0x7fffffffu;

static uint64_t cue_pack(uint32_t epoch, bool playing, uint32_t start) {
  return (static_cast<uint64_t>(epoch & kEpochMask) << 33) |
         (static_cast<uint64_t>(playing) << 32) | start;
}
static uint32_t cue_epoch(uint64_t cue) { return static_cast<uint32_t>(cue >> 33); }
static bool cue_playing(uint64_t cue) { return (cue >> 32) & 1; }
static uint32_t cue_start(uint64_t cue) { return static_cast<uint32_t>(cue); }

static int16_t saturate(int32_t v) {
  return static_cast<int16_t>(std::clamp<int32_t>(v, INT16_MIN, INT16_MAX));
}

// ---------------------------------------------------------------------------------------------
// Main thread

// The voice, or nullptr for a number that is none.
static PlatMixerVoice* voice_of(PlatMixer* mixer, int voice) {
  bool valid = voice >= 0 && voice < mixer->count.load(std::memory_order_relaxed);
  return valid ? &mixer->voices[voice] : nullptr;
}

static void publish(PlatMixerVoice& v) {
  v.cue.store(cue_pack(v.epoch, v.playing, v.start), std::memory_order_release);
}

int mixer_add_voice(PlatMixer* mixer, const int16_t* samples, uint32_t frames) {
  int n = mixer->count.load(std::memory_order_relaxed);
  if (n >= kMixerVoices) return -1;
  PlatMixerVoice& v = mixer->voices[n];
  v.samples = samples;
  v.frames = frames;
  v.epoch = 0;
  v.playing = false;
  v.start = 0;
  v.seen_epoch = 0;
  v.position = 0;
  v.done = false;
  v.finished_epoch.store(0xffffffffu, std::memory_order_relaxed);
  publish(v);
  mixer->count.store(n + 1, std::memory_order_release);  // the renderer sees the voice whole
  return n;
}

void mixer_stop(PlatMixer* mixer, int voice) {
  PlatMixerVoice* v = voice_of(mixer, voice);
  if (!v) return;
  v->playing = false;
  publish(*v);
}

void mixer_set_position(PlatMixer* mixer, int voice, uint32_t frame) {
  PlatMixerVoice* v = voice_of(mixer, voice);
  if (!v) return;
  v->epoch = (v->epoch + 1) & kEpochMask;
  v->start = frame;
  publish(*v);
}

void mixer_play(PlatMixer* mixer, int voice) {
  PlatMixerVoice* found = voice_of(mixer, voice);
  if (!found) return;
  PlatMixerVoice& v = *found;
  // A clip that ran to its end starts again from 0 s, as a phone's player does.
  if (v.finished_epoch.load(std::memory_order_acquire) == v.epoch) {
    v.epoch = (v.epoch + 1) & kEpochMask;
    v.start = 0;
  }
  v.playing = true;
  publish(v);
}

void mixer_clear(PlatMixer* mixer) { mixer->count.store(0, std::memory_order_release); }

// ---------------------------------------------------------------------------------------------
// Renderer

// Follows the voice's cue and moves it on by up to `frames`: how many of its frames sound now,
// from *src.
static uint32_t step_voice(PlatMixerVoice& v, uint32_t frames, const int16_t** src) {
  uint64_t cue = v.cue.load(std::memory_order_acquire);
  if (cue_epoch(cue) != v.seen_epoch) {
    v.seen_epoch = cue_epoch(cue);
    v.position = cue_start(cue);
    v.done = false;
  }
  if (!cue_playing(cue) || v.done) return 0;
  uint32_t left = v.position < v.frames ? v.frames - v.position : 0;
  uint32_t n = std::min(left, frames);
  *src = v.samples + static_cast<size_t>(v.position) * kMixerChannels;
  v.position += n;
  if (v.position >= v.frames) {
    v.done = true;
    v.position = 0;
    v.finished_epoch.store(v.seen_epoch, std::memory_order_release);
  }
  return n;
}

void mixer_render(PlatMixer* mixer, int16_t* out, int frames) {
  int voices = mixer->count.load(std::memory_order_acquire);
  int32_t* sum = mixer->sum;
  while (frames > 0) {
    int block = std::min(frames, kMixerBlockFrames);
    std::memset(sum, 0, sizeof(int32_t) * block * kMixerChannels);
    for (int i = 0; i < voices; i++) {
      const int16_t* src = nullptr;
      uint32_t n = step_voice(mixer->voices[i], block, &src);
      for (uint32_t k = 0; k < n * kMixerChannels; k++) sum[k] += src[k];
    }
    for (int k = 0; k < block * kMixerChannels; k++) out[k] = saturate(sum[k]);
    out += block * kMixerChannels;
    frames -= block;
  }
}

void mixer_advance(PlatMixer* mixer, uint32_t frames) {
  int voices = mixer->count.load(std::memory_order_acquire);
  const int16_t* unheard = nullptr;
  for (int i = 0; i < voices; i++) step_voice(mixer->voices[i], frames, &unheard);
}
