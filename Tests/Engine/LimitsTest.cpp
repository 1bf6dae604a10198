// All five tables filled for real to their last handle, then every operation called with the
// handles at and around the edges and with null names: each gives its line and its result,
// nothing is overwritten, and every handle given out before still works.
#include <unistd.h>

#include <climits>
#include <string>
#include <vector>

#include "Engine/Sound.h"
#include "Engine/Touch.h"
#include "Tests/Support/AppStub.h"

static int presses[kTableSlots];

static int CountPress(int value) {
  presses[value]++;
  return 0;
}

static const int kEdges[] = {0, -1, kTableSlots, kLastHandle, kTableSlots + 1, INT_MIN, INT_MAX};

static bool Valid(int handle, int count) { return handle >= 0 && handle < count; }

class LimitsTest : public StubAppTest {
 protected:
  void SetUp() override {
    StubAppTest::SetUp();
    Start();
    // 999 buttons sharing their two pictures, then 997 pictures of their own names (links to
    // one file): a full image table refuses even a known name, so the buttons come first.
    for (int b = 1; b <= kLastHandle; b++) ASSERT_EQ(PushButtonAdd("Btn", b, b, CountPress, b), b);
    for (int i = 3; i <= kLastHandle; i++) {
      std::string name = "Pic" + std::to_string(i) + ".png";
      if (access(BundleFile(name).c_str(), F_OK) != 0) {
        ASSERT_EQ(symlink(kGreen.name, BundleFile(name).c_str()), 0);
      }
      ASSERT_EQ(ImageAdd(name.c_str()), i);
    }
    for (int s = 1; s < kLastHandle; s++) ASSERT_EQ(SoundAdd("Ramp.wav"), s);
    ASSERT_EQ(SoundAdd("Missing.wav"), 0);  // a sound that fails takes its slot, the last one too
    ASSERT_EQ(SysImageLen, kTableSlots);
    ASSERT_EQ(SysViewLen, kTableSlots);
    ASSERT_EQ(TouchLen, kTableSlots);
    ASSERT_EQ(ButtonLen, kTableSlots);
    ASSERT_EQ(Sound.count, kTableSlots);
    ASSERT_EQ(Printed(), "");
    for (int& p : presses) p = 0;
  }
};

TEST_F(LimitsTest, FullTablesRefuseEveryAddWithTheirOwnLineAndKeepWhatTheyHold) {
  EXPECT_EQ(ImageAdd("Pic3.png"), 0);  // even a known name
  EXPECT_EQ(ImageAdd(nullptr), 0);
  EXPECT_EQ(ViewAdd(1, 0, 0), 0);
  EXPECT_EQ(ViewAdd(nullptr, 0, 0), 0);
  TouchAdd(0, 0, 10, 10, nullptr, 0);
  EXPECT_EQ(PushButtonAdd(nullptr, 0, 0, CountPress, 0), 0);
  EXPECT_EQ(Printed(),
            "ImageAdd - Maximum number of Images exceeded\n"
            "ImageAdd - Maximum number of Images exceeded\n"
            "ViewAdd - Maximum number of views exceeded\n"
            "ImageAdd - Maximum number of Images exceeded\n"
            "ViewAdd - Maximum number of views exceeded\n"
            "TouchAdd - Maximum number of touches exceeded\n"
            "ButtonAdd - Maximum number of buttons exceeded\n");
  EXPECT_EQ(SoundAdd("Ramp.wav"), 0);
  EXPECT_EQ(SoundAdd(nullptr), 0);
  EXPECT_EQ(Printed(), "");  // the sound table never prints
  EXPECT_EQ(SysImageLen + SysViewLen + TouchLen + ButtonLen + Sound.count, 5 * kTableSlots);
  EXPECT_STREQ(Win.names[2], "Btn2.png");
  EXPECT_STREQ(Win.names[kLastHandle], "Pic999.png");
  EXPECT_EQ(Button[kLastHandle].view, kLastHandle);
  EXPECT_EQ(Touch.x[kLastHandle], kLastHandle);  // the last region is the last button's, whole
  EXPECT_EQ(ViewSetxy(kLastHandle, 4, 4), kLastHandle);
  EXPECT_EQ(ViewGetx(kLastHandle), 4);
}

TEST_F(LimitsTest, EveryOperationOnAnEdgeHandleGivesItsLineOrItsResultAndBreaksNothing) {
  std::string expected;
  for (int h : kEdges) {
    bool image = Valid(h, SysImageLen), view = Valid(h, SysViewLen);
    // Of the edges, 0 is the reserved picture and 999 a green one.
    const FixturePicture* picture = h == 0 ? &kReservedFixture : h == kLastHandle ? &kGreen : nullptr;
    EXPECT_EQ(ImageGetWidth(h), picture ? picture->w : 0) << h;
    EXPECT_EQ(ImageGetHeight(h), picture ? picture->h : 0) << h;
    if (!image) expected += "ImageGetWidth - image does not exist\nImageGetHeight - image does not exist\n";
    // View 0 holds no view; every other valid handle is a button's view.
    EXPECT_EQ(ViewSetxy(h, 5, 5), view ? h : 0) << h;
    EXPECT_EQ(ViewSetSize(h, 30, 20), view ? h : 0) << h;
    EXPECT_EQ(ViewGetx(h), view && h ? 5 : 0) << h;
    EXPECT_EQ(ViewGety(h), view && h ? 5 : 0) << h;
    EXPECT_EQ(ViewSetImage(h, 1), view ? h : 0) << h;
    EXPECT_EQ(ViewSetImage(1, h), image ? 1 : 0) << h;
    if (!view)
      expected += "ViewSetxy - view does not exist\n"  // ViewUpdateTouchxy is not reached
                  "ViewSetSize - view does not exist\nViewGetx - view does not exist\n"
                  "ViewGety - view does not exist\nViewSetImage - view does not exist\n";
    if (!image) expected += "ViewSetImage - image does not exist\n";
    EXPECT_EQ(ViewUpdateTouchxy(h, 1, 1), 0) << h;
    if (h != 0 && !view) expected += "ViewUpdateTouchxy - view does not exist\n";
    EXPECT_EQ(SoundPlay(h), Valid(h, Sound.count) && h != 0 ? 1 : 0) << h;
  }
  EXPECT_EQ(Printed(), expected);

  // A link pointing outside the region table says so and changes nothing.
  SysViewTouch[7] = INT_MAX;
  EXPECT_EQ(ViewUpdateTouchxy(7, 1, 1), INT_MAX);
  SysViewTouch[7] = 0;
  EXPECT_EQ(Printed(), "TouchSetxy - touch does not exist\n");

  // Touches at the ends of int's range hit nothing and move nothing.
  Touch.Down(INT_MIN, INT_MIN);
  Touch.Move(INT_MAX, INT_MAX);
  Touch.Up(INT_MAX, INT_MIN);
  char name[kNameBytes];
  StrAppend(name, nullptr, nullptr);
  EXPECT_STREQ(name, "");

  // Every button made before still has its region where it was made, and fires.
  for (int b : {1, 500, kLastHandle}) {
    Touch.Down(b, b);
    Touch.Up(b, b);
    EXPECT_EQ(presses[b], 1) << b;
    EXPECT_EQ(Touch.x[b], b);
  }
  EXPECT_EQ(Printed(), "");
}
