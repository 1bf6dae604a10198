// Prints the engine's limits (Engine/Limits.h) and the platform's contract across languages
// (Engine/Platform/Contract.h, the touch phases and element kinds of Platform.h) as JSON, for
// the browser's scripts and the site's tools: the build makes their copy from this, so that a
// number changed in C++ changes in every language.
#include <cstdio>

#include "Engine/Limits.h"
#include "Engine/Platform/Contract.h"
#include "Engine/Platform/Platform.h"

int main() {
  printf("{\"frameWidth\": %d, \"frameHeight\": %d, \"frameRate\": %d, \"maxWindowSide\": %d,\n"
         " \"maxPictureSide\": %d, \"maxPictureFileBytes\": %llu, \"maxClipFileBytes\": %llu,\n"
         " \"maxClipBytes\": %llu, \"minClipRate\": %d, \"maxClipRate\": %d, \"maxClipChannels\": %d,\n"
         " \"mixerRate\": %d, \"reservedPicture\": \"%s\",\n",
         kFrameWidth, kFrameHeight, kFrameRate, kMaxWindowSide, kMaxPictureSide,
         static_cast<unsigned long long>(kMaxPictureFileBytes),
         static_cast<unsigned long long>(kMaxClipFileBytes),
         static_cast<unsigned long long>(kMaxClipBytes), kMinClipRate, kMaxClipRate,
         kMaxClipChannels, kMixerRate, kReservedPicture);
  printf(" \"sharpestTwin\": %d, \"windowIcon\": \"%s\", \"latePlayMs\": %d,\n", kSharpestTwin,
         kWindowIcon, kLatePlayMs);
  printf(" \"audioFrames\": {\"device\": %d, \"maxDevice\": %d, \"pulse\": %d, \"renderQuantum\": %d,"
         " \"script\": %d, \"maxScript\": %d},\n",
         kDeviceBufferFrames, kMaxDeviceBufferFrames, kPulseBufferFrames, kWebRenderQuantum,
         kWebScriptBufferFrames, kWebMaxScriptBufferFrames);
  printf(" \"bundleDir\": \"%s\", \"documentsDir\": \"%s\", \"packFormat\": \"%s\",\n",
         kWebBundleDir, kWebDocumentsDir, kWebPackFormat);
  printf(" \"touch\": {\"began\": %d, \"moved\": %d, \"ended\": %d},\n", kPlatTouchBegan,
         kPlatTouchMoved, kPlatTouchEnded);
  printf(" \"element\": {\"control\": %d, \"text\": %d},\n", kPlatElementControl, kPlatElementText);
  printf(" \"cue\": {\"stop\": %d, \"position\": %d, \"play\": %d}}\n", kWebCueStop,
         kWebCuePosition, kWebCuePlay);
  return 0;
}
