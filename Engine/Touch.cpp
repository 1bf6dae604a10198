// Touch regions: a stand-in until regions exist. Touches are dropped and no view has a region.
#include "Engine/Touch.h"

void CTouch::Down(int, int) {}
void CTouch::Move(int, int) {}
void CTouch::Up(int, int) {}

int ViewUpdateTouchxy(int, int, int) { return 0; }
