// PNG through SDL_image's encoder; WAV written by hand (a RIFF header and the samples).
#include "Tools/Media/Media.h"

#include <SDL.h>
#include <SDL_image.h>

#include <cstdio>

bool WritePng(const char* path, int width, int height, const uint8_t* rgba) {
  SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(
      const_cast<uint8_t*>(rgba), width, height, 32, width * 4, SDL_PIXELFORMAT_ABGR8888);
  if (!surface) return false;
  bool saved = IMG_SavePNG(surface, path) == 0;
  SDL_FreeSurface(surface);
  return saved;
}

static void Put16(FILE* f, uint16_t v) {
  uint8_t b[2] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)};
  fwrite(b, 1, 2, f);
}

static void Put32(FILE* f, uint32_t v) {
  Put16(f, static_cast<uint16_t>(v));
  Put16(f, static_cast<uint16_t>(v >> 16));
}

bool WriteWav(const char* path, int rate, int channels, const int16_t* samples, size_t frames) {
  FILE* f = fopen(path, "wb");
  if (!f) return false;
  uint32_t data_bytes = static_cast<uint32_t>(frames * channels * 2);
  fwrite("RIFF", 1, 4, f);
  Put32(f, 36 + data_bytes);
  fwrite("WAVEfmt ", 1, 8, f);
  Put32(f, 16);
  Put16(f, 1);  // PCM
  Put16(f, static_cast<uint16_t>(channels));
  Put32(f, static_cast<uint32_t>(rate));
  Put32(f, static_cast<uint32_t>(rate * channels * 2));
  Put16(f, static_cast<uint16_t>(channels * 2));
  Put16(f, 16);
  fwrite("data", 1, 4, f);
  Put32(f, data_bytes);
  for (size_t i = 0; i < frames * channels; i++) Put16(f, static_cast<uint16_t>(samples[i]));
  return fclose(f) == 0;
}
