// Leaks on purpose, once from our own code and once through SDL, under the same suppressions
// as every other program: the leak checker must still report both (leak-probe.sh checks the
// report itself, not merely a failure).
#include <SDL.h>

#include <cstdio>
#include <cstdlib>

void* volatile gLastPointer = nullptr;

// Stale copies of the pointers left in dead stack frames would count as references when the
// checker scans the stack at exit: they are written over first.
__attribute__((noinline)) static void ScrubStack() {
  volatile char junk[64 * 1024];
  for (size_t i = 0; i < sizeof junk; i++) junk[i] = 0;
}

__attribute__((noinline)) static bool Leak() {
  gLastPointer = malloc(4096);
  gLastPointer = nullptr;  // forgotten: no pointer to it is left anywhere
  gLastPointer = SDL_CreateRGBSurfaceWithFormat(0, 8, 8, 32, SDL_PIXELFORMAT_ABGR8888);
  if (!gLastPointer) return false;
  gLastPointer = nullptr;
  return true;
}

int main() {
  if (!Leak()) return 2;
  ScrubStack();
  puts("leaked two blocks on purpose");
  return 0;
}
