// The micro-benchmarks' main: Google Benchmark, reporting each figure as a `name value` line.
// A benchmark names its figure in its label, whose unit (_ns, _ms) is the one it is timed in;
// a figure computed from the timing is a counter of that name.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>

int AppMain() { return 0; }
int OnTimer() { return 0; }

namespace {
class FigureReporter : public benchmark::BenchmarkReporter {
 public:
  bool ReportContext(const Context&) override { return true; }
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.error_occurred) {
        fprintf(stderr, "%s: %s\n", run.benchmark_name().c_str(), run.error_message.c_str());
        continue;
      }
      if (!run.report_label.empty()) printf("%s %.3f\n", run.report_label.c_str(), run.GetAdjustedRealTime());
      for (const auto& [name, counter] : run.counters) printf("%s %.3f\n", name.c_str(), double(counter));
    }
  }
};
}  // namespace

int main(int argc, char** argv) {
  setenv("SDL_VIDEODRIVER", "offscreen", 0);
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  benchmark::Initialize(&argc, argv);
  FigureReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
