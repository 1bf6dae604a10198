// The soundboard's nine buttons, in the order they are added: each one's name (its pictures are
// name + "1.png" and name + "2.png"), its top left corner in points, its handler's value and
// the clip it plays. The one table of them: the program adds its buttons from it, the tests
// press and hear the board from it, and the browser's tests read it as JSON (buttons.json,
// written by Tools/ButtonTable beside limits.json).
#pragma once

struct SoundboardButton {
  const char* name;
  int x, y;
  int value;
  const char* clip;
};

constexpr int kSoundboardButtonCount = 9;
extern const SoundboardButton kSoundboardButtons[kSoundboardButtonCount];
