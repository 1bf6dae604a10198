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

// The main thread stops and restarts voices while another thread renders, as the device's
// thread does, each cue given while a render may be under way and then heard. Each of two
// voices is a ramp in bits of its own (1 to 127, and 128 to 16256 in steps of 128), the right
// side the left's negative, so every frame says where each voice was: from one frame to the
// next a voice goes on by one, starts again at its first frame, or is silent, and from silence
// it can only start at its first frame. A cue lost, applied half or out of order breaks that.
TEST(MixerThreadsTest, RestartsWhileAnotherThreadRendersKeepEachVoiceWhole) {
  static PlatMixer mixer;
  constexpr int kFrames = 127, kShift = 7, kBlock = 32, kRounds = 300;
  static int16_t ramps[2][2 * kFrames];
  for (int v = 0; v < 2; v++)
    for (int i = 0; i < kFrames; i++) {
      ramps[v][2 * i] = static_cast<int16_t>((i + 1) << (kShift * v));
      ramps[v][2 * i + 1] = static_cast<int16_t>(-ramps[v][2 * i]);
    }
  std::atomic<bool> done{false};
  std::atomic<int> wrong{0}, starts{0}, blocks{0};
  std::thread renderer([&] {
    int16_t out[2 * kBlock];
    int last[2] = {0, 0};
    while (!done.load()) {
      mixer_render(&mixer, out, kBlock);
      for (int f = 0; f < kBlock; f++) {
        int left = out[2 * f];
        if (out[2 * f + 1] != -left) wrong++;
        for (int v = 0; v < 2; v++) {
          int at = (left >> (kShift * v)) & ((1 << kShift) - 1);
          if (!(at == 0 || at == 1 || (last[v] != 0 && at == last[v] + 1))) wrong++;
          starts += at == 1;
          last[v] = at;
        }
      }
      blocks++;
    }
  });
  auto heard = [&] {  // a whole block rendered after the cues so far
    for (int until = blocks.load() + 2; blocks.load() < until;) std::this_thread::yield();
  };
  int voices[2] = {mixer_add_voice(&mixer, ramps[0], kFrames), mixer_add_voice(&mixer, ramps[1], kFrames)};
  for (int round = 0; round < kRounds; round++) {
    int v = voices[round % 2];
    mixer_set_position(&mixer, v, 0);
    mixer_play(&mixer, v);
    heard();  // part of the way in: stopped there, the next play must still start at the top
    mixer_stop(&mixer, v);
    heard();
  }
  done = true;
  renderer.join();
  EXPECT_EQ(wrong.load(), 0);
  EXPECT_EQ(starts.load(), kRounds) << "each play heard from its first frame, once";
  mixer_clear(&mixer);
}
