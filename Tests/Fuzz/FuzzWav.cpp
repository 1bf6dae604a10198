// Fuzzes the clip loader: the first byte chooses the mixer's rate (so that conversion runs
// too), the rest is a WAV file. It must refuse or decode, never crash, never read or write
// outside a buffer, and never give more than the bound.
#include <cstdlib>

#include "Engine/Platform/Decode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  static const int kRates[] = {48000, 44100, 22050, 96000};
  PlatSamples clip;
  bool ok = decode_wav(data + 1, size - 1, kRates[data[0] % 4], &clip);
  bool sane = ok ? clip.stereo.size() % 2 == 0 && clip.stereo.size() * 2 <= kMaxClipBytes
                 : clip.stereo.empty();
  if (!sane) abort();
  return 0;
}
