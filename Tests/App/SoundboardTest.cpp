// The soundboard as a whole, on its own generated bundle: what AppMain registers, the sprite's
// bounce, and a press from the window to the mixed sound.
#include <algorithm>
#include <string>
#include <vector>

#include "Engine/Sound.h"
#include "Engine/Touch.h"
#include "Tests/Support/SoundboardFixture.h"

TEST_F(SoundboardTest, AppMainRegistersEverythingInItsOrderWithEveryFilePresent) {
  EXPECT_EQ(Printed(), "");
  std::vector<int> sounds = {ThemeSound, DieSound, KartSound, ShroomSound, CoinSound,
                             WarnSound, ClearSound, UpSound, JumpSound};
  EXPECT_EQ(sounds, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9}));
  const char* scene[] = {"Background.png", "Pindle.png", "Title.png", "Disclaimer.png"};
  for (int i = 0; i < 4; i++) EXPECT_STREQ(Win.names[i + 1], scene[i]);
  const char* buttons[] = {"Theme", "Die", "Kart", "Shroom", "Coin", "Warning", "Clear", "1Up", "Jump"};
  for (int b = 0; b < 9; b++) {
    EXPECT_EQ(std::string(Win.names[5 + 2 * b]), std::string(buttons[b]) + "1.png");
    EXPECT_EQ(std::string(Win.names[6 + 2 * b]), std::string(buttons[b]) + "2.png");
    EXPECT_EQ(Button[b + 1].view, 5 + b);
    EXPECT_EQ(Touch.data[b + 1], reinterpret_cast<TouchData>(&Button[b + 1]));
  }
  EXPECT_EQ(SysImageLen, 23);
  EXPECT_EQ(hBall, 2);
  EXPECT_EQ(tImage, 3);
  EXPECT_EQ(dImage, 4);
  EXPECT_EQ(SysViewLen, 14);
  EXPECT_EQ(ButtonLen, 10);
  EXPECT_EQ(TouchLen, 10);
  EXPECT_EQ(Button[6].value, 5);  // Warning and Clear share their value
  EXPECT_EQ(Button[7].value, 5);
}

TEST_F(SoundboardTest, TheSpriteMovesDiagonallyOnEveryTick) {
  RunTicks(1);
  EXPECT_EQ(ViewGetx(hBall), 152);
  EXPECT_EQ(ViewGety(hBall), 202);
  RunTicks(2);
  EXPECT_EQ(ViewGetx(hBall), 156);
}

// Where the sprite is drawn on each of the next ticks, across or down.
static std::vector<int> Drawn(bool across, int ticks) {
  std::vector<int> drawn;
  for (int i = 0; i < ticks; i++) {
    OnTimer();
    drawn.push_back(across ? ViewGetx(hBall) : ViewGety(hBall));
  }
  return drawn;
}

TEST_F(SoundboardTest, TheSpriteTurnsOnlyAfterItHasBeenDrawnPastALimit) {
  xPosition = 276;
  EXPECT_EQ(Drawn(true, 4), (std::vector<int>{278, 280, 282, 280}));
  xPosition = 4;
  xVelocity = -2;
  EXPECT_EQ(Drawn(true, 4), (std::vector<int>{2, 0, -2, 0}));
  yPosition = 428;
  yVelocity = 2;
  EXPECT_EQ(Drawn(false, 3), (std::vector<int>{430, 432, 430}));
  yPosition = 2;
  yVelocity = -2;
  EXPECT_EQ(Drawn(false, 3), (std::vector<int>{0, -2, 0}));
}

TEST_F(SoundboardTest, APressOnCoinShowsItsPressedPictureUntilTheLiftAndPlaysItsClip) {
  std::vector<int16_t> clip = ClipSamples("Coin.wav");
  ASSERT_GT(clip.size(), 3000u);
  int view = Button[5].view;
  EXPECT_EQ(Shown(view), Picture("Coin1.png"));
  std::vector<int16_t> before = Render(1600);
  EXPECT_EQ(std::count(before.begin(), before.end(), 0), static_cast<long>(before.size()));

  plat_touch_inject(kPlatTouchBegan, {10, 240});  // the button's top-left corner
  EXPECT_EQ(Shown(view), Picture("Coin2.png"));
  EXPECT_TRUE(HearsClipFromItsStart(clip, 2000));

  plat_touch_inject(kPlatTouchMoved, {200, 300});
  plat_touch_inject(kPlatTouchEnded, {200, 300});
  EXPECT_EQ(Shown(view), Picture("Coin1.png"));
  // The clip goes on where it was: moving and lifting do not play it again.
  std::vector<int16_t> after = Render(1000);
  for (int i = 0; i < 1000; i += 37) EXPECT_EQ(after[2 * i], clip[2000 + i]) << i;
}

TEST_F(SoundboardTest, AButtonOverTheSpriteStillPresses) {
  xPosition = 255;
  yPosition = 315;
  OnTimer();  // the sprite now lies under the Die button
  plat_touch_inject(kPlatTouchBegan, {262, 322});
  EXPECT_EQ(Shown(Button[2].view), Picture("Die2.png"));
  plat_touch_inject(kPlatTouchEnded, {262, 322});
  EXPECT_EQ(Shown(Button[2].view), Picture("Die1.png"));
}
