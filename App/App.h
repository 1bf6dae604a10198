// The soundboard's state and routines, as the engine and the tests see them.
#pragma once

extern int ThemeSound, DieSound, KartSound, ShroomSound, CoinSound, WarnSound, ClearSound,
    UpSound, JumpSound;                             // sound handles
extern int hBall, tImage, dImage;                   // view handles: sprite, title, disclaimer
extern int xPosition, yPosition;                    // the sprite's top-left corner, in points
extern int xVelocity, yVelocity;                    // points per tick

int AppMain();   // loads the clips, builds the scene and the buttons
int OnTimer();   // moves the sprite

int OnTheme(int value);  // the buttons' handlers: each plays its clip
int OnDie(int value);
int OnKart(int value);
int OnShroom(int value);
int OnCoin(int value);
int OnWarn(int value);
int OnClear(int value);
int OnUp(int value);
int OnJump(int value);
