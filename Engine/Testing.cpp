// Starting and stepping the engine for a program's tests: the host's start, a clock of our own.
#include "Engine/Testing.h"

#include "Engine/DorvelAppDelegate.h"
#include "Engine/Internal.h"
#include "Engine/Limits.h"
#include "Engine/Platform/FrameClock.h"

static constexpr uint64_t kTestStartNs = 1000000000;  // a clock that does not start at zero

static uint64_t test_now_ns = kTestStartNs;
static uint64_t ticks_run = 0;

static uint64_t TestClock() { return test_now_ns; }

bool EngineTestStart(const char* bundle_dir) {
  test_now_ns = kTestStartNs;
  ticks_run = 0;
  PlatConfig config{bundle_dir, true, TestClock};
  return plat_application_start(&config, &kDorvelAppHooks);
}

void EngineTestTicks(int ticks) {
  PlatFrameClock clock(kTestStartNs, kFrameInterval);
  for (int i = 0; i < ticks; i++) {
    test_now_ns = clock.due_ns(++ticks_run);
    plat_loop_step(false);
  }
}

void EngineTestStop() {
  plat_shutdown();
  EngineReset();
}
