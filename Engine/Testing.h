// A program's own tests on the engine: the program started as its main would start it, but
// with no system under it (link the engine without one, EngineNull, and not EngineMain), its
// clock moved only by the test, and every table put back for the next test.
//
//   EngineTestStart(bundle);        AppMain has run; the window is a frame in memory at 1:1
//   EngineTestTicks(3);             OnTimer three times, and the frame drawn
//   plat_touch_inject(kPlatTouchBegan, {x, y});   a finger, in frame points (Platform.h)
//   plat_loop_step(false);          ... handled, and drawn
//   EngineTestStop();
//
// Platform.h has the rest of what a test looks at: plat_window_read_pixels, plat_audio_render
// (sound is mixed only when asked), plat_element_at.
#pragma once

#include "Engine/Platform/Platform.h"

// Starts the platform and the program, as main does: the bundle from `bundle_dir` (nullptr:
// the executable's folder), sound rendered only by plat_audio_render, and a clock of the test's
// own that stands still until EngineTestTicks. False, with plat_error, when it cannot start.
bool EngineTestStart(const char* bundle_dir);

// Moves the clock to the next tick's due time and runs the loop, `ticks` times: OnTimer runs
// once for each, and what changed is drawn.
void EngineTestTicks(int ticks);

// Stops the platform and puts every table, counter and path back as at process start, so that
// the next EngineTestStart begins as a new process would.
void EngineTestStop();
