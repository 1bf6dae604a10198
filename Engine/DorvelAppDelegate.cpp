// The application delegate and the objects the interface file would make.
#include "Engine/DorvelAppDelegate.h"

#include "Engine/DorvelViewController.h"
#include "Engine/Win.h"

void DorvelAppDelegate::applicationDidFinishLaunching() {
  // Asking for the view loads it, which runs CWin::Init: the application is running before
  // the window is shown.
  plat_window_add_subview(window_, viewController_->view()->platformView());
  plat_window_make_key_and_visible(window_);
}

constinit static DorvelAppDelegate gDelegate;
constinit static DorvelViewController gController;

DorvelAppDelegate* DorvelLoadMainInterface() {
  if (!gDelegate.window()) {
    gDelegate.setWindow(plat_window_create());
    gDelegate.setViewController(&gController);
  }
  return &gDelegate;
}

const PlatAppHooks kDorvelAppHooks = {
    [] { DorvelLoadMainInterface(); },
    [] { DorvelLoadMainInterface()->applicationDidFinishLaunching(); },
};

void DorvelReset() {
  gDelegate = DorvelAppDelegate{};
  gController = DorvelViewController{};
}
