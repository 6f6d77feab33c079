// Fakes of the media graph for the intake tests.
#pragma once

#include <deque>
#include <vector>

#include "video/media_graph.h"

namespace kelpa::test {

class FakeMediaControl final : public MediaControl {
  public:
    MediaResult Run() override { return Record("run", runResult); }
    MediaResult Pause() override { return Record("pause", MediaResult::kDone); }
    MediaResult Stop() override { return Record("stop", MediaResult::kDone); }
    MediaResult StopWhenReady() override { return Record("stopWhenReady", stopWhenReadyResult); }
    MediaResult GetState(uint32_t, int32_t* state) override {
        calls.push_back("getState");
        *state = reportedState;
        return MediaResult::kDone;
    }
    MediaResult Record(const char* call, MediaResult result) {
        calls.push_back(call);
        return result;
    }

    std::vector<std::string> calls;
    MediaResult runResult = MediaResult::kDone;
    MediaResult stopWhenReadyResult = MediaResult::kDone;
    int32_t reportedState = kStateStopped;
};

class FakeSeeking final : public MediaSeeking {
  public:
    bool IsFormatSupported(TimeFormat) override { return true; }
    MediaResult SetTimeFormat(TimeFormat) override { return MediaResult::kDone; }
    MediaResult GetDuration(int64_t* d) override {
        *d = duration;
        return MediaResult::kDone;
    }
    MediaResult GetCurrentPosition(int64_t* p) override {
        *p = position;
        return MediaResult::kDone;
    }
    MediaResult SetPositionAbsolute(int64_t p) override {
        position = p;
        seeks.push_back(p);
        return MediaResult::kDone;
    }
    MediaResult ConvertTimeFormat(int64_t* target, TimeFormat, int64_t source,
                                  TimeFormat) override {
        *target = source;
        return MediaResult::kDone;
    }
    int64_t duration = 0;
    int64_t position = 0;
    std::vector<int64_t> seeks;
};

class FakeEvents final : public GraphEventSource {
  public:
    bool NextEvent(int32_t* code) override {
        if (pending.empty()) return false;
        *code = pending.front();
        pending.pop_front();
        return true;
    }
    std::deque<int32_t> pending;
};

}  // namespace kelpa::test
