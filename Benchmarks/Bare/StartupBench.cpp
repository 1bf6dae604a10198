// Start-up and memory of a program, from outside it: the time from starting the process to
// its first frame on the screen, and its peak resident memory. The frame is seen through SDL's
// offscreen driver, which writes every frame it is given to a file when asked to: the first
// such file to appear is the first present, for the soundboard and its competitor alike.
//
// usage: StartupBench PREFIX PROGRAM [ARGS...]   prints PREFIXstartup_ms and PREFIXpeak_rss_mb
#include <signal.h>
#include <spawn.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

extern char** environ;

int main(int argc, char** argv) {
  if (argc < 3) {
    fprintf(stderr, "usage: StartupBench PREFIX PROGRAM [ARGS...]\n");
    return 2;
  }
  std::string prefix = argv[1];
  char program[PATH_MAX];
  if (!realpath(argv[2], program)) {
    perror(argv[2]);
    return 1;
  }
  argv[2] = program;
  char dir[] = "/tmp/startup-XXXXXX";
  if (!mkdtemp(dir) || chdir(dir) != 0) return 1;
  setenv("SDL_VIDEODRIVER", "offscreen", 1);
  setenv("SDL_VIDEO_OFFSCREEN_SAVE_FRAMES", "1", 1);
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  int watch = inotify_init1(IN_CLOEXEC);
  if (watch < 0 || inotify_add_watch(watch, dir, IN_CLOSE_WRITE) < 0) return 1;

  auto start = std::chrono::steady_clock::now();
  pid_t pid = 0;
  if (posix_spawn(&pid, argv[2], nullptr, nullptr, argv + 2, environ) != 0) {
    perror("StartupBench");
    return 1;
  }
  char events[4096];  // the first frame written out whole
  bool seen = read(watch, events, sizeof events) > 0;
  double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  kill(pid, SIGTERM);  // a program that ends by itself has ended already
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  if (!seen) return 1;
  printf("%sstartup_ms %.3f\n%speak_rss_mb %.3f\n", prefix.c_str(), ms, prefix.c_str(),
         usage.ru_maxrss / 1024.0);
  system((std::string("rm -rf ") + dir).c_str());
  return 0;
}
