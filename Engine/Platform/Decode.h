// Bounded decoders for the bundle's files, for backends whose system has none of its own (SDL,
// Null): PNG through libspng, WAV through libsndfile, resampled by libsamplerate. Every limit
// is checked before memory is taken for what it bounds, and a file outside one is refused
// whole. Only regular files are opened, so a FIFO or a device never blocks the caller.
#pragma once

#include <cstddef>
#include <cstdint>

#include "Engine/Limits.h"
#include "Engine/Platform/Backend.h"
#include "Engine/Platform/Downmix.h"


// A PNG, and nothing else whatever its name, as straight-alpha RGBA. On failure out is empty.
bool decode_png(const uint8_t* data, size_t size, PlatPixels* out);
bool decode_png_file(const char* path, PlatPixels* out);

// A WAV file (any encoding libsndfile reads in a RIFF WAVE container), converted to
// interleaved stereo 16-bit at `rate`. On failure out is empty.
bool decode_wav(const uint8_t* data, size_t size, int rate, PlatSamples* out);
bool decode_wav_file(const char* path, int rate, PlatSamples* out);
