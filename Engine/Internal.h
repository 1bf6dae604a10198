// The engine's own helpers, shared by its tables and by its tests; not installed, so that a
// program sees only the engine's API (a program's tests start and reset it with Testing.h).
#pragma once

// Each table as at process start: the window object, the image and view tables, FrameSeed and
// the paths; the touch object, regions, links and buttons; the sound table (its players go
// with plat_shutdown). EngineReset does them all, and forgets the host's objects.
void WinReset();
void TouchReset();
void SoundReset();
void EngineReset();

bool StrJoin(char* dst, int size, const char* a, const char* b);  // a + b, or "" if it won't fit
int PointToInt(float v);  // truncation toward zero, clamped to int's range; NaN gives 0
