// The host view controller, and the window object it starts, which lives here.
#include "Engine/DorvelViewController.h"

#include "Engine/Win.h"

constinit CWin Win;

WinView* DorvelViewController::view() {
  if (!loaded_) {
    loaded_ = true;
    viewDidLoad();
  }
  return view_;
}

void DorvelViewController::setView(WinView* view) { view_ = view; }

void DorvelViewController::viewDidLoad() { Win.Init(this); }

void DorvelViewController::didReceiveMemoryWarning() {}

void DorvelViewController::viewDidUnload() {}
