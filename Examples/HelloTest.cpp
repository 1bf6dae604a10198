// Hello's own test, on the engine with no system under it: the program started as main would,
// its clock moved tick by tick, a finger put on its buttons and its sound rendered here, so it
// runs the same on any machine, with no window and no sound card. Built by the example's CMake
// file (ctest runs it); the engine's parts come from Engine/Testing.h and Platform.h.
#include <cstdio>
#include <cstring>
#include <vector>

#include "Engine/Testing.h"
#include "Engine/Win.h"

static int failures = 0;

static void Check(bool ok, const char* what) {
  if (!ok) {
    printf("HelloTest: %s\n", what);
    failures++;
  }
}

// A finger down and up at a point of the frame (the window is the frame, one pixel a point).
static void Tap(float x, float y) {
  plat_touch_inject(kPlatTouchBegan, {x, y});
  plat_touch_inject(kPlatTouchEnded, {x, y});
}

static bool Heard(int frames) {
  std::vector<int16_t> out(static_cast<size_t>(frames) * 2);
  plat_audio_render(out.data(), frames);
  for (int16_t sample : out)
    if (sample != 0) return true;
  return false;
}

int main() {
  if (!EngineTestStart(nullptr)) {  // the bundle beside this program, as Hello's
    printf("HelloTest: cannot start: %s\n", plat_error());
    return 1;
  }
  const int bird = 2;  // the second view Hello adds, after the background
  Check(ViewGetx(bird) == 20, "the bird starts at x 20");
  EngineTestTicks(2);
  Check(ViewGetx(bird) == 26, "the bird flies right, 3 points a tick");

  Tap(210, 330);  // Jump: the bird turns
  EngineTestTicks(1);
  Check(ViewGetx(bird) == 23, "after Jump the bird flies left");

  Check(!Heard(4800), "silence before any press");
  Tap(50, 330);  // Coin
  Check(Heard(4800), "Coin is heard");

  // What a screen reader finds: the two buttons, by their names, where they are.
  Check(plat_element_count() == 2, "two elements");
  PlatElement coin = plat_element_at(1);
  Check(coin.kind == kPlatElementControl && strcmp(coin.label, "Coin") == 0, "the first is Coin");
  Check(coin.frame.x == 40 && coin.frame.y == 320, "Coin is where its picture is");

  EngineTestStop();
  if (failures == 0) printf("HelloTest: all passed\n");
  return failures == 0 ? 0 : 1;
}
