// The real program in a real X window: the Soundboard binary on an Xvfb server, a real click
// on Coin through the X server (xdotool), a capture of the window while the button is held,
// and the sound from SDL's real audio path, its disk driver, which writes what the device
// plays to a file.
//
// Nothing here sleeps for a fixed time: every wait is for something to be seen (the server's
// display number, the window, the picture, the sound), with a deadline that only a broken
// program reaches.
#include <SDL.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "Tests/Support/EngineTest.h"

extern char** environ;

namespace fs = std::filesystem;

static const std::string kBundle = fs::path(SOUNDBOARD).parent_path();
static constexpr auto kDeadline = std::chrono::seconds(20);

// A process of ours, stopped when it goes out of scope.
class Process {
 public:
  Process(std::vector<std::string> argv, const std::vector<std::string>& env, int stdout_fd = -1) {
    std::vector<char*> args, envp;
    for (std::string& a : argv) args.push_back(a.data());
    args.push_back(nullptr);
    // Ours replace the inherited ones of the same name: a shell keeps only one of each, and
    // not always the first.
    std::vector<std::string> all(env);
    auto overridden = [&](const char* inherited) {
      for (const std::string& e : env)
        if (std::string_view(inherited).starts_with(e.substr(0, e.find('=') + 1))) return true;
      return false;
    };
    for (char** e = environ; *e; e++)
      if (!overridden(*e)) all.push_back(*e);
    for (std::string& e : all) envp.push_back(e.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (stdout_fd >= 0) posix_spawn_file_actions_adddup2(&actions, stdout_fd, 3);
    if (posix_spawnp(&pid_, args[0], &actions, nullptr, args.data(), envp.data()) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
  }
  ~Process() {
    if (pid_ > 0 && !ended_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  // Whether it still runs; once it has ended, its status is kept for Terminate.
  bool running() {
    if (pid_ <= 0 || ended_) return false;
    ended_ = waitpid(pid_, &status_, WNOHANG) == pid_;
    return !ended_;
  }
  // Asks it to end as a desktop would (if it has not), and gives its exit status.
  int Terminate() {
    if (pid_ <= 0) return -1;
    if (!ended_) {
      kill(pid_, SIGTERM);
      waitpid(pid_, &status_, 0);
    }
    pid_ = -1;
    return WIFEXITED(status_) ? WEXITSTATUS(status_) : 128 + WTERMSIG(status_);
  }

 private:
  pid_t pid_ = -1;
  bool ended_ = false;
  int status_ = 0;
};

static std::string Output(const std::string& command) {
  std::string out;
  if (FILE* p = popen(command.c_str(), "r")) {
    char buffer[256];
    while (fgets(buffer, sizeof buffer, p)) out += buffer;
    pclose(p);
  }
  return out;
}

template <class Condition>
static bool WaitFor(Condition done) {
  auto until = std::chrono::steady_clock::now() + kDeadline;
  while (std::chrono::steady_clock::now() < until) {
    if (done()) return true;
    std::this_thread::yield();
  }
  return false;
}



// Whether every opaque pixel of the picture is in the capture at (x, y) pixels.
static bool Shows(const Image& capture, const Image& picture, int x, int y) {
  if (capture.width < x + picture.width || capture.height < y + picture.height) return false;
  for (int py = 0; py < picture.height; py++)
    for (int px = 0; px < picture.width; px++) {
      const uint8_t* p = &picture.rgba[(static_cast<size_t>(py) * picture.width + px) * 4];
      const uint8_t* c = &capture.rgba[(static_cast<size_t>(y + py) * capture.width + x + px) * 4];
      if (p[3] == 255 && (p[0] != c[0] || p[1] != c[1] || p[2] != c[2])) return false;
    }
  return true;
}

// An X server of its own: it picks a free display and says which, on a pipe, once ready.
class XServer {
 public:
  XServer() {
    int ready[2];
    if (pipe(ready) != 0) return;
    server_ = std::make_unique<Process>(
        std::vector<std::string>{"Xvfb", "-displayfd", "3", "-screen", "0", "1280x1024x24", "-nolisten", "tcp"},
        std::vector<std::string>{}, ready[1]);
    close(ready[1]);
    std::string number;
    for (char c; number.size() < 16 && read(ready[0], &c, 1) == 1 && c != '\n';) number += c;
    if (!number.empty()) display_ = ":" + number;
    pipe_ = ready[0];  // kept open: the server may still write to it
  }
  ~XServer() {
    server_.reset();
    if (pipe_ >= 0) close(pipe_);
  }
  const std::string& display() const { return display_; }

 private:
  std::unique_ptr<Process> server_;
  std::string display_;
  int pipe_ = -1;
};

// The program (a command line, as a menu entry gives it) in a window on an X server of its own,
// with SDL's disk audio driver writing what the device plays to a file.
class RealSoundboard {
 public:
  RealSoundboard(const std::string& command, const std::string& bundle)
      : bundle_(bundle), dir_(TemporaryDir()), audio_(dir_ + "/audio.raw"), x_("DISPLAY=" + xserver_.display() + " "),
        program_({"sh", "-c", "exec " + command}, {"DISPLAY=" + xserver_.display(), "SDL_VIDEODRIVER=x11",
                                                   "SDL_AUDIODRIVER=disk", "SDL_DISKAUDIOFILE=" + audio_}) {
    if (xserver_.display().empty()) return;
    window_ = Output(x_ + "timeout 20 xdotool search --sync --onlyvisible --name '^Soundboard$' | head -1");
    window_ = window_.substr(0, window_.find('\n'));
  }
  bool open() const { return !window_.empty(); }
  Process& program() { return program_; }
  // An xdotool command on the window ("W" in it names the window).
  std::string Do(std::string command) {
    for (size_t at; (at = command.find(" W")) != std::string::npos;) command.replace(at, 2, " " + window_);
    return Output(x_ + "xdotool " + command);
  }
  Image Capture() {
    std::string file = dir_ + "/window.png";
    Output(x_ + "import -window " + window_ + " png:" + file + " 2>/dev/null");
    return LoadPng(file);
  }
  // Whether the device played a clip: both sides, from `from` on (its first sample, or past what
  // may sound over it), as a condition to wait for.
  std::function<bool()> Heard(const char* name, size_t from = 0) {
    WavFile wav = LoadWav(bundle_ + "/" + name);
    std::vector<int16_t> stereo;
    for (size_t i = from; i < from + 4800 && i < wav.samples.size(); i++) stereo.insert(stereo.end(), {wav.samples[i], wav.samples[i]});
    std::string needle(reinterpret_cast<const char*>(stereo.data()), stereo.size() * 2);
    return [audio = audio_, needle] {
      std::ifstream in(audio, std::ios::binary);
      return std::string(std::istreambuf_iterator<char>(in), {}).find(needle) != std::string::npos;
    };
  }
  // Ends it as a desktop's user does; its exit status.
  int Quit() {
    Do("key --window W ctrl+q");
    EXPECT_TRUE(WaitFor([&] { return !program_.running(); })) << "Ctrl+Q did not end it";
    return program_.Terminate();
  }

 private:
  XServer xserver_;
  std::string bundle_, dir_, audio_, x_;
  Process program_;
  std::string window_;
};

// Clicks Coin in the program, started as `command` with its bundle at `bundle`, and checks what
// was shown and heard; then ends it. With `lost_release`, Coin is pressed again and released
// while the window is unmapped, where the window never hears of it, and a press on Kart after
// the window is back must still play.
static void ClickCoinAndHear(const std::string& command, const std::string& bundle,
                             bool lost_release = false) {
  RealSoundboard soundboard(command, bundle);
  ASSERT_TRUE(soundboard.open()) << "no window (are Xvfb and xdotool installed?)";
  // The screen is 1280 x 1024: the window opens at two pixels a point, with the sharp pictures.
  EXPECT_NE(soundboard.Do("getwindowgeometry W").find("Geometry: 640x920"), std::string::npos);
  Image normal = LoadPng(bundle + "/Coin1@2x.png"), pressed = LoadPng(bundle + "/Coin2@2x.png");
  ASSERT_GT(normal.width, 0);
  auto shows = [&](const Image& picture) {
    return Shows(soundboard.Capture(), picture, 20, 480);  // Coin's corner, (10, 240) in points
  };
  ASSERT_TRUE(WaitFor([&] { return shows(normal); })) << "Coin never drawn";

  soundboard.Do("mousemove --window W 60 510 mousedown 1");
  EXPECT_TRUE(WaitFor([&] { return shows(pressed); })) << "Coin's pressed picture never shown";
  EXPECT_TRUE(WaitFor(soundboard.Heard("Coin.wav"))) << "Coin's clip never reached the audio device";

  soundboard.Do("mouseup 1");
  EXPECT_TRUE(WaitFor([&] { return shows(normal); })) << "Coin's normal picture never came back";
  if (lost_release) {
    soundboard.Do("mousemove --window W 60 510 mousedown 1");
    EXPECT_TRUE(WaitFor([&] { return shows(pressed); })) << "Coin not held";
    soundboard.Do("windowunmap --sync W mouseup 1 windowmap --sync W");
    soundboard.Do("mousemove --window W 360 220 mousedown 1");  // Kart, (160, 100)
    EXPECT_TRUE(WaitFor(soundboard.Heard("KartTheme.wav", kMixerRate))) << "the press after a lost release was swallowed";
    soundboard.Do("mouseup 1");
  }
  EXPECT_EQ(soundboard.Quit(), 0);
}

TEST(RealWindowTest, ARealClickOnCoinShowsItsPressedPictureAndPlaysItsClipAndAReleaseLostOutOfSightSwallowsNoPress) {
  ClickCoinAndHear(SOUNDBOARD, kBundle, true);
}

// Tab puts a ring around the first control, Theme, over the frame; Space held plays it through
// the device; a click anywhere takes the ring away.
TEST(RealWindowTest, TabRingsThemeSpacePlaysItAndAClickHidesTheRing) {
  RealSoundboard soundboard(SOUNDBOARD, kBundle);
  ASSERT_TRUE(soundboard.open()) << "no window (are Xvfb and xdotool installed?)";
  Image theme = LoadPng(kBundle + "/Theme1@2x.png");
  ASSERT_TRUE(WaitFor([&] { return Shows(soundboard.Capture(), theme, 170, 200); })) << "Theme never drawn";
  // Just left of Theme, (85, 100) in points at two pixels a point: the ring's light band.
  auto ringed = [&] {
    Image now = soundboard.Capture();
    const uint8_t* p = &now.rgba[(static_cast<size_t>(220) * now.width + 168) * 4];
    return p[0] == 255 && p[1] == 255 && p[2] == 255;
  };
  EXPECT_FALSE(ringed());
  soundboard.Do("key --window W Tab");
  EXPECT_TRUE(WaitFor(ringed)) << "no ring around Theme";
  soundboard.Do("keydown --window W space");
  EXPECT_TRUE(WaitFor(soundboard.Heard("Theme.wav"))) << "Space did not play Theme";
  EXPECT_TRUE(WaitFor([&] { return Shows(soundboard.Capture(), LoadPng(kBundle + "/Theme2@2x.png"), 170, 200); }))
      << "Theme not held down by Space";
  soundboard.Do("keyup --window W space");
  soundboard.Do("mousemove --window W 10 10 click 1");
  EXPECT_TRUE(WaitFor([&] { return !ringed(); })) << "the ring stayed after a click";
  EXPECT_EQ(soundboard.Quit(), 0);
}

// Installed into a prefix of its own, started from its menu entry's Exec line: it finds its
// pictures and clips under share/, as it did beside itself in the build.
TEST(InstallTest, TheInstalledProgramStartedFromItsMenuEntryFindsItsBundle) {
  std::string prefix = TemporaryDir();
  std::string log = Output("cmake --install " BUILD_DIR " --prefix " + prefix + " 2>&1");
  std::ifstream entry(prefix + "/share/applications/soundboard.desktop");
  std::string line, exec;
  while (std::getline(entry, line))
    if (line.rfind("Exec=", 0) == 0) exec = line.substr(5);
  ASSERT_EQ(exec, prefix + "/bin/Soundboard") << log;
  for (int size : {16, 32, 48, 256})
    EXPECT_TRUE(fs::exists(prefix + "/share/icons/hicolor/" + std::to_string(size) + "x" +
                           std::to_string(size) + "/apps/soundboard.png")) << size;
  EXPECT_FALSE(fs::exists(prefix + "/bin/Coin.wav"));  // the bundle is not beside the program
  ClickCoinAndHear(exec, prefix + "/share/soundboard");
}
