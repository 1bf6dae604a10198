// A small anti-aliased drawing surface for the generator's pictures. Coordinates are in points;
// the canvas holds `scale` pixels per point, so the same drawing code makes the 1x picture
// and its sharper @2x twin. Colours are straight (not premultiplied) RGBA from 0 to 1.
#pragma once

#include <SDL_ttf.h>

#include <string>
#include <vector>

struct Rgba {
  float r, g, b, a;
};

Rgba Hex(unsigned rgb, float alpha = 1);       // 0xRRGGBB
Rgba Mix(Rgba from, Rgba to, float t);         // t = 0: from, t = 1: to
Rgba Shade(Rgba c, float amount);              // > 0 towards white, < 0 towards black
Rgba WithAlpha(Rgba c, float alpha);

// A vertical gradient, the fill of every shape: top colour at y0, bottom colour at y1.
struct Fill {
  Rgba top, bottom;
  float y0, y1;
  Rgba At(float y) const;
};
Fill Solid(Rgba c);
Fill Gradient(Rgba top, Rgba bottom, float y0, float y1);

// A font at a size in points, opened for one canvas scale.
class Font {
 public:
  Font(const std::string& path, float size_pt, int scale);
  ~Font();
  Font(const Font&) = delete;
  Font& operator=(const Font&) = delete;
  bool ok() const { return font_ != nullptr; }
  float Width(const char* text) const;  // in points
  float Height() const;                 // line height in points
  float Ascent() const;
  TTF_Font* ttf() const { return font_; }
  int scale() const { return scale_; }

 private:
  TTF_Font* font_ = nullptr;
  int scale_ = 1;
};

class Canvas {
 public:
  Canvas(int width_pt, int height_pt, int scale);

  int scale() const { return scale_; }
  float width() const { return static_cast<float>(w_) / scale_; }
  float height() const { return static_cast<float>(h_) / scale_; }

  void FillRect(float x, float y, float w, float h, const Fill& fill);
  void FillRoundRect(float x, float y, float w, float h, float radius, const Fill& fill);
  void StrokeRoundRect(float x, float y, float w, float h, float radius, float line, Rgba c);
  void FillEllipse(float cx, float cy, float rx, float ry, const Fill& fill);
  // A soft round glow: full colour at the centre fading to nothing at `radius`.
  void Glow(float cx, float cy, float radius, Rgba c);
  // Everything below the curve y = top(x), from x0 to x1, with an anti-aliased upper edge.
  template <class Curve>
  void FillBelow(float x0, float x1, Curve top, const Fill& fill);
  // Text with its top-left corner at (x, y). With outline > 0 the glyphs are thickened by that
  // much: drawn first, in a dark colour, under the plain text, they outline it.
  void Text(const Font& font, const char* text, float x, float y, const Fill& fill,
            float outline = 0);

  // An RGBA picture of w x h pixels with its top-left pixel at (px, py), in canvas pixels,
  // blended by its alpha.
  void Picture(int px, int py, int w, int h, const uint8_t* rgba);

  bool SavePng(const std::string& path, std::string* why = nullptr) const;

 private:
  template <class Distance>
  void FillShape(float x0, float y0, float x1, float y1, Distance distance, const Fill& fill);
  void Blend(int px, int py, Rgba c, float coverage);

  int w_, h_, scale_;
  std::vector<Rgba> pixels_;
};

template <class Curve>
void Canvas::FillBelow(float x0, float x1, Curve top, const Fill& fill) {
  int px0 = static_cast<int>(x0 * scale_), px1 = static_cast<int>(x1 * scale_);
  for (int px = px0 < 0 ? 0 : px0; px < px1 && px < w_; px++) {
    float edge = top((px + 0.5f) / scale_) * scale_;  // the curve, in pixels
    for (int py = edge < 1 ? 0 : static_cast<int>(edge) - 1; py < h_; py++) {
      float coverage = py + 1 - edge;  // how much of this pixel lies below the edge
      if (coverage <= 0) continue;
      Blend(px, py, fill.At((py + 0.5f) / scale_), coverage > 1 ? 1 : coverage);
    }
  }
}
