// The engine fixture: bundle of known pictures, platform start and stop, engine reset.
#include "Tests/Support/EngineTest.h"

#include <SDL.h>
#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include "Engine/Platform/FrameClock.h"
#include "Tools/Media/Media.h"

const FixturePicture kReservedFixture = {"Images/EmptyRed.png", 10, 8, 255, 0, 0};
const FixturePicture kGreen = {"Green.png", 40, 30, 0, 200, 0};
const FixturePicture kBlue = {"Blue.png", 25, 15, 0, 0, 230};
const FixturePicture kButtonUp = {"Btn1.png", 30, 20, 200, 200, 0};
const FixturePicture kButtonDown = {"Btn2.png", 34, 24, 0, 200, 200};
const FixturePicture kGreenSharp = {"Green@2x.png", 80, 60, 0, 120, 0};
const FixturePicture kBlueSharper = {"Blue@3x.png", 75, 45, 0, 0, 120};

static const FixturePicture kFixturePictures[] = {
    kReservedFixture,
    kGreen,
    kBlue,
    {"case.png", 4, 4, 10, 10, 10},
    {"Case.png", 6, 6, 20, 20, 20},
    kButtonUp,
    kButtonDown,
    kGreenSharp,
    kBlueSharper,
};

uint64_t EngineTest::now_ns = 0;

static uint64_t FakeClock() { return EngineTest::now_ns; }

static void WriteFixturePicture(const std::string& dir, const FixturePicture& p) {
  std::vector<uint8_t> rgba(static_cast<size_t>(p.w) * p.h * 4);
  for (size_t i = 0; i < rgba.size(); i += 4) {
    rgba[i] = p.r;
    rgba[i + 1] = p.g;
    rgba[i + 2] = p.b;
    rgba[i + 3] = 255;
  }
  ASSERT_TRUE(WritePng((dir + "/" + p.name).c_str(), p.w, p.h, rgba.data()));
}

static void WriteFixtureClips(const std::string& dir) {
  std::vector<int16_t> ramp(kRampFrames), loud(kLoudFrames), steady(kSteadyFrames * 2),
      stereo44(4410 * 2, 5000);
  for (int i = 0; i < kRampFrames; i++) ramp[i] = static_cast<int16_t>(i + 1);
  for (int i = 0; i < kLoudFrames; i++) loud[i] = i % 2 ? -30000 : 30000;
  for (int i = 0; i < kSteadyFrames; i++) {
    steady[2 * i] = kSteadyLeft;
    steady[2 * i + 1] = kSteadyRight;
  }
  ASSERT_TRUE(WriteWav((dir + "/Ramp.wav").c_str(), 48000, 1, ramp.data(), ramp.size()));
  ASSERT_TRUE(WriteWav((dir + "/LoudA.wav").c_str(), 48000, 1, loud.data(), loud.size()));
  ASSERT_TRUE(WriteWav((dir + "/LoudB.wav").c_str(), 48000, 1, loud.data(), loud.size()));
  ASSERT_TRUE(WriteWav((dir + "/Steady.wav").c_str(), 48000, 2, steady.data(), kSteadyFrames));
  ASSERT_TRUE(WriteWav((dir + "/Stereo44.wav").c_str(), 44100, 2, stereo44.data(), 4410));
  ASSERT_TRUE(WriteWav((dir + "/Empty.wav").c_str(), 48000, 1, nullptr, 0));
}

static void WriteText(const std::string& path, const char* text) {
  FILE* f = fopen(path.c_str(), "w");
  if (!f) return;
  fputs(text, f);
  fclose(f);
}

// Every temporary folder a test made, removed when the process ends.
struct TemporaryDirs {
  std::vector<std::string> paths;
  ~TemporaryDirs() {
    std::error_code ignored;
    for (const std::string& path : paths) std::filesystem::remove_all(path, ignored);
  }
};

static TemporaryDirs& Temporaries() {
  static TemporaryDirs dirs;
  return dirs;
}


std::string TemporaryDir() {
  char dir[] = "/tmp/engine-test-XXXXXX";
  if (!mkdtemp(dir)) return "";
  Temporaries().paths.push_back(dir);
  return dir;
}

static std::string MakeFixtureBundle() {
  std::string bundle = TemporaryDir();
  if (bundle.empty()) return "";
  mkdir((bundle + "/Images").c_str(), 0755);
  for (const FixturePicture& p : kFixturePictures) WriteFixturePicture(bundle, p);
  // A picture of many colours and alphas, for what smoothing and blending do.
  std::vector<uint8_t> checker(kCheckerSide * kCheckerSide * 4);
  for (int i = 0; i < kCheckerSide * kCheckerSide; i++) {
    int x = i % kCheckerSide, y = i / kCheckerSide;
    uint8_t* p = &checker[4 * i];
    p[0] = static_cast<uint8_t>(x * 30), p[1] = static_cast<uint8_t>(y * 30);
    p[2] = (x + y) % 2 ? 255 : 0, p[3] = static_cast<uint8_t>(x == 0 ? 0 : 255 - y * 20);
  }
  WritePng((bundle + "/Checker.png").c_str(), kCheckerSide, kCheckerSide, checker.data());
  WriteFixtureClips(bundle);
  WriteText(bundle + "/Broken.png", "this is not a picture\n");
  WriteText(bundle + "/Broken.wav", "RIFF and nothing more\n");
  return bundle;
}

const std::string& FixtureBundle() {
  static const std::string bundle = MakeFixtureBundle();
  return bundle;
}

ScopedEnv::ScopedEnv(const char* name, const char* value) : name_(name) {
  const char* old = getenv(name);
  had_ = old != nullptr;
  if (old) old_ = old;
  if (value)
    setenv(name, value, 1);
  else
    unsetenv(name);
}

ScopedEnv::~ScopedEnv() {
  if (had_)
    setenv(name_.c_str(), old_.c_str(), 1);
  else
    unsetenv(name_.c_str());
}

std::string BundleFile(const std::string& name) { return FixtureBundle() + "/" + name; }

void EngineTest::SetUp() {
  ASSERT_FALSE(FixtureBundle().empty());
  EngineReset();
  RestartPlatform();
  testing::internal::CaptureStdout();
}

void EngineTest::TearDown() {
  testing::internal::GetCapturedStdout();
  plat_shutdown();
  EngineReset();
}

void EngineTest::RestartPlatform(const char* bundle_dir) {
  plat_shutdown();
  bundle_dir_ = bundle_dir ? bundle_dir : BundleDir();
  now_ns = 1000000000;  // a clock that does not start at zero
  PlatConfig config{bundle_dir_.empty() ? nullptr : bundle_dir_.c_str(), true, FakeClock};
  ASSERT_TRUE(plat_init(&config)) << plat_error();
}

void EngineTest::Restart(const char* bundle_dir) {
  plat_shutdown();
  EngineReset();
  RestartPlatform(bundle_dir);
}

// The platform is started already (SetUp, RestartPlatform), so of the config only the window's
// size counts here; the rest of the start is the program's own.
void EngineTest::Start(int width, int height) {
  start_ns_ = now_ns;
  ticks_run_ = 0;
  PlatConfig config{bundle_dir_.empty() ? nullptr : bundle_dir_.c_str(), true, FakeClock, width, height};
  ASSERT_TRUE(plat_application_start(&config, &kDorvelAppHooks)) << plat_error();
}

PlatWindow* EngineTest::window() const { return DorvelLoadMainInterface()->window(); }

DorvelViewController* EngineTest::controller() const {
  return DorvelLoadMainInterface()->viewController();
}

std::string EngineTest::Printed() {
  std::string text = testing::internal::GetCapturedStdout();
  testing::internal::CaptureStdout();
  return text;
}

uint64_t EngineTest::TickTime(int n) const {
  return PlatFrameClock(start_ns_, kFrameInterval).due_ns(static_cast<uint64_t>(n));
}

void EngineTest::RunUntil(uint64_t t) {
  now_ns = t;
  plat_loop_step(false);
}

void EngineTest::RunTicks(int n) {
  for (int i = 0; i < n; i++) RunUntil(TickTime(++ticks_run_));
}

std::vector<uint8_t> ReadWindow(PlatWindow* window, int* width, int* height) {
  int w = 0, h = 0;
  plat_window_read_pixels(window, nullptr, 0, &w, &h);
  std::vector<uint8_t> rgba(static_cast<size_t>(w) * h * 4);
  if (!plat_window_read_pixels(window, rgba.data(), rgba.size(), &w, &h)) rgba.clear();
  if (width) *width = w;
  if (height) *height = h;
  return rgba;
}

PlatColor EngineTest::PixelAt(float x, float y, PlatWindow* in) {
  PlatWindow* window = in ? in : this->window();
  int w = 0, h = 0;
  std::vector<uint8_t> rgba = ReadWindow(window, &w, &h);
  if (rgba.empty()) return {0, 0, 0, 0};
  // The centre of the point, in the letterboxed frame.
  float scale = plat_window_scale(window);
  PlatRect frame = plat_screen_application_frame();
  float ox = (w - frame.w * scale) / 2, oy = (h - frame.h * scale) / 2;
  int px = static_cast<int>(ox + (x + 0.5f) * scale), py = static_cast<int>(oy + (y + 0.5f) * scale);
  if (px < 0 || py < 0 || px >= w || py >= h) return {0, 0, 0, 0};
  const uint8_t* p = &rgba[(static_cast<size_t>(py) * w + px) * 4];
  return {p[0], p[1], p[2], p[3]};
}
