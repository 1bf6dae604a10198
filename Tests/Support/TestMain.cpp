// The tests' main: every test runs headless, whatever the machine has, so the SDL drivers are
// chosen here rather than by hand.
#include <gtest/gtest.h>

#include <cstdlib>

// SDL's drivers keep a few allocations until exit; only our own leaks are of interest.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libSDL2\nleak:libX11\nleak:libdbus\nleak:libEGL\nleak:libGLX\nleak:dri\n";
}

int main(int argc, char** argv) {
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
