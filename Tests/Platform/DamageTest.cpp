// Drawing only what changed: which rectangles each change damages, that a present draws no
// pixel outside them, that nothing is drawn when nothing changed, and that after any run of
// changes the window is exactly what drawing it whole would give.
#include <random>
#include <vector>

#include "Engine/Platform/Core.h"
#include "Tests/Support/AppStub.h"

class DamageTest : public StubAppTest {
 protected:
  void SetUp() override {
    StubAppTest::SetUp();
    Start();
    green_ = ImageAdd(kGreen.name);
    blue_ = ImageAdd(kBlue.name);
    view_ = ViewAdd(green_, 10, 10);
    RunTicks(1);  // the first frame, drawn whole
  }
  static std::vector<PlatRect> Damaged() {
    const PlatDamage& d = views_damage();
    return std::vector<PlatRect>(d.rects, d.rects + d.count);
  }
  int green_ = 0, blue_ = 0, view_ = 0;
};

static bool Same(const PlatRect& a, const PlatRect& b) {
  return a.x == b.x && a.y == b.y && a.w == b.w && a.h == b.h;
}

TEST_F(DamageTest, AMoveDamagesWhereTheViewWasAndWhereItIsMergedWhenTheyMeet) {
  EXPECT_FALSE(views_damage().all);
  EXPECT_TRUE(Damaged().empty());
  ViewSetxy(view_, 100, 200);
  std::vector<PlatRect> d = Damaged();
  ASSERT_EQ(d.size(), 2u);
  EXPECT_TRUE(Same(d[0], {10, 10, 40, 30}));
  EXPECT_TRUE(Same(d[1], {100, 200, 40, 30}));
  RunTicks(1);
  ViewSetxy(view_, 102, 202);  // the sprite's step: one rectangle over both
  d = Damaged();
  ASSERT_EQ(d.size(), 1u);
  EXPECT_TRUE(Same(d[0], {100, 200, 42, 32}));
}

TEST_F(DamageTest, APictureOfAnotherSizeDamagesBothItsOldAndNewExtentAndAnAddedViewItsOwn) {
  ViewSetImage(view_, blue_);  // 40 x 30 to 25 x 15: what the old one covered is uncovered
  std::vector<PlatRect> d = Damaged();
  ASSERT_EQ(d.size(), 1u);
  EXPECT_TRUE(Same(d[0], {10, 10, 40, 30}));
  RunTicks(1);
  ViewAdd(blue_, 200, 300);
  d = Damaged();
  ASSERT_EQ(d.size(), 1u);
  EXPECT_TRUE(Same(d[0], {200, 300, 25, 15}));
  plat_window_set_size(window(), 640, 920);  // a resize: everything
  EXPECT_TRUE(views_damage().all);
}

TEST_F(DamageTest, WhenNothingChangedNothingIsDrawnAndNothingPresented) {
  uint64_t shown = plat_window_presents(window());
  RunTicks(10);
  EXPECT_EQ(plat_window_presents(window()), shown);
  PlatView* hidden = plat_view_create({0, 0, 50, 50});  // in no window: changing it shows nothing
  plat_view_set_background(hidden, {255, 255, 255, 255});
  plat_view_set_frame(hidden, {10, 10, 300, 300});
  RunTicks(1);
  EXPECT_EQ(plat_window_presents(window()), shown);
  ViewSetxy(view_, 11, 10);
  RunTicks(1);
  EXPECT_EQ(plat_window_presents(window()), shown + 1);
}

TEST_F(DamageTest, APresentDrawsNoPixelOutsideTheDamage) {
  // A change made behind the core's back, so that no damage records it: a redraw of the whole
  // window would show it, a redraw of the damage alone must not.
  int other = ViewAdd(blue_, 200, 300);
  RunTicks(1);
  std::vector<uint8_t> before = ReadWindow(window());
  Win.views[other]->frame.x = 250;
  ViewSetxy(view_, 12, 10);
  RunTicks(1);
  std::vector<uint8_t> after = ReadWindow(window());
  int w = kFrameWidth, changed_outside = 0, changed_inside = 0;
  for (size_t i = 0; i < after.size(); i += 4) {
    int x = static_cast<int>(i / 4) % w, y = static_cast<int>(i / 4) / w;
    bool inside = x >= 10 && x < 52 && y >= 10 && y < 40;
    bool changed = std::equal(&after[i], &after[i] + 4, &before[i]) == false;
    (inside ? changed_inside : changed_outside) += changed;
  }
  EXPECT_EQ(changed_outside, 0);
  EXPECT_GT(changed_inside, 0);
}

// A seeded run of moves, resizes, new pictures and new views, with frames in between, at a
// scale: after it the window must equal a redraw of the whole.
static void ExpectSameAsWholeRedraw(DamageTest* test, PlatWindow* window, int width, int height,
                                    unsigned seed, int green, int blue) {
  plat_window_set_size(window, width, height);
  std::mt19937 random(seed);
  std::vector<int> views;
  for (int i = 0; i < 6; i++) views.push_back(ViewAdd(i % 2 ? green : blue, 20 * i, 30 * i));
  int checker = ImageAdd("Checker.png");
  auto read = [&] { return ReadWindow(window); };
  for (int step = 0; step < 60; step++) {
    int v = views[random() % views.size()];
    switch (random() % 4) {
      case 0: ViewSetxy(v, static_cast<int>(random() % 330) - 10, static_cast<int>(random() % 470) - 10); break;
      case 1: ViewSetSize(v, static_cast<int>(random() % 60), static_cast<int>(random() % 60)); break;
      case 2: ViewSetImage(v, random() % 2 ? checker : blue); break;
      case 3: if (views.size() < 12) views.push_back(ViewAdd(green, 5, 5)); break;
    }
    if (random() % 3 == 0) plat_loop_step(false);
  }
  std::vector<uint8_t> damaged = read();
  core_redraw();
  EXPECT_EQ(read(), damaged) << width << " x " << height << ", seed " << seed;
  (void)test;
}

TEST_F(DamageTest, AfterAnyRunOfChangesTheWindowIsWhatAWholeRedrawGivesAtEveryScale) {
  ExpectSameAsWholeRedraw(this, window(), kFrameWidth, kFrameHeight, 1, green_, blue_);
  ExpectSameAsWholeRedraw(this, window(), kFrameWidth * 2, kFrameHeight * 2, 2, green_, blue_);
  // Smoothed, at one and a half pixels a point.
  ExpectSameAsWholeRedraw(this, window(), kFrameWidth * 3 / 2, kFrameHeight * 3 / 2, 3, green_, blue_);
  // Letterboxed, the bars showing the frame's edges: beside it at 1.33, above and below at 1.25.
  ExpectSameAsWholeRedraw(this, window(), 997, 613, 4, green_, blue_);
  ExpectSameAsWholeRedraw(this, window(), 400, 1000, 5, green_, blue_);
}
// The bars continue the frame's edges, blurred along them: a view moving along each edge must
// leave them as a whole redraw would draw them, step by step.
TEST_F(DamageTest, AViewMovingAlongTheEdgesLeavesTheBarsAsAWholeRedrawWouldDrawThem) {
  auto read = [this] { return ReadWindow(window()); };
  int v = ViewAdd(green_, 0, 0);
  const int w = kGreen.w, h = kGreen.h;
  struct { int x, y; } along[] = {{100, 0}, {150, 0}, {kFrameWidth - w, 200}, {kFrameWidth - w, 260},
                                  {140, kFrameHeight - h}, {90, kFrameHeight - h}, {0, 300}, {0, 0}};
  for (auto size : {std::pair{400, 1000}, std::pair{1000, 600}}) {
    plat_window_set_size(window(), size.first, size.second);
    for (auto at : along) {
      ViewSetxy(v, at.x, at.y);
      plat_loop_step(false);
      std::vector<uint8_t> stepped = read();
      core_redraw();
      EXPECT_TRUE(read() == stepped) << size.first << " x " << size.second << ", at " << at.x << ", " << at.y;
    }
  }
}
