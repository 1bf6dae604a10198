// The sound table over the platform's players. A slot is taken by every add that gets past
// the limit, whether or not its clip loads, so handles follow the order of the adds.
#include "Engine/Sound.h"

#include "Engine/Internal.h"
#include "Engine/Win.h"

constinit CSound Sound;

void SoundReset() { Sound = CSound{}; }

int CSound::Add(const char* name) {
  int n = count;
  if (n > kLastHandle) return 0;
  count = n + 1;
  // A path too long for its buffer is a load that failed: the slot stays taken and empty.
  char path[kSoundPathBytes];
  bool fits = StrJoin(path, kSoundPathBytes, PathApp, name ? name : "");
  players[n] = fits ? plat_player_create(path) : nullptr;
  return players[n] ? n : 0;
}

int CSound::Play(int id) {
  if (id <= 0 || id >= count) return 0;
  PlatPlayer* player = players[id];
  plat_player_stop(player);
  plat_player_set_current_time(player, 0.0);
  plat_player_play(player);
  return 1;
}

int SoundAdd(const char* name) { return Sound.Add(name); }

int SoundPlay(int id) { return Sound.Play(id); }
