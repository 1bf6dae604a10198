// The host view controller: loading its view starts the engine (CWin::Init), once.
#pragma once

class WinView;

class DorvelViewController {
 public:
  WinView* view();               // the controller's view; the first request loads it
  void setView(WinView* view);   // replaces the view
  void viewDidLoad();            // starts the engine with this controller
  void didReceiveMemoryWarning();
  void viewDidUnload();

 private:
  WinView* view_ = nullptr;
  bool loaded_ = false;
};
