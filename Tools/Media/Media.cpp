// PNG encoded by libspng and WAV written by libsndfile, the libraries the engine already reads
// them with; every write and close checked, so that a full disk is a failure, with its reason.
#include "Tools/Media/Media.h"

#include <sndfile.h>
#include <spng.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

static bool Fail(std::string* why, const std::string& reason) {
  if (why) *why = reason;
  return false;
}

bool WritePng(const char* path, int width, int height, const uint8_t* rgba, std::string* why) {
  struct Free {
    void operator()(spng_ctx* ctx) const { spng_ctx_free(ctx); }
  };
  std::unique_ptr<spng_ctx, Free> ctx(spng_ctx_new(SPNG_CTX_ENCODER));
  if (!ctx || width <= 0 || height <= 0) return Fail(why, "not a picture");
  spng_ihdr ihdr{};
  ihdr.width = static_cast<uint32_t>(width);
  ihdr.height = static_cast<uint32_t>(height);
  ihdr.bit_depth = 8;
  ihdr.color_type = SPNG_COLOR_TYPE_TRUECOLOR_ALPHA;
  size_t bytes = static_cast<size_t>(width) * height * 4;
  int error = spng_set_option(ctx.get(), SPNG_ENCODE_TO_BUFFER, 1);
  if (!error) error = spng_set_ihdr(ctx.get(), &ihdr);
  if (!error) error = spng_encode_image(ctx.get(), rgba, bytes, SPNG_FMT_PNG, SPNG_ENCODE_FINALIZE);
  size_t size = 0;
  std::unique_ptr<void, decltype(&free)> png(error ? nullptr : spng_get_png_buffer(ctx.get(), &size, &error), free);
  if (!png) return Fail(why, spng_strerror(error));
  FILE* file = fopen(path, "wb");
  if (!file) return Fail(why, strerror(errno));
  bool written = fwrite(png.get(), 1, size, file) == size && fflush(file) == 0;
  int reason = errno;
  if (fclose(file) != 0 && written) {
    written = false;
    reason = errno;
  }
  return written || Fail(why, strerror(reason));
}

// ---------------------------------------------------------------------------------------------
// WAV

// A RIFF chunk's size is 32 bits: what the header can say, data included.
static constexpr uint64_t kMaxWavDataBytes = 0xffffffffull - 36;

// libsndfile's reason, or the system's own words when the system refused.
static std::string Reason(SNDFILE* file) {
  return sf_error(file) == SF_ERR_SYSTEM ? strerror(errno) : sf_strerror(file);
}

WavWriter::~WavWriter() { Close(); }

bool WavWriter::Open(const char* path, int rate, int channels) {
  Close();
  error_.clear();
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = channels;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  file_ = sf_open(path, SFM_WRITE, &info);
  if (!file_) return Fail(&error_, Reason(nullptr));
  channels_ = channels;
  data_bytes_ = 0;
  return true;
}

bool WavWriter::Write(const int16_t* samples, size_t frames) {
  if (!file_ || !error_.empty()) return false;
  data_bytes_ += frames * channels_ * 2;
  if (data_bytes_ > kMaxWavDataBytes) return Fail(&error_, "longer than a WAV file can hold");
  sf_count_t n = static_cast<sf_count_t>(frames);
  if (sf_writef_short(file_, samples, n) != n) return Fail(&error_, Reason(file_));
  return true;
}

bool WavWriter::Close() {
  if (!file_) return error_.empty();
  sf_write_sync(file_);
  if (error_.empty() && sf_error(file_) != SF_ERR_NO_ERROR) error_ = Reason(file_);
  if (sf_close(file_) != 0 && error_.empty()) error_ = "cannot close the file";
  file_ = nullptr;
  return error_.empty();
}

bool WriteWav(const char* path, int rate, int channels, const int16_t* samples, size_t frames,
              std::string* why) {
  WavWriter wav;
  bool ok = wav.Open(path, rate, channels) && (frames == 0 || wav.Write(samples, frames)) &&
            wav.Close();
  return ok || Fail(why, wav.error());
}
