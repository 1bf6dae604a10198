// The shared decoders at their limits: the largest picture and the widest range of clips they
// take, what lies just past them, files that are not files, and every input a fuzzer ever
// broke them with.
#include <sndfile.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "Engine/Platform/Decode.h"
#include "Engine/Platform/Downmix.h"
#include "Tests/Support/EngineTest.h"
#include "Tools/Media/Media.h"

namespace fs = std::filesystem;

static std::vector<uint8_t> ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// A WAV file of `frames` frames, every channel holding `value` (as a fraction of full scale).
static std::string WriteClip(const std::string& dir, int rate, int channels, int format,
                             int frames, float value) {
  std::string path = dir + "/clip-" + std::to_string(rate) + "-" + std::to_string(channels) + ".wav";
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = channels;
  info.format = format;
  SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
  if (!f) return "";
  std::vector<float> samples(static_cast<size_t>(frames) * channels, value);
  sf_writef_float(f, samples.data(), frames);
  sf_close(f);
  return path;
}

TEST(DecodeTest, APictureMayBe4096PixelsEitherWayAndNoMore) {
  std::string dir = TemporaryDir();
  std::vector<uint8_t> row(4097 * 4, 90);
  PlatPixels pixels;
  struct { int w, h; bool loads; } sizes[] = {{4096, 1, true}, {1, 4096, true}, {4097, 1, false},
                                              {1, 4097, false}};
  for (const auto& s : sizes) {
    std::string path = dir + "/" + std::to_string(s.w) + "x" + std::to_string(s.h) + ".png";
    ASSERT_TRUE(WritePng(path.c_str(), s.w, s.h, row.data()));
    EXPECT_EQ(decode_png_file(path.c_str(), &pixels), s.loads) << path;
    EXPECT_EQ(pixels.width, s.loads ? s.w : 0);
    EXPECT_EQ(pixels.rgba.size(), s.loads ? row.size() - 4 : 0);
  }
}

TEST(DecodeTest, ClipsFrom8To192kHzAndUpTo8ChannelsLoadAtTheMixersRateWithinFullScale) {
  std::string dir = TemporaryDir();
  PlatSamples clip;
  std::string low = WriteClip(dir, kMinClipRate, 1, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 800, 0.5f);
  ASSERT_TRUE(decode_wav_file(low.c_str(), 48000, &clip));
  EXPECT_NEAR(static_cast<double>(clip.stereo.size()) / 2, 4800, 64);  // 0.1 s, now at 48 kHz
  EXPECT_NEAR(clip.stereo[4800], 16384, 400);                        // in the middle: half scale
  std::string high = WriteClip(dir, kMaxClipRate, 2, SF_FORMAT_WAV | SF_FORMAT_PCM_24, 19200, 0.5f);
  ASSERT_TRUE(decode_wav_file(high.c_str(), 48000, &clip));
  EXPECT_NEAR(static_cast<double>(clip.stereo.size()) / 2, 4800, 64);
  // Eight channels at full scale mix down to full scale on both sides, not past it.
  std::string eight = WriteClip(dir, 48000, kMaxClipChannels, SF_FORMAT_WAVEX | SF_FORMAT_FLOAT, 100, 1.0f);
  ASSERT_TRUE(decode_wav_file(eight.c_str(), 48000, &clip));
  ASSERT_EQ(clip.stereo.size(), 200u);
  EXPECT_EQ(clip.stereo[100], 32767);
  EXPECT_EQ(clip.stereo[101], 32767);
  // An AIFF file is refused whatever its name says.
  std::string aiff = WriteClip(dir, 48000, 1, SF_FORMAT_AIFF | SF_FORMAT_PCM_16, 100, 0.5f);
  EXPECT_FALSE(decode_wav_file(aiff.c_str(), 48000, &clip));
  EXPECT_TRUE(clip.stereo.empty());
}

// A clip at 44.1 kHz, as most are, converted to 48 kHz in blocks: as long as it was (8192
// frames, two whole blocks, become 8916.6, give or take the resampler's one), and its last
// frames where its ramp ends, none left in the resampler when the last block filled its output.
TEST(DecodeTest, AClipResampledFrom44kHzKeepsItsWholeLengthAndItsLastFrames) {
  constexpr int kFrames = 8192;
  constexpr double kOut = kFrames * 48000.0 / 44100;
  std::string path = TemporaryDir() + "/ramp44.wav";
  std::vector<int16_t> ramp(kFrames * 2);
  for (int i = 0; i < kFrames; i++) ramp[2 * i] = ramp[2 * i + 1] = static_cast<int16_t>(3 * i);
  ASSERT_TRUE(WriteWav(path.c_str(), 44100, 2, ramp.data(), kFrames));
  PlatSamples clip;
  ASSERT_TRUE(decode_wav_file(path.c_str(), 48000, &clip));
  ASSERT_NEAR(static_cast<double>(clip.stereo.size()) / 2, kOut, 1.5);
  int last = static_cast<int>(kOut) - 1;
  for (int i = last - 100; i < last - 16; i += 7) {  // where the ramp is at frame i of 48 kHz
    EXPECT_NEAR(clip.stereo[2 * i], 3 * i * 44100.0 / 48000, 60) << "frame " << i;
  }
  // The last, smoothed by the filter against the silence after it, but there.
  EXPECT_GT(clip.stereo[2 * last], 3 * kFrames / 2);
}

// A float WAV at the mixer's rate, as audio editors export them, written here with samples
// chosen so that each converts exactly; each must come out as its value at full scale.
TEST(DecodeTest, AFloatWavFromAnAudioEditorIsHeardAsItsSamples) {
  std::string dir = TemporaryDir();
  const float values[] = {0.5f, -0.25f, 0.125f, -1.0f, 0.999969482421875f, 0.0078125f};
  struct { const char* name; int format, channels; } kinds[] = {
      {"float mono", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 1},
      {"float stereo", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2},
      {"double stereo", SF_FORMAT_WAV | SF_FORMAT_DOUBLE, 2},
      {"extensible float", SF_FORMAT_WAVEX | SF_FORMAT_FLOAT, 2}};
  for (const auto& kind : kinds) {
    std::string path = dir + "/" + kind.name + ".wav";
    SF_INFO info{};
    info.samplerate = 48000;
    info.channels = kind.channels;
    info.format = kind.format;
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(f, nullptr) << kind.name;
    std::vector<float> samples;
    for (float v : values)
      for (int c = 0; c < kind.channels; c++) samples.push_back(c ? -v : v);
    sf_writef_float(f, samples.data(), static_cast<sf_count_t>(std::size(values)));
    sf_close(f);
    PlatSamples clip;
    ASSERT_TRUE(decode_wav_file(path.c_str(), 48000, &clip)) << kind.name;
    ASSERT_EQ(clip.stereo.size(), 2 * std::size(values)) << kind.name;
    auto full = [](float v) { return static_cast<int16_t>(std::clamp(v * 32768.0f, -32768.0f, 32767.0f)); };
    for (size_t i = 0; i < std::size(values); i++) {
      EXPECT_EQ(clip.stereo[2 * i], full(values[i])) << kind.name << ", frame " << i;
      EXPECT_EQ(clip.stereo[2 * i + 1], full(kind.channels == 2 ? -values[i] : values[i])) << kind.name;
    }
  }
}

// Surround files mixed down by what each channel is: left ones to the left, right ones to the
// right, the centre to both, the low frequencies to neither; each side scaled by its weights.
TEST(DecodeTest, ASurroundWavIsMixedDownByItsSpeakersNotByItsChannelNumbers) {
  std::string dir = TemporaryDir();
  auto write = [&](const char* name, std::vector<int> map, int channels, std::vector<float> frame) {
    std::string path = dir + "/" + name + ".wav";
    SF_INFO info{};
    info.samplerate = 48000;
    info.channels = channels;
    info.format = SF_FORMAT_WAVEX | SF_FORMAT_PCM_16;
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!map.empty()) sf_command(f, SFC_SET_CHANNEL_MAP_INFO, map.data(), static_cast<int>(map.size() * sizeof(int)));
    std::vector<float> samples;
    for (int i = 0; i < 10; i++) samples.insert(samples.end(), frame.begin(), frame.end());
    sf_writef_float(f, samples.data(), 10);
    sf_close(f);
    return path;
  };
  PlatSamples clip;
  // Quad: front left and right, back left and right.
  std::string quad = write("quad", {SF_CHANNEL_MAP_LEFT, SF_CHANNEL_MAP_RIGHT, SF_CHANNEL_MAP_REAR_LEFT,
                                    SF_CHANNEL_MAP_REAR_RIGHT}, 4, {0.5f, 0.25f, 0.125f, -0.5f});
  ASSERT_TRUE(decode_wav_file(quad.c_str(), 48000, &clip));
  EXPECT_EQ(clip.stereo[0], 10240);   // (0.5 + 0.125) / 2 of full scale
  EXPECT_EQ(clip.stereo[1], -4096);   // (0.25 - 0.5) / 2
  // Five channels with no speakers named: the usual order, front left, right and centre, back
  // left and right.
  std::string five = write("five", {}, 5, {0.5f, 0, 0.25f, 0.25f, 0.5f});
  ASSERT_TRUE(decode_wav_file(five.c_str(), 48000, &clip));
  const float centre = 0.70710678f, weight = 2 + centre;
  EXPECT_NEAR(clip.stereo[0], 32768 * (0.5f + 0.25f * centre + 0.25f) / weight, 1);
  EXPECT_NEAR(clip.stereo[1], 32768 * (0 + 0.25f * centre + 0.5f) / weight, 1);
  // 5.1 on side speakers, and 5.1 with no speakers named (the usual order: back ones): the low
  // frequencies, loudest of all, go to neither side; side and back ones to their own side.
  std::string side = write("side", {SF_CHANNEL_MAP_LEFT, SF_CHANNEL_MAP_RIGHT, SF_CHANNEL_MAP_CENTER,
                                    SF_CHANNEL_MAP_LFE, SF_CHANNEL_MAP_SIDE_LEFT, SF_CHANNEL_MAP_SIDE_RIGHT},
                           6, {0.5f, 0, 0.25f, 0.9f, 0.125f, -0.5f});
  std::string usual = write("usual", {}, 6, {0.5f, 0, 0.25f, 0.9f, 0.125f, -0.5f});
  for (const std::string& path : {side, usual}) {
    ASSERT_TRUE(decode_wav_file(path.c_str(), 48000, &clip)) << path;
    EXPECT_NEAR(clip.stereo[0], 32768 * (0.5f + 0.25f * centre + 0.125f) / weight, 1) << path;
    EXPECT_NEAR(clip.stereo[1], 32768 * (0 + 0.25f * centre - 0.5f) / weight, 1) << path;
  }
  // A browser has only the file's channel mask to go by: 5.1 on side speakers (0x60f) and on
  // back ones (0x3f, and no mask at all) weigh the same.
  const float left[] = {1, 0, centre, 0, 1, 0}, right[] = {0, 1, centre, 0, 0, 1};
  for (uint32_t mask : {0x60fu, 0x3fu, 0u}) {
    PlatDownmix mix = downmix_from_mask(6, mask);
    for (int c = 0; c < 6; c++) {
      EXPECT_FLOAT_EQ(mix.left[c], left[c] / weight) << "mask " << mask << ", channel " << c;
      EXPECT_FLOAT_EQ(mix.right[c], right[c] / weight) << "mask " << mask << ", channel " << c;
    }
  }
}

// A GSM 6.10 clip is coded in blocks of 320 samples; its true length is in its fact chunk, and
// the block's padding past it is never heard.
TEST(DecodeTest, AGsmClipEndsWhereItsFactChunkSays) {
  std::string dir = TemporaryDir();
  std::string path = dir + "/gsm.wav";
  SF_INFO info{};
  info.samplerate = 8000;
  info.channels = 1;
  info.format = SF_FORMAT_WAV | SF_FORMAT_GSM610;
  SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
  ASSERT_NE(f, nullptr);
  std::vector<float> tone(1000);
  for (size_t i = 0; i < tone.size(); i++) tone[i] = 0.5f * std::sin(static_cast<float>(i) * 0.3f);
  sf_writef_float(f, tone.data(), static_cast<sf_count_t>(tone.size()));
  sf_close(f);
  PlatSamples clip;
  ASSERT_TRUE(decode_wav_file(path.c_str(), 8000, &clip));
  EXPECT_EQ(clip.stereo.size(), 2 * tone.size());
}

TEST(DecodeTest, OnlyRegularFilesAreOpenedAndNothingBlocks) {
  std::string dir = TemporaryDir();
  ASSERT_EQ(mkfifo((dir + "/fifo").c_str(), 0644), 0);  // opening it to read would wait forever
  PlatPixels pixels;
  PlatSamples clip;
  for (const std::string& path : {dir + "/fifo", dir, std::string("/dev/zero")}) {
    EXPECT_FALSE(decode_png_file(path.c_str(), &pixels)) << path;
    EXPECT_FALSE(decode_wav_file(path.c_str(), 48000, &clip)) << path;
  }
  EXPECT_FALSE(decode_png_file(nullptr, &pixels));
}

// Under the sanitizers, an input that still broke a decoder would end this test.
TEST(DecodeTest, EveryInputAFuzzerFoundIsRefusedOrDecodedWithinTheLimits) {
  // Only the inputs themselves: a folder kept empty holds a dot file, which is none.
  auto inputs_in = [](const char* kind) {
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(fs::path(FUZZ_REGRESSIONS) / kind))
      if (entry.is_regular_file() && entry.path().filename().string()[0] != '.') files.push_back(entry.path());
    return files;
  };
  int inputs = 0;
  for (const fs::path& input : inputs_in("png")) {
    std::vector<uint8_t> bytes = ReadFile(input);
    PlatPixels pixels;
    bool ok = decode_png(bytes.data(), bytes.size(), &pixels);
    EXPECT_EQ(pixels.rgba.size(), ok ? static_cast<size_t>(pixels.width) * pixels.height * 4 : 0);
    EXPECT_LE(pixels.width, kMaxPictureSide);
    inputs++;
  }
  for (const fs::path& input : inputs_in("wav")) {
    std::vector<uint8_t> bytes = ReadFile(input);
    if (bytes.empty()) continue;
    static const int kRates[] = {48000, 44100, 22050, 96000};  // the fuzzer's first byte
    PlatSamples clip;
    bool ok = decode_wav(bytes.data() + 1, bytes.size() - 1, kRates[bytes[0] % 4], &clip);
    if (!ok) {
      EXPECT_TRUE(clip.stereo.empty());
    }
    EXPECT_LE(clip.stereo.size() * 2, kMaxClipBytes);
    inputs++;
  }
  EXPECT_GT(inputs, 0);
}
