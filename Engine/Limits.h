// The engine's fixed sizes: every table, name and path buffer, and the frame rate.
// Everything that depends on one of these numbers uses the constant, never the bare number.
#pragma once

constexpr int kTableSlots = 1000;             // slots in every table, slot 0 reserved
constexpr int kLastHandle = kTableSlots - 1;  // the highest handle a table gives out
constexpr int kNameBytes = 100;               // an image name slot, terminator included
constexpr int kPathBytes = 200;               // PathApp and PathDoc, terminator included
constexpr int kSoundPathBytes = 350;          // a clip's full path, terminator included
constexpr int kFrameRate = 30;                // frame clock ticks per second
constexpr double kFrameInterval = 1.0 / kFrameRate;
constexpr int kMaxWindowSide = 16384;         // pixels across or down: a frame of 1 GiB at most

// The picture shown in place of any picture that failed to load (image handle 0).
constexpr const char* kReservedPicture = "Images/EmptyRed.png";
