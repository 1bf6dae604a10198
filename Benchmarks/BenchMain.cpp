// The benchmarks' main: headless drivers, the stand-in application, then Google Benchmark.
#include <benchmark/benchmark.h>

#include <cstdlib>

int AppMain() { return 0; }
int OnTimer() { return 0; }

int main(int argc, char** argv) {
  setenv("SDL_VIDEODRIVER", "dummy", 0);
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
