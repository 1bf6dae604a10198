// The soundboard started on its own generated bundle, with its sprite where it begins.
#pragma once

#include <vector>

#include <cstring>

#include "App/App.h"
#include "App/Buttons.h"
#include "Tests/Support/EngineTest.h"

class SoundboardTest : public EngineTest {
 protected:
  std::string BundleDir() const override { return ""; }  // the program's own
  void SetUp() override {
    EngineTest::SetUp();
    xPosition = 150;
    yPosition = 200;
    xVelocity = 2;
    yVelocity = 2;
    Start();
  }
  // A point just inside the button's top left corner, where the board puts it.
  static PlatPoint On(const char* button) {
    for (const SoundboardButton& b : kSoundboardButtons)
      if (strcmp(b.name, button) == 0) return {b.x + 2.0f, b.y + 2.0f};
    ADD_FAILURE() << "no button " << button;
    return {-1, -1};
  }
  static PlatPicture* Shown(int view) { return plat_view_picture(Win.views[view]); }
  static PlatPicture* Picture(const char* name) { return Win.images[ImageAdd(name)]; }
  static std::vector<int16_t> Render(int frames) {
    std::vector<int16_t> out(static_cast<size_t>(frames) * 2);
    plat_audio_render(out.data(), frames);
    return out;
  }
  // A clip of the bundle as its file holds it, read by SDL rather than by the platform, as
  // mono samples at the mixer's rate (as the generator makes them all).
  static std::vector<int16_t> ClipSamples(const char* file);
  // True when the next frames of the mix are the clip's first ones, from its first sample,
  // on both sides.
  static bool HearsClipFromItsStart(const std::vector<int16_t>& clip, int frames = 2000);
};
