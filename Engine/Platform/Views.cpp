// The window and the view tree: the views' API, what changed since the last present, and the
// draw walk that turns the tree into rectangles for the backend: the frame letterboxed in the
// window, pictures sharp at whole-number scales and smoothed otherwise, all clipped to the frame.
#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "Engine/Platform/Core.h"

// ---------------------------------------------------------------------------------------------
// State

static constexpr const char* kWindowTitle = "Soundboard";
static constexpr PlatColor kBars = {0, 0, 0, 255};  // around the frame, where it does not fill

struct ViewsState {
  std::vector<std::unique_ptr<PlatView>> views;
  std::unique_ptr<PlatWindow> window;
  bool dirty = true;
  std::vector<PlatDrawRect> rects;  // the draw walk's list, kept so that frames do not allocate
};

static ViewsState g;

// ---------------------------------------------------------------------------------------------
// Geometry

Letterbox views_letterbox(float width, float height) {
  float scale = std::min(width / kFrameWidth, height / kFrameHeight);
  if (!(scale > 0)) scale = 1;
  return {scale, (width - kFrameWidth * scale) / 2, (height - kFrameHeight * scale) / 2};
}

static Letterbox window_letterbox() {  // in window units, where touches are
  int w = 0, h = 0;
  if (g.window) backend_window_size(&w, &h);
  return views_letterbox(static_cast<float>(w), static_cast<float>(h));
}

PlatPoint views_window_to_points(float x, float y) {
  Letterbox box = window_letterbox();
  return {(x - box.x) / box.scale, (y - box.y) / box.scale};
}

static bool rect_contains(const PlatRect& r, PlatPoint p) {
  return p.x >= r.x && p.x < r.x + r.w && p.y >= r.y && p.y < r.y + r.h;
}

bool views_have_window(void) { return g.window != nullptr; }

PlatView* views_touch_target(PlatPoint point) {
  if (!g.window) return nullptr;
  const auto& views = g.window->subviews;
  for (auto it = views.rbegin(); it != views.rend(); ++it)
    if ((*it)->touch_fn && rect_contains((*it)->frame, point)) return *it;
  return nullptr;
}

// ---------------------------------------------------------------------------------------------
// Drawing

static void collect(const Letterbox& box, const PlatView* view, float origin_x, float origin_y) {
  float x = origin_x + view->frame.x;
  float y = origin_y + view->frame.y;
  PlatRect dst{box.x + x * box.scale, box.y + y * box.scale, view->frame.w * box.scale,
               view->frame.h * box.scale};
  if (view->has_background) g.rects.push_back({nullptr, view->background, dst});
  if (view->picture)
    if (PlatTexture* texture = pictures_texture(view->picture))
      g.rects.push_back({texture, {255, 255, 255, 255}, dst});
  for (const PlatView* sub : view->subviews) collect(box, sub, x, y);
}

static void draw_window(const PlatWindow* window) {
  int w = 0, h = 0;
  backend_output_size(&w, &h);
  PlatDrawRect bars{nullptr, kBars, {0, 0, static_cast<float>(w), static_cast<float>(h)}};
  PlatDrawList whole{{0, 0, w, h}, false, &bars, 1};
  backend_draw(&whole);

  Letterbox box = views_letterbox(static_cast<float>(w), static_cast<float>(h));
  g.rects.clear();
  for (const PlatView* view : window->subviews) collect(box, view, 0, 0);
  PlatIRect frame{static_cast<int>(std::lround(box.x)), static_cast<int>(std::lround(box.y)),
                  static_cast<int>(std::lround(kFrameWidth * box.scale)),
                  static_cast<int>(std::lround(kFrameHeight * box.scale))};
  // Whole-number scales keep every picture pixel square and sharp; others are smoothed.
  bool smooth = std::floor(box.scale) != box.scale;
  PlatDrawList views{frame, smooth, g.rects.data(), static_cast<int>(g.rects.size())};
  backend_draw(&views);
}

void core_redraw(void) { g.dirty = true; }

void views_present_if_dirty(void) {
  PlatWindow* window = g.window.get();
  if (!g.dirty || !window || !window->visible) return;
  draw_window(window);
  int w = 0, h = 0;
  backend_output_size(&w, &h);
  PlatIRect all{0, 0, w, h};
  backend_present(&all, 1);
  window->presents++;
  g.dirty = false;
}

void views_stop(void) { g = ViewsState{}; }

// ---------------------------------------------------------------------------------------------
// Public: window

PlatRect plat_screen_application_frame(void) { return {0, 0, kFrameWidth, kFrameHeight}; }

PlatWindow* plat_window_create(void) {
  if (!loop_started()) {
    core_set_error("the platform is not started");
    return nullptr;
  }
  if (g.window) return g.window.get();
  // The largest whole-number scale that fits the screen, so that pictures stay sharp.
  int screen_w = 0, screen_h = 0, scale = 1;
  if (backend_screen_size(&screen_w, &screen_h))
    scale = std::max(1, std::min(screen_w / static_cast<int>(kFrameWidth),
                                 screen_h / static_cast<int>(kFrameHeight)));
  if (!backend_window_open(kWindowTitle, static_cast<int>(kFrameWidth) * scale,
                           static_cast<int>(kFrameHeight) * scale,
                           static_cast<int>(kFrameWidth) / 2, static_cast<int>(kFrameHeight) / 2))
    return nullptr;
  g.window = std::make_unique<PlatWindow>();
  return g.window.get();
}

void plat_window_add_subview(PlatWindow* window, PlatView* view) {
  if (!window || !view) return;
  window->subviews.push_back(view);
  g.dirty = true;
}

void plat_window_make_key_and_visible(PlatWindow* window) {
  if (!window) return;
  backend_window_show();
  window->visible = true;
  g.dirty = true;
}

bool plat_window_is_visible(const PlatWindow* window) { return window && window->visible; }

uint64_t plat_window_presents(const PlatWindow* window) { return window ? window->presents : 0; }

void plat_window_set_size(PlatWindow* window, int width, int height) {
  if (!window) return;
  backend_window_set_size(width, height);
  g.dirty = true;
}

float views_window_scale(void) { return g.window ? window_letterbox().scale : 1; }

float plat_window_scale(const PlatWindow* window) { return window ? views_window_scale() : 1; }

bool plat_window_read_pixels(PlatWindow* window, uint8_t* rgba, size_t size, int* width,
                             int* height) {
  if (!window) return false;
  int w = 0, h = 0;
  backend_output_size(&w, &h);
  if (width) *width = w;
  if (height) *height = h;
  if (!rgba || size < static_cast<size_t>(w) * h * 4) return false;
  draw_window(window);  // drawn afresh and read before any present, whatever the backend
  g.dirty = true;       // the frame being made now differs from the one shown
  return backend_read_pixels(rgba, w, h);
}

// ---------------------------------------------------------------------------------------------
// Public: views

PlatView* plat_view_create(PlatRect frame) {
  g.views.push_back(std::make_unique<PlatView>());
  g.views.back()->frame = frame;
  return g.views.back().get();
}

void plat_view_set_background(PlatView* view, PlatColor color) {
  if (!view) return;
  view->has_background = true;
  view->background = color;
  g.dirty = true;
}

void plat_view_set_picture(PlatView* view, PlatPicture* picture) {
  if (!view || view->picture == picture) return;
  view->picture = picture;
  g.dirty = true;
}

PlatPicture* plat_view_picture(const PlatView* view) { return view ? view->picture : nullptr; }

PlatRect plat_view_frame(const PlatView* view) { return view ? view->frame : PlatRect{0, 0, 0, 0}; }

void plat_view_set_frame(PlatView* view, PlatRect frame) {
  if (!view) return;
  const PlatRect& f = view->frame;
  if (f.x == frame.x && f.y == frame.y && f.w == frame.w && f.h == frame.h) return;
  view->frame = frame;
  g.dirty = true;
}

void plat_view_add_subview(PlatView* parent, PlatView* child) {
  if (!parent || !child || child->parent) return;
  child->parent = parent;
  parent->subviews.push_back(child);
  g.dirty = true;
}

void plat_view_set_touch_handler(PlatView* view, PlatTouchFn fn, void* ctx) {
  if (!view) return;
  view->touch_fn = fn;
  view->touch_ctx = ctx;
}
