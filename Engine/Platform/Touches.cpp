// The one touch stream: mouse, fingers and injected touches, one touch at a time. The first to
// begin holds the stream, by its source, device and pointer, until it ends; it goes to the
// topmost window subview with a handler under the point where it began, which then gets every
// move and the end, wherever they are, at locations in its own points.
#include "Engine/Platform/Core.h"

// ---------------------------------------------------------------------------------------------
// State

struct TouchState {
  bool held = false;
  PlatTouchSource source = kPlatSourceMouse;
  int64_t device = 0;
  int64_t pointer = 0;
  PlatView* view = nullptr;  // the view that took the touch; nullptr when it began on none
};

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

static void touch(PlatTouchPhase phase, PlatTouchSource source, int64_t device, int64_t pointer,
                  PlatPoint point) {
  switch (phase) {
    case kPlatTouchBegan:
      if (g.held) return;  // one touch at a time
      g = {true, source, device, pointer, views_touch_target(point)};
      deliver(kPlatTouchBegan, point);
      break;
    case kPlatTouchMoved:
      if (holds(source, device, pointer)) deliver(kPlatTouchMoved, point);
      break;
    case kPlatTouchEnded:
      if (!holds(source, device, pointer)) return;
      deliver(kPlatTouchEnded, point);
      g = TouchState{};
      break;
  }
}

void touches_stop(void) { g = TouchState{}; }

// ---------------------------------------------------------------------------------------------
// Offered to backends, and public

void core_touch(PlatTouchPhase phase, PlatTouchSource source, int64_t device, int64_t pointer,
                float x, float y) {
  touch(phase, source, device, pointer, views_window_to_points(x, y));
}

void plat_touch_inject(PlatTouchPhase phase, PlatPoint window_point) {
  touch(phase, kPlatSourceInjected, 0, 0, window_point);
}
