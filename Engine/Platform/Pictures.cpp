// Pictures by bundle-relative name: the sharp "@3x" or "@2x" twin on windows that give a point
// three or two pixels or more, sizes in points, and the backend's texture made on first draw.
// Decoding is the backend's; every picture is kept until the platform stops.
//
// A window whose scale crosses a whole number (a resize, a phone turned) takes each picture's
// twin again, so that it stays sharp. A backend that brings files later (a browser, still
// fetching or decoding them) says a picture is on its way, and its size: the program has it at
// once, sized; it is drawn when it comes (until then a view shows the picture it had, and the
// first frame waits for the pictures it shows), and one that never comes whole is drawn as the
// reserved picture, as a picture that failed to load is.
#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "Engine/Platform/Core.h"

static std::vector<std::unique_ptr<PlatPicture>> g_pictures;
static int g_waiting = 0;  // pictures on their way

// "name.png" to "name@2x.png" for 2: the twin sits beside the picture, before its extension.
static std::string sharp_twin(const std::string& path, int scale) {
  if (scale == 1) return path;
  size_t dot = path.rfind('.'), slash = path.rfind('/');
  std::string twin = path;
  twin.insert(dot != std::string::npos && (slash == std::string::npos || dot > slash) ? dot
                                                                                      : twin.size(),
              "@" + std::to_string(scale) + "x");
  return twin;
}

// As on a phone with a sharp screen: the twin of as many pixels a point as the window shows.
static int twin_wanted(void) {
  return std::clamp(static_cast<int>(views_window_scale()), 1, kSharpestTwin);
}

// The picture's twin at `scale`, decoded, if the bundle has it and it is the picture's size in
// points (a twin of another size is not the same picture).
static bool decode_twin(const PlatPicture& picture, int scale, PlatPixels* out) {
  std::string path = paths_in_bundle(sharp_twin(picture.name, scale).c_str());
  if (path.empty() || !backend_decode_picture(path.c_str(), out)) return false;
  if (picture.points.w == 0) return true;  // the first: it sets the size
  return std::fabs(out->width / static_cast<float>(scale) - picture.points.w) < 0.5f &&
         std::fabs(out->height / static_cast<float>(scale) - picture.points.h) < 0.5f;
}

static void take(PlatPicture* picture, int scale, PlatPixels* pixels) {
  if (picture->texture) backend_texture_destroy(picture->texture);
  picture->texture = nullptr;
  picture->pixels = std::move(*pixels);
  picture->scale = static_cast<float>(scale);
  if (picture->points.w == 0)
    picture->points = {picture->pixels.width / picture->scale, picture->pixels.height / picture->scale};
}

static void set_waiting(PlatPicture* picture, bool waiting) {
  g_waiting += waiting - picture->waiting;
  picture->waiting = waiting;
}

// Takes the twin for `want` (or the nearest below it that is there) if it is not the one the
// picture holds. A twin on its way is waited for, the picture keeping what it has (a picture
// with nothing yet takes its size from it). True when the picture changed.
static bool retake(PlatPicture* picture, int want) {
  set_waiting(picture, false);
  for (int scale = want; scale >= 1; scale--) {
    if (scale == picture->scale) return false;
    PlatPixels pixels;
    if (decode_twin(*picture, scale, &pixels)) {
      take(picture, scale, &pixels);
      return true;
    }
    std::string file = std::string(plat_bundle_path()) + "/" + sharp_twin(picture->name, scale);
    int width = 0, height = 0;
    if (backend_picture_pending(file.c_str(), &width, &height) && width > 0 && height > 0) {
      if (picture->points.w == 0) picture->points = {width / static_cast<float>(scale), height / static_cast<float>(scale)};
      set_waiting(picture, true);
      return false;
    }
  }
  return false;
}

// A picture that was on its way and will not come: drawn as the reserved one, at its size.
static void take_reserved(PlatPicture* picture) {
  PlatPicture reserved;
  reserved.name = kReservedPicture;
  retake(&reserved, twin_wanted());
  set_waiting(&reserved, false);
  if (picture_here(&reserved)) take(picture, static_cast<int>(reserved.scale), &reserved.pixels);
}

PlatTexture* pictures_texture(PlatPicture* picture) {
  if (!picture_here(picture)) return nullptr;
  if (!picture->texture) picture->texture = backend_texture_create(&picture->pixels);
  return picture->texture;
}

bool pictures_waiting(void) { return g_waiting > 0; }

void pictures_rescale(void) {
  int want = twin_wanted();
  for (auto& picture : g_pictures)
    if (retake(picture.get(), want)) views_damage_picture(picture.get());
}

void core_pictures_arrived(void) {
  int want = twin_wanted();
  for (auto& p : g_pictures) {
    PlatPicture* picture = p.get();
    if (!picture->waiting) continue;
    bool changed = retake(picture, want);
    if (!picture->waiting && !picture_here(picture)) {
      take_reserved(picture);
      changed = true;
    }
    if (changed) views_damage_picture(picture);
  }
}

void pictures_stop(void) {
  for (auto& picture : g_pictures)
    if (picture->texture) backend_texture_destroy(picture->texture);
  g_pictures.clear();
  g_waiting = 0;
}

PlatPicture* plat_picture_named(const char* name) {
  if (!loop_started() || !name || !*name) return nullptr;
  auto picture = std::make_unique<PlatPicture>();
  picture->name = name;
  // The twin for this window, or the nearest below it that is there, or on its way.
  retake(picture.get(), twin_wanted());
  if (picture->scale == 0 && !picture->waiting) return nullptr;
  g_pictures.push_back(std::move(picture));
  return g_pictures.back().get();
}

PlatSize plat_picture_size(const PlatPicture* picture) {
  if (!picture) return {0, 0};
  return picture->points;
}
