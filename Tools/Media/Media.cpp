// PNG through SDL_image's encoder; WAV written by hand: a RIFF header, the samples, and the
// header again once their length is known.
#include "Tools/Media/Media.h"

#include <SDL.h>
#include <SDL_image.h>

#include <algorithm>
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

// A RIFF chunk's size is 32 bits: what the header can say, data included.
static constexpr uint64_t kMaxWavDataBytes = 0xffffffffull - 36;

static void PutHeader(FILE* f, int rate, int channels, uint32_t data_bytes) {
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
}

WavWriter::~WavWriter() { Close(); }

bool WavWriter::Open(const char* path, int rate, int channels) {
  Close();
  file_ = fopen(path, "wb");
  if (!file_) return false;
  channels_ = channels;
  data_bytes_ = 0;
  failed_ = false;
  PutHeader(file_, rate, channels, 0);  // the sizes are written again at the end
  header_rate_ = rate;
  return !ferror(file_);
}

bool WavWriter::Write(const int16_t* samples, size_t frames) {
  if (!file_ || failed_) return false;
  size_t count = frames * channels_;
  if (data_bytes_ + count * 2 > kMaxWavDataBytes) {
    failed_ = true;
    return false;
  }
  uint8_t bytes[8192];  // little-endian, whatever the machine's order, a block at a time
  for (size_t done = 0; done < count;) {
    size_t n = std::min(count - done, sizeof bytes / 2);
    for (size_t i = 0; i < n; i++) {
      uint16_t v = static_cast<uint16_t>(samples[done + i]);
      bytes[2 * i] = static_cast<uint8_t>(v);
      bytes[2 * i + 1] = static_cast<uint8_t>(v >> 8);
    }
    fwrite(bytes, 1, n * 2, file_);
    done += n;
  }
  data_bytes_ += count * 2;
  failed_ = ferror(file_) != 0;
  return !failed_;
}

bool WavWriter::Close() {
  if (!file_) return !failed_;
  bool ok = !failed_ && fseek(file_, 0, SEEK_SET) == 0;
  if (ok) PutHeader(file_, header_rate_, channels_, static_cast<uint32_t>(data_bytes_));
  ok = !ferror(file_) && ok;
  ok = fclose(file_) == 0 && ok;
  file_ = nullptr;
  failed_ = !ok;
  return ok;
}

bool WriteWav(const char* path, int rate, int channels, const int16_t* samples, size_t frames) {
  WavWriter wav;
  return wav.Open(path, rate, channels) && (frames == 0 || wav.Write(samples, frames)) &&
         wav.Close();
}
