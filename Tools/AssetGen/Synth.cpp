// The synthesiser: band-limited pulse waves (polyBLEP), triangle, noise, envelopes, scores,
// echo and the master stage.
#include "Tools/AssetGen/Synth.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <sstream>

constexpr double kPi = 3.14159265358979323846;
constexpr float kTargetLoudness = 0.16f;  // about -16 dBFS RMS
constexpr float kPeakCeiling = 0.89f;     // -1 dBFS
constexpr double kEdge = 0.004;           // seconds smoothed at each end of a clip

// ---------------------------------------------------------------------------------------------
// Oscillators

// The correction that takes the step out of a naive pulse edge, so that high notes do not
// fold back into harsh low tones.
static double PolyBlep(double t, double dt) {
  if (t < dt) {
    t /= dt;
    return t + t - t * t - 1;
  }
  if (t > 1 - dt) {
    t = (t - 1) / dt;
    return t * t + t + t + 1;
  }
  return 0;
}

static double Pulse(double phase, double dt, double duty) {
  double v = phase < duty ? 1 : -1;
  v += PolyBlep(phase, dt);
  v -= PolyBlep(std::fmod(phase + 1 - duty, 1.0), dt);
  return v - (2 * duty - 1);  // without its DC, so notes start and stop without a thump
}

namespace {
struct Noise {
  uint32_t state = 0x1234567u;
  double Next() {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return static_cast<double>(state) / 2147483648.0 - 1;
  }
};
}  // namespace

static double Frequency(double midi) { return 440.0 * std::pow(2.0, (midi - 69) / 12); }

// ---------------------------------------------------------------------------------------------
// Envelope: linear attack, exponential decay to the sustain level, linear release.

static double Level(const Tone& t, double time) {  // before the release
  if (time < t.attack) return time / t.attack;
  return t.sustain + (1 - t.sustain) * std::exp(-(time - t.attack) / std::max(t.decay, 1e-4));
}

static double Envelope(const Tone& t, double time) {
  if (time <= t.length) return Level(t, time);
  double r = (time - t.length) / t.release;
  return r >= 1 ? 0 : Level(t, t.length) * (1 - r);
}

// ---------------------------------------------------------------------------------------------
// Track

void Track::Add(const Tone& t) {
  size_t first = static_cast<size_t>(t.start * kSynthRate);
  size_t count = static_cast<size_t>((t.length + t.release) * kSynthRate) + 1;
  if (samples_.size() < first + count) samples_.resize(first + count, 0);
  double phase = 0, previous_noise = 0;
  Noise noise;
  double duty = t.wave == Wave::kPulse12 ? 0.125 : t.wave == Wave::kPulse25 ? 0.25 : 0.5;
  for (size_t i = 0; i < count; i++) {
    double time = static_cast<double>(i) / kSynthRate;
    double midi = t.midi;
    if (t.glide_to > 0) midi += (t.glide_to - t.midi) * std::min(time / t.length, 1.0);
    if (t.vibrato > 0) midi += t.vibrato * std::min(time / 0.15, 1.0) * std::sin(2 * kPi * 5.5 * time);
    double dt = Frequency(midi) / kSynthRate;
    double v;
    switch (t.wave) {
      case Wave::kTriangle: v = 4 * std::fabs(phase - 0.5) - 1; break;
      case Wave::kNoise: {  // brightened white noise: each sample less the one before
        double n = noise.Next();
        v = (n - previous_noise) * 0.6;
        previous_noise = n;
        break;
      }
      default: v = Pulse(phase, dt, duty); break;
    }
    phase = std::fmod(phase + dt, 1.0);
    samples_[first + i] += static_cast<float>(v * Envelope(t, time) * t.volume);
  }
}

double NoteNumber(const std::string& name) {
  static const int kSteps[] = {9, 11, 0, 2, 4, 5, 7};  // A B C D E F G, from C
  if (name.size() < 2 || name[0] < 'A' || name[0] > 'G') return -1;
  int note = kSteps[name[0] - 'A'];
  size_t i = 1;
  if (name[i] == '#') note++, i++;
  else if (name[i] == 'b') note--, i++;
  if (i >= name.size() || !isdigit(static_cast<unsigned char>(name[i]))) return -1;
  int octave = std::stoi(name.substr(i));
  return 12 * (octave + 1) + note;
}

double Track::Score(const std::string& notes, double start, double bpm, Tone style, double fill) {
  std::istringstream in(notes);
  std::string token;
  double beat = 60.0 / bpm, time = start;
  while (in >> token) {
    size_t slash = token.find('/');
    double beats = slash == std::string::npos ? 1 : std::stod(token.substr(slash + 1));
    std::string name = token.substr(0, slash);
    double midi = NoteNumber(name);
    if (midi >= 0) {
      Tone t = style;
      t.start = time;
      t.midi = midi;
      t.length = beats * beat * fill;
      Add(t);
    }
    time += beats * beat;
  }
  return time;
}

void Track::Mix(const Track& other, float gain) {
  if (samples_.size() < other.samples_.size()) samples_.resize(other.samples_.size(), 0);
  for (size_t i = 0; i < other.samples_.size(); i++) samples_[i] += other.samples_[i] * gain;
}

void Track::Echo(double delay_s, float feedback, float mix) {
  size_t delay = static_cast<size_t>(delay_s * kSynthRate);
  size_t dry = samples_.size();
  size_t repeats_heard = static_cast<size_t>(std::ceil(std::log(0.01) / std::log(feedback)));
  std::vector<float> repeats(dry + delay * repeats_heard, 0);  // until they fall below 1 %
  for (size_t i = delay; i < repeats.size(); i++) {
    float source = i - delay < dry ? samples_[i - delay] : 0;
    repeats[i] = source + feedback * repeats[i - delay];
  }
  samples_.resize(repeats.size(), 0);
  for (size_t i = 0; i < repeats.size(); i++) samples_[i] += mix * repeats[i];
}

// ---------------------------------------------------------------------------------------------
// Drums

Tone Kick(double at) {
  return {.start = at, .length = 0.09, .midi = NoteNumber("D3"), .glide_to = NoteNumber("D1"),
          .wave = Wave::kTriangle, .volume = 0.9f, .decay = 0.05, .sustain = 0.2f, .release = 0.05};
}

Tone Snare(double at) {
  return {.start = at, .length = 0.07, .wave = Wave::kNoise, .volume = 0.45f, .decay = 0.04,
          .sustain = 0.15f, .release = 0.06};
}

Tone Hat(double at, float volume) {
  return {.start = at, .length = 0.02, .wave = Wave::kNoise, .volume = volume, .decay = 0.012,
          .sustain = 0.1f, .release = 0.02};
}

// ---------------------------------------------------------------------------------------------
// Master

float Loudness(const std::vector<float>& samples) {
  const size_t window = kSynthRate / 20;
  std::vector<float> levels;
  for (size_t at = 0; at + window <= samples.size(); at += window) {
    double sum = 0;
    for (size_t i = at; i < at + window; i++) sum += static_cast<double>(samples[i]) * samples[i];
    levels.push_back(static_cast<float>(std::sqrt(sum / window)));
  }
  if (levels.empty()) return 0;
  std::sort(levels.begin(), levels.end(), std::greater<float>());
  size_t half = (levels.size() + 1) / 2;
  double sum = 0;
  for (size_t i = 0; i < half; i++) sum += static_cast<double>(levels[i]) * levels[i];
  return static_cast<float>(std::sqrt(sum / half));
}

std::vector<short> Master(const std::vector<float>& samples) {
  // A gentle low-pass takes the edge off the square waves' highest harmonics.
  std::vector<float> soft(samples.size());
  float state = 0, k = 1 - std::exp(static_cast<float>(-2 * kPi * 9000.0 / kSynthRate));
  for (size_t i = 0; i < samples.size(); i++) soft[i] = state += k * (samples[i] - state);

  float loudness = Loudness(soft), peak = 0;
  for (float s : soft) peak = std::max(peak, std::fabs(s));
  float gain = loudness > 0 ? kTargetLoudness / loudness : 1;
  if (peak * gain > kPeakCeiling) gain = kPeakCeiling / peak;

  std::vector<short> out(soft.size());
  size_t edge = static_cast<size_t>(kEdge * kSynthRate);
  for (size_t i = 0; i < soft.size(); i++) {
    float fade = 1;
    if (i < edge) fade = static_cast<float>(i) / edge;
    if (soft.size() - 1 - i < edge) fade = std::min(fade, static_cast<float>(soft.size() - 1 - i) / edge);
    out[i] = static_cast<short>(std::lround(std::clamp(soft[i] * gain * fade, -1.0f, 1.0f) * 32767));
  }
  return out;
}
