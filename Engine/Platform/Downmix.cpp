// The downmix: speakers to weights, a WAV channel mask to speakers, and the sum itself.
#include "Engine/Platform/Downmix.h"

#include <algorithm>
#include <cmath>

// ---------------------------------------------------------------------------------------------
// Speakers

static constexpr float kHalfPower = 0.70710678f;  // a centre on both sides, at its own loudness

// What each bit of a WAV channel mask names, from bit 0: front left, front right, front centre,
// low frequencies, back left, back right, front left and right of centre, back centre, side
// left and right, top centre, top front left, centre and right, top back left, centre, right.
static constexpr PlatSpeaker kMaskSpeakers[] = {
    kSpeakerLeft,  kSpeakerRight, kSpeakerCentre, kSpeakerLowFrequency, kSpeakerLeft,
    kSpeakerRight, kSpeakerLeft,  kSpeakerRight,  kSpeakerCentre,       kSpeakerLeft,
    kSpeakerRight, kSpeakerCentre, kSpeakerLeft,  kSpeakerCentre,       kSpeakerRight,
    kSpeakerLeft,  kSpeakerCentre, kSpeakerRight,
};
static constexpr int kMaskBits = sizeof kMaskSpeakers / sizeof kMaskSpeakers[0];

// The masks of the usual layouts, by number of channels: mono, stereo, 3.0, quad, 5.0, 5.1,
// 6.1 and 7.1.
static constexpr uint32_t kUsualMasks[kMaxClipChannels + 1] = {
    0, 0x4, 0x3, 0x7, 0x33, 0x37, 0x3f, 0x70f, 0x63f};

PlatDownmix downmix_from_speakers(int channels, const PlatSpeaker* speakers) {
  PlatDownmix mix;
  mix.channels = std::clamp(channels, 0, kMaxClipChannels);
  if (mix.channels == 1) {
    mix.left[0] = mix.right[0] = 1;
    return mix;
  }
  float left_sum = 0, right_sum = 0;
  for (int c = 0; c < mix.channels; c++) {
    switch (speakers[c]) {
      case kSpeakerLeft: mix.left[c] = 1; break;
      case kSpeakerRight: mix.right[c] = 1; break;
      case kSpeakerLowFrequency: break;
      case kSpeakerCentre:
      case kSpeakerOther: mix.left[c] = mix.right[c] = kHalfPower; break;
    }
    left_sum += mix.left[c];
    right_sum += mix.right[c];
  }
  for (int c = 0; c < mix.channels; c++) {
    if (left_sum > 0) mix.left[c] /= left_sum;
    if (right_sum > 0) mix.right[c] /= right_sum;
  }
  return mix;
}

PlatDownmix downmix_from_mask(int channels, uint32_t mask) {
  channels = std::clamp(channels, 0, kMaxClipChannels);
  if (mask == 0) mask = kUsualMasks[channels];
  PlatSpeaker speakers[kMaxClipChannels];
  int c = 0;
  for (int bit = 0; bit < kMaskBits && c < channels; bit++)
    if (mask & (1u << bit)) speakers[c++] = kMaskSpeakers[bit];
  while (c < channels) speakers[c++] = kSpeakerOther;  // more channels than the mask names
  return downmix_from_speakers(channels, speakers);
}

bool downmix_is_plain(const PlatDownmix& mix) {
  if (mix.channels == 1) return true;
  return mix.channels == 2 && mix.left[0] == 1 && mix.left[1] == 0 && mix.right[0] == 0 &&
         mix.right[1] == 1;
}

// ---------------------------------------------------------------------------------------------
// Samples

void downmix_frame(const PlatDownmix& mix, const float* in, int stride, float* left, float* right) {
  float l = 0, r = 0;
  for (int c = 0; c < mix.channels; c++) {
    float v = in[c * stride];
    l += v * mix.left[c];
    r += v * mix.right[c];
  }
  *left = l;
  *right = r;
}

int16_t downmix_sample16(float v) {
  if (std::isnan(v)) return 0;
  float scaled = std::nearbyint(v * 32768.0f);
  return static_cast<int16_t>(std::clamp(scaled, -32768.0f, 32767.0f));
}
