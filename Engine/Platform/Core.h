// What the core's files share with each other: the platform objects, and each file's entry
// points for the others. Not for backends (Backend.h) nor for the engine (Platform.h).
//
// Files: Loop.cpp (life cycle, loop, timers, clock, errors) | Views.cpp (window, views,
// drawing, dirty tracking) | Touches.cpp (the touch stream) | Elements.cpp (what screen
// readers and the keyboard reach) | Pictures.cpp | Audio.cpp (players, device, offline
// render) | Paths.cpp (bundle and documents)
#pragma once

#include <string>
#include <vector>

#include "Engine/Limits.h"
#include "Engine/Platform/Backend.h"
#include "Engine/Platform/Contract.h"


struct PlatPicture {
  std::string name;                // as asked for, relative to the bundle
  PlatPixels pixels;
  PlatTexture* texture = nullptr;  // made on first draw, once a window exists
  float scale = 0;                 // pixels per point: 2 for a name@2x picture; 0 until decoded
  PlatSize points{0, 0};           // its size, whichever twin it holds
  bool waiting = false;            // the twin this window wants is on its way
};

inline bool picture_here(const PlatPicture* picture) {  // its pixels have come
  return picture && picture->pixels.width > 0;
}

struct PlatView {
  PlatRect frame{};
  PlatPicture* picture = nullptr;
  PlatPicture* shown = nullptr;  // the last of its pictures that was here, drawn while one comes
  bool has_background = false;
  PlatColor background{};
  PlatView* parent = nullptr;
  bool in_window = false;  // a window subview: it and everything under it can be seen
  std::vector<PlatView*> subviews;
  PlatTouchFn touch_fn = nullptr;
  void* touch_ctx = nullptr;
};

struct PlatWindow {
  std::vector<PlatView*> subviews;
  bool visible = false;
  uint64_t presents = 0;
  PlatBars bars = kPlatBarsScene;
};

// Where the frame lies in a surface of some size: points to surface units and back.
struct PlatLetterbox {
  float scale, x, y;
};

// Loop.cpp
bool loop_started(void);
const char* loop_program_name(void);  // "" unless started by plat_application_main

// Views.cpp
static constexpr int kMaxDamage = kMaxPresentRects;  // kept apart before they are merged into one

struct PlatDamage {
  bool all = true;  // the whole window: the first frame, a resize, an expose
  PlatRect rects[kMaxDamage];  // in frame points, none overlapping or touching another
  int count = 0;
};

bool views_have_window(void);
void views_set_opening_size(int width, int height);  // the next window's, in pixels; 0: chosen
const PlatDamage& views_damage(void);  // what the next frame will draw again
float views_window_scale(void);                       // 1 without a window
PlatPoint views_window_to_points(float x, float y);   // window units to frame points
PlatView* views_touch_target(PlatPoint point);        // topmost window subview with a handler
void views_present_if_dirty(void);
void views_damage_picture(const PlatPicture* picture);  // every view that shows it is drawn again
void views_damage_ring(PlatRect control);  // where a focus ring around the control lies, in points
void views_stop(void);

// Pictures.cpp
PlatTexture* pictures_texture(PlatPicture* picture);  // made now if there is none yet
void pictures_rescale(void);  // the window's scale crossed a whole number: each takes its twin
bool pictures_waiting(void);  // some picture is on its way
void pictures_stop(void);

// Touches.cpp
// A touch of the keyboard's or a screen reader's, at a point in frame points; false when the
// stream is held by another touch, which it then leaves alone.
bool touches_from_element(PlatTouchPhase phase, PlatPoint point);
void touches_stop(void);

// Elements.cpp
bool elements_ring(PlatRect* control);  // the focused control, when its ring shows
void elements_touched(void);  // a touch began: the ring goes
void elements_flush(void);    // after a loop pass: the backend reads what changed
void elements_stop(void);

// Audio.cpp
void audio_start(bool open_device_now);  // false: offline, plat_audio_render pulls the mixer
void audio_stop(void);
void audio_keep_time(void);  // each loop step: with no device to hear it, the clips move on

// Paths.cpp
void paths_start(const char* bundle_dir);  // nullptr: the executable's folder
void paths_stop(void);
// The real path of a file inside the bundle, named relative to it or in full; "" for a file
// that is missing or lies outside it.
std::string paths_in_bundle(const char* path);
