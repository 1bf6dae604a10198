// The schedule of a repeating timer, apart from any clock: tick n is due at start + n intervals,
// computed from n each time so that it never drifts. Shared by every backend.
#pragma once

#include <cmath>
#include <cstdint>

struct PlatFrameClock {
  uint64_t start_ns = 0;
  double interval_ns = 0;
  uint64_t next = 1;  // the number of the next tick to fire

  PlatFrameClock() = default;
  PlatFrameClock(uint64_t start, double interval_s) : start_ns(start), interval_ns(interval_s * 1e9) {}

  // Rounded up, so that a tick is never due before its exact time.
  uint64_t due_ns(uint64_t tick) const {
    return start_ns + static_cast<uint64_t>(std::ceil(static_cast<double>(tick) * interval_ns));
  }
  uint64_t next_due_ns() const { return due_ns(next); }

  // True when a tick is due at `now`. A late call fires once and skips every tick whose time
  // has already passed, as a repeating phone timer does, so lateness never becomes a burst.
  bool poll(uint64_t now_ns) {
    if (now_ns < next_due_ns()) return false;
    // The first tick still to come; the loops only mend the division's rounding.
    uint64_t n = static_cast<uint64_t>(static_cast<double>(now_ns - start_ns) / interval_ns) + 1;
    while (n > next + 1 && due_ns(n - 1) > now_ns) n--;
    while (due_ns(n) <= now_ns) n++;
    next = n;
    return true;
  }
};

// How long the loop may sleep at `now` before the first of `count` schedules is due: 0 when one
// is due already, -1 with no schedule at all (wait for an event, however long).
inline int64_t frame_clocks_wait_ns(const PlatFrameClock* clocks, int count, uint64_t now_ns) {
  if (count <= 0) return -1;
  uint64_t due = UINT64_MAX;
  for (int i = 0; i < count; i++)
    if (clocks[i].next_due_ns() < due) due = clocks[i].next_due_ns();
  if (due <= now_ns) return 0;
  uint64_t wait = due - now_ns;
  return wait > static_cast<uint64_t>(INT64_MAX) ? INT64_MAX : static_cast<int64_t>(wait);
}
