// Fakes of the media graph for the intake tests: a control that records its calls and a
// seeking interface that keeps a position.
#pragma once

#include <string>
#include <vector>

#include "video/media_graph.h"

namespace kelpa::test {

class FakeMediaControl final : public MediaControl {
  public:
    MediaResult Run() override { return Record("run", runResult); }
    MediaResult Pause() override { return Record("pause", MediaResult::kDone); }
    MediaResult Stop() override { return Record("stop", MediaResult::kDone); }
    MediaResult StopWhenReady() override { return Record("stopWhenReady", MediaResult::kDone); }
    MediaResult GetState(uint32_t, int32_t* state) override {
        *state = reportedState;
        return Record("getState", MediaResult::kDone);
    }
    MediaResult Record(const char* call, MediaResult result) {
        calls.push_back(call);
        return result;
    }

    std::vector<std::string> calls;
    MediaResult runResult = MediaResult::kDone;
    int32_t reportedState = kStateStopped;
};

class FakeSeeking final : public MediaSeeking {
  public:
    bool IsFormatSupported(TimeFormat) override { return true; }
    MediaResult SetTimeFormat(TimeFormat) override { return MediaResult::kDone; }
    MediaResult GetDuration(int64_t* d) override { return *d = 0, MediaResult::kDone; }
    MediaResult GetCurrentPosition(int64_t* p) override {
        return *p = position, MediaResult::kDone;
    }
    MediaResult SetPositionAbsolute(int64_t p) override { return position = p, MediaResult::kDone; }
    MediaResult ConvertTimeFormat(int64_t* target, TimeFormat, int64_t source,
                                  TimeFormat) override {
        return *target = source, MediaResult::kDone;
    }
    int64_t position = 0;
};

}  // namespace kelpa::test
