// The SDL backend: a desktop window through SDL2, its events and its audio device. Frames are
// composed in memory by the software compositor and only the damaged rectangles are copied to
// the window's own surface and pushed to the screen; SDL's GL-backed window surface is turned
// off, so no GL driver is ever loaded. Headless runs use SDL's own offscreen or dummy drivers,
// chosen by SDL's own environment variables. Pictures and clips are decoded by the shared
// decoders.
//
// Implemented:
//   [x] touches: the mouse's left button and touchscreen fingers, one stream; a touch held when
//       the window is hidden or loses the focus ends there, and a release SDL swallowed is found
//   [x] the keyboard: Tab, Shift+Tab, Space and Enter (core_key); F11 and Ctrl+Q are the window's
//   [ ] a screen reader: SDL has no bridge to the desktop's accessibility bus (the README says
//       what AT-SPI would take)
//   [ ] safe insets: a desktop window has none
//   [x] sharper twins on a high-density screen (drawing in the output's pixels)
//   [x] a present of the damaged rectangles only
//   [x] an audio device lost and another arriving (SDL's device events)
//   [ ] a mixer port: SDL's audio thread pulls the core's mixer in the same memory
//   [ ] pending files: everything is on disk before it is asked for
//
// Index: state | life cycle | window | drawing | events and loop | audio | files
#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <cstring>

#include "Engine/Platform/Backend.h"
#include "Engine/Platform/Contract.h"
#include "Engine/Platform/Decode.h"
#include "Engine/Platform/Desktop.h"
#include "Engine/Platform/Raster.h"

// ---------------------------------------------------------------------------------------------
// State

// The drivers tried on Linux where the user names none: a desktop's own sound server first,
// natively, rather than through PipeWire's PulseAudio layer and its extra period. Only real
// outputs: SDL's file and dummy drivers are for those who ask for them.
static constexpr const char* kLinuxAudioDrivers = "pipewire,pulseaudio,alsa,jack,sndio,oss";

static constexpr int64_t kHeadlessMaxWaitNs = 250000000;  // so that a quit signal is seen

namespace {
struct SdlState {
  SDL_Window* window = nullptr;
  RasterFrame frame;        // what the window shows, composed here, copied out where damaged
  bool headless = false;  // then the loop sleeps on g_wakeup, as SDL itself would poll there
  SDL_AudioDeviceID audio = 0;
  PlatAudioPull pull = nullptr;
  bool stale_button = false;  // SDL holds the left button down, which the pointer is not
};
}  // namespace

static SdlState g;

// Headless, whichever thread adds an event wakes the loop through these.
static std::mutex g_wakeup_lock;
static std::condition_variable g_wakeup;
static bool g_woken = false;

static bool headless_video() {
  const char* driver = SDL_GetCurrentVideoDriver();
  return driver && (!strcmp(driver, "offscreen") || !strcmp(driver, "dummy"));
}

// Whether SDL_VIDEODRIVER names the driver SDL started, as SDL reads it: a list separated by
// commas, each compared without regard to case.
static bool driver_was_asked_for(const char* driver) {
  const char* asked = SDL_getenv("SDL_VIDEODRIVER");
  size_t length = strlen(driver);
  for (const char* item = asked; item && *item;) {
    const char* end = strchr(item, ',');
    size_t n = end ? static_cast<size_t>(end - item) : strlen(item);
    if (n == length && SDL_strncasecmp(item, driver, n) == 0) return true;
    item = end ? end + 1 : nullptr;
  }
  return false;
}

// ---------------------------------------------------------------------------------------------
// Life cycle

// SDL queues a marker of its own each time events are polled; it is not an event to wake for.
static bool is_marker(Uint32 type) { return type == SDL_POLLSENTINEL; }

static bool events_waiting() {
  return SDL_HasEvents(SDL_FIRSTEVENT, SDL_POLLSENTINEL - 1) ||
         SDL_HasEvents(SDL_POLLSENTINEL + 1, SDL_LASTEVENT);
}

// Called on whichever thread adds an event: wakes a headless loop that sleeps for one.
static int SDLCALL on_event_added(void*, SDL_Event* e) {
  if (!g.headless || is_marker(e->type)) return 0;
  {
    std::lock_guard<std::mutex> hold(g_wakeup_lock);
    g_woken = true;
  }
  g_wakeup.notify_one();
  return 0;
}

bool backend_init(void) {
  SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");  // the first click on the window counts
  // The window's surface in plain memory: SDL would otherwise put it on a GL texture, whose
  // driver costs more start-up, memory and CPU than composing the few changed pixels here.
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  // The audio thread in a real-time class where the system grants one (root, or RealtimeKit
  // on a desktop), not only at the top of the ordinary ones: a loaded machine otherwise makes
  // a short buffer run dry.
  SDL_SetHint(SDL_HINT_THREAD_FORCE_REALTIME_TIME_CRITICAL, "1");
#ifdef __linux__
  SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, kLinuxAudioDrivers, SDL_HINT_DEFAULT);  // the user's wins
#endif
  if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
    core_set_error("%s", SDL_GetError());
    return false;
  }
  // SDL falls back to its headless drivers when there is no display; run headless only when
  // they were asked for by name, so that a missing display is reported, not hidden.
  if (headless_video() && !driver_was_asked_for(SDL_GetCurrentVideoDriver())) {
    core_set_error("no display (set SDL_VIDEODRIVER=offscreen to run without one)");
    SDL_Quit();
    return false;
  }
  if (headless_video()) {
    g.headless = true;
    SDL_AddEventWatch(on_event_added, nullptr);
  }
  return true;
}

void backend_shutdown(void) {
  if (g.headless) SDL_DelEventWatch(on_event_added, nullptr);
  if (g.window) SDL_DestroyWindow(g.window);
  SDL_Quit();
  g = SdlState{};
}

// ---------------------------------------------------------------------------------------------
// Window

bool backend_screen_size(int* width, int* height) {
  SDL_Rect usable{0, 0, 0, 0};
  if (SDL_GetDisplayUsableBounds(0, &usable) != 0) return false;
  *width = usable.w;
  *height = usable.h;
  return true;
}

bool backend_window_open(const char* title, int width, int height, int min_width,
                         int min_height) {
  g.window = SDL_CreateWindow(title, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, width,
                              height, SDL_WINDOW_HIDDEN | SDL_WINDOW_RESIZABLE);
  if (!g.window) {
    core_set_error("%s", SDL_GetError());
    return false;
  }
  if (!raster_resize(&g.frame, width, height)) {
    core_set_error("not enough memory for a %d x %d window", width, height);
    SDL_DestroyWindow(g.window);
    g.window = nullptr;
    return false;
  }
  SDL_SetWindowMinimumSize(g.window, min_width, min_height);
  return true;
}

void backend_window_set_icon(const PlatPixels* icon) {
  SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(
      const_cast<uint8_t*>(icon->rgba.data()), icon->width, icon->height, 32, icon->width * 4,
      SDL_PIXELFORMAT_ABGR8888);
  if (!surface) return;
  SDL_SetWindowIcon(g.window, surface);  // SDL keeps its own copy
  SDL_FreeSurface(surface);
}

void backend_window_show(void) {
  SDL_ShowWindow(g.window);
  SDL_RaiseWindow(g.window);
}

void backend_window_set_size(int width, int height) { SDL_SetWindowSize(g.window, width, height); }

void backend_window_size(int* width, int* height) {
  *width = *height = 0;
  if (g.window) SDL_GetWindowSize(g.window, width, height);
}

// The window's surface has one pixel per window unit: no high-density surface is asked for.
void backend_output_size(int* width, int* height) { backend_window_size(width, height); }

// A desktop window has no notch and no rounded corners over its contents.
void backend_safe_insets(float* left, float* top, float* right, float* bottom) {
  *left = *top = *right = *bottom = 0;
}

// ---------------------------------------------------------------------------------------------
// Drawing

PlatTexture* backend_texture_create(const PlatPixels* pixels) { return new PlatTexture{pixels}; }

void backend_texture_destroy(PlatTexture* texture) { delete texture; }

void backend_draw(const PlatDrawList* list) {
  int w = 0, h = 0;
  backend_output_size(&w, &h);
  // A size with no memory for its frame draws nothing until the next size that has.
  if ((w != g.frame.width || h != g.frame.height) && !raster_resize(&g.frame, w, h)) return;
  raster_draw(&g.frame, *list);
}

// The bars around the frame, drawn in memory like the frame itself.
void backend_draw_edges(const PlatIRect* frame, const PlatIRect* area, int blur) {
  raster_continue_edges(&g.frame, *frame, *area, blur);
}

// Copies the damaged rectangles to the window's surface, converting to its pixel format, and
// pushes only those to the screen.
void backend_present(const PlatIRect* rects, int count) {
  SDL_Surface* screen = SDL_GetWindowSurface(g.window);  // made again by SDL after a resize
  if (!screen || screen->w != g.frame.width || screen->h != g.frame.height || count <= 0) return;
  SDL_Surface* frame = SDL_CreateRGBSurfaceWithFormatFrom(
      g.frame.rgba.data(), g.frame.width, g.frame.height, 32, g.frame.width * 4,
      SDL_PIXELFORMAT_ABGR8888);  // RGBA bytes, whatever the byte order
  if (!frame) return;
  SDL_SetSurfaceBlendMode(frame, SDL_BLENDMODE_NONE);
  SDL_Rect pushed[kMaxPresentRects];
  int n = 0;
  for (int i = 0; i < count && n < kMaxPresentRects; i++) {
    SDL_Rect r{rects[i].x, rects[i].y, rects[i].w, rects[i].h};
    SDL_BlitSurface(frame, &r, screen, &r);
    pushed[n++] = r;
  }
  SDL_FreeSurface(frame);
  SDL_UpdateWindowSurfaceRects(g.window, pushed, n);
}

bool backend_read_pixels(uint8_t* rgba, int width, int height) {
  return raster_read(g.frame, rgba, width, height);
}

// ---------------------------------------------------------------------------------------------
// Events and loop

static void report_mouse(PlatTouchPhase phase, int x, int y) {
  core_touch(phase, kPlatSourceMouse, 0, 0, static_cast<float>(x), static_cast<float>(y));
}

// SDL gives a finger's place as a fraction of the window.
static void report_finger(PlatTouchPhase phase, const SDL_TouchFingerEvent& e) {
  int w = 0, h = 0;
  backend_window_size(&w, &h);
  core_touch(phase, kPlatSourceFinger, e.touchId, e.fingerId, e.x * static_cast<float>(w),
             e.y * static_cast<float>(h));
}

// The desktop's conventions: F11 toggles fullscreen (the frame letterboxed in it), Ctrl+Q
// ends the program; Tab and Shift+Tab move the focus between the controls, Space and Enter
// hold the focused one down. A key held down is reported once.
static void handle_key(const SDL_KeyboardEvent& key) {
  bool down = key.type == SDL_KEYDOWN;
  SDL_Keycode sym = key.keysym.sym;
  if (key.repeat) return;
  if (sym == SDLK_F11 && down) {
    bool full = SDL_GetWindowFlags(g.window) & SDL_WINDOW_FULLSCREEN_DESKTOP;
    SDL_SetWindowFullscreen(g.window, full ? 0 : SDL_WINDOW_FULLSCREEN_DESKTOP);
    core_redraw();
  } else if (sym == SDLK_q && (key.keysym.mod & KMOD_CTRL)) {
    if (down) core_quit();
  } else if (sym == SDLK_TAB) {
    core_key(key.keysym.mod & KMOD_SHIFT ? kPlatKeyPrevious : kPlatKeyNext, down);
  } else if (sym == SDLK_SPACE || sym == SDLK_RETURN || sym == SDLK_KP_ENTER) {
    core_key(kPlatKeyPress, down);
  }
}

static void handle_event(const SDL_Event& e) {
  switch (e.type) {
    case SDL_QUIT:
      core_quit();
      break;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
      handle_key(e.key);
      break;
    case SDL_WINDOWEVENT:
      if (e.window.event == SDL_WINDOWEVENT_CLOSE) core_quit();
      // A release may never come to a window out of sight or out of focus.
      if (e.window.event == SDL_WINDOWEVENT_HIDDEN || e.window.event == SDL_WINDOWEVENT_MINIMIZED ||
          e.window.event == SDL_WINDOWEVENT_FOCUS_LOST)
        core_touch_cancel();
      core_redraw();  // resized, exposed or restored: draw again
      break;
    case SDL_AUDIODEVICEREMOVED:
      if (!e.adevice.iscapture && g.audio && e.adevice.which == g.audio) core_audio_device_lost();
      break;
    case SDL_AUDIODEVICEADDED:
      if (!e.adevice.iscapture) core_audio_device_added();
      break;
    // SDL's mouse events made from fingers, and finger events made from the mouse, are copies
    // of a touch already counted: they are dropped so that no press arrives twice.
    case SDL_MOUSEBUTTONDOWN:
      if (e.button.which != SDL_TOUCH_MOUSEID && e.button.button == SDL_BUTTON_LEFT)
        report_mouse(kPlatTouchBegan, e.button.x, e.button.y);
      break;
    case SDL_MOUSEMOTION:
      if (e.motion.which == SDL_TOUCH_MOUSEID) break;
      // Motion without the button means its release was lost (outside the window, with no
      // capture): the touch ends there.
      report_mouse(e.motion.state & SDL_BUTTON_LMASK ? kPlatTouchMoved : kPlatTouchEnded,
                   e.motion.x, e.motion.y);
      break;
    case SDL_MOUSEBUTTONUP:
      if (e.button.which != SDL_TOUCH_MOUSEID && e.button.button == SDL_BUTTON_LEFT)
        report_mouse(kPlatTouchEnded, e.button.x, e.button.y);
      break;
    case SDL_FINGERDOWN:
      if (e.tfinger.touchId != SDL_MOUSE_TOUCHID) report_finger(kPlatTouchBegan, e.tfinger);
      break;
    case SDL_FINGERMOTION:
      if (e.tfinger.touchId != SDL_MOUSE_TOUCHID) report_finger(kPlatTouchMoved, e.tfinger);
      break;
    case SDL_FINGERUP:
      if (e.tfinger.touchId != SDL_MOUSE_TOUCHID) report_finger(kPlatTouchEnded, e.tfinger);
      break;
    default:
      break;
  }
}

// SDL's drivers for a display wait for the system's events; its headless ones would wake every
// millisecond to look, so there the loop sleeps on a condition that every added event signals.
// Either way the wait ends at the due time to the microsecond, never before it.
static void wait_for_event(int64_t wait_ns) {
  using Clock = std::chrono::steady_clock;
  Clock::time_point due = Clock::now() + std::chrono::nanoseconds(wait_ns < 0 ? 0 : wait_ns);
  if (g.headless) {
    if (wait_ns < 0 || wait_ns > kHeadlessMaxWaitNs) due = Clock::now() + std::chrono::nanoseconds(kHeadlessMaxWaitNs);
    std::unique_lock<std::mutex> hold(g_wakeup_lock);
    bool woken = events_waiting() || g_wakeup.wait_until(hold, due, [] { return g_woken; });
    g_woken = false;
    hold.unlock();
    // SDL calls the watch just before it queues the event: give the other thread that moment.
    for (Clock::time_point until = Clock::now() + std::chrono::milliseconds(1);
         woken && !events_waiting() && Clock::now() < until;)
      std::this_thread::yield();
    return;
  }
  SDL_Event e;
  if (wait_ns < 0) {
    if (SDL_WaitEvent(&e)) handle_event(e);
    return;
  }
  // SDL waits in whole milliseconds: those, then the rest of the way by sleeping.
  int ms = static_cast<int>(std::min<int64_t>(wait_ns / 1000000, INT32_MAX));
  if (ms > 0 && SDL_WaitEventTimeout(&e, ms)) {
    handle_event(e);
    return;
  }
  if (!events_waiting()) std::this_thread::sleep_until(due);
}

// SDL keeps the left button down once its release went where the window could not hear it
// (unmapped, hidden), and takes the next real press for the same button still down, telling no
// one. So while SDL holds it, the pointer itself is asked: not down, SDL's state is stale; down
// again while stale, that is the press SDL swallowed, which is reported here, where the pointer
// is. Its release reaches SDL as any other.
static void find_swallowed_press() {
  int x = 0, y = 0;
  if (!(SDL_GetMouseState(&x, &y) & SDL_BUTTON_LMASK)) {
    g.stale_button = false;
    return;
  }
  bool down = SDL_GetGlobalMouseState(nullptr, nullptr) & SDL_BUTTON_LMASK;
  if (!down) {
    g.stale_button = true;
  } else if (g.stale_button) {
    g.stale_button = false;
    report_mouse(kPlatTouchBegan, x, y);
  }
}

void backend_pump_events(int64_t wait_ns) {
  if (wait_ns != 0) wait_for_event(wait_ns);
  SDL_Event e;
  while (SDL_PollEvent(&e)) handle_event(e);
  find_swallowed_press();
}

bool backend_run_loop(void) {
  while (plat_loop_step(true)) {
  }
  return true;
}

// ---------------------------------------------------------------------------------------------
// Audio

static void SDLCALL audio_callback(void*, Uint8* stream, int bytes) {
  g.pull(reinterpret_cast<int16_t*>(stream), bytes / 4);  // stereo, 16-bit
}

// The buffer to ask the driver for: its own where it needs a longer one than the core's.
static int driver_buffer_frames(int frames) {
  const char* driver = SDL_GetCurrentAudioDriver();
  if (!driver) return frames;
  if (!strcmp(driver, "pulseaudio")) return std::max(frames, kPulseBufferFrames);
  return frames;
}

bool backend_audio_open(int rate, bool any_rate, int frames, PlatAudioPull pull,
                        PlatAudioInfo* granted, const PlatMixerPort**) {
  // Once started, the subsystem stays: it reports devices coming even while none is open.
  if (!SDL_WasInit(SDL_INIT_AUDIO) && SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
    core_set_error("%s", SDL_GetError());
    return false;
  }
  g.pull = pull;
  SDL_AudioSpec want{}, have{};
  want.freq = rate;
  want.format = AUDIO_S16SYS;
  want.channels = 2;
  want.samples = static_cast<Uint16>(driver_buffer_frames(frames));
  want.callback = audio_callback;
  int rate_change = any_rate ? SDL_AUDIO_ALLOW_FREQUENCY_CHANGE : 0;  // else SDL converts
  int changes = rate_change | SDL_AUDIO_ALLOW_SAMPLES_CHANGE;
  SDL_AudioDeviceID device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, changes);
  if (device && have.samples > kMaxDeviceBufferFrames) {
    // The device's own buffer is too long: let SDL feed it from buffers of the size we want.
    SDL_CloseAudioDevice(device);
    device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, rate_change);
  }
  if (!device) {
    core_set_error("%s", SDL_GetError());
    return false;
  }
  g.audio = device;
  *granted = {true, have.freq, have.samples};
  SDL_PauseAudioDevice(device, 0);
  return true;
}

void backend_audio_close(void) {
  if (g.audio) SDL_CloseAudioDevice(g.audio);
  g.audio = 0;
}

// ---------------------------------------------------------------------------------------------
// Files

std::string backend_bundle_dir(void) { return desktop_bundle_dir(); }

std::string backend_documents_dir(void) { return desktop_documents_dir(); }

bool backend_decode_picture(const char* path, PlatPixels* out) { return decode_png_file(path, out); }

bool backend_decode_clip(const char* path, int rate, PlatSamples* out) {
  return decode_wav_file(path, rate, out);
}

// Every file is here.
bool backend_clip_pending(const char*) { return false; }
void backend_clip_wanted(const char*) {}
bool backend_picture_pending(const char*, int*, int*) { return false; }

// SDL has no bridge to a desktop's screen reader: the keyboard's focus ring is drawn by the
// core, and the elements go nowhere else.
void backend_elements_changed(void) {}
