// The compositor: which pixels a rectangle covers, how a picture is sampled there, and how one
// pixel is blended over another.
//
// A pixel is covered when its centre lies inside the rectangle, so that two rectangles sharing
// an edge never both draw a pixel and a rectangle covers the same pixels however it is split
// into clips: a damaged part redrawn alone comes out exactly as in a whole redraw.
#include "Engine/Platform/Raster.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <vector>

#include "Engine/Limits.h"

static constexpr float kEdgeFade = 0.35f;  // how much darker the bars are at their far side

// ---------------------------------------------------------------------------------------------
// Coverage and blending

namespace {
struct Span {
  int begin, end;
};
}  // namespace

static Span covered(float from, float size, int lo, int hi) {
  int begin = static_cast<int>(std::ceil(from - 0.5f));
  int end = static_cast<int>(std::ceil(from + size - 0.5f));
  return {std::max(begin, lo), std::min(end, hi)};
}

static bool spans(const RasterFrame& f, const PlatIRect& clip, const PlatRect& dst, Span* xs,
                  Span* ys) {
  *xs = covered(dst.x, dst.w, std::max(clip.x, 0), std::min(clip.x + clip.w, f.width));
  *ys = covered(dst.y, dst.h, std::max(clip.y, 0), std::min(clip.y + clip.h, f.height));
  return xs->begin < xs->end && ys->begin < ys->end;
}

// Straight alpha over the frame, which is opaque and stays so: d + (s - d) * a / 256, as SDL's
// own blitter does.
static void blend(uint8_t* d, const uint8_t* s) {
  int a = s[3];
  if (a == 255) {
    d[0] = s[0], d[1] = s[1], d[2] = s[2];
    return;
  }
  if (a == 0) return;
  for (int c = 0; c < 3; c++) d[c] = static_cast<uint8_t>(d[c] + (((s[c] - d[c]) * a) >> 8));
}

// ---------------------------------------------------------------------------------------------
// Drawing

static void fill(RasterFrame* f, const PlatIRect& clip, const PlatRect& dst, PlatColor color) {
  Span xs, ys;
  if (!spans(*f, clip, dst, &xs, &ys)) return;
  const uint8_t s[4] = {color.r, color.g, color.b, color.a};
  for (int y = ys.begin; y < ys.end; y++) {
    uint8_t* row = f->rgba.data() + (static_cast<size_t>(y) * f->width) * 4;
    for (int x = xs.begin; x < xs.end; x++) blend(row + 4 * x, s);
  }
}

// Each pixel takes the picture pixel under its centre.
static void blit_nearest(RasterFrame* f, const PlatIRect& clip, const PlatRect& dst,
                         const PlatPixels& p) {
  Span xs, ys;
  if (!spans(*f, clip, dst, &xs, &ys)) return;
  float step_x = p.width / dst.w, step_y = p.height / dst.h;
  for (int y = ys.begin; y < ys.end; y++) {
    int sy = std::clamp(static_cast<int>((y + 0.5f - dst.y) * step_y), 0, p.height - 1);
    const uint8_t* src = p.rgba.data() + static_cast<size_t>(sy) * p.width * 4;
    uint8_t* row = f->rgba.data() + (static_cast<size_t>(y) * f->width) * 4;
    for (int x = xs.begin; x < xs.end; x++) {
      int sx = std::clamp(static_cast<int>((x + 0.5f - dst.x) * step_x), 0, p.width - 1);
      blend(row + 4 * x, src + 4 * sx);
    }
  }
}

// Where a pixel centre falls between two picture pixels: the first, and the weight of the
// second in 256ths; held at the picture's edges, so that it never fades into its surroundings.
namespace {
struct Tap {
  int first, second, weight;
};
}  // namespace

static Tap tap(int pixel, float origin, float step, int size) {
  float at = (pixel + 0.5f - origin) * step - 0.5f;
  int first = static_cast<int>(std::floor(at));
  int weight = static_cast<int>((at - first) * 256);
  return {std::clamp(first, 0, size - 1), std::clamp(first + 1, 0, size - 1), weight};
}

// Four picture pixels mixed by their weights (in 65536ths). Where all four are opaque, as in
// most of a picture, the colours mix directly; elsewhere in premultiplied form, so that a
// transparent pixel's colour never bleeds into its neighbours.
static void mix(const uint8_t* const q[4], const int w[4], uint8_t* out) {
  if ((q[0][3] & q[1][3] & q[2][3] & q[3][3]) == 255) {
    for (int c = 0; c < 3; c++)
      out[c] = static_cast<uint8_t>(
          (w[0] * q[0][c] + w[1] * q[1][c] + w[2] * q[2][c] + w[3] * q[3][c] + 32768) >> 16);
    out[3] = 255;
    return;
  }
  int64_t sum[4] = {0, 0, 0, 0};
  for (int k = 0; k < 4; k++) {
    int64_t wa = static_cast<int64_t>(w[k]) * q[k][3];
    for (int c = 0; c < 3; c++) sum[c] += wa * q[k][c];
    sum[3] += wa;
  }
  out[3] = static_cast<uint8_t>((sum[3] + 32768) >> 16);
  for (int c = 0; c < 3; c++)
    out[c] = sum[3] > 0 ? static_cast<uint8_t>((sum[c] + sum[3] / 2) / sum[3]) : 0;
}

static void blit_smooth(RasterFrame* f, const PlatIRect& clip, const PlatRect& dst,
                        const PlatPixels& p) {
  Span xs, ys;
  if (!spans(*f, clip, dst, &xs, &ys)) return;
  float step_x = p.width / dst.w, step_y = p.height / dst.h;
  // The columns' taps, the same on every row; kept between calls so that frames do not allocate.
  static std::vector<Tap> columns;
  columns.resize(static_cast<size_t>(xs.end - xs.begin));
  for (int x = xs.begin; x < xs.end; x++) columns[x - xs.begin] = tap(x, dst.x, step_x, p.width);
  const uint8_t* pixels = p.rgba.data();
  for (int y = ys.begin; y < ys.end; y++) {
    Tap ty = tap(y, dst.y, step_y, p.height);
    const uint8_t* top = pixels + static_cast<size_t>(ty.first) * p.width * 4;
    const uint8_t* bottom = pixels + static_cast<size_t>(ty.second) * p.width * 4;
    uint8_t* row = f->rgba.data() + (static_cast<size_t>(y) * f->width) * 4;
    for (int x = xs.begin; x < xs.end; x++) {
      const Tap& tx = columns[x - xs.begin];
      const uint8_t* q[4] = {top + 4 * tx.first, top + 4 * tx.second, bottom + 4 * tx.first,
                             bottom + 4 * tx.second};
      int w[4] = {(256 - tx.weight) * (256 - ty.weight), tx.weight * (256 - ty.weight),
                  (256 - tx.weight) * ty.weight, tx.weight * ty.weight};
      uint8_t s[4];
      mix(q, w, s);
      blend(row + 4 * x, s);
    }
  }
}

bool raster_resize(RasterFrame* frame, int width, int height) {
  *frame = RasterFrame{};
  width = std::max(width, 0);
  height = std::max(height, 0);
  if (width > kMaxWindowSide || height > kMaxWindowSide) return false;
  size_t pixels = static_cast<size_t>(width) * height;
  try {
    frame->rgba.resize(pixels * 4);
  } catch (const std::bad_alloc&) {
    return false;
  }
  frame->width = width;
  frame->height = height;
  // Opaque black, by copies of what is filled so far, each twice the last: a few large copies
  // rather than a pass a pixel at a time (a phone's whole screen is megabytes).
  uint8_t* rgba = frame->rgba.data();
  static constexpr uint8_t kOpaqueBlack[4] = {0, 0, 0, 255};
  if (pixels > 0) memcpy(rgba, kOpaqueBlack, 4);
  for (size_t done = 1; done < pixels; done *= 2) memcpy(rgba + done * 4, rgba, std::min(done, pixels - done) * 4);
  return true;
}

void raster_draw(RasterFrame* frame, const PlatDrawList& list) {
  for (int i = 0; i < list.count; i++) {
    const PlatDrawRect& r = list.rects[i];
    if (!r.texture)
      fill(frame, list.clip, r.dst, r.color);
    else if (r.texture->pixels->width > 0 && r.texture->pixels->height > 0)
      (list.smooth ? blit_smooth : blit_nearest)(frame, list.clip, r.dst, *r.texture->pixels);
  }
}

bool raster_read(const RasterFrame& frame, uint8_t* rgba, int width, int height) {
  if (width != frame.width || height != frame.height || frame.rgba.empty()) return false;
  memcpy(rgba, frame.rgba.data(), frame.rgba.size());
  return true;
}

void raster_continue_edges(RasterFrame* f, const PlatIRect& frame, const PlatIRect& area, int blur) {
  int right = frame.x + frame.w, bottom = frame.y + frame.h;
  int x0 = std::max(area.x, 0), y0 = std::max(area.y, 0);
  int x1 = std::min(area.x + area.w, f->width), y1 = std::min(area.y + area.h, f->height);
  if (frame.w <= 0 || frame.h <= 0 || x0 >= x1 || y0 >= y1) return;
  // Each edge of the frame as one line of pixels blurred along the edge (a box blur of half the
  // radius, twice: a soft bell, with no band where a star or a button's corner was).
  auto edge = [f, blur](int x, int y, int dx, int dy, int n) {
    std::vector<int> line(static_cast<size_t>(n) * 3), sums(static_cast<size_t>(n + 1) * 3);
    for (int i = 0; i < n; i++) {
      const uint8_t* p = &f->rgba[(static_cast<size_t>(y + i * dy) * f->width + x + i * dx) * 4];
      for (int c = 0; c < 3; c++) line[i * 3 + c] = p[c];
    }
    int half = std::max(1, blur / 2);
    for (int pass = 0; pass < 2; pass++) {
      for (int i = 0; i < n; i++)
        for (int c = 0; c < 3; c++) sums[(i + 1) * 3 + c] = sums[i * 3 + c] + line[i * 3 + c];
      for (int i = 0; i < n; i++) {
        int a = std::max(0, i - half), b = std::min(n, i + half + 1);
        for (int c = 0; c < 3; c++) line[i * 3 + c] = (sums[b * 3 + c] - sums[a * 3 + c]) / (b - a);
      }
    }
    return line;
  };
  std::vector<int> top = edge(frame.x, frame.y, 1, 0, frame.w);
  std::vector<int> low = edge(frame.x, bottom - 1, 1, 0, frame.w);
  std::vector<int> left = edge(frame.x, frame.y, 0, 1, frame.h);
  std::vector<int> high = edge(right - 1, frame.y, 0, 1, frame.h);
  // Darker away from the frame, so that the scene seems to go on in the dark.
  float fade_length = std::max(frame.w, frame.h) / 3.0f;
  for (int y = y0; y < y1; y++) {
    uint8_t* row = f->rgba.data() + static_cast<size_t>(y) * f->width * 4;
    for (int x = x0; x < x1; x++) {
      if (x >= frame.x && x < right && y >= frame.y && y < bottom) continue;
      int cx = std::clamp(x, frame.x, right - 1) - frame.x;
      int cy = std::clamp(y, frame.y, bottom - 1) - frame.y;
      const int* s = y < frame.y ? &top[cx * 3] : y >= bottom ? &low[cx * 3]
                       : x < frame.x ? &left[cy * 3] : &high[cy * 3];
      int away = std::max({frame.x - x, x - right + 1, frame.y - y, y - bottom + 1});
      float k = 1 - kEdgeFade * std::min(1.0f, away / fade_length);
      for (int c = 0; c < 3; c++) row[4 * x + c] = static_cast<uint8_t>(s[c] * k);
      row[4 * x + 3] = 255;
    }
  }
}
