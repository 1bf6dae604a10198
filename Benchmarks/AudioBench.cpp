// What the audio path costs and how late it can be: one device buffer of the soundboard's nine
// clips mixed together, and the device's rate and buffer as SDL granted them.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <vector>

#include "Engine/Platform/Mixer.h"
#include "Engine/Platform/Platform.h"

static void BM_MixNineClips(benchmark::State& state) {
  static PlatMixer mixer;
  static std::vector<int16_t> clip(48000 * 2 * 10, 1000);  // ten seconds of stereo
  mixer.clear();
  for (int i = 0; i < 9; i++) mixer.play(mixer.add_voice(clip.data(), 48000 * 10));
  int frames = static_cast<int>(state.range(0));
  std::vector<int16_t> out(static_cast<size_t>(frames) * 2);
  for (auto _ : state) {
    mixer.render(out.data(), frames);
    for (int i = 0; i < 9; i++) mixer.set_position(i, 0);  // keep every clip sounding
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(state.iterations() * frames);
}
BENCHMARK(BM_MixNineClips)->Arg(256)->Arg(512);

// Printed once, after the benchmarks: the device as opened for the soundboard.
void PrintAudioDevice() {
  PlatConfig config{nullptr, false};
  if (!plat_init(&config)) {
    printf("audio device: platform did not start: %s\n", plat_error());
    return;
  }
  PlatAudioInfo info = plat_audio_info();
  if (info.device_open)
    printf("audio device: %d Hz, %d-frame buffer = %.2f ms per buffer\n", info.rate,
           info.buffer_frames, 1000.0 * info.buffer_frames / info.rate);
  else
    printf("audio device: none (the soundboard runs silently)\n");
  plat_shutdown();
}
