// The competitor: SDL2_mixer playing the same clip, pressed the same way, its touches waited for
// with SDL's own event loop, as its documentation suggests (a chunk of 2048 frames) or with the
// chunk given.
//
// usage: MixerLatencyBench BUNDLE CHUNK PRESSES PREFIX
#include <SDL_mixer.h>

#include <cstdlib>
#include <string>
#include <thread>

#include "Benchmarks/Latency/Measure.h"

static Presser presser;
static std::vector<int16_t> clip;

static void SDLCALL PostMix(void*, Uint8* stream, int bytes) {
  if (StartsWithClip(reinterpret_cast<int16_t*>(stream), bytes / 4, clip)) presser.Heard();
}

int main(int argc, char** argv) {
  if (argc != 5) {
    fprintf(stderr, "usage: MixerLatencyBench BUNDLE CHUNK PRESSES PREFIX\n");
    return 2;
  }
  std::string bundle = argv[1], prefix = argv[4];
  int chunk = atoi(argv[2]), presses = atoi(argv[3]);
  setenv("SDL_VIDEODRIVER", "offscreen", 0);
  if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_AUDIO) != 0 ||
      !SDL_CreateWindow("Mixer", 0, 0, 320, 460, 0) ||
      Mix_OpenAudio(48000, AUDIO_S16SYS, 2, chunk) != 0) {
    fprintf(stderr, "MixerLatencyBench: %s\n", SDL_GetError());
    return 1;
  }
  int rate = 0, channels = 0;
  Uint16 format = 0;
  Mix_QuerySpec(&rate, &format, &channels);
  Mix_Chunk* coin = Mix_LoadWAV((bundle + "/Coin.wav").c_str());
  clip = LoadMonoClip(bundle + "/Coin.wav", rate);
  if (!coin || clip.empty() || channels != 2) {
    fprintf(stderr, "MixerLatencyBench: cannot play the clip at %d Hz\n", rate);
    return 1;
  }
  Mix_SetPostMix(PostMix, nullptr);
  std::thread thread([presses] { presser.Run(presses, 40, 255, 7); });
  for (SDL_Event e; SDL_WaitEvent(&e) && e.type != SDL_QUIT;)
    if (e.type == SDL_MOUSEBUTTONDOWN) Mix_PlayChannel(0, coin, 0);  // channel 0: a restart
  thread.join();
  Print(prefix + "touch_to_sound_p50_ms", Percentile(presser.to_sound_ms, 50));
  Print(prefix + "touch_to_sound_p99_ms", Percentile(presser.to_sound_ms, 99));
  Print(prefix + "audio_period_ms", 1000.0 * chunk / rate);
  Print(prefix + "presses_heard", static_cast<double>(presser.to_sound_ms.size()));
  Mix_FreeChunk(coin);
  Mix_CloseAudio();
  SDL_Quit();
  return 0;
}
