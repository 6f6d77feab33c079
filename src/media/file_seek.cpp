#include "media/file_seek.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

namespace kelpa {
namespace {

// An upper bound for positions in a file of unknown length, far inside int64_t.
constexpr double kFarPosition = 4.0e18;

// The frame rate of a file from what it tells: the time per frame of its format, else one
// frame converted to media time, else frames per whole second of duration.
double FileFrameRate(VideoCtrl& ctrl, MediaSeeking& seeking, int64_t timePerFrame) {
    double fps = 0.0;
    if (timePerFrame > 0) {
        fps = static_cast<double>(kMediaUnitsPerSecond) / static_cast<double>(timePerFrame);
    } else {
        int64_t oneFrame = 0;
        if (!Failed(seeking.ConvertTimeFormat(&oneFrame, TimeFormat::kMediaTime, 1,
                                              TimeFormat::kFrame)) &&
            oneFrame > 0) {
            fps = static_cast<double>(kMediaUnitsPerSecond) / static_cast<double>(oneFrame);
        } else if (ctrl.durationFrames > 0 && ctrl.durationTime > 0) {
            // A file shorter than one second tells no rate this way (no division by zero).
            const int64_t seconds = ctrl.durationTime / kMediaUnitsPerSecond;
            if (seconds > 0) {
                fps = static_cast<double>(ctrl.durationFrames) / static_cast<double>(seconds);
            }
        }
    }
    // Also catches NaN: a rate that is not a plain number above 1 is replaced.
    if (!(fps > DBL_MIN) || fps < 1.0) fps = kDefaultFileFps;
    return fps;
}

int64_t ReadDuration(MediaSeeking& seeking) {
    int64_t duration = 0;
    if (Failed(seeking.GetDuration(&duration)) || duration < 0) return 0;
    return duration;
}

// Seeks in media time. The very end of a file holds no frame: a seek there either fails or shows
// nothing (the graph accepts it and waits at the end), so a target at the end is sought half a
// frame before it, inside the last frame. `fps` is positive (StepFrames checks it).
MediaResult SeekTime(VideoCtrl& ctrl, MediaSeeking& seeking, int64_t target) {
    const int64_t end = ctrl.durationTime;
    if (target < 0) target = 0;
    if (end > 0 && target >= end) {
        const double halfFrame =
            0.5 * static_cast<double>(kMediaUnitsPerSecond) / ctrl.sink.fps.load();
        target = end - static_cast<int64_t>(halfFrame);
    }
    return seeking.SetPositionAbsolute(target);
}

// n frames of `period` media units from `current`, one unit past the frame boundary in the
// direction of the move, clamped into the file. Computed in double so that no frame count
// can overflow.
int64_t StepTarget(int64_t frames, double period, int64_t current, int64_t end) {
    double target = std::trunc(static_cast<double>(frames) * period) +
                    static_cast<double>(current) + (frames > 0 ? 1.0 : -1.0);
    const double upper = end > 0 ? static_cast<double>(end) : kFarPosition;
    target = std::clamp(target, 0.0, upper);
    return static_cast<int64_t>(target);
}

}  // namespace

void InitFilePlayback(VideoCtrl& ctrl, int64_t timePerFrame100ns) {
    ctrl.timeFormat = TimeFormat::kNone;
    ctrl.frameFormatSupported = false;
    ctrl.durationTime = 0;
    ctrl.durationFrames = 0;
    MediaSeeking* seeking = ctrl.Seeking();
    if (!seeking) {
        // Without seeking only the format can tell the rate.
        const double fps = timePerFrame100ns > 0 ? static_cast<double>(kMediaUnitsPerSecond) /
                                                       static_cast<double>(timePerFrame100ns)
                                                 : 0.0;
        ctrl.sink.ApplyFrameRate(fps >= 1.0 ? fps : kDefaultFileFps);
        return;
    }

    if (seeking->IsFormatSupported(TimeFormat::kMediaTime) &&
        !Failed(seeking->SetTimeFormat(TimeFormat::kMediaTime))) {
        ctrl.timeFormat = TimeFormat::kMediaTime;
        ctrl.durationTime = ReadDuration(*seeking);
    }
    if (seeking->IsFormatSupported(TimeFormat::kFrame)) {
        ctrl.frameFormatSupported = true;
        if (!Failed(seeking->SetTimeFormat(TimeFormat::kFrame))) {
            ctrl.timeFormat = TimeFormat::kFrame;
            ctrl.durationFrames = ReadDuration(*seeking);
        }
    }

    const double fps = FileFrameRate(ctrl, *seeking, timePerFrame100ns);
    ctrl.sink.ApplyFrameRate(fps);

    if (ctrl.durationFrames == 0) {
        if (timePerFrame100ns > 0) ctrl.durationFrames = ctrl.durationTime / timePerFrame100ns;
        if (ctrl.durationFrames == 0 && ctrl.durationTime != 0) {
            ctrl.durationFrames =
                static_cast<int64_t>(std::ceil((static_cast<double>(ctrl.durationTime) - 0.5) *
                                               fps / static_cast<double>(kMediaUnitsPerSecond)));
        }
    }
    ctrl.timeFormat = !Failed(seeking->SetTimeFormat(TimeFormat::kMediaTime))
                          ? TimeFormat::kMediaTime
                          : TimeFormat::kNone;
}

MediaResult StepFrames(VideoCtrl& ctrl, int64_t frames, bool preferTime) {
    MediaSeeking* seeking = ctrl.Seeking();
    if (!seeking) return MediaResult::kFailed;
    if (frames == 0) return MediaResult::kUnchanged;
    if (!ctrl.frameFormatSupported) preferTime = true;
    // The frame the step shows starts a new timeline for the pacing of a running file.
    ctrl.sink.RestartPacing();

    if (ctrl.timeFormat != TimeFormat::kMediaTime) {
        const MediaResult result = seeking->SetTimeFormat(TimeFormat::kMediaTime);
        if (Failed(result)) return result;
        ctrl.timeFormat = TimeFormat::kMediaTime;
    }
    int64_t current = 0;
    const MediaResult read = seeking->GetCurrentPosition(&current);
    if (Failed(read)) return read;

    const double fps = ctrl.sink.fps.load();
    if (!(fps > 0.0)) return MediaResult::kFailed;
    const double period = static_cast<double>(kMediaUnitsPerSecond) / fps;
    const int64_t target = StepTarget(frames, period, current, ctrl.durationTime);

    if (preferTime || target == 0) return SeekTime(ctrl, *seeking, target);
    if (frames > 0 && target > ctrl.durationTime - static_cast<int64_t>(period)) {
        return SeekTime(ctrl, *seeking, target);
    }
    const int64_t shown =
        current == 0 ? 0
                     : static_cast<int64_t>(fps / static_cast<double>(kMediaUnitsPerSecond) *
                                                static_cast<double>(current) +
                                            0.5);
    if (frames > 0 && shown >= ctrl.durationFrames - 1) return MediaResult::kUnchanged;
    if (Failed(seeking->SetTimeFormat(TimeFormat::kFrame))) return MediaResult::kFailed;
    ctrl.timeFormat = TimeFormat::kFrame;
    // The frame is kept inside the file (the last frame is durationFrames - 1); computed in
    // double so that no step count can overflow.
    const double last =
        ctrl.durationFrames > 0 ? static_cast<double>(ctrl.durationFrames - 1) : kFarPosition;
    const double frame =
        std::clamp(static_cast<double>(shown) + static_cast<double>(frames), 0.0, last);
    return seeking->SetPositionAbsolute(static_cast<int64_t>(frame));
}

}  // namespace kelpa
