// Replay scripts: plain text, one command a line, times from the first frame.
//
//   # a press on Coin, held for a tenth of a second
//   at 100ms down 20 250
//   at 150ms move 40 260
//   at 200ms up 40 260
//   at 1s shot pressed.png
//   at 5s end
//
// Times are a number with ms or s (1.5s, 250ms), a day at most; points are in the 320 x 460
// frame. `#` starts a comment. Times never go back, and nothing comes after `end`.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Engine/Platform/Platform.h"

constexpr uint64_t kMaxScriptNs = 86400ull * 1000000000ull;  // a day: longer is a mistake

struct ScriptCommand {
  enum Kind { kTouch, kShot, kEnd } kind;
  uint64_t at_ns;       // from the first frame
  PlatTouchPhase phase;  // kTouch
  PlatPoint point;       // kTouch
  std::string file;      // kShot
  int line;
};

// Parses a whole script. On a bad line, returns false with "NAME:LINE: what is wrong".
bool ParseScript(const std::string& text, const std::string& name,
                 std::vector<ScriptCommand>* commands, std::string* error);

// "1.5 s", "250 ms": a time as the contact sheet writes it.
std::string FormatTime(uint64_t ns);
