// What only the SDL backend does, through SDL itself: touches from its real event queue (the
// mouse's left button and touchscreen fingers as one stream, one touch at a time, at any window
// size), its window's own pixels as presents leave them, closing it, no display, and the audio device as SDL's
// drivers open it.
#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "Engine/Sound.h"
#include "Engine/Touch.h"
#include "Tests/Support/AppStub.h"
#include "Tools/Media/Media.h"

struct Event {
  int event, x, y;
  bool operator==(const Event& o) const { return event == o.event && x == o.x && y == o.y; }
};

static std::vector<Event> seen;

static int Record(TouchData, int event, int x, int y) {
  seen.push_back({event, x, y});
  return 0;
}

class TouchDeliveryTest : public StubAppTest {
 protected:
  void SetUp() override {
    StubAppTest::SetUp();
    gAppMain = [] { TouchAdd(-1000, -1000, 3000, 3000, Record, 0); };  // everywhere
    Start();
    seen.clear();
  }

  static void Mouse(Uint32 type, int x, int y, Uint32 which = 0) {
    SDL_Event e{};
    e.type = type;
    e.button.which = which;
    e.button.button = SDL_BUTTON_LEFT;
    e.button.state = type == SDL_MOUSEBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
    e.button.x = x;
    e.button.y = y;
    SDL_PushEvent(&e);
  }
  static void MouseMotion(int x, int y, bool left_held) {
    SDL_Event e{};
    e.type = SDL_MOUSEMOTION;
    e.motion.state = left_held ? SDL_BUTTON_LMASK : 0;
    e.motion.x = x;
    e.motion.y = y;
    SDL_PushEvent(&e);
  }
  // x and y are window pixels; SDL gives fingers as fractions of the window.
  void Finger(Uint32 type, SDL_FingerID finger, float x, float y,
              SDL_TouchID device = 7) {
    int w = 0, h = 0;
    plat_window_read_pixels(window(), nullptr, 0, &w, &h);
    SDL_Event e{};
    e.type = type;
    e.tfinger.touchId = device;
    e.tfinger.fingerId = finger;
    e.tfinger.x = x / w;
    e.tfinger.y = y / h;
    SDL_PushEvent(&e);
  }
  void Deliver() { plat_loop_step(false); }
};

TEST_F(TouchDeliveryTest, AtScaleTwoAClickMapsToTheSamePoints) {
  plat_window_set_size(window(), 640, 920);
  Mouse(SDL_MOUSEBUTTONDOWN, 61, 503);
  MouseMotion(100, 101, true);
  Mouse(SDL_MOUSEBUTTONUP, 63, 505);
  Deliver();
  EXPECT_EQ(seen, (std::vector<Event>{{kTouchDown, 30, 251}, {kTouchMove, 50, 50},
                                      {kTouchUp, 31, 252}}));
}

TEST_F(TouchDeliveryTest, InALetterboxedWindowPointsAreCountedFromTheFramesCorner) {
  plat_window_set_size(window(), 1000, 920);  // scale 2, bars of 180 pixels left and right
  Mouse(SDL_MOUSEBUTTONDOWN, 180 + 61, 503);
  Mouse(SDL_MOUSEBUTTONUP, 180 + 61, 503);
  Mouse(SDL_MOUSEBUTTONDOWN, 100, 503);  // on a bar: outside the window's view, no touch
  Mouse(SDL_MOUSEBUTTONUP, 100, 503);
  Deliver();
  EXPECT_EQ(seen, (std::vector<Event>{{kTouchDown, 30, 251}, {kTouchUp, 30, 251}}));
}

TEST_F(TouchDeliveryTest, FingersMapLikeTheMouse) {
  plat_window_set_size(window(), 640, 920);
  Finger(SDL_FINGERDOWN, 1, 61, 503);
  Finger(SDL_FINGERMOTION, 1, 81, 523);
  Finger(SDL_FINGERUP, 1, 81, 523);
  Deliver();
  EXPECT_EQ(seen, (std::vector<Event>{{kTouchDown, 30, 251}, {kTouchMove, 40, 261},
                                      {kTouchUp, 40, 261}}));
}

// SDL posts the copy it makes of a touch just before the touch itself.
TEST_F(TouchDeliveryTest, EventsThatSDLMadeFromAnotherSourceNeverPressTwice) {
  Mouse(SDL_MOUSEBUTTONDOWN, 10, 10, SDL_TOUCH_MOUSEID);  // a finger, as a mouse
  Finger(SDL_FINGERDOWN, 1, 10, 10);
  Mouse(SDL_MOUSEBUTTONUP, 10, 10, SDL_TOUCH_MOUSEID);
  Finger(SDL_FINGERMOTION, 1, 11, 11);
  Finger(SDL_FINGERUP, 1, 11, 11);
  Finger(SDL_FINGERDOWN, 0, 20, 20, SDL_MOUSE_TOUCHID);  // a click, as a finger
  Mouse(SDL_MOUSEBUTTONDOWN, 20, 20);
  Finger(SDL_FINGERUP, 0, 20, 20, SDL_MOUSE_TOUCHID);
  MouseMotion(21, 21, true);
  Mouse(SDL_MOUSEBUTTONUP, 21, 21);
  Deliver();
  EXPECT_EQ(seen, (std::vector<Event>{{kTouchDown, 10, 10}, {kTouchMove, 11, 11},
                                      {kTouchUp, 11, 11}, {kTouchDown, 20, 20},
                                      {kTouchMove, 21, 21}, {kTouchUp, 21, 21}}));
}

TEST_F(TouchDeliveryTest, WhileOneTouchIsDownEveryOtherFingerAndTheMouseAreIgnored) {
  Finger(SDL_FINGERDOWN, 1, 10, 10);
  Finger(SDL_FINGERDOWN, 2, 50, 50);
  Finger(SDL_FINGERMOTION, 2, 60, 60);
  Mouse(SDL_MOUSEBUTTONDOWN, 70, 70);
  Mouse(SDL_MOUSEBUTTONUP, 70, 70);
  Finger(SDL_FINGERUP, 2, 60, 60);
  Finger(SDL_FINGERMOTION, 1, 12, 12);
  Finger(SDL_FINGERUP, 1, 12, 12);
  Finger(SDL_FINGERUP, 2, 60, 60);
  Deliver();
  EXPECT_EQ(seen, (std::vector<Event>{{kTouchDown, 10, 10}, {kTouchMove, 12, 12},
                                      {kTouchUp, 12, 12}}));
}

TEST_F(TouchDeliveryTest, HoveringAndOtherButtonsAreNotTouches) {
  MouseMotion(10, 10, false);
  SDL_Event e{};
  e.type = SDL_MOUSEBUTTONDOWN;
  e.button.button = SDL_BUTTON_RIGHT;
  SDL_PushEvent(&e);
  MouseMotion(20, 20, false);
  Deliver();
  EXPECT_TRUE(seen.empty());
}

TEST_F(TouchDeliveryTest, AReleaseOutsideTheWindowStillEndsTheTouch) {
  Mouse(SDL_MOUSEBUTTONDOWN, 10, 10);
  MouseMotion(-30, 10, true);
  Mouse(SDL_MOUSEBUTTONUP, -30, 2000);
  Mouse(SDL_MOUSEBUTTONDOWN, 15, 15);  // the stream is free again
  Deliver();
  EXPECT_EQ(seen, (std::vector<Event>{{kTouchDown, 10, 10}, {kTouchMove, -30, 10},
                                      {kTouchUp, -30, 2000}, {kTouchDown, 15, 15}}));
}

TEST_F(TouchDeliveryTest, AReleaseThatNeverArrivedEndsTheTouchAtTheNextMove) {
  Mouse(SDL_MOUSEBUTTONDOWN, 10, 10);
  MouseMotion(40, 40, false);  // the button is up: its release was lost
  MouseMotion(50, 50, false);
  Deliver();
  EXPECT_EQ(seen, (std::vector<Event>{{kTouchDown, 10, 10}, {kTouchUp, 40, 40}}));
}

// A release can be lost while the window is hidden or another has the focus: the touch ends
// where it last was, as a phone cancels one, so that the next press is not swallowed, even one
// from a finger, which the mouse's touch would otherwise keep out.
TEST_F(TouchDeliveryTest, ATouchHeldWhenTheWindowIsHiddenOrLosesTheFocusEndsThere) {
  for (Uint8 lost : {SDL_WINDOWEVENT_HIDDEN, SDL_WINDOWEVENT_MINIMIZED, SDL_WINDOWEVENT_FOCUS_LOST}) {
    seen.clear();
    Mouse(SDL_MOUSEBUTTONDOWN, 10, 10);
    MouseMotion(12, 12, true);
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.event = lost;
    SDL_PushEvent(&e);
    Finger(SDL_FINGERDOWN, 1, 40, 40);  // the mouse's release never came
    Finger(SDL_FINGERUP, 1, 40, 40);
    Deliver();
    EXPECT_EQ(seen, (std::vector<Event>{{kTouchDown, 10, 10}, {kTouchMove, 12, 12},
                                        {kTouchUp, 12, 12}, {kTouchDown, 40, 40},
                                        {kTouchUp, 40, 40}}))
        << "window event " << static_cast<int>(lost);
  }
}

TEST_F(TouchDeliveryTest, ANewPressFromTheSourceHoldingTheStreamEndsItsLostTouchFirst) {
  Mouse(SDL_MOUSEBUTTONDOWN, 10, 10);
  Mouse(SDL_MOUSEBUTTONDOWN, 40, 40);  // the mouse's release was lost, and no move told
  Mouse(SDL_MOUSEBUTTONUP, 40, 40);
  Finger(SDL_FINGERDOWN, 1, 50, 50);
  Finger(SDL_FINGERDOWN, 1, 60, 60);  // the same finger again
  Finger(SDL_FINGERDOWN, 2, 70, 70);  // another finger: one touch at a time
  Finger(SDL_FINGERUP, 1, 60, 60);
  Deliver();
  EXPECT_EQ(seen, (std::vector<Event>{{kTouchDown, 10, 10}, {kTouchUp, 10, 10},
                                      {kTouchDown, 40, 40}, {kTouchUp, 40, 40},
                                      {kTouchDown, 50, 50}, {kTouchUp, 50, 50},
                                      {kTouchDown, 60, 60}, {kTouchUp, 60, 60}}));
}

TEST_F(TouchDeliveryTest, AnInjectedTouchTakesTheSamePathAsARealOne) {
  plat_touch_inject(kPlatTouchBegan, {30.6f, 251.2f});
  Mouse(SDL_MOUSEBUTTONDOWN, 70, 70);  // ignored: the injected touch holds the stream
  Deliver();
  plat_touch_inject(kPlatTouchEnded, {31.9f, 252.5f});
  EXPECT_EQ(seen, (std::vector<Event>{{kTouchDown, 30, 251}, {kTouchUp, 31, 252}}));
}

using SDLWindowTest = StubAppTest;

TEST_F(SDLWindowTest, ClosingTheWindowEndsTheLoop) {
  Start();
  EXPECT_TRUE(plat_loop_step(false));
  SDL_Event close{};
  close.type = SDL_WINDOWEVENT;
  close.window.event = SDL_WINDOWEVENT_CLOSE;
  SDL_PushEvent(&close);
  EXPECT_FALSE(plat_loop_step(false));
}

static SDL_Window* TheWindow() {
  for (Uint32 id = 1; id < 100; id++)
    if (SDL_Window* w = SDL_GetWindowFromID(id)) return w;
  return nullptr;
}

// What SDL's window itself holds, RGBA: what the presents copied to its surface, not the frame
// the platform composed in memory.
static std::vector<uint8_t> WindowSurface(int* width, int* height) {
  std::vector<uint8_t> rgba;
  SDL_Surface* screen = TheWindow() ? SDL_GetWindowSurface(TheWindow()) : nullptr;
  SDL_Surface* copy = screen ? SDL_ConvertSurfaceFormat(screen, SDL_PIXELFORMAT_ABGR8888, 0) : nullptr;
  if (!copy) return rgba;
  *width = copy->w;
  *height = copy->h;
  for (int y = 0; y < copy->h; y++) {
    const uint8_t* row = static_cast<const uint8_t*>(copy->pixels) + static_cast<size_t>(y) * copy->pitch;
    rgba.insert(rgba.end(), row, row + static_cast<size_t>(copy->w) * 4);
  }
  SDL_FreeSurface(copy);
  return rgba;
}

TEST_F(SDLWindowTest, TheWindowShowsPicturesSharpAtWholeScalesAndSmoothedBetween) {
  const uint8_t halves[] = {255, 0, 0, 255, 0, 0, 255, 255};  // one red pixel, one blue
  ASSERT_TRUE(WritePng(BundleFile("Halves.png").c_str(), 2, 1, halves));
  gAppMain = [] { ViewSetSize(ViewAdd(ImageAdd("Halves.png"), 40, 40), 40, 20); };
  Start();
  // Across the picture, at the middle of its height: is any pixel a mix of red and blue?
  auto mixed = [](float scale) {
    int w = 0, h = 0;
    std::vector<uint8_t> rgba = WindowSurface(&w, &h);
    size_t y = static_cast<size_t>(50 * scale);
    for (int x = 0; x < w && y < static_cast<size_t>(h); x++)
      if (rgba[(y * w + x) * 4] && rgba[(y * w + x) * 4 + 2]) return true;
    return false;
  };
  plat_window_set_size(window(), 640, 920);
  plat_loop_step(false);
  EXPECT_FALSE(mixed(2));
  plat_window_set_size(window(), 800, 1150);  // 2.5 pixels a point
  plat_loop_step(false);
  EXPECT_TRUE(mixed(2.5f));
}

// A view moved: only the damage is copied to the window, and after it the window is the frame.
TEST_F(SDLWindowTest, APresentCopiesOnlyTheDamageToTheWindowAndLeavesItAsTheFrame) {
  static int moving = 0;
  gAppMain = [] {
    ViewSetSize(ViewAdd(ImageAdd(kGreen.name), 0, 0), kFrameWidth, kFrameHeight);
    moving = ViewAdd(ImageAdd(kGreen.name), 10, 10);
  };
  Start();
  plat_loop_step(false);
  SDL_Surface* screen = SDL_GetWindowSurface(TheWindow());
  ASSERT_NE(screen, nullptr);
  SDL_FillRect(screen, nullptr, SDL_MapRGB(screen->format, 255, 0, 255));  // marks what is not copied
  ViewSetxy(moving, 200, 300);
  plat_loop_step(false);
  int w = 0, h = 0;
  std::vector<uint8_t> shown = WindowSurface(&w, &h), frame = ReadWindow(window());
  ASSERT_EQ(shown.size(), frame.size());
  int copied = 0, wrong = 0;
  for (size_t i = 0; i < shown.size(); i += 4) {
    bool marked = shown[i] == 255 && shown[i + 1] == 0 && shown[i + 2] == 255;
    copied += !marked;
    wrong += !marked && memcmp(&shown[i], &frame[i], 3) != 0;
  }
  EXPECT_GE(copied, 2 * kGreen.w * kGreen.h);  // where it was and where it is, one pixel a point
  EXPECT_LT(copied, w * h / 4) << "the whole window was copied";
  EXPECT_EQ(wrong, 0);
  size_t there = (static_cast<size_t>(305) * w + 205) * 4;
  EXPECT_EQ(memcmp(&shown[there], &frame[there], 3), 0) << "the view where it went";
}

static void Key(SDL_Keycode key, Uint16 mod) {
  SDL_Event e{};
  e.type = SDL_KEYDOWN;
  e.key.state = SDL_PRESSED;
  e.key.keysym.sym = key;
  e.key.keysym.mod = mod;
  SDL_PushEvent(&e);
}

// Fullscreen, the scene's edges go on into the bars the screen's shape leaves.
TEST_F(SDLWindowTest, F11TogglesFullscreenCtrlQEndsAndNeitherReachesTheTouchTable) {
  static int touches = 0;
  touches = 0;
  gAppMain = [] {
    ViewSetSize(ViewAdd(ImageAdd(kGreen.name), 0, 0), kFrameWidth, kFrameHeight);
    TouchAdd(-1000, -1000, 3000, 3000, [](TouchData, int, int, int) { return ++touches; }, 0);
  };
  Start();
  SDL_Window* window = TheWindow();
  ASSERT_NE(window, nullptr);
  Key(SDLK_F11, KMOD_NONE);
  EXPECT_TRUE(plat_loop_step(false));
  EXPECT_TRUE(SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN_DESKTOP);
  int w = 0, h = 0;
  SDL_GetWindowSize(window, &w, &h);
  ASSERT_NE(w * kFrameHeight, h * kFrameWidth) << "a screen of the frame's own shape leaves no bars";
  PlatColor outside = w * kFrameHeight > h * kFrameWidth ? PixelAt(-2, 200) : PixelAt(100, -2);
  EXPECT_GT(outside.g, kGreen.g / 2) << "the bar, at " << w << " x " << h;
  Key(SDLK_F11, KMOD_NONE);
  Key(SDLK_q, KMOD_NONE);  // a q alone is nothing
  EXPECT_TRUE(plat_loop_step(false));
  EXPECT_FALSE(SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN_DESKTOP);
  Key(SDLK_q, KMOD_LCTRL);
  EXPECT_FALSE(plat_loop_step(false));
  EXPECT_EQ(touches, 0);
}

TEST(VideoDriverTest, AHeadlessDriverNamedAsSDLReadsTheVariableIsTaken) {
  for (const char* asked : {"offscreen", "OFFSCREEN", "Offscreen", "no-such-driver,offscreen"}) {
    ScopedEnv driver("SDL_VIDEODRIVER", asked);
    PlatConfig config{FixtureBundle().c_str(), true};
    EXPECT_TRUE(plat_init(&config)) << asked << ": " << plat_error();
    plat_shutdown();
  }
}

TEST(NoDisplayTest, TheProgramSaysInOneLineThatItCannotOpenAWindowAndFails) {
  ScopedEnv driver("SDL_VIDEODRIVER", nullptr);
  ScopedEnv display("DISPLAY", nullptr);
  ScopedEnv wayland("WAYLAND_DISPLAY", nullptr);
  static bool launched = false;
  PlatAppHooks hooks = {[] { launched = true; }, [] { launched = true; }};
  char name[] = "/some/where/Soundboard";
  char* argv[] = {name, nullptr};
  testing::internal::CaptureStderr();
  int status = plat_application_main(1, argv, &hooks);
  std::string said = testing::internal::GetCapturedStderr();
  EXPECT_NE(status, 0);
  EXPECT_FALSE(launched);
  EXPECT_NE(said.find("Soundboard: cannot open a window: "), std::string::npos) << said;
}

// The device, not the offline mixer: what SDL's dummy driver grants, and what happens when
// there is no device at all.
class AudioDeviceTest : public StubAppTest {};

TEST_F(AudioDeviceTest, TheDeviceOpensAt48kHzWithAShortBuffer) {
  plat_shutdown();
  PlatConfig config{FixtureBundle().c_str(), false};
  ASSERT_TRUE(plat_init(&config));
  PlatAudioInfo info = plat_audio_info();
  EXPECT_TRUE(info.device_open);
  EXPECT_EQ(info.rate, 48000);
  EXPECT_EQ(info.buffer_frames, 256);
}

// Our device, found as SDL numbers open devices (from 2): paused, so that only a new one plays.
static SDL_AudioDeviceID PauseOurDevice() {
  for (SDL_AudioDeviceID id = 2; id < 32; id++)
    if (SDL_GetAudioDeviceStatus(id) == SDL_AUDIO_PLAYING) {
      SDL_PauseAudioDevice(id, 1);
      return id;
    }
  return 0;
}

static void Report(Uint32 type, SDL_AudioDeviceID which, bool capture) {
  SDL_Event e{};
  e.type = type;
  e.adevice.which = which;
  e.adevice.iscapture = capture;
  SDL_PushEvent(&e);
  plat_loop_step(false);
}

TEST_F(AudioDeviceTest, WhenItsDeviceGoesTheSoundGoesOnOnTheDefaultOneAtTheSameRate) {
  plat_shutdown();
  PlatConfig config{FixtureBundle().c_str(), false};
  ASSERT_TRUE(plat_init(&config));
  SDL_AudioDeviceID ours = PauseOurDevice();
  ASSERT_NE(ours, 0u);
  // Another device, a microphone going, or a device coming: ours is still the one.
  Report(SDL_AUDIODEVICEREMOVED, ours + 1, false);
  Report(SDL_AUDIODEVICEREMOVED, ours, true);
  Report(SDL_AUDIODEVICEADDED, 0, false);
  EXPECT_EQ(SDL_GetAudioDeviceStatus(ours), SDL_AUDIO_PAUSED);
  Report(SDL_AUDIODEVICEREMOVED, ours, false);
  EXPECT_NE(PauseOurDevice(), 0u) << "no device plays";
  PlatAudioInfo info = plat_audio_info();
  EXPECT_TRUE(info.device_open);
  EXPECT_EQ(info.rate, 48000);
}

// A device lost with none to take its place: the clip keeps time by the clock while nothing
// plays, and a device arriving later plays it from where the clock says, not from where it
// stopped.
TEST_F(AudioDeviceTest, ADeviceLostWithNoneToReplaceItKeepsTimeAndTheNextPlaysWhereTheClockSays) {
  plat_shutdown();
  PlatConfig config{FixtureBundle().c_str(), false, [] { return EngineTest::now_ns; }};
  ASSERT_TRUE(plat_init(&config));
  FileGetAppPath(PathApp);
  SDL_AudioDeviceID ours = PauseOurDevice();
  ASSERT_NE(ours, 0u);
  SoundPlay(SoundAdd("Ramp.wav"));  // frame i sounds i + 1; nothing is heard while paused
  {
    SDL_QuitSubSystem(SDL_INIT_AUDIO);  // every device gone, and no driver to open another
    ScopedEnv none("SDL_AUDIODRIVER", "no-such-driver");
    testing::internal::CaptureStderr();
    Report(SDL_AUDIODEVICEREMOVED, ours, false);
    std::string said = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(plat_audio_info().device_open);
    EXPECT_NE(said.find("The audio device is gone"), std::string::npos) << said;
    now_ns += 50000000;  // 2400 frames at 48 kHz pass unheard
    plat_loop_step(false);
  }
  // The first buffer the next device pulls, as it leaves the mixer.
  static std::atomic<int> first{-1};
  plat_audio_set_tap([](void*, const int16_t* out, int frames) {
    int unset = -1;
    if (frames > 1) first.compare_exchange_strong(unset, out[0] * 100000 + out[2]);
  }, nullptr);
  Report(SDL_AUDIODEVICEADDED, 0, false);  // the driver is there again
  EXPECT_TRUE(plat_audio_info().device_open);
  // The device's own thread pulls it: its first buffer, or a failure after ten seconds.
  auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (first.load() < 0 && std::chrono::steady_clock::now() < give_up) std::this_thread::yield();
  EXPECT_EQ(first.load(), 2401 * 100000 + 2402) << "where the clock says, and on from there";
}

TEST_F(AudioDeviceTest, WithoutADeviceTheProgramSaysSoOnceAndTheTableStillWorks) {
  plat_shutdown();
  ScopedEnv driver("SDL_AUDIODRIVER", "no-such-driver");
  PlatConfig config{FixtureBundle().c_str(), false};
  testing::internal::CaptureStderr();
  bool started = plat_init(&config);
  std::string said = testing::internal::GetCapturedStderr();
  ASSERT_TRUE(started);
  EXPECT_FALSE(plat_audio_info().device_open);
  EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
  EXPECT_NE(said.find("No audio device"), std::string::npos);
  FileGetAppPath(PathApp);
  EXPECT_EQ(SoundAdd("Ramp.wav"), 1);
  EXPECT_EQ(SoundAdd("Missing.wav"), 0);
  EXPECT_EQ(SoundPlay(1), 1);
}
