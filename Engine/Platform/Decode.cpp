// The decoders: files opened safely, PNG through libspng with its limits set before the header
// is read, WAV through libsndfile, mixed down to stereo by its speakers (Downmix.h) and
// resampled by libsamplerate in blocks, so that no more is ever allocated than the converted
// clip itself.
//
// Index: files | PNG | WAV: speakers and length, conversion, entry points
#include "Engine/Platform/Decode.h"

#include <fcntl.h>
#include <samplerate.h>
#include <sndfile.h>
#include <spng.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

// ---------------------------------------------------------------------------------------------
// Files

// A read-only descriptor of a regular file no bigger than max_bytes, or -1. Opened without
// blocking, so that a FIFO in its place cannot hold the program up before it is refused.
static int open_regular(const char* path, uint64_t max_bytes) {
  if (!path) return -1;
  int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return -1;
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || static_cast<uint64_t>(st.st_size) > max_bytes) {
    close(fd);
    return -1;
  }
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

// ---------------------------------------------------------------------------------------------
// PNG

static constexpr size_t kMaxPngChunkBytes = 1u << 20;   // a text or profile chunk we never use
static constexpr size_t kMaxPngCacheBytes = 4u << 20;   // all such chunks together

namespace {
struct SpngFree {
  void operator()(spng_ctx* ctx) const { spng_ctx_free(ctx); }
};
}  // namespace
using Spng = std::unique_ptr<spng_ctx, SpngFree>;

static bool decode_png_from(spng_ctx* ctx, PlatPixels* out) {
  *out = PlatPixels{};
  spng_set_image_limits(ctx, kMaxPictureSide, kMaxPictureSide);
  spng_set_chunk_limits(ctx, kMaxPngChunkBytes, kMaxPngCacheBytes);
  spng_ihdr ihdr{};
  size_t bytes = 0;
  if (spng_get_ihdr(ctx, &ihdr) != 0 || spng_decoded_image_size(ctx, SPNG_FMT_RGBA8, &bytes) != 0)
    return false;
  try {
    out->rgba.resize(bytes);  // at most kMaxPictureSide squared, four bytes each
  } catch (const std::bad_alloc&) {
    return false;
  }
  if (spng_decode_image(ctx, out->rgba.data(), bytes, SPNG_FMT_RGBA8, SPNG_DECODE_TRNS) != 0) {
    *out = PlatPixels{};
    return false;
  }
  out->width = static_cast<int>(ihdr.width);
  out->height = static_cast<int>(ihdr.height);
  return true;
}

bool decode_png(const uint8_t* data, size_t size, PlatPixels* out) {
  *out = PlatPixels{};
  Spng ctx(spng_ctx_new(0));
  if (!ctx || !data || spng_set_png_buffer(ctx.get(), data, size) != 0) return false;
  return decode_png_from(ctx.get(), out);
}

bool decode_png_file(const char* path, PlatPixels* out) {
  *out = PlatPixels{};
  int fd = open_regular(path, kMaxPictureFileBytes);
  if (fd < 0) return false;
  FILE* file = fdopen(fd, "rb");
  if (!file) {
    close(fd);
    return false;
  }
  Spng ctx(spng_ctx_new(0));
  bool ok = ctx && spng_set_png_file(ctx.get(), file) == 0 && decode_png_from(ctx.get(), out);
  ctx.reset();  // before the file it reads
  fclose(file);
  return ok;
}

// ---------------------------------------------------------------------------------------------
// WAV: what is in the file besides the samples

// libsndfile's names for the speakers, from the file's channel mask, as the downmix knows them.
static PlatSpeaker speaker(int channel_map) {
  switch (channel_map) {
    case SF_CHANNEL_MAP_LEFT: case SF_CHANNEL_MAP_FRONT_LEFT: case SF_CHANNEL_MAP_REAR_LEFT:
    case SF_CHANNEL_MAP_SIDE_LEFT: case SF_CHANNEL_MAP_FRONT_LEFT_OF_CENTER:
    case SF_CHANNEL_MAP_TOP_FRONT_LEFT: case SF_CHANNEL_MAP_TOP_REAR_LEFT:
      return kSpeakerLeft;
    case SF_CHANNEL_MAP_RIGHT: case SF_CHANNEL_MAP_FRONT_RIGHT: case SF_CHANNEL_MAP_REAR_RIGHT:
    case SF_CHANNEL_MAP_SIDE_RIGHT: case SF_CHANNEL_MAP_FRONT_RIGHT_OF_CENTER:
    case SF_CHANNEL_MAP_TOP_FRONT_RIGHT: case SF_CHANNEL_MAP_TOP_REAR_RIGHT:
      return kSpeakerRight;
    case SF_CHANNEL_MAP_MONO: case SF_CHANNEL_MAP_CENTER: case SF_CHANNEL_MAP_FRONT_CENTER:
    case SF_CHANNEL_MAP_REAR_CENTER: case SF_CHANNEL_MAP_TOP_CENTER:
    case SF_CHANNEL_MAP_TOP_FRONT_CENTER: case SF_CHANNEL_MAP_TOP_REAR_CENTER:
      return kSpeakerCentre;
    case SF_CHANNEL_MAP_LFE:
      return kSpeakerLowFrequency;
    default:
      return kSpeakerOther;
  }
}

// The file's own speakers where it names them, else the usual layout for its channels.
static PlatDownmix file_downmix(SNDFILE* file, int channels) {
  int map[kMaxClipChannels];
  if (!sf_command(file, SFC_GET_CHANNEL_MAP_INFO, map, static_cast<int>(sizeof(int)) * channels))
    return downmix_from_mask(channels, 0);
  PlatSpeaker speakers[kMaxClipChannels];
  for (int c = 0; c < channels; c++) speakers[c] = speaker(map[c]);
  return downmix_from_speakers(channels, speakers);
}

// Codings in blocks (GSM 6.10, ADPCM) pad their last block: the true length is the one the
// fact chunk gives. Integer, float and companded samples need none and are read whole.
static bool coded_in_blocks(int format) {
  switch (format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_S8: case SF_FORMAT_PCM_U8: case SF_FORMAT_PCM_16: case SF_FORMAT_PCM_24:
    case SF_FORMAT_PCM_32: case SF_FORMAT_FLOAT: case SF_FORMAT_DOUBLE: case SF_FORMAT_ULAW:
    case SF_FORMAT_ALAW:
      return false;
    default:
      return true;
  }
}

// Reads `size` bytes at `offset` of a file or of memory; false when they are not all there.
typedef bool (*ReadAt)(void* source, uint64_t offset, uint8_t* out, size_t size);

static uint32_t little32(const uint8_t* b) {
  return b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<uint32_t>(b[3]) << 24);
}

// The frame count of a RIFF WAVE file's fact chunk, or -1 when it has none among its first
// chunks.
static int64_t fact_frames(ReadAt read, void* source) {
  static constexpr int kMaxChunks = 64;
  uint8_t head[12];
  if (!read(source, 0, head, 12) || memcmp(head, "RIFF", 4) != 0 || memcmp(head + 8, "WAVE", 4) != 0)
    return -1;
  uint64_t at = 12;
  for (int i = 0; i < kMaxChunks; i++) {
    uint8_t chunk[12];
    if (!read(source, at, chunk, 8)) return -1;
    uint32_t size = little32(chunk + 4);
    if (memcmp(chunk, "fact", 4) == 0)
      return size >= 4 && read(source, at + 8, chunk + 8, 4) ? little32(chunk + 8) : -1;
    at += 8 + size + (size & 1);  // chunks are padded to an even length
  }
  return -1;
}

// ---------------------------------------------------------------------------------------------
// WAV: conversion

static constexpr int kBlockFrames = 4096;  // read, mixed down and resampled at a time

namespace {
struct SndfileClose {
  void operator()(SNDFILE* f) const { sf_close(f); }
};
}  // namespace
namespace {
struct ResamplerDelete {
  void operator()(SRC_STATE* s) const { src_delete(s); }
};
}  // namespace

// Appends converted frames to out, refusing to grow past the bound.
static bool append(const float* stereo, long frames, size_t max_samples, PlatSamples* out) {
  size_t at = out->stereo.size(), n = static_cast<size_t>(frames) * 2;
  if (at + n > max_samples) return false;
  out->stereo.resize(at + n);
  int16_t* dst = out->stereo.data() + at;
  for (size_t i = 0; i < n; i++) dst[i] = downmix_sample16(stereo[i]);
  return true;
}

// `frames`: how many the file holds, which may be fewer than libsndfile counts (fact_frames).
static bool decode_wav_from(SNDFILE* file, const SF_INFO& info, sf_count_t frames, int rate,
                            PlatSamples* out) {
  int major = info.format & SF_FORMAT_TYPEMASK;
  if (major != SF_FORMAT_WAV && major != SF_FORMAT_WAVEX) return false;
  if (info.channels < 1 || info.channels > kMaxClipChannels) return false;
  if (info.samplerate < kMinClipRate || info.samplerate > kMaxClipRate) return false;
  if (frames < 0 || rate <= 0) return false;
  double ratio = static_cast<double>(rate) / info.samplerate;
  // Every frame converted is four bytes; a little room for the resampler's rounding.
  double expected = std::ceil(static_cast<double>(frames) * ratio) + 64;
  size_t max_samples = static_cast<size_t>(kMaxClipBytes / sizeof(int16_t));
  if (expected * 2 > static_cast<double>(max_samples)) return false;
  out->stereo.reserve(static_cast<size_t>(expected) * 2);
  PlatDownmix mix = file_downmix(file, info.channels);
  auto next_block = [&frames]() {  // frames to read next; 0 at the end
    sf_count_t n = std::min<sf_count_t>(frames, kBlockFrames);
    frames -= n;
    return n;
  };

  // Most clips are already at the mixer's rate, in one or two channels of integer samples:
  // read as 16-bit samples, which libsndfile converts exactly, with no mixing and no
  // resampling to do. (Float samples it would convert unscaled, all of them to nearly 0.)
  int coding = info.format & SF_FORMAT_SUBMASK;
  if (rate == info.samplerate && downmix_is_plain(mix) && coding != SF_FORMAT_FLOAT &&
      coding != SF_FORMAT_DOUBLE) {
    std::vector<int16_t> block(static_cast<size_t>(kBlockFrames) * info.channels);
    for (sf_count_t want = next_block(); want > 0; want = next_block()) {
      sf_count_t got = sf_readf_short(file, block.data(), want);
      size_t at = out->stereo.size(), n = static_cast<size_t>(got) * 2;
      if (at + n > max_samples) return false;
      out->stereo.resize(at + n);
      int16_t* dst = out->stereo.data() + at;
      for (sf_count_t i = 0; i < got; i++) {
        dst[2 * i] = block[static_cast<size_t>(i) * info.channels];
        dst[2 * i + 1] = block[static_cast<size_t>(i) * info.channels + info.channels - 1];
      }
      if (got < want) break;  // the file is shorter than it said
    }
    return true;
  }
  std::unique_ptr<SRC_STATE, ResamplerDelete> resampler;
  if (rate != info.samplerate) {
    int error = 0;
    resampler.reset(src_new(SRC_SINC_MEDIUM_QUALITY, 2, &error));
    if (!resampler) return false;
  }
  std::vector<float> in(static_cast<size_t>(kBlockFrames) * info.channels);
  std::vector<float> stereo(static_cast<size_t>(kBlockFrames) * 2);
  std::vector<float> resampled(static_cast<size_t>(std::ceil(kBlockFrames * ratio) + 64) * 2);
  bool end = false;
  while (!end) {
    sf_count_t want = next_block();
    sf_count_t got = want > 0 ? sf_readf_float(file, in.data(), want) : 0;
    end = got < want || frames == 0;
    for (sf_count_t i = 0; i < got; i++)
      downmix_frame(mix, &in[static_cast<size_t>(i) * info.channels], 1, &stereo[2 * i],
                    &stereo[2 * i + 1]);
    if (!resampler) {
      if (!append(stereo.data(), static_cast<long>(got), max_samples, out)) return false;
      continue;
    }
    SRC_DATA step{};
    step.data_in = stereo.data();
    step.input_frames = static_cast<long>(got);
    step.src_ratio = ratio;
    step.end_of_input = end;
    do {  // until this block is used up and, at the end, the resampler's tail is out
      step.data_out = resampled.data();
      step.output_frames = static_cast<long>(resampled.size() / 2);
      if (src_process(resampler.get(), &step) != 0) return false;
      if (!append(resampled.data(), step.output_frames_gen, max_samples, out)) return false;
      step.data_in += step.input_frames_used * 2;
      step.input_frames -= step.input_frames_used;
    } while (step.input_frames > 0 || (end && step.output_frames_gen > 0));
  }
  return true;
}

// ---------------------------------------------------------------------------------------------
// WAV: entry points

namespace {
struct Memory {
  const uint8_t* data;
  sf_count_t size, position;
};
}  // namespace

static sf_count_t memory_length(void* user) { return static_cast<Memory*>(user)->size; }

static sf_count_t memory_seek(sf_count_t offset, int whence, void* user) {
  Memory* m = static_cast<Memory*>(user);
  sf_count_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? m->position : m->size;
  sf_count_t to = base + offset;
  if (to < 0 || to > m->size) return -1;
  m->position = to;
  return to;
}

static sf_count_t memory_read(void* dst, sf_count_t count, void* user) {
  Memory* m = static_cast<Memory*>(user);
  sf_count_t n = std::clamp<sf_count_t>(count, 0, m->size - m->position);
  if (n > 0) std::copy(m->data + m->position, m->data + m->position + n, static_cast<uint8_t*>(dst));
  m->position += n;
  return n;
}

static sf_count_t memory_write(const void*, sf_count_t, void*) { return 0; }

static sf_count_t memory_tell(void* user) { return static_cast<Memory*>(user)->position; }

static bool decode_opened(SNDFILE* opened, const SF_INFO& info, int64_t fact, int rate,
                          PlatSamples* out) {
  std::unique_ptr<SNDFILE, SndfileClose> file(opened);
  if (!file) return false;
  sf_count_t frames = info.frames;
  if (coded_in_blocks(info.format) && fact >= 0) frames = std::min<sf_count_t>(frames, fact);
  bool ok = false;
  try {  // within the bounds an allocation should not fail, but if it does it is a failed load
    ok = decode_wav_from(file.get(), info, frames, rate, out);
  } catch (const std::bad_alloc&) {
    ok = false;
  }
  if (!ok) *out = PlatSamples{};
  return ok;
}

static bool memory_read_at(void* source, uint64_t offset, uint8_t* out, size_t size) {
  const Memory* m = static_cast<const Memory*>(source);
  if (offset > static_cast<uint64_t>(m->size) || size > static_cast<uint64_t>(m->size) - offset)
    return false;
  std::copy(m->data + offset, m->data + offset + size, out);
  return true;
}

static bool file_read_at(void* source, uint64_t offset, uint8_t* out, size_t size) {
  int fd = *static_cast<int*>(source);
  return pread(fd, out, size, static_cast<off_t>(offset)) == static_cast<ssize_t>(size);
}

bool decode_wav(const uint8_t* data, size_t size, int rate, PlatSamples* out) {
  *out = PlatSamples{};
  if (!data || size > kMaxClipFileBytes) return false;
  SF_VIRTUAL_IO io = {memory_length, memory_seek, memory_read, memory_write, memory_tell};
  Memory memory{data, static_cast<sf_count_t>(size), 0};
  int64_t fact = fact_frames(memory_read_at, &memory);
  SF_INFO info{};
  return decode_opened(sf_open_virtual(&io, SFM_READ, &info, &memory), info, fact, rate, out);
}

bool decode_wav_file(const char* path, int rate, PlatSamples* out) {
  *out = PlatSamples{};
  int fd = open_regular(path, kMaxClipFileBytes);
  if (fd < 0) return false;
  int64_t fact = fact_frames(file_read_at, &fd);
  SF_INFO info{};
  return decode_opened(sf_open_fd(fd, SFM_READ, &info, SF_TRUE), info, fact, rate, out);
}
