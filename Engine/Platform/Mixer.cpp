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

bool PlatMixer::valid(int voice) const {
  return voice >= 0 && voice < count_.load(std::memory_order_relaxed);
}

void PlatMixer::publish(Voice& v) {
  v.cue.store(cue_pack(v.epoch, v.playing, v.start), std::memory_order_release);
}

int PlatMixer::add_voice(const int16_t* samples, uint32_t frames) {
  int n = count_.load(std::memory_order_relaxed);
  if (n >= kVoices) return -1;
  Voice& v = voices_[n];
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
  count_.store(n + 1, std::memory_order_release);  // the renderer sees the voice whole
  return n;
}

void PlatMixer::stop(int voice) {
  if (!valid(voice)) return;
  voices_[voice].playing = false;
  publish(voices_[voice]);
}

void PlatMixer::set_position(int voice, uint32_t frame) {
  if (!valid(voice)) return;
  Voice& v = voices_[voice];
  v.epoch = (v.epoch + 1) & kEpochMask;
  v.start = frame;
  publish(v);
}

void PlatMixer::play(int voice) {
  if (!valid(voice)) return;
  Voice& v = voices_[voice];
  // A clip that ran to its end starts again from 0 s, as a phone's player does.
  if (v.finished_epoch.load(std::memory_order_acquire) == v.epoch) {
    v.epoch = (v.epoch + 1) & kEpochMask;
    v.start = 0;
  }
  v.playing = true;
  publish(v);
}

void PlatMixer::clear() {
  count_.store(0, std::memory_order_release);
}

// ---------------------------------------------------------------------------------------------
// Renderer

void PlatMixer::render(int16_t* out, int frames) {
  int voices = count_.load(std::memory_order_acquire);
  while (frames > 0) {
    int block = std::min(frames, kBlockFrames);
    std::memset(sum_, 0, sizeof(int32_t) * block * kChannels);
    for (int i = 0; i < voices; i++) {
      Voice& v = voices_[i];
      uint64_t cue = v.cue.load(std::memory_order_acquire);
      if (cue_epoch(cue) != v.seen_epoch) {
        v.seen_epoch = cue_epoch(cue);
        v.position = cue_start(cue);
        v.done = false;
      }
      if (!cue_playing(cue) || v.done) continue;
      uint32_t left = v.position < v.frames ? v.frames - v.position : 0;
      uint32_t n = std::min<uint32_t>(left, block);
      const int16_t* src = v.samples + static_cast<size_t>(v.position) * kChannels;
      for (uint32_t k = 0; k < n * kChannels; k++) sum_[k] += src[k];
      v.position += n;
      if (v.position >= v.frames) {
        v.done = true;
        v.position = 0;
        v.finished_epoch.store(v.seen_epoch, std::memory_order_release);
      }
    }
    for (int k = 0; k < block * kChannels; k++) out[k] = saturate(sum_[k]);
    out += block * kChannels;
    frames -= block;
  }
}
