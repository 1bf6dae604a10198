// Players over the shared mixer: each clip decoded and converted once, to the mixer's format,
// when its player is made; stop, rewind and play are cues to the mixer. The device, when there
// is one, pulls the mixer on its own thread; without one, plat_audio_render does. A device that
// runs its own copy of the mixer (a browser's audio thread) takes the cues through its port.
//
// A clip its backend is still bringing (a browser's, while the page starts) makes a player that
// waits for it: what it is asked meanwhile is kept and done when the clip comes. A press asks
// the backend to bring that clip first, and sounds if the clip comes within kLatePlayMs of it;
// later, it does not sound at all, since a sound from nowhere seconds after a press is worse
// than none.
#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "Engine/Platform/Core.h"
#include "Engine/Platform/Mixer.h"

// ---------------------------------------------------------------------------------------------
// State

struct PlatPlayer {
  PlatSamples clip;
  int voice = -1;
  std::string waiting_for;  // the clip's file while its backend is still bringing it
  // What it was asked while waiting: to play (when it was asked), from a position.
  bool play = false;
  uint64_t asked_ns = 0;
  bool positioned = false;
  uint32_t position = 0;
};

namespace {
struct AudioState {
  std::vector<std::unique_ptr<PlatPlayer>> players;
  bool wanted = false;  // a device, not offline rendering: one that goes is replaced
  bool device = false;  // one is open and pulls the mixer
  // While one is wanted and none is open, the clips keep time by the clock: since
  // silent_since_ns, silent_frames of it have passed.
  uint64_t silent_since_ns = 0;
  uint64_t silent_frames = 0;
  PlatAudioInfo info{false, kMixerRate, 0};
};
}  // namespace

static AudioState g;
static PlatMixer g_mixer;  // apart from the state: it is shared with the audio thread

// Cues go to the mixer here, unless the device mixes with a copy of its own.
static const PlatMixerPort kOwnMixer = {
    [](const int16_t* samples, uint32_t frames) { return mixer_add_voice(&g_mixer, samples, frames); },
    [](int voice) { mixer_stop(&g_mixer, voice); },
    [](int voice, uint32_t frame) { mixer_set_position(&g_mixer, voice, frame); },
    [](int voice) { mixer_play(&g_mixer, voice); },
};
static const PlatMixerPort* g_port = &kOwnMixer;

// The tap and its context, read by the mixing thread: swapped whole, as one pair.
namespace {
struct Tap {
  PlatAudioTap fn;
  void* ctx;
};
}  // namespace
static Tap g_taps[2];
static std::atomic<Tap*> g_tap{nullptr};

static void pull_mixer(int16_t* out, int frames) {
  mixer_render(&g_mixer, out, frames);
  if (Tap* tap = g_tap.load(std::memory_order_acquire)) tap->fn(tap->ctx, out, frames);
}

// ---------------------------------------------------------------------------------------------
// Life cycle

// The default device, at the mixer's rate unless any_rate (before any clip was decoded at it).
static bool open_device(bool any_rate) {
  PlatAudioInfo granted{};
  const PlatMixerPort* port = nullptr;
  core_set_error("%s", "");  // the backend's reason, if it fails
  if (!backend_audio_open(g.info.rate, any_rate, kDeviceBufferFrames, pull_mixer, &granted,
                          &port))
    return false;
  g.device = true;
  g.info = granted;
  if (port) g_port = port;
  return true;
}

// A backend whose device is on its way (a browser's, made once the first frame is shown) gives
// no reason: that is no failure to report.
static void go_silent(const char* why) {
  if (*plat_error()) fprintf(stderr, "%s (%s): running silent until one appears.\n", why, plat_error());
  g.info.device_open = false;
  g.info.buffer_frames = 0;
  g.silent_since_ns = plat_clock_now_ns();
  g.silent_frames = 0;
}

void audio_start(bool open_device_now) {
  g.wanted = open_device_now;
  if (g.wanted && !open_device(true)) go_silent("No audio device");
}

// A clip that was playing when its device went carries on in time, as if heard: what comes
// back is where it would be. A press while silent is not kept to burst out later.
void audio_keep_time(void) {
  if (!g.wanted || g.device) return;
  uint64_t elapsed_ns = plat_clock_now_ns() - g.silent_since_ns;
  auto due = static_cast<uint64_t>(static_cast<double>(elapsed_ns) * g.info.rate / 1e9);
  if (due <= g.silent_frames) return;
  mixer_advance(&g_mixer, static_cast<uint32_t>(std::min<uint64_t>(due - g.silent_frames,
                                                                   UINT32_MAX)));
  g.silent_frames = due;
}

void core_audio_device_lost(void) {
  if (!g.device) return;
  backend_audio_close();
  g.device = false;
  if (!open_device(false)) go_silent("The audio device is gone");  // else the new default
}

void core_audio_device_added(void) {
  if (!g.wanted || g.device) return;
  audio_keep_time();
  open_device(false);
}

void audio_stop(void) {
  if (g.device) backend_audio_close();  // no pull after this
  g_tap.store(nullptr, std::memory_order_release);
  mixer_clear(&g_mixer);
  g_port = &kOwnMixer;
  g = AudioState{};
}

// ---------------------------------------------------------------------------------------------
// Public

// The player's clip to the mixer: its voice, or -1.
static int give_voice(PlatPlayer* player) {
  const std::vector<int16_t>& samples = player->clip.stereo;
  uint32_t frames = static_cast<uint32_t>(samples.size() / kMixerChannels);
  return player->voice = g_port->add_voice(samples.data(), frames);
}

PlatPlayer* plat_player_create(const char* path) {
  if (!loop_started()) return nullptr;
  std::string file = paths_in_bundle(path);
  if (file.empty()) return nullptr;
  auto player = std::make_unique<PlatPlayer>();
  if (backend_decode_clip(file.c_str(), g.info.rate, &player->clip)) {
    if (give_voice(player.get()) < 0) return nullptr;
  } else if (backend_clip_pending(file.c_str())) {
    player->waiting_for = file;
  } else {
    return nullptr;
  }
  g.players.push_back(std::move(player));
  return g.players.back().get();
}

void core_clips_arrived(void) {
  for (auto& p : g.players) {
    PlatPlayer* player = p.get();
    if (player->waiting_for.empty() || backend_clip_pending(player->waiting_for.c_str())) continue;
    std::string file = std::move(player->waiting_for);
    player->waiting_for.clear();
    if (!backend_decode_clip(file.c_str(), g.info.rate, &player->clip) || give_voice(player) < 0) {
      player->clip = PlatSamples{};  // it stays silent, as a player whose file would not load
      continue;
    }
    if (player->positioned) g_port->set_position(player->voice, player->position);
    bool in_time = plat_clock_now_ns() - player->asked_ns <= kLatePlayMs * uint64_t{1000000};
    if (player->play && in_time) g_port->play(player->voice);
  }
}

static bool waiting(const PlatPlayer* player) { return !player->waiting_for.empty(); }

void plat_player_stop(PlatPlayer* player) {
  if (!player) return;
  if (waiting(player)) player->play = false;
  else g_port->stop(player->voice);
}

void plat_player_set_current_time(PlatPlayer* player, double seconds) {
  if (!player) return;
  double frame = std::clamp(seconds * g.info.rate, 0.0, static_cast<double>(UINT32_MAX));
  if (waiting(player)) {
    player->positioned = true;
    player->position = static_cast<uint32_t>(frame);
  } else {
    g_port->set_position(player->voice, static_cast<uint32_t>(frame));
  }
}

void plat_player_play(PlatPlayer* player) {
  if (!player) return;
  if (!waiting(player)) {
    g_port->play(player->voice);
    return;
  }
  player->play = true;
  player->asked_ns = plat_clock_now_ns();
  backend_clip_wanted(player->waiting_for.c_str());
}

PlatAudioInfo plat_audio_info(void) { return g.info; }

void plat_audio_render(int16_t* out, int frames) {
  if (g.wanted || !out || frames <= 0) return;  // the device's thread, or the clock, moves it
  pull_mixer(out, frames);
}

// Set seldom (once, for a measurement): each setting goes into the slot the mixing thread is
// not reading, then is published.
void plat_audio_set_tap(PlatAudioTap tap, void* ctx) {
  if (!tap) {
    g_tap.store(nullptr, std::memory_order_release);
    return;
  }
  Tap* slot = g_tap.load(std::memory_order_acquire) == &g_taps[0] ? &g_taps[1] : &g_taps[0];
  *slot = {tap, ctx};
  g_tap.store(slot, std::memory_order_release);
}
