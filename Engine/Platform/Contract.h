// What the platform's parts agree on across languages: the C++ core and backends, the browser's
// page (Web.js, Loader.js, Boot.js) and its audio thread (WebMixer.js), and the tools that lay
// out a site. Written once, here; Tools/Limits prints it with the limits as JSON, from which
// the build makes the scripts' copy. Not installed: programs see Limits.h and Platform.h.
#pragma once

// Pictures: "name@2x.png" and "name@3x.png" beside "name.png", up to this many pixels a point.
constexpr int kSharpestTwin = 3;
// The window's icon, in the bundle when it has one (a page's icons are its manifest's).
constexpr const char* kWindowIcon = "Icon.png";

// A press on a clip still on its way sounds if the clip comes within this, from its first
// sample; a clip that comes later does not sound for that press at all. About what a player
// forgives: later, a sound from nowhere is worse than none.
constexpr int kLatePlayMs = 300;

// Audio buffers, in frames: asked of a desktop's device (about 5 ms at 48 kHz), the longest a
// device may give before SDL is made to feed it from shorter ones, and the shortest PulseAudio
// is given (its stream holds one buffer and no more).
constexpr int kDeviceBufferFrames = 256;
constexpr int kMaxDeviceBufferFrames = 1024;
constexpr int kPulseBufferFrames = 1024;
// A browser's: its audio thread renders quanta of this many frames; a page without worklets
// mixes in script processor buffers of at least, and at most, these.
constexpr int kWebRenderQuantum = 128;
constexpr int kWebScriptBufferFrames = 256;
constexpr int kWebMaxScriptBufferFrames = 16384;

// The browser's file system: where the loader puts the bundle's files, and the documents folder.
constexpr const char* kWebBundleDir = "/bundle";
constexpr const char* kWebDocumentsDir = "/documents";
// The first line of a site's picture pack (Web/site.mjs writes it, Loader.js reads it).
constexpr const char* kWebPackFormat = "soundboard-pictures 2";

// The mixer's cues, as the page posts them to its audio thread: [cue, voice, frame].
enum WebCue { kWebCueStop, kWebCuePosition, kWebCuePlay };
