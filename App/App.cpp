// A stand-in application: a few stacked pictures, one of them moving on every tick.
#include "Engine/Win.h"

static int hMover;
static int xMover = 40;

int AppMain() {
  int back = ViewAdd(0, 20, 20);
  ViewSetSize(back, 280, 200);
  int middle = ViewAdd(0, 60, 120);
  ViewSetSize(middle, 100, 100);
  hMover = ViewAdd(0, xMover, 300);
  return 0;
}

int OnTimer() {
  xMover = xMover >= 280 ? 0 : xMover + 2;
  ViewSetxy(hMover, xMover, 300);
  return 0;
}
