// Makes the fuzzers' seed corpus: small, valid PNG and WAV files of every kind the decoders
// meet (each PNG colour type and depth, palettes and transparency, interlacing; WAV encodings,
// rates and channel counts), so that fuzzing starts from inside each format.
//
// usage: MakeSeeds DIR   (writes DIR/png/* and DIR/wav/*)
#include <sndfile.h>
#include <spng.h>
#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <vector>

static bool WritePng(const std::string& path, uint32_t w, uint32_t h, uint8_t type, uint8_t depth,
                     bool interlaced, bool palette_and_trns) {
  spng_ctx* ctx = spng_ctx_new(SPNG_CTX_ENCODER);
  if (!ctx) return false;
  spng_set_option(ctx, SPNG_ENCODE_TO_BUFFER, 1);
  spng_ihdr ihdr{w, h, depth, type, 0, 0, static_cast<uint8_t>(interlaced)};
  spng_set_ihdr(ctx, &ihdr);
  if (palette_and_trns) {
    spng_plte plte{};
    plte.n_entries = 4;
    for (uint32_t i = 0; i < 4; i++) plte.entries[i] = {uint8_t(60 * i), uint8_t(255 - 60 * i), 128, 0};
    spng_set_plte(ctx, &plte);
    spng_trns trns{};
    trns.n_type3_entries = 2;
    trns.type3_alpha[0] = 0;
    trns.type3_alpha[1] = 128;
    spng_set_trns(ctx, &trns);
  }
  int channels = type == 0 || type == 3 ? 1 : type == 4 ? 2 : type == 2 ? 3 : 4;
  size_t row = (static_cast<size_t>(w) * channels * depth + 7) / 8;
  std::vector<uint8_t> image(row * h);
  for (size_t i = 0; i < image.size(); i++) image[i] = static_cast<uint8_t>(i * 37 + 11);
  if (type == 3)
    for (uint8_t& b : image) b &= depth == 8 ? 3 : depth == 4 ? 0x33 : depth == 2 ? 0x55 : 0xff;
  int error = spng_encode_image(ctx, image.data(), image.size(), SPNG_FMT_PNG, SPNG_ENCODE_FINALIZE);
  size_t size = 0;
  void* png = error ? nullptr : spng_get_png_buffer(ctx, &size, &error);
  spng_ctx_free(ctx);
  if (!png) return false;
  FILE* f = fopen(path.c_str(), "wb");
  bool ok = f && fwrite(png, 1, size, f) == size;
  if (f) fclose(f);
  free(png);
  return ok;
}

static bool WriteWav(const std::string& path, int format, int rate, int channels, int frames) {
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = channels;
  info.format = format;
  SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
  if (!f) return false;
  std::vector<short> samples(static_cast<size_t>(frames) * channels);
  for (size_t i = 0; i < samples.size(); i++) samples[i] = static_cast<short>((i * 2654435761u) >> 17);
  bool ok = sf_writef_short(f, samples.data(), frames) == frames;
  return sf_close(f) == 0 && ok;
}

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: MakeSeeds DIR\n");
    return 2;
  }
  std::string dir = argv[1];
  mkdir(dir.c_str(), 0755);
  mkdir((dir + "/png").c_str(), 0755);
  mkdir((dir + "/wav").c_str(), 0755);
  struct { const char* name; uint32_t w, h; uint8_t type, depth; bool interlaced, palette; } pngs[] = {
      {"rgba8", 3, 2, 6, 8, false, false},     {"rgba16", 2, 2, 6, 16, false, false},
      {"rgb8", 4, 3, 2, 8, false, false},      {"grey1", 9, 2, 0, 1, false, false},
      {"grey16", 2, 3, 0, 16, false, false},   {"greyalpha8", 3, 3, 4, 8, false, false},
      {"palette2", 5, 2, 3, 2, false, true},   {"palette8", 3, 3, 3, 8, false, true},
      {"interlaced", 9, 9, 6, 8, true, false},
  };
  int failures = 0;
  for (const auto& p : pngs)
    failures += !WritePng(dir + "/png/" + p.name + ".png", p.w, p.h, p.type, p.depth, p.interlaced,
                          p.palette);
  struct { const char* name; int format, rate, channels, frames; } wavs[] = {
      {"pcm16_mono_48k", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 48000, 1, 64},
      {"pcm16_stereo_44k", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2, 64},
      {"pcm8_mono_8k", SF_FORMAT_WAV | SF_FORMAT_PCM_U8, 8000, 1, 64},
      {"pcm24_stereo_96k", SF_FORMAT_WAV | SF_FORMAT_PCM_24, 96000, 2, 32},
      {"float_6ch_48k", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 48000, 6, 16},
      {"ulaw_mono_8k", SF_FORMAT_WAV | SF_FORMAT_ULAW, 8000, 1, 64},
      {"ima_adpcm_mono_22k", SF_FORMAT_WAV | SF_FORMAT_IMA_ADPCM, 22050, 1, 512},
      {"ms_adpcm_stereo_44k", SF_FORMAT_WAV | SF_FORMAT_MS_ADPCM, 44100, 2, 512},
      {"wavex_pcm16_8ch_48k", SF_FORMAT_WAVEX | SF_FORMAT_PCM_16, 48000, 8, 16},
  };
  for (const auto& w : wavs) {
    // The WAV fuzzer reads its first byte as the rate to convert to: 0 is 48 kHz.
    std::string raw = dir + "/wav/" + w.name + ".raw";
    if (!WriteWav(raw, w.format, w.rate, w.channels, w.frames)) {
      failures++;
      continue;
    }
    FILE* in = fopen(raw.c_str(), "rb");
    FILE* out = fopen((dir + "/wav/" + w.name).c_str(), "wb");
    bool ok = in && out && fputc(0, out) != EOF;
    for (int c; ok && (c = fgetc(in)) != EOF;) ok = fputc(c, out) != EOF;
    if (in) fclose(in);
    if (out) fclose(out);
    remove(raw.c_str());
    failures += !ok;
  }
  if (failures) fprintf(stderr, "MakeSeeds: %d seeds could not be made\n", failures);
  return failures ? 1 : 0;
}
