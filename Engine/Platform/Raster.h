// A software compositor, for backends that draw into memory rather than through a GPU: filled
// and textured rectangles blended by straight alpha over an RGBA buffer, clipped, with
// nearest-neighbour scaling.
#pragma once

#include <cstddef>
#include <cstdint>

#include "Engine/Platform/Backend.h"

struct RasterTarget {
  uint8_t* rgba;    // RGBA bytes, rows top to bottom
  int width, height;
  size_t stride;    // bytes from one row to the next
};

// A pixel is drawn when its centre lies inside dst; nothing outside the clip or the target.
void raster_fill(const RasterTarget& target, const PlatIRect& clip, const PlatRect& dst,
                 PlatColor color);
void raster_blit(const RasterTarget& target, const PlatIRect& clip, const PlatRect& dst,
                 const PlatPixels& picture);
