// Prints the engine's limits (Engine/Limits.h) as JSON, for the browser's scripts: the build
// makes their copy from this, so that a number changed there changes in every language.
#include <cstdio>

#include "Engine/Limits.h"

int main() {
  printf("{\"frameWidth\": %d, \"frameHeight\": %d, \"frameRate\": %d, \"maxWindowSide\": %d,\n"
         " \"maxPictureSide\": %d, \"maxPictureFileBytes\": %llu, \"maxClipFileBytes\": %llu,\n"
         " \"maxClipBytes\": %llu, \"minClipRate\": %d, \"maxClipRate\": %d, \"maxClipChannels\": %d}\n",
         kFrameWidth, kFrameHeight, kFrameRate, kMaxWindowSide, kMaxPictureSide,
         static_cast<unsigned long long>(kMaxPictureFileBytes),
         static_cast<unsigned long long>(kMaxClipFileBytes),
         static_cast<unsigned long long>(kMaxClipBytes), kMinClipRate, kMaxClipRate,
         kMaxClipChannels);
  return 0;
}
