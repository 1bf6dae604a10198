// The soundboard's buttons as JSON, for the browser's tests and benchmarks:
// {"Theme": {"x": 85, "y": 100, "clip": "Theme.wav"}, ...} in the order they are added.
#include <cstdio>

#include "App/Buttons.h"

int main() {
  printf("{");
  for (int i = 0; i < kSoundboardButtonCount; i++) {
    const SoundboardButton& b = kSoundboardButtons[i];
    printf("%s\n \"%s\": {\"x\": %d, \"y\": %d, \"clip\": \"%s\"}", i ? "," : "", b.name, b.x, b.y, b.clip);
  }
  printf("\n}\n");
  return 0;
}
