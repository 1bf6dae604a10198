// The benchmarks' main: headless video, the stand-in application, Google Benchmark, then the
// figures that are read rather than timed.
#include <benchmark/benchmark.h>

#include <cstdlib>

void PrintAudioDevice();

int AppMain() { return 0; }
int OnTimer() { return 0; }

int main(int argc, char** argv) {
  setenv("SDL_VIDEODRIVER", "dummy", 0);  // the audio device is the machine's own
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  PrintAudioDevice();
  return 0;
}
