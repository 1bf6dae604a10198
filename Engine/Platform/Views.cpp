// The window and the view tree: the views' API, what changed since the last present, and the
// draw walk that turns the tree into rectangles for the backend: the frame letterboxed in the
// window, pictures sharp at whole-number scales and smoothed otherwise, all clipped to the frame.
//
// Only what changed is drawn again. Every change to a view that can be seen records, in frame
// points, where it was and where it is now; a present draws each such rectangle alone (every
// view that meets it, in stacking order, clipped to it) and hands exactly those to the backend
// to show. The first frame, a resize and an expose draw everything.
#include <algorithm>
#include <cmath>
#include <memory>
#include <utility>
#include <vector>

#include "Engine/Limits.h"
#include "Engine/Platform/Core.h"

// ---------------------------------------------------------------------------------------------
// State

static constexpr const char* kWindowTitle = "Soundboard";  // unless the program has a name
static constexpr PlatColor kBars = {0, 0, 0, 255};  // around the frame, where it does not fill
static constexpr float kBarBlurPoints = 24;  // how far the scene's edge is smoothed along it
// The keyboard's focus ring, around a control, outside it: a light band and a dark one beyond,
// so that it shows on any scene.
static constexpr float kRingLightPoints = 2;
static constexpr float kRingDarkPoints = 1;
static constexpr PlatColor kRingLight = {255, 255, 255, 255};
static constexpr PlatColor kRingDark = {16, 16, 24, 255};

namespace {
struct ViewsState {
  std::vector<std::unique_ptr<PlatView>> views;
  std::unique_ptr<PlatWindow> window;
  PlatDamage damage;               // changed since the frame was last drawn
  PlatIRect drawn[kMaxDamage + 1];  // drawn since the last present, in pixels
  int drawn_count = 0;
  int drawn_width = 0, drawn_height = 0;  // the output size the frame was drawn at
  std::vector<PlatDrawRect> rects;  // the draw walk's list, kept so that frames do not allocate
  int opening_width = 0, opening_height = 0;  // the window's when it opens; 0: chosen
  int twin = 0;  // the pictures' twin for the scale last drawn at
};
}  // namespace

static ViewsState g;

// ---------------------------------------------------------------------------------------------
// Geometry

// Where the frame lies in a surface of that size, kept clear of its insets (left, top, right,
// bottom, in the surface's units).
static PlatLetterbox views_letterbox(float width, float height, const float insets[4]) {
  float left = insets[0], top = insets[1];
  float safe_w = width - left - insets[2], safe_h = height - top - insets[3];
  float scale = std::min(safe_w / kFrameWidth, safe_h / kFrameHeight);
  if (!(scale > 0)) return {1, (width - kFrameWidth) / 2, (height - kFrameHeight) / 2};
  return {scale, left + (safe_w - kFrameWidth * scale) / 2, top + (safe_h - kFrameHeight * scale) / 2};
}

// The frame fits the part of the window no notch or rounded corner covers, centred there.
static PlatLetterbox letterbox(int width, int height, float units_per_window_unit) {
  float insets[4] = {0, 0, 0, 0};
  if (g.window) backend_safe_insets(&insets[0], &insets[1], &insets[2], &insets[3]);
  for (float& inset : insets) inset *= units_per_window_unit;
  return views_letterbox(static_cast<float>(width), static_cast<float>(height), insets);
}

static PlatLetterbox window_letterbox() {  // in window units, where touches are
  int w = 0, h = 0;
  if (g.window) backend_window_size(&w, &h);
  return letterbox(w, h, 1);
}

static PlatLetterbox output_letterbox() {  // in the backend's pixels, where drawing is
  int w = 0, h = 0, window_w = 0, window_h = 0;
  if (g.window) {
    backend_output_size(&w, &h);
    backend_window_size(&window_w, &window_h);
  }
  return letterbox(w, h, window_w > 0 ? static_cast<float>(w) / window_w : 1);
}

PlatPoint views_window_to_points(float x, float y) {
  PlatLetterbox box = window_letterbox();
  return {(x - box.x) / box.scale, (y - box.y) / box.scale};
}

static bool rect_contains(const PlatRect& r, PlatPoint p) {
  return p.x >= r.x && p.x < r.x + r.w && p.y >= r.y && p.y < r.y + r.h;
}

static bool rect_empty(const PlatRect& r) { return !(r.w > 0 && r.h > 0); }

// Overlapping or sharing an edge.
static bool rects_meet(const PlatRect& a, const PlatRect& b) {
  return a.x <= b.x + b.w && b.x <= a.x + a.w && a.y <= b.y + b.h && b.y <= a.y + a.h;
}

static PlatRect rect_union(const PlatRect& a, const PlatRect& b) {
  float x0 = std::min(a.x, b.x), y0 = std::min(a.y, b.y);
  float x1 = std::max(a.x + a.w, b.x + b.w), y1 = std::max(a.y + a.h, b.y + b.h);
  return {x0, y0, x1 - x0, y1 - y0};
}

void views_set_opening_size(int width, int height) {
  bool fits = width > 0 && height > 0 && width <= kMaxWindowSide && height <= kMaxWindowSide;
  g.opening_width = fits ? width : 0;
  g.opening_height = fits ? height : 0;
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
// Damage

// Where a view lies in the frame: its frame moved by every parent's origin.
static PlatRect in_frame(const PlatView* view) {
  PlatRect r = view->frame;
  for (const PlatView* p = view->parent; p; p = p->parent) {
    r.x += p->frame.x;
    r.y += p->frame.y;
  }
  return r;
}

static bool seen(const PlatView* view) {
  while (view->parent) view = view->parent;
  return view->in_window;
}

static void damage(PlatRect r) {
  if (g.damage.all || rect_empty(r)) return;
  // Merged with every rectangle it meets, until it meets none; if there is no room left, the
  // whole lot becomes one.
  for (int i = 0; i < g.damage.count;) {
    if (rects_meet(g.damage.rects[i], r)) {
      r = rect_union(r, g.damage.rects[i]);
      g.damage.rects[i] = g.damage.rects[--g.damage.count];
      i = 0;
    } else {
      i++;
    }
  }
  if (g.damage.count == kMaxDamage) {
    for (int i = 0; i < g.damage.count; i++) r = rect_union(r, g.damage.rects[i]);
    g.damage.count = 0;
  }
  g.damage.rects[g.damage.count++] = r;
}

// A view and everything under it, which moves with it.
static void damage_tree(const PlatView* view) {
  damage(in_frame(view));
  for (const PlatView* sub : view->subviews) damage_tree(sub);
}

static void damage_all(void) {
  g.damage.all = true;
  g.damage.count = 0;
}

void core_redraw(void) { damage_all(); }

void views_damage_picture(const PlatPicture* picture) {
  for (const auto& view : g.views) {
    if (view->picture != picture) continue;
    if (picture_here(picture)) view->shown = view->picture;
    if (seen(view.get())) damage(in_frame(view.get()));
  }
}

// Whether a view that can be seen has no picture to show yet, one being on its way: the frame
// is not shown half drawn.
static bool waiting_to_show(const PlatView* view) {
  if (view->picture && !picture_here(view->picture) && !picture_here(view->shown)) return true;
  for (const PlatView* sub : view->subviews)
    if (waiting_to_show(sub)) return true;
  return false;
}

const PlatDamage& views_damage(void) { return g.damage; }

static PlatRect outset(const PlatRect& r, float by) { return {r.x - by, r.y - by, r.w + 2 * by, r.h + 2 * by}; }

// A point more, for the pixels a fractional scale shares with the ring's edge.
void views_damage_ring(PlatRect control) { damage(outset(control, kRingLightPoints + kRingDarkPoints + 1)); }

// ---------------------------------------------------------------------------------------------
// Drawing

// The pixels a rectangle of frame points touches, at least partly.
static PlatIRect to_pixels(const PlatLetterbox& box, const PlatRect& r) {
  int x0 = static_cast<int>(std::floor(box.x + r.x * box.scale));
  int y0 = static_cast<int>(std::floor(box.y + r.y * box.scale));
  int x1 = static_cast<int>(std::ceil(box.x + (r.x + r.w) * box.scale));
  int y1 = static_cast<int>(std::ceil(box.y + (r.y + r.h) * box.scale));
  return {x0, y0, x1 - x0, y1 - y0};
}

// The pixels whose centres lie inside a rectangle of frame points: those the compositor fills.
static PlatIRect centred_pixels(const PlatLetterbox& box, const PlatRect& r) {
  int x0 = static_cast<int>(std::ceil(box.x + r.x * box.scale - 0.5f));
  int y0 = static_cast<int>(std::ceil(box.y + r.y * box.scale - 0.5f));
  int x1 = static_cast<int>(std::ceil(box.x + (r.x + r.w) * box.scale - 0.5f));
  int y1 = static_cast<int>(std::ceil(box.y + (r.y + r.h) * box.scale - 0.5f));
  return {x0, y0, x1 - x0, y1 - y0};
}

static PlatIRect intersect(const PlatIRect& a, const PlatIRect& b) {
  int x0 = std::max(a.x, b.x), y0 = std::max(a.y, b.y);
  int x1 = std::min(a.x + a.w, b.x + b.w), y1 = std::min(a.y + a.h, b.y + b.h);
  return {x0, y0, std::max(x1 - x0, 0), std::max(y1 - y0, 0)};
}

// Appends what the view and its subviews draw, in order; only views that meet `area` (in frame
// points), since the rest could not change a pixel there.
static void collect(const PlatLetterbox& box, const PlatView* view, float origin_x, float origin_y,
                    const PlatRect& area) {
  float x = origin_x + view->frame.x;
  float y = origin_y + view->frame.y;
  PlatRect here{x, y, view->frame.w, view->frame.h};
  if (!rect_empty(here) && rects_meet(here, area)) {
    PlatRect dst{box.x + x * box.scale, box.y + y * box.scale, view->frame.w * box.scale,
                 view->frame.h * box.scale};
    if (view->has_background) g.rects.push_back({nullptr, view->background, dst});
    PlatPicture* picture = view->picture && !picture_here(view->picture) ? view->shown : view->picture;
    if (picture)
      if (PlatTexture* texture = pictures_texture(picture))
        g.rects.push_back({texture, {255, 255, 255, 255}, dst});
  }
  for (const PlatView* sub : view->subviews) collect(box, sub, x, y, area);
}

// The focus ring over what was just drawn in `clip`: four sides of each band, light inside.
static void draw_ring(const PlatLetterbox& box, const PlatRect& control, const PlatIRect& clip) {
  if (clip.w <= 0 || clip.h <= 0) return;
  PlatDrawRect sides[8];
  int n = 0;
  float inner = 0;
  for (auto [width, color] : {std::pair{kRingLightPoints, kRingLight}, std::pair{kRingDarkPoints, kRingDark}}) {
    PlatRect in = outset(control, inner), out = outset(control, inner + width);
    PlatRect bands[4] = {{out.x, out.y, out.w, in.y - out.y},                   // above
                         {out.x, in.y + in.h, out.w, out.y + out.h - in.y - in.h},  // below
                         {out.x, in.y, in.x - out.x, in.h},                     // left
                         {in.x + in.w, in.y, out.x + out.w - in.x - in.w, in.h}};  // right
    for (const PlatRect& b : bands)
      sides[n++] = {nullptr, color, {box.x + b.x * box.scale, box.y + b.y * box.scale, b.w * box.scale, b.h * box.scale}};
    inner += width;
  }
  PlatDrawList list{clip, false, sides, n};
  backend_draw(&list);
}

static void note_drawn(const PlatIRect& r) {
  if (g.drawn_count <= kMaxDamage) g.drawn[g.drawn_count++] = r;
}

// The bars that show the frame's edge where `clip`, just drawn, meets it: each bar beside the
// part of the edge that changed, widened by the blur along the edge, and to the window's
// corner where the blur reaches the frame's corner. `frame`: the pixels the frame fills whole.
static void continue_edges(const PlatIRect& output, const PlatIRect& frame, const PlatIRect& clip,
                           int blur) {
  int right = frame.x + frame.w, bottom = frame.y + frame.h;
  int from_x = clip.x - blur <= frame.x ? 0 : clip.x - blur;
  int to_x = clip.x + clip.w + blur >= right ? output.w : clip.x + clip.w + blur;
  int from_y = clip.y - blur, to_y = clip.y + clip.h + blur;
  PlatIRect bars[4];
  int n = 0;
  if (clip.y <= frame.y) bars[n++] = {from_x, 0, to_x - from_x, frame.y};
  if (clip.y + clip.h >= bottom) bars[n++] = {from_x, bottom, to_x - from_x, output.h - bottom};
  if (clip.x <= frame.x) bars[n++] = {0, from_y, frame.x, to_y - from_y};
  if (clip.x + clip.w >= right) bars[n++] = {right, from_y, output.w - right, to_y - from_y};
  for (int i = 0; i < n; i++) {
    PlatIRect bar = intersect(output, bars[i]);
    if (bar.w <= 0 || bar.h <= 0) continue;
    backend_draw_edges(&frame, &bar, blur);
    note_drawn(bar);
  }
}

// Draws again, into the backend's frame, every part of the window that changed.
static void draw_damage(const PlatWindow* window) {
  int w = 0, h = 0;
  backend_output_size(&w, &h);
  if (w != g.drawn_width || h != g.drawn_height) damage_all();  // the backend's frame is new
  if (!g.damage.all && g.damage.count == 0) return;
  PlatLetterbox box = output_letterbox();
  int twin = std::clamp(static_cast<int>(box.scale), 1, kSharpestTwin);
  if (twin != g.twin) {  // sharper or softer twins for the new scale, before drawing with them
    g.twin = twin;
    pictures_rescale();
  }
  PlatIRect output{0, 0, w, h};
  PlatIRect frame = intersect(output, to_pixels(box, {0, 0, kFrameWidth, kFrameHeight}));
  // Whole-number scales keep every picture pixel square and sharp; others are smoothed.
  bool smooth = std::floor(box.scale) != box.scale;
  bool scene = window->bars == kPlatBarsScene;
  int blur = static_cast<int>(kBarBlurPoints * box.scale + 0.5f);
  // The bars continue the outermost pixels the frame fills whole: at a fractional scale its
  // rectangle of pixels has a half-covered row or column at each edge, not the scene's.
  PlatIRect filled = intersect(output, centred_pixels(box, {0, 0, kFrameWidth, kFrameHeight}));
  auto draw = [&](const PlatIRect& clip, const PlatRect& area) {
    g.rects.clear();
    for (const PlatView* view : window->subviews) collect(box, view, 0, 0, area);
    PlatDrawList list{clip, smooth, g.rects.data(), static_cast<int>(g.rects.size())};
    backend_draw(&list);
  };
  if (g.damage.all) {
    PlatDrawRect bars{nullptr, kBars, {0, 0, static_cast<float>(w), static_cast<float>(h)}};
    PlatDrawList whole{output, false, &bars, 1};
    backend_draw(&whole);
    draw(frame, {0, 0, kFrameWidth, kFrameHeight});
    if (scene) backend_draw_edges(&filled, &output, blur);
    g.drawn_count = 0;
    note_drawn(output);
  } else {
    for (int i = 0; i < g.damage.count; i++) {
      PlatIRect clip = intersect(frame, to_pixels(box, g.damage.rects[i]));
      if (clip.w <= 0 || clip.h <= 0) continue;
      // Every view that meets the pixels, not only the points: at a fractional scale a pixel
      // is shared by views on either side of an edge.
      PlatRect area{(clip.x - box.x) / box.scale, (clip.y - box.y) / box.scale,
                    clip.w / box.scale, clip.h / box.scale};
      draw(clip, area);
      note_drawn(clip);
      if (scene) continue_edges(output, filled, clip, blur);
    }
  }
  if (g.drawn_count > kMaxDamage) {  // too many to show apart: show the whole window
    g.drawn_count = 0;
    note_drawn(output);
  }
  // The ring last, over the frame and never on its outermost pixels, which the bars continue.
  PlatRect control;
  if (elements_ring(&control)) {
    PlatIRect inside{filled.x + 1, filled.y + 1, filled.w - 2, filled.h - 2};
    for (int i = 0; i < g.drawn_count; i++) draw_ring(box, control, intersect(inside, g.drawn[i]));
  }
  g.damage = PlatDamage{false, {}, 0};
  g.drawn_width = w;
  g.drawn_height = h;
}

void views_present_if_dirty(void) {
  PlatWindow* window = g.window.get();
  if (!window || !window->visible) return;
  if (pictures_waiting())
    for (const PlatView* view : window->subviews)
      if (waiting_to_show(view)) return;
  draw_damage(window);
  if (g.drawn_count == 0) return;
  backend_present(g.drawn, g.drawn_count);
  window->presents++;
  g.drawn_count = 0;
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
  // The size the program asked for, else the largest whole-number scale that fits the screen,
  // so that pictures stay sharp.
  int width = g.opening_width, height = g.opening_height;
  if (!width || !height) {
    int screen_w = 0, screen_h = 0, scale = 1;
    if (backend_screen_size(&screen_w, &screen_h))
      scale = std::max(1, std::min(screen_w / kFrameWidth, screen_h / kFrameHeight));
    width = kFrameWidth * scale;
    height = kFrameHeight * scale;
  }
  const char* title = *loop_program_name() ? loop_program_name() : kWindowTitle;
  if (!backend_window_open(title, width, height, kFrameWidth / 2, kFrameHeight / 2)) return nullptr;
  g.window = std::make_unique<PlatWindow>();
  PlatPixels icon;
  std::string path = paths_in_bundle(kWindowIcon);
  if (!path.empty() && backend_decode_picture(path.c_str(), &icon)) backend_window_set_icon(&icon);
  return g.window.get();
}

void plat_window_add_subview(PlatWindow* window, PlatView* view) {
  if (!window || !view || view->parent || view->in_window) return;
  window->subviews.push_back(view);
  view->in_window = true;
  damage_tree(view);
}

void plat_window_make_key_and_visible(PlatWindow* window) {
  if (!window) return;
  backend_window_show();
  window->visible = true;
  damage_all();
}

bool plat_window_is_visible(const PlatWindow* window) { return window && window->visible; }

uint64_t plat_window_presents(const PlatWindow* window) { return window ? window->presents : 0; }

void plat_window_set_size(PlatWindow* window, int width, int height) {
  if (!window || width < 1 || height < 1 || width > kMaxWindowSide || height > kMaxWindowSide) return;
  backend_window_set_size(width, height);
  damage_all();
}

// Pixels per point as drawn: on a high-density screen the window's units are not its pixels.
float views_window_scale(void) { return g.window ? output_letterbox().scale : 1; }

float core_window_scale(void) { return views_window_scale(); }

void plat_window_set_bars(PlatWindow* window, PlatBars bars) {
  if (!window || window->bars == bars) return;
  window->bars = bars;
  damage_all();
}

float plat_window_scale(const PlatWindow* window) { return window ? views_window_scale() : 1; }

bool plat_window_read_pixels(PlatWindow* window, uint8_t* rgba, size_t size, int* width,
                             int* height) {
  if (!window) return false;
  int w = 0, h = 0;
  backend_output_size(&w, &h);
  if (width) *width = w;
  if (height) *height = h;
  if (!rgba || size < static_cast<size_t>(w) * h * 4) return false;
  draw_damage(window);  // brought up to date; shown at the next present
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
  if (seen(view)) damage(in_frame(view));
}

void plat_view_set_picture(PlatView* view, PlatPicture* picture) {
  if (!view || view->picture == picture) return;
  view->picture = picture;
  if (picture_here(picture)) view->shown = picture;
  if (seen(view)) damage(in_frame(view));
}

PlatPicture* plat_view_picture(const PlatView* view) { return view ? view->picture : nullptr; }

PlatRect plat_view_frame(const PlatView* view) { return view ? view->frame : PlatRect{0, 0, 0, 0}; }

void plat_view_set_frame(PlatView* view, PlatRect frame) {
  if (!view) return;
  const PlatRect& f = view->frame;
  if (f.x == frame.x && f.y == frame.y && f.w == frame.w && f.h == frame.h) return;
  bool shown = seen(view);
  if (shown) damage_tree(view);  // where it was
  view->frame = frame;
  if (shown) damage_tree(view);  // and where it is now
}

void plat_view_add_subview(PlatView* parent, PlatView* child) {
  if (!parent || !child || child == parent || child->parent || child->in_window) return;
  for (const PlatView* p = parent; p; p = p->parent)
    if (p == child) return;  // a view cannot hold its own ancestor
  child->parent = parent;
  parent->subviews.push_back(child);
  if (seen(child)) damage_tree(child);
}

void plat_view_set_touch_handler(PlatView* view, PlatTouchFn fn, void* ctx) {
  if (!view) return;
  view->touch_fn = fn;
  view->touch_ctx = ctx;
}
