// The whole program, end to end, through the replay tool on the soundboard's own generated
// bundle: presses from a script, and what came out of them in the screenshots, the recorded
// sound and the printed log, compared with the bundle's own pictures and clips.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "App/Buttons.h"
#include "Tests/Support/EngineTest.h"

namespace fs = std::filesystem;

// The soundboard's bundle, beside the replay tool; its buttons are App/Buttons.h's.
static const std::string kBundle = fs::path(REPLAY).parent_path();

// ---------------------------------------------------------------------------------------------
// Files



// A WAV file's 16-bit samples as they are in it.
static std::vector<int16_t> Samples(const std::string& path) { return LoadWav(path).samples; }

static std::vector<int16_t> Clip(const char* name) { return Samples(kBundle + "/" + name); }

static std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// ---------------------------------------------------------------------------------------------
// Running it

class EndToEndTest : public testing::Test {
 protected:
  void SetUp() override { dir_ = TemporaryDir(); }

  // Runs the replay tool on a script in the test's folder; its exit status.
  int Replay(const std::string& script, const std::string& args = "") {
    std::ofstream(dir_ + "/script.txt") << script;
    return Run("--script script.txt " + args);
  }
  // Runs it with these arguments alone, in the test's folder, bounded, so that a run that
  // should have been refused fails the test instead of hanging; its exit status.
  int Run(const std::string& args, const std::string& out = "stdout.txt", const std::string& err = "stderr.txt") {
    std::string command = "cd " + dir_ + " && timeout -k 10 120 " + REPLAY + " " + args + " > " + out + " 2> " + err;
    int status = system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::string File(const std::string& name) const { return dir_ + "/" + name; }

  // A copy of the bundle in the test's folder, less the named files; its path.
  std::string BundleWithout(std::initializer_list<const char*> missing) const {
    std::string bundle = dir_ + "/bundle";
    fs::create_directories(bundle + "/Images");
    for (const auto& entry : fs::recursive_directory_iterator(kBundle)) {
      std::string ext = entry.path().extension();
      if (entry.is_regular_file() && (ext == ".png" || ext == ".wav"))
        fs::copy_file(entry.path(), bundle / fs::relative(entry.path(), kBundle));
    }
    for (const char* name : missing) fs::remove(bundle + "/" + name);
    return bundle;
  }

  // Every opaque pixel of the bundle's picture is on the screen at (x, y), unchanged.
  static void ExpectPictureAt(const Image& screen, const std::string& picture, int x, int y,
                              const std::string& what) {
    Image p = LoadPng(kBundle + "/" + picture);
    ASSERT_GT(p.width, 0) << picture;
    int opaque = 0, wrong = 0;
    for (int py = 0; py < p.height; py++)
      for (int px = 0; px < p.width; px++) {
        if (p.at(px, py)[3] != 255) continue;
        opaque++;
        wrong += !std::equal(p.at(px, py), p.at(px, py) + 3, screen.at(x + px, y + py));
      }
    EXPECT_GT(opaque, p.width * p.height / 2) << picture;
    EXPECT_EQ(wrong, 0) << what << ": " << picture << " at (" << x << ", " << y << ")";
  }

  // The mix of mono clips starting at the given frames, as the mixer makes it: summed on both
  // sides, saturated.
  static std::vector<int16_t> Mix(size_t frames, const std::vector<std::pair<size_t, std::vector<int16_t>>>& starts) {
    std::vector<int32_t> sum(frames * 2, 0);
    for (const auto& [start, clip] : starts)
      for (size_t i = 0; i < clip.size() && start + i < frames; i++) {
        sum[2 * (start + i)] += clip[i];
        sum[2 * (start + i) + 1] += clip[i];
      }
    std::vector<int16_t> out(sum.size());
    for (size_t i = 0; i < sum.size(); i++) out[i] = static_cast<int16_t>(std::clamp(sum[i], -32768, 32767));
    return out;
  }

  // How many frames differ between what was heard and what was expected; 0 when they are one.
  static size_t FramesDiffering(const std::vector<int16_t>& heard, const std::vector<int16_t>& expected) {
    if (heard.size() != expected.size()) return SIZE_MAX;
    size_t differ = 0;
    for (size_t i = 0; i < heard.size(); i += 2) differ += heard[i] != expected[i] || heard[i + 1] != expected[i + 1];
    return differ;
  }

  std::string dir_;
};

static constexpr size_t kRate = 48000;
static size_t FrameAt(double seconds) { return static_cast<size_t>(seconds * kRate + 0.5); }

// ---------------------------------------------------------------------------------------------
// Tests

TEST_F(EndToEndTest, EachButtonShowsItsPressedPictureWhileHeldAndPlaysItsClipFromThePress) {
  std::string script;
  std::vector<std::pair<size_t, std::vector<int16_t>>> starts;
  for (int b = 0; b < kSoundboardButtonCount; b++) {
    const SoundboardButton& k = kSoundboardButtons[b];
    int ms = 1000 * b;
    std::string down = std::to_string(k.x + 3) + " " + std::to_string(k.y + 3);
    script += "at " + std::to_string(ms) + "ms down " + down + "\n";
    script += "at " + std::to_string(ms + 100) + "ms shot held" + std::to_string(b) + ".png\n";
    script += "at " + std::to_string(ms + 200) + "ms up " + down + "\n";
    script += "at " + std::to_string(ms + 300) + "ms shot up" + std::to_string(b) + ".png\n";
    starts.push_back({FrameAt(b), Clip(k.clip)});
    ASSERT_FALSE(starts.back().second.empty()) << k.clip;
  }
  script += "at 10s end\n";
  ASSERT_EQ(Replay(script, "--wav sound.wav"), 0) << ReadText(File("stderr.txt"));
  for (int b = 0; b < kSoundboardButtonCount; b++) {
    const SoundboardButton& k = kSoundboardButtons[b];
    ExpectPictureAt(LoadPng(File("held" + std::to_string(b) + ".png")), std::string(k.name) + "2.png",
                    k.x, k.y, "held");
    ExpectPictureAt(LoadPng(File("up" + std::to_string(b) + ".png")), std::string(k.name) + "1.png",
                    k.x, k.y, "released");
  }
  std::vector<int16_t> heard = Samples(File("sound.wav"));
  EXPECT_EQ(heard.size(), FrameAt(10) * 2);
  EXPECT_EQ(FramesDiffering(heard, Mix(FrameAt(10), starts)), 0u);
}

TEST_F(EndToEndTest, TwoButtonsSoundTogetherAndAButtonPressedAgainRestartsItsClip) {
  std::vector<int16_t> coin = Clip("Coin.wav"), jump = Clip("Jump.wav");
  // Jump four ticks after Coin; then Coin again while it still sounds.
  ASSERT_EQ(Replay("at 0ms down 12 242\nat 50ms up 12 242\n"
                   "at 133.333333ms down 172 382\nat 200ms up 172 382\n"
                   "at 300ms down 12 242\nat 350ms up 12 242\nat 2s end\n",
                   "--wav sound.wav"), 0) << ReadText(File("stderr.txt"));
  std::vector<int16_t> heard = Samples(File("sound.wav"));
  // Coin's first sounding is cut off where it starts again.
  std::vector<int16_t> cut(coin.begin(), coin.begin() + std::min(coin.size(), FrameAt(0.3)));
  std::vector<int16_t> expected =
      Mix(FrameAt(2), {{0, cut}, {133333333 * kRate / 1000000000, jump}, {FrameAt(0.3), coin}});
  EXPECT_EQ(FramesDiffering(heard, expected), 0u);
  ASSERT_GT(coin.size(), FrameAt(0.3));  // so that the restart is heard, not the end
}

TEST_F(EndToEndTest, TheSpriteIsWhereItsTicksHaveTakenIt) {
  ASSERT_EQ(Replay("at 0s shot start.png\nat 500ms shot later.png\n"), 0);  // tick 15 at 0.5 s
  ExpectPictureAt(LoadPng(File("start.png")), "Pindle.png", 150, 200, "before the first tick");
  ExpectPictureAt(LoadPng(File("later.png")), "Pindle.png", 150 + 2 * 15, 200 + 2 * 15, "tick 15");
}

TEST_F(EndToEndTest, WithAClipAndAPictureMissingItSaysSoShowsTheReservedPictureAndTheRestWorks) {
  std::string bundle = BundleWithout({"Coin.wav", "Shroom1.png"});
  ASSERT_EQ(Replay("at 0ms shot start.png\n"
                   "at 100ms down 12 242\nat 150ms up 12 242\n"      // Coin: silent
                   "at 500ms down 172 382\nat 550ms up 172 382\n"    // Jump: heard
                   "at 1s end\n",
                   "--bundle bundle --log log.txt --wav sound.wav"), 0) << ReadText(File("stderr.txt"));
  EXPECT_EQ(ReadText(File("log.txt")), "ImageAdd - File not found: Shroom1.png\n");
  Image start = LoadPng(File("start.png"));
  ExpectPictureAt(start, "Images/EmptyRed.png", 85, 240, "in Shroom's place");
  ExpectPictureAt(start, "Coin1.png", 10, 240, "Coin, with its picture");
  std::vector<int16_t> heard = Samples(File("sound.wav"));
  EXPECT_EQ(FramesDiffering(heard, Mix(FrameAt(1), {{FrameAt(0.5), Clip("Jump.wav")}})), 0u);
}

TEST_F(EndToEndTest, TheSameScriptGivesTheSameFilesByteForByte) {
  const std::string script =
      "at 0ms down 90 245\nat 300ms shot a.png\nat 400ms up 90 245\nat 1s shot b.png\nat 1.5s end\n";
  const std::string args = "--wav sound.wav --sheet sheet.png --log log.txt --png end.png --size 640x920";
  const char* outputs[] = {"a.png", "b.png", "sound.wav", "sheet.png", "log.txt", "end.png"};
  std::vector<std::string> first;
  ASSERT_EQ(Replay(script, args), 0) << ReadText(File("stderr.txt"));
  for (const char* name : outputs) first.push_back(ReadText(File(name)));
  for (const char* name : outputs) fs::remove(File(name));
  ASSERT_EQ(Replay(script, args), 0);
  for (size_t i = 0; i < std::size(outputs); i++) {
    EXPECT_FALSE(first[i].empty() && std::string(outputs[i]) != "log.txt") << outputs[i];
    EXPECT_TRUE(first[i] == ReadText(File(outputs[i]))) << outputs[i] << " differs";
  }
}

TEST_F(EndToEndTest, NumbersOutOfRangeAndRunsPastADayAreRefusedBeforeAnythingRuns) {
  struct { const char* args; const char* said; } bad[] = {
      {"--ticks 99999999999", "Replay: --ticks 99999999999: a whole number of frames, up to 2592000 (a day)"},
      {"--ticks 2147483647", "Replay: --ticks 2147483647: a whole number of frames, up to 2592000 (a day)"},
      {"--size 100000x100000", "Replay: --size 100000x100000: WIDTHxHEIGHT in pixels, each from 1 to 16384"},
      {"--touch 99999999999:down:10:10", "Replay: --touch 99999999999:down:10:10: TICK:down|move|up:X:Y, TICK from 1 to 2592000"},
  };
  for (const auto& b : bad) {  // each would run for ever, or abort, if it were taken
    EXPECT_EQ(Replay("", std::string(b.args) + " --wav sound.wav"), 2) << b.args;
    std::string said = ReadText(File("stderr.txt"));
    EXPECT_EQ(said.substr(0, said.find('\n')), b.said);
  }
  EXPECT_EQ(Replay("at 1s down 10 10\nat 999999999s end\n", "--wav sound.wav"), 2);
  EXPECT_EQ(ReadText(File("stderr.txt")), "script.txt:2: 999999999s is later than a day\n");
  EXPECT_FALSE(fs::exists(File("sound.wav")));
}

TEST_F(EndToEndTest, EveryFileItCannotWriteIsSaidWithWhyAndTheStatusIsNotZero) {
  std::string bundle = BundleWithout({"Shroom1.png"});  // so that the log has a line to write
  const char* outputs[] = {"--png", "--wav", "--sheet", "--memory", "--log"};
  for (const char* option : outputs) {
    EXPECT_EQ(Replay("at 100ms shot a.png\nat 200ms end\n",
                     std::string("--bundle bundle ") + option + " /dev/full"), 1) << option;
    EXPECT_EQ(ReadText(File("stderr.txt")), "Replay: cannot write /dev/full: No space left on device\n") << option;
  }
  EXPECT_EQ(Replay("at 100ms shot /dev/full\n"), 1);
  EXPECT_EQ(ReadText(File("stderr.txt")), "Replay: cannot write /dev/full: No space left on device\n");
}

// Asked to end (Ctrl+C, or a SIGTERM from a supervisor), it stops, closes its files whole and
// says where it stopped.
TEST_F(EndToEndTest, ASigtermEndsARunWithItsFilesClosedWhereItStopped) {
  std::string wav = File("sound.wav"), err = File("stderr.txt");
  pid_t pid = fork();
  if (pid == 0) {
    freopen(err.c_str(), "w", stderr);
    execl(REPLAY, REPLAY, "--ticks", "2592000", "--wav", wav.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  ASSERT_GT(pid, 0);
  // Once sound is being written (beside its place, until the run ends), the run is under way
  // and SDL has its signal handlers.
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  auto written = [&wav, pid] {
    std::error_code none;
    uintmax_t size = fs::file_size(wav + ".part-" + std::to_string(pid), none);
    return none ? 0 : size;
  };
  while (written() < (1u << 20) && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  kill(pid, SIGTERM);
  int status = 0;
  deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      FAIL() << "it went on after SIGTERM";
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ASSERT_TRUE(WIFEXITED(status)) << "ended by the signal itself";
  EXPECT_EQ(WEXITSTATUS(status), 1);
  EXPECT_EQ(ReadText(err).rfind("Replay: stopped at ", 0), 0u) << ReadText(err);
  std::vector<int16_t> heard = Samples(wav);  // the header's length is the file's
  EXPECT_EQ(heard.size() * 2 + 44, fs::file_size(wav));
}

TEST_F(EndToEndTest, AFolderForAScriptNoFolderForABundleAndAnOutputThatIsAnInputAreRefusedBeforeAnythingRuns) {
  fs::create_directory(File("folder"));
  std::ofstream(File("script.txt")) << "at 1s end\n";
  struct { const char* args; const char* said; } bad[] = {
      {"--script folder --wav sound.wav", "Replay: --script folder: a folder, not a script\n"},
      {"--bundle script.txt --wav sound.wav", "Replay: --bundle script.txt: no such folder\n"},
      {"--bundle missing --wav sound.wav", "Replay: --bundle missing: no such folder\n"},
      {"--script script.txt --log script.txt", "Replay: --log script.txt: that is the script this run reads\n"},
      {"--script ./script.txt --wav script.txt", "Replay: --wav script.txt: that is the script this run reads\n"},
      {"--bundle folder --png folder/Coin1.png", "Replay: --png folder/Coin1.png: that is in the bundle this run reads\n"},
      {"--png sound.wav --wav sound.wav", "Replay: --wav sound.wav: that is another output of this run\n"},
  };
  for (const auto& b : bad) {
    EXPECT_EQ(Run(b.args), 2) << b.args;
    EXPECT_EQ(ReadText(File("stderr.txt")), b.said);
  }
  EXPECT_EQ(ReadText(File("script.txt")), "at 1s end\n");
  EXPECT_FALSE(fs::exists(File("sound.wav")));
}

// Two runs writing one file at once, one run whole while the other is half way: the file is one
// run's whole file (the last to finish), and each says it succeeded.
TEST_F(EndToEndTest, TwoRunsWritingTheSameFileAtOnceLeaveOneWholeRunsFile) {
  std::ofstream(File("long.txt")) << "at 100ms down 20 250\nat 200ms up 20 250\nat 60s end\n";
  std::ofstream(File("short.txt")) << "at 100ms down 180 390\nat 200ms up 180 390\nat 3s end\n";
  ASSERT_EQ(Run("--script long.txt --wav long.wav"), 0);
  ASSERT_EQ(Run("--script short.txt --wav short.wav"), 0);
  std::string command = "cd " + dir_ + " && exec " + REPLAY + " --script long.txt --wav both.wav";
  pid_t pid = fork();
  if (pid == 0) {
    execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  ASSERT_GT(pid, 0);
  auto writing = [this] {  // the long run's sound, under its own name or the file's
    for (const auto& entry : fs::directory_iterator(dir_))
      if (entry.path().filename().string().rfind("both.wav", 0) == 0 && entry.file_size() > (1u << 20)) return true;
    return false;
  };
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!writing() && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
  kill(pid, SIGSTOP);  // held half way while the other runs whole
  EXPECT_EQ(Run("--script short.txt --wav both.wav"), 0);
  kill(pid, SIGCONT);
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  std::string both = ReadText(File("both.wav"));
  EXPECT_TRUE(both == ReadText(File("long.wav")) || both == ReadText(File("short.wav"))) << "a mix of two runs";
  for (const auto& entry : fs::directory_iterator(dir_))  // nothing left half written
    EXPECT_EQ(entry.path().string().find(".part-"), std::string::npos) << entry.path();
}

TEST_F(EndToEndTest, ABadScriptRunsNothingAndSaysWhichLineAndWhy) {
  EXPECT_EQ(Replay("at 0ms down 10 10\nat 1s shot a.png\nat 2s hop\n", "--wav sound.wav"), 2);
  EXPECT_EQ(ReadText(File("stderr.txt")), "script.txt:3: unknown command 'hop': down, move, up, shot or end\n");
  EXPECT_FALSE(fs::exists(File("a.png")));
  EXPECT_FALSE(fs::exists(File("sound.wav")));
}
