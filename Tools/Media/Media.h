// Writing pictures and clips to disk, for the asset generator, the replay tool and test fixtures.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

// An RGBA picture, 4 bytes a pixel, rows top to bottom.
bool WritePng(const char* path, int width, int height, const uint8_t* rgba);

// A 16-bit PCM WAV file written as it comes, so that a long recording never sits in memory;
// the header's sizes are filled in by Close. Samples are interleaved when channels is 2.
class WavWriter {
 public:
  WavWriter() = default;
  ~WavWriter();
  WavWriter(const WavWriter&) = delete;
  WavWriter& operator=(const WavWriter&) = delete;

  bool Open(const char* path, int rate, int channels);
  bool Write(const int16_t* samples, size_t frames);  // false once a write failed or is too long
  bool Close();                                       // true when every sample reached the file

 private:
  FILE* file_ = nullptr;
  int channels_ = 0;
  int header_rate_ = 0;
  uint64_t data_bytes_ = 0;
  bool failed_ = false;
};

// A whole 16-bit PCM WAV file at once.
bool WriteWav(const char* path, int rate, int channels, const int16_t* samples, size_t frames);
