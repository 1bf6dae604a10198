// The fixture every engine test starts from: a fresh platform (headless, offline audio, an
// injected clock) over a bundle of small known pictures, fresh engine tables, and standard
// output captured so that printed lines can be checked.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "Engine/DorvelAppDelegate.h"
#include "Engine/DorvelViewController.h"
#include "Engine/Internal.h"
#include "Tests/Support/Readers.h"
#include "Engine/Platform/Platform.h"
#include "Engine/Win.h"

// Pictures in the fixture bundle: name, size and colour.
struct FixturePicture {
  const char* name;
  int w, h;
  uint8_t r, g, b;
};
extern const FixturePicture kReservedFixture;  // "Images/EmptyRed.png", 10 x 8, red
extern const FixturePicture kGreen;            // "Green.png", 40 x 30
extern const FixturePicture kBlue;             // "Blue.png", 25 x 15
extern const FixturePicture kButtonUp;         // "Btn1.png", 30 x 20: button "Btn", normal
extern const FixturePicture kButtonDown;       // "Btn2.png", 34 x 24: button "Btn", pressed
extern const FixturePicture kGreenSharp;       // "Green@2x.png", 80 x 60, a darker green
extern const FixturePicture kBlueSharper;      // "Blue@3x.png", 75 x 45, a darker blue
constexpr int kCheckerSide = 8;  // "Checker.png": 8 x 8 of colours and alphas all different

// Clips in the fixture bundle, all at 48 kHz unless named otherwise.
constexpr int kRampFrames = 4800;   // "Ramp.wav", mono: sample i is i + 1
constexpr int kLoudFrames = 960;    // "LoudA.wav", "LoudB.wav", mono: +30000, -30000, ...
constexpr int kSteadyFrames = 2400;  // "Steady.wav", stereo: the two values below
constexpr int16_t kSteadyLeft = 3000;
constexpr int16_t kSteadyRight = -3000;
// "Stereo44.wav": 44.1 kHz stereo, 0.1 s of 5000; "Empty.wav": no samples;
// "Broken.wav": not a WAV file.


// A window as it would be presented, RGBA, with its size; empty when it cannot be read.
std::vector<uint8_t> ReadWindow(PlatWindow* window, int* width = nullptr, int* height = nullptr);

std::string TemporaryDir();          // a new empty folder, removed when the process ends
const std::string& FixtureBundle();  // made once per process in a temporary folder
std::string BundleFile(const std::string& name);

class EngineTest : public testing::Test {
 public:
  static uint64_t now_ns;  // the injected clock

 protected:
  void SetUp() override;
  void TearDown() override;

  // Starts the engine as the host does: the delegate's launch loads the controller's view,
  // which runs CWin::Init and so the application's AppMain, then shows the window. A size
  // given is the window's, in pixels, from before the start.
  void Start(int width = 0, int height = 0);
  // Restarts only the platform, for tests that change what it reads at start; nullptr: the
  // fixture's own bundle.
  void RestartPlatform(const char* bundle_dir = nullptr);
  // Stops the engine and the platform and makes them as new, for a test that starts twice.
  void Restart(const char* bundle_dir = nullptr);
  // The bundle the platform starts with; "" for the program's own, beside the executable.
  virtual std::string BundleDir() const { return FixtureBundle(); }

  std::string Printed();  // what was printed on standard output since the last call

  // Ticks are due at the start time plus whole intervals of the injected clock.
  uint64_t StartTime() const { return start_ns_; }
  uint64_t TickTime(int n) const;  // when tick n is due
  void RunUntil(uint64_t t);       // sets the clock and runs one pass of the loop
  void RunTicks(int n);            // runs the loop through the next n ticks, one at a time

  // The host's window and controller, as the program's start made them.
  PlatWindow* window() const;
  DorvelViewController* controller() const;
  // The colour drawn at a point of the application frame, read back from the backend; of the
  // fixture's window, or of another.
  PlatColor PixelAt(float x, float y, PlatWindow* in = nullptr);


 private:
  uint64_t start_ns_ = 0;
  int ticks_run_ = 0;
  std::string bundle_dir_;  // the platform's, asked for again by Start
};

// Sets (or, with nullptr, unsets) an environment variable for as long as it lives.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_, old_;
  bool had_ = false;
};
