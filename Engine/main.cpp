// The process's start: the platform's application loop, with the host's delegate.
#include "Engine/DorvelAppDelegate.h"

int main(int argc, char** argv) { return plat_application_main(argc, argv, &kDorvelAppHooks); }
