// The process's start: the platform's application loop, with the host's delegate.
#include "Engine/DorvelAppDelegate.h"

static void LoadMainInterface() { DorvelLoadMainInterface(); }

static void DidFinishLaunching() { DorvelLoadMainInterface()->applicationDidFinishLaunching(); }

int main(int argc, char** argv) {
  static const PlatAppHooks hooks = {LoadMainInterface, DidFinishLaunching};
  return plat_application_main(argc, argv, &hooks);
}
