// The stand-in application's two routines.
#include "Tests/Support/AppStub.h"

std::function<void()> gAppMain;
std::function<void()> gOnTimer;

int AppMain() {
  if (gAppMain) gAppMain();
  return 0;
}

int OnTimer() {
  if (gOnTimer) gOnTimer();
  return 0;
}
