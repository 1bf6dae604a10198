// Clips to the mixer's stereo: how each channel of a clip reaches the left and right sides, by
// the speaker it is for, and a sample at full scale to 16 bits. One rule for every backend,
// whichever decoder read the file (libsndfile on a desktop, the browser's own in a page).
#pragma once

#include <cstdint>

#include "Engine/Limits.h"
#include "Engine/Platform/Backend.h"

enum PlatSpeaker : uint8_t {
  kSpeakerOther,         // named nothing the downmix knows: both sides, as a centre
  kSpeakerLeft,          // front, side, back or top, on the left
  kSpeakerRight,
  kSpeakerCentre,        // front, back or top centre: both sides
  kSpeakerLowFrequency,  // left out: a phone has no subwoofer
};

struct PlatDownmix {
  int channels = 0;  // 1: mono, to both sides whole
  float left[kMaxClipChannels] = {};
  float right[kMaxClipChannels] = {};
};

// From each channel's speaker. Each side is the weighed sum of its channels over the sum of
// their weights, so that full scale everywhere stays full scale.
PlatDownmix downmix_from_speakers(int channels, const PlatSpeaker* speakers);

// From a WAV file's channel mask (WAVE_FORMAT_EXTENSIBLE), channel k being the k-th speaker
// named there. Without one (0), the usual order for the number of channels: front left, right,
// centre, low frequencies, back left, back right, side left, side right, as 5.1 and 7.1 are.
PlatDownmix downmix_from_mask(int channels, uint32_t mask);

// True when the downmix changes nothing: mono, or left and right as they are.
bool downmix_is_plain(const PlatDownmix& mix);

// One frame: channel c's sample at in[c * stride] (1 for interleaved samples, the clip's
// length for channels one after another).
void downmix_frame(const PlatDownmix& mix, const float* in, int stride, float* left, float* right);

// A sample at full scale (-1 to 1) to 16 bits, rounded, with anything past clipped and NaN
// silent: a float file can hold anything.
int16_t downmix_sample16(float v);
