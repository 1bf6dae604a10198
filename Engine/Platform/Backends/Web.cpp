// The browser backend, for WebAssembly: the page's canvas is the window, pointer events are
// the touches, the page's timers run the loop (at each tick's due time and at each event), and
// Web Audio plays the mixer on the browser's audio thread (WebMixer.cpp and .js). The page's
// side is Web.js (the calls below named web_), Boot.js, which asks for the pictures from the
// page's head and decodes each as it comes, and Loader.js, which brings the clips after the
// first frame. The program starts before all of them are in: a picture still on its way is
// drawn once it comes (its size is known from the start), and a player made before its clip
// waits for it.
//
// Implemented:
//   [x] touches: the canvas's pointer events, a finger or the mouse; a touch held when the page
//       is hidden ends there
//   [x] the keyboard and a screen reader: a page's own element over each control and text
//       (backend_elements_changed), pressed through the touch stream; the page draws the focus
//   [x] safe insets: the page's env(safe-area-inset-*)
//   [x] sharper twins at the screen's density, and only that density's pictures fetched
//   [x] a present of the damaged rectangles only (to the painter worker)
//   [x] a stuck or interrupted audio context replaced or resumed (the browser's own device
//       changes are its own: a context follows the default output)
//   [x] a mixer port: the mixer's own module on the audio thread, given the cues
//   [x] pending files: pictures and clips arriving after the start
//
// The canvas fills the page: window units are CSS pixels, drawing is in device pixels, and the
// core letterboxes the frame in it. Frames are drawn by the software compositor into memory
// and only the damaged rectangles are copied to the canvas.
#include <emscripten.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "Engine/Platform/Backend.h"
#include "Engine/Platform/Contract.h"
#include "Engine/Platform/Downmix.h"
#include "Engine/Platform/Mixer.h"
#include "Engine/Platform/Raster.h"

extern "C" {
// Web.js
void web_page_open(void);
void web_page_size(int* css_width, int* css_height, int* pixel_width, int* pixel_height);
void web_page_insets(float* left, float* top, float* right, float* bottom);
void web_page_put(const uint8_t* rgba, int stride, int rows, const PlatIRect* rects, int count);
void web_page_run(void);
int web_audio_open(void);  // the context's rate; 0 before it is made, -1 without Web Audio
void web_audio_close(void);
void web_mixer_add(const int16_t* samples, uint32_t frames);
void web_mixer_cue(int cue, int voice, uint32_t frame);
bool web_picture_size(const char* path, int* width, int* height);
void web_picture_pixels(const char* path, uint8_t* rgba);
int web_clip_frames(const char* path, int rate, int* channels, uint32_t* mask);  // -1: none at rate
void web_clip_channels(const char* path, float* planar);
bool web_clip_pending(const char* path);
void web_clip_wanted(const char* path);
bool web_picture_pending(const char* path, int* width, int* height);
bool web_file_known(const char* path);
void web_elements(const char* json);
}

// ---------------------------------------------------------------------------------------------
// State

namespace {
struct WebState {
  int css_width = 0, css_height = 0;
  RasterFrame frame;  // the canvas's pixels
  int voices = 0;     // given to the page's mixer
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

// The page's sound has started: its context is made.
EMSCRIPTEN_KEEPALIVE void web_audio_arrived(void) { core_audio_device_added(); }

// Another density's pictures, asked for when the screen changed, have come, or will not.
EMSCRIPTEN_KEEPALIVE void web_pictures_arrived(void) { core_pictures_arrived(); }

// One of the page's elements was pressed by a key or a screen reader, or released.
EMSCRIPTEN_KEEPALIVE void web_element_press(int element, int down) { core_element_press(element, down != 0); }

// The page was hidden or lost the focus: a release may never come.
EMSCRIPTEN_KEEPALIVE void web_touch_cancel(void) { core_touch_cancel(); }

// The frame's scale as the program draws it, for the page's tests to hold Frame.js to.
EMSCRIPTEN_KEEPALIVE float web_window_scale(void) { return core_window_scale(); }

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
}

// ---------------------------------------------------------------------------------------------
// Life cycle

bool backend_init(void) { return true; }

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
// here. The title is the page's own, which names the program as the site was built.
bool backend_window_open(const char*, int, int, int, int) {
  web_page_open();
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
// Audio: the mixer runs on the page's side, a copy of it (WebMixer.cpp) on the browser's audio
// thread in a worklet, or on the page's own thread where the browser has none; either takes
// the clips and cues through a port, which keeps them until that mixer is ready, so that the
// program starts without waiting for it.

static int page_add_voice(const int16_t* samples, uint32_t frames) {
  if (g.voices >= kMixerVoices) return -1;
  web_mixer_add(samples, frames);
  return g.voices++;  // the page's mixer numbers its voices in the same order
}

static const PlatMixerPort kPagePort = {
    page_add_voice,
    [](int voice) { web_mixer_cue(kWebCueStop, voice, 0); },
    [](int voice, uint32_t frame) { web_mixer_cue(kWebCuePosition, voice, frame); },
    [](int voice) { web_mixer_cue(kWebCuePlay, voice, 0); },
};

// At the context's own rate: a page's output follows the system's device itself. The page
// makes its context once the first frame is shown, since a browser may take a while to start
// its sound, and says so (web_audio_arrived): the program starts without waiting for it.
bool backend_audio_open(int, bool, int, PlatAudioPull, PlatAudioInfo* granted,
                        const PlatMixerPort** port) {
  g.voices = 0;
  int rate = web_audio_open();
  if (rate < 0) core_set_error("this browser has no Web Audio");
  if (rate <= 0) return false;
  *port = &kPagePort;
  *granted = {true, rate, kWebRenderQuantum};
  return true;
}

void backend_audio_close(void) { web_audio_close(); }

// ---------------------------------------------------------------------------------------------
// Files: what Loader.js fetched and the browser decoded

// The page has no file system, and the program no need of one: a path names the bundle's folder,
// the documents folder, or a file the page has, its "." and ".." taken away as a real path's are
// (there are no links). What the core's paths resolve, with the C library's name.
extern "C" char* realpath(const char* path, char* resolved) {
  if (!path || path[0] != '/') {
    errno = ENOENT;
    return nullptr;
  }
  std::vector<std::string> parts;
  for (const char* at = path; *at;) {
    const char* end = strchr(at, '/');
    std::string part(at, end ? end - at : strlen(at));
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    at = end ? end + 1 : at + part.size();
  }
  std::string real;
  for (const std::string& part : parts) real += "/" + part;
  if (real.empty()) real = "/";
  bool known = real == kWebBundleDir || real == kWebDocumentsDir || web_file_known(real.c_str());
  if (!known || real.size() >= PATH_MAX) {
    errno = ENOENT;
    return nullptr;
  }
  char* out = resolved ? resolved : static_cast<char*>(malloc(real.size() + 1));
  if (out) memcpy(out, real.c_str(), real.size() + 1);
  return out;
}

std::string backend_bundle_dir(void) { return kWebBundleDir; }

std::string backend_documents_dir(void) { return kWebDocumentsDir; }

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

void backend_clip_wanted(const char* path) { web_clip_wanted(path); }

bool backend_picture_pending(const char* path, int* width, int* height) {
  return web_picture_pending(path, width, height);
}

// ---------------------------------------------------------------------------------------------
// Elements: the page's own, over the canvas (Web.js), given as JSON

static void append_json_string(std::string* out, const char* text) {
  *out += '"';
  for (const char* c = text; *c; c++) {
    unsigned char u = static_cast<unsigned char>(*c);
    if (u == '"' || u == '\\') {
      *out += '\\';
      *out += *c;
    } else if (u < 0x20) {
      char escaped[8];
      snprintf(escaped, sizeof escaped, "\\u%04x", u);
      *out += escaped;
    } else {
      *out += *c;
    }
  }
  *out += '"';
}

void backend_elements_changed(void) {
  std::string json = "[";
  for (int i = 1; i <= plat_element_count(); i++) {
    PlatElement e = plat_element_at(i);
    char place[160];
    snprintf(place, sizeof place, "%s{\"kind\": %d, \"frame\": [%g, %g, %g, %g], \"label\": ", i > 1 ? ", " : "",
             static_cast<int>(e.kind), e.frame.x, e.frame.y, e.frame.w, e.frame.h);
    json += place;
    append_json_string(&json, e.label);
    json += '}';
  }
  json += ']';
  web_elements(json.c_str());
}

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
