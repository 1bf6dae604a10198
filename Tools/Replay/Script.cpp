// The script parser: every line checked before anything runs, so that a bad script does
// nothing at all.
#include "Tools/Replay/Script.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <sstream>

// "250ms", "1.5s", "0s": exact to the nanosecond, with no floating point in the way.
static bool ParseTime(const std::string& word, uint64_t* ns) {
  size_t unit = word.find_first_not_of("0123456789.");
  if (unit == 0 || unit == std::string::npos) return false;
  std::string number = word.substr(0, unit), suffix = word.substr(unit);
  uint64_t scale = suffix == "ms" ? 1000000ull : suffix == "s" ? 1000000000ull : 0;
  if (!scale) return false;
  size_t dot = number.find('.');
  std::string whole = number.substr(0, dot), fraction = dot == std::string::npos ? "" : number.substr(dot + 1);
  if (whole.empty() || whole.size() > 9 || fraction.find('.') != std::string::npos) return false;
  uint64_t value = std::stoull(whole) * scale;
  for (char digit : fraction) {  // digits past a nanosecond would be lost: refused
    scale /= 10;
    if (!scale) return false;
    value += static_cast<uint64_t>(digit - '0') * scale;
  }
  *ns = value;
  return true;
}

static bool ParsePoint(std::istringstream& in, PlatPoint* p) {
  std::string x, y, rest;
  if (!(in >> x >> y) || (in >> rest)) return false;
  char* end = nullptr;
  p->x = strtof(x.c_str(), &end);
  if (*end) return false;
  p->y = strtof(y.c_str(), &end);
  return !*end;
}

bool ParseScript(const std::string& text, const std::string& name,
                 std::vector<ScriptCommand>* commands, std::string* error) {
  commands->clear();
  // A byte-order mark, as some editors write first, is no part of the first line.
  std::istringstream lines(text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? text.substr(3) : text);
  std::string line;
  uint64_t last = 0;
  bool ended = false;
  for (int n = 1; std::getline(lines, line); n++) {
    auto fail = [&](const std::string& what) {
      *error = name + ":" + std::to_string(n) + ": " + what;
      commands->clear();
      return false;
    };
    line = line.substr(0, line.find('#'));
    std::istringstream in(line);
    std::string at, when, command;
    if (!(in >> at)) continue;  // blank, or only a comment
    if (at != "at") return fail("a line starts with 'at' and a time, as in: at 100ms down 20 250");
    ScriptCommand c{};
    c.line = n;
    if (!(in >> when) || !ParseTime(when, &c.at_ns))
      return fail("'" + when + "' is not a time: a number and ms or s, as in 250ms or 1.5s");
    if (c.at_ns > kMaxScriptNs) return fail(when + " is later than a day");
    if (ended) return fail("nothing can come after 'end'");
    if (c.at_ns < last) return fail(when + " is earlier than the line before");
    last = c.at_ns;
    if (!(in >> command)) return fail("a time needs a command: down, move, up, shot or end");
    if (command == "down" || command == "move" || command == "up") {
      c.kind = ScriptCommand::kTouch;
      c.phase = command == "down" ? kPlatTouchBegan : command == "move" ? kPlatTouchMoved : kPlatTouchEnded;
      if (!ParsePoint(in, &c.point)) return fail("'" + command + "' takes x and y, in points");
    } else if (command == "shot") {
      c.kind = ScriptCommand::kShot;
      std::string rest;
      if (!(in >> c.file) || (in >> rest)) return fail("'shot' takes one file name");
    } else if (command == "end") {
      c.kind = ScriptCommand::kEnd;
      std::string rest;
      if (in >> rest) return fail("'end' takes nothing after it");
      ended = true;
    } else {
      return fail("unknown command '" + command + "': down, move, up, shot or end");
    }
    commands->push_back(c);
  }
  return true;
}

std::string FormatTime(uint64_t ns) {
  if (ns < 1000000000ull && ns % 1000000ull == 0) return std::to_string(ns / 1000000ull) + " ms";
  char text[32];
  snprintf(text, sizeof text, "%.3f", static_cast<double>(ns) / 1e9);
  std::string s = text;
  while (s.back() == '0') s.pop_back();  // 1.500 to 1.5, 2.000 to 2
  if (s.back() == '.') s.pop_back();
  return s + " s";
}
