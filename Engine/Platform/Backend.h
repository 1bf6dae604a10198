// The backend contract: the little a platform backend must do, and what the core offers it.
// The shared core keeps every rule (views and drawing, the one touch stream, timers and the
// loop, pictures, players); a backend only talks to its system. A backend is a file under
// Backends/ that defines every backend_ function below and calls the core_ functions when its
// system reports something, with whatever its system needs beside it (the browser's has its
// page's script and its audio thread's). Backends/Null.cpp is the template: copy it to port the
// engine.
//
// Naming: backend_<thing>_<verb> is done by the backend; core_<verb> is offered by the core.
// Units: "window units" are those the system reports input in; "pixels" are those drawn.
// Everything is called on the main thread, except an audio pull.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Engine/Limits.h"
#include "Engine/Platform/Platform.h"

struct PlatTexture;  // a backend's picture, made from RGBA pixels, ready to draw

struct PlatIRect { int x, y, w, h; };  // in pixels

struct PlatPixels {  // straight-alpha RGBA, 4 bytes a pixel, rows top to bottom
  int width = 0, height = 0;
  std::vector<uint8_t> rgba;
};

struct PlatSamples {  // interleaved left and right, 16-bit, at the rate asked for
  std::vector<int16_t> stereo;
};

struct PlatDrawRect {
  PlatTexture* texture;  // nullptr: filled with color
  PlatColor color;
  PlatRect dst;          // in pixels; may be fractional and may reach past the clip
};

struct PlatDrawList {
  PlatIRect clip;             // nothing is drawn outside it
  bool smooth;                // pictures scaled smoothly; else nearest-neighbour, square pixels
  const PlatDrawRect* rects;  // in order, each blended by its alpha over the ones before
  int count;
};

typedef void (*PlatAudioPull)(int16_t* out, int frames);  // fills frames of stereo; any thread

// The mixer's cues, as the main thread gives them (Mixer.h). A device whose audio thread cannot
// read the core's memory (a browser's audio worklet) runs its own copy of the mixer there and
// takes them instead of pulling: each clip once, copied, then every stop, position and play.
struct PlatMixerPort {
  int (*add_voice)(const int16_t* samples, uint32_t frames);  // the voice, or -1 when full
  void (*stop)(int voice);
  void (*set_position)(int voice, uint32_t frame);
  void (*play)(int voice);
};

// ---------------------------------------------------------------------------------------------
// Done by the backend

bool backend_init(void);      // starts the system's services; false (and core_set_error) if none
void backend_shutdown(void);  // frees all it made, window included; backend_init may follow

bool backend_screen_size(int* width, int* height);  // usable screen, window units; false: unknown
bool backend_window_open(const char* title, int width, int height, int min_width,
                         int min_height);           // hidden, in window units; false: see error
void backend_window_set_icon(const PlatPixels* icon);  // the window's and the task bar's
void backend_window_show(void);
void backend_window_set_size(int width, int height);  // window units
void backend_window_size(int* width, int* height);    // window units: where touches are
void backend_output_size(int* width, int* height);    // pixels: where drawing is
// The window's edges its system may cover (a notch, rounded corners, a home indicator), in
// window units; 0 where nothing does. The frame is kept clear of them; the bars may run under.
void backend_safe_insets(float* left, float* top, float* right, float* bottom);

PlatTexture* backend_texture_create(const PlatPixels* pixels);  // the pixels outlive it
void backend_texture_destroy(PlatTexture* texture);
void backend_draw(const PlatDrawList* list);                 // into the frame being made
// Into the frame being made: the pixels of `area` outside `frame` show the frame's own edges
// continued into the bars around it, blurred along the edge over `blur` pixels either way.
void backend_draw_edges(const PlatIRect* frame, const PlatIRect* area, int blur);
// Shows the frame, at least the rectangles given: kMaxPresentRects of them at most.
void backend_present(const PlatIRect* rects, int count);
bool backend_read_pixels(uint8_t* rgba, int width, int height);  // the frame drawn so far

// Waits up to wait_ns for the system's next event (< 0: no limit, 0: no wait), then reports
// every pending one with the core_ calls.
void backend_pump_events(int64_t wait_ns);
// Runs the loop: a desktop backend calls plat_loop_step(true) until it returns false and
// returns true; a backend whose system calls it back (a browser's timers) sets that up to call
// plat_loop_step(false) when core_wait_ns says, and at each event, and returns false.
bool backend_run_loop(void);

// Opens the default audio device, asking for rate and frames per callback, and fills granted
// with what was opened: at the device's own rate where any_rate allows (no resampling), else
// at `rate` exactly. A device that pulls calls `pull` for every buffer; one that mixes with its
// own copy of the mixer sets *port. False (and core_set_error) when there is none; false with
// no error when one is on its way, which core_audio_device_added then says.
// A device that goes away (a headset unplugged) is reported with core_audio_device_lost, and a
// new one with core_audio_device_added. A device with a port is never reported lost.
bool backend_audio_open(int rate, bool any_rate, int frames, PlatAudioPull pull,
                        PlatAudioInfo* granted, const PlatMixerPort** port);
void backend_audio_close(void);  // no pull runs after it returns

std::string backend_bundle_dir(void);      // where the program's resources are, by default
std::string backend_documents_dir(void);   // the user's documents folder

bool backend_decode_picture(const char* path, PlatPixels* out);         // a PNG file
bool backend_decode_clip(const char* path, int rate, PlatSamples* out);  // a WAV file
// Whether a clip that did not decode is still coming (a browser still fetching or decoding it);
// once one has come, or failed, the backend says so with core_clips_arrived.
bool backend_clip_pending(const char* path);
void backend_clip_wanted(const char* path);  // a pending clip was pressed: bring it before others
// Whether a picture that is not here yet is on its way (a browser still fetching or decoding
// it), and its size in pixels; once it has come, or failed, the backend says so with
// core_pictures_arrived.
bool backend_picture_pending(const char* path, int* width, int* height);

// The elements changed (plat_element_*): a backend that shows them to its system's screen
// reader (a page's own elements over the canvas) reads them again (plat_element_at). Called
// after a loop pass that changed them.
void backend_elements_changed(void);

// ---------------------------------------------------------------------------------------------
// Offered by the core

enum PlatTouchSource { kPlatSourceMouse, kPlatSourceFinger, kPlatSourceInjected, kPlatSourceKeyboard };

// A touch began, moved or ended at (x, y) in window units. One touch is taken at a time: the
// first to begin holds the stream until the same source, device and pointer ends it.
void core_touch(PlatTouchPhase phase, PlatTouchSource source, int64_t device, int64_t pointer,
                float x, float y);
void core_clips_arrived(void);  // a pending clip has come, or will not: its player takes it now
void core_pictures_arrived(void);  // pending pictures have come, or will not: they are taken now
void core_audio_device_lost(void);   // the open device is gone: no pull from it will come
void core_audio_device_added(void);  // an output device appeared
// The window was hidden, minimised or lost the focus: a touch held ends where it last was.
void core_touch_cancel(void);
// A key went down or up: Tab, Shift+Tab, Space or Enter (a key held is not reported again).
void core_key(PlatKey key, bool down);
// The system's screen reader, or a page's own element, pressed an element or released it: a
// control is touched at its centre, through the one touch stream.
void core_element_press(int element, bool down);
void core_quit(void);    // the window was closed or the program asked to end
int64_t core_wait_ns(void);  // until the next tick is due: 0 when one is, -1 with no timer
float core_window_scale(void);  // the frame's drawn pixels a point now (plat_window_scale)
void core_redraw(void);  // the window's pixels were lost or resized: draw it all again
void core_set_error(const char* format, ...);  // the one line plat_error gives
