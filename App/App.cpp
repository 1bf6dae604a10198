// The soundboard: nine clips, a scene of background, sprite, title and disclaimer, nine buttons
// that each play their clip, and the sprite bouncing across the screen thirty times a second.
#include "App/App.h"

#include <cstdint>

#include "App/Buttons.h"
#include "Engine/Sound.h"
#include "Engine/Touch.h"
#include "Engine/Win.h"

// Sound handles.
int ThemeSound, DieSound, KartSound, ShroomSound, CoinSound, WarnSound, ClearSound, UpSound,
    JumpSound;

// View handles: the sprite, the title and the disclaimer.
int hBall, tImage, dImage;

// The sprite's motion, in points and points per tick.
int xPosition = 150;
int yPosition = 200;
int xVelocity = 2;
int yVelocity = 2;

// The sprite turns once its corner has passed these: the frame less the sprite's size.
constexpr uint32_t kRightmost = 280;
constexpr uint32_t kLowest = 430;

int OnTheme(int) { SoundPlay(ThemeSound); return 0; }
int OnDie(int) { SoundPlay(DieSound); return 0; }
int OnKart(int) { SoundPlay(KartSound); return 0; }
int OnShroom(int) { SoundPlay(ShroomSound); return 0; }
int OnCoin(int) { SoundPlay(CoinSound); return 0; }
int OnWarn(int) { SoundPlay(WarnSound); return 0; }
int OnClear(int) { SoundPlay(ClearSound); return 0; }
int OnUp(int) { SoundPlay(UpSound); return 0; }
int OnJump(int) { SoundPlay(JumpSound); return 0; }

int AppMain() {
  ThemeSound = SoundAdd("Theme.wav");
  DieSound = SoundAdd("Die.wav");
  KartSound = SoundAdd("KartTheme.wav");
  ShroomSound = SoundAdd("Shroom.wav");
  CoinSound = SoundAdd("Coin.wav");
  WarnSound = SoundAdd("Warning.wav");
  ClearSound = SoundAdd("Clear.wav");
  UpSound = SoundAdd("1_Up.wav");
  JumpSound = SoundAdd("Jump.wav");

  // The scene, bottom to top; the buttons' views come after, over all of it.
  ViewAdd("Background.png", 0, 0);
  hBall = ViewAdd(ImageAdd("Pindle.png"), xPosition, yPosition);
  tImage = ViewAdd(ImageAdd("Title.png"), 10, 0);
  dImage = ViewAdd(ImageAdd("Disclaimer.png"), 10, 420);
  // What the title and the disclaimer say, for a screen reader: to one, a picture is none.
  ViewSetText(tImage, "Soundboard: tap a button, hear a sound");
  ViewSetText(dImage, "All pictures and sounds are original, made for this program.");

  // Where each goes and its value (Buttons.cpp), and its handler, in the same order.
  const ButtonFn handlers[kSoundboardButtonCount] = {OnTheme, OnDie,   OnKart, OnShroom, OnCoin,
                                                     OnWarn,  OnClear, OnUp,   OnJump};
  for (int i = 0; i < kSoundboardButtonCount; i++) {
    const SoundboardButton& b = kSoundboardButtons[i];
    PushButtonAdd(b.name, b.x, b.y, handlers[i], b.value);
  }
  return 0;
}

// Negative positions are huge as unsigned numbers, so one test turns the sprite at both edges.
// It is drawn where it crossed, and turns from the next tick on.
int OnTimer() {
  xPosition += xVelocity;
  yPosition += yVelocity;
  if (static_cast<uint32_t>(xPosition) > kRightmost) xVelocity = -xVelocity;
  if (static_cast<uint32_t>(yPosition) > kLowest) yVelocity = -yVelocity;
  ViewSetxy(hBall, xPosition, yPosition);
  return 0;
}
