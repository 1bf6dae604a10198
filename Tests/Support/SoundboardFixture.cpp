// Reading the soundboard's clips apart from the platform, to compare with what it plays.
#include "Tests/Support/SoundboardFixture.h"

#include <SDL.h>

std::vector<int16_t> SoundboardTest::ClipSamples(const char* file) {
  WavFile wav = LoadWav(std::string(plat_bundle_path()) + "/" + file);
  if (wav.channels != 1 || wav.rate != plat_audio_info().rate) return {};
  return wav.samples;
}

bool SoundboardTest::HearsClipFromItsStart(const std::vector<int16_t>& clip, int frames) {
  if (clip.size() < static_cast<size_t>(frames)) return false;
  std::vector<int16_t> heard = Render(frames);
  for (int i = 0; i < frames; i++)
    if (heard[2 * i] != clip[i] || heard[2 * i + 1] != clip[i]) return false;
  return true;
}
