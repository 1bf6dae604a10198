// The soundboard's clips, each a composition for the synthesiser.
#pragma once

#include <string>
#include <vector>

#include "Tools/AssetGen/Synth.h"

struct Clip {
  std::string file;     // as the program names it
  Track (*compose)();   // the clip before mastering
};

std::vector<Clip> SoundboardClips();
