// Push and release buttons, their pictures, and the bounded name join they are built with.
#include <string>
#include <vector>

#include "Engine/Touch.h"
#include "Tests/Support/AppStub.h"

static int presses = 0;
static int last_value = 0;

static int Count(int value) {
  presses++;
  last_value = value;
  return 123;  // ignored
}

class ButtonTest : public StubAppTest {
 protected:
  void SetUp() override {
    StubAppTest::SetUp();
    Start();
    presses = 0;
    last_value = 0;
  }
  static PlatRect Frame(int view) { return plat_view_frame(Win.views[view]); }
};

TEST_F(ButtonTest, AButtonIsItsTwoPicturesAViewOfTheFirstAndARegionOfItsSize) {
  EXPECT_EQ(PushButtonAdd("Btn", 5, 6, Count, 42), 1);
  EXPECT_STREQ(Win.names[1], "Btn1.png");
  EXPECT_STREQ(Win.names[2], "Btn2.png");
  const CButton& b = Button[1];
  EXPECT_EQ(b.image1, 1);
  EXPECT_EQ(b.image2, 2);
  EXPECT_EQ(b.view, 1);
  EXPECT_EQ(b.push, 1);
  PlatRect f = Frame(b.view);
  EXPECT_EQ(f.x, 5);
  EXPECT_EQ(f.w, kButtonUp.w);
  EXPECT_EQ(Touch.x[1], 5);
  EXPECT_EQ(Touch.y[1], 6);
  EXPECT_EQ(Touch.w[1], kButtonUp.w);
  EXPECT_EQ(Touch.h[1], kButtonUp.h);
  EXPECT_EQ(Touch.data[1], reinterpret_cast<TouchData>(&Button[1]));
  EXPECT_EQ(PushButtonAdd("Btn", 50, 60, Count, 43), 2);  // shares the pictures
  EXPECT_EQ(Button[2].image1, 1);
  EXPECT_EQ(SysImageLen, 3);
}

TEST_F(ButtonTest, APushButtonShowsItsPressedPictureUntilTheLiftAndFiresOnceOnThePress) {
  int button = PushButtonAdd("Btn", 5, 6, Count, 42);
  int view = Button[button].view;
  Touch.Down(6, 7);
  EXPECT_EQ(presses, 1);
  EXPECT_EQ(last_value, 42);
  EXPECT_EQ(Frame(view).w, kButtonDown.w);  // the pressed picture, at its own size
  EXPECT_EQ(PixelAt(6, 7).b, kButtonDown.b);
  Touch.Move(200, 200);
  Touch.Move(7, 7);
  Touch.Up(7, 7);  // inside: a push button fires on the press only
  EXPECT_EQ(presses, 1);
  EXPECT_EQ(Frame(view).w, kButtonUp.w);
  EXPECT_EQ(PixelAt(6, 7).r, kButtonUp.r);
  Touch.Down(6, 7);
  Touch.Up(300, 300);  // outside: the normal picture comes back all the same
  EXPECT_EQ(presses, 2);
  EXPECT_EQ(Frame(view).w, kButtonUp.w);
}

// A button is named for screen readers where its region is, and the keyboard presses it
// through the touch stream as a finger would; the focus ring is drawn over the frame and leaves
// no trace once a touch hides it.
TEST_F(ButtonTest, AButtonIsNamedWhereItsRegionIsAndTheKeyboardPressesItThroughTheTouchStream) {
  int btn = PushButtonAdd("Btn", 50, 60, Count, 1);
  PushButtonAdd("KartTheme_2Go", 150, 60, Count, 2);  // no pictures: a region all the same
  int title = ViewAdd("Green.png", 0, 0);
  ViewSetText(title, "A title");
  Printed();
  ASSERT_EQ(plat_element_count(), 3);
  PlatElement first = plat_element_at(1), text = plat_element_at(3);
  EXPECT_EQ(first.kind, kPlatElementControl);
  EXPECT_STREQ(first.label, "Btn");
  EXPECT_EQ((std::vector<float>{first.frame.x, first.frame.y, first.frame.w, first.frame.h}),
            (std::vector<float>{50, 60, static_cast<float>(kButtonUp.w), static_cast<float>(kButtonUp.h)}));
  EXPECT_STREQ(plat_element_at(2).label, "Kart Theme 2-Go");
  EXPECT_EQ(text.kind, kPlatElementText);
  EXPECT_STREQ(text.label, "A title");
  ViewSetxy(title, 5, 6);
  EXPECT_EQ(plat_element_at(3).frame.x, 5);
  RunTicks(1);
  std::vector<uint8_t> before = ReadWindow(window());

  plat_key_inject(kPlatKeyNext, true);
  plat_key_inject(kPlatKeyNext, false);
  EXPECT_EQ(plat_element_focused(), 1);
  RunTicks(1);
  PlatColor light = PixelAt(48, 65), dark = PixelAt(47, 65);  // left of the button, outside it
  EXPECT_EQ((std::vector<int>{light.r, light.g, light.b, dark.r}), (std::vector<int>{255, 255, 255, 16}));
  plat_key_inject(kPlatKeyPress, true);
  EXPECT_EQ(presses, 1);
  EXPECT_EQ(last_value, 1);
  EXPECT_EQ(Frame(Button[btn].view).w, kButtonDown.w);  // held while the key is
  plat_key_inject(kPlatKeyPress, false);
  EXPECT_EQ(Frame(Button[btn].view).w, kButtonUp.w);
  EXPECT_EQ(presses, 1);

  // Back from the first goes round to the last control; a label of "" takes it out of reach.
  plat_key_inject(kPlatKeyPrevious, true);
  EXPECT_EQ(plat_element_focused(), 2);
  EXPECT_EQ(ButtonSetLabel(2, ""), 2);
  EXPECT_EQ(plat_element_focused(), 0);
  plat_key_inject(kPlatKeyNext, true);
  plat_key_inject(kPlatKeyNext, true);
  EXPECT_EQ(plat_element_focused(), 1);
  plat_touch_inject(kPlatTouchBegan, {300, 400});
  plat_touch_inject(kPlatTouchEnded, {300, 400});
  EXPECT_EQ(plat_element_focused(), 0);
  RunTicks(1);
  EXPECT_EQ(ReadWindow(window()), before);
  EXPECT_EQ(ButtonSetLabel(3, "x"), 0);
  EXPECT_EQ(Printed(), "ButtonSetLabel - button does not exist\n");
}

TEST_F(ButtonTest, AReleaseButtonFiresOnlyOnAReleaseInsideItsRightAndBottomEdgesOutside) {
  Button[1].Add("Btn", 10, 10, Count, 7, 0);
  ButtonLen = 2;
  int right = 10 + kButtonUp.w, bottom = 10 + kButtonUp.h;
  Touch.Down(10, 10);
  EXPECT_EQ(presses, 0);
  Touch.Up(right, 15);
  Touch.Down(10, 10);
  Touch.Up(15, bottom);
  EXPECT_EQ(presses, 0);
  Touch.Down(10, 10);
  Touch.Up(right - 1, bottom - 1);
  EXPECT_EQ(presses, 1);
  EXPECT_EQ(last_value, 7);
}

TEST_F(ButtonTest, AButtonWithoutPicturesShowsTheReservedPictureAndStillFires) {
  PushButtonAdd("Nothing", 100, 100, Count, 1);
  EXPECT_EQ(Printed(), "ImageAdd - File not found: Nothing1.png\n"
                       "ImageAdd - File not found: Nothing2.png\n");
  EXPECT_EQ(Frame(1).w, kReservedFixture.w);
  EXPECT_EQ(Touch.w[1], kReservedFixture.w);
  EXPECT_EQ(Touch.h[1], kReservedFixture.h);
  Touch.Down(100 + kReservedFixture.w - 1, 100);
  EXPECT_EQ(presses, 1);
  EXPECT_EQ(PixelAt(100, 100).r, kReservedFixture.r);
}

TEST_F(ButtonTest, AButtonWithoutAHandlerChangesPicturesAndCallsNothing) {
  PushButtonAdd("Btn", 0, 0, nullptr, 0);
  Touch.Down(1, 1);
  EXPECT_EQ(Frame(1).w, kButtonDown.w);
  Touch.Up(1, 1);
  EXPECT_EQ(Frame(1).w, kButtonUp.w);
  EXPECT_EQ(OnButton(0, kTouchDown, 0, 0), 0);  // no record at all
}

TEST_F(ButtonTest, OnButtonReturnsZeroForEveryEvent) {
  PushButtonAdd("Btn", 0, 0, Count, 0);
  TouchData data = Touch.data[1];
  EXPECT_EQ(OnButton(data, kTouchDown, 1, 1), 0);
  EXPECT_EQ(OnButton(data, kTouchMove, 1, 1), 0);
  EXPECT_EQ(OnButton(data, kTouchUp, 1, 1), 0);
  EXPECT_EQ(OnButton(data, 42, 1, 1), 0);
  EXPECT_EQ(presses, 1);
}

TEST_F(ButtonTest, WithTheButtonTableFullNothingIsMade) {
  ButtonLen = 999;
  EXPECT_EQ(PushButtonAdd("Btn", 0, 0, Count, 0), 999);
  int images = SysImageLen, views = SysViewLen, regions = TouchLen;
  EXPECT_EQ(PushButtonAdd("Btn", 0, 0, Count, 0), 0);
  EXPECT_EQ(Printed(), "ButtonAdd - Maximum number of buttons exceeded\n");
  EXPECT_EQ(SysImageLen, images);
  EXPECT_EQ(SysViewLen, views);
  EXPECT_EQ(TouchLen, regions);
  EXPECT_EQ(ButtonLen, 1000);
}

TEST_F(ButtonTest, WithTheViewTableFullAButtonIsUnseenButStillFires) {
  SysViewLen = 1000;
  EXPECT_EQ(PushButtonAdd("Btn", 0, 0, Count, 3), 1);
  EXPECT_EQ(Printed(), "ViewAdd - Maximum number of views exceeded\n");
  EXPECT_EQ(Button[1].view, 0);
  Touch.Down(1, 1);
  Touch.Up(1, 1);
  EXPECT_EQ(presses, 1);
  EXPECT_EQ(Printed(), "");
}

// StrAppend writes into exactly kNameBytes; the bytes after them must never change.
struct Guarded {
  char name[kNameBytes];
  char guard[16];
};

static std::string Join(const std::string& a, const std::string& b, Guarded& out) {
  for (char& c : out.guard) c = '#';
  StrAppend(out.name, a.c_str(), b.c_str());
  for (char c : out.guard) EXPECT_EQ(c, '#');
  return out.name;
}

TEST_F(ButtonTest, StrAppendJoinsUpTo99CharactersAndCutsLongerJoinsSaying) {
  Guarded out;
  std::string a94(94, 'a'), a95(95, 'a'), a99(99, 'a'), a100(100, 'a'), a150(150, 'a');
  EXPECT_EQ(Join(a94, "1.png", out), a94 + "1.png");
  EXPECT_EQ(Join(a99, "", out), a99);
  EXPECT_EQ(Printed(), "");
  EXPECT_EQ(Join(a95, "1.png", out), a95 + "1.pn");
  EXPECT_EQ(Printed(), "StrAppend - string len greater than 100, chopped: " + a95 + "1.pn\n");
  EXPECT_EQ(Join(a100, "1.png", out), a99);
  EXPECT_EQ(Join(a150, "", out), a99);
  EXPECT_EQ(Join(a99, "x", out), a99);
  EXPECT_EQ(Printed(), "StrAppend - string len greater than 100, chopped: " + a99 + "\n" +
                       "StrAppend - string len greater than 100, chopped: " + a99 + "\n" +
                       "StrAppend - string len greater than 100, chopped: " + a99 + "\n");
}

TEST_F(ButtonTest, ViewAddByNameRegistersThePictureThenMakesAView) {
  EXPECT_EQ(ViewAdd("Green.png", 3, 4), 1);
  EXPECT_EQ(Frame(1).w, kGreen.w);
  EXPECT_EQ(ViewAdd("Missing.png", 3, 4), 2);
  EXPECT_EQ(Printed(), "ImageAdd - File not found: Missing.png\n");
  EXPECT_EQ(Frame(2).w, kReservedFixture.w);
  SysViewLen = 1000;
  EXPECT_EQ(ViewAdd("Blue.png", 0, 0), 0);
  EXPECT_EQ(Printed(), "ViewAdd - Maximum number of views exceeded\n");
  EXPECT_EQ(SysImageLen, 3);  // Blue.png was registered all the same
}
