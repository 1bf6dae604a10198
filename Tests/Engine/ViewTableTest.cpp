// The view table: handles, frames, pictures, failures and limits.
#include "Tests/Support/AppStub.h"

class ViewTableTest : public StubAppTest {
 protected:
  void SetUp() override {
    StubAppTest::SetUp();
    Start();
    green = ImageAdd(kGreen.name);
    blue = ImageAdd(kBlue.name);
  }
  static PlatRect Frame(int view) { return plat_view_frame(Win.views[view]); }

  int green = 0, blue = 0;
};

static void ExpectFrame(PlatRect f, float x, float y, float w, float h) {
  EXPECT_EQ(f.x, x);
  EXPECT_EQ(f.y, y);
  EXPECT_EQ(f.w, w);
  EXPECT_EQ(f.h, h);
}

TEST_F(ViewTableTest, ViewsCountFromOneAndTakeTheirPicturesSizeAtTheirPlace) {
  EXPECT_EQ(ViewAdd(green, 5, 7), 1);
  EXPECT_EQ(ViewAdd(blue, -3, 400), 2);
  ExpectFrame(Frame(1), 5, 7, kGreen.w, kGreen.h);
  ExpectFrame(Frame(2), -3, 400, kBlue.w, kBlue.h);
  EXPECT_EQ(SysViewLen, 3);
  EXPECT_EQ(Printed(), "");
}

TEST_F(ViewTableTest, AnImageHandleOutsideTheTableGivesAViewOfTheReservedPicture) {
  EXPECT_EQ(ViewAdd(SysImageLen, 1, 2), 1);
  EXPECT_EQ(ViewAdd(-5, 1, 2), 2);
  EXPECT_EQ(ViewAdd(1 << 30, 1, 2), 3);
  EXPECT_EQ(Printed(), "ViewAdd - image does not exist\n"
                       "ViewAdd - image does not exist\n"
                       "ViewAdd - image does not exist\n");
  ExpectFrame(Frame(3), 1, 2, kReservedFixture.w, kReservedFixture.h);
  EXPECT_EQ(ViewAdd(0, 0, 0), 4);  // handle 0 itself is a picture, and silent
  EXPECT_EQ(Printed(), "");
}

TEST_F(ViewTableTest, PositionsRoundTripNegativesIncludedAndMovingKeepsTheSize) {
  int view = ViewAdd(green, 5, 7);
  EXPECT_EQ(ViewSetxy(view, -7, -300), view);
  EXPECT_EQ(ViewGetx(view), -7);
  EXPECT_EQ(ViewGety(view), -300);
  ExpectFrame(Frame(view), -7, -300, kGreen.w, kGreen.h);
  EXPECT_EQ(ViewSetSize(view, 3, 4), view);
  ExpectFrame(Frame(view), -7, -300, 3, 4);
  EXPECT_EQ(Printed(), "");
}

TEST_F(ViewTableTest, ANewPictureResizesTheViewAroundItsTopLeftCorner) {
  int view = ViewAdd(green, 5, 7);
  EXPECT_EQ(ViewSetImage(view, blue), view);
  ExpectFrame(Frame(view), 5, 7, kBlue.w, kBlue.h);
  EXPECT_EQ(PixelAt(5 + kBlue.w - 1, 7).b, kBlue.b);
  EXPECT_EQ(PixelAt(5 + kBlue.w, 7).g, 0);  // what the green picture covered is uncovered
  EXPECT_EQ(ViewSetImage(view, 0), view);
  ExpectFrame(Frame(view), 5, 7, kReservedFixture.w, kReservedFixture.h);
}

TEST_F(ViewTableTest, EveryOperationOnAMissingViewPrintsItsLineAndChangesNothing) {
  int view = ViewAdd(green, 5, 7);
  int past = SysViewLen;
  EXPECT_EQ(ViewSetxy(past, 1, 1), 0);
  EXPECT_EQ(ViewSetSize(-1, 1, 1), 0);
  EXPECT_EQ(ViewGetx(past), 0);
  EXPECT_EQ(ViewGety(-1), 0);
  EXPECT_EQ(ViewSetImage(past, green), 0);
  EXPECT_EQ(ViewSetImage(-1, -1), 0);  // the view is checked first, and only its line printed
  EXPECT_EQ(Printed(), "ViewSetxy - view does not exist\n"
                       "ViewSetSize - view does not exist\n"
                       "ViewGetx - view does not exist\n"
                       "ViewGety - view does not exist\n"
                       "ViewSetImage - view does not exist\n"
                       "ViewSetImage - view does not exist\n");
  EXPECT_EQ(ViewSetImage(view, SysImageLen), 0);
  EXPECT_EQ(ViewSetImage(view, -1), 0);
  EXPECT_EQ(Printed(), "ViewSetImage - image does not exist\n"
                       "ViewSetImage - image does not exist\n");
  ExpectFrame(Frame(view), 5, 7, kGreen.w, kGreen.h);
  EXPECT_EQ(SysViewLen, past);
}

TEST_F(ViewTableTest, ViewZeroHoldsNoViewSoItsOperationsChangeNothingAndGiveZero) {
  EXPECT_EQ(ViewSetxy(0, 10, 10), 0);
  EXPECT_EQ(ViewSetSize(0, 10, 10), 0);
  EXPECT_EQ(ViewSetImage(0, green), 0);
  EXPECT_EQ(ViewGetx(0), 0);
  EXPECT_EQ(ViewGety(0), 0);
  EXPECT_EQ(Printed(), "");
  EXPECT_EQ(Win.views[0], nullptr);
}
TEST_F(ViewTableTest, ALaterViewIsDrawnOverAnEarlierOneAtItsPlace) {
  ViewAdd(green, 10, 20);
  ViewAdd(blue, 30, 40);  // covers the green one's lower right corner
  PlatColor under = PixelAt(12, 22), over = PixelAt(32, 42), outside = PixelAt(200, 300);
  EXPECT_EQ(under.g, kGreen.g);
  EXPECT_EQ(over.b, kBlue.b);
  EXPECT_EQ(over.g, 0);
  EXPECT_EQ(outside.r + outside.g + outside.b, 0);  // the window view is black
  // The last row and column of a picture are its own; the next ones are not.
  EXPECT_EQ(PixelAt(10 + kGreen.w - 1, 20).g, kGreen.g);
  EXPECT_EQ(PixelAt(10 + kGreen.w + 1, 20).g, 0);
  EXPECT_EQ(PixelAt(9, 20).g, 0);
}
