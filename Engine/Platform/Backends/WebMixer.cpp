// The mixer for a browser's audio thread: the engine's own mixer (Mixer.cpp), compiled to a
// small WebAssembly module of its own with memory of its own, which WebMixer.js instantiates
// inside an AudioWorkletProcessor. Having no memory in common with the program, it needs no
// cross-origin isolation: the page sends it each clip once and the cues as messages, and the
// processor applies them between renders, on the thread that renders.
#include <emscripten.h>

#include <algorithm>
#include <cstdlib>

#include "Engine/Platform/Mixer.h"

static constexpr int kMaxRenderFrames = 4096;  // a render quantum is 128 frames today

static PlatMixer g_mixer;
static int16_t g_out[kMaxRenderFrames * kMixerChannels];

extern "C" {

// Room for a clip of `frames` stereo frames, to be filled and then added; nullptr when there is
// no memory left.
EMSCRIPTEN_KEEPALIVE int16_t* web_mixer_clip(uint32_t frames) {
  return static_cast<int16_t*>(malloc(static_cast<size_t>(frames) * kMixerChannels * 2));
}

// A clip that found no room is added empty, so that the voices keep the numbers the page gave.
EMSCRIPTEN_KEEPALIVE int web_mixer_add(const int16_t* samples, uint32_t frames) {
  return mixer_add_voice(&g_mixer, samples, samples ? frames : 0);
}

EMSCRIPTEN_KEEPALIVE void web_mixer_stop(int voice) { mixer_stop(&g_mixer, voice); }

EMSCRIPTEN_KEEPALIVE void web_mixer_set_position(int voice, uint32_t frame) {
  mixer_set_position(&g_mixer, voice, frame);
}

EMSCRIPTEN_KEEPALIVE void web_mixer_play(int voice) { mixer_play(&g_mixer, voice); }

// Mixes the next frames into a buffer of interleaved 16-bit stereo and gives where it is.
EMSCRIPTEN_KEEPALIVE const int16_t* web_mixer_render(int frames) {
  mixer_render(&g_mixer, g_out, std::clamp(frames, 0, kMaxRenderFrames));
  return g_out;
}
}
