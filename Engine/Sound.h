// The sound table: one player per clip in the bundle, registered once by file name and then
// played from its beginning by handle. Failures show only in the results; nothing is printed.
#pragma once

#include "Engine/Limits.h"
#include "Engine/Platform/Platform.h"

class CSound {
 public:
  int Add(const char* name);  // loads PathApp + name into the next slot; its handle or 0
  int Play(int id);           // stop, rewind, play: 1 for a used slot, else 0

  PlatPlayer* players[kTableSlots] = {};  // by handle; empty for slot 0 and for failed loads
  int count = 1;                          // slots in use, the reserved one included
};

extern CSound Sound;

int SoundAdd(const char* name);  // Sound.Add
int SoundPlay(int id);           // Sound.Play
