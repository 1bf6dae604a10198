// The leaks that are not ours, for every program built with the sanitizers (make test): the
// one list, linked into each of them. Only system libraries that keep a few allocations for
// the life of the process are named: D-Bus's connection cache (opened by SDL's X11 driver for
// the screensaver and input methods) and Xlib's locale and connection data. A leak from our
// own code is still reported, even when it passes through SDL: Tests/Sanitizers/LeakProbe.cpp
// checks that.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libdbus-1.so\n"
         "leak:libX11.so\n";
}
