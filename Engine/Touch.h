// Touch regions. For now only what the window needs: the touch object that receives the
// window view's touches, and the link from views to regions that moving a view consults.
#pragma once

#include "Engine/Limits.h"

class CTouch {
 public:
  void Down(int x, int y);
  void Move(int x, int y);
  void Up(int x, int y);
};

extern CTouch Touch;

int ViewUpdateTouchxy(int view, int x, int y);  // moves the region linked to a view
