// The compositor: which pixels a rectangle covers, and the blend of one pixel over another.
#include "Engine/Platform/Raster.h"

#include <algorithm>
#include <cmath>

// The pixels whose centres lie in [from, from + size), limited to [lo, hi).
struct Span {
  int begin, end;
};

static Span covered(float from, float size, int lo, int hi) {
  int begin = static_cast<int>(std::ceil(from - 0.5f));
  int end = static_cast<int>(std::ceil(from + size - 0.5f));
  return {std::max(begin, lo), std::min(end, hi)};
}

static void blend(uint8_t* d, const uint8_t* s) {
  unsigned a = s[3];
  if (a == 255) {
    d[0] = s[0], d[1] = s[1], d[2] = s[2], d[3] = 255;
    return;
  }
  if (a == 0) return;
  unsigned keep = 255 - a;
  for (int c = 0; c < 3; c++) d[c] = static_cast<uint8_t>((s[c] * a + d[c] * keep + 127) / 255);
  d[3] = static_cast<uint8_t>(a + (d[3] * keep + 127) / 255);
}

static bool spans(const RasterTarget& t, const PlatIRect& clip, const PlatRect& dst, Span* xs,
                  Span* ys) {
  *xs = covered(dst.x, dst.w, std::max(clip.x, 0), std::min(clip.x + clip.w, t.width));
  *ys = covered(dst.y, dst.h, std::max(clip.y, 0), std::min(clip.y + clip.h, t.height));
  return xs->begin < xs->end && ys->begin < ys->end;
}

void raster_fill(const RasterTarget& target, const PlatIRect& clip, const PlatRect& dst,
                 PlatColor color) {
  Span xs, ys;
  if (!spans(target, clip, dst, &xs, &ys)) return;
  const uint8_t s[4] = {color.r, color.g, color.b, color.a};
  for (int y = ys.begin; y < ys.end; y++) {
    uint8_t* row = target.rgba + static_cast<size_t>(y) * target.stride;
    for (int x = xs.begin; x < xs.end; x++) blend(row + 4 * x, s);
  }
}

void raster_blit(const RasterTarget& target, const PlatIRect& clip, const PlatRect& dst,
                 const PlatPixels& picture) {
  Span xs, ys;
  if (picture.width <= 0 || picture.height <= 0 || !spans(target, clip, dst, &xs, &ys)) return;
  // Each target pixel takes the picture pixel under its centre.
  float step_x = picture.width / dst.w, step_y = picture.height / dst.h;
  for (int y = ys.begin; y < ys.end; y++) {
    int sy = std::clamp(static_cast<int>((y + 0.5f - dst.y) * step_y), 0, picture.height - 1);
    const uint8_t* src = picture.rgba.data() + static_cast<size_t>(sy) * picture.width * 4;
    uint8_t* row = target.rgba + static_cast<size_t>(y) * target.stride;
    for (int x = xs.begin; x < xs.end; x++) {
      int sx = std::clamp(static_cast<int>((x + 0.5f - dst.x) * step_x), 0, picture.width - 1);
      blend(row + 4 * x, src + 4 * sx);
    }
  }
}
