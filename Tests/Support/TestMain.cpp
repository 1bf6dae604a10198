// The tests' main: every test runs headless, whatever the machine has, so the SDL drivers are
// chosen here rather than by hand.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

// Tests capture standard output to check the engine's lines, which would swallow gtest's own
// report of a failure; failures are therefore also written to standard error, as they happen.
class FailuresToStderr : public testing::EmptyTestEventListener {
  void OnTestPartResult(const testing::TestPartResult& result) override {
    if (result.failed())
      fprintf(stderr, "%s:%d: Failure\n%s\n", result.file_name() ? result.file_name() : "?",
              result.line_number(), result.message());
  }
};

int main(int argc, char** argv) {
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  testing::InitGoogleTest(&argc, argv);
  testing::UnitTest::GetInstance()->listeners().Append(new FailuresToStderr);
  return RUN_ALL_TESTS();
}
