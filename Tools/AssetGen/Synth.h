// A small chiptune synthesiser for the generator's clips: pulse, triangle and noise voices
// with click-free envelopes, pitch glides and vibrato, a score notation for melodies, and a
// master stage that levels every clip to the same loudness. Mono, at the mixer's rate.
#pragma once

#include <string>
#include <vector>

#include "Engine/Limits.h"

constexpr int kSynthRate = kMixerRate;  // the clips are made at the mixer's rate

enum class Wave { kPulse12, kPulse25, kPulse50, kTriangle, kNoise };

// One sound of the synthesiser. Written with designated initialisers, in this order, naming
// only what differs from the defaults.
struct Tone {
  double start = 0;     // seconds
  double length = 0.1;  // seconds until the release begins
  double midi = 69;     // pitch as a MIDI note number (69 = A4 = 440 Hz); fractions allowed
  double glide_to = 0;  // if set, the pitch slides there, exponentially, over the length
  Wave wave = Wave::kPulse25;
  float volume = 0.5f;
  float vibrato = 0;      // depth in semitones, at 5.5 Hz, fading in
  double attack = 0.004;  // seconds
  double decay = 0.08;    // seconds
  float sustain = 0.7f;   // level after the decay, of the peak
  double release = 0.03;  // seconds
};

class Track {
 public:
  void Add(const Tone& tone);
  // Adds a melody written as "E5/1 G5/0.5 r/0.5 ...": note and octave (sharps as C#5, flats
  // as Bb4) or r for a rest, then its length in beats. Each note takes `fill` of its length.
  // Returns the time after the last note.
  double Score(const std::string& notes, double start, double bpm, Tone style, double fill = 0.85);
  void Mix(const Track& other, float gain = 1);
  void Echo(double delay_s, float feedback, float mix);  // a tail of repeats, fading
  std::vector<float>& samples() { return samples_; }
  const std::vector<float>& samples() const { return samples_; }

 private:
  std::vector<float> samples_;
};

double NoteNumber(const std::string& name);  // "A4" -> 69, "C#5" -> 73; -1 if not a note

// Drums, as short tones: a dropping thump, a noisy snap and a ticking hat.
Tone Kick(double at);
Tone Snare(double at);
Tone Hat(double at, float volume = 0.12f);

// The loudness used to level clips: the RMS of the loudest half of 50 ms windows.
float Loudness(const std::vector<float>& samples);

// Levels the clip to the common loudness with its peaks below -1 dBFS, smooths the first and
// last milliseconds, and converts to 16-bit.
std::vector<short> Master(const std::vector<float>& samples);
