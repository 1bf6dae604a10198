// Pictures by bundle-relative name: the sharp "@3x" or "@2x" twin on windows that give a point
// three or two pixels or more, sizes in points, and the backend's texture made on first draw.
// Decoding is the backend's; every picture is kept until the platform stops.
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "Engine/Platform/Core.h"

static std::vector<std::unique_ptr<PlatPicture>> g_pictures;

static constexpr int kSharpestTwin = 3;  // pixels per point of the sharpest twin there is

// "name.png" to "name@2x.png" for 2: the twin sits beside the picture, before its extension.
static std::string sharp_twin(const std::string& path, int scale) {
  size_t dot = path.rfind('.'), slash = path.rfind('/');
  std::string twin = path;
  twin.insert(dot != std::string::npos && (slash == std::string::npos || dot > slash) ? dot
                                                                                      : twin.size(),
              "@" + std::to_string(scale) + "x");
  return twin;
}

PlatTexture* pictures_texture(PlatPicture* picture) {
  if (!picture->texture) picture->texture = backend_texture_create(&picture->pixels);
  return picture->texture;
}

void pictures_stop(void) {
  for (auto& picture : g_pictures)
    if (picture->texture) backend_texture_destroy(picture->texture);
  g_pictures.clear();
}

PlatPicture* plat_picture_named(const char* name) {
  if (!loop_started() || !name || !*name) return nullptr;
  auto picture = std::make_unique<PlatPicture>();
  // As on a phone with a sharp screen: the twin of as many pixels a point as the window shows
  // (or the nearest below it that is there), the same size in points.
  int want = std::clamp(static_cast<int>(views_window_scale()), 1, kSharpestTwin);
  for (int scale = want; scale >= 1 && picture->scale == 0; scale--) {
    std::string path = paths_in_bundle(scale > 1 ? sharp_twin(name, scale).c_str() : name);
    if (!path.empty() && backend_decode_picture(path.c_str(), &picture->pixels))
      picture->scale = static_cast<float>(scale);
  }
  if (picture->scale == 0) return nullptr;
  g_pictures.push_back(std::move(picture));
  return g_pictures.back().get();
}

PlatSize plat_picture_size(const PlatPicture* picture) {
  if (!picture) return {0, 0};
  return {static_cast<float>(picture->pixels.width) / picture->scale,
          static_cast<float>(picture->pixels.height) / picture->scale};
}
