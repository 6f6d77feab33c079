// A file's frame rate, durations and frame steps over a fake seeking interface: the cases that
// real files cannot easily produce (no time per frame, rates below one a second, files shorter
// than a second, unknown lengths, a graph that refuses the very end).
#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "media/file_seek.h"
#include "support/test_support.h"

namespace kelpa::test {
namespace {

class FakeSeeking final : public MediaSeeking {
  public:
    bool IsFormatSupported(TimeFormat f) override {
        return f == TimeFormat::kMediaTime || (f == TimeFormat::kFrame && frames);
    }
    MediaResult SetTimeFormat(TimeFormat f) override {
        format = f;
        return IsFormatSupported(f) ? MediaResult::kDone : MediaResult::kFailed;
    }
    MediaResult GetDuration(int64_t* d) override {
        *d = format == TimeFormat::kFrame ? durationFrames : durationTime;
        return MediaResult::kDone;
    }
    MediaResult GetCurrentPosition(int64_t* p) override {
        *p = position;
        return MediaResult::kDone;
    }
    // The very end of the file cannot be shown.
    MediaResult SetPositionAbsolute(int64_t p) override {
        seeks.push_back(format == TimeFormat::kFrame ? -p : p);  // frames negated
        return p == durationTime && format == TimeFormat::kMediaTime ? MediaResult::kFailed
                                                                     : MediaResult::kDone;
    }
    MediaResult ConvertTimeFormat(int64_t* t, TimeFormat, int64_t, TimeFormat) override {
        *t = oneFrame;
        return oneFrame > 0 ? MediaResult::kDone : MediaResult::kFailed;
    }
    bool frames = false;
    int64_t durationTime = 0;
    int64_t durationFrames = 0;
    int64_t oneFrame = 0;
    int64_t position = 0;
    TimeFormat format = TimeFormat::kMediaTime;
    std::vector<int64_t> seeks;
};

struct SeekFixture : ::testing::Test {
    SeekFixture() { ctrl.AttachGraph(nullptr, &seeking, nullptr); }
    MemoryProfile profile;
    VideoCtrl ctrl;
    FakeSeeking seeking;
};

// Rates below one a second, files shorter than a second or of unknown length fall back to
// 23.976 frames a second; the length in frames comes from the file or its time.
TEST_F(SeekFixture, RateAndDurationsComeFromWhatTheFileTells) {
    // {time per frame, one frame in media time (0: no conversion), length in frames told,
    //  length in time, in frames, rate, length in frames}
    using Case = std::tuple<int64_t, int64_t, bool, int64_t, int64_t, double, int64_t>;
    for (const auto& [timePerFrame, oneFrame, frames, durationTime, durationFrames, fps,
                      expectedFrames] : {Case{400000, 0, false, 20000000, 0, 25.0, 50},
                                         {0, 0, true, 104000000, 250, 25.0, 250},
                                         {0, 400000, false, 30000000, 0, 25.0, 75},
                                         {20000000, 0, false, 60000000, 0, 23.976, 3},
                                         {0, 0, true, 5000000, 12, 23.976, 12},
                                         {0, 0, false, 0, 0, 23.976, 0}}) {
        SCOPED_TRACE(std::to_string(durationTime) + " in " + std::to_string(timePerFrame));
        seeking.oneFrame = oneFrame;
        seeking.frames = frames;
        seeking.durationTime = durationTime;
        seeking.durationFrames = durationFrames;
        seeking.format = TimeFormat::kFrame;
        InitFilePlayback(ctrl, timePerFrame);
        EXPECT_EQ(std::tuple(ctrl.sink.fps.load(), ctrl.sink.engine.fps.load(), ctrl.durationTime,
                             ctrl.durationFrames, ctrl.frameFormatSupported),
                  std::tuple(fps, fps, durationTime, expectedFrames, frames));
        EXPECT_EQ(seeking.format, TimeFormat::kMediaTime);
    }
}

// Each step lands inside the frame it means: one unit past the next frame's start, one unit
// before the shown frame's start, clamped to the start and inside the last frame; without a
// length nothing clamps; no step does nothing; without a graph a step fails. (Steps in frames
// rather than time are never asked for by the program and are left unchecked.)
TEST_F(SeekFixture, StepsMoveByWholeFramesInsideTheFile) {
    ctrl.sink.ApplyFrameRate(25.0);
    seeking.position = 400000;
    EXPECT_EQ(StepFrames(ctrl, 0, true), MediaResult::kUnchanged);
    EXPECT_EQ(StepFrames(ctrl, 1, true), MediaResult::kDone);  // an unknown length: no clamp
    seeking.durationTime = ctrl.durationTime = 20000000;
    seeking.position = 800000;  // frame 2
    for (const int64_t frames : {1, -1, -10}) {
        EXPECT_EQ(StepFrames(ctrl, frames, true), MediaResult::kDone) << frames;
    }
    seeking.position = 19200000;
    EXPECT_EQ(StepFrames(ctrl, 10, true), MediaResult::kDone);  // half a frame before the end
    EXPECT_EQ(seeking.seeks, (std::vector<int64_t>{800001, 1200001, 399999, 0, 19800000}));
    ctrl.DetachGraph();
    EXPECT_EQ(StepFrames(ctrl, 1, true), MediaResult::kFailed);
}

}  // namespace
}  // namespace kelpa::test
