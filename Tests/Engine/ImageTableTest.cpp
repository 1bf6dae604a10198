// The image table: handles, names, failures and limits, sizes.
#include <climits>
#include <cmath>
#include <string>

#include "Tests/Support/AppStub.h"

class ImageTableTest : public StubAppTest {
 protected:
  void SetUp() override {
    StubAppTest::SetUp();
    Start();
  }
};

TEST_F(ImageTableTest, HandlesCountFromOneAndAKnownNameGivesItsHandleSilently) {
  EXPECT_EQ(ImageAdd("Green.png"), 1);
  EXPECT_EQ(ImageAdd("Blue.png"), 2);
  EXPECT_EQ(ImageAdd("Green.png"), 1);
  EXPECT_EQ(SysImageLen, 3);
  EXPECT_STREQ(Win.names[2], "Blue.png");
  EXPECT_EQ(Printed(), "");
}

TEST_F(ImageTableTest, NamesDifferingOnlyInCaseTakeSeparateSlots) {
  EXPECT_EQ(ImageAdd("case.png"), 1);
  EXPECT_EQ(ImageAdd("Case.png"), 2);
  EXPECT_EQ(ImageGetWidth(1), 4);
  EXPECT_EQ(ImageGetWidth(2), 6);
}

TEST_F(ImageTableTest, AFileThatIsMissingOrNotAPicturePrintsItsNameAndGivesTheSlotBack) {
  EXPECT_EQ(ImageAdd("Nope.png"), 0);
  EXPECT_EQ(Printed(), "ImageAdd - File not found: Nope.png\n");
  EXPECT_EQ(ImageAdd("Broken.png"), 0);
  EXPECT_EQ(Printed(), "ImageAdd - File not found: Broken.png\n");
  EXPECT_EQ(SysImageLen, 1);
  EXPECT_EQ(ImageAdd("Green.png"), 1);  // the handle the failed adds would have had
  EXPECT_EQ(ImageAdd("Nope.png"), 0);   // and a failure is never remembered as a name
  EXPECT_EQ(ImageAdd("Blue.png"), 2);
}
TEST_F(ImageTableTest, ANameLongerThanItsSlotIsRefusedAndNothingIsWrittenPastTheSlot) {
  std::string fits(kNameBytes - 1, 'a');  // 99 characters: stored whole, then not found
  EXPECT_EQ(ImageAdd(fits.c_str()), 0);
  EXPECT_EQ(Printed(), "ImageAdd - File not found: " + fits + "\n");
  EXPECT_EQ(std::string(Win.names[1]), fits);

  std::string too_long(kNameBytes, 'b');
  Win.names[2][0] = 'z';
  EXPECT_EQ(ImageAdd(too_long.c_str()), 0);
  EXPECT_EQ(Printed(), "ImageAdd - Name too long: " + too_long + "\n");
  EXPECT_EQ(SysImageLen, 1);
  EXPECT_EQ(Win.names[2][0], 'z');
  EXPECT_EQ(ImageAdd(nullptr), 0);
  EXPECT_EQ(Printed(), "ImageAdd - File not found: \n");
}

TEST_F(ImageTableTest, SizesAreInPointsAndHandleZeroIsTheReservedPicture) {
  int green = ImageAdd("Green.png");
  EXPECT_EQ(ImageGetWidth(green), kGreen.w);
  EXPECT_EQ(ImageGetHeight(green), kGreen.h);
  EXPECT_EQ(ImageGetWidth(0), kReservedFixture.w);
  EXPECT_EQ(ImageGetHeight(0), kReservedFixture.h);
  EXPECT_EQ(Printed(), "");
}

TEST_F(ImageTableTest, SizesOfHandlesOutsideTheTablePrintAndGiveZero) {
  EXPECT_EQ(ImageGetWidth(SysImageLen), 0);
  EXPECT_EQ(ImageGetHeight(-1), 0);
  EXPECT_EQ(ImageGetWidth(1 << 30), 0);
  EXPECT_EQ(Printed(), "ImageGetWidth - image does not exist\n"
                       "ImageGetHeight - image does not exist\n"
                       "ImageGetWidth - image does not exist\n");
}

TEST(PointToIntTest, TruncatesTowardZeroAndNeverLeavesIntsRange) {
  EXPECT_EQ(PointToInt(30.6f), 30);
  EXPECT_EQ(PointToInt(-0.5f), 0);
  EXPECT_EQ(PointToInt(-2.9f), -2);
  EXPECT_EQ(PointToInt(1e20f), INT_MAX);
  EXPECT_EQ(PointToInt(-1e20f), INT_MIN);
  EXPECT_EQ(PointToInt(std::nanf("")), 0);
}
