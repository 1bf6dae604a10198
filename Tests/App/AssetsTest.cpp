// What the generator made, as the soundboard uses it: every picture at the size its place
// needs, buttons clear of each other and of the title and disclaimer, sharp twins at twice the
// pixels, and clips that are well formed, unclipped, click-free and equally loud.
#include <SDL.h>

#include <cmath>
#include <string>
#include <vector>

#include "Engine/Touch.h"
#include "Tests/Support/SoundboardFixture.h"
#include "Tools/AssetGen/Synth.h"

using AssetsTest = SoundboardTest;

static PlatRect Frame(int view) { return plat_view_frame(Win.views[view]); }

static bool Overlap(const PlatRect& a, const PlatRect& b) {
  return a.x < b.x + b.w && b.x < a.x + a.w && a.y < b.y + b.h && b.y < a.y + a.h;
}

static bool Inside(const PlatRect& r, const PlatRect& frame) {
  return r.x >= frame.x && r.y >= frame.y && r.x + r.w <= frame.x + frame.w &&
         r.y + r.h <= frame.y + frame.h;
}

TEST_F(AssetsTest, TheScenePicturesHaveTheSizesTheirPlacesNeed) {
  PlatRect app = plat_screen_application_frame();
  PlatRect background = Frame(1), sprite = Frame(hBall), title = Frame(tImage), note = Frame(dImage);
  EXPECT_EQ(background.w, app.w);
  EXPECT_EQ(background.h, app.h);
  EXPECT_EQ(sprite.w, app.w - 280);  // the sprite turns at 280 and 430: the frame less itself
  EXPECT_EQ(sprite.h, app.h - 430);
  EXPECT_TRUE(Inside(title, app));
  EXPECT_TRUE(Inside(note, app));
  EXPECT_GT(title.w * title.h, 0);
  EXPECT_GT(note.w * note.h, 0);
}

TEST_F(AssetsTest, ButtonsLieInsideTheFrameClearOfEachOtherTheTitleAndTheDisclaimer) {
  PlatRect app = plat_screen_application_frame();
  for (int b = 1; b < ButtonLen; b++) {
    PlatRect r = Frame(Button[b].view);
    EXPECT_TRUE(Inside(r, app)) << Win.names[Button[b].image1];
    EXPECT_GE(r.w, 44);  // big enough for a finger
    EXPECT_GE(r.h, 30);
    EXPECT_FALSE(Overlap(r, Frame(tImage))) << Win.names[Button[b].image1];
    EXPECT_FALSE(Overlap(r, Frame(dImage))) << Win.names[Button[b].image1];
    for (int other = b + 1; other < ButtonLen; other++)
      EXPECT_FALSE(Overlap(r, Frame(Button[other].view)))
          << Win.names[Button[b].image1] << " and " << Win.names[Button[other].image1];
    EXPECT_EQ(ImageGetWidth(Button[b].image2), ImageGetWidth(Button[b].image1));
  }
}

// A button placed against the frame's edge (Die) keeps its drawing clear of it, inside its own
// picture: a rounded corner or a notch must not cut into it.
TEST_F(AssetsTest, NoButtonIsDrawnWithinFourPointsOfTheFramesEdge) {
  constexpr int kMargin = 4;
  for (int b = 1; b < ButtonLen; b++) {
    for (int image : {Button[b].image1, Button[b].image2}) {
      Image p = LoadPng(std::string(plat_bundle_path()) + "/" + Win.names[image]);
      PlatRect at = Frame(Button[b].view);
      for (int y = 0; y < p.height; y++)
        for (int x = 0; x < p.width; x++) {
          if (p.at(x, y)[3] == 0) continue;
          float fx = at.x + x, fy = at.y + y;
          ASSERT_TRUE(fx >= kMargin && fy >= kMargin && fx < kFrameWidth - kMargin &&
                      fy < kFrameHeight - kMargin)
              << Win.names[image] << " drawn at (" << fx << ", " << fy << ")";
        }
    }
  }
}

static Image LoadPicture(const std::string& name) {
  return LoadPng(std::string(plat_bundle_path()) + "/" + name);
}

// Mean brightness of the opaque pixels, 0 to 255.
static double Brightness(const Image& s) {
  double sum = 0, weight = 0;
  for (int y = 0; y < s.height; y++)
    for (int x = 0; x < s.width; x++) {
      const uint8_t* px = s.at(x, y);
      double a = px[3] / 255.0;
      sum += a * (px[0] + px[1] + px[2]) / 3;
      weight += a;
    }
  return weight > 0 ? sum / weight : 0;
}

TEST_F(AssetsTest, EveryPictureHasSharpTwinsOfTwiceAndThriceThePixelsAndPressedPicturesAreDarker) {
  for (int i = 1; i < SysImageLen; i++) {
    std::string name = Win.names[i];
    Image one = LoadPicture(name);
    ASSERT_TRUE(one.width) << name;
    for (int scale : {2, 3}) {
      std::string twin = name.substr(0, name.size() - 4) + "@" + std::to_string(scale) + "x.png";
      Image sharp = LoadPicture(twin);
      EXPECT_EQ(sharp.width, scale * one.width) << twin;
      EXPECT_EQ(sharp.height, scale * one.height) << twin;
    }
  }
  for (int b = 1; b < ButtonLen; b++) {
    Image normal = LoadPicture(Win.names[Button[b].image1]);
    Image pressed = LoadPicture(Win.names[Button[b].image2]);
    ASSERT_TRUE(normal.width && pressed.width);
    EXPECT_LT(Brightness(pressed), Brightness(normal) - 10) << Win.names[Button[b].image2];
  }
}

struct ClipFile {
  const char* name;
  double min_s, max_s;
};

TEST_F(AssetsTest, ClipsAreWellFormedUnclippedClickFreeAndEquallyLoud) {
  const ClipFile clips[] = {{"Theme.wav", 8, 15},   {"KartTheme.wav", 8, 15}, {"Die.wav", 0.5, 4},
                            {"Shroom.wav", 0.3, 3}, {"Coin.wav", 0.2, 2},     {"Warning.wav", 1, 4},
                            {"Clear.wav", 1, 5},    {"1_Up.wav", 0.3, 3},     {"Jump.wav", 0.1, 2}};
  std::vector<float> loudness;
  for (const ClipFile& c : clips) {
    WavFile wav = LoadWav(std::string(plat_bundle_path()) + "/" + c.name);
    ASSERT_FALSE(wav.samples.empty()) << c.name << ": not a 16-bit WAV file";
    EXPECT_TRUE(wav.rate == 44100 || wav.rate == 48000) << c.name;
    EXPECT_TRUE(wav.channels == 1 || wav.channels == 2) << c.name;
    const int16_t* s = wav.samples.data();
    size_t n = wav.samples.size();
    double seconds = static_cast<double>(n) / wav.channels / wav.rate;
    EXPECT_GE(seconds, c.min_s) << c.name;
    EXPECT_LE(seconds, c.max_s) << c.name;
    int peak = 0;
    std::vector<float> mono;
    for (size_t i = 0; i < n; i += wav.channels) {
      peak = std::max(peak, std::abs(static_cast<int>(s[i])));
      mono.push_back(s[i] / 32768.0f);
    }
    EXPECT_LT(peak, 32000) << c.name << " clips";
    EXPECT_LT(std::abs(s[0]), 200) << c.name << " starts with a click";
    EXPECT_LT(std::abs(s[n - 1]), 200) << c.name << " ends with a click";
    loudness.push_back(Loudness(mono));
  }
  float quietest = *std::min_element(loudness.begin(), loudness.end());
  float loudest = *std::max_element(loudness.begin(), loudness.end());
  EXPECT_LT(20 * std::log10(loudest / quietest), 3.0) << "levels differ by more than 3 dB";
}
