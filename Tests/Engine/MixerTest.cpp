// The mixer on its own: the player semantics its cues give, and its limits.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "Engine/Platform/Mixer.h"

class MixerTest : public testing::Test {
 protected:
  // A stereo clip whose frame i holds i + 1 on both sides.
  void SetUp() override {
    for (int i = 0; i < kFrames; i++) clip[2 * i] = clip[2 * i + 1] = static_cast<int16_t>(i + 1);
    voice = mixer.add_voice(clip, kFrames);
  }
  int16_t Next() {  // the next frame's left sample
    int16_t out[2];
    mixer.render(out, 1);
    return out[0];
  }

  static constexpr int kFrames = 100;
  int16_t clip[kFrames * 2];
  PlatMixer mixer;
  int voice = -1;
};

TEST_F(MixerTest, StopKeepsThePositionAndPlayGoesOnFromIt) {
  mixer.play(voice);
  EXPECT_EQ(Next(), 1);
  EXPECT_EQ(Next(), 2);
  mixer.stop(voice);
  EXPECT_EQ(Next(), 0);
  mixer.play(voice);
  EXPECT_EQ(Next(), 3);
}

TEST_F(MixerTest, APositionTakesEffectWhetherPlayingOrNot) {
  mixer.set_position(voice, 50);
  mixer.play(voice);
  EXPECT_EQ(Next(), 51);
  mixer.set_position(voice, 10);
  EXPECT_EQ(Next(), 11);
  mixer.set_position(voice, 1000);  // past the end: silence, then play starts over
  EXPECT_EQ(Next(), 0);
  mixer.play(voice);
  EXPECT_EQ(Next(), 1);
}

TEST_F(MixerTest, AfterItsEndAClipPlaysAgainFromTheStart) {
  mixer.play(voice);
  std::vector<int16_t> all(2 * (kFrames + 5));
  mixer.render(all.data(), kFrames + 5);
  EXPECT_EQ(all[2 * (kFrames - 1)], kFrames);
  EXPECT_EQ(all[2 * kFrames], 0);
  mixer.play(voice);
  EXPECT_EQ(Next(), 1);
}

TEST_F(MixerTest, RendersLongerThanOneBlockContinueSeamlessly) {
  static int16_t long_clip[2 * 3000];
  for (int i = 0; i < 3000; i++) long_clip[2 * i] = long_clip[2 * i + 1] = static_cast<int16_t>(i);
  int v = mixer.add_voice(long_clip, 3000);
  mixer.play(v);
  std::vector<int16_t> out(2 * 3000);
  mixer.render(out.data(), 3000);
  for (int i = 0; i < 3000; i += 211) EXPECT_EQ(out[2 * i], i);
}

TEST_F(MixerTest, VoicesRunOutQuietlyAndBadVoiceNumbersAreIgnored) {
  int last = voice;
  for (int i = 1; i < PlatMixer::kVoices; i++) last = mixer.add_voice(clip, kFrames);
  EXPECT_EQ(last, PlatMixer::kVoices - 1);
  EXPECT_EQ(mixer.add_voice(clip, kFrames), -1);
  mixer.play(-1);
  mixer.play(PlatMixer::kVoices);
  mixer.stop(12345);
  mixer.set_position(-7, 3);
  EXPECT_EQ(Next(), 0);
}

// The main thread adds, plays and stops voices while another thread renders, as the device's
// thread does. Every sample heard must be one the clips hold.
TEST(MixerThreadsTest, PlayingWhileAnotherThreadRendersHearsOnlyTheClips) {
  static PlatMixer mixer;
  static int16_t clip[2 * 64];
  for (int i = 0; i < 64; i++) clip[2 * i] = clip[2 * i + 1] = 1;
  std::atomic<bool> done{false};
  std::atomic<int> wrong{0};
  std::thread renderer([&] {
    int16_t out[2 * 128];
    while (!done.load()) {
      mixer.render(out, 128);
      for (int16_t s : out)
        if (s < 0 || s > 8) wrong++;  // at most eight voices sound at once
    }
  });
  int voices[8];
  for (int& v : voices) v = mixer.add_voice(clip, 64);
  for (int round = 0; round < 20000; round++) {
    int v = voices[round % 8];
    mixer.stop(v);
    mixer.set_position(v, 0);
    mixer.play(v);
  }
  done = true;
  renderer.join();
  EXPECT_EQ(wrong.load(), 0);
  mixer.clear();
}
