// The window object `Win` and its view `WinView`: the frame clock, the image table, the view
// table and the two directory paths. The engine's root: `CWin::Init` starts everything.
#pragma once

#include "Engine/Limits.h"
#include "Engine/Platform/Platform.h"

class DorvelViewController;
struct PlaceHolder;  // opaque: what WinView knows of the window object

// The engine's view over the application frame: all pictures are drawn on it, all touches
// arrive on it, and it drives the frame clock.
class WinView {
 public:
  explicit WinView(PlatRect frame);

  void SetWinClass(PlaceHolder* win);  // the back-pointer to the window object
  void setBackgroundColor(PlatColor color);
  void StartTimer();                   // ticks every 1/30 s, for good
  void OnSysTimer();                   // one tick: FrameSeed, then the application's OnTimer

  void touchesBegan(PlatPoint location);  // locations in this view's points
  void touchesMoved(PlatPoint location);
  void touchesEnded(PlatPoint location);

  PlatView* platformView() const { return view_; }

 private:
  PlaceHolder* _Win = nullptr;
  PlatView* view_ = nullptr;
};

class CWin {
 public:
  void Init(DorvelViewController* controller);  // builds the view, then runs the application

  WinView* view = nullptr;
  PlatPicture* images[kTableSlots] = {};  // image table: by image handle; 0 is the reserved picture
  PlatView* views[kTableSlots] = {};      // view table: by view handle; 0 holds no view
  char names[kTableSlots][kNameBytes] = {};  // the name each image was added under
};

extern CWin Win;
extern int SysImageLen;  // image slots in use, the reserved one included
extern int SysViewLen;   // view slots in use, the reserved one included
extern int FrameSeed;    // clock ticks since CWin::Init
extern char PathApp[kPathBytes];  // the bundle directory and "/"
extern char PathDoc[kPathBytes];  // the documents directory and "/"

// The application's two routines, which the engine calls.
int AppMain();   // once, inside CWin::Init, before the first tick
int OnTimer();   // on every tick

int ImageAdd(const char* name);        // handle of the picture of that bundle file; 0 on failure
int ImageGetWidth(int image);          // the picture's width in points; 0 on failure
int ImageGetHeight(int image);         // the picture's height in points; 0 on failure

int ViewAdd(int image, int x, int y);         // a view of the picture at (x, y); 0 on failure
int ViewSetxy(int view, int x, int y);        // moves the top-left corner; view or 0
int ViewSetSize(int view, int w, int h);      // resizes in place; view or 0
int ViewGetx(int view);                       // left edge; 0 on failure
int ViewGety(int view);                       // top edge; 0 on failure
int ViewSetImage(int view, int image);        // another picture, at its size; view or 0
// The text a view's picture shows, for a screen reader to read where the view is ("" for none);
// view or 0. A picture is only pixels to one.
int ViewSetText(int view, const char* text);

void FileGetAppPath(char* dst);  // kPathBytes bytes: the bundle directory and "/"
void FileGetDocPath(char* dst);  // kPathBytes bytes: the documents directory and "/"
