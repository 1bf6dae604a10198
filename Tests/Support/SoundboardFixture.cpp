// Reading the soundboard's clips apart from the platform, to compare with what it plays.
#include "Tests/Support/SoundboardFixture.h"

#include <SDL.h>

std::vector<int16_t> SoundboardTest::ClipSamples(const char* file) {
  SDL_AudioSpec wav;
  Uint8* data = nullptr;
  Uint32 bytes = 0;
  std::string path = std::string(plat_bundle_path()) + "/" + file;
  if (!SDL_LoadWAV(path.c_str(), &wav, &data, &bytes)) return {};
  std::vector<int16_t> clip;
  if (wav.format == AUDIO_S16LSB && wav.channels == 1 && wav.freq == plat_audio_info().rate)
    clip.assign(reinterpret_cast<int16_t*>(data), reinterpret_cast<int16_t*>(data + bytes));
  SDL_FreeWAV(data);
  return clip;
}

bool SoundboardTest::HearsClipFromItsStart(const std::vector<int16_t>& clip, int frames) {
  if (clip.size() < static_cast<size_t>(frames)) return false;
  std::vector<int16_t> heard = Render(frames);
  for (int i = 0; i < frames; i++)
    if (heard[2 * i] != clip[i] || heard[2 * i + 1] != clip[i]) return false;
  return true;
}
