// The soundboard started on its own generated bundle, with its sprite where it begins.
#pragma once

#include <vector>

#include "App/App.h"
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
  static PlatPicture* Shown(int view) { return plat_view_picture(Win.views[view]); }
  static PlatPicture* Picture(const char* name) { return Win.images[ImageAdd(name)]; }
  static std::vector<int16_t> Render(int frames) {
    std::vector<int16_t> out(static_cast<size_t>(frames) * 2);
    plat_audio_render(out.data(), frames);
    return out;
  }
};
