// The rules the platform's shared core keeps for every backend: which picture a scale takes,
// where a touch goes and in whose points, what is drawn where, when a frame is presented, how
// long the loop sleeps, and a second start in the same process.
#include <vector>

#include "Engine/Internal.h"
#include "Engine/Platform/FrameClock.h"
#include "Engine/Testing.h"
#include "Engine/Sound.h"
#include "Engine/Touch.h"
#include "Tests/Support/AppStub.h"
#include "Tools/Media/Media.h"

class PlatformCoreTest : public StubAppTest {
 protected:
  void SetUp() override {
    StubAppTest::SetUp();
    Start();
  }
  // A window subview over the whole frame, or the given part of it.
  PlatView* AddWindowView(PlatRect frame, PlatTouchFn fn = nullptr, void* ctx = nullptr) {
    PlatView* view = plat_view_create(frame);
    plat_view_set_touch_handler(view, fn, ctx);
    plat_window_add_subview(window(), view);
    return view;
  }
};

struct Received {
  int calls = 0;
  PlatTouchPhase phase = kPlatTouchBegan;
  PlatPoint location{};
};

static void Receive(void* ctx, PlatTouchPhase phase, PlatPoint location) {
  Received* r = static_cast<Received*>(ctx);
  r->calls++;
  r->phase = phase;
  r->location = location;
}

using SharpTwinTest = StubAppTest;

TEST_F(SharpTwinTest, AtScaleTwoTheSharpTwinIsDrawnAtTheSizeInPointsOfThePlainPicture) {
  gAppMain = [] { ViewAdd(ImageAdd(kGreen.name), 0, 0); };
  Start(640, 920);
  EXPECT_EQ(ImageGetWidth(1), kGreen.w);  // 80 x 60 pixels: 40 x 30 points
  EXPECT_EQ(ImageGetHeight(1), kGreen.h);
  EXPECT_EQ(PixelAt(kGreen.w - 1, kGreen.h - 1).g, kGreenSharp.g);
  EXPECT_EQ(PixelAt(kGreen.w, 5).g, 0);
}

// A window resized across a whole scale (a phone turned) takes each picture's twin again.
TEST_F(SharpTwinTest, AtScaleThreeTheSharpestTwinThereIsIsDrawnAndEachResizeTakesItsOwn) {
  gAppMain = [] {
    ViewAdd(ImageAdd(kGreen.name), 0, 0);   // a @2x twin only
    ViewAdd(ImageAdd(kBlue.name), 0, 100);  // a @3x twin only
  };
  Start(kFrameWidth, kFrameHeight);
  EXPECT_EQ(PixelAt(kGreen.w - 1, kGreen.h - 1).g, kGreen.g);
  plat_window_set_size(window(), 960, 1380);
  EXPECT_EQ(ImageGetWidth(2), kBlue.w);
  EXPECT_EQ(PixelAt(kGreen.w - 1, kGreen.h - 1).g, kGreenSharp.g);
  EXPECT_EQ(PixelAt(kBlue.w - 1, 100 + kBlue.h - 1).b, kBlueSharper.b);
  plat_window_set_size(window(), kFrameWidth, kFrameHeight);
  EXPECT_EQ(PixelAt(kGreen.w - 1, kGreen.h - 1).g, kGreen.g);
  EXPECT_EQ(PixelAt(kBlue.w - 1, 100 + kBlue.h - 1).b, kBlue.b);
}

TEST_F(PlatformCoreTest, ATouchGoesToTheTopmostWindowSubviewWithAHandlerInItsOwnPoints) {
  Received engine_view, lower, upper;
  AddWindowView({0, 0, 200, 200}, Receive, &lower);
  AddWindowView({10, 20, 100, 100}, Receive, &upper);
  AddWindowView({0, 0, kFrameWidth, kFrameHeight});  // on top of all, with no handler: takes nothing
  plat_touch_inject(kPlatTouchBegan, {15.5f, 27});
  EXPECT_EQ(upper.calls, 1);
  EXPECT_EQ(lower.calls, 0);
  EXPECT_EQ(upper.location.x, 5.5f);
  EXPECT_EQ(upper.location.y, 7);
  plat_touch_inject(kPlatTouchEnded, {150, 150});  // outside it, still its own
  EXPECT_EQ(upper.calls, 2);
  EXPECT_EQ(upper.phase, kPlatTouchEnded);
  EXPECT_EQ(upper.location.x, 140);
  plat_touch_inject(kPlatTouchBegan, {150, 150});
  EXPECT_EQ(lower.calls, 1);
  EXPECT_EQ(lower.location.x, 150);
}

TEST_F(PlatformCoreTest, AWindowSizePastWhatThePlatformDrawsIsIgnored) {
  plat_window_set_size(window(), 640, 920);
  plat_window_set_size(window(), 100000, 100000);  // 40 GB of frame
  plat_window_set_size(window(), 0, 920);
  int w = 0, h = 0;
  plat_window_read_pixels(window(), nullptr, 0, &w, &h);
  EXPECT_EQ(w, 640);
  EXPECT_EQ(h, 920);
}

// Straight alpha over what is under it: under + (over - under) * alpha / 256, per channel.
TEST_F(PlatformCoreTest, ATranslucentPictureIsBlendedOverWhatIsUnderIt) {
  const uint8_t glass[] = {255, 0, 0, 128, 0, 0, 255, 64, 90, 90, 90, 0};  // red, blue, clear
  ASSERT_TRUE(WritePng(BundleFile("Glass.png").c_str(), 3, 1, glass));
  ViewAdd(ImageAdd(kGreen.name), 0, 0);  // (0, 200, 0) under the first two
  ViewAdd(ImageAdd("Glass.png"), 0, 0);
  RunTicks(1);
  PlatColor red = PixelAt(0, 0), blue = PixelAt(1, 0), clear = PixelAt(2, 0);
  EXPECT_EQ((std::vector<int>{red.r, red.g, red.b}), (std::vector<int>{127, 100, 0}));
  EXPECT_EQ((std::vector<int>{blue.r, blue.g, blue.b}), (std::vector<int>{0, 150, 63}));
  EXPECT_EQ((std::vector<int>{clear.r, clear.g, clear.b}), (std::vector<int>{0, 200, 0}));
}

// The bars show the frame's edge continued, darker away from it; a view past the edge is not
// drawn there itself: with black bars, nothing is.
TEST_F(PlatformCoreTest, TheBarsContinueTheScenesEdgesOrAreBlackAndNoViewDrawsOnThem) {
  ViewAdd(ImageAdd(kGreen.name), 300, 10);  // reaches 20 points past the right edge
  plat_window_set_size(window(), 1000, 920);  // bars of 180 pixels either side; its @2x twin
  RunTicks(1);
  EXPECT_EQ(PixelAt(319, 15).g, kGreenSharp.g);
  PlatColor near = PixelAt(321, 15), far = PixelAt(335, 15);  // the bar, 1 and 15 points out
  EXPECT_GT(near.g, kGreenSharp.g / 2);  // mostly green, blurred with black along the edge
  EXPECT_LT(far.g, near.g);         // and darker further out
  EXPECT_EQ(near.r + near.b, 0);
  // At a fractional scale too, where the frame's outermost row of pixels is only half its own.
  ViewAdd(ImageAdd(kGreen.name), 0, 0);
  plat_window_set_size(window(), 390, 844);  // 1.22 pixels a point, bars above and below
  RunTicks(1);
  EXPECT_GT(PixelAt(5, -1).g, kGreen.g / 2);
  plat_window_set_bars(window(), kPlatBarsBlack);
  RunTicks(1);
  EXPECT_EQ(PixelAt(319, 15).g, kGreen.g);  // the plain picture again, at 1.22
  EXPECT_EQ(PixelAt(321, 15).g, 0);
  EXPECT_EQ(PixelAt(335, 15).g, 0);
}

TEST_F(PlatformCoreTest, ViewsThatAreGivenWhatTheyAlreadyHaveCauseNoFrame) {
  int green = ImageAdd(kGreen.name);
  int view = ViewAdd(green, 5, 5);
  RunTicks(1);
  uint64_t shown = plat_window_presents(window());
  ViewSetImage(view, green);
  ViewSetxy(view, 5, 5);
  ViewSetSize(view, kGreen.w, kGreen.h);
  RunTicks(1);
  EXPECT_EQ(plat_window_presents(window()), shown);
  ViewSetImage(view, ImageAdd(kBlue.name));
  RunTicks(1);
  EXPECT_EQ(plat_window_presents(window()), shown + 1);
}

using HiddenWindowTest = StubAppTest;

TEST_F(HiddenWindowTest, AWindowNotYetShownIsNeverPresented) {
  PlatWindow* hidden = plat_window_create();
  PlatView* view = plat_view_create({0, 0, 10, 10});
  plat_view_set_background(view, {255, 0, 0, 255});
  plat_window_add_subview(hidden, view);
  plat_loop_step(false);
  EXPECT_EQ(plat_window_presents(hidden), 0u);
  plat_window_make_key_and_visible(hidden);
  plat_loop_step(false);
  EXPECT_EQ(plat_window_presents(hidden), 1u);
}

TEST(LoopWaitTest, TheLoopSleepsUntilTheNextDueTickAndNeverSpinsOrOversleeps) {
  PlatFrameClock clocks[2] = {PlatFrameClock(1000, 1.0 / 30), PlatFrameClock(5000, 1.0)};
  EXPECT_EQ(frame_clocks_wait_ns(clocks, 0, 0), -1);  // nothing to wait for but an event
  EXPECT_EQ(frame_clocks_wait_ns(clocks, 1, 1000), 33333334);
  EXPECT_EQ(frame_clocks_wait_ns(clocks, 2, 1000), 33333334);  // the sooner of the two
  EXPECT_EQ(frame_clocks_wait_ns(clocks, 1, clocks[0].next_due_ns() - 1), 1);
  EXPECT_EQ(frame_clocks_wait_ns(clocks, 1, clocks[0].next_due_ns()), 0);
  EXPECT_EQ(frame_clocks_wait_ns(clocks, 1, clocks[0].next_due_ns() + 5000000), 0);
  clocks[0].poll(clocks[0].next_due_ns());  // fired: now the wait is for the tick after
  EXPECT_EQ(frame_clocks_wait_ns(clocks, 1, clocks[0].due_ns(1)),
            static_cast<int64_t>(clocks[0].due_ns(2) - clocks[0].due_ns(1)));
}

// A program's tests start, step and stop the engine with Testing.h: after EngineTestStop,
// nothing of the first run is left for the second to trip over.
using RestartTest = StubAppTest;

static int presses = 0;

static int CountPress(int) { return ++presses; }

TEST_F(RestartTest, ASecondStartBeginsFromEmptyTablesAndWorksLikeTheFirst) {
  plat_shutdown();  // the fixture's platform: EngineTestStart starts its own
  int ticks = 0;
  gOnTimer = [&] { ticks++; };
  gAppMain = [] {
    ViewAdd(ImageAdd(kGreen.name), 0, 0);
    PushButtonAdd("Btn", 100, 100, CountPress, 0);
    SoundAdd("Ramp.wav");
  };
  for (int run = 0; run < 2; run++) {
    presses = ticks = 0;
    ASSERT_TRUE(EngineTestStart(BundleDir().c_str())) << plat_error();
    EXPECT_EQ(SysImageLen, 4) << run;  // Green, Btn1, Btn2
    EXPECT_EQ(SysViewLen, 3) << run;
    EXPECT_EQ(ButtonLen, 2) << run;
    EXPECT_EQ(Sound.count, 2) << run;
    EngineTestTicks(3);
    EXPECT_EQ(ticks, 3) << run;
    plat_touch_inject(kPlatTouchBegan, {101, 101});
    EXPECT_EQ(presses, 1) << run;
    EXPECT_EQ(plat_view_picture(Win.views[2]), Win.images[3]) << run;  // pressed
    plat_touch_inject(kPlatTouchEnded, {101, 101});
    EngineTestTicks(1);
    EXPECT_EQ(ticks, 4) << run;
    EXPECT_EQ(PixelAt(5, 5, DorvelLoadMainInterface()->window()).g, kGreen.g) << run;
    EXPECT_EQ(SoundPlay(1), 1);
    int16_t first[2];
    plat_audio_render(first, 1);
    EXPECT_EQ(first[0], 1) << run;
    // Started, the platform refuses to start again otherwise, and says why.
    PlatConfig elsewhere{nullptr, false};
    EXPECT_FALSE(plat_init(&elsewhere)) << run;
    EXPECT_NE(std::string(plat_error()).find("started already"), std::string::npos) << plat_error();
    EngineTestStop();
  }
  RestartPlatform();
}
