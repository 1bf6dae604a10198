// What the tests and benchmarks read back from files, apart from the engine's own decoders, so
// that a fault there cannot hide itself: PNG through SDL_image, WAV through SDL's own loader.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A picture as straight RGBA, rows top to bottom; empty if unreadable.
struct Image {
  int width = 0, height = 0;
  std::vector<uint8_t> rgba;
  const uint8_t* at(int x, int y) const { return &rgba[(static_cast<size_t>(y) * width + x) * 4]; }
};
Image LoadPng(const std::string& path);

// A 16-bit WAV file's samples as they are in it, interleaved; empty if unreadable or not
// 16-bit.
struct WavFile {
  int rate = 0, channels = 0;
  std::vector<int16_t> samples;
};
WavFile LoadWav(const std::string& path);
