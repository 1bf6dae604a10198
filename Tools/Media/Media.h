// Writing pictures and clips to disk, for the asset generator, the replay tool and test fixtures.
// Each says why it failed, where asked, in a few words.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

typedef struct sf_private_tag SNDFILE;

// An RGBA picture, 4 bytes a pixel, rows top to bottom.
bool WritePng(const char* path, int width, int height, const uint8_t* rgba,
              std::string* why = nullptr);

// A 16-bit PCM WAV file written as it comes, so that a long recording never sits in memory.
// Samples are interleaved when channels is 2.
class WavWriter {
 public:
  WavWriter() = default;
  ~WavWriter();
  WavWriter(const WavWriter&) = delete;
  WavWriter& operator=(const WavWriter&) = delete;

  bool Open(const char* path, int rate, int channels);
  bool Write(const int16_t* samples, size_t frames);  // false once a write failed
  bool Close();                                       // true when every sample reached the file
  const std::string& error() const { return error_; }  // why it failed, once it has

 private:
  SNDFILE* file_ = nullptr;
  int channels_ = 0;
  uint64_t data_bytes_ = 0;
  std::string error_;
};

// A whole 16-bit PCM WAV file at once.
bool WriteWav(const char* path, int rate, int channels, const int16_t* samples, size_t frames,
              std::string* why = nullptr);
