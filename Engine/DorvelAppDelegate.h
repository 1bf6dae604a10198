// The application delegate: holds the window and the view controller, and on launch puts the
// controller's view in the window and shows it.
#pragma once

#include "Engine/Platform/Platform.h"

class DorvelViewController;

class DorvelAppDelegate {
 public:
  PlatWindow* window() const { return window_; }
  void setWindow(PlatWindow* window) { window_ = window; }
  DorvelViewController* viewController() const { return viewController_; }
  void setViewController(DorvelViewController* controller) { viewController_ = controller; }

  void applicationDidFinishLaunching();

 private:
  PlatWindow* window_ = nullptr;
  DorvelViewController* viewController_ = nullptr;
};

// What a phone reads from the application's interface file: makes the delegate, then its
// window, then its view controller, and connects them. Returns the delegate; the same one on
// every call.
DorvelAppDelegate* DorvelLoadMainInterface();
void DorvelReset();  // forgets the delegate, window and controller made above

// The host's part of the start, for plat_application_start and plat_application_main: the
// interface loaded as above, then the delegate's launch.
extern const PlatAppHooks kDorvelAppHooks;
