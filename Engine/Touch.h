// Touch regions and push buttons. The one touch stream of the window's view goes to the newest
// region under the point where it began, which then gets every move and the release. A button
// is a pair of pictures, a view that shows them and a region over the view.
#pragma once

#include <cstdint>

#include "Engine/Limits.h"

// The data word a region hands back to its handler. Pointer-sized, because a button keeps the
// address of its record in it.
typedef intptr_t TouchData;
typedef int (*TouchFn)(TouchData data, int event, int x, int y);  // result ignored
typedef int (*ButtonFn)(int value);                               // result ignored

constexpr int kTouchDown = 1;  // event codes passed to a region's handler
constexpr int kTouchMove = 2;
constexpr int kTouchUp = 3;

class CTouch {
 public:
  void Down(int x, int y);  // the newest region holding the point captures the touch
  void Move(int x, int y);  // to the captured region, wherever the point is
  void Up(int x, int y);    // to the captured region, then the capture ends

  int current = 0;  // the region holding the touch; 0: none
  int x[kTableSlots] = {};
  int y[kTableSlots] = {};
  int w[kTableSlots] = {};
  int h[kTableSlots] = {};
  TouchFn fn[kTableSlots] = {};
  TouchData data[kTableSlots] = {};
};

class CButton {
 public:
  // Fills this record: pictures name + "1.png" (normal) and name + "2.png" (pressed), a view of
  // the normal one at (x, y), and a region of its size. push: fire on the press, else on a
  // release inside the button.
  void Add(const char* name, int x, int y, ButtonFn handler, int handler_value, int push_flag);

  int image1 = 0;
  int image2 = 0;
  int view = 0;
  int value = 0;
  ButtonFn fn = nullptr;
  int push = 0;
};

extern CTouch Touch;
extern int TouchLen;                   // region slots in use, the reserved one included
extern int SysViewTouch[kTableSlots];  // by view handle: the region that follows the view; 0: none
extern CButton Button[kTableSlots];
extern int ButtonLen;                  // button slots in use, the reserved one included

void TouchAdd(int x, int y, int w, int h, TouchFn fn, TouchData data);  // a region, newest on top
int ViewUpdateTouchxy(int view, int x, int y);  // moves the view's linked region; the link or 0

int PushButtonAdd(const char* name, int x, int y, ButtonFn fn, int value);  // button handle or 0
int OnButton(TouchData data, int event, int x, int y);  // every button's region handler; 0

// What a screen reader says for a button, and what the keyboard's focus reaches: made from its
// name ("KartTheme" reads "Kart Theme", "1Up" reads "1-Up"), or this label; "" takes the
// button out of their reach. Returns the button, or 0 when there is none.
int ButtonSetLabel(int button, const char* label);

void StrAppend(char* dst, const char* a, const char* b);  // a + b into kNameBytes, cut to fit
int ViewAdd(const char* name, int x, int y);              // ViewAdd(ImageAdd(name), x, y)
