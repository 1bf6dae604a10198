// The soundboard started on a copy of its bundle in which one file is bad: missing, empty, cut
// short, of another format, claiming a huge size, too big, a FIFO, or far away from where it
// is looked for. Each time the file gives the table's own failure and everything else works:
// another button still shows its pressed picture and plays its clip.
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "Engine/Sound.h"
#include "Engine/Touch.h"
#include "Tests/Support/SoundboardFixture.h"
#include "Tools/Media/Media.h"

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

// ---------------------------------------------------------------------------------------------
// Bad files

static void Put32BE(Bytes& b, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) b.push_back(static_cast<uint8_t>(v >> shift));
}

static void Put16LE(Bytes& b, uint32_t v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}

static void Put32LE(Bytes& b, uint32_t v) {
  Put16LE(b, v);
  Put16LE(b, v >> 16);
}

// A PNG that is only a header: a signature, an IHDR of the given size, IEND; CRCs correct.
static Bytes PngHeaderClaiming(uint32_t width, uint32_t height) {
  Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
  auto chunk = [&png](const char* type, const Bytes& data) {
    Put32BE(png, static_cast<uint32_t>(data.size()));
    Bytes body(type, type + 4);
    body.insert(body.end(), data.begin(), data.end());
    png.insert(png.end(), body.begin(), body.end());
    Put32BE(png, static_cast<uint32_t>(crc32(0, body.data(), static_cast<uInt>(body.size()))));
  };
  Bytes ihdr;
  Put32BE(ihdr, width);
  Put32BE(ihdr, height);
  ihdr.insert(ihdr.end(), {8, 6, 0, 0, 0});  // 8-bit RGBA, no interlace
  chunk("IHDR", ihdr);
  chunk("IEND", {});
  return png;
}

// A WAV header for PCM data, and `data` after it; the sizes it declares can lie.
struct WavHeader {
  uint32_t rate = 48000;
  uint32_t channels = 1;
  uint32_t bits = 16;
  uint32_t data_bytes = 0;  // as declared
};

static Bytes Wav(const WavHeader& h, const Bytes& data) {
  Bytes wav = {'R', 'I', 'F', 'F'};
  Put32LE(wav, 36 + h.data_bytes);
  wav.insert(wav.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
  Put32LE(wav, 16);
  Put16LE(wav, 1);
  Put16LE(wav, h.channels);
  Put32LE(wav, h.rate);
  Put32LE(wav, h.rate * h.channels * h.bits / 8);
  Put16LE(wav, h.channels * h.bits / 8);
  Put16LE(wav, h.bits);
  wav.insert(wav.end(), {'d', 'a', 't', 'a'});
  Put32LE(wav, h.data_bytes);
  wav.insert(wav.end(), data.begin(), data.end());
  return wav;
}

static Bytes Ramp(size_t samples) {  // 16-bit samples 1, 2, 3 ...
  Bytes b;
  for (size_t i = 0; i < samples; i++) Put16LE(b, static_cast<uint32_t>(i + 1));
  return b;
}

static Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

static Bytes ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

// Unlinked first: the copy's files are hard links to the program's own.
static void WriteFile(const std::string& path, const Bytes& bytes) {
  std::error_code ignored;
  fs::remove(path, ignored);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// A file of `size` bytes that starts with `head` and is zeros after: sparse, so it costs no disk.
static void WriteSparse(const std::string& path, const Bytes& head, uint64_t size) {
  WriteFile(path, head);
  ASSERT_EQ(truncate(path.c_str(), static_cast<off_t>(size)), 0);
}

// What one case does to the bundle's copy: it replaces (or removes) one file.
struct BadFile {
  const char* what;
  std::function<void(const std::string& path)> make;
};

static BadFile Missing() { return {"missing", [](const std::string& p) { fs::remove(p); }}; }
static BadFile Empty() { return {"empty", [](const std::string& p) { WriteFile(p, {}); }}; }
static BadFile Fifo() {
  return {"a FIFO", [](const std::string& p) {
            fs::remove(p);
            ASSERT_EQ(mkfifo(p.c_str(), 0644), 0);
          }};
}
static BadFile Holding(const char* what, Bytes bytes) {
  return {what, [bytes](const std::string& p) { WriteFile(p, bytes); }};
}

// ---------------------------------------------------------------------------------------------
// The fixture

class BadFilesTest : public SoundboardTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();  // the soundboard itself is started by each case, on its own copy
    original_ = plat_bundle_path();
    coin_ = ClipSamples("Coin.wav");
    shroom_ = ClipSamples("Shroom.wav");
    ASSERT_FALSE(coin_.empty());
    ASSERT_FALSE(shroom_.empty());
  }

  // A copy of the program's bundle in a new folder under `parent` (hard links where it can):
  // its pictures and clips, nothing else.
  std::string CopyOfBundle(const std::string& parent) const {
    std::string from = original_, to = parent + "/bundle";
    fs::create_directories(to + "/Images");
    for (const auto& entry : fs::recursive_directory_iterator(from)) {
      std::string ext = entry.path().extension();
      if (!entry.is_regular_file() || (ext != ".png" && ext != ".wav")) continue;
      fs::path target = to / fs::relative(entry.path(), from);
      std::error_code linked;
      fs::create_hard_link(entry.path(), target, linked);
      if (linked) fs::copy_file(entry.path(), target);
    }
    return to;
  }

  // Starts the soundboard on a copy of its bundle with `file` made bad; returns what it printed.
  std::string StartWith(const char* file, const BadFile& bad, std::string parent = "") {
    if (parent.empty()) parent = TemporaryDir();
    std::string bundle = CopyOfBundle(parent);
    bad.make(bundle + "/" + file);
    Restart(bundle.c_str());
    xPosition = 150, yPosition = 200, xVelocity = 2, yVelocity = 2;
    Printed();
    Start();
    return Printed();
  }

  // Shroom, another button, still shows its pressed picture while held and plays its clip.
  void ExpectShroomStillWorks(const char* what) {
    plat_touch_inject(kPlatTouchBegan, On("Shroom"));
    EXPECT_EQ(Shown(Button[4].view), Picture("Shroom2.png")) << what;
    EXPECT_TRUE(HearsClipFromItsStart(shroom_)) << what;
    plat_touch_inject(kPlatTouchEnded, On("Shroom"));
    Render(kClipsEnded);
  }

  // A press on Coin: true when it sounds its own clip from the start, false when silent.
  bool CoinSounds() {
    plat_touch_inject(kPlatTouchBegan, On("Coin"));
    std::vector<int16_t> heard = Render(2000);
    plat_touch_inject(kPlatTouchEnded, On("Coin"));
    Render(kClipsEnded);
    bool silent = std::all_of(heard.begin(), heard.end(), [](int16_t s) { return s == 0; });
    return !silent;
  }

  static constexpr int kClipsEnded = 3 * 48000;  // frames after which Coin and Shroom are over
  std::string Original(const char* file) const { return original_ + "/" + file; }

  std::string original_;  // the program's own bundle
  std::vector<int16_t> coin_, shroom_;
};

// ---------------------------------------------------------------------------------------------
// Pictures

TEST_F(BadFilesTest, ABadPictureIsNotFoundItsButtonShowsTheReservedPictureAndStillPlays) {
  Bytes coin = ReadFile(Original("Coin1.png"));
  const uint8_t gif[] = {'G', 'I', 'F', '8', '9', 'a', 0xff, 0xff, 0xff, 0xff, 0x80, 0, 0};
  std::vector<uint8_t> wide(4097 * 4 * 4, 200);
  std::string huge_valid = TemporaryDir() + "/Wide.png";
  ASSERT_TRUE(WritePng(huge_valid.c_str(), 4097, 4, wide.data()));
  const BadFile cases[] = {
      Missing(),
      Empty(),
      Holding("cut short", Bytes(coin.begin(), coin.begin() + coin.size() / 2)),
      Holding("a GIF under the name", Bytes(std::begin(gif), std::end(gif))),
      Holding("an SVG under the name",
              Text("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"9e9\" height=\"1\"/>")),
      Holding("a WAV under the name", Wav({}, Ramp(100))),
      Holding("a header claiming 60000 x 60000", PngHeaderClaiming(60000, 60000)),
      Holding("a valid picture 4097 pixels wide", ReadFile(huge_valid)),
      Fifo(),
  };
  for (const BadFile& bad : cases) {
    EXPECT_EQ(StartWith("Coin1.png", bad), "ImageAdd - File not found: Coin1.png\n") << bad.what;
    EXPECT_EQ(Button[5].image1, 0) << bad.what;
    EXPECT_EQ(Shown(Button[5].view), Win.images[0]) << bad.what;
    EXPECT_EQ(Touch.w[5], ImageGetWidth(0)) << bad.what;  // the region takes the reserved size
    EXPECT_TRUE(CoinSounds()) << bad.what;
    ExpectShroomStillWorks(bad.what);
  }
}

// ---------------------------------------------------------------------------------------------
// Clips

TEST_F(BadFilesTest, ABadClipFailsSilentlyAndLeavesOnlyItsButtonMute) {
  WavHeader rate1{1, 1, 16, 2000}, rate_low{7999, 1, 16, 2000}, rate_high{192001, 1, 16, 2000};
  WavHeader rate_max{0xffffffffu, 1, 16, 2000};
  WavHeader none{48000, 0, 16, 2000}, nine{48000, 9, 16, 2000}, many{48000, 65535, 16, 2000};
  const BadFile cases[] = {
      Missing(),
      Empty(),
      Holding("a PNG under the name", ReadFile(Original("Coin1.png"))),
      Holding("text under the name", Text("RIFF....WAVEnot really\n")),
      Holding("a rate of 1 Hz", Wav(rate1, Ramp(1000))),
      Holding("a rate of 7999 Hz", Wav(rate_low, Ramp(1000))),
      Holding("a rate of 192001 Hz", Wav(rate_high, Ramp(1000))),
      Holding("a rate of 4294967295 Hz", Wav(rate_max, Ramp(1000))),
      Holding("no channels", Wav(none, Ramp(1000))),
      Holding("nine channels", Wav(nine, Ramp(9000))),
      Holding("65535 channels", Wav(many, Ramp(1000))),
      {"a file over 64 MiB",
       [](const std::string& p) { WriteSparse(p, Wav({48000, 1, 16, 65u << 20}, {}), 65ull << 20); }},
      // 12 MiB of 8-bit samples at 8 kHz would be 288 MiB at 48 kHz in stereo.
      {"a clip that would convert to over 64 MiB",
       [](const std::string& p) { WriteSparse(p, Wav({8000, 1, 8, 12u << 20}, {}), 12ull << 20); }},
      Fifo(),
  };
  for (const BadFile& bad : cases) {
    EXPECT_EQ(StartWith("Coin.wav", bad), "") << bad.what;  // the sound table prints nothing
    EXPECT_EQ(CoinSound, 0) << bad.what;
    EXPECT_EQ(JumpSound, 9) << bad.what;  // the failed load kept its slot
    EXPECT_FALSE(CoinSounds()) << bad.what;
    EXPECT_EQ(Shown(Button[5].view), Picture("Coin1.png")) << bad.what;
    ExpectShroomStillWorks(bad.what);
  }
}

TEST_F(BadFilesTest, AClipWhoseSizesLieIsReadAsFarAsTheFileGoesAndNoFurther) {
  // The data chunk claims 4 GiB; the file holds 1000 samples.
  StartWith("Coin.wav", Holding("data size 4 GiB", Wav({48000, 1, 16, 0xfffffff0u}, Ramp(1000))));
  EXPECT_EQ(CoinSound, 5);
  plat_touch_inject(kPlatTouchBegan, On("Coin"));
  std::vector<int16_t> heard = Render(1200);
  EXPECT_EQ(heard[0], 1);
  EXPECT_EQ(heard[2 * 999], 1000);
  EXPECT_EQ(heard[2 * 1000], 0);
  plat_touch_inject(kPlatTouchEnded, On("Coin"));
  ExpectShroomStillWorks("data size 4 GiB");

  // Cut short in the middle of its samples: it plays the ones that are there.
  Bytes coin = ReadFile(Original("Coin.wav"));
  StartWith("Coin.wav", Holding("cut short", Bytes(coin.begin(), coin.begin() + 44 + 2 * 3000)));
  EXPECT_EQ(CoinSound, 5);
  plat_touch_inject(kPlatTouchBegan, On("Coin"));
  EXPECT_TRUE(HearsClipFromItsStart(coin_, 3000));
  EXPECT_EQ(Render(10)[0], 0);
  plat_touch_inject(kPlatTouchEnded, On("Coin"));
}

// ---------------------------------------------------------------------------------------------
// Where files are looked for

TEST_F(BadFilesTest, ABundleFolderTooLongForPathAppStillPlaysItsOwnClipsNotOnesBesideTheProgram) {
  // A working directory holding another Shroom.wav, as a decoy.
  std::string decoy_dir = TemporaryDir();
  WriteFile(decoy_dir + "/Shroom.wav", Wav({48000, 1, 16, 2000}, Ramp(1000)));
  std::string parent = TemporaryDir() + "/" + std::string(120, 'a') + "/" + std::string(100, 'b');
  fs::create_directories(parent);
  fs::path cwd = fs::current_path();
  fs::current_path(decoy_dir);
  std::string printed = StartWith("Coin.wav", {"untouched", [](const std::string&) {}}, parent);
  fs::current_path(cwd);
  EXPECT_EQ(printed.rfind("FileGetAppPath - path too long: ", 0), 0u) << printed;
  EXPECT_EQ(PathApp[0], '\0');
  EXPECT_EQ(ShroomSound, 4);
  ExpectShroomStillWorks("a long bundle path");  // the bundle's own Shroom, not the decoy
  EXPECT_TRUE(CoinSounds());
}

TEST_F(BadFilesTest, NoFileOutsideTheBundleIsEverOpenedWhateverTheName) {
  std::string outside = TemporaryDir();
  WriteFile(outside + "/Elsewhere.wav", Wav({48000, 1, 16, 2000}, Ramp(1000)));
  WritePng((outside + "/Elsewhere.png").c_str(), 1, 1, std::vector<uint8_t>(4, 255).data());
  StartWith("Coin.wav", {"a link out of the bundle", [outside](const std::string& p) {
                           fs::remove(p);
                           fs::create_symlink(outside + "/Elsewhere.wav", p);
                         }});
  EXPECT_EQ(CoinSound, 0);
  std::string up = "../../" + fs::path(outside).filename().string();
  EXPECT_EQ(SoundAdd((up + "/Elsewhere.wav").c_str()), 0);
  EXPECT_EQ(SoundAdd((outside + "/Elsewhere.wav").c_str()), 0);
  // A folder beside the bundle whose name begins with the bundle's is not inside it.
  std::string sibling = fs::path(plat_bundle_path()).string() + "-sibling";
  fs::create_directories(sibling);
  fs::copy_file(outside + "/Elsewhere.wav", sibling + "/Elsewhere.wav");
  EXPECT_EQ(SoundAdd("../bundle-sibling/Elsewhere.wav"), 0);
  EXPECT_EQ(SoundAdd((sibling + "/Elsewhere.wav").c_str()), 0);
  EXPECT_EQ(ImageAdd((up + "/Elsewhere.png").c_str()), 0);
  EXPECT_EQ(Printed(), "ImageAdd - File not found: " + up + "/Elsewhere.png\n");
  EXPECT_NE(SoundAdd("Shroom.wav"), 0);  // by its name in the bundle, a clip still loads
}
