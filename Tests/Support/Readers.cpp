// The tests' readers, on SDL: SDL_image for pictures, SDL_LoadWAV for clips.
#include "Tests/Support/Readers.h"

#include <SDL.h>
#include <SDL_image.h>

Image LoadPng(const std::string& path) {
  Image image;
  SDL_Surface* loaded = IMG_Load(path.c_str());
  if (!loaded) return image;
  SDL_Surface* rgba = SDL_ConvertSurfaceFormat(loaded, SDL_PIXELFORMAT_ABGR8888, 0);
  SDL_FreeSurface(loaded);
  if (!rgba) return image;
  image.width = rgba->w;
  image.height = rgba->h;
  for (int y = 0; y < rgba->h; y++) {
    const uint8_t* row = static_cast<const uint8_t*>(rgba->pixels) + y * rgba->pitch;
    image.rgba.insert(image.rgba.end(), row, row + rgba->w * 4);
  }
  SDL_FreeSurface(rgba);
  return image;
}

WavFile LoadWav(const std::string& path) {
  WavFile wav;
  SDL_AudioSpec format;
  Uint8* data = nullptr;
  Uint32 bytes = 0;
  if (!SDL_LoadWAV(path.c_str(), &format, &data, &bytes)) return wav;
  if (format.format == AUDIO_S16LSB) {
    wav.rate = format.freq;
    wav.channels = format.channels;
    wav.samples.assign(reinterpret_cast<int16_t*>(data), reinterpret_cast<int16_t*>(data + bytes));
  }
  SDL_FreeWAV(data);
  return wav;
}
