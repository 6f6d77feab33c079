// The timing side of a video file: its frame rate and durations read once the file graph is
// built, and moving its position by whole frames (the step keys). Both work only through the
// controller's seeking interface, so they are tested with a fake one.
//
// GUI thread only.
#pragma once

#include <cstdint>

#include "video/video_ctrl.h"

namespace kelpa {

// Media time runs in 100 ns units.
inline constexpr int64_t kMediaUnitsPerSecond = 10000000;
// The rate a file plays at when it tells none (or an implausible one below 1 frame a second).
inline constexpr double kDefaultFileFps = 23.976;

// Reads which seeking formats the file supports and its durations, derives its frame rate
// (from the connected format's time per frame, else from one frame converted to media time,
// else from frames per whole second of duration) and hands the rate to the intake. Leaves media
// time as the seeking format when the file supports it.
void InitFilePlayback(VideoCtrl& ctrl, int64_t timePerFrame100ns);

// Moves a file's position by `frames` (negative: back). With `preferTime` (or when the file
// cannot seek in frames) the move is made in media time. Returns the seeking result;
// MediaResult::kUnchanged when there is nothing to do (no frames, or already at the last frame).
MediaResult StepFrames(VideoCtrl& ctrl, int64_t frames, bool preferTime);

}  // namespace kelpa
