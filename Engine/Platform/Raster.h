// The software compositor, for backends that draw into memory rather than through a GPU (SDL's
// window surface, the null backend): a frame of RGBA pixels, and the core's draw lists run
// over it, filled and textured rectangles blended by alpha and clipped, pictures scaled by the
// nearest pixel or smoothly (bilinear) as the list asks.
#pragma once

#include <cstdint>
#include <vector>

#include "Engine/Platform/Backend.h"

// A software backend's texture is the core's own pixels, which outlive it: nothing is copied.
struct PlatTexture {
  const PlatPixels* pixels;
};

struct RasterFrame {
  int width = 0, height = 0;
  std::vector<uint8_t> rgba;  // rows top to bottom
};

// Black at the new size, dropping what was drawn; false, with no frame at all, for a side past
// kMaxWindowSide or when the memory is not there.
bool raster_resize(RasterFrame* frame, int width, int height);
void raster_draw(RasterFrame* frame, const PlatDrawList& list);
bool raster_read(const RasterFrame& frame, uint8_t* rgba, int width, int height);

// The pixels of `area` outside `frame` made the frame's edges continued: each the nearest edge
// pixel, averaged along the edge over `blur` pixels either way, darkening away from the frame.
void raster_continue_edges(RasterFrame* frame_buffer, const PlatIRect& frame, const PlatIRect& area,
                           int blur);
