// The soundboard's look: a night sky over hills, a round orange bird called Pindle, a glowing
// title, and chunky arcade buttons that sink when pressed. All drawn here from shapes and text.
#include "Tools/AssetGen/Pictures.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "Engine/Limits.h"

// ---------------------------------------------------------------------------------------------
// Sizes the layout depends on

constexpr int kSpriteW = 40, kSpriteH = 30;  // the sprite turns at 280 and 430: frame less sprite
constexpr int kButtonW = 70, kButtonH = 40;  // fits between the soundboard's button positions
constexpr int kTitleW = 300, kTitleH = 90;   // at (10, 0), above the first row of buttons
constexpr int kNoteW = 300, kNoteH = 36;     // the disclaimer, at (10, 420), below the last row
constexpr float kPress = 3;                  // how far a pressed button sinks, in points

static const char* kDisclaimer = "All pictures and sounds are original, made for this program.";

namespace {
struct ButtonStyle {
  const char* name;   // the program's button name: pictures name1.png and name2.png
  const char* label;
  unsigned colour;
  float right_margin = 0;  // left clear inside the picture, where its place meets the frame's edge
};
}  // namespace

static const ButtonStyle kButtons[] = {
    {"Theme", "Theme", 0x3b7dd8}, {"Die", "Die", 0x8e44ad, 6},    {"Kart", "Kart", 0xf08a24},
    {"Shroom", "Shroom", 0xd64541}, {"Coin", "Coin", 0xd4a017},   {"Warning", "Warning", 0xe0561b},
    {"Clear", "Clear", 0x169e83}, {"1Up", "1-Up", 0x2fa84f},      {"Jump", "Jump", 0xd8437f},
};

// ---------------------------------------------------------------------------------------------
// Helpers

// The same pseudo-random numbers on every run, so that the pictures never change by chance.
namespace {
struct Random {
  uint32_t state;
  float Next() {  // 0 to 1
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return static_cast<float>(state & 0xffffff) / static_cast<float>(0x1000000);
  }
};
}  // namespace

// The largest size, no larger than `start`, at which the text fits the width.
static float FittingSize(const std::string& path, const char* text, float start, float width,
                         int scale) {
  for (float size = start; size > 6; size -= 0.5f) {
    Font font(path, size, scale);
    if (font.ok() && font.Width(text) <= width) return size;
  }
  return 6;
}

// Text centred on (cx, cy), outlined in a dark colour.
static void CentredText(Canvas& c, const Font& font, const char* text, float cx, float cy,
                        const Fill& fill, Rgba outline, float ring) {
  float x = cx - font.Width(text) / 2, y = cy - font.Height() / 2;
  if (ring > 0) c.Text(font, text, x, y, Solid(outline), ring);
  c.Text(font, text, x, y, fill);
}

// ---------------------------------------------------------------------------------------------
// The scene

static void DrawBackground(Canvas& c) {
  c.FillRect(0, 0, kFrameWidth, kFrameHeight, Gradient(Hex(0x10123a), Hex(0x4a2d7a), 0, 360));
  Random random{0x5eed1234};
  for (int i = 0; i < 90; i++) {
    float x = random.Next() * kFrameWidth, y = random.Next() * 330;
    float r = 0.35f + random.Next() * 0.75f, a = 0.35f + random.Next() * 0.6f;
    if (r > 0.95f) c.Glow(x, y, r * 5, Hex(0xbfd4ff, 0.35f));
    c.FillEllipse(x, y, r, r, Solid(Hex(0xfdfbff, a)));
  }
  // The moon, low on the right where no button hides it.
  c.Glow(282, 196, 70, Hex(0xfff0c0, 0.22f));
  c.FillEllipse(282, 196, 20, 20, Gradient(Hex(0xfffbe6), Hex(0xf5dd9a), 176, 216));
  c.FillEllipse(276, 190, 4.5f, 4, Solid(Hex(0xe6c981, 0.7f)));
  c.FillEllipse(289, 203, 3, 2.6f, Solid(Hex(0xe6c981, 0.6f)));
  c.FillEllipse(285, 184, 2, 1.8f, Solid(Hex(0xe6c981, 0.5f)));
  // Two ranges of hills, the far one bluer.
  c.FillBelow(0, kFrameWidth, [](float x) { return 318 + 20 * std::sin(x / 46 + 1.3f) + 7 * std::sin(x / 15); },
              Gradient(Hex(0x2b5c78), Hex(0x16314a), 300, 400));
  c.FillBelow(0, kFrameWidth, [](float x) { return 372 + 16 * std::sin(x / 58 + 3.1f) + 5 * std::sin(x / 21 + 1); },
              Gradient(Hex(0x1f5a40), Hex(0x0b2418), 355, 460));
}

static void DrawPindle(Canvas& c) {
  Rgba ink = Hex(0x4a2100);
  c.FillEllipse(20, 29, 11, 1.6f, Solid(Hex(0x000000, 0.25f)));      // shadow
  c.FillEllipse(15.5f, 28, 2.8f, 1.5f, Solid(Hex(0xc2570b)));         // feet
  c.FillEllipse(23.5f, 28, 2.8f, 1.5f, Solid(Hex(0xc2570b)));
  c.FillEllipse(18, 4.5f, 1.6f, 3, Solid(ink));                       // tuft
  c.FillEllipse(20, 16, 16.2f, 12.7f, Solid(ink));                    // outline
  c.FillEllipse(20, 16, 15, 11.5f, Gradient(Hex(0xffc15e), Hex(0xff7a0f), 5, 27));
  c.FillEllipse(21, 20.5f, 9, 5.6f, Solid(Hex(0xffe3b8)));            // belly
  c.FillEllipse(11.5f, 17, 6.6f, 4.6f, Solid(ink));                   // wing
  c.FillEllipse(11.5f, 17, 5.6f, 3.7f, Gradient(Hex(0xff9a2e), Hex(0xe0600a), 13, 21));
  c.FillEllipse(36.3f, 15.5f, 4, 2.8f, Solid(ink));                   // beak
  c.FillEllipse(36, 15.5f, 3.1f, 2, Solid(Hex(0xffd84a)));
  c.FillEllipse(26.5f, 11, 5, 5.6f, Solid(ink));                      // eye
  c.FillEllipse(26.5f, 11, 4.1f, 4.7f, Solid(Hex(0xffffff)));
  c.FillEllipse(27.8f, 11.6f, 2.2f, 2.5f, Solid(Hex(0x1b1b28)));
  c.FillEllipse(28.6f, 10.4f, 0.8f, 0.8f, Solid(Hex(0xffffff)));
  c.FillEllipse(29.5f, 18, 2.6f, 1.5f, Solid(Hex(0xff5c5c, 0.55f)));  // cheek
}

static void DrawTitle(Canvas& c, const std::string& fonts) {
  std::string bold = fonts + "/DejaVuSans-Bold.ttf";
  const char* title = "SOUNDBOARD";
  Font big(bold, FittingSize(bold, title, 40, kTitleW - 24, c.scale()), c.scale());
  Rgba deep = Hex(0x2a0d57);
  float cx = kTitleW / 2.0f;
  CentredText(c, big, title, cx, 36 + 3, Solid(Hex(0x000000, 0.45f)), Hex(0x000000, 0.45f), 3);
  CentredText(c, big, title, cx, 36, Gradient(Hex(0xfff6a0), Hex(0xff8a1c), 20, 52), deep, 3);
  Font small(bold, 11.5f, c.scale());
  CentredText(c, small, "tap a button, hear a sound", cx, 72, Solid(Hex(0xe4ddff)), deep, 1.5f);
}

static void DrawDisclaimer(Canvas& c, const std::string& fonts) {
  std::string regular = fonts + "/DejaVuSans.ttf";
  c.FillRoundRect(0.5f, 0.5f, kNoteW - 1, kNoteH - 1, 11, Solid(Hex(0x0a0820, 0.62f)));
  c.StrokeRoundRect(0.5f, 0.5f, kNoteW - 1, kNoteH - 1, 11, 1, Hex(0xffffff, 0.2f));
  Font font(regular, FittingSize(regular, kDisclaimer, 11, kNoteW - 16, c.scale()), c.scale());
  CentredText(c, font, kDisclaimer, kNoteW / 2.0f, kNoteH / 2.0f, Solid(Hex(0xece8ff)),
              Hex(0x000000), 0);
}

// ---------------------------------------------------------------------------------------------
// Buttons: a raised face on a darker lip; pressed, the face sinks onto the lip and darkens.

static void DrawButton(Canvas& c, const std::string& fonts, const ButtonStyle& style, bool pressed) {
  Rgba base = Hex(style.colour);
  Rgba edge = Shade(base, -0.6f);
  float w = kButtonW - 2 - style.right_margin, h = kButtonH - 6, r = 10;
  float top = pressed ? kPress : 0;
  c.FillRoundRect(2, 4.5f, w, h + 1, r, Solid(Hex(0x000000, 0.35f)));  // shadow on the ground
  if (!pressed) c.FillRoundRect(1, kPress, w, h, r, Solid(Shade(base, -0.45f)));  // the lip
  Fill face = pressed ? Gradient(Shade(base, -0.1f), Shade(base, -0.35f), top, top + h)
                      : Gradient(Shade(base, 0.3f), Shade(base, -0.08f), top, top + h);
  c.FillRoundRect(1, top, w, h, r, face);
  if (pressed) {  // in shadow under the rim, with light caught along the bottom edge
    c.FillRoundRect(3, top + 1, w - 4, 8, 6, Gradient(Hex(0x000000, 0.35f), Hex(0x000000, 0), top + 1, top + 9));
    c.FillRoundRect(6, top + h - 5, w - 10, 3, 1.5f, Solid(WithAlpha(Shade(base, 0.45f), 0.5f)));
  } else {
    c.FillRoundRect(4, top + 2, w - 6, h * 0.42f, 7, Gradient(Hex(0xffffff, 0.5f), Hex(0xffffff, 0.06f), top + 2, top + 2 + h * 0.42f));
  }
  c.StrokeRoundRect(1, top, w, h, r, 1, WithAlpha(edge, 0.9f));
  std::string bold = fonts + "/DejaVuSans-Bold.ttf";
  Font font(bold, FittingSize(bold, style.label, 13, w - 10, c.scale()), c.scale());
  Rgba ink = pressed ? Hex(0xf2f2f2) : Hex(0xffffff);
  CentredText(c, font, style.label, 1 + w / 2, top + h / 2, Solid(ink), WithAlpha(edge, 0.95f), 1.4f);
}

// Plain red: a picture that failed to load shows as a red gap, easy to spot.
static void DrawEmptyRed(Canvas& c) { c.FillRect(0, 0, c.width(), c.height(), Solid(Hex(0xdc1e1e))); }

// The program's icon: a glossy arcade button with a note on it, over the night sky. Drawn at
// any size, so that each of the desktop's icon sizes is made, not scaled.
static constexpr unsigned kIconSkyTop = 0x35297a, kIconSkyBottom = 0x15112f;

// The button and its note, on the 64-unit square with its corner at (x, y), u pixels a unit.
static void DrawIconButton(Canvas& c, const std::string& fonts, float x, float y, float u) {
  c.FillEllipse(x + 32 * u, y + 36 * u, 21 * u, 21 * u, Solid(Hex(0x0b0818, 0.6f)));  // its side
  c.FillEllipse(x + 32 * u, y + 32 * u, 20 * u, 20 * u,
                Gradient(Hex(0xffc04d), Hex(0xe0561b), y + 12 * u, y + 52 * u));
  c.FillEllipse(x + 28 * u, y + 23 * u, 11 * u, 5.5f * u, Solid(Hex(0xffffff, 0.35f)));  // shine
  Font note(fonts + "/DejaVuSans-Bold.ttf", 28 * u, c.scale());
  CentredText(c, note, "\u266a", x + 32.5f * u, y + 33 * u, Solid(Hex(0xffffff)), Hex(0x7a2a0a, 0.9f),
              std::max(0.6f, 1.2f * u));
}

// On a rounded square of the sky, with a rim: the desktop's icon and the window's.
static void DrawIcon(Canvas& c, const std::string& fonts) {
  float u = c.width() / 64;  // designed on a 64-point square
  c.FillRoundRect(2 * u, 2 * u, 60 * u, 60 * u, 13 * u, Gradient(Hex(kIconSkyTop), Hex(kIconSkyBottom), 2 * u, 62 * u));
  c.StrokeRoundRect(2 * u, 2 * u, 60 * u, 60 * u, 13 * u, std::max(1.0f, 1.2f * u), Hex(0x6b5bd6, 0.8f));
  DrawIconButton(c, fonts, 0, 0, u);
}

// The sky to every edge, the button at `size` of the width in the middle: a phone's home
// screen cuts its own shape from it. An iPhone's (all of it kept, opaque) at 0.9; Android's
// maskable one at 0.7, inside the circle every mask keeps (80 % of the width across).
static void DrawIconFullBleed(Canvas& c, const std::string& fonts, float size) {
  float w = c.width();
  c.FillRect(0, 0, w, w, Gradient(Hex(kIconSkyTop), Hex(kIconSkyBottom), 0, w));
  DrawIconButton(c, fonts, w * (1 - size) / 2, w * (1 - size) / 2, w * size / 64);
}

// ---------------------------------------------------------------------------------------------
// The list

std::vector<Picture> SoundboardPictures(const std::string& font_dir) {
  std::vector<Picture> pictures = {
      {"Images/EmptyRed.png", 32, 32, false, DrawEmptyRed},
      {"Icon.png", 64, 64, false, [=](Canvas& c) { DrawIcon(c, font_dir); }},  // the window's
      {"Background.png", kFrameWidth, kFrameHeight, true, DrawBackground},
      {"Pindle.png", kSpriteW, kSpriteH, true, DrawPindle},
      {"Title.png", kTitleW, kTitleH, true, [=](Canvas& c) { DrawTitle(c, font_dir); }},
      {"Disclaimer.png", kNoteW, kNoteH, true, [=](Canvas& c) { DrawDisclaimer(c, font_dir); }},
  };
  for (const ButtonStyle& style : kButtons) {
    for (int pressed = 0; pressed < 2; pressed++) {
      std::string file = std::string(style.name) + (pressed ? "2.png" : "1.png");
      pictures.push_back({file, kButtonW, kButtonH, true,
                          [=, &style](Canvas& c) { DrawButton(c, font_dir, style, pressed); }});
    }
  }
  return pictures;
}

std::vector<Picture> WebIconPictures(const std::string& font_dir) {
  return {
      {"icon-192.png", 192, 192, false, [=](Canvas& c) { DrawIcon(c, font_dir); }},
      {"icon-512.png", 512, 512, false, [=](Canvas& c) { DrawIcon(c, font_dir); }},
      {"icon-maskable-512.png", 512, 512, false, [=](Canvas& c) { DrawIconFullBleed(c, font_dir, 0.7f); }},
      {"apple-touch-icon.png", 180, 180, false, [=](Canvas& c) { DrawIconFullBleed(c, font_dir, 0.9f); }},
  };
}

std::vector<Picture> IconPictures(const std::string& font_dir) {
  std::vector<Picture> icons;
  for (int size : kIconSizes) {
    std::string side = std::to_string(size);
    icons.push_back({side + "x" + side + "/apps/soundboard.png", size, size, false,
                     [=](Canvas& c) { DrawIcon(c, font_dir); }});
  }
  return icons;
}

bool WritePicture(const Picture& picture, const std::string& bundle) {
  for (int scale = 1; scale <= (picture.retina ? 3 : 1); scale++) {
    Canvas canvas(picture.width, picture.height, scale);
    picture.draw(canvas);
    std::string file = picture.file;
    if (scale > 1) file.insert(file.rfind('.'), "@" + std::to_string(scale) + "x");
    if (!canvas.SavePng(bundle + "/" + file)) return false;
  }
  return true;
}
