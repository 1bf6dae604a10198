// The one touch stream: mouse, fingers and injected touches, one touch at a time. The first to
// begin holds the stream, by its source, device and pointer, until it ends; it goes to the
// topmost window subview with a handler under the point where it began, which then gets every
// move and the end, wherever they are, at locations in its own points.
//
// A release can be lost (the window hidden, another window given the focus): the touch is then
// ended where it last was, as a phone cancels one, when the backend says so or when its own
// source, device and pointer begin again.
#include "Engine/Platform/Core.h"

// ---------------------------------------------------------------------------------------------
// State

namespace {
struct TouchState {
  bool held = false;
  PlatTouchSource source = kPlatSourceMouse;
  int64_t device = 0;
  int64_t pointer = 0;
  PlatView* view = nullptr;  // the view that took the touch; nullptr when it began on none
  PlatPoint last{};          // where it was last, in frame points
};
}  // namespace

static TouchState g;

// ---------------------------------------------------------------------------------------------
// Helpers

static void deliver(PlatTouchPhase phase, PlatPoint point) {
  PlatView* view = g.view;
  if (!view || !view->touch_fn) return;
  view->touch_fn(view->touch_ctx, phase, {point.x - view->frame.x, point.y - view->frame.y});
}

static bool holds(PlatTouchSource source, int64_t device, int64_t pointer) {
  return g.held && g.source == source && g.device == device && g.pointer == pointer;
}

static void end(PlatPoint point) {
  deliver(kPlatTouchEnded, point);
  g = TouchState{};
}

// False when the touch was not taken: another holds the stream.
static bool touch(PlatTouchPhase phase, PlatTouchSource source, int64_t device, int64_t pointer,
                  PlatPoint point) {
  switch (phase) {
    case kPlatTouchBegan:
      if (source != kPlatSourceKeyboard) elements_touched();  // a hand, not a key: no focus ring
      if (holds(source, device, pointer)) end(g.last);  // its release was lost
      if (g.held) return false;  // one touch at a time
      g = {true, source, device, pointer, views_touch_target(point), point};
      deliver(kPlatTouchBegan, point);
      return true;
    case kPlatTouchMoved:
      if (!holds(source, device, pointer)) return false;
      g.last = point;
      deliver(kPlatTouchMoved, point);
      return true;
    case kPlatTouchEnded:
      if (!holds(source, device, pointer)) return false;
      end(point);
      return true;
  }
  return false;
}

bool touches_from_element(PlatTouchPhase phase, PlatPoint point) {
  return touch(phase, kPlatSourceKeyboard, 0, 0, point);
}

void touches_stop(void) { g = TouchState{}; }

// ---------------------------------------------------------------------------------------------
// Offered to backends, and public

void core_touch(PlatTouchPhase phase, PlatTouchSource source, int64_t device, int64_t pointer,
                float x, float y) {
  touch(phase, source, device, pointer, views_window_to_points(x, y));
}

void core_touch_cancel(void) {
  if (g.held) end(g.last);
}

void plat_touch_inject(PlatTouchPhase phase, PlatPoint window_point) {
  touch(phase, kPlatSourceInjected, 0, 0, window_point);
}
