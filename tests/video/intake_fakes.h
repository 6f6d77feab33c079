// Fakes of the media graph for the intake tests.
#pragma once

#include <deque>
#include <vector>

#include "video/media_graph.h"

namespace kelpa::test {

class FakeMediaControl final : public MediaControl {
  public:
    int32_t Run() override { return Record("run", runResult); }
    int32_t Pause() override { return Record("pause", kResultOk); }
    int32_t Stop() override { return Record("stop", kResultOk); }
    int32_t StopWhenReady() override { return Record("stopWhenReady", stopWhenReadyResult); }
    int32_t GetState(uint32_t, int32_t* state) override {
        calls.push_back("getState");
        *state = reportedState;
        return kResultOk;
    }
    int32_t Record(const char* call, int32_t result) {
        calls.push_back(call);
        return result;
    }

    std::vector<std::string> calls;
    int32_t runResult = kResultOk;
    int32_t stopWhenReadyResult = kResultOk;
    int32_t reportedState = kStateStopped;
};

class FakeSeeking final : public MediaSeeking {
  public:
    bool IsFormatSupported(TimeFormat) override { return true; }
    int32_t SetTimeFormat(TimeFormat) override { return kResultOk; }
    int32_t GetDuration(int64_t* d) override {
        *d = duration;
        return kResultOk;
    }
    int32_t GetCurrentPosition(int64_t* p) override {
        *p = position;
        return kResultOk;
    }
    int32_t SetPositionAbsolute(int64_t p) override {
        position = p;
        seeks.push_back(p);
        return kResultOk;
    }
    int32_t ConvertTimeFormat(int64_t* target, TimeFormat, int64_t source, TimeFormat) override {
        *target = source;
        return kResultOk;
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
