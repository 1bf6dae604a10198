// Elements: what a screen reader reads and a keyboard reaches. Each is a place in the frame and
// a label, kept in the order it was added. On a desktop, Tab and Shift+Tab move a focus ring
// between the controls and Space or Enter holds the focused one down; a screen reader (in a
// browser, the page's own elements) presses and releases one. Either way the control is
// touched at its centre through the one touch stream, so the program sees what a finger makes.
#include <cmath>
#include <string>
#include <vector>

#include "Engine/Platform/Core.h"

// ---------------------------------------------------------------------------------------------
// State

static constexpr int kMaxElements = 2 * kTableSlots;  // a label for every button and view

namespace {
struct Element {
  PlatElementKind kind;
  std::string label;
  PlatRect frame;
};

struct ElementsState {
  std::vector<Element> elements;
  bool changed = false;  // since the backend last read them
  int focus = 0;         // the control Tab last reached; 0: none yet
  bool ring = false;     // the focus ring shows on it
  int pressed = 0;       // the element a key or a screen reader holds down; 0: none
};
}  // namespace

static ElementsState g;

// ---------------------------------------------------------------------------------------------
// Helpers

static bool is_element(int element) { return element >= 1 && element <= static_cast<int>(g.elements.size()); }

static const Element& at(int element) { return g.elements[static_cast<size_t>(element) - 1]; }

// Cut to kNameBytes with its terminator, never inside a UTF-8 character.
static std::string label_of(const char* label) {
  std::string text = label ? label : "";
  if (text.size() < static_cast<size_t>(kNameBytes)) return text;
  size_t end = kNameBytes - 1;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xc0) == 0x80) end--;
  return text.substr(0, end);
}

static bool reachable(int element) {
  return is_element(element) && at(element).kind == kPlatElementControl && !at(element).label.empty();
}

static PlatPoint centre(const PlatRect& r) { return {r.x + r.w / 2, r.y + r.h / 2}; }

// A place a screen reader can be told of: any number that is none is 0.
static PlatRect finite(PlatRect r) {
  for (float* v : {&r.x, &r.y, &r.w, &r.h})
    if (!std::isfinite(*v)) *v = 0;
  return r;
}

static void damage_ring(void) {
  if (g.ring && is_element(g.focus)) views_damage_ring(at(g.focus).frame);
}

static void set_ring(int focus, bool ring) {
  damage_ring();  // where it was
  g.focus = focus;
  g.ring = ring;
  damage_ring();  // and where it is now
}

static void release(void) {
  if (!g.pressed) return;
  touches_from_element(kPlatTouchEnded, centre(at(g.pressed).frame));
  g.pressed = 0;
}

// The next control from the focus, one way or the other, round the end; the focus if none.
static int next_control(int step) {
  int n = static_cast<int>(g.elements.size());
  int from = is_element(g.focus) ? g.focus : (step > 0 ? 0 : n + 1);
  for (int i = 1; i <= n; i++) {
    int element = ((from - 1 + step * i) % n + n) % n + 1;
    if (reachable(element)) return element;
  }
  return g.focus;
}

// ---------------------------------------------------------------------------------------------
// For the core

bool elements_ring(PlatRect* control) {
  if (!g.ring || !is_element(g.focus)) return false;
  *control = at(g.focus).frame;
  return true;
}

void elements_touched(void) {
  if (g.ring) set_ring(g.focus, false);
}

void elements_flush(void) {
  if (!g.changed) return;
  g.changed = false;
  backend_elements_changed();
}

void elements_stop(void) { g = ElementsState{}; }

// ---------------------------------------------------------------------------------------------
// Offered to backends

void core_key(PlatKey key, bool down) {
  if (key == kPlatKeyPress) {
    if (!down) return release();
    release();  // held already: its release was lost (the window lost the focus)
    if (g.ring && reachable(g.focus) && touches_from_element(kPlatTouchBegan, centre(at(g.focus).frame)))
      g.pressed = g.focus;
    return;
  }
  if (!down) return;
  release();  // a control held is let go before the focus leaves it
  set_ring(next_control(key == kPlatKeyNext ? 1 : -1), true);
}

void core_element_press(int element, bool down) {
  if (!down) return release();
  release();
  if (is_element(element) && at(element).kind == kPlatElementControl &&
      touches_from_element(kPlatTouchBegan, centre(at(element).frame)))
    g.pressed = element;
}

// ---------------------------------------------------------------------------------------------
// Public

int plat_element_add(PlatElementKind kind, const char* label, PlatRect frame) {
  if (!loop_started() || g.elements.size() >= static_cast<size_t>(kMaxElements)) return 0;
  g.elements.push_back({kind, label_of(label), finite(frame)});
  g.changed = true;
  return static_cast<int>(g.elements.size());
}

void plat_element_set_label(int element, const char* label) {
  if (!is_element(element)) return;
  g.elements[static_cast<size_t>(element) - 1].label = label_of(label);
  g.changed = true;
  if (element == g.focus && !reachable(element)) set_ring(g.focus, false);
}

void plat_element_set_frame(int element, PlatRect frame) {
  if (!is_element(element)) return;
  bool focused = element == g.focus;
  if (focused) damage_ring();
  g.elements[static_cast<size_t>(element) - 1].frame = finite(frame);
  if (focused) damage_ring();
  g.changed = true;
}

int plat_element_count(void) { return static_cast<int>(g.elements.size()); }

PlatElement plat_element_at(int element) {
  if (!is_element(element)) return {kPlatElementText, "", {0, 0, 0, 0}};
  const Element& e = at(element);
  return {e.kind, e.label.c_str(), e.frame};
}

int plat_element_focused(void) { return g.ring ? g.focus : 0; }

void plat_key_inject(PlatKey key, bool down) { core_key(key, down); }
