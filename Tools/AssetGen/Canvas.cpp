// The generator's drawing surface: shapes by signed distance, text through SDL_ttf.
#include "Tools/AssetGen/Canvas.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "Tools/Media/Media.h"

// ---------------------------------------------------------------------------------------------
// Colours

Rgba Hex(unsigned rgb, float alpha) {
  return {((rgb >> 16) & 255) / 255.0f, ((rgb >> 8) & 255) / 255.0f, (rgb & 255) / 255.0f, alpha};
}

Rgba Mix(Rgba from, Rgba to, float t) {
  return {from.r + (to.r - from.r) * t, from.g + (to.g - from.g) * t,
          from.b + (to.b - from.b) * t, from.a + (to.a - from.a) * t};
}

Rgba Shade(Rgba c, float amount) {
  Rgba target = amount > 0 ? Rgba{1, 1, 1, c.a} : Rgba{0, 0, 0, c.a};
  return Mix(c, target, std::fabs(amount));
}

Rgba WithAlpha(Rgba c, float alpha) { return {c.r, c.g, c.b, alpha}; }

Rgba Fill::At(float y) const {
  if (y1 <= y0) return top;
  return Mix(top, bottom, std::clamp((y - y0) / (y1 - y0), 0.0f, 1.0f));
}

Fill Solid(Rgba c) { return {c, c, 0, 0}; }

Fill Gradient(Rgba top, Rgba bottom, float y0, float y1) { return {top, bottom, y0, y1}; }

// ---------------------------------------------------------------------------------------------
// Fonts

Font::Font(const std::string& path, float size_pt, int scale)
    : font_(TTF_OpenFont(path.c_str(), static_cast<int>(std::lround(size_pt * scale)))),
      scale_(scale) {}

Font::~Font() {
  if (font_) TTF_CloseFont(font_);
}

float Font::Width(const char* text) const {
  int w = 0, h = 0;
  if (font_) TTF_SizeUTF8(font_, text, &w, &h);
  return static_cast<float>(w) / scale_;
}

float Font::Height() const { return font_ ? static_cast<float>(TTF_FontHeight(font_)) / scale_ : 0; }

float Font::Ascent() const { return font_ ? static_cast<float>(TTF_FontAscent(font_)) / scale_ : 0; }

// ---------------------------------------------------------------------------------------------
// Canvas

Canvas::Canvas(int width_pt, int height_pt, int scale)
    : w_(width_pt * scale), h_(height_pt * scale), scale_(scale),
      pixels_(static_cast<size_t>(w_) * h_, Rgba{0, 0, 0, 0}) {}

void Canvas::Blend(int px, int py, Rgba c, float coverage) {
  if (px < 0 || py < 0 || px >= w_ || py >= h_) return;
  Rgba& d = pixels_[static_cast<size_t>(py) * w_ + px];
  float a = c.a * coverage;
  float out = a + d.a * (1 - a);
  if (out <= 0) return;
  d.r = (c.r * a + d.r * d.a * (1 - a)) / out;
  d.g = (c.g * a + d.g * d.a * (1 - a)) / out;
  d.b = (c.b * a + d.b * d.a * (1 - a)) / out;
  d.a = out;
}

// Every pixel of the box whose centre lies inside the shape, with coverage from the signed
// distance (in points, negative inside) so that edges are smooth at any scale.
template <class Distance>
void Canvas::FillShape(float x0, float y0, float x1, float y1, Distance distance, const Fill& fill) {
  int px0 = std::max(0, static_cast<int>(std::floor(x0 * scale_)) - 1);
  int py0 = std::max(0, static_cast<int>(std::floor(y0 * scale_)) - 1);
  int px1 = std::min(w_, static_cast<int>(std::ceil(x1 * scale_)) + 1);
  int py1 = std::min(h_, static_cast<int>(std::ceil(y1 * scale_)) + 1);
  for (int py = py0; py < py1; py++) {
    float y = (py + 0.5f) / scale_;
    Rgba c = fill.At(y);
    for (int px = px0; px < px1; px++) {
      float d = distance((px + 0.5f) / scale_, y) * scale_;
      float coverage = std::clamp(0.5f - d, 0.0f, 1.0f);
      if (coverage > 0) Blend(px, py, c, coverage);
    }
  }
}

static float RoundRectDistance(float px, float py, float x, float y, float w, float h, float r) {
  float cx = x + w / 2, cy = y + h / 2;
  float qx = std::fabs(px - cx) - (w / 2 - r), qy = std::fabs(py - cy) - (h / 2 - r);
  float outside = std::hypot(std::max(qx, 0.0f), std::max(qy, 0.0f));
  return outside + std::min(std::max(qx, qy), 0.0f) - r;
}

void Canvas::FillRect(float x, float y, float w, float h, const Fill& fill) {
  FillRoundRect(x, y, w, h, 0, fill);
}

void Canvas::FillRoundRect(float x, float y, float w, float h, float radius, const Fill& fill) {
  float r = std::min({radius, w / 2, h / 2});
  FillShape(x, y, x + w, y + h,
            [=](float px, float py) { return RoundRectDistance(px, py, x, y, w, h, r); }, fill);
}

void Canvas::StrokeRoundRect(float x, float y, float w, float h, float radius, float line, Rgba c) {
  float r = std::min({radius, w / 2, h / 2});
  FillShape(x - line, y - line, x + w + line, y + h + line,
            [=](float px, float py) {
              // The ring of `line` width centred on the rectangle's edge.
              return std::fabs(RoundRectDistance(px, py, x, y, w, h, r)) - line / 2;
            },
            Solid(c));
}

void Canvas::FillEllipse(float cx, float cy, float rx, float ry, const Fill& fill) {
  FillShape(cx - rx, cy - ry, cx + rx, cy + ry,
            [=](float px, float py) {
              float k = std::hypot((px - cx) / rx, (py - cy) / ry);
              return (k - 1) * std::min(rx, ry);
            },
            fill);
}

void Canvas::Glow(float cx, float cy, float radius, Rgba c) {
  int px0 = std::max(0, static_cast<int>((cx - radius) * scale_));
  int py0 = std::max(0, static_cast<int>((cy - radius) * scale_));
  int px1 = std::min(w_, static_cast<int>((cx + radius) * scale_) + 1);
  int py1 = std::min(h_, static_cast<int>((cy + radius) * scale_) + 1);
  for (int py = py0; py < py1; py++)
    for (int px = px0; px < px1; px++) {
      float d = std::hypot((px + 0.5f) / scale_ - cx, (py + 0.5f) / scale_ - cy) / radius;
      if (d < 1) Blend(px, py, c, (1 - d) * (1 - d));
    }
}

void Canvas::Text(const Font& font, const char* text, float x, float y, const Fill& fill,
                  float outline) {
  if (!font.ok() || !*text) return;
  int ring = static_cast<int>(std::lround(outline * scale_));
  TTF_SetFontOutline(font.ttf(), ring);
  SDL_Surface* glyphs = TTF_RenderUTF8_Blended(font.ttf(), text, SDL_Color{255, 255, 255, 255});
  TTF_SetFontOutline(font.ttf(), 0);
  if (!glyphs) return;
  SDL_Surface* argb = SDL_ConvertSurfaceFormat(glyphs, SDL_PIXELFORMAT_ARGB8888, 0);
  SDL_FreeSurface(glyphs);
  if (!argb) return;
  // An outlined rendering is larger by the ring on every side; keep the glyphs in place.
  int left = static_cast<int>(std::lround(x * scale_)) - ring;
  int top = static_cast<int>(std::lround(y * scale_)) - ring;
  for (int row = 0; row < argb->h; row++) {
    const uint32_t* line =
        reinterpret_cast<const uint32_t*>(static_cast<const uint8_t*>(argb->pixels) + row * argb->pitch);
    Rgba c = fill.At((top + row + 0.5f) / scale_);
    for (int col = 0; col < argb->w; col++) {
      float alpha = static_cast<float>(line[col] >> 24) / 255.0f;
      if (alpha > 0) Blend(left + col, top + row, c, alpha);
    }
  }
  SDL_FreeSurface(argb);
}

void Canvas::Picture(int px, int py, int w, int h, const uint8_t* rgba) {
  for (int y = 0; y < h; y++)
    for (int x = 0; x < w; x++) {
      const uint8_t* p = rgba + (static_cast<size_t>(y) * w + x) * 4;
      Blend(px + x, py + y, {p[0] / 255.0f, p[1] / 255.0f, p[2] / 255.0f, p[3] / 255.0f}, 1);
    }
}

bool Canvas::SavePng(const std::string& path, std::string* why) const {
  std::vector<uint8_t> rgba(pixels_.size() * 4);
  auto byte = [](float v) { return static_cast<uint8_t>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255)); };
  for (size_t i = 0; i < pixels_.size(); i++) {
    rgba[4 * i] = byte(pixels_[i].r);
    rgba[4 * i + 1] = byte(pixels_[i].g);
    rgba[4 * i + 2] = byte(pixels_[i].b);
    rgba[4 * i + 3] = byte(pixels_[i].a);
  }
  return WritePng(path.c_str(), w_, h_, rgba.data(), why);
}
