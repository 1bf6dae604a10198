// The browser backend, for WebAssembly: the page's canvas is the window, pointer events are
// the touches, the browser's frame callback runs the loop, and Web Audio plays the mixer on
// its own audio thread where it can (WebMixer.cpp and .js). The page's side is Web.js (the
// calls below named web_) and Loader.js, which fetches the
// bundle before main and has the browser decode every picture and clip, so that they are here
// synchronously when the tables ask.
//
// The canvas fills the page: window units are CSS pixels, drawing is in device pixels, and the
// core letterboxes the frame in it. Frames are drawn by the software compositor into memory
// and only the damaged rectangles are copied to the canvas. The loop runs on the page's timers
// (Web.js), at each tick's due time and at each event.
#include <emscripten.h>

#include <algorithm>
#include <vector>

#include "Engine/Platform/Backend.h"
#include "Engine/Platform/Downmix.h"
#include "Engine/Platform/Mixer.h"
#include "Engine/Platform/Raster.h"

extern "C" {
// Web.js
void web_page_open(const char* title);
void web_page_size(int* css_width, int* css_height, int* pixel_width, int* pixel_height);
void web_page_insets(float* left, float* top, float* right, float* bottom);
void web_page_put(const uint8_t* rgba, int stride, int rows, const PlatIRect* rects, int count);
void web_page_run(void);
int web_audio_open(int rate, int frames, int* granted_rate, int* granted_frames);
void web_audio_close(void);
void web_mixer_add(const int16_t* samples, uint32_t frames);
void web_mixer_cue(int cue, int voice, uint32_t frame);
bool web_picture_size(const char* path, int* width, int* height);
void web_picture_pixels(const char* path, uint8_t* rgba);
int web_clip_frames(const char* path, int rate, int* channels, uint32_t* mask);  // -1: none at rate
void web_clip_channels(const char* path, float* planar);
bool web_clip_pending(const char* path);
}

// ---------------------------------------------------------------------------------------------
// State

static constexpr const char* kBundleDir = "/bundle";        // where Loader.js puts the files
static constexpr const char* kDocumentsDir = "/documents";  // nothing is written there
static constexpr int kMaxAudioFrames = 16384;

namespace {
struct WebState {
  int css_width = 0, css_height = 0;
  RasterFrame frame;  // the canvas's pixels
  PlatAudioPull pull = nullptr;  // the core's mixer, when a script node pulls it
  int voices = 0;                // given to the worklet's mixer
  int16_t audio[kMaxAudioFrames * 2];
};
}  // namespace

static WebState g;

// ---------------------------------------------------------------------------------------------
// Called by the page (Web.js)

extern "C" {

EMSCRIPTEN_KEEPALIVE void web_touch(int phase, int finger, int pointer, float x, float y) {
  core_touch(static_cast<PlatTouchPhase>(phase), finger ? kPlatSourceFinger : kPlatSourceMouse,
             0, pointer, x, y);
}

// A clip that was still on its way when its player was made has come, or will not.
EMSCRIPTEN_KEEPALIVE void web_clips_arrived(void) { core_clips_arrived(); }

// The page was hidden or lost the focus: a release may never come.
EMSCRIPTEN_KEEPALIVE void web_touch_cancel(void) { core_touch_cancel(); }

EMSCRIPTEN_KEEPALIVE void web_resized(void) {
  int pixel_width = 0, pixel_height = 0;
  web_page_size(&g.css_width, &g.css_height, &pixel_width, &pixel_height);
  if (pixel_width != g.frame.width || pixel_height != g.frame.height)
    raster_resize(&g.frame, pixel_width, pixel_height);  // with no memory for it: nothing drawn
  core_redraw();
}

// One pass of the loop: due ticks, then drawing. False once the program has ended.
EMSCRIPTEN_KEEPALIVE bool web_frame(void) { return plat_loop_step(false); }

// Milliseconds until the next tick is due; -1 with no timer.
EMSCRIPTEN_KEEPALIVE double web_wait_ms(void) {
  int64_t wait = core_wait_ns();
  return wait < 0 ? -1 : static_cast<double>(wait) / 1e6;
}

// Mixes frames of stereo for the audio node and gives where they are.
EMSCRIPTEN_KEEPALIVE const int16_t* web_audio_pull(int frames) {
  if (frames > kMaxAudioFrames) frames = kMaxAudioFrames;
  if (g.pull) g.pull(g.audio, frames);
  return g.audio;
}
}

// ---------------------------------------------------------------------------------------------
// Life cycle

bool backend_init(void) {
  g.pull = nullptr;
  return true;
}

void backend_shutdown(void) {
  backend_audio_close();
  g.frame = RasterFrame{};
}

// ---------------------------------------------------------------------------------------------
// Window: the page

bool backend_screen_size(int* width, int* height) {
  int pixel_width, pixel_height;
  web_page_size(width, height, &pixel_width, &pixel_height);
  return *width > 0 && *height > 0;
}

// The canvas already fills the page; the size asked for is the desktop's, and means nothing
// here.
bool backend_window_open(const char* title, int, int, int, int) {
  web_page_open(title);
  web_resized();
  return true;
}

void backend_window_set_icon(const PlatPixels*) {}  // the page's icons are in its manifest

void backend_window_show(void) {}

void backend_window_set_size(int, int) {}  // a page's size is the browser's

void backend_window_size(int* width, int* height) {
  *width = g.css_width;
  *height = g.css_height;
}

// The page's safe area (viewport-fit=cover): a notch, rounded corners, the home indicator.
void backend_safe_insets(float* left, float* top, float* right, float* bottom) {
  web_page_insets(left, top, right, bottom);
}

void backend_output_size(int* width, int* height) {
  *width = g.frame.width;
  *height = g.frame.height;
}

// ---------------------------------------------------------------------------------------------
// Drawing

PlatTexture* backend_texture_create(const PlatPixels* pixels) { return new PlatTexture{pixels}; }

void backend_texture_destroy(PlatTexture* texture) { delete texture; }

void backend_draw(const PlatDrawList* list) { raster_draw(&g.frame, *list); }

void backend_draw_edges(const PlatIRect* frame, const PlatIRect* area, int blur) {
  raster_continue_edges(&g.frame, *frame, *area, blur);
}

void backend_present(const PlatIRect* rects, int count) {
  PlatIRect shown[kMaxPresentRects];
  int n = 0;
  for (int i = 0; i < count && n < kMaxPresentRects; i++) {
    int x = std::max(rects[i].x, 0), y = std::max(rects[i].y, 0);
    int right = std::min(rects[i].x + rects[i].w, g.frame.width);
    int bottom = std::min(rects[i].y + rects[i].h, g.frame.height);
    if (right > x && bottom > y) shown[n++] = {x, y, right - x, bottom - y};
  }
  if (n > 0) web_page_put(g.frame.rgba.data(), g.frame.width, g.frame.height, shown, n);
}

bool backend_read_pixels(uint8_t* rgba, int width, int height) {
  return raster_read(g.frame, rgba, width, height);
}

// ---------------------------------------------------------------------------------------------
// Events and loop: the browser calls us

void backend_pump_events(int64_t) {}  // each event was reported as it came, by its handler

bool backend_run_loop(void) {
  web_page_run();
  return false;
}

// ---------------------------------------------------------------------------------------------
// Audio: the mixer on the browser's audio thread, a copy of it in a worklet (WebMixer.cpp)
// given the clips and cues through a port; else the core's, pulled on the page's thread.

enum WebAudioMixing { kWebNoAudio, kWebPulled, kWebWorklet };
enum WebCue { kWebStop, kWebPosition, kWebPlay };  // as WebMixer.js reads them

static int worklet_add_voice(const int16_t* samples, uint32_t frames) {
  if (g.voices >= kMixerVoices) return -1;
  web_mixer_add(samples, frames);
  return g.voices++;  // the worklet's mixer numbers its voices in the same order
}

static const PlatMixerPort kWorkletPort = {
    worklet_add_voice,
    [](int voice) { web_mixer_cue(kWebStop, voice, 0); },
    [](int voice, uint32_t frame) { web_mixer_cue(kWebPosition, voice, frame); },
    [](int voice) { web_mixer_cue(kWebPlay, voice, 0); },
};

// Opened once, at the context's own rate: a page's output follows the system's device itself.
bool backend_audio_open(int rate, bool, int frames, PlatAudioPull pull, PlatAudioInfo* granted,
                        const PlatMixerPort** port) {
  int granted_rate = 0, granted_frames = 0;
  g.pull = pull;
  g.voices = 0;
  int mixing = web_audio_open(rate, frames, &granted_rate, &granted_frames);
  if (mixing == kWebNoAudio) {
    g.pull = nullptr;
    core_set_error("this browser has no Web Audio");
    return false;
  }
  if (mixing == kWebWorklet) *port = &kWorkletPort;
  *granted = {true, granted_rate, granted_frames};
  return true;
}

void backend_audio_close(void) {
  web_audio_close();
  g.pull = nullptr;
}

// ---------------------------------------------------------------------------------------------
// Files: what Loader.js fetched and the browser decoded

std::string backend_bundle_dir(void) { return kBundleDir; }

std::string backend_documents_dir(void) { return kDocumentsDir; }

bool backend_decode_picture(const char* path, PlatPixels* out) {
  int width = 0, height = 0;
  if (!web_picture_size(path, &width, &height)) return false;
  out->width = width;
  out->height = height;
  out->rgba.resize(static_cast<size_t>(width) * height * 4);
  web_picture_pixels(path, out->rgba.data());
  return true;
}

bool backend_clip_pending(const char* path) { return web_clip_pending(path); }

// The browser's floats, every channel, mixed down and to 16 bits as a desktop's decoder does.
bool backend_decode_clip(const char* path, int rate, PlatSamples* out) {
  int channels = 0;
  uint32_t mask = 0;
  int frames = web_clip_frames(path, rate, &channels, &mask);
  if (frames < 0 || channels < 1 || channels > kMaxClipChannels) return false;
  std::vector<float> planar(static_cast<size_t>(frames) * channels);
  web_clip_channels(path, planar.data());
  PlatDownmix mix = downmix_from_mask(channels, mask);
  out->stereo.resize(static_cast<size_t>(frames) * 2);
  for (int i = 0; i < frames; i++) {
    float left, right;
    downmix_frame(mix, &planar[static_cast<size_t>(i)], frames, &left, &right);
    out->stereo[2 * static_cast<size_t>(i)] = downmix_sample16(left);
    out->stereo[2 * static_cast<size_t>(i) + 1] = downmix_sample16(right);
  }
  return true;
}
