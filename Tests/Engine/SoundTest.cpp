// The sound table and what it plays: handles and failures, then the mixed output itself,
// pulled offline frame by frame.
#include <string>
#include <vector>

#include "Engine/Sound.h"
#include "Tests/Support/AppStub.h"

class SoundTest : public StubAppTest {
 protected:
  void SetUp() override {
    StubAppTest::SetUp();
    Start();
  }
  // The next `frames` stereo frames of the mix, as left/right pairs.
  static std::vector<int16_t> Render(int frames) {
    std::vector<int16_t> out(static_cast<size_t>(frames) * 2);
    plat_audio_render(out.data(), frames);
    return out;
  }
  static bool Silent(const std::vector<int16_t>& samples) {
    for (int16_t s : samples)
      if (s) return false;
    return true;
  }
};

TEST_F(SoundTest, HandlesFollowTheAddsAndAFailedLoadKeepsItsSlot) {
  EXPECT_EQ(SoundAdd("Missing.wav"), 0);
  EXPECT_EQ(SoundAdd("Ramp.wav"), 2);
  EXPECT_EQ(SoundAdd("Broken.wav"), 0);
  EXPECT_EQ(SoundAdd("Broken.png"), 0);
  EXPECT_EQ(SoundAdd("Steady.wav"), 5);
  EXPECT_EQ(Sound.count, 6);
  for (int i = 6; i <= 9; i++) EXPECT_EQ(SoundAdd("Ramp.wav"), i);  // a name can be added again
  EXPECT_EQ(Printed(), "");
}
TEST_F(SoundTest, APathTooLongForItsBufferIsAFailedLoadThatKeepsItsSlot) {
  std::string name(kSoundPathBytes, 'x');
  EXPECT_EQ(SoundAdd(name.c_str()), 0);
  EXPECT_EQ(Sound.count, 2);
  EXPECT_EQ(SoundAdd(nullptr), 0);
  EXPECT_EQ(SoundAdd("Ramp.wav"), 3);
}

TEST_F(SoundTest, PlayAnswersOneForEveryUsedSlotAndZeroOtherwise) {
  SoundAdd("Ramp.wav");
  SoundAdd("Missing.wav");
  EXPECT_EQ(SoundPlay(0), 0);
  EXPECT_EQ(SoundPlay(-1), 0);
  EXPECT_EQ(SoundPlay(Sound.count), 0);
  EXPECT_EQ(SoundPlay(1), 1);
  Render(kRampFrames);
  EXPECT_EQ(SoundPlay(2), 1);  // its load failed: nothing sounds
  EXPECT_TRUE(Silent(Render(100)));
  EXPECT_EQ(Printed(), "");
}

TEST_F(SoundTest, AClipSoundsFromThePlayOnToItsEndAndThenFallsSilent) {
  int ramp = SoundAdd("Ramp.wav");
  EXPECT_TRUE(Silent(Render(256)));
  SoundPlay(ramp);
  std::vector<int16_t> out = Render(kRampFrames + 300);
  for (int i = 0; i < kRampFrames; i += 997) {
    EXPECT_EQ(out[2 * i], i + 1);  // mono comes out on both sides
    EXPECT_EQ(out[2 * i + 1], i + 1);
  }
  EXPECT_EQ(out[2 * (kRampFrames - 1)], kRampFrames);
  EXPECT_TRUE(Silent({out.begin() + 2 * kRampFrames, out.end()}));
  EXPECT_TRUE(Silent(Render(1000)));
}

TEST_F(SoundTest, PlayingAgainRestartsTheClipFromItsBeginning) {
  int ramp = SoundAdd("Ramp.wav");
  SoundPlay(ramp);
  Render(1000);
  SoundPlay(ramp);
  std::vector<int16_t> out = Render(10);
  EXPECT_EQ(out[0], 1);
  EXPECT_EQ(out[18], 10);
  Render(kRampFrames);  // to its end, and then once more from the start
  SoundPlay(ramp);
  EXPECT_EQ(Render(1)[0], 1);
}

TEST_F(SoundTest, DifferentClipsSoundTogether) {
  int ramp = SoundAdd("Ramp.wav"), steady = SoundAdd("Steady.wav");
  SoundPlay(ramp);
  Render(100);
  SoundPlay(steady);
  std::vector<int16_t> out = Render(10);
  EXPECT_EQ(out[0], 101 + kSteadyLeft);
  EXPECT_EQ(out[1], 101 + kSteadyRight);
}

TEST_F(SoundTest, LoudClipsTogetherSaturateInsteadOfWrappingAround) {
  SoundPlay(SoundAdd("LoudA.wav"));
  SoundPlay(SoundAdd("LoudB.wav"));
  std::vector<int16_t> out = Render(4);
  EXPECT_EQ(out[0], INT16_MAX);
  EXPECT_EQ(out[2], INT16_MIN);
}

TEST_F(SoundTest, ClipsAreConvertedToTheMixersRateAndChannelsWhenAdded) {
  int clip = SoundAdd("Stereo44.wav");
  ASSERT_EQ(clip, 1);
  SoundPlay(clip);
  std::vector<int16_t> out = Render(6000);
  EXPECT_NEAR(out[2 * 2400], 5000, 50);  // the middle of 0.1 s, at 48 kHz
  int sounding = 0;
  for (int i = 0; i < 6000; i++) sounding += out[2 * i] != 0;
  EXPECT_NEAR(sounding, 4800, 48);  // 0.1 s long at the new rate
  SoundPlay(SoundAdd("Empty.wav"));  // a clip of no samples plays nothing, harmlessly
  EXPECT_TRUE(Silent(Render(10)));
}

TEST_F(SoundTest, ATapSeesEveryBufferAsItIsMixed) {
  struct Seen {
    int frames = 0;
    int16_t first = 0;
  } seen;
  plat_audio_set_tap([](void* ctx, const int16_t* out, int frames) {
    Seen* s = static_cast<Seen*>(ctx);
    if (s->frames == 0) s->first = out[0];
    s->frames += frames;
  }, &seen);
  SoundPlay(SoundAdd("Ramp.wav"));
  Render(300);
  Render(100);
  EXPECT_EQ(seen.frames, 400);
  EXPECT_EQ(seen.first, 1);
  plat_audio_set_tap(nullptr, nullptr);
  Render(100);
  EXPECT_EQ(seen.frames, 400);
}
