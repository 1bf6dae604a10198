// The platform services the engine stands on, as one list. The engine and its host call only
// these. They are provided by a shared core (the other files of this folder), which keeps every
// rule, over one backend that talks to the system: Backends/SDL.cpp for a desktop window (or
// headless under SDL's own offscreen and dummy drivers), Backends/Null.cpp for no system at all,
// Backends/Web.cpp for a browser's page. Backend.h is the contract between the two.
//
// Naming: functions are plat_<thing>_<verb> in snake_case; types are Plat<Thing>.
// Objects are opaque, made by the platform and owned by it until plat_shutdown.
// Everything here runs on the main thread, except where a comment says otherwise.
//
// Index: life cycle | application loop | clock and timers | window | pictures | views |
//        touches | elements (screen readers and the keyboard) | directories | audio |
//        test and replay hooks
#pragma once

#include <cstddef>
#include <cstdint>

struct PlatPicture;  // a decoded picture with a size in points
struct PlatView;     // a rectangle that can show a picture, a colour and subviews
struct PlatWindow;   // the one window; shows its subviews over black
struct PlatPlayer;   // one sound clip, loaded and ready to play

struct PlatRect { float x, y, w, h; };
struct PlatSize { float w, h; };
struct PlatPoint { float x, y; };
struct PlatColor { uint8_t r, g, b, a; };

// ---------------------------------------------------------------------------------------------
// Life cycle

typedef uint64_t (*PlatClockSource)(void);  // a monotonic time in nanoseconds

struct PlatConfig {
  const char* bundle_dir = nullptr;  // where pictures and clips are; nullptr: the executable's folder
  bool offline_audio = false;        // no audio device: only plat_audio_render pulls the mixer
  PlatClockSource clock = nullptr;   // what the clock reads; nullptr: the system's monotonic clock
  int window_width = 0;              // the window's size in pixels when it opens; 0: the largest
  int window_height = 0;             // whole-number scale of the frame that fits the screen
};

// False when no window system can start, or when the platform is started already and `config`
// asks for another bundle, audio or clock (nullptr asks for nothing); see plat_error.
bool plat_init(const PlatConfig* config);
void plat_shutdown(void);                  // frees every platform object; the platform can start again
const char* plat_error(void);              // why the last failing call failed, in one line

// ---------------------------------------------------------------------------------------------
// Application loop

struct PlatAppHooks {
  void (*load_main_interface)(void);     // creates the delegate, its window and its controller
  void (*did_finish_launching)(void);    // the delegate's start: shows the window
};

// The program's start, in its one order: the platform (plat_init), then the interface (the
// delegate, its window, at the config's size, and its controller), then the launch, which
// runs the application's start and shows the window. False, with plat_error, when the
// platform or the window cannot start; the platform is then stopped again.
bool plat_application_start(const PlatConfig* config, const PlatAppHooks* hooks);

// Starts the program as above, then runs the loop until the window is closed. Returns the
// process's exit status; says on stderr, in one line, why a window could not open.
int plat_application_main(int argc, char** argv, const PlatAppHooks* hooks);

// One pass of the loop: waits (if asked) for the next event or the next due tick, handles every
// pending event, fires the timers that are due, and presents the window if anything changed.
// Returns false once the window has been closed.
bool plat_loop_step(bool may_wait);

// ---------------------------------------------------------------------------------------------
// Clock and timers

typedef void (*PlatTimerFn)(void* ctx);

uint64_t plat_clock_now_ns(void);

// A repeating timer, fired by plat_loop_step: tick n is due at the time of scheduling plus
// n intervals. A late loop fires one tick and skips the ones it missed. False when full.
bool plat_timer_schedule(double interval_s, PlatTimerFn fn, void* ctx);

// ---------------------------------------------------------------------------------------------
// Window

PlatRect plat_screen_application_frame(void);  // the area an application draws in, in points

PlatWindow* plat_window_create(void);            // hidden until made visible; nullptr on failure
void plat_window_add_subview(PlatWindow* window, PlatView* view);
void plat_window_make_key_and_visible(PlatWindow* window);
bool plat_window_is_visible(const PlatWindow* window);
// In window pixels, each side from 1 to kMaxWindowSide (Limits.h); any other size is ignored.
void plat_window_set_size(PlatWindow* window, int width, int height);
float plat_window_scale(const PlatWindow* window);  // window pixels per point

// What the window shows around the frame where its shape leaves room (a tall phone, a wide
// window): the scene's own edges continued, as if the screen were all the scene's, or black.
enum PlatBars { kPlatBarsScene, kPlatBarsBlack };
void plat_window_set_bars(PlatWindow* window, PlatBars bars);  // the scene's, to begin with

// ---------------------------------------------------------------------------------------------
// Pictures

// The picture at a file name relative to the bundle directory, or nullptr when the file is
// missing, not a PNG, too large, or lies outside the bundle. When the window shows a point with
// three pixels or more, "name@3x.png" is taken instead of "name.png" if it exists, and with two,
// "name@2x.png": three or two times the pixels, the same size in points. Each call decodes the
// file afresh (the image table asks once for each name), and the picture is kept until
// plat_shutdown.
PlatPicture* plat_picture_named(const char* name);
PlatSize plat_picture_size(const PlatPicture* picture);  // in points; 0 x 0 for nullptr

// ---------------------------------------------------------------------------------------------
// Views. A view's frame is in its parent's points; subviews are drawn in the order they were
// added, each over the ones before. A view shows its background colour (if it has one), then
// its picture stretched to the frame, then its subviews. Calls on nullptr do nothing.

PlatView* plat_view_create(PlatRect frame);
void plat_view_set_background(PlatView* view, PlatColor color);
void plat_view_set_picture(PlatView* view, PlatPicture* picture);  // nullptr: no picture
PlatPicture* plat_view_picture(const PlatView* view);
PlatRect plat_view_frame(const PlatView* view);                    // all 0 for nullptr
void plat_view_set_frame(PlatView* view, PlatRect frame);
void plat_view_add_subview(PlatView* parent, PlatView* child);

// ---------------------------------------------------------------------------------------------
// Touches. One touch at a time, from the mouse's left button or a finger, goes to the topmost
// window subview with a touch handler that holds the point where the touch began; every later
// event of that touch goes to the same view. The location is in that view's own points.

enum PlatTouchPhase { kPlatTouchBegan, kPlatTouchMoved, kPlatTouchEnded };
typedef void (*PlatTouchFn)(void* ctx, PlatTouchPhase phase, PlatPoint location);

void plat_view_set_touch_handler(PlatView* view, PlatTouchFn fn, void* ctx);

// ---------------------------------------------------------------------------------------------
// Elements: what a screen reader reads and a keyboard reaches, where pictures are only pixels.
// An element is a place in the frame (in frame points) and a label. A control is pressed and
// released at its centre, through the one touch stream, as a finger would be, when a keyboard
// or a screen reader activates it; a text is read as it stands. Elements are kept in the order
// they were added, the order Tab and a screen reader follow, until plat_shutdown. Labels are
// UTF-8, cut to kNameBytes; an element with an empty label is passed over.
//
// On a desktop, Tab and Shift+Tab move a focus ring between the controls, drawn over the frame
// (its pixels are the program's again once the ring is gone); Space or Enter presses the
// focused control for as long as the key is held. A touch hides the ring. In a browser each
// element is one of the page's own, over its place on the canvas.

enum PlatElementKind { kPlatElementControl, kPlatElementText };

int plat_element_add(PlatElementKind kind, const char* label, PlatRect frame);  // 0 when full
void plat_element_set_label(int element, const char* label);
void plat_element_set_frame(int element, PlatRect frame);

// ---------------------------------------------------------------------------------------------
// Directories, without a trailing "/", owned by the platform. Nothing is created on disk.

const char* plat_bundle_path(void);     // the application's resources
const char* plat_documents_path(void);  // the user's documents

// ---------------------------------------------------------------------------------------------
// Audio. Each player holds its clip in the mixer's format, converted once when it is made, so
// that stop, rewind and play do no file work and never wait.

struct PlatAudioInfo {
  bool device_open;   // false: no device; players exist but nothing is heard
  int rate;           // frames per second of the mixer (and the device, when open)
  int buffer_frames;  // frames per device callback; 0 without a device
};

// A WAV file in the bundle, named in full or relative to the bundle; nullptr when it is
// unreadable or lies outside the bundle.
PlatPlayer* plat_player_create(const char* path);
void plat_player_stop(PlatPlayer* player);         // silent; keeps the position
void plat_player_set_current_time(PlatPlayer* player, double seconds);
void plat_player_play(PlatPlayer* player);         // from the position; from 0 s after its end

PlatAudioInfo plat_audio_info(void);

// ---------------------------------------------------------------------------------------------
// Test and replay hooks: what tests, replays and benchmarks use to drive the platform and look
// at what it did, apart from any system.

void plat_clock_set_source(PlatClockSource now_ns);  // nullptr: the system's monotonic clock

// Feeds a touch as if it came from the screen, at a point in window points.
void plat_touch_inject(PlatTouchPhase phase, PlatPoint window_point);

// Feeds a key as if it came from the keyboard: Tab, Shift+Tab, or Space (or Enter), down or up.
enum PlatKey { kPlatKeyNext, kPlatKeyPrevious, kPlatKeyPress };
void plat_key_inject(PlatKey key, bool down);

// The elements as a screen reader would find them, in order: how many there are, and each one.
struct PlatElement {
  PlatElementKind kind;
  const char* label;  // owned by the platform, valid until the element changes
  PlatRect frame;
};
int plat_element_count(void);
PlatElement plat_element_at(int element);  // 1 to the count; an empty text for any other
int plat_element_focused(void);            // the element the focus ring is on; 0 when none shows

// Renders the window as it would be presented and copies it out as RGBA bytes, one row after
// another, width * height * 4 bytes. Returns false when it cannot (no window, buffer too small).
bool plat_window_read_pixels(PlatWindow* window, uint8_t* rgba, size_t size, int* width,
                             int* height);
uint64_t plat_window_presents(const PlatWindow* window);  // frames shown so far: one per change

// Mixes the next frames of every playing clip (stereo, 16-bit) into out; only with offline_audio.
void plat_audio_render(int16_t* out, int frames);

// Called with every buffer just mixed, on the thread that mixed it (the device's, or the one
// calling plat_audio_render), to see what is heard and when; a device that mixes with its own
// copy of the mixer (a browser's audio worklet) is not seen. nullptr: none. Any thread.
typedef void (*PlatAudioTap)(void* ctx, const int16_t* out, int frames);
void plat_audio_set_tap(PlatAudioTap tap, void* ctx);
