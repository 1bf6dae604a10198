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
    voice = mixer_add_voice(&mixer, clip, kFrames);
  }
  int16_t Next() {  // the next frame's left sample
    int16_t out[2];
    mixer_render(&mixer, out, 1);
    return out[0];
  }

  static constexpr int kFrames = 100;
  int16_t clip[kFrames * 2];
  PlatMixer mixer;
  int voice = -1;
};

TEST_F(MixerTest, StopKeepsThePositionAndPlayGoesOnFromIt) {
  mixer_play(&mixer, voice);
  EXPECT_EQ(Next(), 1);
  EXPECT_EQ(Next(), 2);
  mixer_stop(&mixer, voice);
  EXPECT_EQ(Next(), 0);
  mixer_play(&mixer, voice);
  EXPECT_EQ(Next(), 3);
}

TEST_F(MixerTest, APositionTakesEffectWhetherPlayingOrNot) {
  mixer_set_position(&mixer, voice, 50);
  mixer_play(&mixer, voice);
  EXPECT_EQ(Next(), 51);
  mixer_set_position(&mixer, voice, 10);
  EXPECT_EQ(Next(), 11);
  mixer_set_position(&mixer, voice, 1000);  // past the end: silence, then play starts over
  EXPECT_EQ(Next(), 0);
  mixer_play(&mixer, voice);
  EXPECT_EQ(Next(), 1);
}

TEST_F(MixerTest, AfterItsEndAClipPlaysAgainFromTheStart) {
  mixer_play(&mixer, voice);
  std::vector<int16_t> all(2 * (kFrames + 5));
  mixer_render(&mixer, all.data(), kFrames + 5);
  EXPECT_EQ(all[2 * (kFrames - 1)], kFrames);
  EXPECT_EQ(all[2 * kFrames], 0);
  mixer_play(&mixer, voice);
  EXPECT_EQ(Next(), 1);
  // Time kept with no device to hear it moves the clip on the same way.
  mixer_advance(&mixer, 10);
  EXPECT_EQ(Next(), 12);
  mixer_advance(&mixer, kFrames);
  EXPECT_EQ(Next(), 0);
  mixer_play(&mixer, voice);
  EXPECT_EQ(Next(), 1);
}

TEST_F(MixerTest, RendersLongerThanOneBlockContinueSeamlessly) {
  static int16_t long_clip[2 * 3000];
  for (int i = 0; i < 3000; i++) long_clip[2 * i] = long_clip[2 * i + 1] = static_cast<int16_t>(i);
  int v = mixer_add_voice(&mixer, long_clip, 3000);
  mixer_play(&mixer, v);
  std::vector<int16_t> out(2 * 3000);
  mixer_render(&mixer, out.data(), 3000);
  for (int i = 0; i < 3000; i += 211) EXPECT_EQ(out[2 * i], i);
}

TEST_F(MixerTest, VoicesRunOutQuietlyAndBadVoiceNumbersAreIgnored) {
  int last = voice;
  for (int i = 1; i < kMixerVoices; i++) last = mixer_add_voice(&mixer, clip, kFrames);
  EXPECT_EQ(last, kMixerVoices - 1);
  EXPECT_EQ(mixer_add_voice(&mixer, clip, kFrames), -1);
  mixer_play(&mixer, -1);
  mixer_play(&mixer, kMixerVoices);
  mixer_stop(&mixer, 12345);
  mixer_set_position(&mixer, -7, 3);
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
      mixer_render(&mixer, out, 128);
      for (int16_t s : out)
        if (s < 0 || s > 8) wrong++;  // at most eight voices sound at once
    }
  });
  int voices[8];
  for (int& v : voices) v = mixer_add_voice(&mixer, clip, 64);
  for (int round = 0; round < 20000; round++) {
    int v = voices[round % 8];
    mixer_stop(&mixer, v);
    mixer_set_position(&mixer, v, 0);
    mixer_play(&mixer, v);
  }
  done = true;
  renderer.join();
  EXPECT_EQ(wrong.load(), 0);
  mixer_clear(&mixer);
}
