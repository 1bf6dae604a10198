// The window object: start-up order, the frame clock, the paths, and drawing at any scale.
#include <cstdlib>
#include <string>
#include <vector>

#include "Engine/Platform/FrameClock.h"
#include "Engine/Touch.h"
#include "Tests/Support/AppStub.h"

using WindowTest = StubAppTest;

TEST_F(WindowTest, InitPreparesEverythingBeforeAppMainAndStartsTheClockAfterIt) {
  int calls = 0;
  gAppMain = [&] {
    calls++;
    EXPECT_EQ(ImageGetWidth(0), kReservedFixture.w);  // slot 0 is filled first
    EXPECT_EQ(SysImageLen, 1);
    EXPECT_EQ(std::string(PathApp), FixtureBundle() + "/");
    EXPECT_NE(Win.view, nullptr);
    EXPECT_EQ(controller()->view(), Win.view);
  };
  int ticks = 0;
  gOnTimer = [&] { ticks++; };
  Start();
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(controller()->view(), Win.view);  // asking again does not start again
  EXPECT_EQ(calls, 1);
  RunUntil(TickTime(1) - 1);
  EXPECT_EQ(ticks, 0);  // the first tick is one whole interval after the start
  RunUntil(TickTime(1));
  EXPECT_EQ(ticks, 1);
  // The window view covers the application frame.
  PlatRect frame = plat_view_frame(Win.view->platformView());
  PlatRect app = plat_screen_application_frame();
  EXPECT_EQ(frame.w, app.w);
  EXPECT_EQ(frame.h, app.h);
}

TEST_F(WindowTest, TheApplicationRunsOnceBeforeTheWindowIsShown) {
  DorvelAppDelegate* delegate = DorvelLoadMainInterface();
  ASSERT_NE(delegate->window(), nullptr);
  ASSERT_NE(delegate->viewController(), nullptr);
  EXPECT_EQ(DorvelLoadMainInterface(), delegate);  // one delegate for the process
  int runs = 0;
  gAppMain = [&] {
    runs++;
    EXPECT_FALSE(plat_window_is_visible(delegate->window()));
  };
  delegate->applicationDidFinishLaunching();
  EXPECT_EQ(runs, 1);
  EXPECT_TRUE(plat_window_is_visible(delegate->window()));
  EXPECT_EQ(delegate->viewController()->view(), Win.view);  // the engine's view is shown
  EXPECT_TRUE(plat_loop_step(false));
}

TEST_F(WindowTest, FrameSeedIsNInsideTheNthTick) {
  std::vector<int> seen;
  gOnTimer = [&] { seen.push_back(FrameSeed); };
  Start();
  EXPECT_EQ(FrameSeed, 0);
  RunTicks(5);
  EXPECT_EQ(seen, (std::vector<int>{1, 2, 3, 4, 5}));
}

TEST_F(WindowTest, FrameSeedWrapsInsteadOfOverflowing) {
  Start();
  FrameSeed = INT_MAX;
  RunTicks(1);
  EXPECT_EQ(FrameSeed, INT_MIN);
}

TEST_F(WindowTest, ALateLoopFiresOneTickAndKeepsToTheSchedule) {
  int ticks = 0;
  gOnTimer = [&] { ticks++; };
  Start();
  RunUntil(TickTime(10) + 5);  // ten ticks late: one fires, nine are skipped
  EXPECT_EQ(ticks, 1);
  RunUntil(TickTime(11) - 1);
  EXPECT_EQ(ticks, 1);
  RunUntil(TickTime(11));  // the next tick comes at its own time, not an interval later
  EXPECT_EQ(ticks, 2);
  RunUntil(TickTime(11));  // and only once
  EXPECT_EQ(ticks, 2);
}

TEST_F(WindowTest, AChangeIsPresentedInThePassThatMadeItAndAnUnchangedScreenIsNot) {
  static int view = 0;
  static bool move = false;
  gAppMain = [] {
    view = ViewAdd(ImageAdd(kGreen.name), 0, 0);
    TouchAdd(0, 0, kFrameWidth, kFrameHeight, [](TouchData, int event, int, int) {
      if (event == kTouchDown) ViewSetxy(view, 50, 50);
      return 0;
    }, 0);
  };
  gOnTimer = [] {
    if (move) ViewSetxy(view, FrameSeed, 0);
  };
  Start();
  RunTicks(1);
  uint64_t shown = plat_window_presents(window());
  RunTicks(3);  // nothing moves: nothing is drawn
  EXPECT_EQ(plat_window_presents(window()), shown);
  move = true;
  RunTicks(2);  // one present for each tick that moved the view
  EXPECT_EQ(plat_window_presents(window()), shown + 2);
  move = false;
  ViewSetxy(view, ViewGetx(view), 0);  // to where it already is: not a change
  RunUntil(now_ns + 1);
  EXPECT_EQ(plat_window_presents(window()), shown + 2);
  // A touch between two ticks: what it changes is shown in that pass, not at the next tick.
  plat_touch_inject(kPlatTouchBegan, {5, 5});
  RunUntil(now_ns + 1);
  EXPECT_EQ(plat_window_presents(window()), shown + 3);
  EXPECT_EQ(PixelAt(55, 55).g, kGreen.g);
}

TEST(FrameClockTest, TicksAreDueAtWholeIntervalsFromTheStartAndNeverEarly) {
  PlatFrameClock clock(5000, 1.0 / 30);
  EXPECT_EQ(clock.due_ns(30), 5000 + 1000000000ull);
  EXPECT_EQ(clock.due_ns(1), 5000 + 33333334ull);  // 33 333 333.3 ns, rounded up
  // A day of ticks later the schedule is still exact: it never accumulates.
  uint64_t day = 30ull * 86400;
  EXPECT_EQ(clock.due_ns(day), 5000 + 86400ull * 1000000000ull);
  EXPECT_FALSE(clock.poll(clock.due_ns(1) - 1));
  EXPECT_TRUE(clock.poll(clock.due_ns(1)));
  EXPECT_FALSE(clock.poll(clock.due_ns(1)));
  EXPECT_EQ(clock.next, 2u);
}

TEST(FrameClockTest, ALatePollSkipsToTheFirstTickStillToCome) {
  PlatFrameClock clock(0, 1.0 / 30);
  EXPECT_TRUE(clock.poll(clock.due_ns(7)));
  EXPECT_EQ(clock.next, 8u);
  EXPECT_TRUE(clock.poll(clock.due_ns(100) - 1));
  EXPECT_EQ(clock.next, 100u);
}

TEST_F(WindowTest, PathsAreTheDirectoriesWithExactlyOneSlash) {
  ScopedEnv documents("XDG_DOCUMENTS_DIR", "/home/someone/Papers//");
  RestartPlatform((FixtureBundle() + "///").c_str());
  Start();
  EXPECT_EQ(std::string(PathApp), FixtureBundle() + "/");
  EXPECT_EQ(std::string(PathDoc), "/home/someone/Papers/");
}

TEST_F(WindowTest, DocumentsComeFromTheUsersDirsFileElseHomeDocuments) {
  std::string config = FixtureBundle() + "/config";
  system(("mkdir -p " + config).c_str());
  FILE* dirs = fopen((config + "/user-dirs.dirs").c_str(), "w");
  ASSERT_NE(dirs, nullptr);
  fputs("# written by a test\nXDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n", dirs);
  fclose(dirs);
  ScopedEnv home("HOME", "/home/tester");
  ScopedEnv no_documents("XDG_DOCUMENTS_DIR", nullptr);
  std::string from_file, fallback;
  {
    ScopedEnv config_home("XDG_CONFIG_HOME", config.c_str());
    RestartPlatform();
    from_file = plat_documents_path();
  }
  {
    ScopedEnv config_home("XDG_CONFIG_HOME", "/nonexistent");
    RestartPlatform();
    fallback = plat_documents_path();
  }
  EXPECT_EQ(from_file, "/home/tester/Dokumente");
  EXPECT_EQ(fallback, "/home/tester/Documents");
}

TEST_F(WindowTest, ADirectoryTooLongForThePathBufferGivesAnEmptyPathAndSaysSo) {
  char path[kPathBytes];
  std::string fits(kPathBytes - 2, 'd');  // with its "/" and the terminator: 200 bytes
  ScopedEnv documents("XDG_DOCUMENTS_DIR", ("/" + fits.substr(1)).c_str());
  std::string too_long = "/" + std::string(kPathBytes - 2, 'e');
  RestartPlatform(too_long.c_str());
  FileGetDocPath(path);
  EXPECT_EQ(std::string(path), "/" + fits.substr(1) + "/");
  FileGetAppPath(path);
  EXPECT_EQ(std::string(path), "");
  EXPECT_EQ(Printed(), "FileGetAppPath - path too long: " + too_long + "\n");
}

TEST_F(WindowTest, AtAnyWindowSizeTheFrameIsLetterboxedAndPicturesLandInPlace) {
  gAppMain = [] {
    ViewAdd(ImageAdd(kGreen.name), 10, 20);
    ViewAdd(ImageAdd(kBlue.name), 30, 40);
  };
  Start();
  plat_window_set_size(window(), 640, 920);
  EXPECT_EQ(plat_window_scale(window()), 2.0f);
  EXPECT_EQ(PixelAt(12, 22).g, kGreenSharp.g);  // its @2x twin, at this scale
  EXPECT_EQ(PixelAt(54, 54).b, kBlue.b);
  EXPECT_EQ(PixelAt(55, 54).b, 0);
  plat_window_set_size(window(), 1000, 920);  // wider: black bars left and right
  EXPECT_EQ(plat_window_scale(window()), 2.0f);
  EXPECT_EQ(PixelAt(54, 54).b, kBlue.b);
  EXPECT_EQ(PixelAt(-10, 54).b, 0);
}
