// Touch regions (hit test, capture, view links), push buttons, StrAppend, and ViewAdd by name.
// The touch object itself lives with the window, whose view delivers its events.
#include "Engine/Touch.h"

#include <cctype>
#include <cstdio>

#include "Engine/Internal.h"
#include "Engine/Win.h"

// ---------------------------------------------------------------------------------------------
// Globals. All are constant-initialised, so they exist before any code runs, whatever the
// order of the files' initialisation; the link table starts with no links.

constinit int TouchLen = 1;
constinit int SysViewTouch[kTableSlots] = {};
constinit CButton Button[kTableSlots] = {};
constinit int ButtonLen = 1;

// The platform's element for each button, and for each region that is a button's, so that a
// screen reader and the keyboard find it where its region is; 0: none.
constinit static int ButtonElement[kTableSlots] = {};
constinit static int RegionElement[kTableSlots] = {};

void TouchReset() {
  Touch = CTouch{};
  TouchLen = 1;
  for (int& link : SysViewTouch) link = 0;
  for (CButton& button : Button) button = CButton{};
  ButtonLen = 1;
  for (int& element : ButtonElement) element = 0;
  for (int& element : RegionElement) element = 0;
}

// ---------------------------------------------------------------------------------------------
// Helpers

// Left and top edges inside, right and bottom edges outside. Summed in 64 bits so that no
// rectangle, however far out, overflows.
static bool RectContains(int rx, int ry, int rw, int rh, int px, int py) {
  return rx <= px && static_cast<int64_t>(px) < static_cast<int64_t>(rx) + rw &&
         ry <= py && static_cast<int64_t>(py) < static_cast<int64_t>(ry) + rh;
}

// ---------------------------------------------------------------------------------------------
// Touch regions

void TouchAdd(int x, int y, int w, int h, TouchFn fn, TouchData data) {
  if (TouchLen > kLastHandle) {
    puts("TouchAdd - Maximum number of touches exceeded");
    return;
  }
  int n = TouchLen;
  Touch.x[n] = x;
  Touch.y[n] = y;
  Touch.w[n] = w;
  Touch.h[n] = h;
  Touch.fn[n] = fn;
  Touch.data[n] = data;
  TouchLen = n + 1;
}

void CTouch::Down(int px, int py) {
  for (int k = TouchLen - 1; k >= 1; k--) {
    if (!RectContains(x[k], y[k], w[k], h[k], px, py)) continue;
    current = k;  // before the handler, which may look at it
    if (fn[k]) fn[k](data[k], kTouchDown, px, py);
    return;
  }
}

void CTouch::Move(int px, int py) {
  int k = current;
  if (k && fn[k]) fn[k](data[k], kTouchMove, px, py);
}

void CTouch::Up(int px, int py) {
  int k = current;
  if (!k) return;
  if (fn[k]) fn[k](data[k], kTouchUp, px, py);
  current = 0;
}

static PlatRect RegionRect(int region) {
  return {static_cast<float>(Touch.x[region]), static_cast<float>(Touch.y[region]),
          static_cast<float>(Touch.w[region]), static_cast<float>(Touch.h[region])};
}

int ViewUpdateTouchxy(int view, int x, int y) {
  if (view == 0) return 0;
  if (view < 0 || view >= SysViewLen) {
    puts("ViewUpdateTouchxy - view does not exist");
    return 0;
  }
  int t = SysViewTouch[view];
  if (t == 0) return 0;
  if (t < 0 || t >= TouchLen) {
    puts("TouchSetxy - touch does not exist");
    return t;
  }
  Touch.x[t] = x;
  Touch.y[t] = y;
  if (RegionElement[t]) plat_element_set_frame(RegionElement[t], RegionRect(t));
  return t;
}

// ---------------------------------------------------------------------------------------------
// Names

void StrAppend(char* dst, const char* a, const char* b) {
  if (!a) a = "";
  if (!b) b = "";
  int i = 0;
  while (i < kNameBytes && (dst[i] = a[i]) != '\0') i++;
  bool terminated = false;
  for (int j = 0; i < kNameBytes && !terminated; i++, j++) terminated = (dst[i] = b[j]) == '\0';
  if (terminated) return;
  dst[kNameBytes - 1] = '\0';
  printf("StrAppend - string len greater than 100, chopped: %s\n", dst);
}

int ViewAdd(const char* name, int x, int y) { return ViewAdd(ImageAdd(name), x, y); }

// ---------------------------------------------------------------------------------------------
// Push buttons

void CButton::Add(const char* name, int x, int y, ButtonFn handler, int handler_value,
                  int push_flag) {
  fn = handler;
  value = handler_value;
  push = push_flag;
  char picture[kNameBytes];
  StrAppend(picture, name, "1.png");
  image1 = ImageAdd(picture);
  StrAppend(picture, name, "2.png");
  image2 = ImageAdd(picture);
  view = ViewAdd(image1, x, y);
  TouchAdd(x, y, ImageGetWidth(image1), ImageGetHeight(image1), OnButton,
           reinterpret_cast<TouchData>(this));
}

// A button's name as a screen reader says it: words apart where a small letter meets a capital
// ("KartTheme": "Kart Theme"), a hyphen where a number meets a word ("1Up": "1-Up", as the
// soundboard's pictures write it), and a space for "_".
static void LabelFromName(char* label, const char* name) {
  int n = 0;
  for (int i = 0; name[i] && n < kNameBytes - 2; i++) {
    char c = name[i], before = i > 0 ? name[i - 1] : '\0';
    if (islower(static_cast<unsigned char>(before)) && isupper(static_cast<unsigned char>(c))) label[n++] = ' ';
    else if (isdigit(static_cast<unsigned char>(before)) && isalpha(static_cast<unsigned char>(c))) label[n++] = '-';
    label[n++] = c == '_' ? ' ' : c;
  }
  label[n] = '\0';
}

int PushButtonAdd(const char* name, int x, int y, ButtonFn fn, int value) {
  int n = ButtonLen;
  if (n > kLastHandle) {
    puts("ButtonAdd - Maximum number of buttons exceeded");
    return 0;
  }
  int region = TouchLen;
  Button[n].Add(name, x, y, fn, value, 1);
  ButtonLen = n + 1;
  if (TouchLen > region) {  // its region was made: the element is where it is
    char label[kNameBytes];
    LabelFromName(label, name ? name : "");
    ButtonElement[n] = RegionElement[region] = plat_element_add(kPlatElementControl, label, RegionRect(region));
  }
  return n;
}

int ButtonSetLabel(int button, const char* label) {
  if (button < 1 || button >= ButtonLen) {
    puts("ButtonSetLabel - button does not exist");
    return 0;
  }
  plat_element_set_label(ButtonElement[button], label);
  return button;
}

int OnButton(TouchData data, int event, int x, int y) {
  const CButton* button = reinterpret_cast<const CButton*>(data);
  if (!button) return 0;
  // Read once, on entry: the handler may change anything.
  const CButton b = *button;
  if (event == kTouchDown) {
    ViewSetImage(b.view, b.image2);
    if (b.push && b.fn) b.fn(b.value);
  } else if (event == kTouchUp) {
    ViewSetImage(b.view, b.image1);
    int w = ImageGetWidth(b.image1), h = ImageGetHeight(b.image1);
    if (RectContains(ViewGetx(b.view), ViewGety(b.view), w, h, x, y) && !b.push && b.fn)
      b.fn(b.value);
  }
  return 0;
}
