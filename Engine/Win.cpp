// The window object's start-up, the window view (frame clock and touch entry), the image and
// view tables, the directory paths, and the one touch object, whose events arrive on the view.
//
// Every failure prints one line "Operation - what went wrong" on standard output and returns 0.
#include "Engine/Win.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "Engine/DorvelAppDelegate.h"
#include "Engine/Internal.h"
#include "Engine/DorvelViewController.h"
#include "Engine/Sound.h"
#include "Engine/Touch.h"

// ---------------------------------------------------------------------------------------------
// Globals

constinit CTouch Touch;
constinit int SysImageLen = 1;
constinit int SysViewLen = 1;
constinit int FrameSeed = 0;
constinit char PathApp[kPathBytes] = {};
constinit char PathDoc[kPathBytes] = {};

static constexpr PlatColor kBlack = {0, 0, 0, 255};

// The platform's element for each view given a text, kept where the view is; 0: none.
constinit static int ViewText[kTableSlots] = {};

void WinReset() {
  delete Win.view;
  Win = CWin{};
  for (int& element : ViewText) element = 0;
  SysImageLen = 1;
  SysViewLen = 1;
  FrameSeed = 0;
  PathApp[0] = '\0';
  PathDoc[0] = '\0';
}

void EngineReset() {
  WinReset();
  TouchReset();
  SoundReset();
  DorvelReset();
}

// ---------------------------------------------------------------------------------------------
// Helpers

bool StrJoin(char* dst, int size, const char* a, const char* b) {
  size_t la = strlen(a), lb = strlen(b);
  if (size <= 0) return false;
  if (la + lb >= static_cast<size_t>(size)) {
    dst[0] = '\0';
    return false;
  }
  memcpy(dst, a, la);
  memcpy(dst + la, b, lb + 1);
  return true;
}

int PointToInt(float v) {
  if (std::isnan(v)) return 0;
  if (v >= static_cast<float>(INT_MAX)) return INT_MAX;
  if (v <= static_cast<float>(INT_MIN)) return INT_MIN;
  return static_cast<int>(v);
}

static bool ImageExists(int image, const char* operation) {
  if (image >= 0 && image < SysImageLen) return true;
  printf("%s - image does not exist\n", operation);
  return false;
}

static bool ViewExists(int view, const char* operation) {
  if (view >= 0 && view < SysViewLen) return true;
  printf("%s - view does not exist\n", operation);
  return false;
}

// A directory and one "/" into a path buffer. A directory that does not fit gives an empty
// path, never a cut one that would name another folder.
static void PathWithSlash(char* dst, const char* directory, const char* operation) {
  if (!StrJoin(dst, kPathBytes, directory, "/"))
    printf("%s - path too long: %s\n", operation, directory);
}

// ---------------------------------------------------------------------------------------------
// Window object and view

void CWin::Init(DorvelViewController* controller) {
  FrameSeed = 0;
  view = new WinView(plat_screen_application_frame());
  view->SetWinClass(reinterpret_cast<PlaceHolder*>(this));
  view->setBackgroundColor(kBlack);
  controller->setView(view);
  images[0] = plat_picture_named(kReservedPicture);
  SysImageLen = 1;
  FileGetAppPath(PathApp);
  FileGetDocPath(PathDoc);
  AppMain();
  view->StartTimer();
}

static void OnPlatformTouch(void* ctx, PlatTouchPhase phase, PlatPoint location) {
  WinView* view = static_cast<WinView*>(ctx);
  switch (phase) {
    case kPlatTouchBegan: view->touchesBegan(location); break;
    case kPlatTouchMoved: view->touchesMoved(location); break;
    case kPlatTouchEnded: view->touchesEnded(location); break;
  }
}

static void OnPlatformTimer(void* ctx) { static_cast<WinView*>(ctx)->OnSysTimer(); }

WinView::WinView(PlatRect frame) : view_(plat_view_create(frame)) {
  plat_view_set_touch_handler(view_, OnPlatformTouch, this);
}

void WinView::SetWinClass(PlaceHolder* win) { _Win = win; }

void WinView::setBackgroundColor(PlatColor color) { plat_view_set_background(view_, color); }

void WinView::StartTimer() { plat_timer_schedule(kFrameInterval, OnPlatformTimer, this); }

void WinView::OnSysTimer() {
  // Counted in unsigned so that after about two years of ticks it wraps instead of overflowing.
  FrameSeed = static_cast<int>(static_cast<unsigned>(FrameSeed) + 1u);
  OnTimer();
}

void WinView::touchesBegan(PlatPoint p) { Touch.Down(PointToInt(p.x), PointToInt(p.y)); }
void WinView::touchesMoved(PlatPoint p) { Touch.Move(PointToInt(p.x), PointToInt(p.y)); }
void WinView::touchesEnded(PlatPoint p) { Touch.Up(PointToInt(p.x), PointToInt(p.y)); }

// ---------------------------------------------------------------------------------------------
// Image table

int ImageAdd(const char* name) {
  int n = SysImageLen;
  if (n > kLastHandle) {
    puts("ImageAdd - Maximum number of Images exceeded");
    return 0;
  }
  if (!name) name = "";
  for (int i = 1; i < n; i++)
    if (strcmp(name, Win.names[i]) == 0) return i;
  if (strlen(name) >= static_cast<size_t>(kNameBytes)) {
    printf("ImageAdd - Name too long: %s\n", name);
    return 0;
  }
  SysImageLen = n + 1;
  Win.images[n] = plat_picture_named(name);
  strcpy(Win.names[n], name);
  if (Win.images[n]) return n;
  printf("ImageAdd - File not found: %s\n", name);
  SysImageLen = n;
  return 0;
}

int ImageGetWidth(int image) {
  if (!ImageExists(image, "ImageGetWidth")) return 0;
  return PointToInt(plat_picture_size(Win.images[image]).w);
}

int ImageGetHeight(int image) {
  if (!ImageExists(image, "ImageGetHeight")) return 0;
  return PointToInt(plat_picture_size(Win.images[image]).h);
}

// ---------------------------------------------------------------------------------------------
// View table

int ViewAdd(int image, int x, int y) {
  int n = SysViewLen;
  if (n > kLastHandle) {
    puts("ViewAdd - Maximum number of views exceeded");
    return 0;
  }
  if (!ImageExists(image, "ViewAdd")) image = 0;  // shown as the reserved picture
  SysViewLen = n + 1;
  PlatPicture* picture = Win.images[image];
  PlatSize size = plat_picture_size(picture);
  PlatView* view = plat_view_create({static_cast<float>(x), static_cast<float>(y), size.w, size.h});
  Win.views[n] = view;
  plat_view_set_picture(view, picture);
  plat_view_add_subview(Win.view ? Win.view->platformView() : nullptr, view);
  return n;
}

int ViewSetxy(int view, int x, int y) {
  if (!ViewExists(view, "ViewSetxy")) return 0;
  if (PlatView* v = Win.views[view]) {
    PlatRect frame = plat_view_frame(v);
    frame.x = static_cast<float>(x);
    frame.y = static_cast<float>(y);
    plat_view_set_frame(v, frame);
    if (ViewText[view]) plat_element_set_frame(ViewText[view], frame);
  }
  ViewUpdateTouchxy(view, x, y);
  return view;
}

int ViewSetSize(int view, int w, int h) {
  if (!ViewExists(view, "ViewSetSize")) return 0;
  if (PlatView* v = Win.views[view]) {
    PlatRect frame = plat_view_frame(v);
    frame.w = static_cast<float>(w);
    frame.h = static_cast<float>(h);
    plat_view_set_frame(v, frame);
    if (ViewText[view]) plat_element_set_frame(ViewText[view], frame);
  }
  return view;
}

int ViewGetx(int view) {
  if (!ViewExists(view, "ViewGetx")) return 0;
  return PointToInt(plat_view_frame(Win.views[view]).x);
}

int ViewGety(int view) {
  if (!ViewExists(view, "ViewGety")) return 0;
  return PointToInt(plat_view_frame(Win.views[view]).y);
}

int ViewSetImage(int view, int image) {
  if (!ViewExists(view, "ViewSetImage")) return 0;
  if (!ImageExists(image, "ViewSetImage")) return 0;
  ViewSetSize(view, ImageGetWidth(image), ImageGetHeight(image));
  plat_view_set_picture(Win.views[view], Win.images[image]);
  return view;
}

int ViewSetText(int view, const char* text) {
  if (!ViewExists(view, "ViewSetText") || !Win.views[view]) return 0;
  if (ViewText[view]) plat_element_set_label(ViewText[view], text);
  else ViewText[view] = plat_element_add(kPlatElementText, text, plat_view_frame(Win.views[view]));
  return view;
}

// ---------------------------------------------------------------------------------------------
// Paths

void FileGetAppPath(char* dst) { PathWithSlash(dst, plat_bundle_path(), "FileGetAppPath"); }

void FileGetDocPath(char* dst) { PathWithSlash(dst, plat_documents_path(), "FileGetDocPath"); }
