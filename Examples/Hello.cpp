// A first program on the soundboard's engine: the installed soundboard's pictures and one of
// its sounds, two buttons and a bird that flies to and fro. The engine calls AppMain once at
// the start and OnTimer thirty times a second; handles are plain ints.
#include "Engine/Sound.h"
#include "Engine/Touch.h"
#include "Engine/Win.h"

static int bird, coin;
static int x = 20, dx = 3;

// A button's handler: its value, and a result nobody reads.
static int OnCoin(int) {
  SoundPlay(coin);
  return 0;
}

static int OnTurn(int) {
  dx = -dx;
  return 0;
}

int AppMain() {
  coin = SoundAdd("Coin.wav");                     // a clip of the bundle, by name
  ViewAdd("Background.png", 0, 0);                 // the scene, bottom to top
  bird = ViewAdd(ImageAdd("Pindle.png"), x, 200);
  PushButtonAdd("Coin", 40, 320, OnCoin, 0);       // pictures Coin1.png, pressed Coin2.png
  PushButtonAdd("Jump", 200, 320, OnTurn, 0);      // Jump1.png and Jump2.png
  return 0;
}

int OnTimer() {
  x += dx;
  if (x < 0 || x > 280) dx = -dx;
  ViewSetxy(bird, x, 200);
  return 0;
}
