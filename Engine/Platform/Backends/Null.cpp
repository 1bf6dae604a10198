// The null backend: no system at all. The window is an RGBA frame in memory, drawn by the
// software compositor; no event comes but injected ones; sound
// is only rendered offline; pictures and clips are decoded by libspng and libsndfile.
//
// It is also the template for porting the engine: every function of the contract is here, in
// the contract's order, each opening with what a real backend does at that point. Copy this
// file, keep the shapes, and replace each body with calls to your system.
//
// Implemented (a port lists its own so):
//   [x] touches and keys: only those a test injects (plat_touch_inject, plat_key_inject)
//   [ ] a screen reader: a test reads the elements itself (plat_element_at)
//   [ ] safe insets: none
//   [ ] sharper twins: the window is one pixel a point
//   [x] a present of the damaged rectangles only (the frame is the window)
//   [ ] an audio device: sound is only rendered when a test asks (plat_audio_render)
//   [ ] a mixer port, pending files
#include <time.h>


#include "Engine/Platform/Backend.h"
#include "Engine/Platform/Decode.h"
#include "Engine/Platform/Desktop.h"
#include "Engine/Platform/Raster.h"

// ---------------------------------------------------------------------------------------------
// State

static constexpr int kScreenWidth = kFrameWidth;  // the screen this backend pretends to have:
static constexpr int kScreenHeight = kFrameHeight;  // one frame, so the window opens at scale 1

namespace {
struct NullState {
  bool open = false;
  RasterFrame frame;  // the window's pixels
};
}  // namespace

static NullState g;

// ---------------------------------------------------------------------------------------------
// Life cycle

bool backend_init(void) {
  // A real backend starts its window and event system here, and fails with core_set_error.
  g = NullState{};
  return true;
}

void backend_shutdown(void) {
  // A real backend closes its window and frees its system here.
  g = NullState{};
}

// ---------------------------------------------------------------------------------------------
// Window

bool backend_screen_size(int* width, int* height) {
  // A real backend asks for the screen's usable area (less panels and docks).
  *width = kScreenWidth;
  *height = kScreenHeight;
  return true;
}

bool backend_window_open(const char*, int width, int height, int, int) {
  // A real backend makes a hidden, resizable window with a title and a minimum size.
  if (!raster_resize(&g.frame, width, height)) {
    core_set_error("not enough memory for a %d x %d window", width, height);
    return false;
  }
  g.open = true;
  return true;
}

void backend_window_set_icon(const PlatPixels*) {
  // A real backend gives the window its icon, for the title bar and the task bar.
}

void backend_window_show(void) {
  // A real backend shows the window and raises it to the front.
}

void backend_window_set_size(int width, int height) {
  // A real backend asks the window system to resize; its drawing surface follows.
  if (g.open && width > 0 && height > 0) raster_resize(&g.frame, width, height);
}

void backend_window_size(int* width, int* height) {
  // A real backend gives the size in the units its input events use.
  *width = g.frame.width;
  *height = g.frame.height;
}

void backend_output_size(int* width, int* height) {
  // A real backend gives its drawing surface's size in pixels (larger on a high-density screen).
  *width = g.frame.width;
  *height = g.frame.height;
}

void backend_safe_insets(float* left, float* top, float* right, float* bottom) {
  // A real backend asks its system which edges a notch or rounded corners cover.
  *left = *top = *right = *bottom = 0;
}

// ---------------------------------------------------------------------------------------------
// Drawing

PlatTexture* backend_texture_create(const PlatPixels* pixels) {
  // A real backend uploads the pixels to a texture of its renderer.
  return new PlatTexture{pixels};
}

void backend_texture_destroy(PlatTexture* texture) {
  // A real backend frees the texture.
  delete texture;
}

void backend_draw(const PlatDrawList* list) {
  // A real backend sets the clip, then draws each rectangle: filled, or textured (nearest or
  // smooth as asked), blended by alpha.
  raster_draw(&g.frame, *list);
}

void backend_draw_edges(const PlatIRect* frame, const PlatIRect* area, int blur) {
  // A real backend copies the frame's edge pixels outward (a GPU backend: its edge rows and
  // columns, stretched), blurred along the edge.
  raster_continue_edges(&g.frame, *frame, *area, blur);
}

void backend_present(const PlatIRect*, int) {
  // A real backend puts the drawn frame on the screen, or just the rectangles given.
}

bool backend_read_pixels(uint8_t* rgba, int width, int height) {
  // A real backend copies its drawn frame out as RGBA, rows top to bottom.
  return raster_read(g.frame, rgba, width, height);
}

// ---------------------------------------------------------------------------------------------
// Events and loop

void backend_pump_events(int64_t wait_ns) {
  // A real backend sleeps until its next event or wait_ns, then reports each pending event
  // with core_touch, core_quit or core_redraw. Nothing can arrive here: only the wait is real,
  // and with no limit there is nothing to wait for.
  if (wait_ns <= 0) return;
  timespec pause{static_cast<time_t>(wait_ns / 1000000000), static_cast<long>(wait_ns % 1000000000)};
  nanosleep(&pause, nullptr);
}

bool backend_run_loop(void) {
  // A desktop backend blocks here; one driven by its system's frame callback registers
  // plat_loop_step(false) with it and returns false.
  while (plat_loop_step(true)) {
  }
  return true;
}

// ---------------------------------------------------------------------------------------------
// Audio

bool backend_audio_open(int, bool, int, PlatAudioPull, PlatAudioInfo*, const PlatMixerPort**) {
  // A real backend opens its device and calls pull from the device's thread for every buffer,
  // and reports the device going away, and a new one coming, with core_audio_device_lost and
  // core_audio_device_added.
  // One whose audio thread cannot call into the program runs a copy of the mixer there, as
  // the browser's does (Web.cpp), and gives the core a port for its cues.
  core_set_error("the null backend has no audio device");
  return false;
}

void backend_audio_close(void) {
  // A real backend stops the device and waits until no pull is running.
}

// ---------------------------------------------------------------------------------------------
// Files

std::string backend_bundle_dir(void) {
  // A real backend names the folder its program's resources are in: beside it, or where its
  // system installs them.
  return desktop_bundle_dir();
}

std::string backend_documents_dir(void) {
  // A real backend names the user's documents folder.
  return desktop_documents_dir();
}

bool backend_decode_picture(const char* path, PlatPixels* out) {
  // A real backend may use its system's decoder; it must refuse what is not a PNG.
  return decode_png_file(path, out);
}

bool backend_decode_clip(const char* path, int rate, PlatSamples* out) {
  // A real backend may use its system's decoder; it converts to stereo 16-bit at rate.
  return decode_wav_file(path, rate, out);
}

bool backend_clip_pending(const char*) {
  // A real backend whose files come later (over a network) says which are on their way.
  return false;
}

void backend_clip_wanted(const char*) {
  // Such a backend brings that clip before the others: a press is waiting for it.
}

bool backend_picture_pending(const char*, int*, int*) {
  // Such a backend says whether a picture it has not brought yet is on its way, and its size;
  // it starts bringing it if it has not.
  return false;
}

void backend_elements_changed(void) {
  // A backend whose system has a screen reader (a page's elements, an accessibility bridge)
  // gives it every element again (plat_element_at): a label, a kind, a place in the window.
}
