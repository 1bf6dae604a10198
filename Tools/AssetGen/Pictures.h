// The soundboard's pictures: the scene, the sprite, the title, the disclaimer, the buttons and
// the reserved placeholder, each drawn at any scale.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "Tools/AssetGen/Canvas.h"

struct Picture {
  std::string file;    // relative to the bundle, as the program names it
  int width, height;   // in points
  bool retina;         // also made at twice and three times the pixels, as name@2x.png, @3x
  std::function<void(Canvas&)> draw;
};

// Every picture, with the way to draw it; text in fonts from font_dir.
std::vector<Picture> SoundboardPictures(const std::string& font_dir);

// The desktop's icon at each size of the hicolor theme, named as the theme lays them out:
// "16x16/apps/soundboard.png" and so on.
constexpr int kIconSizes[] = {16, 22, 24, 32, 48, 64, 128, 192, 256, 512};
std::vector<Picture> IconPictures(const std::string& font_dir);

// The web app's icons: the manifest's at 192 and 512, its maskable one (full bleed, the
// artwork inside the circle every mask keeps), and an iPhone's home screen's, opaque, at 180.
std::vector<Picture> WebIconPictures(const std::string& font_dir);

// Writes the picture, and its @2x and @3x twins when it has them, into the bundle.
bool WritePicture(const Picture& picture, const std::string& bundle);
