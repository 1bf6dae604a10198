// The engine's fixed sizes: every table, name and path buffer, the frame and its rate, the
// mixer's rate, and the bounds every file and window is held to. Everything that depends on one
// of these numbers uses the constant, never the bare number; the browser's scripts get a copy
// made from this file at build time (Tools/Limits).
#pragma once

#include <cstdint>

// Tables and names
constexpr int kTableSlots = 1000;             // slots in every table, slot 0 reserved
constexpr int kLastHandle = kTableSlots - 1;  // the highest handle a table gives out
constexpr int kNameBytes = 100;               // an image name slot, terminator included
constexpr int kPathBytes = 200;               // PathApp and PathDoc, terminator included
constexpr int kSoundPathBytes = 350;          // a clip's full path, terminator included

// The screen and the clock
constexpr int kFrameWidth = 320;              // the application frame, in points: a phone's
constexpr int kFrameHeight = 460;             // screen less its status bar
constexpr int kFrameRate = 30;                // frame clock ticks per second
constexpr double kFrameInterval = 1.0 / kFrameRate;
constexpr int kMaxWindowSide = 16384;         // pixels across or down: a frame of 1 GiB at most
constexpr int kMaxPresentRects = 16;          // rectangles a present shows apart, at most

// Sound
constexpr int kMixerRate = 48000;             // frames per second, asked of a desktop's device

// Files from the bundle: anything past these is refused before memory is taken for it
constexpr int kMaxPictureSide = 4096;                   // pixels, across and down
constexpr uint64_t kMaxPictureFileBytes = 64ull << 20;
constexpr uint64_t kMaxClipFileBytes = 64ull << 20;
constexpr uint64_t kMaxClipBytes = 64ull << 20;         // the clip as converted for the mixer
constexpr int kMinClipRate = 8000;                      // frames per second
constexpr int kMaxClipRate = 192000;
constexpr int kMaxClipChannels = 8;                     // 7.1

// The picture shown in place of any picture that failed to load (image handle 0).
constexpr const char* kReservedPicture = "Images/EmptyRed.png";
