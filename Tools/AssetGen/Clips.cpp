// The soundboard's nine clips, composed here for this program: two short themes with a bass
// line and drums, and seven effects. Every melody is our own.
#include "Tools/AssetGen/Clips.h"

#include <sstream>

// ---------------------------------------------------------------------------------------------
// Songs: a plan of chords, one per stretch of beats, gives the bass line and the off-beat
// chord stabs; the melody is written out; drums keep time.

namespace {
struct Chord {
  const char* root;   // bass note, low octave, as "C2"
  const char* tones;  // the chord's notes for the stabs, as "E4 G4 C5"
  double beats;
};
}  // namespace

static void BassLine(Track& track, const std::vector<Chord>& plan, double bpm, bool driving) {
  double beat = 60 / bpm, time = 0;
  const Tone style{.wave = Wave::kTriangle, .volume = 0.6f, .sustain = 0.8f, .release = 0.02};
  for (const Chord& chord : plan) {
    double root = NoteNumber(chord.root);
    // Eighths: the root, its octave, and on the fifth eighth the fifth below the octave.
    static const int kSteady[] = {0, 12, 0, 12, 7, 12, 0, 12};
    static const int kDriving[] = {0, 0, 12, 0, 0, 12, 0, 12};
    const int* pattern = driving ? kDriving : kSteady;
    for (int i = 0; i < static_cast<int>(chord.beats * 2); i++) {
      Tone t = style;
      t.start = time + i * beat / 2;
      t.midi = root + pattern[i % 8];
      t.length = beat / 2 * (driving ? 0.6 : 0.85);
      track.Add(t);
    }
    time += chord.beats * beat;
  }
}

static void Stabs(Track& track, const std::vector<Chord>& plan, double bpm) {
  double beat = 60 / bpm, time = 0;
  const Tone style{.wave = Wave::kPulse12, .volume = 0.1f, .decay = 0.05, .sustain = 0.4f};
  for (const Chord& chord : plan) {
    for (int b = 0; b < static_cast<int>(chord.beats); b++) {
      std::istringstream tones(chord.tones);
      std::string name;
      while (tones >> name) {
        Tone t = style;
        t.start = time + (b + 0.5) * beat;
        t.midi = NoteNumber(name);
        t.length = beat * 0.3;
        track.Add(t);
      }
    }
    time += chord.beats * beat;
  }
}

static void Drums(Track& track, int beats, double bpm, bool four_on_the_floor) {
  double beat = 60 / bpm;
  for (int b = 0; b < beats; b++) {
    double at = b * beat;
    if (four_on_the_floor || b % 2 == 0) track.Add(Kick(at));
    if (b % 2 == 1) track.Add(Snare(at));
    track.Add(Hat(at, 0.07f));
    track.Add(Hat(at + beat / 2, 0.12f));
    if (four_on_the_floor) {
      track.Add(Hat(at + beat / 4, 0.05f));
      track.Add(Hat(at + 3 * beat / 4, 0.05f));
    }
  }
}

static int Beats(const std::vector<Chord>& plan) {
  double beats = 0;
  for (const Chord& c : plan) beats += c.beats;
  return static_cast<int>(beats);
}

// A bright tune in C major at a walking pace, eight bars.
static Track Theme() {
  const double bpm = 150;
  const std::vector<Chord> plan = {
      {"C2", "E4 G4 C5", 4}, {"A1", "E4 A4 C5", 4}, {"F1", "F4 A4 C5", 4}, {"G1", "D4 G4 B4", 4},
      {"C2", "E4 G4 C5", 4}, {"A1", "E4 A4 C5", 4}, {"F1", "F4 A4 C5", 2}, {"G1", "D4 G4 B4", 2},
      {"C2", "E4 G4 C5", 4}};
  Track melody;
  const Tone lead{.wave = Wave::kPulse25, .volume = 0.32f, .vibrato = 0.12f};
  melody.Score("E5/1 G5/0.5 A5/0.5 G5/1 E5/0.5 C5/0.5 "
               "A4/0.5 C5/0.5 E5/1 D5/0.5 C5/0.5 A4/1 "
               "F5/0.5 E5/0.5 F5/0.5 A5/0.5 C6/1 A5/1 "
               "G5/1.5 F5/0.5 E5/0.5 D5/0.5 B4/1 "
               "E5/0.5 E5/0.5 G5/1 C6/1 B5/0.5 A5/0.5 "
               "A5/1 E5/0.5 A5/0.5 G5/1 E5/1 "
               "F5/0.5 A5/0.5 C6/1 B5/0.5 G5/0.5 D6/1 "
               "C6/3 r/1",
               0, bpm, lead);
  melody.Echo(60 / bpm * 0.75, 0.3f, 0.25f);
  Track song;
  BassLine(song, plan, bpm, false);
  Stabs(song, plan, bpm);
  Drums(song, Beats(plan) - 4, bpm, false);
  song.Add(Kick((Beats(plan) - 4) * 60 / bpm));
  song.Mix(melody);
  return song;
}

// A racing tune in A minor, faster, with a driving bass and a four-on-the-floor beat.
static Track KartTheme() {
  const double bpm = 172;
  const std::vector<Chord> plan = {
      {"A1", "E4 A4 C5", 4}, {"F1", "F4 A4 C5", 4}, {"G1", "D4 G4 B4", 4}, {"E1", "E4 G#4 B4", 4},
      {"A1", "E4 A4 C5", 4}, {"F1", "F4 A4 C5", 4}, {"G1", "D4 G4 B4", 4}, {"A1", "E4 A4 C5", 4}};
  Track melody;
  const Tone lead{.wave = Wave::kPulse50, .volume = 0.26f, .vibrato = 0.18f, .sustain = 0.6f};
  melody.Score("A5/0.75 E5/0.75 A5/0.5 C6/1 B5/0.5 A5/0.5 "
               "F5/0.5 A5/0.5 C6/0.75 A5/0.75 F5/0.5 G5/0.5 A5/0.5 "
               "G5/0.75 D5/0.75 G5/0.5 B5/1 A5/0.5 G5/0.5 "
               "G#5/0.5 B5/0.5 E6/1 D6/0.5 B5/0.5 G#5/1 "
               "A5/0.5 C6/0.5 E6/0.75 D6/0.75 C6/0.5 B5/0.5 A5/0.5 "
               "C6/0.5 A5/0.5 F5/0.5 A5/0.5 C6/1 F6/1 "
               "E6/0.5 D6/0.5 B5/0.5 G5/0.5 D6/0.75 B5/0.75 G5/0.5 "
               "A5/0.5 E5/0.5 A5/0.5 C6/0.5 A5/2",
               0, bpm, lead, 0.8);
  melody.Echo(60 / bpm * 0.5, 0.28f, 0.22f);
  Track song;
  BassLine(song, plan, bpm, true);
  Stabs(song, plan, bpm);
  Drums(song, Beats(plan), bpm, true);
  song.Mix(melody);
  return song;
}

// ---------------------------------------------------------------------------------------------
// Effects

// The same tone some octaves lower on the triangle: a soft body under a pulse voice.
static Tone Body(Tone tone, int octaves, float volume) {
  tone.wave = Wave::kTriangle;
  tone.midi -= 12 * octaves;
  if (tone.glide_to > 0) tone.glide_to -= 12 * octaves;
  tone.volume = volume;
  return tone;
}

// A sad slide down: three falling steps, a wobbling note, then a long glide into the floor.
static Track Die() {
  Track t;
  const Tone step{.length = 0.1, .wave = Wave::kPulse50, .volume = 0.4f};
  double at = 0;
  for (const char* name : {"C5", "B4", "Bb4"}) {
    Tone s = step;
    s.start = at;
    s.midi = NoteNumber(name);
    t.Add(s);
    at += 0.13;
  }
  t.Add({.start = at, .length = 0.38, .midi = NoteNumber("A4"), .wave = Wave::kPulse50,
         .volume = 0.4f, .vibrato = 0.6f});
  t.Add({.start = at + 0.45, .length = 0.75, .midi = NoteNumber("G4"), .glide_to = NoteNumber("C2"),
         .wave = Wave::kPulse50, .volume = 0.4f, .decay = 0.5, .sustain = 0.3f, .release = 0.1});
  Tone thud = Kick(at + 1.2);
  thud.volume = 0.7f;
  t.Add(thud);
  return t;
}

// Power up: a quick arpeggio climbing two octaves over a rising swoop, ending in a shimmer.
static Track Shroom() {
  Track t;
  double at = 0;
  for (const char* name : {"C5", "E5", "G5", "C6", "D6", "E6", "G6", "C7"}) {
    double midi = NoteNumber(name);
    t.Add({.start = at, .length = 0.05, .midi = midi, .volume = 0.35f, .release = 0.02});
    // A thinner voice an octave below, a moment later.
    t.Add({.start = at + 0.02, .length = 0.05, .midi = midi - 12, .wave = Wave::kPulse12,
           .volume = 0.15f, .release = 0.02});
    at += 0.055;
  }
  t.Add({.start = at, .length = 0.3, .midi = NoteNumber("C7"), .volume = 0.35f, .vibrato = 0.35f,
         .decay = 0.2, .sustain = 0.4f, .release = 0.12});
  t.Add({.length = at, .midi = NoteNumber("C3"), .glide_to = NoteNumber("C5"),
         .wave = Wave::kTriangle, .volume = 0.35f});
  return t;
}

// A coin: a short high note, then a brighter one a fifth above that rings out.
static Track Coin() {
  Track t;
  t.Add({.length = 0.06, .midi = NoteNumber("D6"), .wave = Wave::kPulse50, .volume = 0.35f,
         .release = 0.01});
  t.Add({.start = 0.065, .length = 0.05, .midi = NoteNumber("A6"), .volume = 0.35f, .decay = 0.18,
         .sustain = 0.25f, .release = 0.3});
  t.Echo(0.09, 0.25f, 0.2f);
  return t;
}

// An alarm: four rising whoops over a low buzz.
static Track Warning() {
  Track t;
  for (int i = 0; i < 4; i++) {
    const Tone whoop{.start = i * 0.6, .length = 0.42, .midi = NoteNumber("D5"),
                     .glide_to = NoteNumber("D6"), .wave = Wave::kPulse50, .volume = 0.32f,
                     .sustain = 0.9f, .release = 0.06};
    t.Add(whoop);
    t.Add(Body(whoop, 2, 0.4f));
  }
  return t;
}

// A fanfare for a cleared stage: a triplet pickup, two calls, and a held chord.
static Track Clear() {
  const double bpm = 132, beat = 60 / bpm;
  Track t;
  const Tone lead{.wave = Wave::kPulse25, .volume = 0.34f, .vibrato = 0.15f};
  double end = t.Score("G4/0.3333 C5/0.3333 E5/0.3334 G5/1 E5/0.5 G5/0.5", 0, bpm, lead);
  const double held = 2.2 * beat;
  t.Add({.start = end, .length = held, .midi = NoteNumber("C6"), .wave = Wave::kPulse25,
         .volume = 0.34f, .vibrato = 0.15f, .release = 0.25});
  for (const char* name : {"E5", "G5"})
    t.Add({.start = end, .length = held, .midi = NoteNumber(name), .wave = Wave::kPulse12,
           .volume = 0.14f, .vibrato = 0.15f, .release = 0.25});
  const Tone bass{.wave = Wave::kTriangle, .volume = 0.55f};
  t.Score("r/1 C3/1 G2/1", 0, bpm, bass);
  t.Add({.start = end, .length = held, .midi = NoteNumber("C2"), .wave = Wave::kTriangle,
         .volume = 0.55f, .release = 0.25});
  t.Add(Kick(end));
  return t;
}

// An extra life: a cheerful figure rising through A major, landing high.
static Track OneUp() {
  Track t;
  t.Score("A5/0.5 C#6/0.5 E6/0.5 A6/0.5 F#6/0.5 A6/2", 0, 400, {.volume = 0.34f}, 0.9);
  t.Echo(0.11, 0.3f, 0.2f);
  return t;
}

// A jump: a quick sweep upwards with a body an octave below.
static Track Jump() {
  Track t;
  const Tone sweep{.length = 0.2, .midi = NoteNumber("D4"), .glide_to = NoteNumber("A5"),
                   .volume = 0.35f, .decay = 0.12, .sustain = 0.5f, .release = 0.06};
  t.Add(sweep);
  t.Add(Body(sweep, 1, 0.4f));
  return t;
}

std::vector<Clip> SoundboardClips() {
  return {{"Theme.wav", Theme},     {"Die.wav", Die},       {"KartTheme.wav", KartTheme},
          {"Shroom.wav", Shroom},   {"Coin.wav", Coin},     {"Warning.wav", Warning},
          {"Clear.wav", Clear},     {"1_Up.wav", OneUp},    {"Jump.wav", Jump}};
}
