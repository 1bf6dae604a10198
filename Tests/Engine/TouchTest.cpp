// Touch regions: the hit test, the capture of a touch, the table's limit, and view links.
#include <vector>

#include "Engine/Touch.h"
#include "Tests/Support/AppStub.h"

struct Hit {
  TouchData data;
  int event, x, y;
  bool operator==(const Hit& o) const {
    return data == o.data && event == o.event && x == o.x && y == o.y;
  }
};

static std::vector<Hit> hits;

static int Record(TouchData data, int event, int x, int y) {
  hits.push_back({data, event, x, y});
  return 99;  // ignored by the table
}

class TouchTest : public StubAppTest {
 protected:
  void SetUp() override {
    StubAppTest::SetUp();
    Start();
    hits.clear();
  }
};

TEST_F(TouchTest, LeftAndTopEdgesAreInsideRightAndBottomEdgesOutside) {
  TouchAdd(10, 20, 30, 40, Record, 1);
  Touch.Down(10, 20);
  Touch.Down(39, 59);
  Touch.Down(40, 20);
  Touch.Down(10, 60);
  Touch.Down(9, 20);
  Touch.Down(10, 19);
  EXPECT_EQ(hits, (std::vector<Hit>{{1, kTouchDown, 10, 20}, {1, kTouchDown, 39, 59}}));
}

TEST_F(TouchTest, TheNewestRegionUnderThePointTakesTheDownAndNoOtherHearsOfIt) {
  TouchAdd(0, 0, 100, 100, Record, 1);
  TouchAdd(50, 50, 100, 100, Record, 2);
  TouchAdd(300, 300, 10, 10, Record, 3);
  Touch.Down(60, 60);
  EXPECT_EQ(hits, (std::vector<Hit>{{2, kTouchDown, 60, 60}}));
  EXPECT_EQ(Touch.current, 2);
}

TEST_F(TouchTest, RegionsOfNoWidthOrHeightAreNeverHit) {
  TouchAdd(10, 10, 0, 10, Record, 1);
  TouchAdd(10, 10, 10, 0, Record, 2);
  TouchAdd(10, 10, -5, -5, Record, 3);
  Touch.Down(10, 10);
  Touch.Down(5, 5);
  EXPECT_TRUE(hits.empty());
  EXPECT_EQ(Touch.current, 0);
}

TEST_F(TouchTest, TheCapturingRegionGetsEveryMoveAndTheUpWhereverThePointIs) {
  TouchAdd(0, 0, 10, 10, Record, 1);
  TouchAdd(100, 100, 10, 10, Record, 2);
  Touch.Down(5, 5);
  Touch.Move(105, 105);  // inside the other region
  Touch.Move(-40, 900);  // outside every region
  Touch.Up(105, 106);
  Touch.Move(5, 5);  // after the up nothing is held
  Touch.Up(5, 5);
  EXPECT_EQ(hits, (std::vector<Hit>{{1, kTouchDown, 5, 5},
                                    {1, kTouchMove, 105, 105},
                                    {1, kTouchMove, -40, 900},
                                    {1, kTouchUp, 105, 106}}));
  EXPECT_EQ(Touch.current, 0);
}

TEST_F(TouchTest, ADownOnNothingCallsNothingAndLeavesTheCaptureAsItWas) {
  TouchAdd(0, 0, 10, 10, Record, 1);
  Touch.Down(50, 50);
  Touch.Move(5, 5);
  Touch.Up(5, 5);
  EXPECT_TRUE(hits.empty());

  Touch.Down(5, 5);   // captured ...
  Touch.Down(50, 50);  // ... a touch that ended without an up, then a down on nothing
  Touch.Up(60, 60);
  EXPECT_EQ(hits, (std::vector<Hit>{{1, kTouchDown, 5, 5}, {1, kTouchUp, 60, 60}}));
}

TEST_F(TouchTest, ADownOnAnotherRegionMovesTheCaptureWithoutAnUpToTheFirst) {
  TouchAdd(0, 0, 10, 10, Record, 1);
  TouchAdd(20, 0, 10, 10, Record, 2);
  Touch.Down(5, 5);
  Touch.Down(25, 5);
  Touch.Up(0, 0);
  EXPECT_EQ(hits, (std::vector<Hit>{{1, kTouchDown, 5, 5}, {2, kTouchDown, 25, 5},
                                    {2, kTouchUp, 0, 0}}));
}

TEST_F(TouchTest, TheDataWordComesBackWholeEvenWhenWiderThanAnInt) {
  TouchData wide = static_cast<TouchData>(0x7edcba9876543210ll);
  TouchAdd(0, 0, 10, 10, Record, wide);
  Touch.Down(1, 1);
  ASSERT_EQ(hits.size(), 1u);
  EXPECT_EQ(hits[0].data, wide);
}

TEST_F(TouchTest, ARegionWithoutAHandlerCapturesButCallsNothing) {
  TouchAdd(0, 0, 10, 10, nullptr, 0);
  Touch.Down(1, 1);
  EXPECT_EQ(Touch.current, 1);
  Touch.Move(2, 2);
  Touch.Up(3, 3);
  EXPECT_EQ(Touch.current, 0);
}

TEST_F(TouchTest, RegionsFarOutNeverOverflowTheHitTest) {
  TouchAdd(INT_MAX - 5, INT_MAX - 5, INT_MAX, INT_MAX, Record, 1);
  Touch.Down(INT_MIN, INT_MIN);
  EXPECT_TRUE(hits.empty());
  Touch.Down(INT_MAX - 1, INT_MAX - 1);
  EXPECT_EQ(hits.size(), 1u);
}

TEST_F(TouchTest, TheFirstRegionFillsSlotOne) {
  TouchAdd(1, 2, 3, 4, Record, 5);
  EXPECT_EQ(Touch.x[1], 1);
  EXPECT_EQ(Touch.h[1], 4);
  EXPECT_EQ(TouchLen, 2);
}

TEST_F(TouchTest, ViewUpdateTouchxyAnswersForMissingViewsMissingLinksAndBadLinks) {
  int view = ViewAdd(0, 0, 0);
  EXPECT_EQ(ViewUpdateTouchxy(0, 1, 1), 0);
  EXPECT_EQ(ViewUpdateTouchxy(view, 1, 1), 0);  // no link
  EXPECT_EQ(Printed(), "");
  EXPECT_EQ(ViewUpdateTouchxy(SysViewLen, 1, 1), 0);
  EXPECT_EQ(ViewUpdateTouchxy(-1, 1, 1), 0);
  EXPECT_EQ(Printed(), "ViewUpdateTouchxy - view does not exist\n"
                       "ViewUpdateTouchxy - view does not exist\n");
  SysViewTouch[view] = 5;  // a link to a region that does not exist
  EXPECT_EQ(ViewUpdateTouchxy(view, 1, 1), 5);
  EXPECT_EQ(Printed(), "TouchSetxy - touch does not exist\n");
}

TEST_F(TouchTest, ALinkedRegionFollowsItsViewAndKeepsItsSize) {
  int view = ViewAdd(0, 0, 0);
  TouchAdd(0, 0, 10, 10, Record, 1);
  SysViewTouch[view] = 1;
  EXPECT_EQ(ViewSetxy(view, 200, 300), view);
  EXPECT_EQ(Touch.x[1], 200);
  EXPECT_EQ(Touch.y[1], 300);
  EXPECT_EQ(Touch.w[1], 10);
  Touch.Down(205, 305);
  EXPECT_EQ(hits.size(), 1u);
}

TEST_F(TouchTest, TheWindowViewTruncatesTouchLocationsTowardZero) {
  TouchAdd(-10, -10, 400, 500, Record, 1);
  Win.view->touchesBegan({30.6f, 251.2f});
  Win.view->touchesMoved({-0.5f, 2.99f});
  Win.view->touchesEnded({319.99f, 459.9f});
  EXPECT_EQ(hits, (std::vector<Hit>{{1, kTouchDown, 30, 251},
                                    {1, kTouchMove, 0, 2},
                                    {1, kTouchUp, 319, 459}}));
}
