// What mixing costs: all nine of the soundboard's clips sounding at once, one device buffer at
// a time, as a share of the real time that buffer lasts.
#include <benchmark/benchmark.h>

#include <vector>

#include "Engine/Platform/Mixer.h"

static constexpr int kRate = 48000;
static constexpr int kBufferFrames = 256;

static void BM_MixNineClips(benchmark::State& state) {
  static PlatMixer mixer;
  static std::vector<int16_t> clip(kRate * 2 * 10, 1000);  // ten seconds of stereo
  mixer_clear(&mixer);
  for (int i = 0; i < 9; i++) mixer_play(&mixer, mixer_add_voice(&mixer, clip.data(), kRate * 10));
  std::vector<int16_t> out(kBufferFrames * 2);
  int buffers = 0;
  for (auto _ : state) {
    mixer_render(&mixer, out.data(), kBufferFrames);
    if (++buffers == 1000) {  // keep every clip sounding
      for (int i = 0; i < 9; i++) mixer_set_position(&mixer, i, 0);
      buffers = 0;
    }
    benchmark::DoNotOptimize(out.data());
  }
  // Seconds per buffer over the buffer's own length, in percent.
  state.counters["mix_9_clips_cpu_percent"] = benchmark::Counter(
      static_cast<double>(kBufferFrames) / kRate / 100, benchmark::Counter::kIsIterationInvariantRate |
                                                             benchmark::Counter::kInvert);
}
BENCHMARK(BM_MixNineClips);
