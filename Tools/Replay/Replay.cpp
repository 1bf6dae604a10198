// Replay: runs the soundboard without waiting for anything, on a clock of its own, with touches
// from the command line or a script; writes screenshots, the whole sound, and what the program
// printed. The same arguments give the same files, byte for byte, on every run.
//
// usage: Replay [--script FILE] [--touch TICK:down|move|up:X:Y]... [--random-presses SEED]
//               [--ticks N] [--size WxH] [--bundle DIR]
//               [--png FILE] [--wav FILE] [--log FILE] [--sheet FILE]
//               [--frames DIR] [--frame-every MS] [--memory FILE]
//   --script     commands at times from the first frame (see Script.h); its shots are written
//                where it names them
//   --touch      TICK counts from 1, the first frame; X and Y are in points
//   --random-presses  a press every second or two, mostly on a button, from that seed
//   --ticks      how long to run, in frames (default 60; a script's own end or last line
//                makes it longer)
//   --size       the window, in pixels; --bundle where the pictures and clips are
//   --png        the screen at the end; --wav all the sound; --log the lines it printed
//   --sheet      every shot of the script on one picture, with its time under it
//   --frames     the screen every --frame-every ms (default 100) as DIR/frame-0001.png, ...
//   --memory     the resident memory after the first frame and at the end, in KiB
//   It runs headless: SDL_VIDEODRIVER is offscreen unless set otherwise.
//   Each output is written beside its place and moved there whole once written: a reader, or a
//   second run writing the same file, sees one whole run's file or none, never a mix. An output
//   that is one of the run's inputs (the script, a file of the bundle) or another output is
//   refused before anything runs, as are a script that is a folder and a bundle that is none.
//
// Time runs from the launch: 0 is the first frame and the first sample of the sound; tick n
// comes at n/30 s. Whatever happens at a moment comes after the tick due then, once the sound
// up to that moment has been rendered, so that a press plays from exactly its own sample.
#include <SDL_ttf.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <new>
#include <sstream>
#include <string>
#include <vector>

#include "Engine/DorvelAppDelegate.h"
#include "Engine/Limits.h"
#include "Engine/Platform/FrameClock.h"
#include "Engine/Platform/Platform.h"
#include "Engine/Touch.h"
#include "Tools/AssetGen/Canvas.h"
#include "Tools/Media/Media.h"
#include "Tools/Replay/Script.h"

// ---------------------------------------------------------------------------------------------
// Options

namespace {
struct Options {
  int ticks = 60;
  bool ticks_given = false;
  int width = 0, height = 0;
  std::vector<ScriptCommand> commands;  // touches and shots, from every source, in time order
  std::string script;
  bool random_presses = false;
  uint64_t seed = 0;
  std::string bundle, png, wav, log, sheet, frames, memory;
  uint64_t frame_every_ns = 100000000;
};
}  // namespace

static constexpr uint64_t kLaunchNs = 1000000000;  // the clock's reading at the launch
static constexpr long long kMaxTicks = kMaxScriptNs / 1000000000 * kFrameRate;  // a day
static uint64_t now_ns = kLaunchNs;
static uint64_t ReplayClock() { return now_ns; }

static const PlatFrameClock kSchedule(kLaunchNs, kFrameInterval);  // the frame clock's own

static uint64_t TickNs(int tick) { return kSchedule.due_ns(static_cast<uint64_t>(tick)) - kLaunchNs; }

static ScriptCommand TouchAt(uint64_t at_ns, PlatTouchPhase phase, PlatPoint point) {
  return {ScriptCommand::kTouch, at_ns, phase, point, "", 0};
}

// A whole number in [low, high], the whole of the text; false otherwise.
static bool ParseNumber(const char* text, long long low, long long high, long long* value) {
  char* end = nullptr;
  errno = 0;
  long long v = strtoll(text, &end, 10);
  if (errno || end == text || *end || v < low || v > high) return false;
  *value = v;
  return true;
}

static bool ParseTouch(const char* text, ScriptCommand* touch) {
  char phase[8], tick_text[24];
  float x, y;
  long long tick;
  if (sscanf(text, "%23[0-9]:%7[a-z]:%f:%f", tick_text, phase, &x, &y) != 4 ||
      !ParseNumber(tick_text, 1, kMaxTicks, &tick))
    return false;
  PlatTouchPhase p;
  if (!strcmp(phase, "down")) p = kPlatTouchBegan;
  else if (!strcmp(phase, "move")) p = kPlatTouchMoved;
  else if (!strcmp(phase, "up")) p = kPlatTouchEnded;
  else return false;
  *touch = TouchAt(TickNs(static_cast<int>(tick) - 1), p, {x, y});
  return true;
}

// The options, each checked; on a bad one, false with the line that says which and why.
static bool ParseOptions(int argc, char** argv, Options* o, std::string* error) {
  for (int i = 1; i < argc; i++) {
    std::string arg = argv[i];
    const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
    if (!value) {
      *error = arg + " needs a value";
      return false;
    }
    i++;
    auto bad = [&](const std::string& what) {
      *error = arg + " " + value + ": " + what;
      return false;
    };
    long long n = 0;
    if (arg == "--ticks") {
      if (!ParseNumber(value, 0, kMaxTicks, &n))
        return bad("a whole number of frames, up to " + std::to_string(kMaxTicks) + " (a day)");
      o->ticks = static_cast<int>(n);
      o->ticks_given = true;
    } else if (arg == "--size") {
      char w[16], h[16];
      long long width = 0, height = 0;
      if (sscanf(value, "%15[0-9]x%15[0-9]", w, h) != 2 || !ParseNumber(w, 1, kMaxWindowSide, &width) ||
          !ParseNumber(h, 1, kMaxWindowSide, &height) || strlen(value) != strlen(w) + 1 + strlen(h))
        return bad("WIDTHxHEIGHT in pixels, each from 1 to " + std::to_string(kMaxWindowSide));
      o->width = static_cast<int>(width);
      o->height = static_cast<int>(height);
    } else if (arg == "--touch") {
      ScriptCommand touch;
      if (!ParseTouch(value, &touch))
        return bad("TICK:down|move|up:X:Y, TICK from 1 to " + std::to_string(kMaxTicks));
      o->commands.push_back(touch);
    } else if (arg == "--random-presses") {
      char* end = nullptr;
      errno = 0;
      o->seed = strtoull(value, &end, 10);
      if (errno || end == value || *end || *value == '-') return bad("a whole number");
      o->random_presses = true;
    } else if (arg == "--frame-every") {
      if (!ParseNumber(value, 1, kMaxScriptNs / 1000000, &n)) return bad("milliseconds, from 1 to a day");
      o->frame_every_ns = static_cast<uint64_t>(n) * 1000000;
    } else {
      std::string* file = arg == "--script" ? &o->script : arg == "--bundle" ? &o->bundle
                        : arg == "--png"    ? &o->png    : arg == "--wav"    ? &o->wav
                        : arg == "--log"    ? &o->log    : arg == "--sheet"  ? &o->sheet
                        : arg == "--frames" ? &o->frames : arg == "--memory" ? &o->memory
                                            : nullptr;
      if (!file) {
        *error = "unknown option " + arg;
        return false;
      }
      *file = value;
    }
  }
  return true;
}

// The script's commands join the command line's; a bad line stops everything before it runs.
static bool ReadScript(Options* o, uint64_t* end_ns) {
  std::ifstream in(o->script);
  if (!in) {
    fprintf(stderr, "Replay: cannot read %s\n", o->script.c_str());
    return false;
  }
  std::stringstream text;
  text << in.rdbuf();
  std::vector<ScriptCommand> commands;
  std::string error;
  if (!ParseScript(text.str(), o->script, &commands, &error)) {
    fprintf(stderr, "%s\n", error.c_str());
    return false;
  }
  for (const ScriptCommand& c : commands) {
    if (c.kind == ScriptCommand::kEnd) *end_ns = c.at_ns;
    else o->commands.push_back(c);
  }
  return true;
}

// ---------------------------------------------------------------------------------------------
// Inputs and outputs, checked before anything runs

// A file's place, whether it exists yet or not: its folder's real path and its name.
static std::string Place(const std::string& path) {
  size_t slash = path.rfind('/');
  std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  char real[PATH_MAX];
  if (!realpath(folder.c_str(), real)) return path;
  return std::string(real) + "/" + path.substr(slash == std::string::npos ? 0 : slash + 1);
}

static bool IsFolder(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The script a file, the bundle a folder; no output one of the inputs or another output. False
// with the line that says which and why.
static bool CheckFiles(const Options& o, std::string* error) {
  if (!o.script.empty() && IsFolder(o.script)) {
    *error = "--script " + o.script + ": a folder, not a script";
    return false;
  }
  if (!o.bundle.empty() && !IsFolder(o.bundle)) {
    *error = "--bundle " + o.bundle + ": no such folder";
    return false;
  }
  std::vector<std::pair<std::string, std::string>> outputs = {
      {"--png", o.png}, {"--wav", o.wav}, {"--log", o.log}, {"--sheet", o.sheet}, {"--memory", o.memory}};
  for (const ScriptCommand& c : o.commands)
    if (c.kind == ScriptCommand::kShot && c.line > 0) outputs.push_back({"shot", c.file});
  char bundle[PATH_MAX];
  std::string inside = !o.bundle.empty() && realpath(o.bundle.c_str(), bundle) ? std::string(bundle) + "/" : "";
  std::vector<std::string> taken;
  for (const auto& [option, file] : outputs) {
    if (file.empty()) continue;
    std::string place = Place(file);
    const char* why = !o.script.empty() && place == Place(o.script) ? "the script this run reads"
                      : !inside.empty() && place.compare(0, inside.size(), inside) == 0 ? "in the bundle this run reads"
                      : std::find(taken.begin(), taken.end(), place) != taken.end() ? "another output of this run"
                                                                                 : nullptr;
    if (why) {
      *error = option + " " + file + ": that is " + why;
      return false;
    }
    taken.push_back(place);
  }
  return true;
}

// An output, written under a name of its own beside its place and moved there once whole; a
// device or a pipe (/dev/stdout, /dev/full) is written straight, as it cannot be replaced.
namespace {
class Output {
 public:
  explicit Output(const std::string& path) : path_(path) {
    struct stat st;
    bool special = stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode);
    writing_ = special ? path : path + ".part-" + std::to_string(getpid());
  }
  const std::string& writing() const { return writing_; }
  // Puts it in place if written whole; else takes away what was written.
  bool Finish(bool written, std::string* why) {
    if (writing_ == path_) return written;
    if (written && rename(writing_.c_str(), path_.c_str()) == 0) return true;
    if (written) *why = strerror(errno);
    unlink(writing_.c_str());
    return false;
  }

 private:
  std::string path_, writing_;
};
}  // namespace

// ---------------------------------------------------------------------------------------------
// Random presses: the same seed gives the same presses on every machine.

static uint64_t NextRandom(uint64_t* state) {  // xorshift64*
  uint64_t x = *state;
  x ^= x >> 12;
  x ^= x << 25;
  x ^= x >> 27;
  *state = x;
  return x * 0x2545F4914F6CDD1Dull;
}

// A press every 1 to 2 s until the end: three in four inside a touch region (a button), the
// rest anywhere in the frame; held for up to two thirds of a second, with a move half-way.
static void AddRandomPresses(uint64_t seed, int ticks, std::vector<ScriptCommand>* commands) {
  uint64_t state = seed * 2 + 1;  // never zero
  PlatRect frame = plat_screen_application_frame();
  for (int tick = 1 + static_cast<int>(NextRandom(&state) % 30); tick < ticks;) {
    PlatPoint p;
    int region = TouchLen > 1 ? 1 + static_cast<int>(NextRandom(&state) % (TouchLen - 1)) : 0;
    if (region && NextRandom(&state) % 4) {
      p = {static_cast<float>(Touch.x[region] + NextRandom(&state) % std::max(Touch.w[region], 1)),
           static_cast<float>(Touch.y[region] + NextRandom(&state) % std::max(Touch.h[region], 1))};
    } else {
      p = {static_cast<float>(NextRandom(&state) % static_cast<uint64_t>(frame.w)),
           static_cast<float>(NextRandom(&state) % static_cast<uint64_t>(frame.h))};
    }
    int held = 1 + static_cast<int>(NextRandom(&state) % 20);
    commands->push_back(TouchAt(TickNs(tick - 1), kPlatTouchBegan, p));
    commands->push_back(TouchAt(TickNs(tick - 1 + held / 2), kPlatTouchMoved, {p.x + 1, p.y + 1}));
    commands->push_back(TouchAt(TickNs(tick - 1 + held), kPlatTouchEnded, {p.x + 1, p.y + 1}));
    tick += held + 30 + static_cast<int>(NextRandom(&state) % 30);
  }
}

// ---------------------------------------------------------------------------------------------
// Outputs

namespace {
struct Screen {
  int width = 0, height = 0;
  std::vector<uint8_t> rgba;  // empty when it could not be read
};
}  // namespace

static Screen ReadScreen(PlatWindow* window) {
  Screen s;
  plat_window_read_pixels(window, nullptr, 0, &s.width, &s.height);
  try {
    s.rgba.resize(static_cast<size_t>(s.width) * s.height * 4);
  } catch (const std::bad_alloc&) {
    return s;
  }
  if (!plat_window_read_pixels(window, s.rgba.data(), s.rgba.size(), &s.width, &s.height))
    s.rgba.clear();
  return s;
}

static bool SaveScreen(const Screen& s, const std::string& path, std::string* why) {
  if (s.rgba.empty()) {
    *why = "no screen to write: not enough memory for it";
    return false;
  }
  Output out(path);
  return out.Finish(WritePng(out.writing().c_str(), s.width, s.height, s.rgba.data(), why), why);
}

static long ResidentKiB() {
  FILE* f = fopen("/proc/self/statm", "r");
  long pages = 0, resident = 0;
  if (f) {
    if (fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
    fclose(f);
  }
  return resident * 4;  // 4 KiB pages
}

// The sound up to a moment, written as it goes: no more than a chunk is ever held. With no
// file it is still rendered, as the mixer would run, and then dropped.
namespace {
class SoundTrack {
 public:
  bool Open(const std::string& path, int rate) {
    rate_ = rate;
    if (path.empty()) return true;
    out_ = std::make_unique<Output>(path);
    writing_ = wav_.Open(out_->writing().c_str(), rate, 2);
    if (!writing_) out_->Finish(false, &why_);
    return writing_;
  }
  void RenderUntil(uint64_t t_ns) {
    uint64_t until = t_ns * static_cast<uint64_t>(rate_) / 1000000000ull;
    while (rendered_ < until) {
      int n = static_cast<int>(std::min<uint64_t>(until - rendered_, kChunkFrames));
      plat_audio_render(chunk_, n);
      rendered_ += static_cast<uint64_t>(n);
      if (writing_) wav_.Write(chunk_, static_cast<size_t>(n));  // a failure is kept for Close
    }
  }
  bool Close() {
    if (!writing_) return true;
    why_ = wav_.error();
    bool closed = wav_.Close();
    if (!closed) why_ = wav_.error();
    return out_->Finish(closed, &why_);
  }
  const std::string& error() const { return why_.empty() ? wav_.error() : why_; }

 private:
  static constexpr int kChunkFrames = 4096;
  std::unique_ptr<Output> out_;
  std::string why_;
  WavWriter wav_;
  int rate_ = 0;
  uint64_t rendered_ = 0;
  bool writing_ = false;
  int16_t chunk_[kChunkFrames * 2];
};
}  // namespace

// Every shot on one picture, four across, each at 160 points wide with its time under it.
namespace {
struct Thumb {
  uint64_t at_ns;
  int width, height;
  std::vector<uint8_t> rgba;
};
}  // namespace

static constexpr int kThumbWidth = 160;

static Thumb MakeThumb(const Screen& s, uint64_t at_ns) {
  Thumb t{at_ns, kThumbWidth, std::max(1, s.height * kThumbWidth / std::max(s.width, 1)), {}};
  t.rgba.resize(static_cast<size_t>(t.width) * t.height * 4);
  // Each thumbnail pixel is the mean of the screen pixels it covers.
  for (int y = 0; y < t.height; y++)
    for (int x = 0; x < t.width; x++) {
      int x0 = x * s.width / t.width, x1 = std::max(x0 + 1, (x + 1) * s.width / t.width);
      int y0 = y * s.height / t.height, y1 = std::max(y0 + 1, (y + 1) * s.height / t.height);
      unsigned sum[4] = {0, 0, 0, 0}, n = 0;
      for (int sy = y0; sy < y1; sy++)
        for (int sx = x0; sx < x1; sx++, n++)
          for (int c = 0; c < 4; c++) sum[c] += s.rgba[(static_cast<size_t>(sy) * s.width + sx) * 4 + c];
      for (int c = 0; c < 4; c++) t.rgba[(static_cast<size_t>(y) * t.width + x) * 4 + c] = static_cast<uint8_t>(sum[c] / n);
    }
  return t;
}

static bool WriteSheet(const std::vector<Thumb>& thumbs, const std::string& path, std::string* why) {
  if (TTF_Init() != 0) {
    *why = TTF_GetError();
    return false;
  }
  constexpr int kGap = 12, kLabel = 22, kColumns = 4;
  int columns = std::max(1, std::min(kColumns, static_cast<int>(thumbs.size())));
  int rows = (static_cast<int>(thumbs.size()) + columns - 1) / columns;
  int cell_h = thumbs.empty() ? 0 : thumbs[0].height;
  Canvas sheet(kGap + columns * (kThumbWidth + kGap), kGap + rows * (cell_h + kLabel + kGap), 1);
  sheet.FillRect(0, 0, sheet.width(), sheet.height(), Solid(Hex(0x1b1730)));
  bool ok;
  {
    Font font(std::string(FONT_DIR) + "/DejaVuSans.ttf", 13, 1);
    ok = font.ok();
    for (size_t i = 0; i < thumbs.size(); i++) {
      const Thumb& t = thumbs[i];
      int x = kGap + static_cast<int>(i % columns) * (kThumbWidth + kGap);
      int y = kGap + static_cast<int>(i / columns) * (cell_h + kLabel + kGap);
      sheet.Picture(x, y, t.width, t.height, t.rgba.data());
      std::string label = FormatTime(t.at_ns);
      float w = font.Width(label.c_str());
      sheet.Text(font, label.c_str(), x + (kThumbWidth - w) / 2, y + t.height + 4.0f,
                 Solid(Hex(0xf2ecff)));
    }
  }
  TTF_Quit();
  if (!ok) *why = "no font for the labels";
  Output out(path);
  return out.Finish(ok && sheet.SavePng(out.writing(), why), why);
}

// ---------------------------------------------------------------------------------------------
// The run

static const char* kUsage =
    "usage: Replay [--script FILE] [--touch TICK:down|move|up:X:Y]... [--random-presses SEED]\n"
    "              [--ticks N] [--size WxH] [--bundle DIR]\n"
    "              [--png FILE] [--wav FILE] [--log FILE] [--sheet FILE]\n"
    "              [--frames DIR] [--frame-every MS] [--memory FILE]\n";

static int Run(int argc, char** argv) {
  Options options;
  uint64_t end_ns = 0;  // from a script's end; 0: none
  std::string bad_option;
  if (!ParseOptions(argc, argv, &options, &bad_option)) {
    fprintf(stderr, "Replay: %s\n%s", bad_option.c_str(), kUsage);
    return 2;
  }
  if (!CheckFiles(options, &bad_option)) {  // a folder as the script is no script to read
    fprintf(stderr, "Replay: %s\n", bad_option.c_str());
    return 2;
  }
  if (!options.script.empty() && !ReadScript(&options, &end_ns)) return 2;
  if (!CheckFiles(options, &bad_option)) {  // and the script's shots
    fprintf(stderr, "Replay: %s\n", bad_option.c_str());
    return 2;
  }
  std::unique_ptr<Output> log;
  if (!options.log.empty()) {
    log = std::make_unique<Output>(options.log);
    if (!freopen(log->writing().c_str(), "w", stdout)) {
      fprintf(stderr, "Replay: cannot write %s: %s\n", options.log.c_str(), strerror(errno));
      return 1;
    }
  }
  setenv("SDL_VIDEODRIVER", "offscreen", 0);  // a replay never needs a display
  PlatConfig config{options.bundle.empty() ? nullptr : options.bundle.c_str(), true, ReplayClock,
                    options.width, options.height};
  if (!plat_application_start(&config, &kDorvelAppHooks)) {
    fprintf(stderr, "Replay: cannot open a window: %s\n", plat_error());
    return 1;
  }
  DorvelAppDelegate* delegate = DorvelLoadMainInterface();

  // How long: a script's end, else the ticks asked for, made long enough for the last command.
  std::vector<ScriptCommand>& commands = options.commands;
  uint64_t duration = end_ns;
  if (!duration) {
    duration = options.ticks_given || options.script.empty() ? TickNs(options.ticks) : 0;
    for (const ScriptCommand& c : commands) duration = std::max(duration, c.at_ns);
  }
  int ticks = 0;
  while (TickNs(ticks + 1) <= duration) ticks++;
  if (options.random_presses) AddRandomPresses(options.seed, ticks, &commands);
  if (!options.frames.empty()) {
    mkdir(options.frames.c_str(), 0755);
    int n = 1;
    for (uint64_t t = 0; t <= duration; t += options.frame_every_ns, n++) {
      char name[32];
      snprintf(name, sizeof name, "/frame-%04d.png", n);
      commands.push_back({ScriptCommand::kShot, t, kPlatTouchBegan, {}, options.frames + name, -1});
    }
  }
  std::stable_sort(commands.begin(), commands.end(),
                   [](const ScriptCommand& a, const ScriptCommand& b) { return a.at_ns < b.at_ns; });

  int status = 0;
  auto fail = [&status](const std::string& file, const std::string& why) {
    fprintf(stderr, "Replay: cannot write %s: %s\n", file.c_str(), why.c_str());
    status = 1;
  };
  static SoundTrack sound;
  if (!sound.Open(options.wav, plat_audio_info().rate)) fail(options.wav, sound.error());
  std::vector<Thumb> thumbs;
  long rss_start = 0;
  size_t next = 0;
  bool quit = false;  // asked to end (SIGINT, SIGTERM): the outputs end where it stopped
  for (int tick = 1; !quit;) {
    uint64_t tick_ns = tick <= ticks ? TickNs(tick) : UINT64_MAX;
    uint64_t command_ns = next < commands.size() ? commands[next].at_ns : UINT64_MAX;
    if (tick_ns == UINT64_MAX && command_ns == UINT64_MAX) break;
    if (tick_ns <= command_ns) {  // a tick, and what it drew
      sound.RenderUntil(tick_ns);
      now_ns = kLaunchNs + tick_ns;
      quit = !plat_loop_step(false);
      if (tick == 1) rss_start = ResidentKiB();
      tick++;
      continue;
    }
    const ScriptCommand& c = commands[next++];
    sound.RenderUntil(c.at_ns);
    now_ns = kLaunchNs + c.at_ns;
    if (c.kind == ScriptCommand::kTouch) {
      plat_touch_inject(c.phase, c.point);
      quit = !plat_loop_step(false);  // shown at once, as the real loop does
    } else {
      Screen screen = ReadScreen(delegate->window());
      std::string why;
      if (!SaveScreen(screen, c.file, &why)) fail(c.file, why);
      if (c.line > 0 && !options.sheet.empty()) thumbs.push_back(MakeThumb(screen, c.at_ns));
    }
  }
  if (quit) {
    fprintf(stderr, "Replay: stopped at %s, as asked; the files end there\n",
            FormatTime(now_ns - kLaunchNs).c_str());
    status = 1;
  } else {
    sound.RenderUntil(duration);
  }

  std::string why;
  if (!options.png.empty() && !SaveScreen(ReadScreen(delegate->window()), options.png, &why))
    fail(options.png, why);
  if (!sound.Close()) fail(options.wav, sound.error());
  if (!options.sheet.empty() && !WriteSheet(thumbs, options.sheet, &why)) fail(options.sheet, why);
  if (!options.memory.empty()) {
    Output out(options.memory);
    FILE* f = fopen(out.writing().c_str(), "w");
    bool written = f && fprintf(f, "rss_start_kb %ld\nrss_end_kb %ld\n", rss_start, ResidentKiB()) > 0 &&
                   fflush(f) == 0;
    why = strerror(errno);
    if (f && fclose(f) != 0 && written) {
      written = false;
      why = strerror(errno);
    }
    if (!out.Finish(written, &why)) fail(options.memory, why);
  }
  plat_shutdown();
  if (log) {
    bool written = fflush(stdout) == 0 && !ferror(stdout);
    why = strerror(errno);
    if (!log->Finish(written, &why)) fail(options.log, why);
  }
  fflush(stdout);
  return status;
}

// The frame, the screen and the clips are allocated with their failures handled; anything
// else that finds no memory ends the run with one line, never an abort.
int main(int argc, char** argv) {
  try {
    return Run(argc, argv);
  } catch (const std::bad_alloc&) {
    fputs("Replay: not enough memory\n", stderr);
    return 1;
  }
}
