// Leaks on purpose, once from our own code and once through SDL, under the same suppressions
// as every other program: the leak checker must still fail it (the test expects it to).
#include <SDL.h>

#include <cstdio>
#include <cstdlib>

void* volatile gLastPointer = nullptr;

int main() {
  gLastPointer = malloc(4096);
  gLastPointer = nullptr;  // forgotten: no pointer to it is left anywhere
  SDL_Surface* through_sdl = SDL_CreateRGBSurfaceWithFormat(0, 8, 8, 32, SDL_PIXELFORMAT_ABGR8888);
  if (!through_sdl) return 2;
  through_sdl = nullptr;
  puts("leaked two blocks on purpose");
  return 0;
}
