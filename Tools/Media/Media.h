// Writing pictures and clips to disk, for the asset generator and for test fixtures.
#pragma once

#include <cstddef>
#include <cstdint>

// An RGBA picture, 4 bytes a pixel, rows top to bottom.
bool WritePng(const char* path, int width, int height, const uint8_t* rgba);

// A 16-bit PCM WAV file; samples are interleaved when channels is 2.
bool WriteWav(const char* path, int rate, int channels, const int16_t* samples, size_t frames);
