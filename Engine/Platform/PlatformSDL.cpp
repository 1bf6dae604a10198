// The desktop backend of the platform layer, over SDL2 and SDL2_image: one window that shows
// the application frame letterboxed at any size, pictures from the bundle folder, the loop with
// its timers, one touch stream from the mouse and the touchscreen, and the audio device feeding
// the shared mixer. Headless runs use SDL's own offscreen or dummy drivers, chosen by SDL's own
// environment variables.
//
// Index: types | state | clock | geometry | drawing | touches | events | audio | paths |
//        public: life cycle, loop, timers, window, pictures, views, touches, directories, audio
#include "Engine/Platform/Platform.h"

#include <SDL.h>
#include <SDL_image.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <pwd.h>
#include <unistd.h>

#include "Engine/Platform/FrameClock.h"
#include "Engine/Platform/Mixer.h"

// ---------------------------------------------------------------------------------------------
// Types

static constexpr float kFrameWidth = 320;   // the application frame: a phone screen
static constexpr float kFrameHeight = 460;  // less its status bar, in points
static constexpr int kMaxTimers = 8;
static constexpr int kMixerRate = 48000;       // asked of the device, and used offline
static constexpr int kWantedBufferFrames = 256;
static constexpr int kMaxBufferFrames = 512;   // more than this is too late for a button press

struct PlatPicture {
  SDL_Surface* surface = nullptr;
  SDL_Texture* texture = nullptr;  // made on first draw, for the window's renderer
  float scale = 1;                 // pixels per point: 2 for a name@2x picture
  ~PlatPicture() {
    if (texture) SDL_DestroyTexture(texture);
    SDL_FreeSurface(surface);
  }
};

struct PlatView {
  PlatRect frame{};
  PlatPicture* picture = nullptr;
  bool has_background = false;
  PlatColor background{};
  PlatView* parent = nullptr;
  std::vector<PlatView*> subviews;
  PlatTouchFn touch_fn = nullptr;
  void* touch_ctx = nullptr;
};

struct PlatWindow {
  SDL_Window* window = nullptr;
  SDL_Renderer* renderer = nullptr;
  std::vector<PlatView*> subviews;
  bool visible = false;
  uint64_t presents = 0;
  ~PlatWindow() {
    if (renderer) SDL_DestroyRenderer(renderer);
    if (window) SDL_DestroyWindow(window);
  }
};

struct PlatPlayer {
  std::vector<int16_t> samples;  // interleaved stereo at the mixer's rate
  int voice = -1;
};

struct Timer {
  PlatFrameClock schedule;
  PlatTimerFn fn = nullptr;
  void* ctx = nullptr;
};

enum class TouchSource { kNone, kMouse, kFinger, kInjected };

// Where the transform from window pixels to points comes from: the letterboxed frame.
struct Letterbox {
  float scale, x, y;
};

// ---------------------------------------------------------------------------------------------
// State

struct State {
  bool initialised = false;
  bool quit = false;
  bool dirty = true;
  std::string error;
  std::string bundle;
  std::string documents;
  PlatClockSource clock = nullptr;

  std::vector<std::unique_ptr<PlatPicture>> pictures;
  std::vector<std::unique_ptr<PlatView>> views;
  std::vector<std::unique_ptr<PlatPlayer>> players;
  std::unique_ptr<PlatWindow> window;

  Timer timers[kMaxTimers];
  int timer_count = 0;

  TouchSource touch_source = TouchSource::kNone;
  SDL_TouchID touch_id = 0;
  SDL_FingerID finger_id = 0;
  PlatView* touch_view = nullptr;  // the view that took the current touch, if any

  SDL_AudioDeviceID audio_device = 0;
  PlatAudioInfo audio{false, kMixerRate, 0};
};

static State g;
static PlatMixer g_mixer;  // apart from the state: it is shared with the audio thread

static void set_error(const char* format, ...) {
  char line[512];
  va_list args;
  va_start(args, format);
  vsnprintf(line, sizeof line, format, args);
  va_end(args);
  g.error = line;
}

// ---------------------------------------------------------------------------------------------
// Clock

static uint64_t system_now_ns() {
  auto now = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count());
}

static bool headless_video() {
  const char* driver = SDL_GetCurrentVideoDriver();
  return driver && (!strcmp(driver, "offscreen") || !strcmp(driver, "dummy"));
}

// ---------------------------------------------------------------------------------------------
// Geometry

static Letterbox letterbox(float width, float height) {
  float scale = std::min(width / kFrameWidth, height / kFrameHeight);
  if (!(scale > 0)) scale = 1;
  return {scale, (width - kFrameWidth * scale) / 2, (height - kFrameHeight * scale) / 2};
}

static Letterbox window_letterbox() {  // in window coordinates, where mouse events are
  int w = 0, h = 0;
  if (g.window) SDL_GetWindowSize(g.window->window, &w, &h);
  return letterbox(static_cast<float>(w), static_cast<float>(h));
}

static Letterbox renderer_letterbox() {  // in output pixels, where drawing is
  int w = 0, h = 0;
  if (g.window) SDL_GetRendererOutputSize(g.window->renderer, &w, &h);
  return letterbox(static_cast<float>(w), static_cast<float>(h));
}

static bool rect_contains(const PlatRect& r, PlatPoint p) {
  return p.x >= r.x && p.x < r.x + r.w && p.y >= r.y && p.y < r.y + r.h;
}

// ---------------------------------------------------------------------------------------------
// Drawing

static void draw_view(SDL_Renderer* renderer, const Letterbox& box, const PlatView* view,
                      float origin_x, float origin_y) {
  float x = origin_x + view->frame.x;
  float y = origin_y + view->frame.y;
  SDL_FRect dst{box.x + x * box.scale, box.y + y * box.scale, view->frame.w * box.scale,
                view->frame.h * box.scale};
  if (view->has_background) {
    const PlatColor& c = view->background;
    SDL_SetRenderDrawBlendMode(renderer, c.a == 255 ? SDL_BLENDMODE_NONE : SDL_BLENDMODE_BLEND);
    SDL_SetRenderDrawColor(renderer, c.r, c.g, c.b, c.a);
    SDL_RenderFillRectF(renderer, &dst);
  }
  PlatPicture* picture = view->picture;
  if (picture) {
    if (!picture->texture) picture->texture = SDL_CreateTextureFromSurface(renderer, picture->surface);
    if (picture->texture) {
      // Whole-number scales keep every picture pixel square and sharp; others are smoothed.
      bool whole = std::floor(box.scale) == box.scale;
      SDL_SetTextureScaleMode(picture->texture, whole ? SDL_ScaleModeNearest : SDL_ScaleModeLinear);
      SDL_RenderCopyF(renderer, picture->texture, nullptr, &dst);
    }
  }
  for (const PlatView* sub : view->subviews) draw_view(renderer, box, sub, x, y);
}

static void render_window(PlatWindow* window) {
  SDL_Renderer* renderer = window->renderer;
  Letterbox box = renderer_letterbox();
  SDL_RenderSetClipRect(renderer, nullptr);
  SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
  SDL_RenderClear(renderer);
  SDL_Rect frame{static_cast<int>(std::lround(box.x)), static_cast<int>(std::lround(box.y)),
                 static_cast<int>(std::lround(kFrameWidth * box.scale)),
                 static_cast<int>(std::lround(kFrameHeight * box.scale))};
  SDL_RenderSetClipRect(renderer, &frame);
  for (const PlatView* view : window->subviews) draw_view(renderer, box, view, 0, 0);
}

static void present_if_dirty() {
  PlatWindow* window = g.window.get();
  if (!g.dirty || !window || !window->visible) return;
  render_window(window);
  SDL_RenderPresent(window->renderer);
  window->presents++;
  g.dirty = false;
}

// ---------------------------------------------------------------------------------------------
// Touches: one stream, held by the source whose press began it until that source lets go.

static void touch_deliver(PlatTouchPhase phase, PlatPoint point) {
  PlatView* view = g.touch_view;
  if (!view || !view->touch_fn) return;
  view->touch_fn(view->touch_ctx, phase, {point.x - view->frame.x, point.y - view->frame.y});
}

static void touch_begin(TouchSource source, PlatPoint point) {
  if (g.touch_source != TouchSource::kNone) return;  // one touch at a time
  g.touch_source = source;
  g.touch_view = nullptr;
  if (g.window) {
    const auto& views = g.window->subviews;
    for (auto it = views.rbegin(); it != views.rend(); ++it) {
      if ((*it)->touch_fn && rect_contains((*it)->frame, point)) {
        g.touch_view = *it;
        break;
      }
    }
  }
  touch_deliver(kPlatTouchBegan, point);
}

static void touch_move(TouchSource source, PlatPoint point) {
  if (g.touch_source == source) touch_deliver(kPlatTouchMoved, point);
}

static void touch_end(TouchSource source, PlatPoint point) {
  if (g.touch_source != source) return;
  touch_deliver(kPlatTouchEnded, point);
  g.touch_source = TouchSource::kNone;
  g.touch_view = nullptr;
}

static PlatPoint window_to_points(float x, float y) {
  Letterbox box = window_letterbox();
  return {(x - box.x) / box.scale, (y - box.y) / box.scale};
}

static PlatPoint finger_to_points(const SDL_TouchFingerEvent& e) {
  int w = 0, h = 0;
  if (g.window) SDL_GetWindowSize(g.window->window, &w, &h);
  return window_to_points(e.x * static_cast<float>(w), e.y * static_cast<float>(h));
}

static bool finger_is_ours(const SDL_TouchFingerEvent& e) {
  return g.touch_source == TouchSource::kFinger && e.touchId == g.touch_id &&
         e.fingerId == g.finger_id;
}

// ---------------------------------------------------------------------------------------------
// Events

static void handle_event(const SDL_Event& e) {
  switch (e.type) {
    case SDL_QUIT:
      g.quit = true;
      break;
    case SDL_WINDOWEVENT:
      if (e.window.event == SDL_WINDOWEVENT_CLOSE) g.quit = true;
      g.dirty = true;  // resized, exposed or restored: draw again
      break;
    // SDL's mouse events made from fingers, and finger events made from the mouse, are copies
    // of a touch already counted: they are dropped so that no press arrives twice.
    case SDL_MOUSEBUTTONDOWN:
      if (e.button.which != SDL_TOUCH_MOUSEID && e.button.button == SDL_BUTTON_LEFT)
        touch_begin(TouchSource::kMouse, window_to_points(e.button.x, e.button.y));
      break;
    case SDL_MOUSEMOTION:
      if (e.motion.which == SDL_TOUCH_MOUSEID) break;
      if (e.motion.state & SDL_BUTTON_LMASK)
        touch_move(TouchSource::kMouse, window_to_points(e.motion.x, e.motion.y));
      else  // the release was lost (outside the window, no capture): end the touch here
        touch_end(TouchSource::kMouse, window_to_points(e.motion.x, e.motion.y));
      break;
    case SDL_MOUSEBUTTONUP:
      if (e.button.which != SDL_TOUCH_MOUSEID && e.button.button == SDL_BUTTON_LEFT)
        touch_end(TouchSource::kMouse, window_to_points(e.button.x, e.button.y));
      break;
    case SDL_FINGERDOWN:
      if (e.tfinger.touchId == SDL_MOUSE_TOUCHID || g.touch_source != TouchSource::kNone) break;
      g.touch_id = e.tfinger.touchId;
      g.finger_id = e.tfinger.fingerId;
      touch_begin(TouchSource::kFinger, finger_to_points(e.tfinger));
      break;
    case SDL_FINGERMOTION:
      if (finger_is_ours(e.tfinger)) touch_move(TouchSource::kFinger, finger_to_points(e.tfinger));
      break;
    case SDL_FINGERUP:
      if (finger_is_ours(e.tfinger)) touch_end(TouchSource::kFinger, finger_to_points(e.tfinger));
      break;
    default:
      break;
  }
}

static void fire_due_timers() {
  uint64_t now = plat_clock_now_ns();
  for (int i = 0; i < g.timer_count; i++) {
    Timer& t = g.timers[i];
    if (t.schedule.poll(now)) t.fn(t.ctx);
  }
}

// Milliseconds until the next timer is due, rounded up; -1 with no timer.
static int wait_ms() {
  if (g.timer_count == 0) return -1;
  uint64_t due = UINT64_MAX;
  for (int i = 0; i < g.timer_count; i++) due = std::min(due, g.timers[i].schedule.next_due_ns());
  uint64_t now = plat_clock_now_ns();
  if (due <= now) return 0;
  return static_cast<int>(std::min<uint64_t>((due - now + 999999) / 1000000, INT_MAX));
}

// ---------------------------------------------------------------------------------------------
// Audio

static void SDLCALL audio_callback(void*, Uint8* stream, int bytes) {
  g_mixer.render(reinterpret_cast<int16_t*>(stream), bytes / (PlatMixer::kChannels * 2));
}

static void audio_open() {
  SDL_AudioDeviceID device = 0;
  SDL_AudioSpec have{};
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) == 0) {
    SDL_AudioSpec want{};
    want.freq = kMixerRate;
    want.format = AUDIO_S16SYS;
    want.channels = PlatMixer::kChannels;
    want.samples = kWantedBufferFrames;
    want.callback = audio_callback;
    int changes = SDL_AUDIO_ALLOW_FREQUENCY_CHANGE | SDL_AUDIO_ALLOW_SAMPLES_CHANGE;
    device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, changes);
    if (device && have.samples > kMaxBufferFrames) {
      // The device's own buffer is too long: let SDL feed it from buffers of the size we want.
      SDL_CloseAudioDevice(device);
      device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, SDL_AUDIO_ALLOW_FREQUENCY_CHANGE);
    }
  }
  if (!device) {
    fprintf(stderr, "No audio device (%s): running without sound.\n", SDL_GetError());
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return;
  }
  g.audio_device = device;
  g.audio = {true, have.freq, have.samples};
  SDL_PauseAudioDevice(device, 0);
}

// ---------------------------------------------------------------------------------------------
// Paths

static std::string without_trailing_slashes(std::string path) {
  while (!path.empty() && path.back() == '/') path.pop_back();
  return path;
}

static std::string home_directory() {
  const char* home = getenv("HOME");
  if (home && *home) return home;
  const passwd* pw = getpwuid(getuid());
  return pw && pw->pw_dir ? pw->pw_dir : "";
}

// The documents folder as the desktop names it: XDG_DOCUMENTS_DIR from the environment or from
// the user's user-dirs.dirs, else ~/Documents.
static std::string documents_directory() {
  std::string home = home_directory();
  const char* env = getenv("XDG_DOCUMENTS_DIR");
  if (env && *env) return without_trailing_slashes(env);
  const char* config = getenv("XDG_CONFIG_HOME");
  std::string dirs = (config && *config ? std::string(config) : home + "/.config") + "/user-dirs.dirs";
  std::ifstream file(dirs);
  std::string line;
  const std::string key = "XDG_DOCUMENTS_DIR=\"";
  while (std::getline(file, line)) {
    if (line.compare(0, key.size(), key) != 0) continue;
    size_t end = line.find('"', key.size());
    if (end == std::string::npos) break;
    std::string value = line.substr(key.size(), end - key.size());
    if (value.compare(0, 5, "$HOME") == 0) value = home + value.substr(5);
    if (!value.empty() && value[0] == '/') return without_trailing_slashes(value);
    break;
  }
  return home + "/Documents";
}

static std::string executable_directory() {
  char* base = SDL_GetBasePath();
  std::string dir = base ? base : ".";
  SDL_free(base);
  return without_trailing_slashes(dir);
}

// ---------------------------------------------------------------------------------------------
// Public: life cycle

bool plat_init(const PlatConfig* config) {
  if (g.initialised) return true;
  SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");  // the first click on the window counts
  if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
    set_error("%s", SDL_GetError());
    return false;
  }
  // SDL falls back to its headless drivers when there is no display; run headless only when
  // they were asked for by name, so that a missing display is reported, not hidden.
  const char* asked = SDL_getenv("SDL_VIDEODRIVER");
  if (headless_video() && !(asked && !strcmp(asked, SDL_GetCurrentVideoDriver()))) {
    set_error("no display (set SDL_VIDEODRIVER=offscreen to run without one)");
    SDL_Quit();
    return false;
  }
  g.initialised = true;
  g.bundle = config && config->bundle_dir ? without_trailing_slashes(config->bundle_dir)
                                          : executable_directory();
  g.documents = documents_directory();
  if (!(config && config->offline_audio)) audio_open();
  return true;
}

void plat_shutdown(void) {
  if (!g.initialised) return;
  if (g.audio_device) SDL_CloseAudioDevice(g.audio_device);  // no callback after this
  g_mixer.clear();
  g.players.clear();
  g.pictures.clear();  // textures go before the renderer that made them
  g.views.clear();
  g.window.reset();
  SDL_Quit();
  g = State{};
}

const char* plat_error(void) { return g.error.c_str(); }

// ---------------------------------------------------------------------------------------------
// Public: loop

int plat_application_main(int argc, char** argv, const PlatAppHooks* hooks) {
  const char* name = argc > 0 && argv[0] ? argv[0] : "Soundboard";
  if (const char* slash = strrchr(name, '/')) name = slash + 1;
  if (!plat_init(nullptr)) {
    fprintf(stderr, "%s: cannot open a window: %s\n", name, plat_error());
    return 1;
  }
  hooks->load_main_interface();
  if (!g.window) {
    fprintf(stderr, "%s: cannot open a window: %s\n", name, plat_error());
    plat_shutdown();
    return 1;
  }
  hooks->did_finish_launching();
  while (plat_loop_step(true)) {
  }
  plat_shutdown();
  return 0;
}

bool plat_loop_step(bool may_wait) {
  if (!g.initialised) return false;
  SDL_Event e;
  if (may_wait && !g.quit) {
    int ms = wait_ms();
    if (ms < 0 ? SDL_WaitEvent(&e) : ms > 0 && SDL_WaitEventTimeout(&e, ms)) handle_event(e);
  }
  while (SDL_PollEvent(&e)) handle_event(e);
  fire_due_timers();
  present_if_dirty();
  return !g.quit;
}

// ---------------------------------------------------------------------------------------------
// Public: clock and timers

void plat_clock_set_source(PlatClockSource now_ns) { g.clock = now_ns; }

uint64_t plat_clock_now_ns(void) { return g.clock ? g.clock() : system_now_ns(); }

bool plat_timer_schedule(double interval_s, PlatTimerFn fn, void* ctx) {
  if (g.timer_count >= kMaxTimers || !fn || !(interval_s > 0)) return false;
  g.timers[g.timer_count++] = {PlatFrameClock(plat_clock_now_ns(), interval_s), fn, ctx};
  return true;
}

// ---------------------------------------------------------------------------------------------
// Public: window

PlatRect plat_screen_application_frame(void) { return {0, 0, kFrameWidth, kFrameHeight}; }

PlatWindow* plat_window_create(void) {
  if (!g.initialised) {
    set_error("the platform is not started");
    return nullptr;
  }
  if (g.window) return g.window.get();
  // The largest whole-number scale that fits the screen, so that pictures stay sharp.
  SDL_Rect usable{0, 0, 0, 0};
  int scale = 1;
  if (SDL_GetDisplayUsableBounds(0, &usable) == 0)
    scale = std::max(1, std::min(usable.w / static_cast<int>(kFrameWidth),
                                 usable.h / static_cast<int>(kFrameHeight)));
  auto window = std::make_unique<PlatWindow>();
  window->window = SDL_CreateWindow("Soundboard", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                    static_cast<int>(kFrameWidth) * scale,
                                    static_cast<int>(kFrameHeight) * scale,
                                    SDL_WINDOW_HIDDEN | SDL_WINDOW_RESIZABLE);
  // Headless, SDL's software renderer: it follows every resize and reads back exactly.
  Uint32 flags = headless_video() ? SDL_RENDERER_SOFTWARE : 0;
  if (window->window) window->renderer = SDL_CreateRenderer(window->window, -1, flags);
  if (!window->renderer) {
    set_error("%s", SDL_GetError());
    return nullptr;
  }
  SDL_SetWindowMinimumSize(window->window, static_cast<int>(kFrameWidth) / 2,
                           static_cast<int>(kFrameHeight) / 2);
  g.window = std::move(window);
  return g.window.get();
}

void plat_window_add_subview(PlatWindow* window, PlatView* view) {
  if (!window || !view) return;
  window->subviews.push_back(view);
  g.dirty = true;
}

void plat_window_make_key_and_visible(PlatWindow* window) {
  if (!window) return;
  SDL_ShowWindow(window->window);
  SDL_RaiseWindow(window->window);
  window->visible = true;
  g.dirty = true;
}

bool plat_window_is_visible(const PlatWindow* window) { return window && window->visible; }

uint64_t plat_window_presents(const PlatWindow* window) { return window ? window->presents : 0; }

void plat_window_set_size(PlatWindow* window, int width, int height) {
  if (!window) return;
  SDL_SetWindowSize(window->window, width, height);
  g.dirty = true;
}

float plat_window_scale(const PlatWindow* window) {
  return window ? window_letterbox().scale : 1;
}

bool plat_window_read_pixels(PlatWindow* window, uint8_t* rgba, size_t size, int* width,
                             int* height) {
  if (!window) return false;
  int w = 0, h = 0;
  SDL_GetRendererOutputSize(window->renderer, &w, &h);
  if (width) *width = w;
  if (height) *height = h;
  if (!rgba || size < static_cast<size_t>(w) * h * 4) return false;
  render_window(window);  // drawn afresh and read before any present, whatever the renderer
  g.dirty = true;         // the back buffer now differs from the screen
  return SDL_RenderReadPixels(window->renderer, nullptr, SDL_PIXELFORMAT_ABGR8888, rgba, w * 4) == 0;
}

bool plat_window_save_png(PlatWindow* window, const char* path) {
  int w = 0, h = 0;
  plat_window_read_pixels(window, nullptr, 0, &w, &h);
  std::vector<uint8_t> pixels(static_cast<size_t>(w) * h * 4);
  if (!plat_window_read_pixels(window, pixels.data(), pixels.size(), &w, &h)) return false;
  SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(pixels.data(), w, h, 32, w * 4,
                                                            SDL_PIXELFORMAT_ABGR8888);
  if (!surface) return false;
  bool saved = IMG_SavePNG(surface, path) == 0;
  SDL_FreeSurface(surface);
  return saved;
}

// ---------------------------------------------------------------------------------------------
// Public: pictures

PlatPicture* plat_picture_named(const char* name) {
  if (!g.initialised || !name || !*name) return nullptr;
  std::string path = g.bundle + "/" + name;
  SDL_Surface* surface = nullptr;
  float scale = 1;
  // Where the window gives a point two pixels or more, a picture drawn at twice the pixels
  // ("name@2x.png" beside "name.png") is used instead, as on a phone with a sharp screen.
  if (g.window && window_letterbox().scale >= 2) {
    size_t dot = path.rfind('.'), slash = path.rfind('/');
    std::string sharp = path;
    sharp.insert(dot != std::string::npos && dot > slash ? dot : sharp.size(), "@2x");
    surface = IMG_Load(sharp.c_str());
    if (surface) scale = 2;
  }
  if (!surface) surface = IMG_Load(path.c_str());
  if (!surface) return nullptr;
  auto picture = std::make_unique<PlatPicture>();
  picture->surface = surface;
  picture->scale = scale;
  g.pictures.push_back(std::move(picture));
  return g.pictures.back().get();
}

PlatSize plat_picture_size(const PlatPicture* picture) {
  if (!picture) return {0, 0};
  return {static_cast<float>(picture->surface->w) / picture->scale,
          static_cast<float>(picture->surface->h) / picture->scale};
}

// ---------------------------------------------------------------------------------------------
// Public: views

PlatView* plat_view_create(PlatRect frame) {
  g.views.push_back(std::make_unique<PlatView>());
  g.views.back()->frame = frame;
  return g.views.back().get();
}

void plat_view_set_background(PlatView* view, PlatColor color) {
  if (!view) return;
  view->has_background = true;
  view->background = color;
  g.dirty = true;
}

void plat_view_set_picture(PlatView* view, PlatPicture* picture) {
  if (!view || view->picture == picture) return;
  view->picture = picture;
  g.dirty = true;
}

PlatPicture* plat_view_picture(const PlatView* view) { return view ? view->picture : nullptr; }

PlatRect plat_view_frame(const PlatView* view) { return view ? view->frame : PlatRect{0, 0, 0, 0}; }

void plat_view_set_frame(PlatView* view, PlatRect frame) {
  if (!view) return;
  const PlatRect& f = view->frame;
  if (f.x == frame.x && f.y == frame.y && f.w == frame.w && f.h == frame.h) return;
  view->frame = frame;
  g.dirty = true;
}

void plat_view_add_subview(PlatView* parent, PlatView* child) {
  if (!parent || !child || child->parent) return;
  child->parent = parent;
  parent->subviews.push_back(child);
  g.dirty = true;
}

// ---------------------------------------------------------------------------------------------
// Public: touches

void plat_view_set_touch_handler(PlatView* view, PlatTouchFn fn, void* ctx) {
  if (!view) return;
  view->touch_fn = fn;
  view->touch_ctx = ctx;
}

void plat_touch_inject(PlatTouchPhase phase, PlatPoint window_point) {
  switch (phase) {
    case kPlatTouchBegan: touch_begin(TouchSource::kInjected, window_point); break;
    case kPlatTouchMoved: touch_move(TouchSource::kInjected, window_point); break;
    case kPlatTouchEnded: touch_end(TouchSource::kInjected, window_point); break;
  }
}

// ---------------------------------------------------------------------------------------------
// Public: directories

const char* plat_bundle_path(void) { return g.bundle.c_str(); }

const char* plat_documents_path(void) { return g.documents.c_str(); }

// ---------------------------------------------------------------------------------------------
// Public: audio

PlatPlayer* plat_player_create(const char* path) {
  if (!g.initialised || !path) return nullptr;
  SDL_AudioSpec wav{};
  Uint8* data = nullptr;
  Uint32 bytes = 0;
  if (!SDL_LoadWAV(path, &wav, &data, &bytes)) return nullptr;
  // Converted once, here, to the mixer's format, so that playing costs nothing.
  SDL_AudioCVT cvt;
  int built = SDL_BuildAudioCVT(&cvt, wav.format, wav.channels, wav.freq, AUDIO_S16SYS,
                                PlatMixer::kChannels, g.audio.rate);
  auto player = std::make_unique<PlatPlayer>();
  if (built >= 0) {
    std::vector<Uint8> buffer(static_cast<size_t>(bytes) * std::max(cvt.len_mult, 1));
    if (!buffer.empty()) std::memcpy(buffer.data(), data, bytes);
    cvt.buf = buffer.data();
    cvt.len = static_cast<int>(bytes);
    if (built == 0 || SDL_ConvertAudio(&cvt) == 0) {
      size_t out = static_cast<size_t>(built == 0 ? bytes : cvt.len_cvt) / sizeof(int16_t);
      out -= out % PlatMixer::kChannels;
      player->samples.resize(out);
      if (out) std::memcpy(player->samples.data(), buffer.data(), out * sizeof(int16_t));
    } else {
      built = -1;
    }
  }
  SDL_FreeWAV(data);
  if (built < 0) return nullptr;
  uint32_t frames = static_cast<uint32_t>(player->samples.size() / PlatMixer::kChannels);
  player->voice = g_mixer.add_voice(player->samples.data(), frames);
  if (player->voice < 0) return nullptr;
  g.players.push_back(std::move(player));
  return g.players.back().get();
}

void plat_player_stop(PlatPlayer* player) {
  if (player) g_mixer.stop(player->voice);
}

void plat_player_set_current_time(PlatPlayer* player, double seconds) {
  if (!player) return;
  double frame = std::clamp(seconds * g.audio.rate, 0.0, static_cast<double>(UINT32_MAX));
  g_mixer.set_position(player->voice, static_cast<uint32_t>(frame));
}

void plat_player_play(PlatPlayer* player) {
  if (player) g_mixer.play(player->voice);
}

PlatAudioInfo plat_audio_info(void) { return g.audio; }

void plat_audio_render(int16_t* out, int frames) {
  if (g.audio_device || !out || frames <= 0) return;  // the device's thread is the renderer
  g_mixer.render(out, frames);
}
