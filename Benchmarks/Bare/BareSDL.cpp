// The competitors the soundboard's own costs are measured against: a bare SDL program of the
// same window, with none of the engine, drawing in plain memory through SDL's window surface.
//
// usage: BareSDL MODE [WxH]
//   sprite  moves a sprite-sized rectangle 30 times a second and pushes only its old and new
//           rectangles: the floor for a moving sprite
//   whole   draws the whole window 30 times a second and pushes all of it
//   once    opens the window, presents it once and ends (start-up and memory)
// It runs until closed, or SIGTERM; headless under SDL_VIDEODRIVER=offscreen.
#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

static void Fill(SDL_Surface* s, const SDL_Rect& r, Uint8 red, Uint8 green, Uint8 blue) {
  SDL_FillRect(s, &r, SDL_MapRGB(s->format, red, green, blue));
}

int main(int argc, char** argv) {
  const char* mode = argc > 1 ? argv[1] : "sprite";
  int w = 640, h = 920;
  if (argc > 2 && sscanf(argv[2], "%dx%d", &w, &h) != 2) return 2;
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  if (SDL_Init(SDL_INIT_VIDEO) != 0) {
    fprintf(stderr, "BareSDL: %s\n", SDL_GetError());
    return 1;
  }
  SDL_Window* window = SDL_CreateWindow("Bare", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                        w, h, 0);
  SDL_Surface* screen = window ? SDL_GetWindowSurface(window) : nullptr;
  if (!screen) {
    fprintf(stderr, "BareSDL: %s\n", SDL_GetError());
    return 1;
  }
  SDL_Rect all{0, 0, w, h};
  Fill(screen, all, 40, 20, 80);
  SDL_UpdateWindowSurface(window);
  if (!strcmp(mode, "once")) {
    SDL_DestroyWindow(window);
    SDL_Quit();
    return 0;
  }
  bool whole = !strcmp(mode, "whole");
  int scale = SDL_max(1, SDL_min(w / 320, h / 460));
  SDL_Rect sprite{150 * scale, 200 * scale, 40 * scale, 30 * scale};
  int dx = 2 * scale, dy = 2 * scale;
  Uint64 start = SDL_GetTicks64();
  for (Uint64 tick = 1;; tick++) {
    Uint64 due = start + tick * 1000 / 30;
    SDL_Event e;
    for (;;) {
      Uint64 now = SDL_GetTicks64();
      if (now >= due) break;
      if (SDL_WaitEventTimeout(&e, static_cast<int>(due - now)) && e.type == SDL_QUIT) {
        SDL_Quit();
        return 0;
      }
    }
    SDL_Rect old = sprite;
    sprite.x += dx;
    sprite.y += dy;
    if (sprite.x < 0 || sprite.x + sprite.w > w) dx = -dx;
    if (sprite.y < 0 || sprite.y + sprite.h > h) dy = -dy;
    if (whole) {
      for (int y = 0; y < h; y += 8) Fill(screen, {0, y, w, 8}, 40, static_cast<Uint8>(y), 80);
      Fill(screen, sprite, 250, 150, 40);
      SDL_UpdateWindowSurface(window);
    } else {
      Fill(screen, old, 40, 20, 80);
      Fill(screen, sprite, 250, 150, 40);
      SDL_Rect rects[2] = {old, sprite};
      SDL_UpdateWindowSurfaceRects(window, rects, 2);
    }
  }
}
